// Timings of the computing stages on a record of the largest transform size
// (32768 samples at 0.01 s), without any input or output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <span>

#include "intensity/band_filter.h"
#include "intensity/fft.h"
#include "intensity/level_scan.h"
#include "intensity/storage.h"
#include "intensity/vector_wave.h"

namespace {

using namespace intensity;

constexpr std::int32_t kSamples = 32768;
constexpr float kInterval = 0.01f;

// Three components of a few superposed oscillations under a decaying envelope.
void make_record() {
  for (std::int32_t i = 0; i < kSamples; ++i) {
    const double t = i * static_cast<double>(kInterval);
    const double envelope = 200.0 * t * std::exp(-t / 20.0) / 20.0;
    ACC1[i] = static_cast<float>(envelope * std::sin(2.0 * M_PI * 1.3 * t));
    ACC2[i] = static_cast<float>(envelope * std::cos(2.0 * M_PI * 0.7 * t + 0.4));
    ACC3[i] = static_cast<float>(0.5 * envelope * std::sin(2.0 * M_PI * 3.1 * t + 1.1));
  }
}

ComponentSpectra spectra() { return {SPEC1, SPEC2, SPEC3}; }

ComponentSamples samples() {
  return {std::span<const float>(ACC1), std::span<const float>(ACC2), std::span<const float>(ACC3)};
}

// Leaves the filtered record in the work arrays and returns DUR.
float filter_record() {
  const float duration = transform_forward(samples(), kSamples, kSamples, kInterval, spectra());
  filter_and_invert(kSamples, frequency_step(kSamples, duration).NOM, duration, spectra());
  return duration;
}

void BM_Transform(benchmark::State& state) {
  make_record();
  for (auto _ : state) {
    for (std::int32_t i = 0; i < kSamples; ++i) SPEC1[i] = {ACC1[i], 0.0f};
    FFT(kSamples, SPEC1.data(), MAXPTS, kForward);
    benchmark::DoNotOptimize(SPEC1[1]);
  }
}
BENCHMARK(BM_Transform)->Unit(benchmark::kMillisecond);

void BM_TransformAndFilter(benchmark::State& state) {
  make_record();
  for (auto _ : state) {
    benchmark::DoNotOptimize(filter_record());
  }
}
BENCHMARK(BM_TransformAndFilter)->Unit(benchmark::kMillisecond);

void BM_VectorComposition(benchmark::State& state) {
  make_record();
  const float duration = filter_record();
  for (auto _ : state) {
    const float peak = compose_vector(spectra(), kSamples, duration, AVEC, [](std::int32_t, float) {});
    benchmark::DoNotOptimize(peak);
  }
}
BENCHMARK(BM_VectorComposition)->Unit(benchmark::kMicrosecond);

void BM_LevelScan(benchmark::State& state) {
  make_record();
  const float duration = filter_record();
  const float peak = compose_vector(spectra(), kSamples, duration, AVEC, [](std::int32_t, float) {});
  const std::span<const float> vector = std::span<const float>(AVEC).first(kSamples);
  for (auto _ : state) {
    std::int64_t counted = 0;
    const auto level = scan_levels(vector, peak, kInterval, AVEC_SORTED,
                                   [&counted](float, std::int32_t NOVER) { counted += NOVER; });
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(counted);
  }
}
BENCHMARK(BM_LevelScan)->Unit(benchmark::kMicrosecond);

}  // namespace
