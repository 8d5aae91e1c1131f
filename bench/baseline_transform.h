// The transform, band filter and computation as they were before the
// transform took its stages block by block and tile by tile, kept in the
// benchmark programs to be timed beside today's in one run. Same bits, older
// ways: `avx` picks the AVX butterflies (the processor must have them).
#pragma once

#include <cstdint>
#include <span>

#include "core/band_filter.h"
#include "core/complex.h"
#include "core/fft.h"
#include "core/level_scan.h"
#include "core/vector_wave.h"
#include "shindo/compute.h"

namespace baseline {

// The arrays transformed in place: reordered by exchanges, then every stage
// over every array.
void transform_together(std::int32_t N, std::span<shindo::core::ComplexFloat* const> arrays, std::int32_t IND,
                        bool avx);

// Packs, transforms forward and scales by DT; returns DUR.
float transform_forward(const shindo::Components& samples, std::int32_t NT, std::int32_t NF, float DT,
                        const shindo::core::ComponentSpectra& spectra, bool avx);

// The filter factors computed bin by bin, then the conjugate completion.
void filter_spectra(std::int32_t NF, std::int32_t NOM, float DUR, const shindo::core::ComponentSpectra& spectra);

// filter_spectra, then the inverse transform.
void filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR, const shindo::core::ComponentSpectra& spectra,
                       bool avx);

// The intensity of a record the old way (no fault checks): transforms,
// filter, vector, level scan.
float compute(const shindo::Record& record, bool avx);

}  // namespace baseline
