// The run's working storage: the sample arrays, the three complex work arrays
// and the scalars that the stages hand over to each other. Everything is
// static, program-lifetime storage, zero at program start; each scalar is set
// by exactly one stage. Sample I (counted from 1) is element I-1 of an array.
#pragma once

#include <array>
#include <cstdint>

#include "recio/run_end.h"

namespace intensity {

using recio::ComplexFloat;

// Capacity of every sample and work array.
inline constexpr std::int32_t MAXPTS = 33000;

using SampleArray = std::array<float, MAXPTS>;
using SpectrumArray = std::array<ComplexFloat, MAXPTS>;

// The record as read: time (s) and three acceleration components (gal).
extern SampleArray TIME;
extern SampleArray ACC1;
extern SampleArray ACC2;
extern SampleArray ACC3;

// One component each: samples before the forward transform, bins after it,
// and the filtered component times DUR after the inverse transform.
extern SpectrumArray SPEC1;
extern SpectrumArray SPEC2;
extern SpectrumArray SPEC3;

// Filtered vector acceleration per sample (gal), the same values in
// increasing order, against which the level scan counts, and the middle
// array of their sorting.
extern SampleArray AVEC;
extern SampleArray AVEC_SORTED;
extern SampleArray SORT_SCRATCH;

// Acceleration file name as typed.
inline constexpr std::int32_t kFileNameLength = 20;
extern char FNAME[kFileNameLength];

extern std::int32_t NT;   // number of samples read
extern float DT;          // sampling interval (s)
extern std::int32_t IF1;  // base-2 logarithm of the transform size
extern std::int32_t NF;   // transform size
extern float DUR;         // padded record duration (s)
extern float DOM;         // angular frequency step (rad/s)
extern std::int32_t NOM;  // number of filtered bins
extern float EOM;         // NOM times DOM
extern float Amax;        // peak filtered vector acceleration (gal)
extern float A0;          // level exceeded for more than 0.299 s (gal)
extern float Shindo;      // instrumental intensity
extern float REPLY;       // the answer at the closing pause, never used

}  // namespace intensity
