// The running intensity of a 300 s record at 100 Hz with a 60 s window and
// 1 s steps (300 steps), and the cost of one step of a full window. The
// record's 300 s over the time of one iteration is the multiple of real time
// (the counter realtime_multiple, on the CPU time of one core).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "shindo/intensity.h"

namespace {

constexpr float kInterval = 0.01f;
constexpr std::size_t kSamples = 30000;  // 300 s
constexpr double kRecordSeconds = kSamples * 0.01;

struct Components {
  std::vector<float> acc1, acc2, acc3;
};

// A shaking that rises to its strongest at 120 s and decays.
Components make_record() {
  Components c;
  for (std::size_t i = 0; i < kSamples; ++i) {
    const double t = static_cast<double>(i) * kInterval;
    const double envelope = 5.0 + 250.0 * std::exp(-std::pow((t - 120.0) / 25.0, 2.0));
    c.acc1.push_back(static_cast<float>(envelope * std::sin(2.0 * M_PI * 1.3 * t)));
    c.acc2.push_back(static_cast<float>(envelope * std::cos(2.0 * M_PI * 0.7 * t + 0.4)));
    c.acc3.push_back(static_cast<float>(0.5 * envelope * std::sin(2.0 * M_PI * 3.1 * t + 1.1)));
  }
  return c;
}

shindo::RunningIntensity start(double window, double step) {
  const shindo::RunningSettings settings{kInterval, window, step};
  shindo::RunningStart started = shindo::start_running(settings);
  if (!started.stream) {
    std::fprintf(stderr, "running_bench: %s\n", shindo::refusal_text(started.refusal, settings).c_str());
    std::exit(1);
  }
  return std::move(*started.stream);
}

void BM_RunningIntensity300s(benchmark::State& state) {
  const Components record = make_record();
  for (auto _ : state) {
    shindo::RunningIntensity stream = start(60.0, 1.0);
    float strongest = 0.0f;
    const auto keep = [&strongest](const shindo::RunningStep& step) {
      strongest = std::max(strongest, step.result.shindo);
    };
    static_cast<void>(stream.feed({record.acc1, record.acc2, record.acc3}, keep));  // one length: none refused
    stream.finish(keep);
    benchmark::DoNotOptimize(strongest);
  }
  state.counters["realtime_multiple"] =
      benchmark::Counter(kRecordSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunningIntensity300s)->Unit(benchmark::kMillisecond);

// One step of a full 60 s window: 100 new samples and the window's intensity.
void BM_RunningStep(benchmark::State& state) {
  const Components record = make_record();
  shindo::RunningIntensity stream = start(60.0, 1.0);
  const auto ignore = [](const shindo::RunningStep& step) { benchmark::DoNotOptimize(step.result.shindo); };
  // The blocks below are of one length: none is refused.
  static_cast<void>(stream.feed({std::span(record.acc1).first(6000), std::span(record.acc2).first(6000),
                                 std::span(record.acc3).first(6000)}, ignore));
  std::size_t next = 6000;
  for (auto _ : state) {
    if (next + 100 > kSamples) next = 6000;
    static_cast<void>(stream.feed({std::span(record.acc1).subspan(next, 100),
                                   std::span(record.acc2).subspan(next, 100),
                                   std::span(record.acc3).subspan(next, 100)}, ignore));
    next += 100;
  }
}
BENCHMARK(BM_RunningStep)->Unit(benchmark::kMicrosecond);

}  // namespace
