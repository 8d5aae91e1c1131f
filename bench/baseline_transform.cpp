// The transform and band filter as they were before the transform took its
// stages block by block and tile by tile, kept to be timed beside today's:
// the reordering by exchanges, every stage a pass over the arrays, the
// twiddle factors computed at every transform and the filter factors at
// every bin; and the level scan over a sorted copy of the samples. Not part
// of the library.
#include "baseline_transform.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "core/math.h"

namespace baseline {

using shindo::core::ComplexFloat;
using shindo::core::ComponentSpectra;
using shindo::core::unit_exponential;

namespace {

// The single-precision value nearest pi.
constexpr float PI = 3.1415927f;

// Neighbouring butterfly groups handled together: 32 complex values are four
// whole 64-byte cache lines on each side of the butterflies, a stretch long
// enough for the processor's prefetching to follow (one line at a time
// leaves the stages of long strides waiting on memory).
constexpr std::int32_t kGroupRun = 32;

// The twiddle factors W of a run of neighbouring groups, laid out for the
// product W * x on the pair (x.re, x.im) in double precision: for the g-th
// group of the run, re[2g] and re[2g+1] both hold W.re, im_signed[2g] holds
// -W.im and im_signed[2g+1] W.im, the sign each part of the product gives it.
// The factors of two neighbouring groups are one 16-byte load, those of four
// one 32-byte load.
struct GroupFactors {
  alignas(32) double re[2 * kGroupRun];
  alignas(32) double im_signed[2 * kGroupRun];
};

// The factors of the last stage (half-length N/2), W_k = exp(i angle_k) for
// k = 0..N/2-1: the angle k * IND * PI / (N/2) is carried in double precision
// and rounded once to single precision.
//
// Group M (from 1) of the stage of half-length L takes W_k with
// k = (M-1) * N/(2L): its own angle (M-1) * IND * PI / L differs from the last
// stage's angle of k only by the power of two N/(2L) in the product and in the
// divisor, which changes no rounding. So every stage takes the factors it
// would compute itself, and each is computed once per transform.
std::vector<ComplexFloat> last_stage_factors(std::int32_t N, std::int32_t IND) {
  const std::int32_t L = N / 2;
  std::vector<ComplexFloat> factors(static_cast<std::size_t>(L));
  for (std::int32_t k = 0; k < L; ++k) {
    const float angle =
        static_cast<float>(static_cast<double>(k * IND) * static_cast<double>(PI) / static_cast<double>(L));
    factors[static_cast<std::size_t>(k)] = unit_exponential(angle);
  }
  return factors;
}

// Sets `factor` as the g-th of the run.
void set_factor(GroupFactors& W, std::int32_t g, ComplexFloat factor) {
  W.re[2 * g] = factor.re;
  W.re[2 * g + 1] = factor.re;
  W.im_signed[2 * g] = -factor.im;
  W.im_signed[2 * g + 1] = factor.im;
}

// Every product T = W * x below forms each part with one rounding of its
// double-precision formula, W.re x.re - W.im x.im and W.im x.re + W.re x.im:
// the products of two floats are exact in double, and a + (-b) is a - b.
// Every butterfly then takes X(J) = X(I) - T and X(I) = X(I) + T in single
// precision: the sum or difference of two floats rounded once to float is
// the same whether it is carried in double or in float. No multiply-add is
// fused, so both kernels round exactly where the formulas do and give the
// same bits.

// The product for the complex value in the low half of `x`, with the factor
// at `re`, `im_signed`; the upper half of the result is zero.
__m128 product(const double* re, const double* im_signed, __m128 x) {
  const __m128d parts = _mm_cvtps_pd(x);
  const __m128d swapped = _mm_shuffle_pd(parts, parts, 1);
  return _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(_mm_load_pd(re), parts), _mm_mul_pd(_mm_load_pd(im_signed), swapped)));
}

// The butterfly of the stage of half-length 1, in the low halves.
void butterfly_one(const GroupFactors& W, ComplexFloat* upper, ComplexFloat* lower) {
  const __m128 top = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(upper)));
  const __m128 bottom = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lower)));
  const __m128 T = product(W.re, W.im_signed, bottom);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(lower), _mm_castps_si128(_mm_sub_ps(top, T)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(upper), _mm_castps_si128(_mm_add_ps(top, T)));
}

// The butterflies of groups g and g+1 of the run, side by side: `upper`
// holds X(I) and X(I+1), `lower` X(J) and X(J+1).
void butterflies_two(const GroupFactors& W, std::int32_t g, ComplexFloat* upper, ComplexFloat* lower) {
  const __m128 top = _mm_loadu_ps(&upper->re);
  const __m128 bottom = _mm_loadu_ps(&lower->re);
  const __m128 T = _mm_movelh_ps(product(W.re + 2 * g, W.im_signed + 2 * g, bottom),
                                 product(W.re + 2 * g + 2, W.im_signed + 2 * g + 2, _mm_movehl_ps(bottom, bottom)));
  _mm_storeu_ps(&lower->re, _mm_sub_ps(top, T));
  _mm_storeu_ps(&upper->re, _mm_add_ps(top, T));
}

// The products for the two complex values of `x`, with the factors of two
// neighbouring groups at `re`, `im_signed`.
[[gnu::target("avx")]] __m128 product_two(const double* re, const double* im_signed, __m128 x) {
  const __m256d parts = _mm256_cvtps_pd(x);
  const __m256d swapped = _mm256_permute_pd(parts, 0b0101);
  return _mm256_cvtpd_ps(
      _mm256_add_pd(_mm256_mul_pd(_mm256_load_pd(re), parts), _mm256_mul_pd(_mm256_load_pd(im_signed), swapped)));
}

// The butterflies of groups g to g+3 of the run, side by side.
[[gnu::target("avx")]] void butterflies_four(const GroupFactors& W, std::int32_t g, ComplexFloat* upper,
                                             ComplexFloat* lower) {
  const __m256 top = _mm256_loadu_ps(&upper->re);
  const __m256 T = _mm256_set_m128(product_two(W.re + 2 * g + 4, W.im_signed + 2 * g + 4, _mm_loadu_ps(&lower[2].re)),
                                   product_two(W.re + 2 * g, W.im_signed + 2 * g, _mm_loadu_ps(&lower->re)));
  _mm256_storeu_ps(&lower->re, _mm256_sub_ps(top, T));
  _mm256_storeu_ps(&upper->re, _mm256_add_ps(top, T));
}

// A kernel takes the butterflies of a run of `run` neighbouring groups of the
// stage of half-length L in one array, in each of its `spans` spans of
// length 2L: `first` points at the upper element of the first butterfly of
// the run's first group.
using GroupKernel = void (*)(const GroupFactors& W, std::int32_t run, std::int32_t L, std::int32_t spans,
                             ComplexFloat* first);

// Runs of one group (the stage of half-length 1) or of an even number.
void sse2_groups(const GroupFactors& W, std::int32_t run, std::int32_t L, std::int32_t spans, ComplexFloat* first) {
  for (std::int32_t s = 0; s < spans; ++s) {
    ComplexFloat* const upper = first + std::ptrdiff_t{2} * L * s;
    ComplexFloat* const lower = upper + L;
    if (run == 1) {
      butterfly_one(W, upper, lower);
      continue;
    }
    for (std::int32_t g = 0; g < run; g += 2) butterflies_two(W, g, upper + g, lower + g);
  }
}

// Runs of a multiple of four groups.
[[gnu::target("avx")]] void avx_groups(const GroupFactors& W, std::int32_t run, std::int32_t L, std::int32_t spans,
                                       ComplexFloat* first) {
  for (std::int32_t s = 0; s < spans; ++s) {
    ComplexFloat* const upper = first + std::ptrdiff_t{2} * L * s;
    ComplexFloat* const lower = upper + L;
    for (std::int32_t g = 0; g < run; g += 4) butterflies_four(W, g, upper + g, lower + g);
  }
}

// Puts element k at the place of the bit-reversed k in every array: element
// I is exchanged with element J = r(I-1)+1 whenever I < J, where r reverses
// the log2 N bits of its argument.
void reorder(std::int32_t N, std::span<ComplexFloat* const> arrays) {
  std::int32_t bits = 0;
  while ((std::int32_t{2} << bits) <= N) ++bits;
  if (bits == 0) return;
  for (std::int32_t I = 1; I <= N; ++I) {
    const std::int32_t J = static_cast<std::int32_t>(shindo::core::bit_reversed(static_cast<std::uint32_t>(I - 1), bits)) + 1;
    if (I < J) {
      for (ComplexFloat* X : arrays) std::swap(X[I - 1], X[J - 1]);
    }
  }
}

// The samples are sorted by a radix sort on the bits of their order keys,
// least significant digit first: integer work only, so the order is exactly
// that of the values whatever their distribution. Each pass moves the values
// stably by one digit from one array to another: the samples to the sorted
// copy, the copy to a scratch array, the scratch array back to the copy.
constexpr std::int32_t kDigitBits = 11;
constexpr std::size_t kDigitValues = std::size_t{1} << kDigitBits;
constexpr std::int32_t kPasses = 3;  // 11 + 11 + 10 bits

using DigitPlaces = std::array<std::uint32_t, kDigitValues>;

// The bit pattern of `value` turned into an unsigned integer that increases
// with the value: a pattern with the sign bit clear gets it set, one with
// the sign bit set has every bit inverted. -0 comes just before +0, which
// compare equal as floats, so counts against levels are not affected.
std::uint32_t order_key(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  return bits ^ ((bits >> 31) != 0 ? 0xFFFFFFFFu : 0x80000000u);
}

std::size_t digit(std::uint32_t key, std::int32_t pass) {
  return (key >> (kDigitBits * pass)) & (kDigitValues - 1);
}

// Moves every value of `from` to the next place of its digit in `to`.
void distribute(std::span<const float> from, std::span<float> to, DigitPlaces& next, std::int32_t pass) {
  for (const float value : from) to[next[digit(order_key(value), pass)]++] = value;
}


// The level scan as it was: the samples sorted by a radix sort, then each
// level's count found by walking down the sorted copy from the last level's
// place.
void sort_samples(std::span<const float> samples, std::span<float> sorted, std::span<float> scratch) {
  // The first place of each digit value in each pass: the counts of the
  // smaller digit values.
  std::array<DigitPlaces, kPasses> places{};
  for (const float value : samples) {
    const std::uint32_t key = order_key(value);
    for (std::int32_t pass = 0; pass < kPasses; ++pass) ++places[pass][digit(key, pass)];
  }
  for (DigitPlaces& next : places) {
    std::uint32_t first = 0;
    for (std::uint32_t& place : next) first += std::exchange(place, first);
  }
  const std::span<float> copy = sorted.first(samples.size());
  const std::span<float> middle = scratch.first(samples.size());
  distribute(samples, copy, places[0], 0);
  distribute(copy, middle, places[1], 1);
  distribute(middle, copy, places[2], 2);
}


std::optional<float> scan_by_sorting(std::span<const float> wave, float Amax, float DT, std::span<float> sorted,
                                     std::span<float> scratch) {
  sort_samples(wave, sorted, scratch);
  const float DA = shindo::core::level_step(Amax);
  std::optional<float> found;
  std::size_t above = wave.size();
  for (std::int32_t J = 1; J <= shindo::core::NLEVEL; ++J) {
    const float ALEVEL = shindo::core::level_at(Amax, DA, J);
    while (above > 0 && sorted[above - 1] > ALEVEL) --above;
    const auto NOVER = static_cast<std::int32_t>(wave.size() - above);
    if (!found && shindo::core::lasts_long_enough(NOVER, DT)) found = ALEVEL;
  }
  return found;
}

}  // namespace

void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                        bool avx) {
  reorder(N, arrays);
  const std::vector<ComplexFloat> factors = last_stage_factors(N, IND);
  // The butterflies of one stage touch disjoint pairs, so their order within
  // the stage is free: a run of neighbouring groups is taken block by block,
  // which walks each array through whole cache lines, and the arrays take
  // their turns run by run.
  for (std::int32_t L = 1; L < N; L *= 2) {
    const std::int32_t run = std::min(L, kGroupRun);
    const GroupKernel groups = avx && run % 4 == 0 ? avx_groups : sse2_groups;
    for (std::int32_t M = 1; M <= L; M += run) {
      GroupFactors W;
      for (std::int32_t g = 0; g < run; ++g) {
        set_factor(W, g, factors[static_cast<std::size_t>(M - 1 + g) * static_cast<std::size_t>(N / (2 * L))]);
      }
      for (ComplexFloat* X : arrays) groups(W, run, L, N / (2 * L), X + M - 1);
    }
  }
}


float transform_forward(const shindo::Components& samples, std::int32_t NT, std::int32_t NF, float DT,
                        const ComponentSpectra& spectra, bool avx) {
  for (std::int32_t I = 1; I <= NF; ++I) {
    const bool sample = I <= NT;
    spectra.spec1[I - 1] = {sample ? samples.acc1[I - 1] : 0.0f, 0.0f};
    spectra.spec2[I - 1] = {sample ? samples.acc2[I - 1] : 0.0f, 0.0f};
    spectra.spec3[I - 1] = {sample ? samples.acc3[I - 1] : 0.0f, 0.0f};
  }
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  transform_together(NF, arrays, shindo::core::kForward, avx);
  for (std::int32_t I = 1; I <= NF; ++I) {
    for (ComplexFloat* X : arrays) X[I - 1] = {X[I - 1].re * DT, X[I - 1].im * DT};
  }
  return shindo::core::record_duration(NF, DT);
}

void filter_spectra(std::int32_t NF, std::int32_t NOM, float DUR, const ComponentSpectra& spectra) {
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  for (std::int32_t I = 1; I <= NOM; ++I) {
    const float FILT = shindo::core::filter_factors(I, DUR).FILT;
    for (ComplexFloat* X : arrays) X[I - 1] = {X[I - 1].re * FILT, X[I - 1].im * FILT};
  }
  for (std::int32_t I = 2; I <= NF / 2; ++I) {
    for (ComplexFloat* X : arrays) X[NF + 1 - I] = {X[I - 1].re, -X[I - 1].im};
  }
}

void filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR, const ComponentSpectra& spectra, bool avx) {
  filter_spectra(NF, NOM, DUR, spectra);
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  transform_together(NF, arrays, shindo::core::kInverse, avx);
}

float compute(const shindo::Record& record, bool avx) {
  const auto NT = static_cast<std::int32_t>(record.acc1.size());
  const std::int32_t NF = shindo::core::transform_size(NT).NF;
  const auto slots = static_cast<std::size_t>(NF);
  std::vector<ComplexFloat> work(3 * slots);
  const ComponentSpectra spectra{std::span(work).first(slots), std::span(work).subspan(slots, slots),
                                 std::span(work).subspan(2 * slots, slots)};
  const float DUR = transform_forward(record, NT, NF, record.dt, spectra, avx);
  filter_and_invert(NF, shindo::core::frequency_step(NF, DUR).NOM, DUR, spectra, avx);
  std::vector<float> wave(static_cast<std::size_t>(NT));
  const float amax = shindo::core::compose_vector(spectra, NT, DUR, wave, [](std::int32_t, float) {});
  const std::span<float> sort_space(reinterpret_cast<float*>(work.data()), 6 * slots);
  const auto level = scan_by_sorting(wave, amax, record.dt, sort_space.first(wave.size()),
                                     sort_space.subspan(wave.size(), wave.size()));
  return shindo::core::intensity_value(level.value_or(0.0f)).shindo;
}

}  // namespace baseline
