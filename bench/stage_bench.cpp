// Timings of the stages of a run on a record of the largest transform size
// (32768 samples at 0.01 s): the whole computation of the core and its
// stages on their own, and the stages that go through the record I/O layer
// (reading the record file, the console echo, the results and their files,
// the real-number text), so that a slower run shows where it lost its time. File stages work in a temporary directory;
// console output goes to /dev/null.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/band_filter.h"
#include "core/fft.h"
#include "core/level_scan.h"
#include "core/vector_wave.h"
#include "console/record_input.h"
#include "console/results.h"
#include "console/storage.h"
#include "numtext/real_digits.h"
#include "shindo/intensity.h"
#include "recio/statement.h"
#include "recio/units.h"

namespace {

using namespace console;
using namespace shindo::core;

constexpr std::int32_t kSamples = 32768;
constexpr float kInterval = 0.01f;
constexpr std::int32_t kRecordUnit = 11;
constexpr char kRecordFile[] = "rec.txt";
// The field of the wave file and the level-duration table.
constexpr numtext::RealField kE12_4{numtext::RealForm::E, 12, 4, 2, 0, false, numtext::Precision::Single};

// Three components of a few superposed oscillations under a decaying envelope.
void make_record() {
  for (std::int32_t i = 0; i < kSamples; ++i) {
    const double t = i * static_cast<double>(kInterval);
    const double envelope = 200.0 * t * std::exp(-t / 20.0) / 20.0;
    acceleration_1[i] = static_cast<float>(envelope * std::sin(2.0 * M_PI * 1.3 * t));
    acceleration_2[i] = static_cast<float>(envelope * std::cos(2.0 * M_PI * 0.7 * t + 0.4));
    acceleration_3[i] = static_cast<float>(0.5 * envelope * std::sin(2.0 * M_PI * 3.1 * t + 1.1));
  }
}

// The three complex work arrays and the vector of the computation.
struct Work {
  std::vector<ComplexFloat> spec1 = std::vector<ComplexFloat>(kSamples);
  std::vector<ComplexFloat> spec2 = std::vector<ComplexFloat>(kSamples);
  std::vector<ComplexFloat> spec3 = std::vector<ComplexFloat>(kSamples);
  std::vector<float> vector = std::vector<float>(kSamples);
  ComponentSpectra spectra() { return {spec1, spec2, spec3}; }
};

std::span<const float> first_samples(const SampleArray& samples) {
  return std::span<const float>(samples).first(kSamples);
}

shindo::Record record() {
  return {first_samples(acceleration_1), first_samples(acceleration_2), first_samples(acceleration_3), kInterval};
}

// Leaves the filtered record in the work arrays and returns DUR.
float filter_record(Work& work) {
  const float duration = transform_forward(
      {first_samples(acceleration_1), first_samples(acceleration_2), first_samples(acceleration_3)}, kSamples,
      kSamples, kInterval, work.spectra());
  if (filter_and_invert(kSamples, frequency_step(kSamples, duration).NOM, duration, work.spectra()) != shindo::Fault::none) {
    std::fputs("shindo_bench: the record does not filter\n", stderr);
    std::exit(1);
  }
  return duration;
}

// The whole computation: transforms, filter, vector, level scan, intensity.
void BM_ComputeIntensity(benchmark::State& state) {
  make_record();
  for (auto _ : state) {
    const shindo::Intensity result = shindo::compute_intensity(record());
    if (result.fault != shindo::Fault::none) state.SkipWithError("the record does not compute");
    benchmark::DoNotOptimize(result.shindo);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_ComputeIntensity)->Unit(benchmark::kMillisecond);

void BM_Transform(benchmark::State& state) {
  make_record();
  Work work;
  for (auto _ : state) {
    for (std::int32_t i = 0; i < kSamples; ++i) work.spec1[i] = {acceleration_1[i], 0.0f};
    FFT(kSamples, work.spec1.data(), kSamples, kForward);
    benchmark::DoNotOptimize(work.spec1[1]);
  }
}
BENCHMARK(BM_Transform)->Unit(benchmark::kMillisecond);

void BM_TransformAndFilter(benchmark::State& state) {
  make_record();
  Work work;
  for (auto _ : state) {
    benchmark::DoNotOptimize(filter_record(work));
  }
}
BENCHMARK(BM_TransformAndFilter)->Unit(benchmark::kMillisecond);

void BM_VectorComposition(benchmark::State& state) {
  make_record();
  Work work;
  const float duration = filter_record(work);
  for (auto _ : state) {
    const float peak = compose_vector(work.spectra(), kSamples, duration, work.vector, [](std::int32_t, float) {});
    benchmark::DoNotOptimize(peak);
  }
}
BENCHMARK(BM_VectorComposition)->Unit(benchmark::kMicrosecond);

void BM_LevelScan(benchmark::State& state) {
  make_record();
  Work work;
  const float duration = filter_record(work);
  const float peak = compose_vector(work.spectra(), kSamples, duration, work.vector, [](std::int32_t, float) {});
  for (auto _ : state) {
    std::int64_t counted = 0;
    const auto level =
        scan_levels(work.vector, peak, kInterval, [&counted](float, std::int32_t NOVER) { counted += NOVER; });
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(counted);
  }
}
BENCHMARK(BM_LevelScan)->Unit(benchmark::kMicrosecond);

// The record of make_record() as a record file: one sample a line, the time
// with two decimals and the components with four, separated by blanks.
std::string record_file_text() {
  make_record();
  std::string text;
  char line[96];
  for (std::int32_t i = 0; i < kSamples; ++i) {
    const int length =
        std::snprintf(line, sizeof line, "%.2f %.4f %.4f %.4f\n", i * 0.01, static_cast<double>(acceleration_1[i]),
                      static_cast<double>(acceleration_2[i]), static_cast<double>(acceleration_3[i]));
    text.append(line, static_cast<std::size_t>(length));
  }
  return text;
}

// A temporary directory holding the record file, made at first use and
// removed at the end of the program.
struct BenchDirectory {
  std::filesystem::path path;
  std::size_t record_bytes = 0;

  BenchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "shindo_bench_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("shindo_bench: temporary directory");
      std::exit(1);
    }
    path = pattern;
    const std::string text = record_file_text();
    std::FILE* out = std::fopen((path / kRecordFile).c_str(), "wb");
    if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
        std::fclose(out) != 0) {
      std::perror("shindo_bench: record file");
      std::exit(1);
    }
    record_bytes = text.size();
  }
  ~BenchDirectory() { std::filesystem::remove_all(path); }
  BenchDirectory(const BenchDirectory&) = delete;
  BenchDirectory& operator=(const BenchDirectory&) = delete;
};

BenchDirectory& bench_directory() {
  static BenchDirectory directory;
  return directory;
}

// While it lives, the working directory is the bench directory, standard
// output goes to /dev/null and the record I/O layer starts afresh with an
// empty unit table: file names are those of a run, and console lines cost
// their layout and their writes but show nowhere.
struct StageScope {
  std::filesystem::path previous = std::filesystem::current_path();
  int saved_output = -1;

  StageScope() {
    std::filesystem::current_path(bench_directory().path);
    std::fflush(stdout);
    saved_output = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    if (saved_output < 0 || null < 0 || dup2(null, 1) < 0) {
      std::perror("shindo_bench: /dev/null as standard output");
      std::exit(1);
    }
    close(null);
    // Unit 10 connects to the results file named here, without a request.
    char program[] = "shindo_bench";
    char results[] = "res.txt";
    char* argv[] = {program, results};
    recio::create_console_units(2, argv);
  }
  ~StageScope() {
    dup2(saved_output, 1);
    close(saved_output);
    std::filesystem::current_path(previous);
  }
  StageScope(const StageScope&) = delete;
  StageScope& operator=(const StageScope&) = delete;
};

// Reads the record file the way a run does, so that sample_times and
// acceleration_1..3 hold the values as read, and sample_count and
// sampling_interval are set.
void read_record_as_a_run_does() {
  std::memset(file_name, ' ', sizeof file_name);
  std::memcpy(file_name, kRecordFile, std::strlen(kRecordFile));
  read_acceleration_record();
}

// One read statement of four real items with an end-of-file branch; false at
// the end of the file.
bool read_four(float values[4]) {
  recio::begin_read(kRecordUnit, true);
  return recio::read_real(&values[0]) == 0 && recio::read_real(&values[1]) == 0 &&
         recio::read_real(&values[2]) == 0 && recio::read_real(&values[3]) == 0 &&
         recio::end_read() == 0;
}

// The read statements alone: unit 11 connected to the record file, read to
// its end and closed.
void BM_RecordRead(benchmark::State& state) {
  StageScope scope;
  float values[4];
  for (auto _ : state) {
    recio::open_unit(kRecordUnit, kRecordFile, static_cast<std::int32_t>(std::strlen(kRecordFile)),
                     "OLD", 3);
    std::int32_t records = 0;
    while (read_four(values)) ++records;
    recio::close_unit(kRecordUnit);
    if (records != kSamples) state.SkipWithError("the record file lost records");
    benchmark::DoNotOptimize(records);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bench_directory().record_bytes));
}
BENCHMARK(BM_RecordRead)->Unit(benchmark::kMillisecond);

// The whole input stage: the reads, one console echo line per record and the
// " nt, dt=" line.
void BM_RecordInputStage(benchmark::State& state) {
  StageScope scope;
  for (auto _ : state) {
    read_record_as_a_run_does();
    if (sample_count != kSamples) state.SkipWithError("the record file lost records");
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_RecordInputStage)->Unit(benchmark::kMillisecond);

// The console echo alone: one list-directed statement of four reals per
// record, the values as read.
void BM_EchoLines(benchmark::State& state) {
  StageScope scope;
  read_record_as_a_run_does();
  for (auto _ : state) {
    for (std::int32_t i = 0; i < kSamples; ++i) {
      recio::begin_write(recio::kConsoleOutput);
      recio::write_real(sample_times[i]);
      recio::write_real(acceleration_1[i]);
      recio::write_real(acceleration_2[i]);
      recio::write_real(acceleration_3[i]);
      recio::end_write();
    }
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_EchoLines)->Unit(benchmark::kMillisecond);

// The values of the echo lines, in echo order.
std::span<const float> echoed_values() {
  static std::vector<float> values;
  if (values.empty()) {
    StageScope scope;
    read_record_as_a_run_does();
    for (std::int32_t i = 0; i < kSamples; ++i) {
      values.insert(values.end(),
                    {sample_times[i], acceleration_1[i], acceleration_2[i], acceleration_3[i]});
    }
  }
  return values;
}

// The values of the wave file, in file order: each sample's time, then its
// vector acceleration.
std::span<const float> wave_values() {
  static std::vector<float> values;
  if (values.empty()) {
    make_record();
    Work work;
    const float duration = filter_record(work);
    compose_vector(work.spectra(), kSamples, duration, work.vector, [](std::int32_t I, float value) {
      values.push_back(static_cast<float>(static_cast<double>(I - 1) * kInterval));
      values.push_back(value);
    });
  }
  return values;
}

// The decimal digits of the echoed values, the first half of their text.
void BM_DecimalDigits(benchmark::State& state) {
  const std::span<const float> values = echoed_values();
  for (auto _ : state) {
    for (const float value : values) {
      numtext::DecimalDigits digits = numtext::decimal_digits(static_cast<double>(value));
      benchmark::DoNotOptimize(digits);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_DecimalDigits)->Unit(benchmark::kMillisecond);

// The list form of the echoed values, as the echo lines show them.
void BM_ListRealText(benchmark::State& state) {
  const std::span<const float> values = echoed_values();
  for (auto _ : state) {
    for (const float value : values) {
      numtext::RealText text = numtext::format_real(static_cast<double>(value), numtext::kListSingle);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_ListRealText)->Unit(benchmark::kMillisecond);

// The E12.4 fields of the wave file's times and vector accelerations.
void BM_E12_4Text(benchmark::State& state) {
  const std::span<const float> values = wave_values();
  for (auto _ : state) {
    for (const float value : values) {
      numtext::RealText text = numtext::format_real(static_cast<double>(value), kE12_4);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_E12_4Text)->Unit(benchmark::kMillisecond);

// The output of a computed result: its console lines, wave1_dat and
// a0tau_dat written through unit 11 (one "(4E12.4)" statement per record)
// and the two lines of unit 10.
void BM_ResultsOutput(benchmark::State& state) {
  StageScope scope;
  make_record();
  sampling_interval = kInterval;
  const shindo::Intensity result = shindo::compute_intensity(record());
  for (auto _ : state) write_results(result);
  if (std::filesystem::file_size("wave1_dat") != 26u * kSamples) {
    state.SkipWithError("wave1_dat is not 26 bytes a sample");
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_ResultsOutput)->Unit(benchmark::kMillisecond);

}  // namespace
