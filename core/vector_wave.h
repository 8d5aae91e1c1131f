// The filtered vector acceleration: the length of the vector of the three
// filtered components at every sample, and its peak Amax.
#pragma once

#include <cstdint>
#include <span>

#include "core/band_filter.h"

namespace shindo::core {

// The vector acceleration (gal) of one sample from the real parts of the three
// inverse-transformed spectra, which hold DUR times the filtered components.
float vector_sample(float re1, float re2, float re3, float DUR);

// Fills AVEC[0..NT-1] from the spectra and returns the peak (the first of
// equal maxima; 0 when no value is positive). Each sample is handed to
// `record` (sample number from 1, value) as soon as it is computed. A value
// that overflows is infinite, and so is the peak from it on.
template <class RecordSink>
float compose_vector(const ComponentSpectra& spectra, std::int32_t NT, float DUR,
                     std::span<float> AVEC, RecordSink&& record) {
  float peak = 0.0f;
  for (std::int32_t I = 1; I <= NT; ++I) {
    const float value = vector_sample(spectra.spec1[I - 1].re, spectra.spec2[I - 1].re,
                                      spectra.spec3[I - 1].re, DUR);
    AVEC[I - 1] = value;
    if (value > peak) peak = value;
    record(I, value);
  }
  return peak;
}

}  // namespace shindo::core
