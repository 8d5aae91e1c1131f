// --follow: one record read as a live stream, the console program's text or
// three components a line, a row of the table of steps written for each step
// as soon as it is computed.
#pragma once

#include "batch/options.h"

namespace batch {

// Reads options.follow ("-": standard input) until its end, writing the
// table of steps to standard output. Gives the exit status: 0 at the end of
// the stream, 1 when a line is not a sample or the input or output fails
// (rows written so far stay), 2 when the window or step is refused for the
// stream's interval.
//   "0 1 2 3\n0.01 1 2 3\n..." with --window 1 --step 1 → "time,intensity,reported,class,error\n1,...\n"
[[nodiscard]] int follow(const Options& options);

}  // namespace batch
