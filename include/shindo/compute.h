// The intensity of one in-memory three-component acceleration record, with
// every intermediate quantity, as plain values: the record, compute_intensity,
// its result, and the faults and stages that say why a computation stopped.
// No I/O, no global state, no process exit: a fault is a value.
//
// Every stored real is a float; the arithmetic of one formula is carried in
// double and rounded once when it is stored. The results have the same bits
// as the console program `shindo` gives for the same samples and interval.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <span>
#include <string_view>
#include <vector>

namespace shindo {
inline namespace v2 {

// The longest record the core computes: 2^22 samples (11.6 hours at 100 Hz).
// A record is padded with zeros to the next power of two, at least 4.
inline constexpr std::size_t kMaxSamples = std::size_t{1} << 22;

// The number of levels scanned below the peak.
inline constexpr std::int32_t kLevels = 1000;

// Three acceleration components (gal), meant to be of equal length: a block
// of a running stream, and the samples of a record. The spans are only read,
// during the call they are given to.
//
//   std::vector<float> ns = ..., ew = ..., ud = ...;
//   shindo::Components block{ns, ew, ud};
//   block.same_length() → true when the three vectors are as long
struct Components {
  std::span<const float> acc1;
  std::span<const float> acc2;
  std::span<const float> acc3;

  [[nodiscard]] constexpr bool same_length() const noexcept {
    return acc2.size() == acc1.size() && acc3.size() == acc1.size();
  }
};

// One record: three components sampled at the interval `dt` (s).
//
//   shindo::Record record{ns, ew, ud, 0.01f};
//   shindo::Record same{block, 0.01f};   // block: shindo::Components
struct Record : Components {
  constexpr Record() noexcept = default;
  constexpr Record(std::span<const float> samples1, std::span<const float> samples2,
                   std::span<const float> samples3, float interval) noexcept
      : Components{samples1, samples2, samples3}, dt(interval) {}
  constexpr Record(const Components& samples, float interval) noexcept : Components(samples), dt(interval) {}

  float dt = 0.0f;
};

// What stopped a computation. The console program reports the faults from
// divide_by_zero on with the numbers given.
enum class Fault {
  none,               // the intensity was computed
  length_mismatch,    // the three components differ in length
  too_long,           // more than kMaxSamples samples
  not_finite,         // a sample or the interval is infinite or not a number
  divide_by_zero,     // M6103: a floating-point division by zero (an interval of 0)
  overflow,           // M6104: a result too large for a float
  invalid,            // M6101: an invalid floating-point operation
  sqrt_domain,        // M6201: the square root of a negative value (a negative interval)
  log10_singularity,  // M6202: log10 of 0 (no level lasts more than 0.299 s)
  log10_domain,       // M6201: log10 of a negative level
};

// The stages of the computation, in the order they run; a fault names the
// stage it happened in, and everything of the stages before it is complete.
enum class Stage {
  none,        // no fault
  input,       // the record was refused before any arithmetic
  spectrum,    // packing, forward transforms, DUR, scaling by dt, DOM and EOM
  filter,      // band filter, conjugate completion and inverse transforms
  vector,      // filtered vector acceleration and its peak
  level_scan,  // the 1000 levels and A0
  intensity,   // 2 log10(A0) + 0.943
};

// One level of the scan: the level (gal), the number of samples strictly
// above it, and their total time count * dt (s), as the table a0tau_dat
// shows them.
struct LevelRow {
  float level = 0.0f;
  std::int32_t count = 0;
  float duration = 0.0f;
};

// The result of compute_intensity. Fields of stages that did not complete
// keep their initial values, except `wave` and `levels`, which hold the
// samples and levels computed before the fault.
struct Intensity {
  Fault fault = Fault::none;
  Stage stage = Stage::none;       // where the fault happened
  std::int32_t samples = 0;        // NT
  float dt = 0.0f;                 // DT (s)
  std::int32_t log2_size = 0;      // IF1
  std::int32_t transform_size = 0; // NF = 2^IF1, the smallest power of two >= max(4, NT)
  float duration = 0.0f;           // DUR = NF * DT (s)
  float frequency_step = 0.0f;     // DOM = 2 pi / DUR (rad/s)
  std::int32_t filtered_bins = 0;  // NOM = NF/2 + 1
  float top_frequency = 0.0f;      // EOM = NOM * DOM (rad/s)
  std::vector<float> wave;         // filtered vector acceleration (gal), one per sample
  float amax = 0.0f;               // peak of `wave` (gal); 0 when no value is positive
  std::vector<LevelRow> levels;    // kLevels rows, highest level first
  float a0 = 0.0f;                 // highest level exceeded for more than 0.299 s (gal); 0 when none is
  float shindo = 0.0f;             // 2 log10(a0) + 0.943, unrounded
};

// The intensity of `record`. Safe to call from several threads at once. The
// call runs with round-to-nearest and no floating-point traps, and gives the
// caller's floating-point environment (rounding, trap settings and exception
// flags) back unchanged.
//
//   the 8-sample record at 0.05 s of the tests (first sample -70.4536,
//   -247.0, 58.0452) → fault none, transform_size 8, amax 125.9082,
//   a0 73.40448, shindo 4.674445
//   the same record with dt 0     → fault divide_by_zero, stage spectrum
//   the same record with dt -0.05 → fault sqrt_domain, stage filter
//   four samples of zeros at 0.01 → fault log10_singularity, stage intensity, a0 0
[[nodiscard]] Intensity compute_intensity(const Record& record);

// A sentence on a fault for a person reading a report:
//   Fault::divide_by_zero → "division by zero: the sampling interval is 0"
[[nodiscard]] std::string_view fault_text(Fault fault) noexcept;

// The name of a stage: Stage::level_scan → "level scan".
[[nodiscard]] std::string_view stage_name(Stage stage) noexcept;

// The peak of the vector of the three components as given (gal): the root of
// the largest a1² + a2² + a3², in double, rounded once to float; samples that
// are not numbers are passed over.
//   {3, 0}, {4, -1}, {0, 1} → 5.0f
[[nodiscard]] float peak_vector(const Components& components) noexcept;

// The one sentence that tells a person why a computation stopped: the fault's
// text and, in parentheses, the stage's name. Every program says it this way.
//   (Fault::log10_singularity, Stage::intensity)
//     → "log10 of 0: no level lasts more than 0.299 s (intensity)"
[[nodiscard]] std::string describe_fault(Fault fault, Stage stage);

}  // namespace v2
}  // namespace shindo
