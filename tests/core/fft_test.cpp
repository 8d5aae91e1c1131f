#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/fft.h"
#include "core/fft_kernels.h"

namespace {

using shindo::core::ButterflyKernel;
using shindo::core::FFT;
using shindo::core::ComplexFloat;

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
    for (const std::int32_t IND : {shindo::core::kForward, shindo::core::kInverse}) {
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
    FFT(n, x.data(), 33000, shindo::core::kForward);
    EXPECT_EQ(x[0].im, 0.0f) << "N=" << n;
    EXPECT_EQ(x[n / 2].im, 0.0f) << "N=" << n;
  }
}

// The transform as its plain loops: the bit-reversal exchanges with the carry
// loop, then every butterfly with its own twiddle factor, each formula
// carried in double precision and rounded once to single precision.
std::vector<ComplexFloat> plain_loops(std::vector<ComplexFloat> X, std::int32_t IND) {
  const std::int32_t N = static_cast<std::int32_t>(X.size());
  std::int32_t J = 1;
  for (std::int32_t I = 1; I <= N; ++I) {
    if (I < J) std::swap(X[I - 1], X[J - 1]);
    std::int32_t K = N / 2;
    while (J > K) {
      J -= K;
      K /= 2;
      if (K < 2) break;
    }
    J += K;
  }
  for (std::int32_t L = 1; L < N; L *= 2) {
    for (std::int32_t M = 1; M <= L; ++M) {
      const float angle = static_cast<float>(static_cast<double>((M - 1) * IND) * static_cast<double>(3.1415927f) /
                                             static_cast<double>(L));
      for (std::int32_t I = M; I <= N; I += 2 * L) {
        const ComplexFloat W = {static_cast<float>(std::cos(static_cast<double>(angle))),
                                 static_cast<float>(std::sin(static_cast<double>(angle)))};
        ComplexFloat& a = X[I - 1];
        ComplexFloat& b = X[I + L - 1];
        const ComplexFloat T = {
            static_cast<float>(static_cast<double>(W.re) * b.re - static_cast<double>(W.im) * b.im),
            static_cast<float>(static_cast<double>(W.im) * b.re + static_cast<double>(W.re) * b.im)};
        b = {static_cast<float>(static_cast<double>(a.re) - T.re),
             static_cast<float>(static_cast<double>(a.im) - T.im)};
        a = {static_cast<float>(static_cast<double>(a.re) + T.re),
             static_cast<float>(static_cast<double>(a.im) + T.im)};
      }
    }
  }
  return X;
}

// Element by element, bit pattern by bit pattern (so -0 differs from +0).
void expect_same_bits(const std::vector<ComplexFloat>& actual, const std::vector<ComplexFloat>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t k = 0; k < actual.size(); ++k) {
    ASSERT_EQ(std::bit_cast<std::uint32_t>(actual[k].re), std::bit_cast<std::uint32_t>(expected[k].re))
        << "element " << k + 1 << " real part " << actual[k].re << " vs " << expected[k].re;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(actual[k].im), std::bit_cast<std::uint32_t>(expected[k].im))
        << "element " << k + 1 << " imaginary part " << actual[k].im << " vs " << expected[k].im;
  }
}

enum class Content { Complex, Real, Awkward, WideRange };

// Awkward values: zeros of both signs, subnormal and very large magnitudes
// between ordinary ones. Wide-range values: random signs, significands and
// exponents from the subnormals up to 2^100, so that no sum of 32768 of them
// overflows.
std::vector<ComplexFloat> content(Content kind, std::size_t n, unsigned seed) {
  if (kind == Content::Complex || kind == Content::Real) return random_values(n, kind == Content::Real, seed);
  std::mt19937 generator(seed);
  std::vector<ComplexFloat> x(n);
  if (kind == Content::WideRange) {
    std::uniform_int_distribution<std::uint32_t> sign(0, 1), exponent(0, 127 + 100), significand(0, 0x7FFFFF);
    const auto value = [&] {
      return std::bit_cast<float>(sign(generator) << 31 | exponent(generator) << 23 | significand(generator));
    };
    for (ComplexFloat& v : x) v = {value(), value()};
    return x;
  }
  const float picks[] = {0.0f, -0.0f, 1e-40f, -3e-39f, 1e30f, -2.5e29f, 1.0f, -7.25f, 1e-20f};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(picks) - 1);
  for (ComplexFloat& v : x) v = {picks[pick(generator)], picks[pick(generator)]};
  return x;
}

// The butterfly kernels this processor runs.
std::vector<ButterflyKernel> runnable_kernels() {
  std::vector<ButterflyKernel> kernels{ButterflyKernel::Portable, ButterflyKernel::Sse2};
  if (shindo::core::avx_available()) kernels.push_back(ButterflyKernel::Avx);
  if (shindo::core::avx_available() && shindo::core::avx512_available()) kernels.push_back(ButterflyKernel::Avx512);
  return kernels;
}

const char* kernel_name(ButterflyKernel kernel) {
  switch (kernel) {
    case ButterflyKernel::Portable: return "portable";
    case ButterflyKernel::Sse2: return "SSE2";
    case ButterflyKernel::Avx: return "AVX";
    case ButterflyKernel::Avx512: return "AVX-512";
  }
  return "?";
}

struct PlainCase {
  std::int32_t N;
  std::int32_t IND;
  Content kind;
};

class FftBitsTest : public ::testing::TestWithParam<PlainCase> {};

TEST_P(FftBitsTest, EqualsThePlainLoopsBitForBit) {
  const PlainCase& c = GetParam();
  const std::vector<ComplexFloat> input = content(c.kind, static_cast<std::size_t>(c.N), 11u + c.N);
  const std::vector<ComplexFloat> expected = plain_loops(input, c.IND);
  std::vector<ComplexFloat> x = input;
  FFT(c.N, x.data(), 33000, c.IND);
  expect_same_bits(x, expected);
  for (const ButterflyKernel kernel : runnable_kernels()) {
    SCOPED_TRACE(kernel_name(kernel));
    x = input;
    ComplexFloat* const arrays[] = {x.data()};
    shindo::core::transform_together(c.N, arrays, c.IND, kernel);
    expect_same_bits(x, expected);
  }
}

std::vector<PlainCase> plain_cases() {
  std::vector<PlainCase> cases;
  // 2048 elements are taken block by block alone; 4096 and 32768 add stages
  // tile by tile, 65536 a full tile of five, 262144 a second, shorter one.
  for (const std::int32_t N : {1, 2, 4, 8, 16, 32, 1024, 2048, 4096, 32768, 65536, 262144}) {
    for (const std::int32_t IND : {shindo::core::kForward, shindo::core::kInverse}) {
      for (const Content kind : {Content::Complex, Content::Real, Content::Awkward, Content::WideRange}) {
        cases.push_back({N, IND, kind});
      }
    }
  }
  return cases;
}

std::string plain_case_name(const ::testing::TestParamInfo<PlainCase>& info) {
  const char* const kinds[] = {"complex", "real", "awkward", "wide_range"};
  return "N" + std::to_string(info.param.N) + (info.param.IND == shindo::core::kForward ? "_forward_" : "_inverse_") +
         kinds[static_cast<int>(info.param.kind)];
}

INSTANTIATE_TEST_SUITE_P(Fft, FftBitsTest, ::testing::ValuesIn(plain_cases()), plain_case_name);

// Three arrays at once, as a run transforms them: every kernel leaves the
// same bits as the SSE2 one, for sizes taken block by block alone, with one
// tile of stages and with two.
class KernelAgreementTest : public ::testing::TestWithParam<PlainCase> {};

TEST_P(KernelAgreementTest, EveryKernelGivesTheSse2Bits) {
  const PlainCase& c = GetParam();
  std::vector<std::vector<ComplexFloat>> sse2;
  for (unsigned a = 0; a < 3; ++a) sse2.push_back(content(c.kind, static_cast<std::size_t>(c.N), 29u * a + c.N));
  const std::vector<std::vector<ComplexFloat>> input = sse2;
  const auto transform = [&c](std::vector<std::vector<ComplexFloat>>& data, ButterflyKernel kernel) {
    ComplexFloat* const arrays[] = {data[0].data(), data[1].data(), data[2].data()};
    shindo::core::transform_together(c.N, arrays, c.IND, kernel);
  };
  transform(sse2, ButterflyKernel::Sse2);
  for (const ButterflyKernel kernel : runnable_kernels()) {
    SCOPED_TRACE(kernel_name(kernel));
    std::vector<std::vector<ComplexFloat>> other = input;
    transform(other, kernel);
    for (std::size_t a = 0; a < 3; ++a) {
      SCOPED_TRACE("array " + std::to_string(a + 1));
      expect_same_bits(other[a], sse2[a]);
    }
  }
}

std::vector<PlainCase> agreement_cases() {
  std::vector<PlainCase> cases;
  for (const std::int32_t N : {4, 8, 16, 64, 128, 4096, 32768, 131072}) {
    for (const std::int32_t IND : {shindo::core::kForward, shindo::core::kInverse}) {
      for (const Content kind : {Content::Complex, Content::Awkward, Content::WideRange}) {
        cases.push_back({N, IND, kind});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Fft, KernelAgreementTest, ::testing::ValuesIn(agreement_cases()), plain_case_name);

TEST(Fft, ArraysTransformedTogetherEqualEachAlone) {
  for (const std::int32_t N : {1, 2, 4, 16, 4096}) {
    for (const std::size_t count : {1u, 2u, 3u}) {
      for (const std::int32_t IND : {shindo::core::kForward, shindo::core::kInverse}) {
        SCOPED_TRACE("N=" + std::to_string(N) + " arrays=" + std::to_string(count) + " IND=" + std::to_string(IND));
        std::vector<std::vector<ComplexFloat>> together;
        for (std::size_t a = 0; a < count; ++a) {
          together.push_back(content(a == 1 ? Content::Awkward : Content::Complex, static_cast<std::size_t>(N),
                                     static_cast<unsigned>(5 * a + 1)));
        }
        std::vector<std::vector<ComplexFloat>> alone = together;
        std::vector<ComplexFloat*> arrays;
        for (std::vector<ComplexFloat>& x : together) arrays.push_back(x.data());
        shindo::core::transform_together(N, arrays, IND);
        for (std::size_t a = 0; a < count; ++a) {
          FFT(N, alone[a].data(), 33000, IND);
          expect_same_bits(together[a], alone[a]);
        }
      }
    }
  }
}

// Elements placed in bit-reversed order and taken through the stages alone,
// with a scale: the bits of the whole transform with every element then
// multiplied by the scale, for every kernel.
TEST(Fft, StagesOnReorderedElementsWithAScaleGiveTheTransformScaled) {
  struct Row {
    std::int32_t N;
    std::int32_t IND;
    float scale;
  };
  const Row rows[] = {{2, shindo::core::kForward, 0.01f},   {4, shindo::core::kInverse, 0.5f},
                      {2048, shindo::core::kForward, 0.005f}, {4096, shindo::core::kForward, 0.01f},
                      {65536, shindo::core::kInverse, 3.0e-3f}, {131072, shindo::core::kForward, 1e30f}};
  for (const Row& row : rows) {
    const std::vector<ComplexFloat> input = content(Content::Complex, static_cast<std::size_t>(row.N), 41u);
    std::vector<ComplexFloat> expected = input;
    FFT(row.N, expected.data(), 0, row.IND);
    for (ComplexFloat& v : expected) v = {v.re * row.scale, v.im * row.scale};
    for (const ButterflyKernel kernel : runnable_kernels()) {
      SCOPED_TRACE("N=" + std::to_string(row.N) + " " + kernel_name(kernel));
      std::vector<ComplexFloat> x(input.size());
      const std::int32_t bits = shindo::core::log2_size(row.N);
      for (std::uint32_t k = 0; k < x.size(); ++k) x[shindo::core::bit_reversed(k, bits)] = input[k];
      ComplexFloat* const arrays[] = {x.data()};
      shindo::core::transform_stages(row.N, arrays, row.IND, row.scale, kernel);
      expect_same_bits(x, expected);
    }
  }
}

// The packings with the stages after them: the bits of the whole transform of
// the array the packing stands for, built element by element, for every
// kernel (AVX-512 takes the first three stages as it packs from 64 points on).
TEST(Fft, PackingsThenStagesGiveTheTransformOfTheArrayTheyStandFor) {
  struct Row {
    std::int32_t N;
    std::size_t samples;  // real samples given (the rest is zero)
  };
  const Row rows[] = {{4, 4}, {8, 5}, {32, 32}, {64, 64}, {64, 1}, {128, 77}, {256, 129}, {4096, 4096}, {32768, 30001}};
  for (const Row& row : rows) {
    const auto n = static_cast<std::size_t>(row.N);
    const std::vector<ComplexFloat> source = content(Content::Complex, n, 17u);
    // The real samples, and a lower half of a spectrum with its factors.
    std::vector<float> samples(row.samples);
    for (std::size_t k = 0; k < row.samples; ++k) samples[k] = source[k].re;
    const std::vector<ComplexFloat> lower(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(n / 2 + 1));
    std::vector<float> factors(n / 2 + 1);
    for (std::size_t k = 0; k < factors.size(); ++k) factors[k] = source[n - 1 - k].im * 1e-3f + 0.5f;

    std::vector<ComplexFloat> real_input(n, ComplexFloat{0.0f, 0.0f}), hermitian_input(n);
    for (std::size_t k = 0; k < row.samples; ++k) real_input[k] = {samples[k], 0.0f};
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t source_bin = k <= n / 2 ? k : n - k;
      const ComplexFloat v = {lower[source_bin].re * factors[source_bin], lower[source_bin].im * factors[source_bin]};
      hermitian_input[k] = k <= n / 2 ? v : ComplexFloat{v.re, -v.im};
    }
    std::vector<ComplexFloat> real_expected = real_input, hermitian_expected = hermitian_input;
    FFT(row.N, real_expected.data(), 0, shindo::core::kForward);
    FFT(row.N, hermitian_expected.data(), 0, shindo::core::kInverse);

    for (const ButterflyKernel kernel : runnable_kernels()) {
      SCOPED_TRACE("N=" + std::to_string(row.N) + " " + kernel_name(kernel));
      std::vector<ComplexFloat> x(n);
      ComplexFloat* const arrays[] = {x.data()};
      shindo::core::Packed packed = shindo::core::pack_real(row.N, samples, x.data(), kernel);
      shindo::core::transform_stages(row.N, arrays, shindo::core::kForward, std::nullopt, kernel, packed);
      expect_same_bits(x, real_expected);
      packed = shindo::core::pack_hermitian(row.N, lower, factors, x.data(), kernel);
      shindo::core::transform_stages(row.N, arrays, shindo::core::kInverse, std::nullopt, kernel, packed);
      expect_same_bits(x, hermitian_expected);
    }
  }
}

TEST(Fft, BitReversedPlaces) {
  struct Row {
    std::uint32_t k;
    std::int32_t bits;
    std::uint32_t place;
  };
  const Row rows[] = {{0, 0, 0}, {5, 0, 0}, {1, 1, 1}, {1, 3, 4}, {6, 3, 3}, {3, 4, 12},
                      {1, 15, 16384}, {32767, 15, 32767}, {0x2AAAAA, 22, 0x155555}};
  for (const Row& row : rows) {
    EXPECT_EQ(shindo::core::bit_reversed(row.k, row.bits), row.place) << row.k << " in " << row.bits << " bits";
  }
}

}  // namespace
