// A whole run of the batch program over its paths: the records computed by
// a pool of workers, their files named in record order, the table on
// standard output, the page of the run and the summary on standard error.
#pragma once

#include "batch/options.h"

namespace batch {

// Runs the whole batch; writes the table to standard output, each row as
// soon as its record and every one before it are done, the summary and
// progress to standard error, and gives the exit status: 0 every record
// computed, 1 any failed or the table could not be written, 2 an output
// directory that cannot be used, 128 + N stopped by signal N (SIGINT,
// SIGTERM, SIGHUP) with the finished rows written and no temporary file left.
//   paths {"d"} holding a.txt and b.txt, both computed → two rows, 0
[[nodiscard]] int run(const Options& options);

}  // namespace batch
