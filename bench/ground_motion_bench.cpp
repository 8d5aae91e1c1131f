// The ground-motion values against the intensity of the same record: a
// 30000-sample record at 0.01 s, everything compute_ground_motion gives at the
// default settings (PGA, velocities, 61 spectral periods, the SI value and the
// long-period class: 86 oscillators a horizontal component) beside
// compute_intensity, each on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "shindo/ground_motion.h"

namespace {

constexpr std::size_t kSamples = 30000;
constexpr float kInterval = 0.01f;

// A shaking that builds up over 20 s and dies away, each component a few
// frequencies of its own with a little fixed-pattern noise.
struct Shaking {
  std::vector<float> acc1, acc2, acc3;

  Shaking() {
    for (std::size_t i = 0; i < kSamples; ++i) {
      const double t = static_cast<double>(i) * kInterval;
      const double envelope = 300.0 * (t / 20.0) * std::exp(1.0 - t / 20.0);
      const double noise = static_cast<double>((i * 104729) % 97) / 97.0 - 0.5;
      acc1.push_back(static_cast<float>(envelope * (std::sin(8.1 * t) + 0.4 * std::sin(1.3 * t) + 0.1 * noise)));
      acc2.push_back(static_cast<float>(envelope * (std::cos(5.3 * t) + 0.3 * std::sin(2.2 * t) - 0.1 * noise)));
      acc3.push_back(static_cast<float>(0.5 * envelope * (std::sin(21.0 * t) + 0.1 * noise)));
    }
  }
  shindo::Record record() const { return {acc1, acc2, acc3, kInterval}; }
};

void BM_IntensityOfTheRecord(benchmark::State& state) {
  const Shaking s;
  for (auto _ : state) benchmark::DoNotOptimize(shindo::compute_intensity(s.record()));
}
BENCHMARK(BM_IntensityOfTheRecord)->Unit(benchmark::kMillisecond);

void BM_GroundMotionOfTheRecord(benchmark::State& state) {
  const Shaking s;
  for (auto _ : state) benchmark::DoNotOptimize(shindo::compute_ground_motion(s.record()));
}
BENCHMARK(BM_GroundMotionOfTheRecord)->Unit(benchmark::kMillisecond);

// Without the response spectra, as a table run of shindo-batch asks: the SI
// value's and the class's 57 oscillators a horizontal component.
void BM_GroundMotionWithoutSpectra(benchmark::State& state) {
  const Shaking s;
  for (auto _ : state) benchmark::DoNotOptimize(shindo::compute_ground_motion(s.record(), {.spectra = false}));
}
BENCHMARK(BM_GroundMotionWithoutSpectra)->Unit(benchmark::kMillisecond);

// The record as given (no filter, so no 30 s of zeros on either side).
void BM_GroundMotionWithoutFilter(benchmark::State& state) {
  const Shaking s;
  for (auto _ : state) {
    benchmark::DoNotOptimize(shindo::compute_ground_motion(s.record(), {.highpass_hz = 0.0}));
  }
}
BENCHMARK(BM_GroundMotionWithoutFilter)->Unit(benchmark::kMillisecond);

}  // namespace
