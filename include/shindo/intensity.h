// The computing core: the instrumental seismic intensity of one in-memory
// three-component acceleration record, with every intermediate quantity, as
// plain values. No I/O, no global state, no process exit: a fault is a value.
//
// Every stored real is a float; the arithmetic of one formula is carried in
// double and rounded once when it is stored. The results have the same bits
// as the console program `shindo` gives for the same samples and interval.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shindo/version.h"

namespace shindo {

// The longest record the core computes: 2^22 samples (11.6 hours at 100 Hz).
// A record is padded with zeros to the next power of two, at least 4.
inline constexpr std::size_t kMaxSamples = std::size_t{1} << 22;

// The number of levels scanned below the peak.
inline constexpr std::int32_t kLevels = 1000;

// One record: three acceleration components (gal) of equal length, sampled at
// the interval `dt` (s). The spans are only read, during the call.
//
//   std::vector<float> ns = ..., ew = ..., ud = ...;
//   shindo::Record record{ns, ew, ud, 0.01f};
struct Record {
  std::span<const float> acc1;
  std::span<const float> acc2;
  std::span<const float> acc3;
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
Intensity compute_intensity(const Record& record);

// A sentence on a fault for a person reading a report:
//   Fault::divide_by_zero → "division by zero: the sampling interval is 0"
std::string_view fault_text(Fault fault);

// The name of a stage: Stage::level_scan → "level scan".
std::string_view stage_name(Stage stage);

// The intensity reported the JMA way, in tenths: the exact decimal value
// rounded half up at the second decimal, then cut to one decimal (toward 0).
// For intensities of magnitude below 10^7 (a computed one lies within ±90).
//   5.1538 → 51,  4.9960 → 50,  4.9949 → 49,  -0.155 → -1
//   6.995 → 69: the float nearest 6.995 is 6.99499988...
std::int32_t reported_tenths(float intensity);

// The intensity classes of the JMA scale.
enum class IntensityClass { c0, c1, c2, c3, c4, c5_lower, c5_upper, c6_lower, c6_upper, c7 };

// The class of a reported value (in tenths); each range includes its lower
// bound: below 5 → c0, 5 → c1, 15 → c2, 25 → c3, 35 → c4, 45 → c5_lower,
// 50 → c5_upper, 55 → c6_lower, 60 → c6_upper, 65 and above → c7.
//   intensity_class(reported_tenths(5.1538f)) → IntensityClass::c5_upper
IntensityClass intensity_class(std::int32_t reported_tenths);

// The label of a class: "0" to "4", "5-", "5+", "6-", "6+", "7".
std::string_view class_label(IntensityClass c);

// The Japanese label, in UTF-8: "0" to "4", "5弱", "5強", "6弱", "6強", "7".
std::string_view class_label_ja(IntensityClass c);

// ---------------------------------------------------------------------------
// The running intensity: the intensity as a record develops, for each step
// the exact compute_intensity of the window of samples that ends there.
//
// A stream is started with the sampling interval, a window length and a step
// (both in seconds), then fed blocks of three-component samples of any size.
// Both lengths become whole numbers of samples: the nearest whole number, so
// that a length that is not a multiple of the interval is rounded (a step of
// 0.015 s at 0.01 s takes 2 samples, one of 0.004 s at 0.005 s takes 1). A
// step or a window shorter than one interval is refused, with a message.
//
// A step completes each time the number of samples received reaches a
// multiple of the step. Its window is the last `window` samples received; as
// long as fewer have arrived, the window is all that has arrived. Its time is
// the time at the window's end, in seconds from the record's start: the
// samples received times the interval (the first sample covers [0, dt)).
// The end of the stream completes a last, shorter step when samples arrived
// after the last whole one, so that no sample goes unread.
//
// Memory is bounded by the window whatever the length of the stream: the
// samples live in a ring of the window's length; each step's computation
// allocates what compute_intensity of one window does. A window that cannot
// be computed (a window of zeros, a sample that is not finite) gives a step
// whose result carries the fault; the stream goes on.
//
//   100 Hz, window 60 s, step 1 s; 90.5 s of shaking fed in blocks of any size
//   → steps at 1, 2, ..., 90 s: at 1 s the window holds samples 0-99 (100), at
//     60 s samples 0-5999, at 61 s samples 100-6099 (6000), at 90 s samples
//     3000-8999; each result has the bits of compute_intensity of that slice.
//     finish() adds the step at 90.5 s (samples 3050-9049).
//   dt 0.01, window 60, step 0.005 → refused: "the step (0.005 s) is shorter
//     than the sampling interval (0.01 s)"

inline constexpr double kDefaultWindowSeconds = 60.0;
inline constexpr double kDefaultStepSeconds = 1.0;

// What a running intensity is started with.
struct RunningSettings {
  float dt = 0.0f;                         // sampling interval (s)
  double window = kDefaultWindowSeconds;   // window length (s)
  double step = kDefaultStepSeconds;       // step (s)
};

// One completed step: where its window ends and the core's full result for
// the window (intensity, A0, Amax, the wave and levels, or the fault).
struct RunningStep {
  std::int64_t end_sample = 0;     // samples received when the step completed
  double time = 0.0;               // end_sample * dt: the time at the window's end (s)
  std::int32_t window_samples = 0; // samples in the window: min(window, end_sample)
  Intensity result;
};

// Three components of equal length: a block of the stream.
struct SampleBlock {
  std::span<const float> acc1;
  std::span<const float> acc2;
  std::span<const float> acc3;
};

struct RunningStart;

// The running intensity of one stream. Not for use from several threads at
// once; separate streams are independent.
class RunningIntensity {
 public:
  using StepHandler = std::function<void(const RunningStep&)>;

  // Feeds a block; `on_step` is called for each step it completes, as soon as
  // that step is computed and in order. Components of different lengths are
  // refused whole (nothing is read): Fault::length_mismatch; else Fault::none.
  //   a stream at 0.01 s, step 1 s, fed 250 samples → on_step at 1 s and 2 s;
  //   fed 50 more → on_step at 3 s
  Fault feed(const SampleBlock& block, const StepHandler& on_step);

  // Ends the stream: completes the last, shorter step when samples arrived
  // after the last whole one. The stream stays usable (a further feed goes
  // on from where it is).
  //   after 250 samples at 0.01 s, step 1 s → on_step at 2.5 s (samples 0-249)
  void finish(const StepHandler& on_step);

  std::int32_t window_samples() const { return window_; }
  std::int32_t step_samples() const { return step_; }
  float dt() const { return dt_; }
  std::int64_t samples_received() const { return received_; }

 private:
  friend RunningStart start_running(const RunningSettings& settings);
  RunningIntensity(float dt, std::int32_t window_samples, std::int32_t step_samples);

  void complete_step(const StepHandler& on_step);

  float dt_;
  std::int32_t window_;
  std::int32_t step_;
  std::int64_t received_ = 0;
  std::int64_t last_step_end_ = 0;
  // Each component's samples twice, at p and at p + window, so that the last
  // `window` samples always lie next to each other ending at head + window.
  std::vector<float> ring1_, ring2_, ring3_;
  std::int32_t head_ = 0;
};

// A started stream, or why it was refused.
struct RunningStart {
  std::optional<RunningIntensity> stream;  // empty when refused
  std::string refusal;                     // a sentence for the user when refused
};

// Starts a running intensity. Refused when the interval is not a positive
// finite number, when the window or the step is not finite or is shorter
// than one interval, or when the window is longer than kMaxSamples samples.
//   {0.01f, 60, 1}  → window 6000 samples, step 100 samples
//   {0.005f, 5, 1}  → window 1000 samples, step 200 samples
//   {0.01f, 60, 0.015} → step 2 samples (rounded)
//   {0.01f, 60, 0.005} → refused: "the step (0.005 s) is shorter than the
//                        sampling interval (0.01 s)"
RunningStart start_running(const RunningSettings& settings);

}  // namespace shindo
