// Fuzzes the joining of a K-NET/KiK-net record from three different
// component files: the input holds the three files one after another. Each
// is read on its own; three that are read are joined, with and without the
// offset removed, into a record of finite samples and a finite interval or
// one error naming one of the three files.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>

#include "tests/fuzz/reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  static const std::array<std::string, 3> kNames = {"X.NS", "X.EW", "X.UD"};
  std::array<readers::KnetFile, 3> files;
  for (std::size_t c = 0; c < 3; ++c) {
    const std::string text = c < 2 ? input.ConsumeRandomLengthString(size) : input.ConsumeRemainingBytesAsString();
    readers::Result<readers::KnetFile> file = readers::read_knet_file(kNames[c], text);
    shindo::fuzzing::check_result(file, kNames[c]);
    if (std::holds_alternative<readers::Error>(file)) return 0;
    files[c] = std::get<readers::KnetFile>(std::move(file));
  }
  for (readers::Offset offset : {readers::Offset::remove_mean, readers::Offset::keep}) {
    const readers::Result<readers::Record> record = readers::join_knet_record("X", readers::Format::knet, files, offset);
    if (const readers::Record* joined = std::get_if<readers::Record>(&record)) {
      shindo::fuzzing::check_record(*joined);
      if (joined->acc1.size() != files[0].counts.size()) shindo::fuzzing::reader_finding("samples lost in the join");
      if (!(joined->dt > 0.0f)) shindo::fuzzing::reader_finding("an interval that is not above 0");
      for (std::size_t c = 0; c < 3; ++c) {
        if (joined->metadata.components[c].file != kNames[c]) shindo::fuzzing::reader_finding("a component under another file");
      }
    } else {
      const readers::Error& error = std::get<readers::Error>(record);
      if (error.file != kNames[0] && error.file != kNames[1] && error.file != kNames[2]) {
        shindo::fuzzing::reader_finding("an error naming none of the three files: " + error.file);
      }
      shindo::fuzzing::check_error(error, error.file);
    }
  }
  return 0;
}
