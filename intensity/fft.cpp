#include "intensity/fft.h"

#include <emmintrin.h>

#include <algorithm>
#include <utility>

namespace intensity {

namespace {

using recio::ComplexFloat;

// The single-precision value nearest pi.
constexpr float PI = 3.1415927f;

// Neighbouring butterfly groups handled together: eight complex values fill
// one 64-byte cache line.
constexpr std::int32_t kGroupRun = 8;

// The twiddle factor W of one butterfly group, laid out for the product
// W * x on the pair (x.re, x.im) in double precision: W.re twice, and W.im
// with the sign each part of the product gives it.
struct Twiddle {
  __m128d re;         // (W.re, W.re)
  __m128d im_signed;  // (-W.im, W.im)
};

// The factor of group M (from 1) in the stage of half-length L: the angle
// (M-1) * IND * PI / L is carried in double precision and rounded once to
// single precision, and W is the complex exponential of (0, angle).
Twiddle twiddle(std::int32_t M, std::int32_t L, std::int32_t IND) {
  const float angle = static_cast<float>(static_cast<double>((M - 1) * IND) * static_cast<double>(PI) /
                                         static_cast<double>(L));
  const ComplexFloat W = recio::CEXP(0.0f, angle);
  return {_mm_set1_pd(W.re), _mm_set_pd(W.im, -W.im)};
}

// One complex value in the low half of a register (the upper half zero), or
// two neighbouring ones in the whole register.
__m128 load_one(const ComplexFloat* x) {
  return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(x)));
}

void store_one(ComplexFloat* x, __m128 value) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(x), _mm_castps_si128(value));
}

__m128 load_two(const ComplexFloat* x) { return _mm_loadu_ps(&x->re); }

void store_two(ComplexFloat* x, __m128 value) { _mm_storeu_ps(&x->re, value); }

// T = W * x for the complex value in the low half of `x`, each part one
// rounding of its double-precision formula: W.re x.re - W.im x.im and
// W.im x.re + W.re x.im. The products of two floats are exact in double,
// and a + (-b) is a - b. The upper half of the result is zero.
__m128 product(const Twiddle& W, __m128 x) {
  const __m128d parts = _mm_cvtps_pd(x);
  const __m128d swapped = _mm_shuffle_pd(parts, parts, 1);
  return _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(W.re, parts), _mm_mul_pd(W.im_signed, swapped)));
}

// Two butterflies side by side: `upper` holds X(I) and X(I'), `lower` X(J)
// and X(J'), the first pair with factor W0, the second with W1. Each takes
// T = W * X(J), then X(J) = X(I) - T and X(I) = X(I) + T in single precision:
// the sum or difference of two floats rounded once to float is the same
// whether it is carried in double or in float.
void butterflies(const Twiddle& W0, const Twiddle& W1, __m128& upper, __m128& lower) {
  const __m128 T = _mm_movelh_ps(product(W0, lower), product(W1, _mm_movehl_ps(lower, lower)));
  lower = _mm_sub_ps(upper, T);
  upper = _mm_add_ps(upper, T);
}

// The low `bits` bits of k in reverse order.
std::uint32_t reversed(std::uint32_t k, std::int32_t bits) {
  k = ((k >> 1) & 0x55555555u) | ((k & 0x55555555u) << 1);
  k = ((k >> 2) & 0x33333333u) | ((k & 0x33333333u) << 2);
  k = ((k >> 4) & 0x0F0F0F0Fu) | ((k & 0x0F0F0F0Fu) << 4);
  k = ((k >> 8) & 0x00FF00FFu) | ((k & 0x00FF00FFu) << 8);
  k = (k >> 16) | (k << 16);
  return k >> (32 - bits);
}

// Puts element k at the place of the bit-reversed k in every array: element
// I is exchanged with element J = r(I-1)+1 whenever I < J, where r reverses
// the log2 N bits of its argument.
void reorder(std::int32_t N, std::span<ComplexFloat* const> arrays) {
  std::int32_t bits = 0;
  while ((std::int32_t{2} << bits) <= N) ++bits;
  if (bits == 0) return;
  for (std::int32_t I = 1; I <= N; ++I) {
    const std::int32_t J = static_cast<std::int32_t>(reversed(static_cast<std::uint32_t>(I - 1), bits)) + 1;
    if (I < J) {
      for (ComplexFloat* X : arrays) std::swap(X[I - 1], X[J - 1]);
    }
  }
}

}  // namespace

void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND) {
  reorder(N, arrays);
  // The butterflies of one stage touch disjoint pairs, so their order within
  // the stage is free: a run of neighbouring groups is taken block by block,
  // which walks each array through whole cache lines, and the arrays take
  // their turns run by run.
  for (std::int32_t L = 1; L < N; L *= 2) {
    const std::int32_t stride = 2 * L;
    const std::int32_t run = std::min(L, kGroupRun);
    for (std::int32_t M = 1; M <= L; M += run) {
      Twiddle W[kGroupRun];
      for (std::int32_t g = 0; g < run; ++g) W[g] = twiddle(M + g, L, IND);
      for (ComplexFloat* X : arrays) {
        for (std::int32_t I = M; I <= N; I += stride) {
          ComplexFloat* const upper = X + I - 1;
          ComplexFloat* const lower = upper + L;
          if (run == 1) {
            // The stage of half-length 1: one butterfly, in the low halves.
            __m128 top = load_one(upper);
            __m128 bottom = load_one(lower);
            butterflies(W[0], W[0], top, bottom);
            store_one(upper, top);
            store_one(lower, bottom);
            continue;
          }
          for (std::int32_t g = 0; g < run; g += 2) {
            __m128 top = load_two(upper + g);
            __m128 bottom = load_two(lower + g);
            butterflies(W[g], W[g + 1], top, bottom);
            store_two(upper + g, top);
            store_two(lower + g, bottom);
          }
        }
      }
    }
  }
}

void FFT(std::int32_t N, ComplexFloat X[], std::int32_t NMAX, std::int32_t IND) {
  static_cast<void>(NMAX);
  transform_together(N, std::span<ComplexFloat* const>(&X, 1), IND);
}

}  // namespace intensity
