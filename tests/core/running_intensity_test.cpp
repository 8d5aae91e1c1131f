// The running intensity through the public header: how window and step turn
// into samples and what is refused, where steps complete and which samples
// each window holds whatever the block sizes, the bits of every step against
// compute_intensity of the same slice, and faults inside one window.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shindo/intensity.h"

namespace {

using shindo::Fault;
using shindo::Refusal;

// Three components of a shaking whose strength changes along the record.
struct Samples {
  std::vector<float> acc1, acc2, acc3;
  std::size_t size() const { return acc1.size(); }
  shindo::Components block(std::size_t first, std::size_t count) const {
    return {std::span(acc1).subspan(first, count), std::span(acc2).subspan(first, count),
            std::span(acc3).subspan(first, count)};
  }
  shindo::Record slice(std::size_t first, std::size_t count, float dt) const { return {block(first, count), dt}; }
};

Samples shaking(std::size_t n, float dt) {
  Samples s;
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    const double envelope = 20.0 + 150.0 * std::exp(-std::pow((t - 6.0) / 2.0, 2.0));
    state = state * 1664525u + 1013904223u;
    const double noise = static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    s.acc1.push_back(static_cast<float>(envelope * (std::sin(2 * M_PI * 1.3 * t) + 0.3 * noise)));
    s.acc2.push_back(static_cast<float>(envelope * std::cos(2 * M_PI * 0.8 * t + 0.4)));
    s.acc3.push_back(static_cast<float>(0.4 * envelope * std::sin(2 * M_PI * 3.1 * t + noise)));
  }
  return s;
}

shindo::RunningIntensity started(float dt, double window, double step) {
  const shindo::RunningSettings settings{dt, window, step};
  shindo::RunningStart start = shindo::start_running(settings);
  EXPECT_TRUE(start.stream.has_value()) << shindo::refusal_text(start.refusal, settings);
  return std::move(*start.stream);
}

// Every step of a stream fed `samples` in blocks of `block` samples, then finished.
std::vector<shindo::RunningStep> run(shindo::RunningIntensity stream, const Samples& samples, std::size_t block) {
  std::vector<shindo::RunningStep> steps;
  const auto keep = [&steps](const shindo::RunningStep& step) { steps.push_back(step); };
  for (std::size_t first = 0; first < samples.size(); first += block) {
    EXPECT_EQ(stream.feed(samples.block(first, std::min(block, samples.size() - first)), keep), Fault::none);
  }
  stream.finish(keep);
  return steps;
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Same fault, stage, and bits of every stored value.
void expect_same_result(const shindo::Intensity& got, const shindo::Intensity& want) {
  EXPECT_EQ(got.fault, want.fault);
  EXPECT_EQ(got.stage, want.stage);
  EXPECT_EQ(got.samples, want.samples);
  EXPECT_EQ(got.transform_size, want.transform_size);
  EXPECT_TRUE(same_bits(got.amax, want.amax)) << got.amax << " " << want.amax;
  EXPECT_TRUE(same_bits(got.a0, want.a0)) << got.a0 << " " << want.a0;
  EXPECT_TRUE(same_bits(got.shindo, want.shindo)) << got.shindo << " " << want.shindo;
  ASSERT_EQ(got.wave.size(), want.wave.size());
  EXPECT_EQ(std::memcmp(got.wave.data(), want.wave.data(), got.wave.size() * sizeof(float)), 0);
  EXPECT_EQ(got.levels.size(), want.levels.size());
}

struct SettingsRow {
  std::string name;
  shindo::RunningSettings settings;
  std::int32_t window_samples;  // 0: refused
  std::int32_t step_samples;
  Refusal refusal;
  std::string text;  // a part of the refusal's sentence
};

TEST(RunningIntensity, WindowAndStepBecomeWholeSamplesOrAreRefusedWithAReasonAndASentence) {
  const double nan = std::nan("");
  const std::vector<SettingsRow> rows = {
      {"defaults_at_100_hz", {0.01f}, 6000, 100, Refusal::none, ""},
      {"five_second_window_at_200_hz", {0.005f, 5.0, 1.0}, 1000, 200, Refusal::none, ""},
      {"step_of_one_interval", {0.01f, 60.0, 0.01}, 6000, 1, Refusal::none, ""},
      {"step_of_one_and_a_half_intervals_rounds_up", {0.01f, 60.0, 0.015}, 6000, 2, Refusal::none, ""},
      {"step_of_one_and_a_third_intervals_rounds_down", {0.03f, 60.0, 0.04}, 2000, 1, Refusal::none, ""},
      {"window_not_a_multiple_rounds_to_nearest", {0.01f, 0.304, 1.0}, 30, 100, Refusal::none, ""},
      {"step_longer_than_window", {0.01f, 1.0, 5.0}, 100, 500, Refusal::none, ""},
      {"step_shorter_than_interval", {0.01f, 60.0, 0.005},
       0, 0, Refusal::step_shorter_than_interval, "the step (0.005 s) is shorter than the sampling interval (0.01 s)"},
      {"step_just_short_of_interval", {0.01f, 60.0, 0.0099},
       0, 0, Refusal::step_shorter_than_interval, "shorter than the sampling interval"},
      {"window_shorter_than_interval", {0.01f, 0.001, 1.0},
       0, 0, Refusal::window_shorter_than_interval, "the window (0.001 s) is shorter"},
      {"zero_step", {0.01f, 60.0, 0.0}, 0, 0, Refusal::step_not_positive, "the step (0 s) is not a positive number"},
      {"negative_window", {0.01f, -60.0, 1.0},
       0, 0, Refusal::window_not_positive, "the window (-60 s) is not a positive number"},
      {"step_not_a_number", {0.01f, 60.0, nan},
       0, 0, Refusal::step_not_positive, "the step (nan s) is not a positive number"},
      {"zero_interval", {0.0f, 60.0, 1.0},
       0, 0, Refusal::interval_not_positive, "the sampling interval (0 s) is not a positive number"},
      {"infinite_interval", {INFINITY, 60.0, 1.0}, 0, 0, Refusal::interval_not_positive, "sampling interval (inf s)"},
      {"window_beyond_the_longest_record", {0.01f, 50000.0, 1.0},
       0, 0, Refusal::window_too_long, "the window (50000 s) is longer than"},
      {"step_beyond_the_longest_record", {0.01f, 60.0, 50000.0}, 0, 0, Refusal::step_too_long,
       "the step (50000 s) is longer than 4194304 samples at 0.01 s"},
  };
  for (const SettingsRow& row : rows) {
    SCOPED_TRACE(row.name);
    const shindo::RunningStart start = shindo::start_running(row.settings);
    if (row.window_samples == 0) {
      EXPECT_FALSE(start.stream.has_value());
      EXPECT_EQ(start.refusal, row.refusal);
      const std::string text = shindo::refusal_text(start.refusal, row.settings);
      EXPECT_NE(text.find(row.text), std::string::npos) << text;
      continue;
    }
    ASSERT_TRUE(start.stream.has_value()) << shindo::refusal_text(start.refusal, row.settings);
    EXPECT_EQ(start.refusal, Refusal::none);
    EXPECT_EQ(start.stream->window_samples(), row.window_samples);
    EXPECT_EQ(start.stream->step_samples(), row.step_samples);
  }
}

struct LayoutRow {
  std::string name;
  std::size_t samples;
  double window;  // s at 0.01 s
  double step;
  // (end sample, samples in the window) of every step, the end's included.
  std::vector<std::pair<std::int64_t, std::int32_t>> steps;
};

TEST(RunningIntensity, StepsCompleteAtMultiplesOfTheStepWithTheLastWindowOfSamples) {
  const std::vector<LayoutRow> rows = {
      {"record_shorter_than_one_window", 250, 60.0, 1.0, {{100, 100}, {200, 200}, {250, 250}}},
      {"step_dividing_the_record", 400, 2.0, 1.0, {{100, 100}, {200, 200}, {300, 200}, {400, 200}}},
      {"step_not_dividing_the_record", 370, 1.5, 1.0, {{100, 100}, {200, 150}, {300, 150}, {370, 150}}},
      {"step_longer_than_the_record", 80, 60.0, 1.0, {{80, 80}}},
      {"step_longer_than_the_window", 1000, 1.0, 3.0, {{300, 100}, {600, 100}, {900, 100}, {1000, 100}}},
      {"one_sample_steps_through_a_short_window", 5, 0.03, 0.01, {{1, 1}, {2, 2}, {3, 3}, {4, 3}, {5, 3}}},
      {"no_samples", 0, 60.0, 1.0, {}},
  };
  const float dt = 0.01f;
  for (const LayoutRow& row : rows) {
    const Samples samples = shaking(row.samples, dt);
    for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{100}, std::size_t{100000}}) {
      SCOPED_TRACE(row.name + ", blocks of " + std::to_string(block));
      const std::vector<shindo::RunningStep> steps = run(started(dt, row.window, row.step), samples, block);
      ASSERT_EQ(steps.size(), row.steps.size());
      for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_EQ(steps[k].end_sample, row.steps[k].first);
        EXPECT_EQ(steps[k].window_samples, row.steps[k].second);
        EXPECT_EQ(steps[k].time, static_cast<double>(row.steps[k].first) * dt);
        EXPECT_EQ(steps[k].result.samples, row.steps[k].second);
      }
    }
  }
}

TEST(RunningIntensity, WindowCoveringTheRecordEndsWithTheBitsOfTheWholeRecord) {
  struct Row {
    std::size_t samples;
    float dt;
    double window, step;
  };
  const std::vector<Row> rows = {
      {1200, 0.01f, 60.0, 1.0},   // step lands on the last sample
      {1200, 0.01f, 12.0, 0.5},   // window exactly the record
      {1257, 0.01f, 60.0, 1.0},   // the end of the stream completes the last step
      {2400, 0.005f, 12.0, 2.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.samples) + " samples at " + std::to_string(row.dt));
    const Samples samples = shaking(row.samples, row.dt);
    const shindo::Intensity whole = shindo::compute_intensity(samples.slice(0, samples.size(), row.dt));
    ASSERT_EQ(whole.fault, Fault::none);
    const std::vector<shindo::RunningStep> steps = run(started(row.dt, row.window, row.step), samples, 333);
    ASSERT_FALSE(steps.empty());
    expect_same_result(steps.back().result, whole);
  }
}

TEST(RunningIntensity, EachStepHasTheBitsOfItsSliceWhenTheWindowIsShorterThanTheRecord) {
  const float dt = 0.01f;
  const Samples samples = shaking(1530, dt);
  const std::vector<shindo::RunningStep> steps = run(started(dt, 5.0, 1.0), samples, 64);
  ASSERT_EQ(steps.size(), 16u);
  float strongest = 0.0f;
  for (const shindo::RunningStep& step : steps) {
    SCOPED_TRACE(step.end_sample);
    const auto end = static_cast<std::size_t>(step.end_sample);
    const std::size_t first = end > 500 ? end - 500 : 0;
    expect_same_result(step.result, shindo::compute_intensity(samples.slice(first, end - first, dt)));
    strongest = std::max(strongest, step.result.shindo);
  }
  // The shaking peaks at 6 s: the 5 s windows around it are the strongest.
  EXPECT_GT(strongest, steps.front().result.shindo + 0.5f);
}

TEST(RunningIntensity, AFaultInsideOneWindowIsReportedInItsStepAndTheStreamGoesOn) {
  const float dt = 0.01f;
  Samples samples = shaking(600, dt);
  // 1-2 s: zeros; at 4.005 s a sample that is not a number.
  for (std::size_t i = 100; i < 200; ++i) samples.acc1[i] = samples.acc2[i] = samples.acc3[i] = 0.0f;
  samples.acc2[400] = std::nanf("");
  const std::vector<shindo::RunningStep> steps = run(started(dt, 1.0, 1.0), samples, 37);
  const std::vector<Fault> faults = {Fault::none,       Fault::log10_singularity, Fault::none,
                                     Fault::none,       Fault::not_finite,        Fault::none};
  ASSERT_EQ(steps.size(), faults.size());
  for (std::size_t k = 0; k < steps.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(steps[k].result.fault, faults[k]) << shindo::fault_text(steps[k].result.fault);
    if (faults[k] == Fault::none) {
      EXPECT_GT(steps[k].result.shindo, 0.0f);
    }
  }
}

TEST(RunningIntensity, ABlockOfUnequalComponentsIsRefusedWholeAndTheStreamGoesOn) {
  shindo::RunningIntensity stream = started(0.01f, 1.0, 1.0);
  const Samples samples = shaking(100, 0.01f);
  int steps = 0;
  const auto count = [&steps](const shindo::RunningStep&) { ++steps; };
  const shindo::Components uneven{samples.acc1, samples.acc2, std::span(samples.acc3).first(99)};
  EXPECT_EQ(stream.feed(uneven, count), Fault::length_mismatch);
  EXPECT_EQ(stream.samples_received(), 0);
  EXPECT_EQ(stream.feed(samples.block(0, 100), count), Fault::none);
  EXPECT_EQ(steps, 1);
  stream.finish(count);
  stream.finish(count);  // nothing new arrived: no second step
  EXPECT_EQ(steps, 1);
}

TEST(RunningIntensity, AStreamLongerThanTheLongestRecordKeepsOnlyItsWindow) {
  // 5 * 2^20 samples, beyond the kMaxSamples the core computes at once, fed
  // in blocks of 2^16 through a 1 s window.
  const float dt = 0.01f;
  const Samples block = shaking(std::size_t{1} << 16, dt);
  shindo::RunningIntensity stream = started(dt, 1.0, 10485.76);
  std::vector<shindo::RunningStep> steps;
  for (int k = 0; k < 80; ++k) {
    EXPECT_EQ(stream.feed(block.block(0, block.size()),
                          [&steps](const shindo::RunningStep& step) { steps.push_back(step); }),
              Fault::none);
  }
  EXPECT_GT(stream.samples_received(), static_cast<std::int64_t>(shindo::kMaxSamples));
  ASSERT_EQ(steps.size(), 5u);
  for (const shindo::RunningStep& step : steps) {
    EXPECT_EQ(step.result.fault, Fault::none);
    EXPECT_EQ(step.window_samples, 100);
    // Each step ends on a block's end: its window is the block's last second.
    expect_same_result(step.result, shindo::compute_intensity(block.slice(block.size() - 100, 100, dt)));
  }
  EXPECT_EQ(steps.back().end_sample, std::int64_t{5} << 20);
}

// A record in the console program's text format (time and three components
// a line), with the interval the console program takes: the second time
// minus the first.
struct TextRecord {
  Samples samples;
  float dt = 0.0f;
};

TextRecord read_text_record(const std::filesystem::path& path) {
  TextRecord record;
  std::ifstream in(path);
  std::vector<float> times;
  float time, a1, a2, a3;
  while (in >> time >> a1 >> a2 >> a3) {
    times.push_back(time);
    record.samples.acc1.push_back(a1);
    record.samples.acc2.push_back(a2);
    record.samples.acc3.push_back(a3);
  }
  if (times.size() >= 2) record.dt = static_cast<float>(static_cast<double>(times[1]) - static_cast<double>(times[0]));
  return record;
}

// On the recorded earthquakes, when present: a window covering the record
// gives the whole record's bits, and the strongest 60 s window lies within
// 0.05 of the whole record's intensity (they differ by the shaking outside
// the window and by the filter's frequency grid, finer for the longer
// transform of the whole record).
TEST(RunningIntensity, RealRecordsAgreeWithTheirWholeRecordIntensity) {
  const std::filesystem::path directory = SHINDO_SOURCE_DIR "/../shared/data/real/converted";
  if (!std::filesystem::is_directory(directory)) GTEST_SKIP() << "no real records at " << directory;
  int records = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().filename() == "SUMMARY.txt" || entry.path().extension() != ".txt") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const TextRecord record = read_text_record(entry.path());
    ASSERT_GT(record.samples.size(), 1000u);
    ++records;
    const shindo::Intensity whole =
        shindo::compute_intensity(record.samples.slice(0, record.samples.size(), record.dt));
    ASSERT_EQ(whole.fault, Fault::none);

    const double seconds = static_cast<double>(record.samples.size()) * record.dt;
    const std::vector<shindo::RunningStep> covering = run(started(record.dt, seconds + 1.0, seconds), record.samples, 4096);
    ASSERT_EQ(covering.size(), 1u);
    expect_same_result(covering.back().result, whole);

    float strongest = 0.0f;
    for (const shindo::RunningStep& step : run(started(record.dt, 60.0, 1.0), record.samples, 4096)) {
      strongest = std::max(strongest, step.result.shindo);
    }
    EXPECT_NEAR(strongest, whole.shindo, 0.05f);
  }
  EXPECT_GT(records, 0);
}

}  // namespace
