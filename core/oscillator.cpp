// The oscillators: exact step coefficients from a matrix exponential, and the
// peaks of eight or sixteen oscillators at a time over one record.
#include "core/oscillator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace shindo::core {

namespace {

using Matrix4 = std::array<std::array<double, 4>, 4>;

Matrix4 product(const Matrix4& a, const Matrix4& b) {
  Matrix4 c{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a[i][k] * b[k][j];
      c[i][j] = sum;
    }
  }
  return c;
}

// exp(m) by scaling and squaring: m is halved until its norm is at most 1/2,
// the Taylor series to degree 16 is summed (its remainder is below 1e-22),
// and the result squared back.
Matrix4 exponential(Matrix4 m) {
  double norm = 0.0;
  for (const auto& row : m) {
    double sum = 0.0;
    for (const double value : row) sum += std::fabs(value);
    norm = std::max(norm, sum);
  }
  int squarings = 0;
  if (norm > 0.5) {
    std::frexp(norm, &squarings);  // norm < 2^squarings
    squarings += 1;
    for (auto& row : m) {
      for (double& value : row) value = std::ldexp(value, -squarings);
    }
  }
  // Horner: I + m (I + m/2 (I + m/3 (... (I + m/16)))).
  Matrix4 e{};
  for (int i = 0; i < 4; ++i) e[i][i] = 1.0;
  for (int k = 16; k >= 1; --k) {
    Matrix4 next = product(m, e);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) next[i][j] = next[i][j] / k + (i == j ? 1.0 : 0.0);
    }
    e = next;
  }
  for (int s = 0; s < squarings; ++s) e = product(e, e);
  return e;
}

// The peaks of one group, lane by lane.
struct LanePeaks {
  alignas(64) double sd[kMaxOscillatorLanes], sv[kMaxOscillatorLanes];
  alignas(64) double sa[kMaxOscillatorLanes], sva[kMaxOscillatorLanes];
};

// Four doubles (one AVX register, or two SSE2 registers on the default path)
// and eight (one AVX-512 register). The helpers taking and giving them are
// always inlined: no call passes one, so the warning on the calling
// convention of such vectors does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
using Quad = double __attribute__((vector_size(32)));
using Octet = double __attribute__((vector_size(64)));

using QuadBits = std::int64_t __attribute__((vector_size(32)));
using OctetBits = std::int64_t __attribute__((vector_size(64)));

// The same lanes as 64-bit integers, for the sign bit.
template <class V>
struct LaneBits;
template <>
struct LaneBits<Quad> {
  using type = QuadBits;
};
template <>
struct LaneBits<Octet> {
  using type = OctetBits;
};

template <class V>
[[gnu::always_inline]] inline V load(const double* p) {
  V q;
  std::memcpy(&q, p, sizeof q);
  return q;
}

template <class V>
[[gnu::always_inline]] inline void store(double* p, V q) {
  std::memcpy(p, &q, sizeof q);
}

template <class V>
[[gnu::always_inline]] inline V magnitude(V q) {
  using Bits = typename LaneBits<V>::type;
  return reinterpret_cast<V>(reinterpret_cast<Bits>(q) & INT64_MAX);
}

template <class V>
[[gnu::always_inline]] inline V larger(V a, V b) {
  return a > b ? a : b;
}

// The ground velocity the oscillators add to their own for sva: read from
// `velocity`, or, where it is null, the trapezoidal integral of the
// acceleration from 0 at the interval 2 half, summed on the way with the
// operations of trapezoidal_integral.
struct Ground {
  const double* velocity;
  double half;
};

// The record through H registers of oscillators: the same operations in the
// same order on every path and in every lane, so that every path gives the
// same bits.
template <class V, int H>
[[gnu::always_inline]] inline void run_lanes(const LaneCoefficients& k, const double* acc, Ground ground,
                                             std::size_t n, LanePeaks& peaks) {
  constexpr int W = sizeof(V) / sizeof(double);
  V x[H], v[H], sd[H], sv[H], sa[H], sva[H];
  const double* const vg = ground.velocity;
#pragma GCC unroll 4
  for (int h = 0; h < H; ++h) {
    x[h] = v[h] = sd[h] = sv[h] = sa[h] = V{};
    sva[h] = magnitude(V{} + (n > 0 && vg != nullptr ? vg[0] : 0.0));
  }
  double integral = 0.0;
  for (std::size_t i = 1; i < n; ++i) {
    const double u0 = acc[i - 1];
    const double u1 = acc[i];
    const double g = vg != nullptr ? vg[i] : (integral = integral + ground.half * (u0 + u1));
#pragma GCC unroll 4
    for (int h = 0; h < H; ++h) {
      const int o = W * h;
      const V xn = load<V>(k.a11 + o) * x[h] + load<V>(k.a12 + o) * v[h] + load<V>(k.b11 + o) * u0 +
                   load<V>(k.b12 + o) * u1;
      const V vn = load<V>(k.a21 + o) * x[h] + load<V>(k.a22 + o) * v[h] + load<V>(k.b21 + o) * u0 +
                   load<V>(k.b22 + o) * u1;
      x[h] = xn;
      v[h] = vn;
      sd[h] = larger(sd[h], magnitude(xn));
      sv[h] = larger(sv[h], magnitude(vn));
      sa[h] = larger(sa[h], magnitude(load<V>(k.w2 + o) * xn + load<V>(k.c + o) * vn));
      sva[h] = larger(sva[h], magnitude(vn + g));
    }
  }
#pragma GCC unroll 4
  for (int h = 0; h < H; ++h) {
    store(peaks.sd + W * h, sd[h]), store(peaks.sv + W * h, sv[h]);
    store(peaks.sa + W * h, sa[h]), store(peaks.sva + W * h, sva[h]);
  }
}

[[gnu::target("avx512f")]] void run_lanes_avx512(const LaneCoefficients& k, const double* acc, Ground ground,
                                                 std::size_t n, LanePeaks& peaks) {
  run_lanes<Octet, 2>(k, acc, ground, n, peaks);
}

[[gnu::target("avx")]] void run_lanes_avx(const LaneCoefficients& k, const double* acc, Ground ground,
                                          std::size_t n, LanePeaks& peaks) {
  run_lanes<Quad, 2>(k, acc, ground, n, peaks);
}

void run_lanes_sse2(const LaneCoefficients& k, const double* acc, Ground ground, std::size_t n, LanePeaks& peaks) {
  run_lanes<Quad, 2>(k, acc, ground, n, peaks);
}

// The peaks of every oscillator of `lanes` over `acc`, group by group.
std::vector<OscillatorPeaks> peaks_of(const OscillatorLanes& lanes, std::span<const double> acc, Ground ground) {
  std::vector<OscillatorPeaks> result(lanes.count);
  const auto run = lanes.kernel == ButterflyKernel::Avx512 ? run_lanes_avx512
                   : lanes.kernel == ButterflyKernel::Avx  ? run_lanes_avx
                                                           : run_lanes_sse2;
  const std::size_t width = lanes.kernel == ButterflyKernel::Avx512 ? 16 : 8;
  for (std::size_t group = 0; group < lanes.groups.size(); ++group) {
    LanePeaks peaks;
    run(lanes.groups[group], acc.data(), ground, acc.size(), peaks);
    const std::size_t first = group * width;
    for (std::size_t lane = 0; lane < width && first + lane < lanes.count; ++lane) {
      result[first + lane] = {peaks.sd[lane], peaks.sv[lane], peaks.sa[lane], peaks.sva[lane]};
    }
  }
  return result;
}

}  // namespace

StepCoefficients step_coefficients(double period, double damping, double dt) {
  // State (p, q, g, s) = (w^2 x, w v, a, da/dtau) in the oscillator's time
  // tau = w t: p' = q, q' = -p - 2h q - g, g' = s, s' = 0.
  const double w = 2.0 * std::numbers::pi / period;
  const double theta = w * dt;
  Matrix4 m{};
  m[0][1] = theta;
  m[1][0] = -theta;
  m[1][1] = -2.0 * damping * theta;
  m[1][2] = -theta;
  m[2][3] = theta;
  const Matrix4 e = exponential(m);
  // The input over the step: g = u0, s = (u1 - u0) / theta.
  const double w2 = w * w;
  StepCoefficients k;
  k.a11 = e[0][0];
  k.a12 = e[0][1] / w;
  k.b11 = (e[0][2] - e[0][3] / theta) / w2;
  k.b12 = e[0][3] / theta / w2;
  k.a21 = e[1][0] * w;
  k.a22 = e[1][1];
  k.b21 = (e[1][2] - e[1][3] / theta) / w;
  k.b22 = e[1][3] / theta / w;
  return k;
}

OscillatorLanes oscillator_lanes(std::span<const Oscillator> oscillators, double dt, ButterflyKernel kernel) {
  OscillatorLanes result;
  result.kernel = kernel == ButterflyKernel::Portable ? ButterflyKernel::Sse2 : kernel;
  result.count = oscillators.size();
  result.dt = dt;
  const std::size_t lanes = result.kernel == ButterflyKernel::Avx512 ? 16 : 8;
  for (std::size_t first = 0; first < oscillators.size(); first += lanes) {
    LaneCoefficients& k = result.groups.emplace_back();
    for (std::size_t lane = 0; lane < lanes; ++lane) {
      const Oscillator& o = oscillators[std::min(first + lane, oscillators.size() - 1)];
      const StepCoefficients s = step_coefficients(o.period, o.damping, dt);
      const double w = 2.0 * std::numbers::pi / o.period;
      k.a11[lane] = s.a11, k.a12[lane] = s.a12, k.a21[lane] = s.a21, k.a22[lane] = s.a22;
      k.b11[lane] = s.b11, k.b12[lane] = s.b12, k.b21[lane] = s.b21, k.b22[lane] = s.b22;
      k.w2[lane] = w * w;
      k.c[lane] = 2.0 * o.damping * w;
    }
  }
  return result;
}

std::vector<OscillatorPeaks> oscillator_peaks(const OscillatorLanes& lanes, std::span<const double> acceleration,
                                              std::span<const double> ground_velocity) {
  return peaks_of(lanes, acceleration, {ground_velocity.data(), 0.0});
}

std::vector<OscillatorPeaks> oscillator_peaks(const OscillatorLanes& lanes, std::span<const double> acceleration) {
  return peaks_of(lanes, acceleration, {nullptr, 0.5 * lanes.dt});
}

std::vector<OscillatorPeaks> oscillator_peaks(std::span<const double> acceleration,
                                              std::span<const double> ground_velocity, double dt,
                                              std::span<const Oscillator> oscillators) {
  return oscillator_peaks(oscillator_lanes(oscillators, dt, preferred_kernel()), acceleration, ground_velocity);
}

std::vector<OscillatorPeaks> oscillator_peaks(std::span<const double> acceleration,
                                              std::span<const double> ground_velocity, double dt,
                                              std::span<const Oscillator> oscillators, ButterflyKernel kernel) {
  return oscillator_peaks(oscillator_lanes(oscillators, dt, kernel), acceleration, ground_velocity);
}

}  // namespace shindo::core
