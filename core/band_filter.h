// The intensity band filter: the three components are packed into complex
// work arrays, transformed forward, scaled by DT, weighted bin by bin with the
// product of the period-effect, high-cut and low-cut factors up to the folding
// frequency, completed by conjugate symmetry and transformed back. The
// factors of a transform size and interval are computed once and kept.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/complex.h"
#include "shindo/compute.h"

namespace shindo::core {

// The three complex work arrays, side by side (element k at [k-1]).
struct ComponentSpectra {
  std::span<ComplexFloat> spec1;
  std::span<ComplexFloat> spec2;
  std::span<ComplexFloat> spec3;
};

// The filter of one bin, evaluated at FREQ = I/DUR, one frequency step above
// the bin's own frequency (I-1)/DUR.
struct FilterFactors {
  float FREQ;  // Hz
  float PERF;  // period effect, sqrt(1/FREQ)
  float HCUT;  // high cut, 1/sqrt of a polynomial in (FREQ/10)^2
  float LCUT;  // low cut, sqrt(1 - exp(-(2 FREQ)^3))
  float FILT;  // LCUT * PERF * HCUT
  // Fault::sqrt_domain when FREQ is negative (a negative interval): then
  // only FREQ is set.
  Fault fault;
};

FilterFactors filter_factors(std::int32_t I, float DUR);

// The factors FILT of bins 1..NOM at DUR, as filter_factors gives them, in
// one table: the records of a batch and the steps of a running intensity
// meet the same few sizes and intervals again and again.
struct FilterTable {
  std::vector<float> FILT;  // bin I's factor at [I-1], up to the first bin with a fault
  Fault fault = Fault::none;  // that bin's fault (a negative DUR: the first bin's)
  int raised = 0;  // the floating-point exceptions that computing the factors raised
};

// The table of NOM bins at DUR: computed at the first call in the default
// floating-point environment, then kept (the last 8 tables of up to 2^17 + 1
// bins, shared between threads under a lock) and handed out unchanged.
//   filter_table(3, 0.04f) -> FILT {FILT(1/0.04 Hz), FILT(2/0.04), FILT(3/0.04)}
//   filter_table(3, -0.04f) -> FILT {}, fault Fault::sqrt_domain
[[nodiscard]] std::shared_ptr<const FilterTable> filter_table(std::int32_t NOM, float DUR);

// DUR = NF * DT, the duration of the padded record (s).
float record_duration(std::int32_t NF, float DT);

// The frequency grid reported on the console.
struct FrequencyStep {
  float DOM;         // angular frequency step, 2 pi / DUR (rad/s)
  std::int32_t NOM;  // bins filtered: zero frequency up to the folding bin
  float EOM;         // NOM * DOM
};

FrequencyStep frequency_step(std::int32_t NF, float DUR);

// Packs the NT samples of each component (samples 1..NT at [0..NT-1],
// zero-padded up to NF; placed directly in the transform's bit-reversed
// order), transforms the three arrays forward, and scales every bin by DT.
// Returns DUR.
float transform_forward(const Components& samples, std::int32_t NT, std::int32_t NF, float DT,
                        const ComponentSpectra& spectra);

// Multiplies bins 1..NOM of each spectrum by their filter factor; stops at
// the first bin whose factor has a fault and returns it.
Fault filter_spectra(std::int32_t NOM, float DUR, const ComponentSpectra& spectra);

// Overwrites bins NF/2+2..NF with the conjugates of bins NF/2..2; bin 1 and
// the folding bin keep their values.
void complete_conjugates(std::int32_t NF, const ComponentSpectra& spectra);

// Filters, completes and transforms the three spectra back: element I then
// holds DUR times the filtered component at sample I in its real part. A
// fault of the filter stops it there.
Fault filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR,
                       const ComponentSpectra& spectra);

// The same from `spectra` into `filtered`, which it fills: each bin is
// filtered (the mirrored ones completed by conjugates) as it is placed in
// the transform's bit-reversed order, so that the inverse transform needs
// no reordering pass; `spectra` keeps its values. The bits of `filtered`
// are those filter_and_invert leaves in `spectra`.
Fault filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR, const ComponentSpectra& spectra,
                        const ComponentSpectra& filtered);

}  // namespace shindo::core
