// Fuzzes the record picture and the report page with hostile names and
// values: record names, stations, component names, errors and links of any
// bytes, numbers of any bits. Both must stay well-formed markup of valid
// UTF-8 whatever they are given.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/pictures.h"
#include "shindo/intensity.h"
#include "tests/fuzz/output_checks.h"

namespace {

namespace pictures = shindo::pictures;

std::optional<double> any_double(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
}

float finite_float(FuzzedDataProvider& input, float bound) {
  const float value = std::bit_cast<float>(input.ConsumeIntegral<std::uint32_t>());
  return std::isfinite(value) ? std::clamp(value, -bound, bound) : 0.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string name = input.ConsumeRandomLengthString(64);
  const std::string station = input.ConsumeRandomLengthString(32);
  std::array<std::string, 3> components;
  for (std::string& component : components) component = input.ConsumeRandomLengthString(8);

  // A short record of finite samples: the picture of its result, computed or
  // stopped at a fault.
  const std::size_t samples = input.ConsumeIntegralInRange<std::size_t>(4, 128);
  std::vector<float> acc[3];
  for (auto& component : acc) {
    for (std::size_t i = 0; i < samples; ++i) component.push_back(finite_float(input, 1e4f));
  }
  const float dt = input.PickValueInArray({0.01f, 0.005f, 0.02f, 0.1f});
  const shindo::Record record{acc[0], acc[1], acc[2], dt};
  const shindo::Intensity result = shindo::compute_intensity(record);
  pictures::RecordPicture picture{.name = name, .station = station, .record = record};
  for (std::size_t c = 0; c < 3; ++c) {
    if (!components[c].empty()) picture.component_names[c] = components[c];
  }
  shindo::fuzzing::check_markup(pictures::record_svg(picture, result));

  pictures::ReportInput report;
  report.title = input.ConsumeRandomLengthString(40);
  const std::size_t rows = input.ConsumeIntegralInRange<std::size_t>(0, 6);
  for (std::size_t r = 0; r < rows; ++r) {
    pictures::ReportRow row;
    row.record = input.ConsumeRandomLengthString(40);
    row.format = input.ConsumeRandomLengthString(8);
    row.station = input.ConsumeRandomLengthString(16);
    row.event.station_name = input.ConsumeRandomLengthString(16);
    row.event.origin_time = input.ConsumeRandomLengthString(16);
    row.event.magnitude = any_double(input);
    if (input.ConsumeBool()) {
      row.latitude = finite_float(input, 90.0f);
      row.longitude = finite_float(input, 180.0f);
    }
    if (input.ConsumeBool()) row.epicentre = pictures::GeoPoint{finite_float(input, 90.0f), finite_float(input, 180.0f)};
    if (input.ConsumeBool()) {
      row.read = pictures::ReadRecord{samples, dt, finite_float(input, 1e4f)};
      row.computed = pictures::ComputedRecord{finite_float(input, 1e4f), finite_float(input, 1e4f), finite_float(input, 9.0f)};
    }
    row.error = input.ConsumeRandomLengthString(40);
    row.picture = input.ConsumeRandomLengthString(24);
    report.rows.push_back(std::move(row));
  }
  shindo::fuzzing::check_markup(pictures::report_html(report));
  return 0;
}
