#include "core/band_filter.h"

#include <cmath>

#include "core/fft.h"
#include "core/math.h"

namespace shindo::core {

namespace {

// Coefficients of the high-cut polynomial in y = FREQ/10, as the
// single-precision values of the decimal constants.
constexpr double kY2 = 0.694f;
constexpr double kY4 = 0.241f;
constexpr double kY6 = 0.0557f;
constexpr double kY8 = 0.009664f;
constexpr double kY10 = 0.00134f;
constexpr double kY12 = 0.000155f;

// (2 FREQ)^3 above which the low-cut factor is 1.
constexpr double kCubeOfFullLowCut = 40.0;

// The single-precision value nearest 2 pi.
constexpr double kTwoPi = 6.2831855f;

// The product of two floats is exact in double precision, so its one
// rounding to single precision is the single-precision product itself.
float scaled(float part, float factor) { return part * factor; }

void scale_bin(ComplexFloat& bin, float factor) {
  bin.re = scaled(bin.re, factor);
  bin.im = scaled(bin.im, factor);
}

void mirror_bin(std::span<ComplexFloat> spectrum, std::int32_t from, std::int32_t to) {
  spectrum[to - 1] = {spectrum[from - 1].re, -spectrum[from - 1].im};
}

// The three components share every twiddle factor of a transform.
void transform_all(std::int32_t NF, const ComponentSpectra& spectra, std::int32_t IND) {
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  transform_together(NF, arrays, IND);
}

}  // namespace

FilterFactors filter_factors(std::int32_t I, float DUR) {
  FilterFactors f{};
  f.FREQ = static_cast<float>(static_cast<double>(I) / DUR);
  const MathValue period = checked_sqrt(1.0 / f.FREQ);
  f.fault = period.fault;
  if (f.fault != Fault::none) return f;
  f.PERF = static_cast<float>(period.value);

  const float y = static_cast<float>(f.FREQ / 10.0);
  const float y2 = static_cast<float>(static_cast<double>(y) * y);
  const float y4 = static_cast<float>(static_cast<double>(y2) * y2);
  const float y6 = static_cast<float>(static_cast<double>(y4) * y2);
  const float y8 = static_cast<float>(static_cast<double>(y4) * y4);
  const float y10 = static_cast<float>(static_cast<double>(y6) * y4);
  const float y12 = static_cast<float>(static_cast<double>(y8) * y4);
  // Highest power first; the y^2 term comes before the y^4 term and 1 last.
  const double S = kY12 * y12 + kY10 * y10 + kY8 * y8 + kY6 * y6 + kY2 * y2 + kY4 * y4 + 1.0;
  f.HCUT = static_cast<float>(1.0 / std::sqrt(S));

  const double twice = 2.0 * f.FREQ;
  const double cube = twice * twice * twice;
  // Beyond this cube exp(-cube) lies below 2^-57, so 1 - exp(-cube) rounds
  // to 1 in double precision and the factor is exactly 1. S >= 1 and
  // 1 - exp(-cube) >= 0: neither root has a fault.
  f.LCUT = cube > kCubeOfFullLowCut ? 1.0f : static_cast<float>(std::sqrt(1.0 - exponential(-cube)));

  f.FILT = static_cast<float>(static_cast<double>(f.LCUT) * f.PERF * f.HCUT);
  return f;
}

float record_duration(std::int32_t NF, float DT) {
  return static_cast<float>(static_cast<double>(NF) * DT);
}

FrequencyStep frequency_step(std::int32_t NF, float DUR) {
  FrequencyStep step{};
  step.DOM = static_cast<float>(kTwoPi / DUR);
  step.NOM = NF / 2 + 1;
  step.EOM = static_cast<float>(static_cast<double>(step.NOM) * step.DOM);
  return step;
}

float transform_forward(const Components& samples, std::int32_t NT, std::int32_t NF, float DT,
                        const ComponentSpectra& spectra) {
  for (std::int32_t I = 1; I <= NT; ++I) {
    spectra.spec1[I - 1] = {samples.acc1[I - 1], 0.0f};
    spectra.spec2[I - 1] = {samples.acc2[I - 1], 0.0f};
    spectra.spec3[I - 1] = {samples.acc3[I - 1], 0.0f};
  }
  for (std::int32_t I = NT + 1; I <= NF; ++I) {
    spectra.spec1[I - 1] = {0.0f, 0.0f};
    spectra.spec2[I - 1] = {0.0f, 0.0f};
    spectra.spec3[I - 1] = {0.0f, 0.0f};
  }
  transform_all(NF, spectra, kForward);

  const float duration = record_duration(NF, DT);
  for (std::int32_t I = 1; I <= NF; ++I) {
    scale_bin(spectra.spec1[I - 1], DT);
    scale_bin(spectra.spec2[I - 1], DT);
    scale_bin(spectra.spec3[I - 1], DT);
  }
  return duration;
}

Fault filter_spectra(std::int32_t NOM, float DUR, const ComponentSpectra& spectra) {
  for (std::int32_t I = 1; I <= NOM; ++I) {
    const FilterFactors f = filter_factors(I, DUR);
    if (f.fault != Fault::none) return f.fault;
    scale_bin(spectra.spec1[I - 1], f.FILT);
    scale_bin(spectra.spec2[I - 1], f.FILT);
    scale_bin(spectra.spec3[I - 1], f.FILT);
  }
  return Fault::none;
}

void complete_conjugates(std::int32_t NF, const ComponentSpectra& spectra) {
  for (std::int32_t I = 2; I <= NF / 2; ++I) {
    const std::int32_t mirror = NF + 2 - I;
    mirror_bin(spectra.spec1, I, mirror);
    mirror_bin(spectra.spec2, I, mirror);
    mirror_bin(spectra.spec3, I, mirror);
  }
}

Fault filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR, const ComponentSpectra& spectra) {
  if (const Fault fault = filter_spectra(NOM, DUR, spectra); fault != Fault::none) return fault;
  complete_conjugates(NF, spectra);
  transform_all(NF, spectra, kInverse);
  return Fault::none;
}

}  // namespace shindo::core
