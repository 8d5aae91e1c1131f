// The way of one record through the batch program: read, computed (with its
// running intensity when asked), its files written under temporary names,
// and its row: the one row the table and the report show.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "batch/inputs.h"
#include "batch/options.h"
#include "batch/output.h"
#include "pictures/pictures.h"
#include "readers/readers.h"

namespace batch {

// What became of a record: its row, its files waiting for their names (see
// place_file) and the warnings of its reading.
struct Outcome {
  shindo::pictures::ReportRow row;
  std::vector<StagedFile> files;
  std::vector<std::string> warnings;
};

// Carries a job through: its row holds what the record's headers say, the
// values of the reading and of the computation, and the first fault met,
// "<file>: <what>". `number` makes the names of its temporary files unique.
//   Job{"d/x.txt", text, the 8 samples at 0.05 s of the tests} →
//     row {record "d/x.txt", format "text", read {8, 0.05, pga}, computed {125.9082, 73.40448, 4.674445}}
//   Job{"d/z.txt", text, four samples of zeros} → row.error
//     "d/z.txt: log10 of 0: no level lasts more than 0.299 s (intensity)", not computed
[[nodiscard]] Outcome process(Job&& job, const Options& options, std::size_t number);

// The record of a job, read from its files with options.offset, or the first
// fault met; a job's format is found from the bytes when the walk left it open.
//   Job{"d/x.txt", text} → Record{"d/x.txt", console_text, 8 samples at 0.05 s}
//   Job{"d/y.txt", text "1 2 3\n"} → Error{"d/y.txt", 1, "each line holds three values: ..."}
[[nodiscard]] readers::Result<readers::Record> read_record(Job& job, const Options& options);

}  // namespace batch
