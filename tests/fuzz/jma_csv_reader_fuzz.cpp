// Fuzzes the JMA CSV reader and the format recognition on the same bytes.
#include <cstdint>
#include <string_view>

#include "tests/fuzz/reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const readers::Result<readers::Record> record = readers::read_jma_csv("A.csv", bytes);
  shindo::fuzzing::check_result(record, "A.csv");
  if (const readers::Record* read = std::get_if<readers::Record>(&record)) {
    shindo::fuzzing::check_record(*read);
    if (readers::detect_format("A.csv", bytes) != readers::Format::jma_csv) {
      shindo::fuzzing::reader_finding("a file read as JMA CSV is not recognised as one");
    }
  }
  return 0;
}
