// The transform routine of the computation: an in-place radix-2 complex FFT
// (bit-reversal reordering, then butterfly stages of doubling length) over
// single-precision complex values, without normalisation in either direction.
#pragma once

#include <cstdint>
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

}  // namespace shindo::core
