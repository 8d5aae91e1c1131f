// The oscillators against second routes: the closed-form step of Nigam and
// Jennings, the closed forms of a harmonic ground motion and of a half-sine
// pulse, and a fine Runge-Kutta integration of synthetic and recorded motion.
#include "core/oscillator.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/fft_kernels.h"
#include "core/ground_velocity.h"
#include "reference_oscillator.h"

namespace {

using shindo::core::Oscillator;
using shindo::core::OscillatorPeaks;
using shindo::testing::State;

// The step's coefficients in the closed form of Nigam and Jennings.
shindo::core::StepCoefficients closed_form_step(double period, double h, double dt) {
  const double w = shindo::testing::omega(period);
  const double r = std::sqrt(1.0 - h * h), wd = w * r;
  const double E = std::exp(-h * w * dt), S = std::sin(wd * dt), C = std::cos(wd * dt);
  const double f1 = (2.0 * h * h - 1.0) / (w * w * dt), f2 = 2.0 * h / (w * w * w * dt);
  shindo::core::StepCoefficients k;
  k.a11 = E * (h / r * S + C);
  k.a12 = E * S / wd;
  k.a21 = -w / r * E * S;
  k.a22 = E * (C - h / r * S);
  k.b11 = E * ((f1 + h / w) * S / wd + (f2 + 1.0 / (w * w)) * C) - f2;
  k.b12 = -E * (f1 * S / wd + f2 * C) - 1.0 / (w * w) + f2;
  k.b21 = E * ((f1 + h / w) * (C - h / r * S) - (f2 + 1.0 / (w * w)) * (wd * S + h * w * C)) + 1.0 / (w * w * dt);
  k.b22 = -E * (f1 * (C - h / r * S) - f2 * (wd * S + h * w * C)) - 1.0 / (w * w * dt);
  return k;
}

// Where the closed form keeps its digits (w dt from 0.03 to 60), both agree to
// a few parts in 10^11 of the largest coefficient of their row.
TEST(StepCoefficients, AgreeWithTheClosedFormOfNigamAndJennings) {
  struct Case {
    double period, h, dt;
  };
  const Case cases[] = {{0.05, 0.05, 0.01}, {0.02, 0.05, 0.01},  {0.001, 0.05, 0.01}, {1.0, 0.05, 0.01},
                        {2.0, 0.20, 0.005}, {0.3, 0.70, 0.01},   {0.1, 0.99, 0.02},  {0.01, 0.02, 0.01}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "T " << c.period << " h " << c.h << " dt " << c.dt);
    const auto mine = shindo::core::step_coefficients(c.period, c.h, c.dt);
    const auto theirs = closed_form_step(c.period, c.h, c.dt);
    const double row1 = std::max({std::fabs(theirs.a11), std::fabs(theirs.b11), std::fabs(theirs.b12)});
    const double xs = std::fabs(theirs.a12), row2 = std::max({std::fabs(theirs.a22), std::fabs(theirs.b21), std::fabs(theirs.b22)});
    EXPECT_NEAR(mine.a11, theirs.a11, 1e-11 * row1);
    EXPECT_NEAR(mine.b11, theirs.b11, 1e-11 * row1);
    EXPECT_NEAR(mine.b12, theirs.b12, 1e-11 * row1);
    EXPECT_NEAR(mine.a12, theirs.a12, 1e-11 * xs);
    EXPECT_NEAR(mine.a21, theirs.a21, 1e-11 * std::fabs(theirs.a21));
    EXPECT_NEAR(mine.a22, theirs.a22, 1e-11 * std::max(row2, 1e-300));
    EXPECT_NEAR(mine.b21, theirs.b21, 1e-11 * row2);
    EXPECT_NEAR(mine.b22, theirs.b22, 1e-11 * row2);
  }
}

// Where w dt is small the closed form cancels its digits away (at 1e5 s and
// dt 0.01 it keeps none); the exponential keeps them. One step from rest, to
// first order in w dt (the next term is (w dt)^2, below 4e-7 here):
// a ramp from 0 to 1 gal gives x = -dt^2/6 (1 - h w dt/2) and
// v = -dt/2 (1 - 2 h w dt/3); a constant 1 gal gives x = -dt^2/2 (1 - 2 h w dt/3).
TEST(StepCoefficients, KeepTheirDigitsAtPeriodsFarLongerThanTheInterval) {
  const double dt = 0.01, h = 0.05;
  for (const double period : {100.0, 1000.0, 1e5}) {
    SCOPED_TRACE(period);
    const double hwdt = h * shindo::testing::omega(period) * dt;
    const auto k = shindo::core::step_coefficients(period, h, dt);
    EXPECT_NEAR(k.b12, -dt * dt / 6.0 * (1.0 - hwdt / 2.0), 1e-6 * dt * dt);
    EXPECT_NEAR(k.b22, -dt / 2.0 * (1.0 - 2.0 * hwdt / 3.0), 1e-6 * dt);
    EXPECT_NEAR(k.b11 + k.b12, -dt * dt / 2.0 * (1.0 - 2.0 * hwdt / 3.0), 1e-6 * dt * dt);
  }
}

std::vector<double> sampled(double dt, std::size_t n, auto&& f) {
  std::vector<double> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = f(static_cast<double>(i) * dt);
  return out;
}

OscillatorPeaks one_oscillator(const std::vector<double>& acc, double dt, double period, double h) {
  const std::vector<double> vg = shindo::core::trapezoidal_integral(acc, dt);
  const Oscillator o{period, h};
  return shindo::core::oscillator_peaks(acc, vg, dt, std::span(&o, 1)).front();
}

void expect_peaks_near(const OscillatorPeaks& got, const OscillatorPeaks& want, double relative) {
  EXPECT_NEAR(got.sd, want.sd, relative * want.sd);
  EXPECT_NEAR(got.sv, want.sv, relative * want.sv);
  EXPECT_NEAR(got.sa, want.sa, relative * want.sa);
  EXPECT_NEAR(got.sva, want.sva, relative * want.sva);
}

// A harmonic ground motion of 100 gal for 30 s, sampled at 500 Hz, against
// the exact response to the sine at the same instants: they differ only by
// the sine against its chords, of the order of (W dt)^2 / 12 of the amplitude
// (the tolerance is three times that). At resonance after 30 s the displacement is that of the steady
// state, A / (2 h w^2), to 1e-4.
TEST(Oscillator, HarmonicGroundMotionAtAndOffResonance) {
  const double A = 100.0, dt = 0.002, period = 1.0;
  struct Case {
    double frequency_ratio, h;
  };
  const Case cases[] = {{1.0, 0.05}, {1.0, 0.20}, {0.5, 0.05}, {2.0, 0.05}, {3.7, 0.02}, {0.13, 0.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "W/w " << c.frequency_ratio << " h " << c.h);
    const double W = c.frequency_ratio * shindo::testing::omega(period);
    const std::size_t n = 15001;
    const auto acc = sampled(dt, n, [&](double t) { return A * std::sin(W * t); });
    std::vector<State> exact(n);
    for (std::size_t i = 0; i < n; ++i) exact[i] = shindo::testing::harmonic_from_rest(A, W, period, c.h, i * dt);
    const OscillatorPeaks got = one_oscillator(acc, dt, period, c.h);
    expect_peaks_near(got, shindo::testing::peaks_of(exact, period, c.h), (W * dt) * (W * dt) / 4.0);
    if (c.frequency_ratio == 1.0) {
      const double w = shindo::testing::omega(period);
      EXPECT_NEAR(got.sd, A / (2.0 * c.h * w * w), 1e-4 * got.sd);
    }
  }
}

// A half-sine pulse of 150 gal lasting td, then rest: during the pulse the
// harmonic response from rest, after it the free vibration.
TEST(Oscillator, HalfSinePulse) {
  const double A = 150.0, dt = 0.001;
  struct Case {
    double td, period, h;
  };
  const Case cases[] = {{0.5, 1.0, 0.05}, {0.5, 0.25, 0.05}, {0.2, 2.0, 0.10}, {1.0, 0.5, 0.02}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "td " << c.td << " T " << c.period << " h " << c.h);
    const double W = std::numbers::pi / c.td;
    const auto pulse_end = static_cast<std::size_t>(std::lround(c.td / dt));
    const std::size_t n = pulse_end + static_cast<std::size_t>(std::lround(4.0 * c.period / dt));
    const auto acc = sampled(dt, n, [&](double t) { return t < c.td ? A * std::sin(W * t) : 0.0; });
    const State at_end = shindo::testing::harmonic_from_rest(A, W, c.period, c.h, c.td);
    std::vector<State> exact(n);
    for (std::size_t i = 0; i < n; ++i) {
      exact[i] = i <= pulse_end ? shindo::testing::harmonic_from_rest(A, W, c.period, c.h, i * dt)
                                : shindo::testing::free_vibration(at_end, c.period, c.h, (i - pulse_end) * dt);
    }
    expect_peaks_near(one_oscillator(acc, dt, c.period, c.h), shindo::testing::peaks_of(exact, c.period, c.h), 1e-4);
  }
}

// A broadband motion (a sum of sines from 0.3 to 20 Hz under a smooth
// envelope) against Runge-Kutta at 40 steps an interval: every peak of every
// oscillator to 1e-6.
TEST(Oscillator, BroadbandMotionAgreesWithFineRungeKutta) {
  const double dt = 0.01;
  const auto acc = sampled(dt, 4000, [](double t) {
    const double envelope = std::exp(-std::pow((t - 15.0) / 6.0, 2));
    return envelope * (80.0 * std::sin(2.1 * t) + 120.0 * std::sin(9.7 * t + 0.3) + 60.0 * std::sin(31.0 * t + 1.1) +
                       25.0 * std::sin(125.0 * t + 2.0));
  });
  const std::vector<double> vg = shindo::core::trapezoidal_integral(acc, dt);
  std::vector<Oscillator> oscillators;
  for (const double period : {0.05, 0.1, 0.3, 1.0, 3.0, 7.8, 10.0}) {
    for (const double h : {0.02, 0.05, 0.2}) oscillators.push_back({period, h});
  }
  const std::vector<OscillatorPeaks> got = shindo::core::oscillator_peaks(acc, vg, dt, oscillators);
  for (std::size_t i = 0; i < oscillators.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "T " << oscillators[i].period << " h " << oscillators[i].damping);
    const auto states = shindo::testing::runge_kutta(acc, dt, oscillators[i].period, oscillators[i].damping, 40);
    expect_peaks_near(got[i], shindo::testing::peaks_of(states, oscillators[i].period, oscillators[i].damping), 1e-6);
  }
}

// Every instruction set the processor has gives the bits of SSE2, also for a
// last group smaller than the lanes of the path (13 and 19 oscillators).
TEST(Oscillator, EveryInstructionSetGivesTheBitsOfSse2) {
  using shindo::core::ButterflyKernel;
  const double dt = 0.005;
  const auto acc = sampled(dt, 3000, [](double t) { return 50.0 * std::sin(7.0 * t) * std::exp(-0.2 * t) + 3.0 * std::cos(40.0 * t); });
  const std::vector<double> vg = shindo::core::trapezoidal_integral(acc, dt);
  const struct {
    ButterflyKernel kernel;
    bool available;
  } kernels[] = {{ButterflyKernel::Avx, shindo::core::avx_available()},
                 {ButterflyKernel::Avx512, shindo::core::avx512_available()}};
  for (const int count : {13, 19}) {
    std::vector<Oscillator> oscillators;
    for (int i = 1; i <= count; ++i) oscillators.push_back({0.07 * i, 0.01 * i});
    const auto sse2 = shindo::core::oscillator_peaks(acc, vg, dt, oscillators, ButterflyKernel::Sse2);
    for (const auto& k : kernels) {
      if (!k.available) continue;
      const auto got = shindo::core::oscillator_peaks(acc, vg, dt, oscillators, k.kernel);
      ASSERT_EQ(got.size(), sse2.size());
      EXPECT_EQ(std::memcmp(got.data(), sse2.data(), got.size() * sizeof(OscillatorPeaks)), 0)
          << static_cast<int>(k.kernel) << ", " << count << " oscillators";
    }
  }
}

// The lanes of many oscillators, computed once and run over two components:
// each oscillator's peaks are those it has when run alone, whatever its
// group and lane, on every instruction set, and the same when the ground
// velocity is summed on the way instead of read.
TEST(Oscillator, LanesComputedOnceGiveEachOscillatorItsBitsAlone) {
  using shindo::core::ButterflyKernel;
  const double dt = 0.01;
  const std::vector<double> components[] = {
      sampled(dt, 1500, [](double t) { return 80.0 * std::sin(5.0 * t) * std::exp(-0.3 * t); }),
      sampled(dt, 1500, [](double t) { return 20.0 * std::cos(13.0 * t) + 9.0 * std::sin(0.7 * t); })};
  std::vector<Oscillator> oscillators;
  for (int i = 1; i <= 19; ++i) oscillators.push_back({0.11 * i, i % 2 == 0 ? 0.05 : 0.2});
  std::vector<ButterflyKernel> kernels = {ButterflyKernel::Portable, ButterflyKernel::Sse2};
  if (shindo::core::avx_available()) kernels.push_back(ButterflyKernel::Avx);
  if (shindo::core::avx512_available()) kernels.push_back(ButterflyKernel::Avx512);
  for (const ButterflyKernel kernel : kernels) {
    const shindo::core::OscillatorLanes lanes = shindo::core::oscillator_lanes(oscillators, dt, kernel);
    EXPECT_EQ(lanes.groups.size(), kernel == ButterflyKernel::Avx512 ? 2u : 3u);
    for (const std::vector<double>& acc : components) {
      const std::vector<double> vg = shindo::core::trapezoidal_integral(acc, dt);
      const std::vector<OscillatorPeaks> together = shindo::core::oscillator_peaks(lanes, acc, vg);
      const std::vector<OscillatorPeaks> integrating = shindo::core::oscillator_peaks(lanes, acc);
      ASSERT_EQ(together.size(), oscillators.size());
      ASSERT_EQ(integrating.size(), oscillators.size());
      EXPECT_EQ(std::memcmp(together.data(), integrating.data(), together.size() * sizeof(OscillatorPeaks)), 0)
          << "kernel " << static_cast<int>(kernel) << ": the ground velocity summed on the way";
      for (std::size_t o = 0; o < oscillators.size(); ++o) {
        const OscillatorPeaks alone =
            shindo::core::oscillator_peaks(acc, vg, dt, std::span(&oscillators[o], 1), kernel).front();
        EXPECT_EQ(std::memcmp(&together[o], &alone, sizeof alone), 0)
            << "kernel " << static_cast<int>(kernel) << ", oscillator " << o;
      }
    }
  }
}

// As the period goes to 0 the oscillator follows the ground: w^2 sd tends to
// the peak acceleration, with a difference of the order of 2 h |a'| / w.
// Below 2 dt (here 0.02 s) nothing else happens.
TEST(Oscillator, PseudoAccelerationTendsToThePeakAccelerationAsThePeriodGoesToZero) {
  const double dt = 0.01;
  const auto acc = sampled(dt, 2000, [](double t) { return 90.0 * std::sin(3.0 * t) + 40.0 * std::sin(11.0 * t + 0.5); });
  double pga = 0.0;
  for (const double a : acc) pga = std::max(pga, std::fabs(a));
  struct Case {
    double period, relative;
  };
  for (const Case c : {Case{0.01, 2e-2}, Case{1e-3, 2e-3}, Case{1e-4, 2e-4}, Case{1e-6, 2e-6}}) {
    SCOPED_TRACE(c.period);
    const double w = shindo::testing::omega(c.period);
    EXPECT_NEAR(w * w * one_oscillator(acc, dt, c.period, 0.05).sd, pga, c.relative * pga);
  }
}

// On the recorded earthquakes, when present: the processed acceleration of
// each horizontal component through oscillators at 0.1, 1 and 5 s against
// Runge-Kutta at 20 steps an interval, to 1e-6.
TEST(Oscillator, RecordedEarthquakesAgreeWithFineRungeKutta) {
  const auto records = shindo::testing::real_records();
  if (records.empty()) GTEST_SKIP() << "no recorded earthquakes in ../shared/data/real/converted";
  for (const auto& record : records) {
    SCOPED_TRACE(record.name);
    const double dt = record.dt;
    const auto lead = static_cast<std::size_t>(shindo::core::lead_samples(0.1, dt));
    std::vector<double> acc;
    const std::vector<double> vg = shindo::core::process_component(record.acc1, dt, 0.1, lead, acc);
    std::vector<Oscillator> oscillators = {{0.1, 0.05}, {1.0, 0.05}, {5.0, 0.05}};
    const auto got = shindo::core::oscillator_peaks(acc, vg, dt, oscillators);
    for (std::size_t i = 0; i < oscillators.size(); ++i) {
      SCOPED_TRACE(oscillators[i].period);
      const auto states = shindo::testing::runge_kutta(acc, dt, oscillators[i].period, 0.05, 20);
      expect_peaks_near(got[i], shindo::testing::peaks_of(states, oscillators[i].period, 0.05), 1e-6);
    }
  }
}

}  // namespace
