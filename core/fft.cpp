#include "core/fft.h"

// GCC 12 takes the unused merge source that its AVX-512 conversion and
// permutation intrinsics pass (an undefined vector) for a value read before
// it is set, and warns at every inlined use.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include "core/fft_kernels.h"
#include "core/math.h"

namespace shindo::core {

namespace {

// The single-precision value nearest pi.
constexpr float PI = 3.1415927f;

// The largest transform: 2^22 points (kMaxSamples).
constexpr std::int32_t kMaxLog2 = 22;

// The first stages run block by block: a block of kBlock elements of one
// array (16 KiB) stays in the first-level cache through all the stages whose
// butterflies lie within it.
constexpr std::int32_t kBlock = 2048;

// The later stages run tile by tile: kTileColumns neighbouring elements of
// each of up to 2^kTileStages rows at the stride of the first stage taken go
// through up to kTileStages stages together in a small array that stays in
// the first-level cache (rows at a stride of a power of two would share a
// few cache sets): the first stage writes its results there, the last
// writes them back.
constexpr std::int32_t kTileColumns = 32;
constexpr std::int32_t kTileStages = 5;
constexpr std::int32_t kTileRows = std::int32_t{1} << kTileStages;

// The twiddle factors of the stage of half-length L, W_g = stage_factor(L,
// g, IND) for group g (from 0), are kept as doubles laid out for the product W * x on
// the pair (x.re, x.im): re[2g] and re[2g+1] both hold W.re, im[2g] holds
// -W.im and im[2g+1] W.im, the sign each part of the product gives it; so
// the factors of neighbouring groups are one load of each plane.
struct Factors {
  const double* re;
  const double* im;
  Factors at(std::ptrdiff_t g) const { return {re + 2 * g, im + 2 * g}; }
};

// A factor depends only on L and g, not on the size of the transform, so a
// table per stage and direction serves every transform: each is laid out
// once, at the first transform that needs it, under a once-flag (thread-safe),
// in the default floating-point environment, and stays unchanged and in
// place until the process ends. The tables live in a function-local static
// (44 once-flags and pointers); no other state is shared between transforms.
struct StageTables {
  std::once_flag built[2][kMaxLog2];
  std::unique_ptr<double[]> planes[2][kMaxLog2];  // re, then im: 4L doubles
};

Factors stage_factors(std::int32_t L, std::int32_t IND) {
  static StageTables tables;
  const int direction = IND == kForward ? 0 : 1;
  const int stage = std::countr_zero(static_cast<std::uint32_t>(L));
  const auto size = static_cast<std::size_t>(L);
  std::call_once(tables.built[direction][stage], [L, IND, size, &table = tables.planes[direction][stage]] {
    std::fenv_t caller;
    std::fegetenv(&caller);
    std::fesetenv(FE_DFL_ENV);
    auto planes = std::make_unique<double[]>(4 * size);
    for (std::int32_t g = 0; g < L; ++g) {
      const ComplexFloat W = stage_factor(L, g, IND);
      const auto at = 2 * static_cast<std::size_t>(g);
      planes[at] = planes[at + 1] = W.re;
      planes[2 * size + at] = -W.im;
      planes[2 * size + at + 1] = W.im;
    }
    table = std::move(planes);
    std::fesetenv(&caller);
  });
  const double* const planes = tables.planes[direction][stage].get();
  return {planes, planes + 2 * size};
}

// Every product T = W * x below forms each part with one rounding of its
// double-precision formula, W.re x.re - W.im x.im and W.re x.im + W.im x.re:
// the products of two floats are exact in double, a - b is a + (-b), and a
// sum is the same in either order. Every butterfly then takes
// X(J) = X(I) - T and X(I) = X(I) + T in single precision. No multiply-add is
// fused, so every kernel rounds exactly where the formulas do and gives the
// same bits.

// A kernel's two loops, to which the stages hand all their butterflies:
//   run: the butterflies of `count` neighbouring groups, upper[g] and
//     upper[g + distance] with the factor w.at(g), in each of `spans` spans
//     `stride` elements apart (the groups of one stage within a block, or
//     the row pairs of a tile that share their factors), their results in
//     the same places or, with `out`, in out[g] and out[g + out_distance]
//     of spans `out_stride` apart; `count` is a power of two, at least 4 but
//     for the portable loop's lone butterfly of a 2-point transform;
//   first_two: the stages of half-length 1 and 2 over `quads` groups of four
//     neighbouring elements, with the factor w1 for the first stage and
//     the two of w2 for the second.
struct Spans {
  ComplexFloat* upper;
  std::ptrdiff_t distance;
  std::int32_t count;
  std::int32_t spans;
  std::ptrdiff_t stride;
  ComplexFloat* out = nullptr;
  std::ptrdiff_t out_distance = 0;
  std::ptrdiff_t out_stride = 0;

  // The first elements of span s: its upper and lower values and where
  // their results go.
  struct Places {
    const ComplexFloat* upper;
    const ComplexFloat* lower;
    ComplexFloat* to_upper;
    ComplexFloat* to_lower;
  };
  Places at(std::int32_t s) const {
    ComplexFloat* const from = upper + s * stride;
    ComplexFloat* const to = out != nullptr ? out + s * out_stride : from;
    return {from, from + distance, to, to + (out != nullptr ? out_distance : distance)};
  }
};
using RunLoop = void (*)(Factors w, const Spans& run);
using FirstTwoLoop = void (*)(Factors w1, Factors w2, ComplexFloat* x, std::int32_t quads);

struct Kernel {
  RunLoop run;
  FirstTwoLoop first_two;
};

// The portable kernel: plain C++, one butterfly at a time.
void portable_butterfly(Factors w, ComplexFloat a, ComplexFloat x, ComplexFloat& to_upper, ComplexFloat& to_lower) {
  const double xr = x.re, xi = x.im;
  const float Tr = static_cast<float>(w.re[0] * xr + w.im[0] * xi);
  const float Ti = static_cast<float>(w.re[1] * xi + w.im[1] * xr);
  to_lower = {a.re - Tr, a.im - Ti};
  to_upper = {a.re + Tr, a.im + Ti};
}

void portable_butterfly(Factors w, ComplexFloat& upper, ComplexFloat& lower) {
  portable_butterfly(w, upper, lower, upper, lower);
}

void portable_run(Factors w, const Spans& run) {
  for (std::int32_t s = 0; s < run.spans; ++s) {
    const auto [upper, lower, to_upper, to_lower] = run.at(s);
    for (std::int32_t g = 0; g < run.count; ++g) portable_butterfly(w.at(g), upper[g], lower[g], to_upper[g], to_lower[g]);
  }
}

void portable_first_two(Factors w1, Factors w2, ComplexFloat* x, std::int32_t quads) {
  for (std::int32_t q = 0; q < quads; ++q, x += 4) {
    portable_butterfly(w1, x[0], x[1]);
    portable_butterfly(w1, x[2], x[3]);
    portable_butterfly(w2, x[0], x[2]);
    portable_butterfly(w2.at(1), x[1], x[3]);
  }
}

// The SSE2 kernel: two butterflies at a time.

// The product for the complex value in the low half of `x` with the factor
// w; the upper half of the result is zero.
__m128 sse2_product(Factors w, __m128 x) {
  const __m128d parts = _mm_cvtps_pd(x);
  const __m128d swapped = _mm_shuffle_pd(parts, parts, 1);
  return _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(_mm_loadu_pd(w.re), parts), _mm_mul_pd(_mm_loadu_pd(w.im), swapped)));
}

// The products for the two complex values of `x`, with the factors w and
// w_next.
__m128 sse2_products(Factors w, Factors w_next, __m128 x) {
  return _mm_movelh_ps(sse2_product(w, x), sse2_product(w_next, _mm_movehl_ps(x, x)));
}

void sse2_run(Factors w, const Spans& run) {
  for (std::int32_t s = 0; s < run.spans; ++s) {
    const auto [upper, lower, to_upper, to_lower] = run.at(s);
    for (std::int32_t g = 0; g < run.count; g += 2) {
      const __m128 top = _mm_loadu_ps(&upper[g].re);
      const __m128 T = sse2_products(w.at(g), w.at(g + 1), _mm_loadu_ps(&lower[g].re));
      _mm_storeu_ps(&to_lower[g].re, _mm_sub_ps(top, T));
      _mm_storeu_ps(&to_upper[g].re, _mm_add_ps(top, T));
    }
  }
}

// Four elements x0..x3: the first stage pairs (x0, x1) and (x2, x3), the
// second (y0, y2) and (y1, y3) of its results. The shuffles between them
// serve the SSE2 and the AVX kernel alike.
struct QuadPairs {
  __m128 upper;
  __m128 lower;
};

// (x0, x2) above (x1, x3).
inline QuadPairs first_pairs(const ComplexFloat* x) {
  const __m128 a = _mm_loadu_ps(&x[0].re);  // x0 x1
  const __m128 b = _mm_loadu_ps(&x[2].re);  // x2 x3
  return {_mm_movelh_ps(a, b), _mm_movehl_ps(b, a)};
}

// The first stage's results with its products T1, as the second pairs them:
// (y0, y1) above (y2, y3).
inline QuadPairs second_pairs(const QuadPairs& first, __m128 T1) {
  const __m128 sums = _mm_add_ps(first.upper, T1);   // y0 y2
  const __m128 diffs = _mm_sub_ps(first.upper, T1);  // y1 y3
  return {_mm_movelh_ps(sums, diffs), _mm_movehl_ps(diffs, sums)};
}

// The second stage's results with its products T2: z0..z3.
inline void store_quad(ComplexFloat* x, const QuadPairs& second, __m128 T2) {
  _mm_storeu_ps(&x[0].re, _mm_add_ps(second.upper, T2));
  _mm_storeu_ps(&x[2].re, _mm_sub_ps(second.upper, T2));
}

void sse2_first_two(Factors w1, Factors w2, ComplexFloat* x, std::int32_t quads) {
  for (std::int32_t q = 0; q < quads; ++q, x += 4) {
    const QuadPairs first = first_pairs(x);
    const QuadPairs second = second_pairs(first, sse2_products(w1, w1, first.lower));
    store_quad(x, second, sse2_products(w2, w2.at(1), second.lower));
  }
}

// The AVX kernel: four butterflies at a time.

// The products for the two complex values of `x` with the factors of two
// neighbouring groups (re and signed im planes).
[[gnu::target("avx")]] inline __m128 avx_products(__m256d re, __m256d im, __m128 x) {
  const __m256d parts = _mm256_cvtps_pd(x);
  const __m256d swapped = _mm256_permute_pd(parts, 0b0101);
  return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(re, parts), _mm256_mul_pd(im, swapped)));
}

[[gnu::target("avx")]] void avx_run(Factors w, const Spans& run) {
  for (std::int32_t s = 0; s < run.spans; ++s) {
    const auto [upper, lower, to_upper, to_lower] = run.at(s);
    for (std::int32_t g = 0; g < run.count; g += 4) {
      const __m256 top = _mm256_loadu_ps(&upper[g].re);
      const Factors low = w.at(g), high = w.at(g + 2);
      const __m256 T = _mm256_set_m128(
          avx_products(_mm256_loadu_pd(high.re), _mm256_loadu_pd(high.im), _mm_loadu_ps(&lower[g + 2].re)),
          avx_products(_mm256_loadu_pd(low.re), _mm256_loadu_pd(low.im), _mm_loadu_ps(&lower[g].re)));
      _mm256_storeu_ps(&to_lower[g].re, _mm256_sub_ps(top, T));
      _mm256_storeu_ps(&to_upper[g].re, _mm256_add_ps(top, T));
    }
  }
}

[[gnu::target("avx")]] void avx_first_two(Factors w1, Factors w2, ComplexFloat* x, std::int32_t quads) {
  const __m256d first_re = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(w1.re));
  const __m256d first_im = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(w1.im));
  const __m256d second_re = _mm256_loadu_pd(w2.re);
  const __m256d second_im = _mm256_loadu_pd(w2.im);
  for (std::int32_t q = 0; q < quads; ++q, x += 4) {
    const QuadPairs first = first_pairs(x);
    const QuadPairs second = second_pairs(first, avx_products(first_re, first_im, first.lower));
    store_quad(x, second, avx_products(second_re, second_im, second.lower));
  }
}

// The AVX-512 kernel: eight butterflies at a time (runs of four take the
// AVX loop).

// The products for the four complex values of `x` with the factors of four
// neighbouring groups, held in `re` and `im`.
[[gnu::target("avx512f")]] inline __m256 avx512_four_products(__m512d re, __m512d im, __m256 x) {
  const __m512d parts = _mm512_cvtps_pd(x);
  const __m512d swapped = _mm512_permute_pd(parts, 0x55);
  return _mm512_cvtpd_ps(_mm512_add_pd(_mm512_mul_pd(re, parts), _mm512_mul_pd(im, swapped)));
}

// Eight complex values: four in `low`, then four in `high`.
[[gnu::target("avx512f")]] inline __m512 joined(__m256 low, __m256 high) {
  return _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(low)), _mm256_castps_pd(high), 1));
}

[[gnu::target("avx512f")]] void avx512_run(Factors w, const Spans& run) {
  if (run.count % 8 != 0) {
    avx_run(w, run);
    return;
  }
  for (std::int32_t s = 0; s < run.spans; ++s) {
    const auto [upper, lower, to_upper, to_lower] = run.at(s);
    for (std::int32_t g = 0; g < run.count; g += 8) {
      const __m512 top = _mm512_loadu_ps(&upper[g].re);
      const Factors first = w.at(g), second = w.at(g + 4);
      const __m256 low =
          avx512_four_products(_mm512_loadu_pd(first.re), _mm512_loadu_pd(first.im), _mm256_loadu_ps(&lower[g].re));
      const __m256 high = avx512_four_products(_mm512_loadu_pd(second.re), _mm512_loadu_pd(second.im),
                                               _mm256_loadu_ps(&lower[g + 4].re));
      const __m512 T = joined(low, high);
      _mm512_storeu_ps(&to_lower[g].re, _mm512_sub_ps(top, T));
      _mm512_storeu_ps(&to_upper[g].re, _mm512_add_ps(top, T));
    }
  }
}

// The products for the eight complex values of `x` with the factors held in
// `re` and `im` (the two planes' values for the eight).
[[gnu::target("avx512f")]] inline __m512 avx512_products_of(__m512d re, __m512d im, __m512 x) {
  const __m256 low = avx512_four_products(re, im, _mm512_castps512_ps256(x));
  const __m256 high = avx512_four_products(re, im, _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(x), 1)));
  return joined(low, high);
}

// Picks complex values (64-bit lanes) of `a` (places 0-7) and `b` (8-15).
[[gnu::target("avx512f")]] inline __m512 pick(__m512 a, __m512i places, __m512 b) {
  return _mm512_castpd_ps(_mm512_permutex2var_pd(_mm512_castps_pd(a), places, _mm512_castps_pd(b)));
}

// Four groups of four elements at a time, x0..x15: the first stage pairs
// each even element with the next, the second y(4q) with y(4q+2) and
// y(4q+1) with y(4q+3); left-over groups take the AVX loop.
[[gnu::target("avx512f")]] void avx512_first_two(Factors w1, Factors w2, ComplexFloat* x, std::int32_t quads) {
  const __m512d first_re = _mm512_broadcast_f64x4(_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(w1.re)));
  const __m512d first_im = _mm512_broadcast_f64x4(_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(w1.im)));
  const __m512d second_re = _mm512_broadcast_f64x4(_mm256_loadu_pd(w2.re));
  const __m512d second_im = _mm512_broadcast_f64x4(_mm256_loadu_pd(w2.im));
  const __m512i evens = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
  const __m512i odds = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
  const __m512i uppers = _mm512_set_epi64(14, 6, 12, 4, 10, 2, 8, 0);
  const __m512i lowers = _mm512_set_epi64(15, 7, 13, 5, 11, 3, 9, 1);
  const __m512i first_half = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
  const __m512i second_half = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
  std::int32_t q = 0;
  for (; q + 4 <= quads; q += 4, x += 16) {
    const __m512 a = _mm512_loadu_ps(&x[0].re);
    const __m512 b = _mm512_loadu_ps(&x[8].re);
    const __m512 upper = pick(a, evens, b);  // x0 x2 x4 ... x14
    const __m512 T1 = avx512_products_of(first_re, first_im, pick(a, odds, b));
    const __m512 sums = _mm512_add_ps(upper, T1);   // y0 y2 y4 y6 ...: y(4q), y(4q+2)
    const __m512 diffs = _mm512_sub_ps(upper, T1);  // y1 y3 y5 y7 ...: y(4q+1), y(4q+3)
    const __m512 top = pick(sums, uppers, diffs);   // y0 y1 y4 y5 ...
    const __m512 T2 = avx512_products_of(second_re, second_im, pick(sums, lowers, diffs));  // of y2 y3 y6 y7 ...
    const __m512 z_top = _mm512_add_ps(top, T2);     // z0 z1 z4 z5 ...
    const __m512 z_bottom = _mm512_sub_ps(top, T2);  // z2 z3 z6 z7 ...
    _mm512_storeu_ps(&x[0].re, pick(z_top, first_half, z_bottom));
    _mm512_storeu_ps(&x[8].re, pick(z_top, second_half, z_bottom));
  }
  if (q < quads) avx_first_two(w1, w2, x, quads - q);
}

// Packing with the first three stages. The places 8q .. 8q+7 of a transform
// of N points hold the elements b + m N/8 for m = bit_reversed(r, 3), r =
// 0..7, and b = bit_reversed(q, log2 N - 3): eight streams of neighbouring
// elements. Eight neighbouring b at a time, the streams' values go through
// the stages of half-length 1 (place 8q + r with 8q + r + 1, r even), 2 (r
// with r + 2 by group r % 2, r = 0, 1, 4, 5) and 4 (r with r + 4 by group r,
// r < 4) lane by lane, each butterfly with exactly the operations of the
// kernels' own; lane j of the eight streams is then the whole 64-byte line
// of places 8q .. 8q+7 for b + j.
constexpr std::int32_t kLeastPackedWithStages = 64;  // N/8 >= eight b

// The eight streams' values at eight b: stream r holds places 8q + r.
struct Streams {
  __m512 x[8];
};

// The offsets m of the streams, in eighths of the transform.
constexpr std::size_t kStreamEighths[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The butterfly of stream `upper` and stream `lower` by the one factor w.
[[gnu::target("avx512f")]] inline void avx512_stream_butterfly(Factors w, __m512& upper, __m512& lower) {
  const __m512d re = _mm512_broadcast_f64x4(_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(w.re)));
  const __m512d im = _mm512_broadcast_f64x4(_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(w.im)));
  const __m512 T = avx512_products_of(re, im, lower);
  lower = _mm512_sub_ps(upper, T);
  upper = _mm512_add_ps(upper, T);
}

// Pairs the 128-bit lanes 0 and 2 (`odd` false) or 1 and 3 of a, then of b.
[[gnu::target("avx512f")]] inline __m512d alternate_lanes(__m512d a, __m512d b, bool odd) {
  return odd ? _mm512_shuffle_f64x2(a, b, 0xDD) : _mm512_shuffle_f64x2(a, b, 0x88);
}

// Takes the three stages on the streams of the eight b from `first` and
// stores the line of each.
[[gnu::target("avx512f")]] void avx512_stages_and_store(Streams& s, Factors w1, Factors w2, Factors w4,
                                                         std::int32_t octet_bits, std::uint32_t first,
                                                         ComplexFloat* X) {
  __m512* const x = s.x;
  avx512_stream_butterfly(w1, x[0], x[1]);
  avx512_stream_butterfly(w1, x[2], x[3]);
  avx512_stream_butterfly(w1, x[4], x[5]);
  avx512_stream_butterfly(w1, x[6], x[7]);
  avx512_stream_butterfly(w2, x[0], x[2]);
  avx512_stream_butterfly(w2.at(1), x[1], x[3]);
  avx512_stream_butterfly(w2, x[4], x[6]);
  avx512_stream_butterfly(w2.at(1), x[5], x[7]);
  avx512_stream_butterfly(w4, x[0], x[4]);
  avx512_stream_butterfly(w4.at(1), x[1], x[5]);
  avx512_stream_butterfly(w4.at(2), x[2], x[6]);
  avx512_stream_butterfly(w4.at(3), x[3], x[7]);
  // An 8 x 8 transposition of complex values (64-bit lanes): t[k] pairs
  // streams 2k and 2k + 1 for the even lanes j (k < 4) or the odd ones;
  // u[k] then holds streams 4(k / 4) .. +3 for two lanes j; line j is
  // made of two u.
  __m512d t[8];
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    const __m512d a = _mm512_castps_pd(s.x[2 * k]), b = _mm512_castps_pd(s.x[2 * k + 1]);
    t[k] = _mm512_unpacklo_pd(a, b);      // j = 0 2 4 6
    t[k + 4] = _mm512_unpackhi_pd(a, b);  // j = 1 3 5 7
  }
  // u: streams 0-3 then 4-7; for each, j = (0, 4), (2, 6), (1, 5), (3, 7).
  __m512d u[8];
#pragma GCC unroll 2
  for (int half = 0; half < 2; ++half) {
    const int k = 2 * half;
    u[4 * half + 0] = alternate_lanes(t[k], t[k + 1], false);
    u[4 * half + 1] = alternate_lanes(t[k], t[k + 1], true);
    u[4 * half + 2] = alternate_lanes(t[k + 4], t[k + 5], false);
    u[4 * half + 3] = alternate_lanes(t[k + 4], t[k + 5], true);
  }
  constexpr std::uint32_t kLanes[4][2] = {{0, 4}, {2, 6}, {1, 5}, {3, 7}};
  // bit_reversed(first + j) = bit_reversed(first) + bit_reversed(j) for j < 8.
  constexpr std::uint32_t kReversed[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const std::uint32_t base = bit_reversed(first, octet_bits);
  const std::int32_t shift = octet_bits - 3;
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
#pragma GCC unroll 2
    for (int odd = 0; odd < 2; ++odd) {
      const std::uint32_t j = kLanes[k][odd];
      double* const line = reinterpret_cast<double*>(X + 8 * std::size_t{base + (kReversed[j] << shift)});
      _mm512_storeu_pd(line, alternate_lanes(u[k], u[k + 4], odd != 0));
    }
  }
}

// Eight samples from `first` as complex values (x, +0); zero past the end.
[[gnu::target("avx512f")]] inline __m512 avx512_real_values(std::span<const float> samples, std::size_t first) {
  __m256 values;
  if (first + 8 <= samples.size()) {
    values = _mm256_loadu_ps(samples.data() + first);
  } else {
    alignas(32) float tail[8] = {};
    for (std::size_t k = first; k < samples.size(); ++k) tail[k - first] = samples[k];
    values = _mm256_load_ps(tail);
  }
  return _mm512_castsi512_ps(_mm512_cvtepu32_epi64(_mm256_castps_si256(values)));
}

[[gnu::target("avx512f")]] void avx512_pack_real(std::int32_t bits, std::span<const float> samples, ComplexFloat* X,
                                                  Factors w1, Factors w2, Factors w4) {
  const std::size_t eighth = std::size_t{1} << (bits - 3);
  for (std::size_t b = 0; b < eighth; b += 8) {
    Streams s;
#pragma GCC unroll 8
    for (int r = 0; r < 8; ++r) s.x[r] = avx512_real_values(samples, b + kStreamEighths[r] * eighth);
    avx512_stages_and_store(s, w1, w2, w4, bits - 3, static_cast<std::uint32_t>(b), X);
  }
}

// Eight bins from `first` of `lower`, each part times the bin's factor.
[[gnu::target("avx512f")]] inline __m512 avx512_scaled_bins(std::span<const ComplexFloat> lower,
                                                             std::span<const float> factors, std::size_t first) {
  const __m512i pairs = _mm512_set_epi32(7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0);
  const __m512 f = _mm512_permutexvar_ps(pairs, _mm512_castps256_ps512(_mm256_loadu_ps(factors.data() + first)));
  return _mm512_mul_ps(_mm512_loadu_ps(&lower[first].re), f);
}

// The conjugates of the scaled bins at `last` - 7 .. `last` in the reverse
// order (bin `last` first); with `keep_first`, the first is left as it is.
[[gnu::target("avx512f")]] inline __m512 avx512_mirrored_bins(std::span<const ComplexFloat> lower,
                                                               std::span<const float> factors, std::size_t last,
                                                               bool keep_first) {
  const __m512i reversed = _mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7);
  const __m512 bins =
      _mm512_castpd_ps(_mm512_permutexvar_pd(reversed, _mm512_castps_pd(avx512_scaled_bins(lower, factors, last - 7))));
  const __m512i signs = _mm512_set_epi32(INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0,
                                         INT32_MIN, 0, INT32_MIN, 0, keep_first ? 0 : INT32_MIN, 0);
  return _mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(bins), signs));
}

[[gnu::target("avx512f")]] void avx512_pack_hermitian(std::int32_t bits, std::span<const ComplexFloat> lower,
                                                       std::span<const float> factors, ComplexFloat* X, Factors w1,
                                                       Factors w2, Factors w4) {
  const std::size_t eighth = std::size_t{1} << (bits - 3);
  // Bins b + m N/8 with m < 4 lie in the lower half; with m >= 4 each is the
  // conjugate of bin (8 - m) N/8 - b, but for b = 0 and m = 4 the folding
  // bin itself.
  for (std::size_t b = 0; b < eighth; b += 8) {
    Streams s;
#pragma GCC unroll 8
    for (int r = 0; r < 8; ++r) {
      const std::size_t m = kStreamEighths[r];
      s.x[r] = m < 4 ? avx512_scaled_bins(lower, factors, b + m * eighth)
                     : avx512_mirrored_bins(lower, factors, (8 - m) * eighth - b, m == 4 && b == 0);
    }
    avx512_stages_and_store(s, w1, w2, w4, bits - 3, static_cast<std::uint32_t>(b), X);
  }
}

Kernel kernel_of(ButterflyKernel choice) {
  switch (choice) {
    case ButterflyKernel::Portable: return {portable_run, portable_first_two};
    case ButterflyKernel::Sse2: return {sse2_run, sse2_first_two};
    case ButterflyKernel::Avx: return {avx_run, avx_first_two};
    case ButterflyKernel::Avx512: return {avx512_run, avx512_first_two};
  }
  return {portable_run, portable_first_two};
}

void scale_elements(ComplexFloat* x, std::int32_t count, float scale) {
  for (std::int32_t k = 0; k < count; ++k) x[k] = {x[k].re * scale, x[k].im * scale};
}

// The stages of half-length 1 up to block/2 of every array, block by block.
void block_stages(const Kernel& kernel, std::int32_t N, std::int32_t block, std::span<ComplexFloat* const> arrays,
                  std::int32_t IND, std::optional<float> scale, Packed packed) {
  const Factors w1 = stage_factors(1, IND);
  if (block == 2) {
    for (ComplexFloat* X : arrays) {
      portable_run(w1, {X, 1, 1, 1, 0});
      if (scale) scale_elements(X, 2, *scale);
    }
    return;
  }
  const Factors w2 = stage_factors(2, IND);
  for (std::int32_t first = 0; first < N; first += block) {
    for (ComplexFloat* const array : arrays) {
      ComplexFloat* const X = array + first;
      if (packed == Packed::in_order) kernel.first_two(w1, w2, X, block / 4);
      for (std::int32_t L = packed == Packed::in_order ? 4 : 8; L < block; L *= 2) {
        const Factors w = stage_factors(L, IND);
        kernel.run(w, {X, L, L, block / (2 * L), 2 * std::ptrdiff_t{L}});
      }
      if (scale) scale_elements(X, block, *scale);
    }
  }
}

// The stages of half-length L0, 2 L0, ... L0 2^(count-1) of every array, tile
// by tile: a tile is kTileColumns neighbouring elements in each of the 2^count
// rows j = 0, 1, ... at the stride L0 from `first`; the stage of half-length
// L0 2^t pairs row j with row j + 2^t (bit t of j clear), and the column c of
// row j takes the factor of group (j mod 2^t) L0 + c. The first stage reads
// the rows from the array and writes the tile, the last reads the tile and
// writes the rows back, the ones between stay in the tile.
void tile_stages(const Kernel& kernel, std::int32_t N, std::int32_t L0, std::int32_t count,
                 std::span<ComplexFloat* const> arrays, std::int32_t IND, std::optional<float> scale) {
  const std::int32_t rows = std::int32_t{1} << count;
  Factors factors[kTileStages];
  for (std::int32_t t = 0; t < count; ++t) factors[t] = stage_factors(L0 << t, IND);
  alignas(64) ComplexFloat tile[kTileRows * kTileColumns];
  for (std::int32_t first = 0; first < N; first += L0 * rows) {
    for (std::int32_t column = 0; column < L0; column += kTileColumns) {
      for (ComplexFloat* const array : arrays) {
        ComplexFloat* const X = array + first + column;
        for (std::int32_t t = 0; t < count; ++t) {
          const std::int32_t half = std::int32_t{1} << t;
          for (std::int32_t j = 0; j < half; ++j) {
            ComplexFloat* const in_tile = tile + j * kTileColumns;
            ComplexFloat* const in_array = X + std::ptrdiff_t{j} * L0;
            const std::ptrdiff_t tile_rows = half * kTileColumns, array_rows = std::ptrdiff_t{half} * L0;
            const bool from_array = t == 0, to_array = t == count - 1;
            const std::ptrdiff_t source_rows = from_array ? array_rows : tile_rows;
            const std::ptrdiff_t target_rows = to_array ? array_rows : tile_rows;
            const Spans run{from_array ? in_array : in_tile, source_rows, kTileColumns, rows / (2 * half),
                            2 * source_rows, to_array ? in_array : in_tile, target_rows, 2 * target_rows};
            kernel.run(factors[t].at(std::ptrdiff_t{j} * L0 + column), run);
          }
        }
        if (scale) {
          for (std::int32_t j = 0; j < rows; ++j) scale_elements(X + std::ptrdiff_t{j} * L0, kTileColumns, *scale);
        }
      }
    }
  }
}

// Puts element k at the place of the bit-reversed k in every array: element
// I is exchanged with element J = r(I-1)+1 whenever I < J, where r reverses
// the log2 N bits of its argument.
void reorder(std::int32_t N, std::span<ComplexFloat* const> arrays) {
  const std::int32_t bits = log2_size(N);
  if (bits == 0) return;
  for (std::int32_t I = 0; I < N; ++I) {
    const auto J = static_cast<std::int32_t>(bit_reversed(static_cast<std::uint32_t>(I), bits));
    if (I < J) {
      for (ComplexFloat* X : arrays) std::swap(X[I], X[J]);
    }
  }
}

}  // namespace

TransformSize transform_size(std::int32_t NT) {
  std::int32_t IF1 = 2;
  while ((std::int32_t{1} << IF1) < NT) ++IF1;
  return {IF1, std::int32_t{1} << IF1};
}

std::uint32_t bit_reversed(std::uint32_t k, std::int32_t bits) {
  if (bits == 0) return 0;
  k = ((k >> 1) & 0x55555555u) | ((k & 0x55555555u) << 1);
  k = ((k >> 2) & 0x33333333u) | ((k & 0x33333333u) << 2);
  k = ((k >> 4) & 0x0F0F0F0Fu) | ((k & 0x0F0F0F0Fu) << 4);
  k = ((k >> 8) & 0x00FF00FFu) | ((k & 0x00FF00FFu) << 8);
  k = (k >> 16) | (k << 16);
  return k >> (32 - bits);
}

std::int32_t log2_size(std::int32_t N) { return std::countr_zero(static_cast<std::uint32_t>(N)); }

bool avx_available() {
  return __builtin_cpu_supports("avx") != 0;
}

bool avx512_available() {
  return __builtin_cpu_supports("avx512f") != 0;
}

ButterflyKernel preferred_kernel() {
  static const ButterflyKernel chosen = [] {
    const char* const asked = std::getenv("SHINDO_TRANSFORM_KERNEL");
    const std::string_view name = asked != nullptr ? asked : "";
    if (name == "portable") return ButterflyKernel::Portable;
    if (name == "sse2" || !avx_available()) return ButterflyKernel::Sse2;
    if (name == "avx" || !avx512_available()) return ButterflyKernel::Avx;
    return ButterflyKernel::Avx512;
  }();
  return chosen;
}

void transform_stages(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                      std::optional<float> scale, ButterflyKernel choice, Packed packed) {
  if (N < 2) {
    if (scale) {
      for (ComplexFloat* X : arrays) scale_elements(X, N, *scale);
    }
    return;
  }
  const Kernel kernel = kernel_of(choice);
  const std::int32_t block = std::min(N, kBlock);
  block_stages(kernel, N, block, arrays, IND, block == N ? scale : std::nullopt, packed);
  for (std::int32_t L0 = block; L0 < N;) {
    const std::int32_t count = std::min(kTileStages, log2_size(N / L0));
    const std::int32_t next = L0 << count;
    tile_stages(kernel, N, L0, count, arrays, IND, next == N ? scale : std::nullopt);
    L0 = next;
  }
}

void transform_stages(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                      std::optional<float> scale, Packed packed) {
  transform_stages(N, arrays, IND, scale, preferred_kernel(), packed);
}

void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                        ButterflyKernel kernel) {
  reorder(N, arrays);
  transform_stages(N, arrays, IND, std::nullopt, kernel, Packed::in_order);
}

ComplexFloat stage_factor(std::int32_t L, std::int32_t g, std::int32_t IND) {
  const float angle =
      static_cast<float>(static_cast<double>(g * IND) * static_cast<double>(PI) / static_cast<double>(L));
  return unit_exponential(angle);
}

Packed pack_real(std::int32_t N, std::span<const float> samples, ComplexFloat* X, ButterflyKernel kernel) {
  const std::int32_t bits = log2_size(N);
  if (kernel == ButterflyKernel::Avx512 && N >= kLeastPackedWithStages) {
    avx512_pack_real(bits, samples, X, stage_factors(1, kForward), stage_factors(2, kForward),
                     stage_factors(4, kForward));
    return Packed::first_three_taken;
  }
  const auto NT = samples.size();
  visit_reversed(bits, [samples, X, NT](std::uint32_t place, std::uint32_t k) {
    X[place] = {k < NT ? samples[k] : 0.0f, 0.0f};
  });
  return Packed::in_order;
}

Packed pack_real(std::int32_t N, std::span<const float> samples, ComplexFloat* X) {
  return pack_real(N, samples, X, preferred_kernel());
}

Packed pack_hermitian(std::int32_t N, std::span<const ComplexFloat> lower, std::span<const float> factors,
                      ComplexFloat* X, ButterflyKernel kernel) {
  const std::int32_t bits = log2_size(N);
  if (kernel == ButterflyKernel::Avx512 && N >= kLeastPackedWithStages) {
    avx512_pack_hermitian(bits, lower, factors, X, stage_factors(1, kInverse), stage_factors(2, kInverse),
                          stage_factors(4, kInverse));
    return Packed::first_three_taken;
  }
  const std::int32_t half = N / 2;
  visit_reversed(bits, [lower, factors, X, N, half](std::uint32_t place, std::uint32_t k) {
    const auto bin = static_cast<std::int32_t>(k);
    const bool mirrored = bin > half;
    const auto source = static_cast<std::size_t>(mirrored ? N - bin : bin);
    const float factor = factors[source];
    const ComplexFloat a = lower[source];
    const float im = a.im * factor;
    X[place] = {a.re * factor, mirrored ? -im : im};
  });
  return Packed::in_order;
}

Packed pack_hermitian(std::int32_t N, std::span<const ComplexFloat> lower, std::span<const float> factors,
                      ComplexFloat* X) {
  return pack_hermitian(N, lower, factors, X, preferred_kernel());
}

void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND) {
  transform_together(N, arrays, IND, preferred_kernel());
}

void FFT(std::int32_t N, ComplexFloat X[], std::int32_t NMAX, std::int32_t IND) {
  static_cast<void>(NMAX);
  transform_together(N, std::span<ComplexFloat* const>(&X, 1), IND);
}

}  // namespace shindo::core
