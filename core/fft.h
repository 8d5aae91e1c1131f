// The transform routine of the computation: an in-place radix-2 complex FFT
// (bit-reversal reordering, then butterfly stages of doubling length) over
// single-precision complex values, without normalisation in either direction.
// Each butterfly forms its product W * x in double precision, each part
// rounded once to single precision, and its sum and difference in single
// precision; the order in which the butterflies of a stage are taken, and
// how many stages are taken while the data stay in cache, changes no bit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/complex.h"

namespace shindo::core {

inline constexpr std::int32_t kForward = -1;
inline constexpr std::int32_t kInverse = +1;

// The transform size of a record of NT samples: the smallest power of two
// NF = 2^IF1 that is at least 4 and at least NT.
struct TransformSize {
  std::int32_t IF1;
  std::int32_t NF;
};
TransformSize transform_size(std::int32_t NT);

// Transforms elements 1..N of X (held at X[0]..X[N-1]) in place: with
// IND = -1 X(k) becomes the sum of x(n) exp(-2 pi i (n-1)(k-1)/N), with
// IND = +1 the same with exp(+...). N must be a power of two (up to 2^22) not
// above NMAX, the capacity of X; nothing is checked, and NMAX takes no part
// otherwise.
void FFT(std::int32_t N, ComplexFloat X[], std::int32_t NMAX, std::int32_t IND);

// Transforms elements 1..N of every one of `arrays` in place, each exactly as
// FFT transforms it alone. The arrays go through the stages side by side, so
// the twiddle factor of a butterfly group is evaluated once for all of them.
void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND);

// The place of element k (from 0) after the reordering of a transform of
// 2^bits points: the low `bits` bits of k in reverse order.
//   bit_reversed(1, 3) -> 4;  bit_reversed(6, 3) -> 3;  bit_reversed(5, 0) -> 0
[[nodiscard]] std::uint32_t bit_reversed(std::uint32_t k, std::int32_t bits);

// The number of bits of a transform size N = 2^bits: log2_size(32768) -> 15.
[[nodiscard]] std::int32_t log2_size(std::int32_t N);

// Calls visit(place, k) for every place 0..2^bits - 1 with k =
// bit_reversed(place, bits), in blocks of 8 x 8: eight runs of eight
// neighbouring places whose k fill eight runs of eight neighbouring
// elements, so that both sides go through whole cache lines.
//   bits 2 -> visit(0, 0), visit(1, 2), visit(2, 1), visit(3, 3) (in some order)
template <class Visit>
void visit_reversed(std::int32_t bits, Visit&& visit) {
  constexpr std::int32_t kSide = 3;  // 8 x 8
  if (bits < 2 * kSide) {
    for (std::uint32_t place = 0; place < (std::uint32_t{1} << bits); ++place) visit(place, bit_reversed(place, bits));
    return;
  }
  constexpr std::uint32_t kReversed[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const std::int32_t high = bits - kSide;
  const std::int32_t middle_bits = bits - 2 * kSide;
  for (std::uint32_t middle = 0; middle < (std::uint32_t{1} << middle_bits); ++middle) {
    const std::uint32_t middle_place = middle << kSide;
    const std::uint32_t middle_k = bit_reversed(middle, middle_bits) << kSide;
    for (std::uint32_t a = 0; a < 8; ++a) {
      const std::uint32_t place = (a << high) | middle_place;
      const std::uint32_t k = middle_k | kReversed[a];
      for (std::uint32_t c = 0; c < 8; ++c) visit(place | c, k | (kReversed[c] << high));
    }
  }
}

// The twiddle factor of group g (from 0) in the stage of half-length L:
// exp(i angle) with angle = g * IND * PI / L carried in double precision and
// rounded once to single precision, then cos and sin each rounded once.
//   stage_factor(1, 0, kForward) -> (1, 0)
//   stage_factor(2, 1, kForward) -> (-4.371139e-08, -1)
[[nodiscard]] ComplexFloat stage_factor(std::int32_t L, std::int32_t g, std::int32_t IND);

// What a packing leaves for transform_stages: the elements in bit-reversed
// order, or those with the stages of half-length 1, 2 and 4 already taken.
enum class Packed { in_order, first_three_taken };

// The butterfly stages of transform_together alone, on arrays whose elements
// already stand in bit-reversed order (element k at bit_reversed(k)), from
// the first stage or, after a packing that took them, from the fourth; with a
// `scale`, every result is then multiplied by it (one single-precision
// product) while it is still in cache. A caller that fills the arrays in
// that order saves the reordering pass.
//   N = 2, X = {(1,0), (3,0)}, forward, scale 0.5 -> X = {(2,0), (-1,0)}
void transform_stages(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                      std::optional<float> scale, Packed packed = Packed::in_order);

// Fills X[0..N-1] for a forward transform of the real `samples` (element k
// is (samples[k], +0), zero from samples.size() on) in bit-reversed order,
// the first three stages taken where the transform's kernel takes them as
// the values are placed (AVX-512, N >= 64). samples.size() <= N.
//   N 4, samples {1, 2} -> X {(1,0), (0,0), (2,0), (0,0)}, Packed::in_order
[[nodiscard]] Packed pack_real(std::int32_t N, std::span<const float> samples, ComplexFloat* X);

// Fills X[0..N-1] for an inverse transform of the spectrum whose bins 0..N/2
// are those of `lower` times `factors` (each part one single-precision
// product) and whose bins N/2+1..N-1 are the conjugates of bins N/2-1..1, in
// bit-reversed order, as pack_real does. Both spans hold N/2 + 1 values.
//   N 4, lower {(1,0), (2,3), (4,0)}, factors {1, 2, 1}
//   -> bins {(1,0), (4,6), (4,0), (4,-6)}, X {(1,0), (4,0), (4,6), (4,-6)}
[[nodiscard]] Packed pack_hermitian(std::int32_t N, std::span<const ComplexFloat> lower,
                                    std::span<const float> factors, ComplexFloat* X);

}  // namespace shindo::core
