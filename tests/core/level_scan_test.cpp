#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/level_scan.h"

namespace {

using namespace shindo::core;

// The scan's count as a direct pass over every sample: the reference for the
// counts of the levels.
std::int32_t count_above_directly(const std::vector<float>& samples, float level) {
  std::int32_t count = 0;
  for (const float value : samples) {
    if (value > level) ++count;
  }
  return count;
}

struct Level {
  float ALEVEL;
  std::int32_t NOVER;
  bool operator==(const Level&) const = default;
};

std::vector<Level> scan(const std::vector<float>& samples, float peak, float DT, std::optional<float>& A0) {
  std::vector<Level> levels;
  A0 = scan_levels(samples, peak, DT, [&levels](float ALEVEL, std::int32_t NOVER) { levels.push_back({ALEVEL, NOVER}); });
  return levels;
}

TEST(LevelScan, TenSamplesOneTenthSecondApart) {
  std::vector<float> samples;
  for (int i = 1; i <= 10; ++i) samples.push_back(static_cast<float>(i));
  std::optional<float> A0;
  const std::vector<Level> levels = scan(samples, 10.0f, 0.1f, A0);

  EXPECT_EQ(level_step(10.0f), 0.01f);
  ASSERT_EQ(levels.size(), 1000u);
  EXPECT_EQ(levels[0], (Level{level_at(10.0f, 0.01f, 1), 1}));
  EXPECT_EQ(levels[199], (Level{8.0f, 2}));
  EXPECT_EQ(levels[200], (Level{level_at(10.0f, 0.01f, 201), 3}));
  EXPECT_FLOAT_EQ(levels[200].ALEVEL, 7.99f);
  EXPECT_EQ(exceedance_time(2, 0.1f), 0.2f);
  EXPECT_EQ(exceedance_time(3, 0.1f), 0.3f);
  EXPECT_NEAR(levels[999].ALEVEL, 0.0f, 1e-6f);
  EXPECT_EQ(levels[999].NOVER, 10);
  EXPECT_EQ(exceedance_time(levels[999].NOVER, 0.1f), 1.0f);
  ASSERT_TRUE(A0.has_value());
  EXPECT_EQ(*A0, levels[200].ALEVEL);
  EXPECT_EQ(intensity_value(*A0).shindo, 2.7480936f);
}

TEST(LevelScan, LevelsNeverQualifyingLeaveNoA0) {
  struct Row {
    std::string name;
    std::vector<float> samples;
    float peak;
  };
  const Row rows[] = {
      {"all_zero", std::vector<float>(100, 0.0f), 0.0f},
      {"too_short", {1.0f, 4.0f, 2.0f}, 4.0f},
      {"twenty_nine_samples", std::vector<float>(29, 5.0f), 5.0f},
  };
  for (const Row& row : rows) {
    std::optional<float> A0;
    const std::vector<Level> levels = scan(row.samples, row.peak, 0.01f, A0);
    EXPECT_EQ(levels.size(), 1000u) << row.name;
    EXPECT_FALSE(A0.has_value()) << row.name;
  }
}

TEST(LevelScan, DurationThreshold) {
  struct Row {
    std::int32_t NOVER;
    float DT;
    bool qualifies;
  };
  const Row rows[] = {
      {29, 0.01f, false}, {30, 0.01f, true}, {59, 0.005f, false}, {60, 0.005f, true},
      {2, 0.1f, false},   {3, 0.1f, true},   {0, 1.0f, false},    {1, 0.3f, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(lasts_long_enough(row.NOVER, row.DT), row.qualifies) << row.NOVER << " x " << row.DT;
  }
}

TEST(LevelScan, IntensityFromTheLevel) {
  const std::pair<float, float> rows[] = {{100.0f, 4.943f}, {1.0f, 0.943f}, {10.0f, 2.943f}};
  for (const auto& [A0, expected] : rows) EXPECT_EQ(intensity_value(A0).shindo, expected) << A0;
}

// Samples equal to a level are not above it; the first and last levels, and
// samples exceeding no level at all.
TEST(LevelScan, SampleEqualToTheLevelIsNotCounted) {
  const std::vector<float> samples = {1.0f, 2.0f, 2.0f, 2.0f, 5.0f, 0.0f, -0.0f};
  const LevelCounts counts = count_levels(samples, 5.0f);
  const float DA = level_step(5.0f);
  const std::pair<std::int32_t, std::int32_t> rows[] = {{1, 1}, {600, 1}, {601, 4}, {800, 4}, {801, 5}, {1000, 5}};
  for (const auto& [J, NOVER] : rows) {
    const auto at = static_cast<std::size_t>(J - 1);
    EXPECT_EQ(counts.ALEVEL[at], level_at(5.0f, DA, J)) << "level " << J;
    EXPECT_EQ(counts.NOVER[at], NOVER) << "level " << J;
  }
  EXPECT_EQ(counts.ALEVEL[599], 2.0f) << "level 600 is the samples' value 2";
  EXPECT_GT(counts.ALEVEL[999], 0.0f) << "the lowest level lies just above zero";
  EXPECT_EQ(count_levels({}, 5.0f).NOVER[999], 0);
}

// Random records, some with many equal values, counted both ways at every
// level of the scan.
TEST(LevelScan, CountsMatchTheDirectCount) {
  std::mt19937 generator(2024u);
  for (const std::size_t size : {1u, 2u, 37u, 1000u, 32768u}) {
    for (const bool coarse : {false, true}) {
      SCOPED_TRACE("size " + std::to_string(size) + (coarse ? " coarse" : " fine"));
      std::exponential_distribution<float> magnitude(0.05f);
      std::vector<float> samples(size);
      for (float& v : samples) {
        v = magnitude(generator);
        if (coarse) v = static_cast<float>(static_cast<int>(v));
      }
      const float peak = *std::max_element(samples.begin(), samples.end());
      std::optional<float> A0;
      const std::vector<Level> levels = scan(samples, peak, 0.01f, A0);
      for (const Level& level : levels) {
        ASSERT_EQ(level.NOVER, count_above_directly(samples, level.ALEVEL)) << "level " << level.ALEVEL;
      }
    }
  }
}

// The counts against the direct count for value sets that defeat the guess
// from a sample's distance below the peak: both signs, zeros of both signs,
// subnormal and extreme magnitudes, samples above the peak given, a peak so
// small that the step between levels is zero, long runs of equal values.
TEST(LevelScan, CountsHoldForEveryKindOfValue) {
  struct Row {
    std::string name;
    std::size_t size;
    std::function<float(std::mt19937&)> value;
    std::optional<float> peak;  // the largest sample when not given
  };
  const float picks[] = {0.0f, -0.0f, 1e-45f, -1e-45f, 1e-39f, 3.4e38f, -3.4e38f, 1.0f, -1.0f, 2.0f};
  const auto pick = [&picks](std::mt19937& g) { return picks[std::uniform_int_distribution<std::size_t>(0, 9)(g)]; };
  const Row rows[] = {
      {"both_signs", 5000, [](std::mt19937& g) { return std::normal_distribution<float>(0.0f, 50.0f)(g); }, {}},
      {"extremes", 3000, pick, {}},
      {"extremes_below_a_small_peak", 3000, pick, 2.0f},
      {"every_exponent", 20000,
       [](std::mt19937& g) {
         return std::bit_cast<float>(std::uniform_int_distribution<std::uint32_t>(0, 0x7F7FFFFFu)(g));
       },
       {}},
      {"subnormal_peak", 2000,
       [](std::mt19937& g) { return std::bit_cast<float>(std::uniform_int_distribution<std::uint32_t>(0, 900)(g)); },
       1e-42f},
      {"zero_peak", 100, [](std::mt19937&) { return 0.0f; }, 0.0f},
      {"equal_runs", 32768,
       [](std::mt19937& g) { return static_cast<float>(std::uniform_int_distribution<int>(0, 40)(g)); }, {}},
      {"one_value", 1, [](std::mt19937&) { return 3.5f; }, {}},
  };
  std::mt19937 generator(77u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<float> samples(row.size);
    for (float& v : samples) v = row.value(generator);
    const float peak = row.peak.value_or(*std::max_element(samples.begin(), samples.end()));
    const LevelCounts counts = count_levels(samples, peak);
    const float DA = level_step(peak);
    for (std::int32_t J = 1; J <= NLEVEL; ++J) {
      const auto at = static_cast<std::size_t>(J - 1);
      ASSERT_EQ(counts.ALEVEL[at], level_at(peak, DA, J)) << "level " << J;
      ASSERT_EQ(counts.NOVER[at], count_above_directly(samples, counts.ALEVEL[at])) << "level " << J;
    }
  }
}

}  // namespace
