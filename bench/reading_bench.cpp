// The readers' speed on a record of 30000 samples a component, in bytes of
// text a second, beside the speed of merely finding the line ends of the same
// bytes: how far reading is from the memory's own pace. The K-NET and JMA CSV
// readers are timed beside the ones before their fast paths (`Old`), after a
// check that both give the same samples, bit for bit.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "baseline_readers.h"
#include "readers/readers.h"

namespace {

constexpr int kSamples = 30000;

// A decaying shaking, as counts or as gal.
double shaking(int i, int component) {
  const double t = i * 0.01;
  const double envelope = t < 20 ? t / 20 : std::exp(-(t - 20) / 40);
  return envelope * (std::sin(2 * M_PI * (1.3 + component) * t) + 0.4 * std::sin(2 * M_PI * 4.1 * t + component));
}

// A component file, its counts separated by single blanks, or padded to
// fields of nine characters with a blank at each line's end as the networks
// write them.
std::string knet_component(int component, bool padded) {
  static constexpr std::array<const char*, 3> kDirections = {"N-S", "E-W", "U-D"};
  std::string text =
      "Origin Time       2024/01/01 16:10:00\nLat.              37.495\nLong.             137.270\n"
      "Depth. (km)       16\nMag.              7.6\nStation Code      BNC001\nStation Lat.      37.5266\n"
      "Station Long.     137.2844\nStation Height(m) 10\nRecord Time       2024/01/01 16:08:27\n"
      "Sampling Freq(Hz) 100Hz\nDuration Time(s)  300\nDir.              ";
  text += kDirections[component];
  text += "\nScale Factor      3920(gal)/6182761\nMax. Acc. (gal)   100.000\nLast Correction   2024/01/01 16:08:12\nMemo.\n";
  char field[32];
  for (int i = 0; i < kSamples; ++i) {
    std::snprintf(field, sizeof field, padded ? "%9d" : "%d",
                  static_cast<int>(std::lround(400000 * shaking(i, component))) - 1200);
    text += field;
    if (padded) {
      if (i % 8 == 7 || i + 1 == kSamples) text += " \n";
    } else {
      text += (i % 8 == 7 || i + 1 == kSamples) ? '\n' : ' ';
    }
  }
  return text;
}

std::string jma_csv() {
  std::string text =
      "SITE CODE= ABC\r\nLAT.=  35.6000\r\nLON.= 139.7000\r\nSAMPLING RATE= 100Hz \r\nUNIT  = gal\r\n"
      "INITIAL TIME = 2024 01 01 16 10 00\r\nNS,EW,UD\r\n";
  char line[96];
  for (int i = 0; i < kSamples; ++i) {
    std::snprintf(line, sizeof line, "%.3f,%.3f,%.3f\r\n", 300 * shaking(i, 0), 300 * shaking(i, 1), 100 * shaking(i, 2));
    text += line;
  }
  return text;
}

std::string console_text() {
  std::string text;
  char line[96];
  for (int i = 0; i < kSamples; ++i) {
    std::snprintf(line, sizeof line, "%.2f %.4f %.4f %.4f\n", i * 0.01, 300 * shaking(i, 0), 300 * shaking(i, 1),
                  100 * shaking(i, 2));
    text += line;
  }
  return text;
}

using KnetReader = readers::Result<readers::KnetFile> (*)(std::string_view, std::string_view);
using KnetJoiner = readers::Result<readers::Record> (*)(std::string_view, readers::Format,
                                                        std::span<const readers::KnetFile, 3>, readers::Offset);
using CsvReader = readers::Result<readers::Record> (*)(std::string_view, std::string_view);

const std::array<std::string, 3>& knet_texts(bool padded = false) {
  static const std::array<std::string, 3> texts = {knet_component(0, false), knet_component(1, false),
                                                   knet_component(2, false)};
  static const std::array<std::string, 3> padded_texts = {knet_component(0, true), knet_component(1, true),
                                                          knet_component(2, true)};
  return padded ? padded_texts : texts;
}

const std::string& csv_text() {
  static const std::string text = jma_csv();
  return text;
}

readers::Record knet_record(KnetReader read, KnetJoiner join, bool padded) {
  std::array<readers::KnetFile, 3> files;
  for (int c = 0; c < 3; ++c) files[c] = std::get<readers::KnetFile>(read("B.NS", knet_texts(padded)[c]));
  return std::get<readers::Record>(join("B", readers::Format::knet, files, readers::Offset::remove_mean));
}

bool same_samples(const readers::Record& a, const readers::Record& b) {
  const auto same = [](const std::vector<float>& x, const std::vector<float>& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(float)) == 0;
  };
  return same(a.acc1, b.acc1) && same(a.acc2, b.acc2) && same(a.acc3, b.acc3) && a.dt == b.dt &&
         a.warnings == b.warnings;
}

// The old and the new readers must agree before either is timed.
void require_same_records() {
  if (!same_samples(knet_record(readers::read_knet_file, readers::join_knet_record, false),
                    knet_record(baseline::read_knet_file, baseline::join_knet_record, false)) ||
      !same_samples(knet_record(readers::read_knet_file, readers::join_knet_record, true),
                    knet_record(baseline::read_knet_file, baseline::join_knet_record, true)) ||
      !same_samples(std::get<readers::Record>(readers::read_jma_csv("a.csv", csv_text())),
                    std::get<readers::Record>(baseline::read_jma_csv("a.csv", csv_text())))) {
    std::fputs("the readers and their baseline give different samples\n", stderr);
    std::abort();
  }
}

// With the argument 1 the allocator gives its free memory back to the system
// before every record (untimed), so that the counts and samples are written
// to fresh pages, as in a process whose allocator trims its heap after each
// record; with 0 the memory of the last record serves again, as in a
// long batch run. The second argument picks the padded layout.
void read_knet(benchmark::State& state, KnetReader read, KnetJoiner join) {
  require_same_records();
  const bool fresh_memory = state.range(0) != 0;
  const bool padded = state.range(1) != 0;
  for (auto _ : state) {
    if (fresh_memory) {
      state.PauseTiming();
      malloc_trim(0);
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(knet_record(read, join, padded));
  }
  const std::array<std::string, 3>& texts = knet_texts(padded);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(texts[0].size() + texts[1].size() + texts[2].size()));
}

void BM_ReadKnetRecord(benchmark::State& state) { read_knet(state, readers::read_knet_file, readers::join_knet_record); }
BENCHMARK(BM_ReadKnetRecord)->ArgNames({"fresh_memory", "padded"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_ReadKnetRecordOld(benchmark::State& state) {
  read_knet(state, baseline::read_knet_file, baseline::join_knet_record);
}
BENCHMARK(BM_ReadKnetRecordOld)->ArgNames({"fresh_memory", "padded"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

void read_csv(benchmark::State& state, CsvReader read) {
  require_same_records();
  for (auto _ : state) benchmark::DoNotOptimize(read("a.csv", csv_text()));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(csv_text().size()));
}

void BM_ReadJmaCsv(benchmark::State& state) { read_csv(state, readers::read_jma_csv); }
BENCHMARK(BM_ReadJmaCsv)->Unit(benchmark::kMicrosecond);

void BM_ReadJmaCsvOld(benchmark::State& state) { read_csv(state, baseline::read_jma_csv); }
BENCHMARK(BM_ReadJmaCsvOld)->Unit(benchmark::kMicrosecond);

void BM_ReadConsoleText(benchmark::State& state) {
  const std::string text = console_text();
  for (auto _ : state) benchmark::DoNotOptimize(readers::read_console_text("a.txt", text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadConsoleText)->Unit(benchmark::kMicrosecond);

// The yardstick: the line ends of the K-NET record's bytes counted, nothing converted.
void BM_LineEndsOnly(benchmark::State& state) {
  const std::string text = knet_texts()[0] + knet_texts()[1] + knet_texts()[2];
  for (auto _ : state) benchmark::DoNotOptimize(std::count(text.begin(), text.end(), '\n'));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LineEndsOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
