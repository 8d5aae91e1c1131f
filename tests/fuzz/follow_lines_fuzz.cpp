// Fuzzes --follow's line reader: a stream cut into pieces anywhere must give
// each line whole, once and in order, up to the first line longer than the
// limit, which stops the reading.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "batch/follow.h"
#include "tests/fuzz/output_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t longest = input.ConsumeIntegralInRange<std::size_t>(1, 48);
  const std::string stream = input.ConsumeRandomLengthString(4096);

  // The lines the stream holds, and how many come before the first too long.
  std::vector<std::string> expected;
  std::size_t start = 0;
  bool too_long = false;
  while (start < stream.size()) {
    const std::size_t end = std::min(stream.find('\n', start), stream.size());
    if (end - start > longest) {
      too_long = true;
      break;
    }
    expected.push_back(stream.substr(start, end - start));
    start = end + 1;
  }

  batch::LineReader reader(longest);
  std::vector<std::string> lines;
  const batch::LineReader::Take take = [&](std::string_view line) {
    lines.emplace_back(line);
    return true;
  };
  bool going = true;
  std::size_t at = 0;
  while (going && at < stream.size()) {
    const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    going = reader.feed(std::string_view(stream).substr(at, piece), take);
    at += piece;
  }
  if (going) going = reader.finish(take);
  if (lines != expected) shindo::fuzzing::output_finding("lines other than the stream's", stream);
  if (reader.too_long() != too_long || going == too_long) shindo::fuzzing::output_finding("a long line missed or invented", stream);
  if (reader.lines() != lines.size()) shindo::fuzzing::output_finding("lines miscounted", stream);
  return 0;
}
