// The console run's working storage: the sample arrays the record is read
// into and the scalars of the dialogue. Everything is static, program-lifetime
// storage, zero at program start. Sample I (counted from 1) is element I-1 of
// an array.
//
// Glossary: the old program's names, as its console lines still show some of
// them, and the names that hold the same here.
//   MAXPTS            kSampleCapacity
//   TIME              sample_times
//   ACC1, ACC2, ACC3  acceleration_1, acceleration_2, acceleration_3
//   FNAME             file_name
//   NT                sample_count                 (" nt, dt=", " NT>2**15 !!!!!")
//   DT                sampling_interval
//   REPLY             closing_reply
//   I                 record_number (record input), sample_number (wave1_dat)
//   IF1, NF           shindo::Intensity::log2_size, transform_size   (" IF1,NF=")
//   DUR, DOM          shindo::Intensity::duration, frequency_step    (" DUR,DOM,NOM,EOM=")
//   NOM, EOM          shindo::Intensity::filtered_bins, top_frequency
//   Amax, A0, Shindo  shindo::Intensity::amax, a0, shindo
#pragma once

#include <array>
#include <cstdint>

namespace console {

// Capacity of every sample array.
inline constexpr std::int32_t kSampleCapacity = 33000;

using SampleArray = std::array<float, kSampleCapacity>;

// The record as read: time (s) and three acceleration components (gal).
extern SampleArray sample_times;
extern SampleArray acceleration_1;
extern SampleArray acceleration_2;
extern SampleArray acceleration_3;

// Acceleration file name as typed.
inline constexpr std::int32_t kFileNameLength = 20;
extern char file_name[kFileNameLength];

extern std::int32_t sample_count;  // number of samples read
extern float sampling_interval;    // s
extern float closing_reply;        // the answer at the closing pause, never used

}  // namespace console
