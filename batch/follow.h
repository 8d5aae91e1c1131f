// --follow: one record read as a live stream, the console program's text or
// three components a line, a row of the table of steps written for each step
// as soon as it is computed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "batch/options.h"

namespace batch {

// The lines of a stream as its pieces arrive, however they are cut: each
// line whole, without its LF, as soon as its LF has come; the last one at
// the end of the stream even without LF. A line longer than `longest`
// bytes stops the reading.
//   feed("0 1 2 3\n0.0"), feed("1 4 5 6\n") → "0 1 2 3", "0.01 4 5 6"
//   feed("a"), finish() → "a"
class LineReader {
 public:
  // Gives one line; false stops the reading.
  using Take = std::function<bool(std::string_view line)>;

  explicit LineReader(std::size_t longest) : longest_(longest) {}

  // The next piece of the stream: true while the reading goes on.
  [[nodiscard]] bool feed(std::string_view piece, const Take& take);
  // The end of the stream: true unless the last line stopped the reading.
  [[nodiscard]] bool finish(const Take& take);

  // The reading stopped at a line longer than `longest`.
  [[nodiscard]] bool too_long() const { return too_long_; }
  // Lines given so far.
  [[nodiscard]] std::size_t lines() const { return lines_; }

 private:
  bool give(const Take& take);

  std::size_t longest_;
  std::string line_;
  std::size_t lines_ = 0;
  bool too_long_ = false;
};

// Reads options.follow ("-": standard input) until its end, writing the
// table of steps to standard output. Gives the exit status: 0 at the end of
// the stream, 1 when a line is not a sample or the input or output fails
// (rows written so far stay), 2 when the window or step is refused for the
// stream's interval.
//   "0 1 2 3\n0.01 1 2 3\n..." with --window 1 --step 1 → "time,intensity,reported,class,error\n1,...\n"
[[nodiscard]] int follow(const Options& options);

}  // namespace batch
