// The running intensity: a ring of the last window's samples per component,
// and compute_intensity of that window each time a step completes; and the
// settings it refuses, with their sentences.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "shindo/running.h"

namespace shindo {
inline namespace v2 {

namespace {

// The refusals of one length, the window's or the step's.
struct LengthRefusals {
  Refusal not_positive;
  Refusal shorter_than_interval;
  Refusal too_long;
};

constexpr LengthRefusals kWindowRefusals{Refusal::window_not_positive, Refusal::window_shorter_than_interval,
                                         Refusal::window_too_long};
constexpr LengthRefusals kStepRefusals{Refusal::step_not_positive, Refusal::step_shorter_than_interval,
                                       Refusal::step_too_long};

// A length of `seconds` as a whole number of samples at `dt`, when it is at
// least one interval: the nearest whole number. The interval is a float, so a
// length given in decimal (0.01 s against 0.0099999998 s) is allowed one part
// in a million of it short.
struct SampleCount {
  std::int64_t samples = 0;
  Refusal refusal = Refusal::none;
};

SampleCount sample_count(double seconds, float dt, const LengthRefusals& refusals) {
  if (!std::isfinite(seconds) || seconds <= 0.0) return {0, refusals.not_positive};
  const double intervals = seconds / static_cast<double>(dt);
  if (intervals < 1.0 - 1e-6) return {0, refusals.shorter_than_interval};
  if (intervals > static_cast<double>(kMaxSamples)) return {0, refusals.too_long};
  return {std::max<std::int64_t>(1, std::llround(intervals)), Refusal::none};
}

// The sentence on a length, the window's (`what` "window") or the step's.
std::string length_text(Refusal refusal, const LengthRefusals& refusals, const char* what, double seconds,
                        float dt) {
  char text[160];
  if (refusal == refusals.not_positive) {
    std::snprintf(text, sizeof text, "the %s (%g s) is not a positive number of seconds", what, seconds);
  } else if (refusal == refusals.shorter_than_interval) {
    std::snprintf(text, sizeof text, "the %s (%g s) is shorter than the sampling interval (%g s)", what, seconds,
                  static_cast<double>(dt));
  } else {
    std::snprintf(text, sizeof text, "the %s (%g s) is longer than %zu samples at %g s", what, seconds, kMaxSamples,
                  static_cast<double>(dt));
  }
  return text;
}

}  // namespace

std::string refusal_text(Refusal refusal, const RunningSettings& settings) {
  switch (refusal) {
    case Refusal::none: return "no refusal: the running intensity was started";
    case Refusal::interval_not_positive: {
      char text[96];
      std::snprintf(text, sizeof text, "the sampling interval (%g s) is not a positive number of seconds",
                    static_cast<double>(settings.dt));
      return text;
    }
    case Refusal::window_not_positive:
    case Refusal::window_shorter_than_interval:
    case Refusal::window_too_long:
      return length_text(refusal, kWindowRefusals, "window", settings.window, settings.dt);
    case Refusal::step_not_positive:
    case Refusal::step_shorter_than_interval:
    case Refusal::step_too_long:
      return length_text(refusal, kStepRefusals, "step", settings.step, settings.dt);
  }
  return "unknown refusal";
}

RunningStart start_running(const RunningSettings& settings) {
  RunningStart start;
  if (!std::isfinite(settings.dt) || settings.dt <= 0.0f) {
    start.refusal = Refusal::interval_not_positive;
    return start;
  }
  const SampleCount window = sample_count(settings.window, settings.dt, kWindowRefusals);
  if (window.refusal != Refusal::none) {
    start.refusal = window.refusal;
    return start;
  }
  const SampleCount step = sample_count(settings.step, settings.dt, kStepRefusals);
  if (step.refusal != Refusal::none) {
    start.refusal = step.refusal;
    return start;
  }
  start.stream.emplace(RunningIntensity(settings.dt, static_cast<std::int32_t>(window.samples),
                                        static_cast<std::int32_t>(step.samples)));
  return start;
}

RunningIntensity::RunningIntensity(float dt, std::int32_t window_samples, std::int32_t step_samples)
    : dt_(dt),
      window_(window_samples),
      step_(step_samples),
      ring1_(2 * static_cast<std::size_t>(window_samples)),
      ring2_(2 * static_cast<std::size_t>(window_samples)),
      ring3_(2 * static_cast<std::size_t>(window_samples)) {}

Fault RunningIntensity::feed(const Components& block, const StepHandler& on_step) {
  if (!block.same_length()) return Fault::length_mismatch;
  const std::size_t n = block.acc1.size();
  const auto window = static_cast<std::size_t>(window_);
  std::size_t taken = 0;
  while (taken < n) {
    // Up to the next step's end, or the end of the block.
    const std::int64_t to_step = step_ - received_ % step_;
    const std::size_t run = std::min(n - taken, static_cast<std::size_t>(to_step));
    for (std::size_t i = taken; i < taken + run; ++i) {
      const auto at = static_cast<std::size_t>(head_);
      ring1_[at] = ring1_[at + window] = block.acc1[i];
      ring2_[at] = ring2_[at + window] = block.acc2[i];
      ring3_[at] = ring3_[at + window] = block.acc3[i];
      head_ = head_ + 1 == window_ ? 0 : head_ + 1;
    }
    taken += run;
    received_ += static_cast<std::int64_t>(run);
    if (received_ % step_ == 0) complete_step(on_step);
  }
  return Fault::none;
}

void RunningIntensity::finish(const StepHandler& on_step) {
  if (received_ > last_step_end_) complete_step(on_step);
}

void RunningIntensity::complete_step(const StepHandler& on_step) {
  const auto held = static_cast<std::size_t>(std::min<std::int64_t>(received_, window_));
  // The last `held` samples end just before head_ + window (see the ring).
  const std::size_t first = static_cast<std::size_t>(head_) + static_cast<std::size_t>(window_) - held;
  const Record window{std::span<const float>(ring1_).subspan(first, held),
                      std::span<const float>(ring2_).subspan(first, held),
                      std::span<const float>(ring3_).subspan(first, held), dt_};
  RunningStep step;
  step.end_sample = received_;
  step.time = static_cast<double>(received_) * static_cast<double>(dt_);
  step.window_samples = static_cast<std::int32_t>(held);
  step.result = compute_intensity(window);
  last_step_end_ = received_;
  on_step(step);
}

}  // namespace v2
}  // namespace shindo
