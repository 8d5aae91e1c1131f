#include "core/vector_wave.h"

// GCC 12 takes the unused merge source of its AVX-512 conversion intrinsics
// (an undefined vector) for a value read before it is set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include "core/fft_kernels.h"

namespace shindo::core {

namespace {

// The real parts of four neighbouring complex values.
[[gnu::target("avx")]] inline __m128 real_parts(const ComplexFloat* x) {
  const __m256 values = _mm256_loadu_ps(&x->re);
  return _mm_shuffle_ps(_mm256_castps256_ps128(values), _mm256_extractf128_ps(values, 1), _MM_SHUFFLE(2, 0, 2, 0));
}

// One component of four samples: re / DUR rounded to float, then its square
// in double.
[[gnu::target("avx")]] inline __m256d square_of_quotient(const ComplexFloat* x, __m256d DUR) {
  const __m256d a = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_div_pd(_mm256_cvtps_pd(real_parts(x)), DUR)));
  return _mm256_mul_pd(a, a);
}

// The samples [0, NT - NT % 4) four at a time; returns their peak (at least 0).
[[gnu::target("avx")]] float avx_vector(const ComponentSpectra& spectra, std::int32_t NT, float DUR,
                                        std::span<float> AVEC) {
  const __m256d duration = _mm256_set1_pd(DUR);
  __m128 peak = _mm_setzero_ps();
  for (std::int32_t i = 0; i + 4 <= NT; i += 4) {
    const __m256d s1 = square_of_quotient(&spectra.spec1[i], duration);
    const __m256d s2 = square_of_quotient(&spectra.spec2[i], duration);
    const __m256d s3 = square_of_quotient(&spectra.spec3[i], duration);
    const __m128 value = _mm256_cvtpd_ps(_mm256_sqrt_pd(_mm256_add_pd(_mm256_add_pd(s3, s2), s1)));
    _mm_storeu_ps(&AVEC[i], value);
    peak = _mm_max_ps(peak, value);
  }
  peak = _mm_max_ps(peak, _mm_movehl_ps(peak, peak));
  peak = _mm_max_ss(peak, _mm_shuffle_ps(peak, peak, 1));
  return _mm_cvtss_f32(peak);
}

// The AVX-512 loop, sixteen samples at a time. A quotient of two floats
// formed in double and rounded to single precision is the single-precision
// quotient itself (double has more than twice the digits, so the two
// roundings never differ from one), value and exceptions alike: the
// quotients are taken in single precision, sixteen to an instruction.

// The real parts of sixteen neighbouring complex values, over DUR.
[[gnu::target("avx512f")]] inline __m512 quotients(const ComplexFloat* x, __m512 DUR) {
  const __m512i evens = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
  return _mm512_div_ps(_mm512_permutex2var_ps(_mm512_loadu_ps(&x[0].re), evens, _mm512_loadu_ps(&x[8].re)), DUR);
}

// The squares in double of the low (half 0) or high (half 1) eight values.
[[gnu::target("avx512f")]] inline __m512d squares(__m512 a, int half) {
  const __m512d d = _mm512_cvtps_pd(half == 0 ? _mm512_castps512_ps256(a)
                                              : _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(a), 1)));
  return _mm512_mul_pd(d, d);
}

// The samples [0, NT - NT % 16); returns their peak (at least 0).
[[gnu::target("avx512f")]] float avx512_vector(const ComponentSpectra& spectra, std::int32_t NT, float DUR,
                                               std::span<float> AVEC) {
  const __m512 duration = _mm512_set1_ps(DUR);
  __m512 peak = _mm512_setzero_ps();
  for (std::int32_t i = 0; i + 16 <= NT; i += 16) {
    const __m512 a1 = quotients(&spectra.spec1[i], duration);
    const __m512 a2 = quotients(&spectra.spec2[i], duration);
    const __m512 a3 = quotients(&spectra.spec3[i], duration);
    __m256 halves[2];
    for (int half = 0; half < 2; ++half) {
      const __m512d sum = _mm512_add_pd(_mm512_add_pd(squares(a3, half), squares(a2, half)), squares(a1, half));
      halves[half] = _mm512_cvtpd_ps(_mm512_sqrt_pd(sum));
    }
    const __m512 value = _mm512_castpd_ps(
        _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(halves[0])), _mm256_castps_pd(halves[1]), 1));
    _mm512_storeu_ps(&AVEC[static_cast<std::size_t>(i)], value);
    peak = _mm512_max_ps(peak, value);
  }
  return _mm512_reduce_max_ps(peak);
}

}  // namespace

float compose_vector(const ComponentSpectra& spectra, std::int32_t NT, float DUR, std::span<float> AVEC) {
  // Values are never NaN (roots of sums of squares of finite or infinite
  // values) and never below +0, so the largest is the peak whatever the order.
  std::int32_t done = 0;
  float peak = 0.0f;
  if (preferred_kernel() == ButterflyKernel::Avx512) {
    peak = avx512_vector(spectra, NT, DUR, AVEC);
    done = NT - NT % 16;
  } else if (preferred_kernel() >= ButterflyKernel::Avx) {
    peak = avx_vector(spectra, NT, DUR, AVEC);
    done = NT - NT % 4;
  }
  for (std::int32_t I = done + 1; I <= NT; ++I) {
    const float value = vector_sample(spectra.spec1[I - 1].re, spectra.spec2[I - 1].re, spectra.spec3[I - 1].re, DUR);
    AVEC[I - 1] = value;
    if (value > peak) peak = value;
  }
  return peak;
}

}  // namespace shindo::core
