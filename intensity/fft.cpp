#include "intensity/fft.h"

#include <utility>

namespace intensity {

namespace {

// The single-precision value nearest pi.
constexpr float PI = 3.1415927f;

// Each complex formula is carried in double precision, each part rounded to
// single precision once.
recio::ComplexFloat product(recio::ComplexFloat W, recio::ComplexFloat x) {
  return {static_cast<float>(static_cast<double>(W.re) * x.re - static_cast<double>(W.im) * x.im),
          static_cast<float>(static_cast<double>(W.im) * x.re + static_cast<double>(W.re) * x.im)};
}

recio::ComplexFloat difference(recio::ComplexFloat a, recio::ComplexFloat b) {
  return {static_cast<float>(static_cast<double>(a.re) - b.re),
          static_cast<float>(static_cast<double>(a.im) - b.im)};
}

recio::ComplexFloat sum(recio::ComplexFloat a, recio::ComplexFloat b) {
  return {static_cast<float>(static_cast<double>(a.re) + b.re),
          static_cast<float>(static_cast<double>(a.im) + b.im)};
}

// Puts element k at the place of the bit-reversed k. The carry loop stops
// once K falls below 2; for a power-of-two N that only changes the index
// formed after the last element, which is never used.
void reorder(std::int32_t N, recio::ComplexFloat X[]) {
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
}

}  // namespace

void FFT(std::int32_t N, recio::ComplexFloat X[], std::int32_t NMAX, std::int32_t IND) {
  static_cast<void>(NMAX);
  reorder(N, X);
  for (std::int32_t L = 1; L < N; L *= 2) {
    const std::int32_t stride = 2 * L;
    for (std::int32_t M = 1; M <= L; ++M) {
      const float angle = static_cast<float>(static_cast<double>((M - 1) * IND) *
                                             static_cast<double>(PI) / static_cast<double>(L));
      // Every butterfly of the group has this twiddle factor.
      const recio::ComplexFloat W = recio::CEXP(0.0f, angle);
      for (std::int32_t I = M; I <= N; I += stride) {
        const std::int32_t J = I + L;
        const recio::ComplexFloat T = product(W, X[J - 1]);
        X[J - 1] = difference(X[I - 1], T);
        X[I - 1] = sum(X[I - 1], T);
      }
    }
  }
}

}  // namespace intensity
