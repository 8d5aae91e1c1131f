// The computing core through its public header: the worked example, each
// fault with its stage and what was computed before it, the caller's
// floating-point environment kept, two threads at once, and the reported
// value and class of an intensity.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/math.h"
#include "shindo/intensity.h"

namespace {

using shindo::Fault;
using shindo::Stage;

// Three components and an interval, owned.
struct Samples {
  std::vector<float> acc1, acc2, acc3;
  float dt;
  shindo::Record record() const { return {acc1, acc2, acc3, dt}; }
};

// Rows of (acc1, acc2, acc3) at the interval `dt`.
Samples rows(std::initializer_list<std::initializer_list<float>> values, float dt) {
  Samples s{{}, {}, {}, dt};
  for (const auto& row : values) {
    s.acc1.push_back(row.begin()[0]);
    s.acc2.push_back(row.begin()[1]);
    s.acc3.push_back(row.begin()[2]);
  }
  return s;
}

// `n` samples of the values of make(i) at `dt`.
template <class Make>
Samples generated(std::size_t n, float dt, Make make) {
  Samples s{std::vector<float>(n), std::vector<float>(n), std::vector<float>(n), dt};
  for (std::size_t i = 0; i < n; ++i) {
    s.acc1[i] = make(i, 0);
    s.acc2[i] = make(i, 1);
    s.acc3[i] = make(i, 2);
  }
  return s;
}

Samples small_record(float dt) {
  return rows({{-70.4536f, -247.0f, 58.0452f},
               {108.6746f, 197.1317f, 104.8621f},
               {312.0f, 158.1146f, -12.9844f},
               {57.7694f, -202.7072f, -112.1048f},
               {2.0555f, -134.6558f, -138.0f},
               {115.6991f, 233.3542f, -26.9589f},
               {-33.7297f, 218.4471f, 46.2279f},
               {-97.6126f, -216.2670f, 17.4444f}},
              dt);
}

TEST(ComputeIntensity, SmallRecordGivesTheValuesOfTheConsoleRun) {
  const shindo::Intensity r = shindo::compute_intensity(small_record(0.05f).record());
  EXPECT_EQ(r.fault, Fault::none);
  EXPECT_EQ(r.stage, Stage::none);
  EXPECT_EQ(r.samples, 8);
  EXPECT_EQ(r.log2_size, 3);
  EXPECT_EQ(r.transform_size, 8);
  EXPECT_FLOAT_EQ(r.duration, 0.4f);
  EXPECT_FLOAT_EQ(r.frequency_step, 15.70796f);
  EXPECT_EQ(r.filtered_bins, 5);
  EXPECT_FLOAT_EQ(r.top_frequency, 78.53982f);
  ASSERT_EQ(r.wave.size(), 8u);
  EXPECT_FLOAT_EQ(r.wave[0], 81.28718f);
  EXPECT_FLOAT_EQ(r.amax, 125.9082f);
  ASSERT_EQ(r.levels.size(), 1000u);
  EXPECT_FLOAT_EQ(r.a0, 73.40448f);
  EXPECT_FLOAT_EQ(r.shindo, 4.674445f);
}

struct FaultRow {
  std::string name;
  Samples samples;
  Fault fault;
  Stage stage;
  std::size_t wave_samples;  // computed before the fault
  std::size_t levels;
};

constexpr float kLargest = 3.4e38f;

std::vector<FaultRow> fault_rows() {
  const auto zero = [](std::size_t, int) { return 0.0f; };
  return {
      {"zero_interval", small_record(0.0f), Fault::divide_by_zero, Stage::spectrum, 0, 0},
      {"negative_zero_interval", small_record(-0.0f), Fault::divide_by_zero, Stage::spectrum, 0, 0},
      {"no_samples_no_interval", Samples{{}, {}, {}, 0.0f}, Fault::divide_by_zero, Stage::spectrum, 0, 0},
      {"negative_interval", small_record(-0.05f), Fault::sqrt_domain, Stage::filter, 0, 0},
      {"microsecond_interval", small_record(1e-6f), Fault::overflow, Stage::filter, 0, 0},
      {"forward_transform_overflow", rows({{kLargest, kLargest, kLargest}, {kLargest, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 0.01f),
       Fault::overflow, Stage::spectrum, 0, 0},
      // The overflowing transform comes before DOM's division by zero.
      {"overflow_before_division_by_zero",
       rows({{kLargest, kLargest, kLargest}, {kLargest, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 0.0f), Fault::overflow,
       Stage::spectrum, 0, 0},
      {"inverse_transform_overflow", rows({{kLargest, kLargest, kLargest}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 1.0f),
       Fault::overflow, Stage::filter, 0, 0},
      {"second_vector_sample_overflows", rows({{0, 0, 0}, {2.5e38f, 2.5e38f, 2.5e38f}}, 0.3f), Fault::overflow,
       Stage::vector, 1, 0},
      {"all_zero", generated(31, 0.01f, zero), Fault::log10_singularity, Stage::intensity, 31, 1000},
      {"quarter_second", generated(26, 0.01f, [](std::size_t i, int c) { return static_cast<float>(i % (3 + 2 * c)); }),
       Fault::log10_singularity, Stage::intensity, 26, 1000},
      {"no_samples", Samples{{}, {}, {}, 0.01f}, Fault::log10_singularity, Stage::intensity, 0, 1000},
      {"lowest_level_below_zero", rows({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {-1, 0, 0}}, 0.1f), Fault::log10_domain,
       Stage::intensity, 4, 1000},
      {"lengths_differ", Samples{{1, 2}, {1, 2}, {1}, 0.01f}, Fault::length_mismatch, Stage::input, 0, 0},
      {"not_a_number", rows({{1, 2, 3}, {1, std::nanf(""), 3}}, 0.01f), Fault::not_finite, Stage::input, 0, 0},
      {"infinite_sample", rows({{1, 2, -std::numeric_limits<float>::infinity()}}, 0.01f), Fault::not_finite,
       Stage::input, 0, 0},
      {"infinite_interval", small_record(std::numeric_limits<float>::infinity()), Fault::not_finite, Stage::input, 0,
       0},
  };
}

TEST(ComputeIntensity, EachFaultNamesItsStageAndKeepsWhatWasComputedBeforeIt) {
  for (const FaultRow& row : fault_rows()) {
    SCOPED_TRACE(row.name);
    const shindo::Intensity r = shindo::compute_intensity(row.samples.record());
    EXPECT_EQ(r.fault, row.fault) << shindo::fault_text(r.fault);
    EXPECT_EQ(r.stage, row.stage) << shindo::stage_name(r.stage);
    EXPECT_EQ(r.wave.size(), row.wave_samples);
    EXPECT_EQ(r.levels.size(), row.levels);
    for (const float value : r.wave) EXPECT_TRUE(std::isfinite(value));
    EXPECT_FALSE(shindo::fault_text(r.fault).empty());
    // The stages after the fault leave their fields at their initial values.
    if (row.stage <= Stage::spectrum) {
      EXPECT_EQ(r.duration, 0.0f);
    }
    if (row.stage <= Stage::vector) {
      EXPECT_EQ(r.amax, 0.0f);
    }
    EXPECT_EQ(r.shindo, 0.0f);
  }
}

TEST(ComputeIntensity, FaultsKeepTheValuesOfTheStagesBeforeThem) {
  const shindo::Intensity negative = shindo::compute_intensity(small_record(-0.05f).record());
  EXPECT_FLOAT_EQ(negative.duration, -0.4f);
  EXPECT_FLOAT_EQ(negative.frequency_step, -15.70796f);
  const shindo::Intensity below_zero =
      shindo::compute_intensity(rows({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {-1, 0, 0}}, 0.1f).record());
  EXPECT_LT(below_zero.a0, 0.0f);
  EXPECT_FLOAT_EQ(below_zero.amax, 0.410051f);
}

TEST(ComputeIntensity, RecordLongerThanTheLimitIsRefused) {
  const std::vector<float> longest(shindo::kMaxSamples + 1, 1.0f);
  const shindo::Intensity r = shindo::compute_intensity({longest, longest, longest, 0.01f});
  EXPECT_EQ(r.fault, Fault::too_long);
  EXPECT_EQ(r.stage, Stage::input);
}

// At the largest size every index of the transform and of the sort runs up
// to 2^22: a sine of 100 gal at 1 Hz (20972 whole periods in the record, so
// that its transform is one bin) comes out as 100 gal times the filter at
// 1 Hz, 0.9959, everywhere.
TEST(ComputeIntensity, LongestRecordGivesTheFilteredAmplitude) {
  const std::size_t n = shindo::kMaxSamples;
  const float dt = 0.005f;
  const Samples sine = generated(n, dt, [](std::size_t i, int c) {
    const double periods = 20972.0 * static_cast<double>(i) / static_cast<double>(shindo::kMaxSamples);
    return c == 0 ? static_cast<float>(100.0 * std::sin(2.0 * 3.141592653589793 * periods)) : 0.0f;
  });
  const shindo::Intensity r = shindo::compute_intensity(sine.record());
  ASSERT_EQ(r.fault, Fault::none) << shindo::fault_text(r.fault);
  EXPECT_EQ(r.transform_size, 1 << 22);
  EXPECT_EQ(r.log2_size, 22);
  ASSERT_EQ(r.wave.size(), n);
  EXPECT_NEAR(r.amax, 99.6f, 0.1f);
  EXPECT_NEAR(r.wave[n / 4 + 1], 99.59f * std::fabs(std::sin(2.0 * 3.141592653589793 * 20972.0 * (n / 4 + 1) / n)), 0.01f);
  EXPECT_EQ(r.levels.back().count, static_cast<std::int32_t>(n));
  // A0, the level exceeded for more than 0.299 s in all, lies just below the
  // filtered amplitude that the sine reaches every second.
  EXPECT_LT(r.a0, r.amax);
  EXPECT_GT(r.a0, 0.99f * r.amax);
}

// The caller's environment: traps on, rounding upward, some flags raised.
struct CallerEnvironment {
  int traps;
  int rounding;
  int raised;
};

TEST(ComputeIntensity, CallersTrapsRoundingAndFlagsComeBackUnchanged) {
  const CallerEnvironment callers[] = {
      {FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID, FE_TONEAREST, 0},
      {FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID, FE_UPWARD, FE_INEXACT | FE_UNDERFLOW},
      {0, FE_TOWARDZERO, FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID},
      {FE_OVERFLOW, FE_DOWNWARD, FE_DIVBYZERO},
  };
  const shindo::Intensity expected = shindo::compute_intensity(small_record(0.05f).record());
  std::vector<FaultRow> records = fault_rows();
  records.push_back({"complete", small_record(0.05f), Fault::none, Stage::none, 8, 1000});
  for (const CallerEnvironment& caller : callers) {
    std::fenv_t before;
    std::fegetenv(&before);
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(caller.raised);
    std::fesetround(caller.rounding);
    feenableexcept(caller.traps);
    for (const FaultRow& row : records) {
      SCOPED_TRACE(row.name + " traps " + std::to_string(caller.traps));
      const shindo::Intensity r = shindo::compute_intensity(row.samples.record());
      const int traps = fegetexcept();
      const int raised = std::fetestexcept(FE_ALL_EXCEPT);
      const int rounding = std::fegetround();
      EXPECT_EQ(traps, caller.traps);
      EXPECT_EQ(raised, caller.raised);
      EXPECT_EQ(rounding, caller.rounding);
      EXPECT_EQ(r.fault, row.fault);
      if (row.fault == Fault::none) {
        EXPECT_EQ(r.wave, expected.wave);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(r.shindo), std::bit_cast<std::uint32_t>(expected.shindo));
      }
    }
    std::fesetenv(&before);
  }
}

// The bits of everything a result holds.
bool same_bits(const shindo::Intensity& a, const shindo::Intensity& b) {
  if (a.fault != b.fault || a.wave.size() != b.wave.size() || a.levels.size() != b.levels.size()) return false;
  for (std::size_t i = 0; i < a.wave.size(); ++i) {
    if (std::bit_cast<std::uint32_t>(a.wave[i]) != std::bit_cast<std::uint32_t>(b.wave[i])) return false;
  }
  for (std::size_t j = 0; j < a.levels.size(); ++j) {
    if (std::bit_cast<std::uint32_t>(a.levels[j].level) != std::bit_cast<std::uint32_t>(b.levels[j].level) ||
        a.levels[j].count != b.levels[j].count ||
        std::bit_cast<std::uint32_t>(a.levels[j].duration) != std::bit_cast<std::uint32_t>(b.levels[j].duration)) {
      return false;
    }
  }
  return std::bit_cast<std::uint32_t>(a.amax) == std::bit_cast<std::uint32_t>(b.amax) &&
         std::bit_cast<std::uint32_t>(a.a0) == std::bit_cast<std::uint32_t>(b.a0) &&
         std::bit_cast<std::uint32_t>(a.shindo) == std::bit_cast<std::uint32_t>(b.shindo);
}

TEST(ComputeIntensity, TwoThreadsAtOnceGiveTheResultsOfOneAfterTheOther) {
  const auto oscillation = [](double frequency) {
    return [frequency](std::size_t i, int c) {
      return static_cast<float>(150.0 * std::sin(frequency * (static_cast<double>(i) + 7.0 * c) * 0.01));
    };
  };
  const Samples first = generated(30000, 0.01f, oscillation(6.0));
  const Samples second = generated(20000, 0.005f, oscillation(11.0));
  const shindo::Intensity first_alone = shindo::compute_intensity(first.record());
  const shindo::Intensity second_alone = shindo::compute_intensity(second.record());
  ASSERT_EQ(first_alone.fault, Fault::none);
  ASSERT_EQ(second_alone.fault, Fault::none);
  for (int round = 0; round < 4; ++round) {
    shindo::Intensity first_together, second_together, fault_together;
    std::thread a([&] { first_together = shindo::compute_intensity(first.record()); });
    std::thread b([&] {
      second_together = shindo::compute_intensity(second.record());
      // A fault in one thread leaves the other's flags alone.
      fault_together = shindo::compute_intensity(small_record(0.0f).record());
    });
    a.join();
    b.join();
    EXPECT_TRUE(same_bits(first_together, first_alone));
    EXPECT_TRUE(same_bits(second_together, second_alone));
    EXPECT_EQ(fault_together.fault, Fault::divide_by_zero);
  }
}

TEST(ReportedIntensity, RoundedHalfUpAtTheSecondDecimalThenCut) {
  const std::pair<float, std::int32_t> rows[] = {
      {5.1538f, 51}, {4.9960f, 50}, {4.9949f, 49}, {-0.155f, -1}, {0.0f, 0},   {0.449f, 4},
      {0.45f, 4},    {0.495f, 5},   {6.95f, 69},   {4.674445f, 46}, {-0.04f, 0},
      // The float nearest 6.995 is 6.99499988...: its exact value rounds down.
      {6.995f, 69},  {6.9951f, 70},
      // Below 0 the hundredths are floored (one below the truncation) unless whole.
      {-2.349f, -23}, {-3.0f, -30}, {-0.005f, 0},
  };
  for (const auto& [intensity, tenths] : rows) EXPECT_EQ(shindo::reported_tenths(intensity), tenths) << intensity;
}

// The scale is a constant expression: a table of classes may be built at compile time.
static_assert(shindo::reported_tenths(-0.155f) == -1 && shindo::reported_tenths(6.995f) == 69);
static_assert(shindo::class_label(shindo::intensity_class(shindo::reported_tenths(5.1538f))) == "5+");

TEST(ReportedIntensity, ClassesIncludeTheirLowerBounds) {
  using shindo::IntensityClass;
  struct Row {
    std::int32_t tenths;
    IntensityClass c;
    const char* label;
    const char* label_ja;
  };
  const Row rows[] = {
      {-10, IntensityClass::c0, "0", "0"},       {4, IntensityClass::c0, "0", "0"},
      {5, IntensityClass::c1, "1", "1"},         {14, IntensityClass::c1, "1", "1"},
      {15, IntensityClass::c2, "2", "2"},        {25, IntensityClass::c3, "3", "3"},
      {35, IntensityClass::c4, "4", "4"},        {44, IntensityClass::c4, "4", "4"},
      {45, IntensityClass::c5_lower, "5-", "5弱"}, {49, IntensityClass::c5_lower, "5-", "5弱"},
      {50, IntensityClass::c5_upper, "5+", "5強"}, {55, IntensityClass::c6_lower, "6-", "6弱"},
      {60, IntensityClass::c6_upper, "6+", "6強"}, {64, IntensityClass::c6_upper, "6+", "6強"},
      {65, IntensityClass::c7, "7", "7"},        {90, IntensityClass::c7, "7", "7"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(shindo::intensity_class(row.tenths), row.c) << row.tenths;
    EXPECT_EQ(shindo::class_label(row.c), row.label);
    EXPECT_EQ(shindo::class_label_ja(row.c), row.label_ja);
  }
  EXPECT_EQ(shindo::intensity_class(shindo::reported_tenths(5.1538f)), IntensityClass::c5_upper);
}

TEST(CoreMath, ConditionsAreFaultsAndValuesAreTheLibrarys) {
  struct Row {
    const char* name;
    shindo::core::MathValue value;
    double expected;
    Fault fault;
  };
  const Row rows[] = {
      {"sqrt_of_negative", shindo::core::checked_sqrt(-1.0), 0.0, Fault::sqrt_domain},
      {"sqrt", shindo::core::checked_sqrt(2.25), 1.5, Fault::none},
      {"log10_of_zero", shindo::core::checked_log10(0.0), 0.0, Fault::log10_singularity},
      {"log10_of_negative_zero", shindo::core::checked_log10(-0.0), 0.0, Fault::log10_singularity},
      {"log10_of_negative", shindo::core::checked_log10(-2.0), 0.0, Fault::log10_domain},
      {"log10", shindo::core::checked_log10(1000.0), 3.0, Fault::none},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.value.fault, row.fault) << row.name;
    EXPECT_EQ(row.value.value, row.expected) << row.name;
  }
  // Underflow is silent.
  EXPECT_EQ(shindo::core::exponential(-1000.0), 0.0);
  const shindo::core::ComplexFloat w = shindo::core::unit_exponential(3.1415927f / 2.0f);
  EXPECT_EQ(w.re, -4.371139e-08f);
  EXPECT_EQ(w.im, 1.0f);
}

}  // namespace

namespace {

TEST(PeakVector, IsTheLargestLengthOfTheThreeComponents) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::vector<float> a1, a2, a3;
    float peak;
  } cases[] = {
      {{3.0f, 0.0f}, {4.0f, -1.0f}, {0.0f, 1.0f}, 5.0f},
      {{}, {}, {}, 0.0f},
      {{-2.0f}, {-3.0f}, {-6.0f}, 7.0f},
      {{nan, 1.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}, 1.0f},
      {{3e38f}, {3e38f}, {0.0f}, static_cast<float>(std::sqrt(2.0) * 3e38)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shindo::peak_vector({c.a1, c.a2, c.a3}), c.peak) << c.peak;
  }
}

TEST(DescribeFault, NamesTheFaultAndItsStage) {
  EXPECT_EQ(shindo::describe_fault(shindo::Fault::log10_singularity, shindo::Stage::intensity),
            "log10 of 0: no level lasts more than 0.299 s (intensity)");
  EXPECT_EQ(shindo::describe_fault(shindo::Fault::divide_by_zero, shindo::Stage::spectrum),
            std::string(shindo::fault_text(shindo::Fault::divide_by_zero)) + " (spectrum)");
}

}  // namespace
