// Fuzzes the console-text reader against the console program's own reading
// of the same bytes, run in this process: a text the console program reads
// completely gives the same samples and interval to the bit (unless every
// line holds three values, which the reader refuses); a text it refuses is
// refused by the reader too.
#include <bit>
#include <cstdint>
#include <string_view>

#include "tests/fuzz/reader_checks.h"
#include "tests/support/console_program_read.h"

namespace {

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const readers::Result<readers::Record> record = readers::read_console_text("r.txt", text);
  shindo::fuzzing::check_result(record, "r.txt");
  const shindo::testing::ConsoleProgramRead reference = shindo::testing::read_as_console_program(text);
  const readers::Record* read = std::get_if<readers::Record>(&record);
  if (read == nullptr) {
    const readers::Error& error = std::get<readers::Error>(record);
    const bool three_columns = error.message.starts_with("each line holds three values");
    if (reference.completed && !reference.acc1.empty() && !three_columns) {
      shindo::fuzzing::reader_finding("refused what the console program reads: " + readers::error_text(error));
    }
    return 0;
  }
  shindo::fuzzing::check_record(*read);
  if (!reference.completed) shindo::fuzzing::reader_finding("read what the console program refuses: " + reference.report);
  if (!same_bits(read->acc1, reference.acc1) || !same_bits(read->acc2, reference.acc2) ||
      !same_bits(read->acc3, reference.acc3)) {
    shindo::fuzzing::reader_finding("samples differ from the console program's");
  }
  if (std::bit_cast<std::uint32_t>(read->dt) != std::bit_cast<std::uint32_t>(reference.dt)) {
    shindo::fuzzing::reader_finding("the interval differs from the console program's");
  }
  return 0;
}
