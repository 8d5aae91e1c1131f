// A synthetic record and its computed result, for the tests of the pictures.
#pragma once

#include <shindo/intensity.h>

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
// `scale` x 100 gal, and its intensity.
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
  r.result = compute_intensity({r.ns, r.ew, r.ud, dt});
  return r;
}

}  // namespace shindo::testing
