#include <bit>
#include <cfenv>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/band_filter.h"
#include "core/vector_wave.h"

namespace {

using namespace shindo::core;
using shindo::core::ComplexFloat;

TEST(VectorWave, LengthOfTheFilteredComponents) {
  struct Row {
    float re1, re2, re3, DUR, expected;
  };
  const Row rows[] = {
      {0.0f, 0.0f, 0.0f, 40.96f, 0.0f},
      {3.0f, 4.0f, 12.0f, 1.0f, 13.0f},
      {-6.0f, 8.0f, -24.0f, 2.0f, 13.0f},
      {0.0f, 0.0f, -5.0f, 0.5f, 10.0f},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(vector_sample(row.re1, row.re2, row.re3, row.DUR), row.expected)
        << row.re1 << " " << row.re2 << " " << row.re3 << " / " << row.DUR;
  }
}

// Three work arrays whose real parts are given per sample.
struct Spectra {
  std::vector<ComplexFloat> s1, s2, s3;
  ComponentSpectra view() { return {s1, s2, s3}; }
};

Spectra from_real_parts(const std::vector<float>& values) {
  Spectra s;
  for (const float v : values) {
    s.s1.push_back({v, 9.0f});
    s.s2.push_back({0.0f, -9.0f});
    s.s3.push_back({0.0f, 9.0f});
  }
  return s;
}

TEST(VectorWave, HandsEverySampleOverInOrderAndLeavesThePaddingAlone) {
  Spectra s = from_real_parts({2.0f, -4.0f, 6.0f, 8.0f, 10.0f, 12.0f});
  std::vector<float> AVEC(6, -1.0f);
  std::vector<std::pair<std::int32_t, float>> records;
  compose_vector(s.view(), 4, 2.0f, AVEC,
                 [&records](std::int32_t I, float value) { records.emplace_back(I, value); });
  const std::vector<std::pair<std::int32_t, float>> expected = {{1, 1.0f}, {2, 2.0f}, {3, 3.0f}, {4, 4.0f}};
  EXPECT_EQ(records, expected);
  EXPECT_EQ(AVEC, (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f, -1.0f, -1.0f}));
}

TEST(VectorWave, PeakIsTheLargestValueOrZero) {
  const std::pair<std::vector<float>, float> rows[] = {
      {{0.0f, 0.0f, 0.0f}, 0.0f}, {{1.0f, -7.0f, 3.0f, 7.0f, 2.0f}, 7.0f}, {{5.0f}, 5.0f}};
  for (const auto& [real_parts, expected] : rows) {
    Spectra s = from_real_parts(real_parts);
    std::vector<float> AVEC(real_parts.size());
    EXPECT_EQ(compose_vector(s.view(), static_cast<std::int32_t>(AVEC.size()), 1.0f, AVEC,
                             [](std::int32_t, float) {}),
              expected);
  }
}

TEST(VectorWave, ConstantRecordGivesRootThreeTimesItsFilteredMean) {
  const std::int32_t n = 4096;
  const std::vector<float> constant(n, 100.0f);
  std::vector<ComplexFloat> s1(n), s2(n), s3(n);
  const ComponentSpectra spectra{s1, s2, s3};
  const float duration = transform_forward({constant, constant, constant}, n, n, 0.01f, spectra);
  filter_and_invert(n, frequency_step(n, duration).NOM, duration, spectra);
  // Each component alone: 100 times the filter at the first bin.
  for (std::int32_t i = 0; i < n; ++i) {
    for (const std::vector<ComplexFloat>* spectrum : {&s1, &s2, &s3}) {
      ASSERT_EQ(vector_sample((*spectrum)[i].re, 0.0f, 0.0f, duration), 6.9051247f) << "sample " << i + 1;
    }
  }

  std::vector<float> AVEC(n);
  const float peak = compose_vector(spectra, n, duration, AVEC, [](std::int32_t, float) {});
  EXPECT_EQ(peak, 11.960027f);
  for (std::int32_t i = 0; i < n; ++i) ASSERT_EQ(AVEC[i], 11.960027f) << "sample " << i + 1;
}

// Many samples at a time (four with AVX, sixteen with AVX-512) give the bits,
// the peak and the exceptions of one at a time, with lengths that leave a
// tail, zeros, large and tiny parts, quotients below the normal range, and
// overflow; every pattern also repeated to 37 samples and a wide random one
// to 1000.
TEST(VectorWave, ManyAtATimeGivesTheBitsOfOneAtATime) {
  struct Row {
    const char* name;
    std::vector<float> re;
    float DUR;
  };
  std::mt19937 generator(31u);
  std::vector<float> wide(1000);
  for (float& v : wide) {
    v = std::bit_cast<float>(std::uniform_int_distribution<std::uint32_t>(0, 0xFF7FFFFFu)(generator));
  }
  const std::vector<Row> rows = {
      {"one", {5.0f}, 1.0f},
      {"tail_of_three", {1.0f, -7.0f, 3.0f, 7.0f, 2.0f, 0.1f, -0.0f}, 327.68f},
      {"zeros", std::vector<float>(9, 0.0f), 40.96f},
      {"large_and_tiny", {3.0e38f, -1.0e-45f, 2.5e-40f, -3.3e38f, 1.0e20f, 7.0f, 1e-30f, 2.0f}, 0.04f},
      {"below_normal", {1.0e-38f, 3.0e-39f, -2.0e-44f, 1.1754942e-38f, 5.0f}, 327.68f},
      {"overflow", {1.0e38f, 2.0f, 3.0e38f, 3.0e38f, 5.0f}, 1.0e-3f},
      {"wide", wide, 0.5f},
  };
  for (const Row& row : rows) {
    for (const std::size_t n : {row.re.size(), std::size_t{37}}) {
      SCOPED_TRACE(std::string(row.name) + " of " + std::to_string(n));
      // Each component gets the parts in another order.
      Spectra s;
      const std::size_t m = row.re.size();
      for (std::size_t i = 0; i < n; ++i) {
        s.s1.push_back({row.re[i % m], 1.0f});
        s.s2.push_back({row.re[(i + 1) % m], -1.0f});
        s.s3.push_back({row.re[(i + 2) % m] * 0.5f, 2.0f});
      }
      constexpr int kFaults = FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO;
      std::vector<float> one(n), many(n);
      std::feclearexcept(FE_ALL_EXCEPT);
      const float peak_one =
          compose_vector(s.view(), static_cast<std::int32_t>(n), row.DUR, one, [](std::int32_t, float) {});
      const int raised_one = std::fetestexcept(kFaults);
      std::feclearexcept(FE_ALL_EXCEPT);
      const float peak_many = compose_vector(s.view(), static_cast<std::int32_t>(n), row.DUR, many);
      EXPECT_EQ(std::fetestexcept(kFaults), raised_one);
      EXPECT_EQ(std::bit_cast<std::uint32_t>(peak_many), std::bit_cast<std::uint32_t>(peak_one));
      for (std::size_t i = 0; i < n; ++i) {
        ASSERT_EQ(std::bit_cast<std::uint32_t>(many[i]), std::bit_cast<std::uint32_t>(one[i])) << "sample " << i + 1;
      }
    }
  }
}

}  // namespace
