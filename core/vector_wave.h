// The filtered vector acceleration: the length of the vector of the three
// filtered components at every sample, and its peak Amax.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "core/band_filter.h"

namespace shindo::core {

// The vector acceleration (gal) of one sample from the real parts of the three
// inverse-transformed spectra, which hold DUR times the filtered components.
// Defined here so that the loop of compose_vector compiles it in line.
//   vector_sample(6, 8, 0, 2) -> 5 (3, 4 and 0 gal)
inline float vector_sample(float re1, float re2, float re3, float DUR) {
  const float a1 = static_cast<float>(static_cast<double>(re1) / DUR);
  const float a2 = static_cast<float>(static_cast<double>(re2) / DUR);
  const float a3 = static_cast<float>(static_cast<double>(re3) / DUR);
  // A sum of squares has no negative root to fault on.
  return static_cast<float>(
      std::sqrt((static_cast<double>(a3) * a3 + static_cast<double>(a2) * a2) + static_cast<double>(a1) * a1));
}

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

// compose_vector without a sink, four samples at a time where the processor
// has AVX (each quotient, square, sum and root rounded as vector_sample
// rounds it, so the same bits), else one at a time.
//   re parts 6, 8, 0 at DUR 2 in every sample -> every AVEC[i] = 5, peak 5
float compose_vector(const ComponentSpectra& spectra, std::int32_t NT, float DUR, std::span<float> AVEC);

}  // namespace shindo::core
