#include "intensity/band_filter.h"

#include "intensity/console.h"
#include "intensity/fft.h"
#include "intensity/storage.h"
#include "recio/statement.h"

namespace intensity {

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

void scale_bin(recio::ComplexFloat& bin, float factor) {
  bin.re = scaled(bin.re, factor);
  bin.im = scaled(bin.im, factor);
}

void mirror_bin(std::span<recio::ComplexFloat> spectrum, std::int32_t from, std::int32_t to) {
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
  f.PERF = static_cast<float>(recio::SQRT(1.0 / f.FREQ));

  const float y = static_cast<float>(f.FREQ / 10.0);
  const float y2 = static_cast<float>(static_cast<double>(y) * y);
  const float y4 = static_cast<float>(static_cast<double>(y2) * y2);
  const float y6 = static_cast<float>(static_cast<double>(y4) * y2);
  const float y8 = static_cast<float>(static_cast<double>(y4) * y4);
  const float y10 = static_cast<float>(static_cast<double>(y6) * y4);
  const float y12 = static_cast<float>(static_cast<double>(y8) * y4);
  // Highest power first; the y^2 term comes before the y^4 term and 1 last.
  const double S = kY12 * y12 + kY10 * y10 + kY8 * y8 + kY6 * y6 + kY2 * y2 + kY4 * y4 + 1.0;
  f.HCUT = static_cast<float>(1.0 / recio::SQRT(S));

  const double twice = 2.0 * f.FREQ;
  const double cube = twice * twice * twice;
  // Beyond this cube exp(-cube) lies below 2^-57, so 1 - exp(-cube) rounds
  // to 1 in double precision and the factor is exactly 1.
  f.LCUT = cube > kCubeOfFullLowCut ? 1.0f : static_cast<float>(recio::SQRT(1.0 - recio::EXP(-cube)));

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

float transform_forward(const ComponentSamples& samples, std::int32_t NT, std::int32_t NF, float DT,
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

void filter_spectra(std::int32_t NOM, float DUR, const ComponentSpectra& spectra) {
  for (std::int32_t I = 1; I <= NOM; ++I) {
    const float FILT = filter_factors(I, DUR).FILT;
    scale_bin(spectra.spec1[I - 1], FILT);
    scale_bin(spectra.spec2[I - 1], FILT);
    scale_bin(spectra.spec3[I - 1], FILT);
  }
}

void complete_conjugates(std::int32_t NF, const ComponentSpectra& spectra) {
  for (std::int32_t I = 2; I <= NF / 2; ++I) {
    const std::int32_t mirror = NF + 2 - I;
    mirror_bin(spectra.spec1, I, mirror);
    mirror_bin(spectra.spec2, I, mirror);
    mirror_bin(spectra.spec3, I, mirror);
  }
}

void filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR,
                       const ComponentSpectra& spectra) {
  filter_spectra(NOM, DUR, spectra);
  complete_conjugates(NF, spectra);
  transform_all(NF, spectra, kInverse);
}

void band_filter_stage() {
  const ComponentSpectra spectra{SPEC1, SPEC2, SPEC3};
  DUR = transform_forward({ACC1, ACC2, ACC3}, NT, NF, DT, spectra);
  const FrequencyStep step = frequency_step(NF, DUR);
  DOM = step.DOM;
  NOM = step.NOM;
  EOM = step.EOM;

  console_empty_line();
  recio::begin_write(recio::kConsoleOutput);
  write_text(" DUR,DOM,NOM,EOM=");
  recio::write_real(DUR);
  recio::write_real(DOM);
  recio::write_integer(NOM);
  recio::write_real(EOM);
  recio::end_write();

  filter_and_invert(NF, NOM, DUR, spectra);
}

}  // namespace intensity
