// The times of the console program's text checked against the record's
// interval: a record whose times do not follow one interval is refused
// instead of computed with a wrong one.
#include <cmath>
#include <limits>
#include <string>

#include "numtext/writing.h"
#include "readers/readers.h"

namespace readers {

namespace {

// The interval the console program takes from its first two times.
float console_interval(const SampleTime& first, const SampleTime& second) {
  return static_cast<float>(static_cast<double>(second.value) - static_cast<double>(first.value));
}

// The interval the times give when read in double.
float wide_interval(const SampleTime& first, const SampleTime& second) {
  return static_cast<float>(second.wide - first.wide);
}

// The first sample whose time is not where `dt` puts it, and why.
std::optional<Error> first_misplaced(const Record& record, float dt) {
  const double first = record.times.front().wide;
  for (std::size_t i = 1; i < record.times.size(); ++i) {
    if (std::optional<std::string> why = misplaced_time(first, i, record.times[i].wide, dt)) {
      return Error{record.metadata.components[0].file, record.times[i].line, std::move(*why)};
    }
  }
  return std::nullopt;
}

}  // namespace

double time_tolerance(float dt, double time) {
  const float magnitude = static_cast<float>(std::fabs(time));
  const double spacing = static_cast<double>(std::nextafter(magnitude, std::numeric_limits<float>::infinity())) -
                         static_cast<double>(magnitude);
  return 0.01 * static_cast<double>(dt) + 0.5 * spacing;
}

float stream_interval(const SampleTime& first, const SampleTime& second) {
  const float console = console_interval(first, second);
  const float wide = wide_interval(first, second);
  return console == wide ? console : wide;
}

std::optional<std::string> misplaced_time(double first, std::size_t index, double time, float dt) {
  const double expected = first + static_cast<double>(index) * static_cast<double>(dt);
  const double tolerance = time_tolerance(dt, expected);
  if (std::fabs(time - expected) <= tolerance) return std::nullopt;
  // Shown to single precision: the times as they were written.
  return "time " + numtext::shortest_text(time) + " where " + numtext::shortest_text(static_cast<float>(expected)) +
         " was expected (the first time + " + std::to_string(index) + " x " + numtext::shortest_text(dt) +
         " s, within " + numtext::shortest_text(static_cast<float>(tolerance)) + " s)";
}

std::optional<Error> settle_interval(Record& record) {
  if (record.times.size() < 2) return std::nullopt;
  const float console = console_interval(record.times[0], record.times[1]);
  if (!(console > 0.0f) || !std::isfinite(console)) return std::nullopt;  // the computation refuses it
  std::optional<Error> misplaced = first_misplaced(record, console);
  if (!misplaced) return std::nullopt;
  const float wide = wide_interval(record.times[0], record.times[1]);
  if (wide == console) return misplaced;
  if (std::optional<Error> again = first_misplaced(record, wide)) return again;
  record.dt = wide;
  return std::nullopt;
}

}  // namespace readers
