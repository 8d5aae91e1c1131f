// The acceleration input: reading the record of time and three components
// from the file named at the prompt, echoing each record on the console, and
// choosing the power-of-two transform size the record is padded to.
#pragma once

#include <cstdint>
#include <optional>

namespace intensity {

// Largest transform size (2^15); a longer record stops the run.
inline constexpr std::int32_t kMaxTransformSize = 32768;

struct TransformSize {
  std::int32_t IF1;  // base-2 logarithm of NF
  std::int32_t NF;   // smallest power of two that is at least 4 and at least NT
};

// The transform size for NT samples; none when NT is above 2^15.
std::optional<TransformSize> transform_size(std::int32_t NT);

// Reads the file named by FNAME on unit 11 until its end, echoing every
// complete record, and sets NT and DT. Records past the array capacity are
// read, echoed and counted, but not stored.
void read_acceleration_record();

// Sets IF1 and NF and reports them; ends the run, as a failure, when the
// record is too long to transform.
void choose_transform_size();

}  // namespace intensity
