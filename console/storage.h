// The console run's working storage: the sample arrays the record is read
// into and the scalars of the dialogue. Everything is static, program-lifetime
// storage, zero at program start. Sample I (counted from 1) is element I-1 of
// an array.
#pragma once

#include <array>
#include <cstdint>

namespace console {

// Capacity of every sample array.
inline constexpr std::int32_t MAXPTS = 33000;

using SampleArray = std::array<float, MAXPTS>;

// The record as read: time (s) and three acceleration components (gal).
extern SampleArray TIME;
extern SampleArray ACC1;
extern SampleArray ACC2;
extern SampleArray ACC3;

// Acceleration file name as typed.
inline constexpr std::int32_t kFileNameLength = 20;
extern char FNAME[kFileNameLength];

extern std::int32_t NT;  // number of samples read
extern float DT;         // sampling interval (s)
extern float REPLY;      // the answer at the closing pause, never used

}  // namespace console
