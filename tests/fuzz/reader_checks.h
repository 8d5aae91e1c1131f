// What every reader's fuzz target demands of a result: a record whose three
// components have one length and finite values and whose interval is finite,
// or one error value that names the file it was given.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "readers/readers.h"

namespace shindo::fuzzing {

[[noreturn]] inline void reader_finding(const std::string& what) {
  std::fprintf(stderr, "\n*** reader: %s\n", what.c_str());
  std::abort();
}

inline void check_record(const readers::Record& record) {
  if (record.acc1.empty()) reader_finding("a record without samples");
  if (record.acc2.size() != record.acc1.size() || record.acc3.size() != record.acc1.size()) {
    reader_finding("components of different lengths");
  }
  if (!std::isfinite(record.dt)) reader_finding("an interval that is not finite");
  for (const auto* component : {&record.acc1, &record.acc2, &record.acc3}) {
    for (float value : *component) {
      if (!std::isfinite(value)) reader_finding("a sample that is not finite");
    }
  }
}

inline void check_error(const readers::Error& error, std::string_view file) {
  if (error.file != file) reader_finding("an error naming \"" + error.file + "\" for \"" + std::string(file) + "\"");
  if (error.message.empty()) reader_finding("an error without a message");
  if (readers::error_text(error).find('\n') != std::string::npos) reader_finding("an error of more than one line");
}

template <class T>
void check_result(const readers::Result<T>& result, std::string_view file) {
  if (const readers::Error* error = std::get_if<readers::Error>(&result)) check_error(*error, file);
}

}  // namespace shindo::fuzzing
