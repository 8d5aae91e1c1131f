// The level-duration scan: 1000 levels from just below the peak down to zero,
// the total time the vector acceleration lies strictly above each, the level
// A0 that is exceeded for more than 0.299 s, and the intensity
// Shindo = 2 log10(A0) + 0.943.
#pragma once

#include <array>
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

// Every level of a scan and its count: ALEVEL[J-1] = level_at(Amax, DA, J)
// and NOVER[J-1] the number of `samples` strictly above it, for J = 1..NLEVEL
// (a value equal to a level does not count; no sample is NaN).
struct LevelCounts {
  std::array<float, NLEVEL> ALEVEL;
  std::array<std::int32_t, NLEVEL> NOVER;
};

// The counts of the levels below Amax, in one pass over the samples and
// without sorting them: each sample is placed at the first level it exceeds
// (a guess from its distance below Amax, confirmed against the levels
// themselves), and a level's count is the number placed at or above it.
//   samples {1, 2, 2, 5}, Amax 5 -> level 1 (4.995) NOVER 1, level 600
//   (2.0) NOVER 1, level 601 (1.995) NOVER 3, level 1000 (1.1e-7) NOVER 4
[[nodiscard]] LevelCounts count_levels(std::span<const float> samples, float Amax);

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
// count to `record` (ALEVEL, NOVER) in order of decreasing level. Returns the
// first level that lasts long enough, none when no level does.
template <class LevelSink>
std::optional<float> scan_levels(std::span<const float> samples, float Amax, float DT, LevelSink&& record) {
  const LevelCounts counts = count_levels(samples, Amax);
  std::optional<float> found;
  for (std::size_t k = 0; k < counts.ALEVEL.size(); ++k) {
    record(counts.ALEVEL[k], counts.NOVER[k]);
    if (!found && lasts_long_enough(counts.NOVER[k], DT)) found = counts.ALEVEL[k];
  }
  return found;
}

}  // namespace shindo::core
