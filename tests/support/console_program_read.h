// The console program's own reading of an acceleration file, run in this
// process: the reference the console-text reader is compared with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace shindo::testing {

struct ConsoleProgramRead {
  bool completed = false;  // the read reached the end of the file without a failure
  std::string report;      // standard error of a failed read
  std::vector<float> acc1, acc2, acc3;  // the samples as read
  float dt = 0.0f;
};

// Reads `text` as the console program reads its acceleration file (its own
// statements on unit 11, from a temporary file) and gives back what it
// stored. The host calls are replaced during the call, the process exit by
// an exception caught here; not for use from several threads at once.
//   "0 1 2 3\n0.01 4 5 6\n" → completed, acc1 {1, 4}, dt 0.01f
//   "0 1 2 x\n"            → not completed, report "... F6103 ..."
ConsoleProgramRead read_as_console_program(std::string_view text);

// Prepares a fresh read of `file` (at most 20 characters) by the console
// program's own loop: closes, with `close`, the handles an earlier failed read
// left in the unit table (the end-of-run closing runs once per process, so
// after the first failure a failure goes straight to the exit and leaves unit
// 11 open), makes a new unit table, zeroes the samples, sample_count and
// sampling_interval, and puts the name into file_name.
void start_fresh_console_read(const std::string& file, int (*close)(int));

}  // namespace shindo::testing
