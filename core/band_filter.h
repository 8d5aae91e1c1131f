// The intensity band filter: the three components are packed into complex
// work arrays, transformed forward, scaled by DT, weighted bin by bin with the
// product of the period-effect, high-cut and low-cut factors up to the folding
// frequency, completed by conjugate symmetry and transformed back.
#pragma once

#include <cstdint>
#include <span>

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
// zero-padded up to NF), transforms
// the three arrays forward, and scales every bin by DT. Returns DUR.
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

}  // namespace shindo::core
