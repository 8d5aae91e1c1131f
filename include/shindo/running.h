// The running intensity: the intensity as a record develops, for each step
// the exact compute_intensity of the window of samples that ends there.
//
// A stream is started with the sampling interval, a window length and a step
// (both in seconds), then fed blocks of three-component samples of any size.
// Both lengths become whole numbers of samples: the nearest whole number, so
// that a length that is not a multiple of the interval is rounded (a step of
// 0.015 s at 0.01 s takes 2 samples, one of 0.004 s at 0.005 s takes 1). A
// step or a window shorter than one interval is refused: a Refusal, with
// refusal_text for the sentence.
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
//   dt 0.01, window 60, step 0.005 → refused: Refusal::step_shorter_than_interval,
//     "the step (0.005 s) is shorter than the sampling interval (0.01 s)"
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shindo/compute.h"

namespace shindo {
inline namespace v2 {

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

// Why a running intensity was not started: the first setting found wrong,
// in the order interval, window, step.
enum class Refusal {
  none,                          // the stream was started
  interval_not_positive,         // the interval is not a positive finite number
  window_not_positive,           // the window is not a positive finite number
  window_shorter_than_interval,  // the window is shorter than one interval
  window_too_long,               // the window holds more than kMaxSamples samples
  step_not_positive,             // the step is not a positive finite number
  step_shorter_than_interval,    // the step is shorter than one interval
  step_too_long,                 // the step holds more than kMaxSamples samples
};

// A sentence on a refusal for the user, naming the values of `settings` it
// is about:
//   Refusal::step_shorter_than_interval, {0.01f, 60, 0.005}
//   → "the step (0.005 s) is shorter than the sampling interval (0.01 s)"
//   Refusal::interval_not_positive, {0.0f} → "the sampling interval (0 s) is
//   not a positive number of seconds"
[[nodiscard]] std::string refusal_text(Refusal refusal, const RunningSettings& settings);

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
  [[nodiscard]] Fault feed(const Components& block, const StepHandler& on_step);

  // Ends the stream: completes the last, shorter step when samples arrived
  // after the last whole one. The stream stays usable (a further feed goes
  // on from where it is).
  //   after 250 samples at 0.01 s, step 1 s → on_step at 2.5 s (samples 0-249)
  void finish(const StepHandler& on_step);

  [[nodiscard]] std::int32_t window_samples() const noexcept { return window_; }
  [[nodiscard]] std::int32_t step_samples() const noexcept { return step_; }
  [[nodiscard]] float dt() const noexcept { return dt_; }
  [[nodiscard]] std::int64_t samples_received() const noexcept { return received_; }

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
  Refusal refusal = Refusal::none;         // why, when refused
};

// Starts a running intensity. Refused when the interval is not a positive
// finite number, when the window or the step is not finite or is shorter
// than one interval, or when either is longer than kMaxSamples samples.
//   {0.01f, 60, 1}  → window 6000 samples, step 100 samples
//   {0.005f, 5, 1}  → window 1000 samples, step 200 samples
//   {0.01f, 60, 0.015} → step 2 samples (rounded)
//   {0.01f, 60, 0.005} → refused: Refusal::step_shorter_than_interval
[[nodiscard]] RunningStart start_running(const RunningSettings& settings);

}  // namespace v2
}  // namespace shindo
