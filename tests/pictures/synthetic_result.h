// A synthetic record and a result built the way the computation builds it
// (a vector wave, its peak, the 1000 levels below the peak and A0), for the
// tests of the pictures.
#pragma once

#include <shindo/intensity.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace shindo::testing {

struct SyntheticRecord {
  std::vector<float> ns, ew, ud;
  float dt = 0.01f;
  Intensity result;
};

// A burst of shaking a third of the way into `samples` samples, of about
// `scale` x 100 gal, and a result whose wave is a share of the vector of the
// components.
inline SyntheticRecord synthetic_record(std::size_t samples, float dt, double scale) {
  SyntheticRecord r;
  r.dt = dt;
  const double length = static_cast<double>(samples) * dt;
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) * dt;
    const double envelope = std::exp(-std::pow((t - length / 3) / (length / 10), 2));
    const double w = 2 * std::numbers::pi * t;
    r.ns.push_back(static_cast<float>(scale * 100 * envelope * std::sin(1.5 * w)));
    r.ew.push_back(static_cast<float>(scale * 80 * envelope * std::cos(1.1 * w)));
    r.ud.push_back(static_cast<float>(scale * 50 * envelope * std::sin(3.3 * w)));
  }
  Intensity& out = r.result;
  out.samples = static_cast<std::int32_t>(samples);
  out.dt = dt;
  for (std::size_t i = 0; i < samples; ++i) {
    out.wave.push_back(static_cast<float>(
        0.8 * std::sqrt(double(r.ns[i]) * r.ns[i] + double(r.ew[i]) * r.ew[i] + double(r.ud[i]) * r.ud[i])));
  }
  out.amax = *std::max_element(out.wave.begin(), out.wave.end());
  for (std::int32_t k = 0; k < kLevels; ++k) {
    LevelRow row;
    row.level = static_cast<float>(out.amax * (1.0 - static_cast<double>(k) / kLevels));
    row.count = static_cast<std::int32_t>(
        std::count_if(out.wave.begin(), out.wave.end(), [&](float v) { return v > row.level; }));
    row.duration = static_cast<float>(row.count * static_cast<double>(dt));
    out.levels.push_back(row);
    if (out.a0 == 0.0f && row.duration > 0.299f) out.a0 = row.level;
  }
  out.shindo = static_cast<float>(2 * std::log10(static_cast<double>(out.a0)) + 0.943);
  return r;
}

}  // namespace shindo::testing
