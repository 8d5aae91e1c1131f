// The level-duration scan: 1000 levels from just below the peak down to zero,
// the total time the vector acceleration lies strictly above each, the level
// A0 that is exceeded for more than 0.299 s, and the intensity
// Shindo = 2 log10(A0) + 0.943.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "shindo/compute.h"

namespace shindo::core {

inline constexpr std::int32_t NLEVEL = kLevels;

// DA, the step between levels.
float level_step(float Amax);

// ALEVEL of level J: Amax - J * DA.
float level_at(float Amax, float DA, std::int32_t J);

// Copies `samples` (at most kMaxSamples values, none of them NaN) into
// `sorted` in increasing order; `scratch` holds the values between passes.
// Both are at least as long as `samples` and overlap neither it nor each
// other.
void sort_samples(std::span<const float> samples, std::span<float> sorted, std::span<float> scratch);

// NOVER: the number of values of the increasing `sorted` strictly above
// `level`; a value equal to the level does not count (first_above from the
// end).
std::int32_t count_above(std::span<const float> sorted, float level);

// The place of the first value of the increasing `sorted` strictly above
// `level`, found by walking down from `from`, a place at and after which
// every value is above `level` (sorted.size() will always do). As the levels
// of a scan go down, each search starts where the last one ended, so that a
// whole scan reads each value at most once. NOVER is sorted.size() minus it.
//   sorted {1, 2, 2, 5}, level 2, from 4 -> 3;  level 0.5, from 3 -> 0
[[nodiscard]] std::size_t first_above(std::span<const float> sorted, float level, std::size_t from);

// NOVER * DT: the total exceedance time (s) as written to the table.
float exceedance_time(std::int32_t NOVER, float DT);

// Whether NOVER samples at DT last for more than 0.299 s (the product unrounded).
bool lasts_long_enough(std::int32_t NOVER, float DT);

// Shindo from A0, or the logarithm's fault when A0 is not positive (then
// `shindo` is 0).
struct IntensityValue {
  float shindo;
  Fault fault;
};
IntensityValue intensity_value(float A0);

// Scans the NLEVEL levels below Amax over `samples`, handing each level and its
// count to `record` (ALEVEL, NOVER) in order of decreasing level. `sorted_work`
// receives the samples in increasing order, with the help of `scratch`.
// Returns the first level that lasts long enough, none when no level does.
template <class LevelSink>
std::optional<float> scan_levels(std::span<const float> samples, float Amax, float DT,
                                 std::span<float> sorted_work, std::span<float> scratch, LevelSink&& record) {
  sort_samples(samples, sorted_work, scratch);
  const std::span<const float> sorted = sorted_work.first(samples.size());
  const float DA = level_step(Amax);
  std::optional<float> found;
  // The levels never rise (each is Amax - J DA rounded once), so each one's
  // first value above it lies at or before the last level's.
  std::size_t above = sorted.size();
  for (std::int32_t J = 1; J <= NLEVEL; ++J) {
    const float ALEVEL = level_at(Amax, DA, J);
    above = first_above(sorted, ALEVEL, above);
    const auto NOVER = static_cast<std::int32_t>(sorted.size() - above);
    record(ALEVEL, NOVER);
    if (!found && lasts_long_enough(NOVER, DT)) found = ALEVEL;
  }
  return found;
}

}  // namespace shindo::core
