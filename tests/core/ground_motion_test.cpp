// compute_ground_motion through its public header: the faults refused, the
// caller's floating-point environment kept, peaks and velocities against
// closed forms, the high-pass gain, the SI value against a fine period grid,
// the long-period class, records at two sampling rates and the recorded
// earthquakes.
#include "shindo/ground_motion.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "reference_oscillator.h"

namespace {

using shindo::GroundMotion;
using shindo::GroundMotionFault;
using shindo::GroundMotionSettings;

constexpr double kPi = std::numbers::pi;

// Three components and an interval, owned.
struct Samples {
  std::vector<float> acc1, acc2, acc3;
  float dt = 0.01f;
  shindo::Record record() const { return {acc1, acc2, acc3, dt}; }
};

// Each component a function of time, n samples at dt.
Samples sampled(float dt, std::size_t n, auto&& f1, auto&& f2, auto&& f3) {
  Samples s;
  s.dt = dt;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * static_cast<double>(dt);
    s.acc1.push_back(static_cast<float>(f1(t)));
    s.acc2.push_back(static_cast<float>(f2(t)));
    s.acc3.push_back(static_cast<float>(f3(t)));
  }
  return s;
}

// A broadband shaking under a smooth envelope: each horizontal component a
// few sines from 0.2 to 5 Hz.
Samples shaking(float dt, double seconds) {
  const auto n = static_cast<std::size_t>(std::lround(seconds / dt));
  const auto envelope = [](double t) { return std::exp(-std::pow((t - 25.0) / 9.0, 2)); };
  return sampled(
      dt, n,
      [&](double t) { return envelope(t) * (120 * std::sin(1.3 * t) + 90 * std::sin(7.7 * t + 0.4) + 40 * std::sin(25.0 * t)); },
      [&](double t) { return envelope(t) * (70 * std::cos(2.9 * t) + 110 * std::sin(15.1 * t + 1.0) + 30 * std::sin(31.0 * t)); },
      [&](double t) { return envelope(t) * 50 * std::sin(31.0 * t); });
}

GroundMotionSettings with_periods(std::span<const double> periods, double damping = shindo::kDefaultDamping) {
  GroundMotionSettings s;
  s.damping = damping;
  s.periods = periods;
  return s;
}

TEST(GroundMotion, RefusesBadRecordsAndSettingsWithASentence) {
  const Samples good = shaking(0.01f, 10.0);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const std::vector<float> shorter(good.acc1.begin(), good.acc1.end() - 1);
  std::vector<float> with_nan = good.acc2, with_inf = good.acc3;
  with_nan[17] = nan;
  with_inf[3] = -inf;
  const double no_periods[] = {1.0};
  const double negative[] = {1.0, -0.5}, zero[] = {0.0}, too_long[] = {2e6}, not_finite[] = {0.3, std::nan("")};
  const double infinite[] = {std::numeric_limits<double>::infinity()};
  struct Case {
    const char* what;
    shindo::Record record;
    GroundMotionSettings settings;
    GroundMotionFault fault;
  };
  const shindo::Record r = good.record();
  const Case cases[] = {
      {"components of different lengths", {good.acc1, shorter, good.acc3, 0.01f}, {}, GroundMotionFault::length_mismatch},
      {"a NaN sample", {good.acc1, with_nan, good.acc3, 0.01f}, {}, GroundMotionFault::not_finite},
      {"an infinite sample", {good.acc1, good.acc2, with_inf, 0.01f}, {}, GroundMotionFault::not_finite},
      {"an infinite interval", {good.acc1, good.acc2, good.acc3, inf}, {}, GroundMotionFault::not_finite},
      {"interval 0", {good.acc1, good.acc2, good.acc3, 0.0f}, {}, GroundMotionFault::interval_not_positive},
      {"negative interval", {good.acc1, good.acc2, good.acc3, -0.01f}, {}, GroundMotionFault::interval_not_positive},
      {"damping 0", r, {.damping = 0.0}, GroundMotionFault::damping_out_of_range},
      {"damping 1", r, {.damping = 1.0}, GroundMotionFault::damping_out_of_range},
      {"damping NaN", r, {.damping = std::nan("")}, GroundMotionFault::damping_out_of_range},
      {"an empty period list", r, with_periods(std::span(no_periods).first(0)), GroundMotionFault::no_periods},
      {"a negative period", r, with_periods(negative), GroundMotionFault::period_out_of_range},
      {"a period of 0", r, with_periods(zero), GroundMotionFault::period_out_of_range},
      {"a period of 2e6 s", r, with_periods(too_long), GroundMotionFault::period_out_of_range},
      {"a NaN period", r, with_periods(not_finite), GroundMotionFault::period_not_finite},
      {"an infinite period", r, with_periods(infinite), GroundMotionFault::period_not_finite},
      {"a negative corner", r, {.highpass_hz = -0.1}, GroundMotionFault::highpass_not_finite},
      {"a NaN corner", r, {.highpass_hz = std::nan("")}, GroundMotionFault::highpass_not_finite},
      {"a corner at Nyquist", r, {.highpass_hz = 0.5 / double{0.01f}}, GroundMotionFault::highpass_above_nyquist},
      {"a corner above Nyquist", r, {.highpass_hz = 80.0}, GroundMotionFault::highpass_above_nyquist},
      {"a corner of 1e-6 Hz", r, {.highpass_hz = 1e-6}, GroundMotionFault::highpass_too_low},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GroundMotion g = shindo::compute_ground_motion(c.record, c.settings);
    EXPECT_EQ(g.fault, c.fault);
    EXPECT_TRUE(g.periods.empty() && g.velocity[0].empty() && g.pga[0] == 0.0);
    EXPECT_GT(shindo::ground_motion_fault_text(c.fault).size(), 20u);
    EXPECT_NE(shindo::ground_motion_fault_text(c.fault), shindo::ground_motion_fault_text(GroundMotionFault::none));
  }
  // Just below Nyquist, one period, and the record as given are accepted.
  EXPECT_EQ(shindo::compute_ground_motion(r, {.highpass_hz = 49.99}).fault, GroundMotionFault::none);
  EXPECT_EQ(shindo::compute_ground_motion(r, with_periods(no_periods)).fault, GroundMotionFault::none);
  EXPECT_EQ(shindo::compute_ground_motion(r, {.highpass_hz = 0.0}).fault, GroundMotionFault::none);
}

// Every value but the spectra, as bit patterns.
std::vector<std::uint64_t> bits_but_spectra(const GroundMotion& g) {
  std::vector<double> values = {g.dt, g.damping, g.highpass_hz, g.pga_horizontal, g.pga_vector, g.pgv_horizontal,
                                g.si_max, g.lp_sva, g.lp_period, static_cast<double>(g.lp_class),
                                static_cast<double>(g.lead_samples)};
  for (const auto* pair : {&g.si, &g.sva_max, &g.sva_period}) values.insert(values.end(), pair->begin(), pair->end());
  values.insert(values.end(), g.pga.begin(), g.pga.end());
  values.insert(values.end(), g.pgv.begin(), g.pgv.end());
  for (const std::vector<double>& velocity : g.velocity) values.insert(values.end(), velocity.begin(), velocity.end());
  for (const shindo::LongPeriodStep& step : g.lp_steps) {
    values.insert(values.end(), {step.period, step.sva[0], step.sva[1], static_cast<double>(step.lp_class)});
  }
  std::vector<std::uint64_t> bits(values.size());
  std::memcpy(bits.data(), values.data(), values.size() * sizeof(double));
  return bits;
}

// Without the spectra the result has none, and every other value (or the
// fault) is the one computed with them.
TEST(GroundMotion, WithoutSpectraTheOtherValuesKeepTheirBits) {
  const Samples long_shaking = shaking(0.01f, 60.0);
  const auto quiet = [](double) { return 0.0; };
  const double mine[] = {0.3, 2.0, 2.0, 7.8};
  struct Case {
    const char* what;
    Samples samples;
    GroundMotionSettings settings;
    std::size_t periods;  // with the spectra
    GroundMotionFault fault = GroundMotionFault::none;
  };
  const Case cases[] = {
      {"defaults", long_shaking, {}, 61},
      {"the SI value's damping", long_shaking, {.damping = 0.2}, 61},
      {"another damping and corner", long_shaking, {.damping = 0.02, .highpass_hz = 0.05}, 61},
      {"the record as given", long_shaking, {.highpass_hz = 0.0}, 61},
      {"periods of the caller's, one twice", long_shaking, with_periods(mine), 4},
      {"no sample", sampled(0.01f, 0, quiet, quiet, quiet), {}, 61},
      {"one sample", sampled(0.01f, 1, [](double) { return 3.0; }, quiet, quiet), {}, 61},
      {"three samples", sampled(0.01f, 3, [](double t) { return 1.0 + t; }, quiet, [](double) { return -2.0; }), {}, 61},
      {"a damping refused", long_shaking, {.damping = 1.0}, 0, GroundMotionFault::damping_out_of_range},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GroundMotionSettings without = c.settings;
    without.spectra = false;
    const GroundMotion on = shindo::compute_ground_motion(c.samples.record(), c.settings);
    const GroundMotion off = shindo::compute_ground_motion(c.samples.record(), without);
    EXPECT_EQ(on.fault, c.fault);
    EXPECT_EQ(off.fault, c.fault);
    EXPECT_EQ(on.periods.size(), c.periods);
    EXPECT_TRUE(off.periods.empty());
    for (int h = 0; h < 2; ++h) {
      EXPECT_EQ(on.spectra[h].psa.size(), c.periods);
      for (const auto* curve : {&off.spectra[h].psa, &off.spectra[h].sd, &off.spectra[h].sv, &off.spectra[h].sa,
                                &off.spectra[h].sva}) {
        EXPECT_TRUE(curve->empty());
      }
    }
    EXPECT_EQ(bits_but_spectra(on), bits_but_spectra(off));
  }
}

// The caller's rounding mode and raised flags come back unchanged, and the
// values do not depend on them.
TEST(GroundMotion, LeavesTheCallersFloatingPointEnvironmentAsItWas) {
  const Samples s = shaking(0.01f, 30.0);
  const GroundMotion plain = shindo::compute_ground_motion(s.record());
  std::fenv_t saved;
  std::fegetenv(&saved);
  std::fesetround(FE_UPWARD);
  std::feclearexcept(FE_ALL_EXCEPT);
  std::feraiseexcept(FE_DIVBYZERO);
  const GroundMotion upward = shindo::compute_ground_motion(s.record());
  const int rounding = std::fegetround();
  const int flags = std::fetestexcept(FE_ALL_EXCEPT);
  std::fesetenv(&saved);
  EXPECT_EQ(rounding, FE_UPWARD);
  EXPECT_EQ(flags, FE_DIVBYZERO);
  EXPECT_EQ(upward.spectra[0].psa, plain.spectra[0].psa);
  EXPECT_EQ(upward.velocity[1], plain.velocity[1]);
  EXPECT_EQ(upward.si, plain.si);
}

// The worked example of the header: a 1 Hz sine of 100 gal on the first
// component, the record as given. From rest its trapezoidal velocity swings
// from 0 to A dt cot(W dt / 2) (31.8205 cm/s).
TEST(GroundMotion, PeaksOfAHarmonicMotionFollowTheirClosedForms) {
  const double A = 100.0, W = 2.0 * kPi;
  const Samples s = sampled(0.01f, 2000, [&](double t) { return A * std::sin(W * t); }, [](double) { return 0.0; },
                            [](double) { return 0.0; });
  const double periods[] = {0.05, 1.0};
  GroundMotionSettings settings = with_periods(periods);
  settings.highpass_hz = 0.0;
  const GroundMotion g = shindo::compute_ground_motion(s.record(), settings);
  ASSERT_EQ(g.fault, GroundMotionFault::none);
  EXPECT_NEAR(g.pga[0], 100.0, 1e-5);
  EXPECT_EQ(g.pga_horizontal, g.pga[0]);
  EXPECT_EQ(g.pga_vector, g.pga[0]);
  const double dt = s.dt;
  EXPECT_NEAR(g.pgv[0], A * dt / std::tan(W * dt / 2.0), 1e-6 * g.pgv[0]);
  EXPECT_EQ(g.pgv[1], 0.0);
  EXPECT_EQ(g.lead_samples, 0);
  EXPECT_EQ(g.velocity[0].size(), 2000u);
  // The steady response at resonance, A / (2 h), after 20 cycles (within
  // e^(-2 pi h 20) = 0.2 %); at 0.05 s the oscillator follows the ground.
  EXPECT_NEAR(g.spectra[0].psa[1], A / (2.0 * 0.05), 0.005 * A / 0.1);
  EXPECT_NEAR(g.spectra[0].psa[0], A, 0.02 * A);
}

// The vector peaks take the components at the same sample; an empty record
// gives zeros.
TEST(GroundMotion, VectorPeaksCombineTheComponentsSampleBySample) {
  struct Case {
    std::vector<float> a1, a2, a3;
    double pga1, pga2, pga3, horizontal, vector;
  };
  const Case cases[] = {
      {{3, 0}, {-4, 0}, {12, 0}, 3, 4, 12, 5, 13},
      {{-3, 6}, {4, 0}, {0, 1}, 6, 4, 1, 6, std::sqrt(37.0)},
      {{1, -2, 2}, {2, 1, -2}, {2, 2, 1}, 2, 2, 2, std::sqrt(8.0), 3},
      {{}, {}, {}, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const GroundMotion g = shindo::compute_ground_motion({c.a1, c.a2, c.a3, 0.01f});
    ASSERT_EQ(g.fault, GroundMotionFault::none);
    EXPECT_EQ(g.pga, (std::array<double, 3>{c.pga1, c.pga2, c.pga3}));
    EXPECT_DOUBLE_EQ(g.pga_horizontal, c.horizontal);
    EXPECT_DOUBLE_EQ(g.pga_vector, c.vector);
  }
}

// The zero-phase high-pass, seen through the velocity of a long sine (20
// cycles between cosine ramps of 3 cycles at each end): its peak is the sine's A / W times the gain
// 1 / (1 + (tan(pi fc dt) / tan(pi f dt))^8), to 1 % of A / W.
TEST(GroundMotion, VelocityCarriesTheHighPassGain) {
  struct Case {
    double f, fc;
  };
  for (const Case c : {Case{0.05, 0.1}, Case{0.1, 0.1}, Case{0.2, 0.1}, Case{1.0, 0.1}, Case{0.05, 0.05}, Case{0.5, 1.0}}) {
    SCOPED_TRACE(testing::Message() << "f " << c.f << " fc " << c.fc);
    const float dt = 0.05f;
    const double rise = 3.0 / c.f, seconds = 20.0 / c.f + 2.0 * rise, A = 50.0, W = 2.0 * kPi * c.f;
    const auto ramp = [&](double t) {
      const double edge = std::min({t / rise, (seconds - t) / rise, 1.0});
      return 0.5 - 0.5 * std::cos(kPi * std::max(edge, 0.0));
    };
    const Samples s = sampled(dt, static_cast<std::size_t>(seconds / dt), [&](double t) { return ramp(t) * A * std::sin(W * t); },
                              [](double) { return 0.0; }, [](double) { return 0.0; });
    const GroundMotion g = shindo::compute_ground_motion(s.record(), {.highpass_hz = c.fc});
    ASSERT_EQ(g.fault, GroundMotionFault::none);
    const double ratio = std::tan(kPi * c.fc * dt) / std::tan(kPi * c.f * dt);
    const double gain = 1.0 / (1.0 + std::pow(ratio, 8));
    EXPECT_NEAR(g.pgv[0], gain * A / W, 0.01 * A / W);
  }
}

// psa is w^2 sd at every period; a spectrum's values are those of its
// oscillators whatever else is asked (the class's periods are among the
// default ones, and the class keeps 5 % when the spectra take another
// damping).
TEST(GroundMotion, SpectraAndClassShareTheirOscillators) {
  const Samples s = shaking(0.01f, 60.0);
  const GroundMotion g = shindo::compute_ground_motion(s.record());
  ASSERT_EQ(g.fault, GroundMotionFault::none);
  ASSERT_EQ(g.periods.size(), shindo::default_periods().size());
  for (int c = 0; c < 2; ++c) {
    for (std::size_t p = 0; p < g.periods.size(); ++p) {
      const double w = 2.0 * kPi / g.periods[p];
      EXPECT_DOUBLE_EQ(g.spectra[c].psa[p], w * w * g.spectra[c].sd[p]);
    }
    for (const shindo::LongPeriodStep& step : g.lp_steps) {
      const auto at = std::find(g.periods.begin(), g.periods.end(), step.period);
      ASSERT_NE(at, g.periods.end());
      EXPECT_EQ(step.sva[c], g.spectra[c].sva[at - g.periods.begin()]);
    }
  }
  for (const shindo::LongPeriodStep& step : g.lp_steps) {
    EXPECT_EQ(step.lp_class, shindo::long_period_class(std::max(step.sva[0], step.sva[1])));
  }
  const GroundMotion other = shindo::compute_ground_motion(s.record(), {.damping = 0.1});
  EXPECT_EQ(other.lp_sva, g.lp_sva);
  EXPECT_EQ(other.si, g.si);
  EXPECT_LT(other.spectra[0].psa[20], g.spectra[0].psa[20]);
}

TEST(LongPeriodClass, FromTheAbsoluteVelocityResponse) {
  struct Case {
    double sva;
    std::int32_t lp_class;
  };
  const Case cases[] = {{0.0, 0},  {4.999, 0}, {5.0, 1},   {14.99, 1},  {15.0, 2},
                        {49.99, 2}, {50.0, 3},  {99.999, 3}, {100.0, 4}, {1e4, 4}};
  for (const Case& c : cases) EXPECT_EQ(shindo::long_period_class(c.sva), c.lp_class) << c.sva;
}

// The long-period class of a record: a 3 s sine on the second component of
// 20 gal, rising over 30 s and falling over the last 30 s; sva at 5 % peaks
// at 3 s, near the steady absolute velocity at resonance,
// sqrt(1 + 4 h^2) A / (2 h W), and the class follows from it.
TEST(LongPeriodClass, OfAHarmonicMotionLiesAtItsPeriod) {
  const double W = 2.0 * kPi / 3.0;
  const Samples s = sampled(0.01f, 24000, [](double) { return 0.0; },
                            [&](double t) { return 20.0 * std::sin(W * t) * std::min({t / 30.0, (240.0 - t) / 30.0, 1.0}); },
                            [](double) { return 0.0; });
  const GroundMotion g = shindo::compute_ground_motion(s.record(), {.highpass_hz = 0.05});
  ASSERT_EQ(g.fault, GroundMotionFault::none);
  EXPECT_EQ(g.sva_period[1], 3.0);
  EXPECT_EQ(g.lp_period, 3.0);
  EXPECT_EQ(g.lp_sva, g.sva_max[1]);
  EXPECT_GT(g.sva_max[1], 10 * g.sva_max[0]);
  EXPECT_NEAR(g.lp_sva, std::sqrt(1.01) * 20.0 / (2.0 * 0.05 * W), 0.02 * g.lp_sva);
  EXPECT_EQ(g.lp_class, 3);
}

// The SI value against the trapezoid over 241 periods 0.01 s apart: the 0.1 s
// step of the 25 periods is within 0.5 % of it.
void expect_si_near_fine_integral(const shindo::Record& record) {
  std::vector<double> fine;
  for (int i = 10; i <= 250; ++i) fine.push_back(i / 100.0);
  const GroundMotion g = shindo::compute_ground_motion(record);
  const GroundMotion f = shindo::compute_ground_motion(record, with_periods(fine, shindo::kSiDamping));
  ASSERT_EQ(g.fault, GroundMotionFault::none);
  for (int c = 0; c < 2; ++c) {
    double integral = 0.0;
    for (std::size_t p = 1; p < fine.size(); ++p) integral += 0.005 * (f.spectra[c].sv[p - 1] + f.spectra[c].sv[p]);
    EXPECT_NEAR(g.si[c], integral / 2.4, 0.005 * g.si[c]) << "component " << c;
  }
  EXPECT_EQ(g.si_max, std::max(g.si[0], g.si[1]));
}

TEST(SiValue, AgreesWithTheIntegralOverAFinePeriodGrid) { expect_si_near_fine_integral(shaking(0.01f, 60.0).record()); }

// The same shaking sampled at 100 and 200 Hz gives the same values within the
// difference of its two piecewise-linear forms and of the instants where the
// peaks are read: for its 5 Hz content at 100 Hz, chords short by
// (W dt)^2 / 12 = 0.8 % and peaks read 20 times a cycle, short by up to
// 1 - cos(pi / 20) = 1.2 %.
TEST(GroundMotion, OneShakingAtTwoSamplingRates) {
  const Samples at100 = shaking(0.01f, 60.0), at200 = shaking(0.005f, 60.0);
  const GroundMotion g = shindo::compute_ground_motion(at100.record());
  const GroundMotion h = shindo::compute_ground_motion(at200.record());
  ASSERT_EQ(h.fault, GroundMotionFault::none);
  EXPECT_EQ(h.lead_samples, 6001);
  for (int c = 0; c < 2; ++c) {
    EXPECT_NEAR(g.pgv[c], h.pgv[c], 0.002 * h.pgv[c]);
    EXPECT_NEAR(g.si[c], h.si[c], 0.002 * h.si[c]);
    EXPECT_NEAR(g.sva_max[c], h.sva_max[c], 0.002 * h.sva_max[c]);
    for (std::size_t p = 0; p < g.periods.size(); ++p) {
      EXPECT_NEAR(g.spectra[c].psa[p], h.spectra[c].psa[p], 0.02 * h.spectra[c].psa[p]) << g.periods[p];
    }
  }
}

// On the recorded earthquakes, when present: every value computed, psa = w^2
// sd, and the SI value against the fine period grid.
TEST(GroundMotion, RecordedEarthquakes) {
  const auto records = shindo::testing::real_records();
  if (records.empty()) GTEST_SKIP() << "no recorded earthquakes in ../shared/data/real/converted";
  for (const auto& r : records) {
    SCOPED_TRACE(r.name);
    const shindo::Record record{r.acc1, r.acc2, r.acc3, r.dt};
    const GroundMotion g = shindo::compute_ground_motion(record);
    ASSERT_EQ(g.fault, GroundMotionFault::none);
    EXPECT_GE(g.pga_vector, g.pga_horizontal);
    EXPECT_GE(g.pgv_horizontal, std::max(g.pgv[0], g.pgv[1]));
    expect_si_near_fine_integral(record);
  }
}

}  // namespace
