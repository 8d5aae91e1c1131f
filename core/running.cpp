// The running intensity: a ring of the last window's samples per component,
// and compute_intensity of that window each time a step completes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "shindo/intensity.h"

namespace shindo {

namespace {

// A length of `seconds` as a whole number of samples at `dt`, when it is at
// least one interval: the nearest whole number. The interval is a float, so a
// length given in decimal (0.01 s against 0.0099999998 s) is allowed one part
// in a million of it short.
struct SampleCount {
  std::int64_t samples = 0;
  std::string refusal;
};

SampleCount sample_count(std::string_view what, double seconds, float dt) {
  char text[160];
  if (!std::isfinite(seconds) || seconds <= 0.0) {
    std::snprintf(text, sizeof text, "the %.*s (%g s) is not a positive number of seconds",
                  static_cast<int>(what.size()), what.data(), seconds);
    return {0, text};
  }
  const double intervals = seconds / static_cast<double>(dt);
  if (intervals < 1.0 - 1e-6) {
    std::snprintf(text, sizeof text, "the %.*s (%g s) is shorter than the sampling interval (%g s)",
                  static_cast<int>(what.size()), what.data(), seconds, static_cast<double>(dt));
    return {0, text};
  }
  if (intervals > static_cast<double>(kMaxSamples)) {
    std::snprintf(text, sizeof text, "the %.*s (%g s) is longer than %zu samples at %g s",
                  static_cast<int>(what.size()), what.data(), seconds, kMaxSamples, static_cast<double>(dt));
    return {0, text};
  }
  return {std::max<std::int64_t>(1, std::llround(intervals)), {}};
}

}  // namespace

RunningStart start_running(const RunningSettings& settings) {
  RunningStart start;
  if (!std::isfinite(settings.dt) || settings.dt <= 0.0f) {
    char text[96];
    std::snprintf(text, sizeof text, "the sampling interval (%g s) is not a positive number of seconds",
                  static_cast<double>(settings.dt));
    start.refusal = text;
    return start;
  }
  SampleCount window = sample_count("window", settings.window, settings.dt);
  if (!window.refusal.empty()) {
    start.refusal = std::move(window.refusal);
    return start;
  }
  SampleCount step = sample_count("step", settings.step, settings.dt);
  if (!step.refusal.empty()) {
    start.refusal = std::move(step.refusal);
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

Fault RunningIntensity::feed(const SampleBlock& block, const StepHandler& on_step) {
  const std::size_t n = block.acc1.size();
  if (block.acc2.size() != n || block.acc3.size() != n) return Fault::length_mismatch;
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

}  // namespace shindo
