// Mean removal and the zero-phase high-pass, of one component or of the three
// of a record side by side, and the trapezoidal integral.
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

// Four doubles: the three components in the first three lanes, the fourth
// idle at 0. The helpers taking and giving them are always inlined: no call
// passes one, so the warning on the calling convention of such vectors does
// not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
using Quad = double __attribute__((vector_size(32)));

// Value i of each component: one double for one component, one Quad for three.
template <class V, std::size_t N>
[[gnu::always_inline]] inline V gather(const std::array<double*, N>& values, std::size_t i) {
  if constexpr (N == 1) {
    return values[0][i];
  } else {
    return V{values[0][i], values[1][i], values[2][i], 0.0};
  }
}

template <class V, std::size_t N>
[[gnu::always_inline]] inline void scatter(const std::array<double*, N>& values, std::size_t i, V value) {
  if constexpr (N == 1) {
    values[0][i] = value;
  } else {
    values[0][i] = value[0], values[1][i] = value[1], values[2][i] = value[2];
  }
}

// Runs the n values of each component through the two sections in turn, each
// from rest, from the first value to the last or, `backward`, from the last to
// the first. The sections go in one loop, so that the second's arithmetic
// overlaps the first's; every lane does the same operations in the same order.
template <class V, std::size_t N>
[[gnu::always_inline]] inline void filter_in_place(const std::array<double*, N>& values, std::size_t n,
                                                   const Section& s, const Section& t, bool backward) {
  V z1{}, z2{}, w1{}, w2{};
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t i = backward ? n - 1 - j : j;
    const V x = gather<V>(values, i);
    const V y = s.b0 * x + z1;
    z1 = s.b1 * x - s.a1 * y + z2;
    z2 = s.b2 * x - s.a2 * y;
    const V out = t.b0 * y + w1;
    w1 = t.b1 * y - t.a1 * out + w2;
    w2 = t.b2 * y - t.a2 * out;
    scatter(values, i, out);
  }
}

template <std::size_t N>
using FilterPass = void (*)(const std::array<double*, N>&, std::size_t, const Section&, const Section&, bool);

void filter_one(const std::array<double*, 1>& values, std::size_t n, const Section& s, const Section& t,
                bool backward) {
  filter_in_place<double>(values, n, s, t, backward);
}

void filter_three_sse2(const std::array<double*, 3>& values, std::size_t n, const Section& s, const Section& t,
                       bool backward) {
  filter_in_place<Quad>(values, n, s, t, backward);
}

[[gnu::target("avx")]] void filter_three_avx(const std::array<double*, 3>& values, std::size_t n, const Section& s,
                                             const Section& t, bool backward) {
  filter_in_place<Quad>(values, n, s, t, backward);
}

// The mean of each component (all of one length), each summed from its first
// value to its last; the sums advance together, so that each addition waits
// only for its own component's last one.
template <std::size_t N>
std::array<double, N> means(std::span<const std::span<const float>, N> samples) {
  std::array<double, N> sum{};
  const std::size_t n = samples[0].size();
  for (std::size_t i = 0; i < n; ++i) {
#pragma GCC unroll 3
    for (std::size_t c = 0; c < N; ++c) sum[c] += samples[c][i];
  }
  for (double& value : sum) value = n == 0 ? 0.0 : value / static_cast<double>(n);
  return sum;
}

// The processed acceleration of each component into a[c] (all of one
// length): process_component's work before the integral, the filter's passes
// run by `filter`.
template <std::size_t N>
void process(std::span<const std::span<const float>, N> samples, double dt, double highpass_hz, std::size_t lead,
             std::span<std::vector<double>, N> a, FilterPass<N> filter) {
  if (highpass_hz == 0.0) {
    for (std::size_t c = 0; c < N; ++c) a[c].assign(samples[c].begin(), samples[c].end());
    return;
  }
  const std::array<double, N> mean = means(samples);
  std::array<double*, N> from_start, from_record;
  for (std::size_t c = 0; c < N; ++c) {
    a[c].resize(samples[c].size() + 2 * lead);
    std::fill_n(a[c].begin(), lead, 0.0);
    for (std::size_t i = 0; i < samples[c].size(); ++i) a[c][lead + i] = samples[c][i] - mean[c];
    std::fill_n(a[c].begin() + static_cast<std::ptrdiff_t>(lead + samples[c].size()), lead, 0.0);
    from_start[c] = a[c].data();
    from_record[c] = a[c].data() + lead;
  }
  // The fourth-order Butterworth high-pass: the poles of the two sections
  // lie at pi/8 and 3 pi/8 from the negative real axis, q = 1 / (2 cos).
  const double k = std::tan(std::numbers::pi * highpass_hz * dt);
  const Section first = highpass_section(k, 1.0 / (2.0 * std::cos(std::numbers::pi / 8.0)));
  const Section second = highpass_section(k, 1.0 / (2.0 * std::cos(3.0 * std::numbers::pi / 8.0)));
  // Forward, the leading zeros would leave the sections at rest and come
  // out as +0, as they go in: the pass starts at the record's first sample.
  const std::size_t n = a[0].size();
  filter(from_record, n - lead, first, second, false);
  filter(from_start, n, second, first, true);
}

}  // namespace

double lead_samples(double highpass_hz, double dt) {
  if (highpass_hz == 0.0) return 0.0;
  return std::ceil(3.0 / (highpass_hz * dt));
}

std::vector<double> process_component(std::span<const float> samples, double dt, double highpass_hz,
                                      std::size_t lead, std::vector<double>& acceleration) {
  process<1>(std::span<const std::span<const float>, 1>(&samples, 1), dt, highpass_hz, lead,
             std::span<std::vector<double>, 1>(&acceleration, 1), filter_one);
  return trapezoidal_integral(acceleration, dt);
}

std::array<std::vector<double>, 3> processed_components(const std::array<std::span<const float>, 3>& samples, double dt,
                                                        double highpass_hz, std::size_t lead, ButterflyKernel kernel) {
  std::array<std::vector<double>, 3> a;
  if (kernel == ButterflyKernel::Portable) {
    for (std::size_t c = 0; c < 3; ++c) {
      process<1>(std::span<const std::span<const float>, 1>(&samples[c], 1), dt, highpass_hz, lead,
                 std::span<std::vector<double>, 1>(&a[c], 1), filter_one);
    }
  } else {
    process<3>(samples, dt, highpass_hz, lead, a, kernel >= ButterflyKernel::Avx ? filter_three_avx : filter_three_sse2);
  }
  return a;
}

void integrate_in_place(std::span<double> values, double dt) {
  if (values.empty()) return;
  const double half = 0.5 * dt;
  double before = values[0], last = 0.0;
  values[0] = 0.0;
  for (std::size_t i = 1; i < values.size(); ++i) {
    const double here = values[i];
    last = last + half * (before + here);
    values[i] = last;
    before = here;
  }
}

std::vector<double> trapezoidal_integral(std::span<const double> acceleration, double dt) {
  std::vector<double> v(acceleration.begin(), acceleration.end());
  integrate_in_place(v, dt);
  return v;
}

}  // namespace shindo::core
