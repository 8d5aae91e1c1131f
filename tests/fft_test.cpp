#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "intensity/fft.h"

namespace {

using intensity::FFT;
using recio::ComplexFloat;

struct KnownTransform {
  std::string name;
  std::int32_t IND;
  std::vector<ComplexFloat> input;
  std::vector<ComplexFloat> expected;
  float tolerance;  // 0: bit-exact
};

void PrintTo(const KnownTransform& c, std::ostream* os) { *os << c.name; }

class KnownTransformTest : public ::testing::TestWithParam<KnownTransform> {};

TEST_P(KnownTransformTest, GivesTheExpectedElements) {
  const KnownTransform& c = GetParam();
  std::vector<ComplexFloat> x = c.input;
  FFT(static_cast<std::int32_t>(x.size()), x.data(), 33000, c.IND);
  for (std::size_t k = 0; k < x.size(); ++k) {
    SCOPED_TRACE("element " + std::to_string(k + 1));
    if (c.tolerance == 0.0f) {
      EXPECT_EQ(x[k].re, c.expected[k].re);
      EXPECT_EQ(x[k].im, c.expected[k].im);
    } else {
      EXPECT_NEAR(x[k].re, c.expected[k].re, c.tolerance);
      EXPECT_NEAR(x[k].im, c.expected[k].im, c.tolerance);
    }
  }
}

constexpr float kCos90 = -4.371139e-8f;  // cosine of the single-precision pi/2
constexpr float kRoot = 0.70710677f;

INSTANTIATE_TEST_SUITE_P(
    Fft, KnownTransformTest,
    ::testing::Values(
        KnownTransform{"single_element_forward", -1, {{3.5f, -1.25f}}, {{3.5f, -1.25f}}, 0.0f},
        KnownTransform{"single_element_inverse", +1, {{3.5f, -1.25f}}, {{3.5f, -1.25f}}, 0.0f},
        KnownTransform{"pair_forward", -1, {{1.0f, 2.0f}, {3.0f, 5.0f}}, {{4.0f, 7.0f}, {-2.0f, -3.0f}}, 0.0f},
        KnownTransform{"pair_inverse", +1, {{1.0f, 2.0f}, {3.0f, 5.0f}}, {{4.0f, 7.0f}, {-2.0f, -3.0f}}, 0.0f},
        KnownTransform{"ramp_forward",
                       -1,
                       {{1, 0}, {2, 0}, {3, 0}, {4, 0}},
                       {{10, 0}, {-1.9999999f, 2}, {-2, 0}, {-2, -2}},
                       0.0f},
        KnownTransform{"ramp_back",
                       +1,
                       {{10, 0}, {-1.9999999f, 2}, {-2, 0}, {-2, -2}},
                       {{4, 0}, {8, -5.56e-8f}, {12, 0}, {16, 5.56e-8f}},
                       1e-9f},
        KnownTransform{"impulse_at_first_element",
                       -1,
                       {{1, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
                       {{1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}},
                       0.0f},
        KnownTransform{"impulse_at_second_element",
                       -1,
                       {{0, 0}, {1, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
                       {{1, 0},
                        {kRoot, -kRoot},
                        {kCos90, -1},
                        {-kRoot, -kRoot},
                        {-1, 0},
                        {-kRoot, kRoot},
                        {-kCos90, 1},
                        {kRoot, kRoot}},
                       0.0f}),
    [](const ::testing::TestParamInfo<KnownTransform>& info) { return info.param.name; });

std::vector<ComplexFloat> random_values(std::size_t n, bool real_only, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> value(-100.0f, 100.0f);
  std::vector<ComplexFloat> x(n);
  for (ComplexFloat& v : x) v = {value(generator), real_only ? 0.0f : value(generator)};
  return x;
}

// The transform's defining sum, in double precision.
std::vector<std::complex<double>> direct_sum(const std::vector<ComplexFloat>& x, int IND) {
  const std::size_t n = x.size();
  std::vector<std::complex<double>> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t m = 0; m < n; ++m) {
      const double angle = IND * 2.0 * M_PI * static_cast<double>((m * k) % n) / static_cast<double>(n);
      out[k] += std::complex<double>(x[m].re, x[m].im) * std::polar(1.0, angle);
    }
  }
  return out;
}

TEST(Fft, AgreesWithTheDefiningSumInBothDirections) {
  for (const std::int32_t n : {8, 64, 512}) {
    for (const std::int32_t IND : {intensity::kForward, intensity::kInverse}) {
      SCOPED_TRACE("N=" + std::to_string(n) + " IND=" + std::to_string(IND));
      std::vector<ComplexFloat> x = random_values(static_cast<std::size_t>(n), false, 7u + n);
      const std::vector<std::complex<double>> expected = direct_sum(x, IND);
      FFT(n, x.data(), 33000, IND);
      // Single-precision rounding of sums of n values up to 100 in size.
      const double tolerance = 1e-6 * 100.0 * n;
      for (std::size_t k = 0; k < x.size(); ++k) {
        ASSERT_NEAR(x[k].re, expected[k].real(), tolerance) << "element " << k + 1;
        ASSERT_NEAR(x[k].im, expected[k].imag(), tolerance) << "element " << k + 1;
      }
    }
  }
}

TEST(Fft, RealInputHasRealZeroAndFoldingBins) {
  for (const std::int32_t n : {4, 16, 1024, 32768}) {
    std::vector<ComplexFloat> x = random_values(static_cast<std::size_t>(n), true, 3u + n);
    FFT(n, x.data(), 33000, intensity::kForward);
    EXPECT_EQ(x[0].im, 0.0f) << "N=" << n;
    EXPECT_EQ(x[n / 2].im, 0.0f) << "N=" << n;
  }
}

}  // namespace
