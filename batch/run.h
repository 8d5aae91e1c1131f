// A whole run of the batch program over its paths: the records computed by
// a pool of workers, their files named in record order, the table on
// standard output, the page of the run and the summary on standard error.
#pragma once

#include <cstddef>
#include <vector>

#include "batch/inputs.h"
#include "batch/options.h"
#include "batch/pipeline.h"

namespace batch {

// Runs the whole batch; writes the table to standard output, each row as
// soon as its record and every one before it are done, the summary and
// progress to standard error, and gives the exit status: 0 every record
// computed, 1 any failed or the table could not be written, 2 an output
// directory that cannot be used, 128 + N stopped by signal N (SIGINT,
// SIGTERM, SIGHUP) with the finished rows written and no temporary file left.
//   paths {"d"} holding a.txt and b.txt, both computed → two rows, 0
[[nodiscard]] int run(const Options& options);

// Every record of the walk and of its archives computed on options.jobs
// threads, in the table's order (the walk's files by name, then each
// archive's records as found in it); the archives' members that hold no record are
// added to `skipped`. With `show_progress`, "N records done" on standard error, at
// most five times a second.
//   walk of {"d"} holding b.txt and a.txt → outcomes of "d/a.txt", "d/b.txt"
[[nodiscard]] std::vector<Outcome> compute_records(const Options& options, Walk& walk, std::vector<std::string>& skipped,
                                                   bool show_progress);

}  // namespace batch
