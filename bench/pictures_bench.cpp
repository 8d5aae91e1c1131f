// The time to draw a record against the time to compute it: compute_intensity
// and record_svg on a 30000-sample record at 0.01 s, and the report of a run
// of 1000 records.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "pictures/pictures.h"

namespace {

constexpr std::size_t kSamples = 30000;
constexpr float kInterval = 0.01f;

// Three components of a shaking that grows and decays, with some noise of a
// fixed pattern, so that every pixel column of the picture holds detail.
struct BenchRecord {
  std::vector<float> ns, ew, ud;

  BenchRecord() {
    for (std::size_t i = 0; i < kSamples; ++i) {
      const double t = static_cast<double>(i) * kInterval;
      const double strength = 250.0 * (t / 40.0) * std::exp(1.0 - t / 40.0);
      const double wiggle = static_cast<double>((i * 7919) % 101) / 101.0 - 0.5;
      ns.push_back(static_cast<float>(strength * (std::sin(2 * std::numbers::pi * 1.7 * t) + 0.2 * wiggle)));
      ew.push_back(static_cast<float>(strength * (std::cos(2 * std::numbers::pi * 0.9 * t) - 0.2 * wiggle)));
      ud.push_back(static_cast<float>(0.6 * strength * std::sin(2 * std::numbers::pi * 4.2 * t + wiggle)));
    }
  }
  shindo::Record record() const { return {ns, ew, ud, kInterval}; }
};

void BM_ComputeIntensity(benchmark::State& state) {
  const BenchRecord r;
  for (auto _ : state) benchmark::DoNotOptimize(shindo::compute_intensity(r.record()));
}
BENCHMARK(BM_ComputeIntensity)->Unit(benchmark::kMillisecond);

void BM_RecordSvg(benchmark::State& state) {
  const BenchRecord r;
  const shindo::Intensity result = shindo::compute_intensity(r.record());
  const shindo::pictures::RecordPicture picture{.name = "bench", .station = "BENCH01", .record = r.record()};
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string svg = shindo::pictures::record_svg(picture, result);
    bytes = svg.size();
    benchmark::DoNotOptimize(svg.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RecordSvg)->Unit(benchmark::kMillisecond);

void BM_ReportHtml(benchmark::State& state) {
  shindo::pictures::ReportInput report;
  for (int i = 0; i < 1000; ++i) {
    shindo::pictures::ReportRow row;
    row.record = "KNT" + std::to_string(100000 + i);
    row.format = "knet";
    row.latitude = 30.0 + 0.01 * (i % 300);
    row.longitude = 130.0 + 0.007 * i;
    row.read = shindo::pictures::ReadRecord{kSamples, kInterval, 100.0f};
    row.computed = shindo::pictures::ComputedRecord{50.0f, 40.0f, 0.006f * static_cast<float>(i)};
    row.picture = row.record + ".svg";
    report.rows.push_back(row);
  }
  for (auto _ : state) benchmark::DoNotOptimize(shindo::pictures::report_html(report));
}
BENCHMARK(BM_ReportHtml)->Unit(benchmark::kMillisecond);

}  // namespace
