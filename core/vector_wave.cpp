#include "core/vector_wave.h"

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

}  // namespace

float compose_vector(const ComponentSpectra& spectra, std::int32_t NT, float DUR, std::span<float> AVEC) {
  // Values are never NaN (roots of sums of squares of finite or infinite
  // values) and never below +0, so the largest is the peak whatever the order.
  std::int32_t done = 0;
  float peak = 0.0f;
  if (preferred_kernel() >= ButterflyKernel::Avx) {
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
