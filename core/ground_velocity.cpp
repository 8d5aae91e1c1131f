// Mean removal, the zero-phase high-pass and the trapezoidal integral.
#include "core/ground_velocity.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace shindo::core {

namespace {

// One second-order high-pass section of the bilinear transform, with the
// corner prewarped (k = tan(pi fc dt)) and quality q, in transposed direct
// form.
struct Section {
  double b0, b1, b2, a1, a2;
};

Section highpass_section(double k, double q) {
  const double norm = 1.0 / (1.0 + k / q + k * k);
  return {norm, -2.0 * norm, norm, 2.0 * (k * k - 1.0) * norm, (1.0 - k / q + k * k) * norm};
}

// Runs `values` through the two sections in turn, each from rest, from the
// first value to the last or, `backward`, from the last to the first. The
// sections go in one loop, so that the second's arithmetic overlaps the
// first's.
void filter_in_place(std::span<double> values, const Section& s, const Section& t, bool backward) {
  double z1 = 0.0, z2 = 0.0, w1 = 0.0, w2 = 0.0;
  const std::size_t n = values.size();
  for (std::size_t j = 0; j < n; ++j) {
    double& value = values[backward ? n - 1 - j : j];
    const double x = value;
    const double y = s.b0 * x + z1;
    z1 = s.b1 * x - s.a1 * y + z2;
    z2 = s.b2 * x - s.a2 * y;
    const double out = t.b0 * y + w1;
    w1 = t.b1 * y - t.a1 * out + w2;
    w2 = t.b2 * y - t.a2 * out;
    value = out;
  }
}

}  // namespace

double lead_samples(double highpass_hz, double dt) {
  if (highpass_hz == 0.0) return 0.0;
  return std::ceil(3.0 / (highpass_hz * dt));
}

std::vector<double> process_component(std::span<const float> samples, double dt, double highpass_hz,
                                      std::size_t lead, std::vector<double>& a) {
  if (highpass_hz == 0.0) {
    a.assign(samples.begin(), samples.end());
  } else {
    double sum = 0.0;
    for (const float value : samples) sum += value;
    const double mean = samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
    a.resize(samples.size() + 2 * lead);
    std::fill_n(a.begin(), lead, 0.0);
    for (std::size_t i = 0; i < samples.size(); ++i) a[lead + i] = samples[i] - mean;
    std::fill_n(a.begin() + static_cast<std::ptrdiff_t>(lead + samples.size()), lead, 0.0);
    // The fourth-order Butterworth high-pass: the poles of the two sections
    // lie at pi/8 and 3 pi/8 from the negative real axis, q = 1 / (2 cos).
    const double k = std::tan(std::numbers::pi * highpass_hz * dt);
    const Section first = highpass_section(k, 1.0 / (2.0 * std::cos(std::numbers::pi / 8.0)));
    const Section second = highpass_section(k, 1.0 / (2.0 * std::cos(3.0 * std::numbers::pi / 8.0)));
    filter_in_place(a, first, second, false);
    filter_in_place(a, second, first, true);
  }
  return trapezoidal_integral(a, dt);
}

std::vector<double> trapezoidal_integral(std::span<const double> acceleration, double dt) {
  std::vector<double> v(acceleration.size());
  if (!v.empty()) v[0] = 0.0;
  const double half = 0.5 * dt;
  for (std::size_t i = 1; i < acceleration.size(); ++i) v[i] = v[i - 1] + half * (acceleration[i - 1] + acceleration[i]);
  return v;
}

}  // namespace shindo::core
