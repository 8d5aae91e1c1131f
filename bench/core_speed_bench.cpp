// Today's computing core beside the one before the transform took its stages
// block by block (bench/baseline_transform.*), in one run on the same
// records: the whole computation of 32768 samples, the forward transform of
// three arrays, the band filter alone, the filter with the inverse transform,
// a running-intensity step's window (6000 samples), and today's transform
// with each butterfly kernel the processor has. Pairs are named .../old and
// .../new.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "baseline_transform.h"
#include "core/band_filter.h"
#include "core/fft.h"
#include "core/fft_kernels.h"
#include "shindo/compute.h"

namespace {

using shindo::core::ComplexFloat;
using shindo::core::ComponentSpectra;

constexpr float kInterval = 0.01f;

// Three components of a few oscillations under a rising and decaying envelope.
struct Samples {
  std::vector<float> acc1, acc2, acc3;
  explicit Samples(std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) * kInterval;
      const double envelope = 200.0 * t * std::exp(-t / 20.0) / 20.0;
      acc1.push_back(static_cast<float>(envelope * std::sin(2.0 * M_PI * 1.3 * t)));
      acc2.push_back(static_cast<float>(envelope * std::cos(2.0 * M_PI * 0.7 * t + 0.4)));
      acc3.push_back(static_cast<float>(0.5 * envelope * std::sin(2.0 * M_PI * 3.1 * t + 1.1)));
    }
  }
  shindo::Record record() const { return {acc1, acc2, acc3, kInterval}; }
};

// Three complex work arrays of n elements.
struct Work {
  std::vector<ComplexFloat> data;
  std::size_t n;
  explicit Work(std::size_t size) : data(3 * size), n(size) {}
  ComponentSpectra spectra() {
    return {std::span(data).first(n), std::span(data).subspan(n, n), std::span(data).subspan(2 * n, n)};
  }
};

const bool kAvx = shindo::core::avx_available();

void BM_Core(benchmark::State& state, bool today, std::size_t samples) {
  const Samples s(samples);
  for (auto _ : state) {
    benchmark::DoNotOptimize(today ? shindo::compute_intensity(s.record()).shindo : baseline::compute(s.record(), kAvx));
  }
}
BENCHMARK_CAPTURE(BM_Core, old, false, 32768)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Core, new, true, 32768)->Unit(benchmark::kMillisecond);

// The running intensity's step is the computation of its 60 s window.
BENCHMARK_CAPTURE(BM_Core, running_window_old, false, 6000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Core, running_window_new, true, 6000)->Unit(benchmark::kMicrosecond);

// Packing, the forward transform of the three components and the scaling by DT.
void BM_TransformForward(benchmark::State& state, bool today) {
  const Samples s(32768);
  Work work(32768);
  for (auto _ : state) {
    const float duration = today ? shindo::core::transform_forward(s.record(), 32768, 32768, kInterval, work.spectra())
                                 : baseline::transform_forward(s.record(), 32768, 32768, kInterval, work.spectra(), kAvx);
    benchmark::DoNotOptimize(duration);
    benchmark::DoNotOptimize(work.data[1]);
  }
}
BENCHMARK_CAPTURE(BM_TransformForward, old, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_TransformForward, new, true)->Unit(benchmark::kMicrosecond);

// The spectra of a 32768-sample record as the forward transform leaves
// them, with their duration and the bins to filter.
struct Spectra {
  Work work{32768};
  float duration;
  std::int32_t NOM;
  Spectra() {
    duration = shindo::core::transform_forward(Samples(32768).record(), 32768, 32768, kInterval, work.spectra());
    NOM = shindo::core::frequency_step(32768, duration).NOM;
  }
};

// The band filter alone, in place (factors and conjugate completion).
void BM_Filter(benchmark::State& state, bool today) {
  Spectra spectra;
  Work work(32768);
  const auto [duration, NOM] = std::pair(spectra.duration, spectra.NOM);
  for (auto _ : state) {
    work.data = spectra.work.data;
    if (today) {
      benchmark::DoNotOptimize(shindo::core::filter_spectra(NOM, duration, work.spectra()));
      shindo::core::complete_conjugates(32768, work.spectra());
    } else {
      baseline::filter_spectra(32768, NOM, duration, work.spectra());
    }
    benchmark::DoNotOptimize(work.data[1]);
  }
}
BENCHMARK_CAPTURE(BM_Filter, old, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Filter, new, true)->Unit(benchmark::kMicrosecond);

// The filter and the inverse transform: today's places the filtered bins in
// a second set of arrays in the transform's order.
void BM_FilterAndInverse(benchmark::State& state, bool today) {
  Spectra spectra;
  Work work(32768);
  const auto [duration, NOM] = std::pair(spectra.duration, spectra.NOM);
  for (auto _ : state) {
    if (today) {
      benchmark::DoNotOptimize(
          shindo::core::filter_and_invert(32768, NOM, duration, spectra.work.spectra(), work.spectra()));
    } else {
      work.data = spectra.work.data;
      baseline::filter_and_invert(32768, NOM, duration, work.spectra(), kAvx);
    }
    benchmark::DoNotOptimize(work.data[1]);
  }
}
BENCHMARK_CAPTURE(BM_FilterAndInverse, old, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FilterAndInverse, new, true)->Unit(benchmark::kMicrosecond);

// One 32768-point transform of one array in place, reordering included.
void BM_TransformOne(benchmark::State& state, bool today) {
  const Samples s(32768);
  std::vector<ComplexFloat> input, x(32768);
  for (const float value : s.acc1) input.push_back({value, 0.0f});
  ComplexFloat* const arrays[] = {x.data()};
  for (auto _ : state) {
    x = input;
    if (today) {
      shindo::core::transform_together(32768, arrays, shindo::core::kForward);
    } else {
      baseline::transform_together(32768, arrays, shindo::core::kForward, kAvx);
    }
    benchmark::DoNotOptimize(x[1]);
  }
}
BENCHMARK_CAPTURE(BM_TransformOne, old, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_TransformOne, new, true)->Unit(benchmark::kMicrosecond);

// Today's stages of three arrays of 32768 points with each kernel.
void BM_StagesByKernel(benchmark::State& state, shindo::core::ButterflyKernel kernel) {
  if ((kernel == shindo::core::ButterflyKernel::Avx && !kAvx) ||
      (kernel == shindo::core::ButterflyKernel::Avx512 && !(kAvx && shindo::core::avx512_available()))) {
    state.SkipWithError("this processor lacks the kernel's instructions");
    return;
  }
  const Samples s(32768);
  Work work(32768);
  static_cast<void>(shindo::core::transform_forward(s.record(), 32768, 32768, kInterval, work.spectra()));
  const std::vector<ComplexFloat> input = work.data;
  ComponentSpectra spectra = work.spectra();
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  for (auto _ : state) {
    work.data = input;
    shindo::core::transform_stages(32768, arrays, shindo::core::kInverse, std::nullopt, kernel);
    benchmark::DoNotOptimize(work.data[1]);
  }
}
BENCHMARK_CAPTURE(BM_StagesByKernel, portable, shindo::core::ButterflyKernel::Portable)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StagesByKernel, sse2, shindo::core::ButterflyKernel::Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StagesByKernel, avx, shindo::core::ButterflyKernel::Avx)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StagesByKernel, avx512, shindo::core::ButterflyKernel::Avx512)->Unit(benchmark::kMicrosecond);

}  // namespace
