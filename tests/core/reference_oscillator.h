// Second routes to an oscillator's response for the tests: the closed forms
// of a harmonic ground motion and of a half-sine pulse from rest, and a fine
// fourth-order Runge-Kutta integration of any record taken as linear between
// samples.
#pragma once

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "core/oscillator.h"

namespace shindo::testing {

// A state of the oscillator: relative displacement (cm), relative velocity
// (cm/s), ground velocity (cm/s).
struct State {
  double x = 0.0, v = 0.0, g = 0.0;
};

inline double omega(double period) { return 2.0 * std::numbers::pi / period; }

// The response at time t to a = A sin(W t) from rest:
// x'' + 2 h w x' + w^2 x = -A sin(W t). The particular part P sin + Q cos
// solves (w^2 - W^2) P - 2 h w W Q = -A, 2 h w W P + (w^2 - W^2) Q = 0; the
// free part takes the state at 0 back to rest.
inline State harmonic_from_rest(double A, double W, double period, double h, double t) {
  const double w = omega(period);
  const double d = w * w - W * W, e = 2.0 * h * w * W;
  const double P = -A * d / (d * d + e * e);
  const double Q = A * e / (d * d + e * e);
  const double wd = w * std::sqrt(1.0 - h * h);
  const double c1 = -Q;
  const double c2 = (h * w * c1 - W * P) / wd;
  const double decay = std::exp(-h * w * t);
  const double cs = std::cos(wd * t), sn = std::sin(wd * t);
  State s;
  s.x = P * std::sin(W * t) + Q * std::cos(W * t) + decay * (c1 * cs + c2 * sn);
  s.v = W * (P * std::cos(W * t) - Q * std::sin(W * t)) +
        decay * ((-h * w * c1 + wd * c2) * cs + (-h * w * c2 - wd * c1) * sn);
  s.g = A * (1.0 - std::cos(W * t)) / W;
  return s;
}

// Free vibration for a time t from the state s (the ground at rest).
inline State free_vibration(State s, double period, double h, double t) {
  const double w = omega(period);
  const double wd = w * std::sqrt(1.0 - h * h);
  const double decay = std::exp(-h * w * t);
  const double cs = std::cos(wd * t), sn = std::sin(wd * t);
  State r;
  r.x = decay * (s.x * cs + (s.v + h * w * s.x) / wd * sn);
  r.v = decay * (s.v * cs - (w * w * s.x + h * w * s.v) / wd * sn);
  r.g = s.g;
  return r;
}

// The peaks of the states at the samples.
inline core::OscillatorPeaks peaks_of(std::span<const State> states, double period, double h) {
  const double w = omega(period);
  core::OscillatorPeaks p;
  for (const State& s : states) {
    p.sd = std::max(p.sd, std::fabs(s.x));
    p.sv = std::max(p.sv, std::fabs(s.v));
    p.sa = std::max(p.sa, std::fabs(w * w * s.x + 2.0 * h * w * s.v));
    p.sva = std::max(p.sva, std::fabs(s.v + s.g));
  }
  return p;
}

// The states at the samples of the oscillator driven by `acc` taken as linear
// between samples, integrated by Runge-Kutta with `substeps` steps an
// interval; the ground velocity is integrated along.
inline std::vector<State> runge_kutta(std::span<const double> acc, double dt, double period, double h,
                                      int substeps) {
  const double w = omega(period);
  const double step = dt / substeps;
  std::vector<State> states(acc.size());
  State s;
  for (std::size_t i = 1; i < acc.size(); ++i) {
    const double a0 = acc[i - 1], slope = (acc[i] - acc[i - 1]) / dt;
    const auto rate = [&](const State& y, double tau) {
      const double a = a0 + slope * tau;
      return State{y.v, -2.0 * h * w * y.v - w * w * y.x - a, a};
    };
    for (int k = 0; k < substeps; ++k) {
      const double t0 = k * step;
      const auto along = [&s](const State& d, double f) { return State{s.x + f * d.x, s.v + f * d.v, s.g + f * d.g}; };
      const State k1 = rate(s, t0);
      const State k2 = rate(along(k1, step / 2), t0 + step / 2);
      const State k3 = rate(along(k2, step / 2), t0 + step / 2);
      const State k4 = rate(along(k3, step), t0 + step);
      s.x += step / 6 * (k1.x + 2 * k2.x + 2 * k3.x + k4.x);
      s.v += step / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v);
      s.g += step / 6 * (k1.g + 2 * k2.g + 2 * k3.g + k4.g);
    }
    states[i] = s;
  }
  return states;
}

// A recorded earthquake in the converted text form (time and three components
// a line, gal), when the shared records are present.
struct TextRecord {
  std::string name;
  std::vector<float> acc1, acc2, acc3;
  float dt = 0.0f;
};

inline std::vector<TextRecord> real_records() {
  std::vector<TextRecord> records;
  const std::filesystem::path folder = SHINDO_SOURCE_DIR "/../shared/data/real/converted";
  if (!std::filesystem::is_directory(folder)) return records;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".txt" || entry.path().stem() == "SUMMARY") continue;
    TextRecord r;
    r.name = entry.path().stem().string();
    std::ifstream in(entry.path());
    double t, first_time = 0.0;
    float a, b, c;
    while (in >> t >> a >> b >> c) {
      if (r.acc1.size() == 0) first_time = t;
      if (r.acc1.size() == 1) r.dt = static_cast<float>(t - first_time);
      r.acc1.push_back(a), r.acc2.push_back(b), r.acc3.push_back(c);
    }
    records.push_back(std::move(r));
  }
  std::sort(records.begin(), records.end(), [](const TextRecord& p, const TextRecord& q) { return p.name < q.name; });
  return records;
}

}  // namespace shindo::testing
