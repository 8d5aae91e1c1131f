// The acceleration input: reading the record of time and three components
// from the file named at the prompt, echoing each record on the console, and
// the console run's limit on the record's length.
#pragma once

#include <cstdint>

namespace console {

// The longest record the console run computes (2^15 samples, the largest
// transform it offers); a longer record stops the run.
inline constexpr std::int32_t kLongestRecord = 32768;

// Reads the file named by file_name on unit 11 until its end, echoing every
// complete record, and sets sample_count and sampling_interval. Records past the array capacity are
// read, echoed and counted, but not stored.
void read_acceleration_record();

// Ends the run, as a failure, when the record is longer than kLongestRecord.
void stop_when_too_long();

}  // namespace console
