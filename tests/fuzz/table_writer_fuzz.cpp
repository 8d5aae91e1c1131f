// Fuzzes the batch program's table writer with hostile rows: names and
// errors of any bytes, numbers of any bits, any of them absent. Every CSV
// line must be one record with as many fields as the header, every JSON line
// one object of valid UTF-8 that a strict reader accepts.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "batch/table.h"
#include "tests/fuzz/output_checks.h"

namespace {

using shindo::fuzzing::csv_fields;
using shindo::fuzzing::output_finding;

std::optional<double> any_double(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
}

float any_float(FuzzedDataProvider& input) { return std::bit_cast<float>(input.ConsumeIntegral<std::uint32_t>()); }

// An intensity as the computation gives it: 2 log10(A0) + 0.94 of a float
// A0 lies within +-100; any bits otherwise, infinities and NaN included.
float any_intensity(FuzzedDataProvider& input) {
  const float value = any_float(input);
  return std::isfinite(value) ? std::clamp(value, -100.0f, 100.0f) : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  batch::ReportRow row;
  row.record = input.ConsumeRandomLengthString(80);
  row.format = input.ConsumeRandomLengthString(12);
  row.station = input.ConsumeRandomLengthString(24);
  row.latitude = any_double(input);
  row.longitude = any_double(input);
  if (input.ConsumeBool()) {
    row.read = shindo::pictures::ReadRecord{input.ConsumeIntegral<std::size_t>(), any_float(input), any_float(input)};
  }
  if (input.ConsumeBool()) {
    row.computed = shindo::pictures::ComputedRecord{any_float(input), any_float(input), any_intensity(input)};
  }
  if (input.ConsumeBool()) {
    row.strongest = shindo::pictures::StrongestWindow{any_intensity(input), any_double(input).value_or(0.0)};
  }
  row.error = input.ConsumeRandomLengthString(120);
  const bool running = input.ConsumeBool();

  const std::string header = batch::csv_header(running);
  const std::string csv = batch::csv_line(row, running);
  if (csv_fields(csv).size() != csv_fields(header).size()) output_finding("a CSV line of another field count", csv);
  const std::string json = batch::json_line(row, running);
  if (json.empty() || json.back() != '\n') output_finding("a JSON line without its LF", json);
  const std::string_view object(json.data(), json.size() - 1);
  if (object.find('\n') != std::string_view::npos) output_finding("a JSON line of more than one line", json);
  if (object.empty() || object.front() != '{') output_finding("a JSON line that is no object", json);
  shindo::fuzzing::JsonCheck{object};
  return 0;
}
