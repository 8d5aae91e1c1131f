#include "core/level_scan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

#include "core/math.h"

namespace shindo::core {

namespace {

// Exceedance time above which a level qualifies (s), and the intensity offset,
// as single-precision values.
constexpr double kDurationThreshold = 0.299f;
constexpr double kIntensityOffset = 0.943f;

// Counts are kept in four tables, one for every fourth sample, and summed at
// the end: neighbouring samples of a wave often meet the same level, and one
// table would make each increment wait for the one before.
constexpr std::size_t kTables = 4;

// The levels with a sentinel at each end: bounds[0] = +inf, bounds[J] = level
// J for J = 1..NLEVEL, bounds[NLEVEL + 1] = -inf. A finite sample v belongs
// at the one J in 1..NLEVEL + 1 with bounds[J - 1] >= v > bounds[J]: the
// first level it exceeds, NLEVEL + 1 when it exceeds none.
using Bounds = std::array<float, NLEVEL + 2>;

bool belongs(const Bounds& bounds, std::size_t J, float v) { return bounds[J - 1] >= v && bounds[J] < v; }

// The place of v found by halving, for samples whose guess missed.
std::size_t searched_place(const Bounds& bounds, float v) {
  const auto first = std::partition_point(bounds.begin() + 1, bounds.end() - 1, [v](float level) { return level >= v; });
  return static_cast<std::size_t>(first - bounds.begin());
}

}  // namespace

float level_step(float Amax) {
  return static_cast<float>(static_cast<double>(Amax) / NLEVEL);
}

float level_at(float Amax, float DA, std::int32_t J) {
  return static_cast<float>(static_cast<double>(Amax) - static_cast<double>(J) * DA);
}

LevelCounts count_levels(std::span<const float> samples, float Amax) {
  LevelCounts counts{};
  const float DA = level_step(Amax);
  Bounds bounds{};
  bounds.front() = std::numeric_limits<float>::infinity();
  bounds.back() = -std::numeric_limits<float>::infinity();
  for (std::int32_t J = 1; J <= NLEVEL; ++J) {
    bounds[static_cast<std::size_t>(J)] = counts.ALEVEL[static_cast<std::size_t>(J - 1)] = level_at(Amax, DA, J);
  }
  // Level J lies near Amax - J DA, so v usually belongs at floor((Amax - v) /
  // DA) + 1, or next to it; the guess only saves the search and never decides
  // a count. Its arithmetic raises no exception that a caller would see as a
  // fault: with DA > 0 the quotient of two finite values below 2 Amax is
  // finite and only inexact.
  const bool guessing = DA > 0.0f;
  const double reciprocal = guessing ? 1.0 / DA : 0.0;
  const double top = Amax;
  std::array<std::array<std::int32_t, NLEVEL + 2>, kTables> placed{};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const float v = samples[i];
    std::size_t J = 1;
    if (guessing) {
      const double below = (top - v) * reciprocal + 1.0;
      J = below < 1.0 ? 1 : below > NLEVEL + 1 ? NLEVEL + 1 : static_cast<std::size_t>(below);
    }
    if (!belongs(bounds, J, v)) {
      if (J > 1 && belongs(bounds, J - 1, v)) {
        --J;
      } else if (J <= NLEVEL && belongs(bounds, J + 1, v)) {
        ++J;
      } else {
        J = searched_place(bounds, v);
      }
    }
    ++placed[i % kTables][J];
  }
  std::int32_t above = 0;
  for (std::size_t J = 1; J <= NLEVEL; ++J) {
    for (const auto& table : placed) above += table[J];
    counts.NOVER[J - 1] = above;
  }
  return counts;
}

float exceedance_time(std::int32_t NOVER, float DT) {
  return static_cast<float>(static_cast<double>(NOVER) * DT);
}

bool lasts_long_enough(std::int32_t NOVER, float DT) {
  return static_cast<double>(NOVER) * DT > kDurationThreshold;
}

IntensityValue intensity_value(float A0) {
  const MathValue logarithm = checked_log10(A0);
  if (logarithm.fault != Fault::none) return {0.0f, logarithm.fault};
  return {static_cast<float>(2.0 * logarithm.value + kIntensityOffset), Fault::none};
}

}  // namespace shindo::core
