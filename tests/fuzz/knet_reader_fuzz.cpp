// Fuzzes the K-NET/KiK-net reader: the input is one component file, read and
// then joined as all three components of a record, with and without the
// offset removed.
#include <array>
#include <cstdint>
#include <string_view>

#include "tests/fuzz/reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const readers::Result<readers::KnetFile> file = readers::read_knet_file("X.NS", text);
  shindo::fuzzing::check_result(file, "X.NS");
  const readers::KnetFile* read = std::get_if<readers::KnetFile>(&file);
  if (read == nullptr) return 0;
  if (read->counts.empty()) shindo::fuzzing::reader_finding("a file without counts");
  const std::array<readers::KnetFile, 3> files = {*read, *read, *read};
  for (readers::Offset offset : {readers::Offset::remove_mean, readers::Offset::keep}) {
    const readers::Result<readers::Record> record = readers::join_knet_record("X", readers::Format::knet, files, offset);
    if (const readers::Record* joined = std::get_if<readers::Record>(&record)) {
      shindo::fuzzing::check_record(*joined);
      if (joined->acc1.size() != read->counts.size()) shindo::fuzzing::reader_finding("samples lost in the join");
    } else {
      const readers::Error& error = std::get<readers::Error>(record);
      shindo::fuzzing::check_error(error, "X.NS");
      if (error.message.find("beyond the single-precision range") == std::string::npos &&
          error.message.find("gives no single-precision sampling interval") == std::string::npos) {
        shindo::fuzzing::reader_finding("three equal files refused: " + readers::error_text(error));
      }
    }
  }
  return 0;
}
