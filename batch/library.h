// The batch program's work for a caller in the same process (the Python
// package): the records of paths read into memory, and the table of a run as
// its cells, with nothing written and nothing printed.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/options.h"
#include "batch/table.h"
#include "readers/readers.h"

namespace batch {

// The records of the paths (files, directories walked, archives) as a run
// reads them, in record order, with the number of files skipped because they
// hold no record; or the first fault met, in the order of the walk.
//   {"d"} holding X.NS, X.EW, X.UD and notes.txt → {{Record "d/X" (knet)}, skipped 1}
//   {"missing"}   → Error{"missing", 0, "no such file or directory"}
//   {"d/bad.txt"} → Error{"d/bad.txt", 3, "not a number: \"x\""}
struct Records {
  std::vector<readers::Record> records;
  std::size_t skipped = 0;
};
[[nodiscard]] readers::Result<Records> read_records(std::span<const std::string> paths, readers::Offset offset);

// The table of a run, as the program writes it to standard output but held
// as cells: the columns, a row a record in the program's order (a failed record is
// a row with its error), the warnings of the reading ("<record>: <what>")
// and the number of files skipped because they hold no record.
struct Table {
  std::vector<std::string_view> columns;
  std::vector<std::vector<TableCell>> rows;
  std::vector<std::string> warnings;
  std::size_t skipped = 0;
};

// Runs the batch over options.paths on options.jobs threads, writing no
// file (the export and output directories are not used) and printing nothing.
//   paths {"d"} holding a.txt, b.txt → columns {"record", ..., "error"}, rows of "d/a.txt", "d/b.txt"
[[nodiscard]] Table run_table(const Options& options);

}  // namespace batch
