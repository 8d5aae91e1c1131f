// The oscillators: exact step coefficients from a matrix exponential, and the
// peaks of eight oscillators at a time over one record.
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

// Eight oscillators side by side: their coefficients, lane by lane.
constexpr int kLanes = 8;

struct LaneCoefficients {
  alignas(32) double a11[kLanes], a12[kLanes], a21[kLanes], a22[kLanes];
  alignas(32) double b11[kLanes], b12[kLanes], b21[kLanes], b22[kLanes];
  alignas(32) double w2[kLanes], c[kLanes];  // w^2 and 2 h w
};

struct LanePeaks {
  alignas(32) double sd[kLanes], sv[kLanes], sa[kLanes], sva[kLanes];
};

// Four doubles: one AVX register, or two SSE2 registers on the default path.
// The helpers taking and giving them are always inlined: no call passes one,
// so the warning on the calling convention of such vectors does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
using Quad = double __attribute__((vector_size(32)));
using QuadBits = std::int64_t __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Quad load(const double* p) {
  Quad q;
  std::memcpy(&q, p, sizeof q);
  return q;
}

[[gnu::always_inline]] inline void store(double* p, Quad q) { std::memcpy(p, &q, sizeof q); }

[[gnu::always_inline]] inline Quad magnitude(Quad q) {
  const QuadBits all_but_sign = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
  return reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(q) & all_but_sign);
}

[[gnu::always_inline]] inline Quad larger(Quad a, Quad b) { return a > b ? a : b; }

// The record through eight oscillators: the same operations in the same order
// on every path, so that every path gives the same bits.
[[gnu::always_inline]] inline void run_lanes(const LaneCoefficients& k, const double* acc, const double* vg,
                                             std::size_t n, LanePeaks& peaks) {
  constexpr int H = kLanes / 4;
  Quad x[H], v[H], sd[H], sv[H], sa[H], sva[H];
#pragma GCC unroll 4
  for (int h = 0; h < H; ++h) {
    x[h] = v[h] = sd[h] = sv[h] = sa[h] = Quad{};
    sva[h] = magnitude(Quad{} + (n > 0 ? vg[0] : 0.0));
  }
  for (std::size_t i = 1; i < n; ++i) {
    const double u0 = acc[i - 1];
    const double u1 = acc[i];
    const double g = vg[i];
#pragma GCC unroll 4
    for (int h = 0; h < H; ++h) {
      const int o = 4 * h;
      const Quad xn = load(k.a11 + o) * x[h] + load(k.a12 + o) * v[h] + load(k.b11 + o) * u0 + load(k.b12 + o) * u1;
      const Quad vn = load(k.a21 + o) * x[h] + load(k.a22 + o) * v[h] + load(k.b21 + o) * u0 + load(k.b22 + o) * u1;
      x[h] = xn;
      v[h] = vn;
      sd[h] = larger(sd[h], magnitude(xn));
      sv[h] = larger(sv[h], magnitude(vn));
      sa[h] = larger(sa[h], magnitude(load(k.w2 + o) * xn + load(k.c + o) * vn));
      sva[h] = larger(sva[h], magnitude(vn + g));
    }
  }
#pragma GCC unroll 4
  for (int h = 0; h < H; ++h) {
    store(peaks.sd + 4 * h, sd[h]), store(peaks.sv + 4 * h, sv[h]);
    store(peaks.sa + 4 * h, sa[h]), store(peaks.sva + 4 * h, sva[h]);
  }
}

[[gnu::target("avx")]] void run_lanes_avx(const LaneCoefficients& k, const double* acc, const double* vg,
                                          std::size_t n, LanePeaks& peaks) {
  run_lanes(k, acc, vg, n, peaks);
}

void run_lanes_sse2(const LaneCoefficients& k, const double* acc, const double* vg, std::size_t n,
                    LanePeaks& peaks) {
  run_lanes(k, acc, vg, n, peaks);
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

std::vector<OscillatorPeaks> oscillator_peaks(std::span<const double> acceleration,
                                              std::span<const double> ground_velocity, double dt,
                                              std::span<const Oscillator> oscillators) {
  return oscillator_peaks(acceleration, ground_velocity, dt, oscillators,
                          avx_available() ? ButterflyKernel::Avx : ButterflyKernel::Sse2);
}

std::vector<OscillatorPeaks> oscillator_peaks(std::span<const double> acceleration,
                                              std::span<const double> ground_velocity, double dt,
                                              std::span<const Oscillator> oscillators, ButterflyKernel kernel) {
  std::vector<OscillatorPeaks> result(oscillators.size());
  const auto run = kernel == ButterflyKernel::Avx ? run_lanes_avx : run_lanes_sse2;
  for (std::size_t first = 0; first < oscillators.size(); first += kLanes) {
    // A last group of fewer than eight fills its empty lanes with its last
    // oscillator; their peaks are not kept.
    LaneCoefficients k;
    for (int lane = 0; lane < kLanes; ++lane) {
      const Oscillator& o = oscillators[std::min(first + lane, oscillators.size() - 1)];
      const StepCoefficients s = step_coefficients(o.period, o.damping, dt);
      const double w = 2.0 * std::numbers::pi / o.period;
      k.a11[lane] = s.a11, k.a12[lane] = s.a12, k.a21[lane] = s.a21, k.a22[lane] = s.a22;
      k.b11[lane] = s.b11, k.b12[lane] = s.b12, k.b21[lane] = s.b21, k.b22[lane] = s.b22;
      k.w2[lane] = w * w;
      k.c[lane] = 2.0 * o.damping * w;
    }
    LanePeaks peaks;
    run(k, acceleration.data(), ground_velocity.data(), acceleration.size(), peaks);
    for (std::size_t lane = 0; lane < kLanes && first + lane < oscillators.size(); ++lane) {
      result[first + lane] = {peaks.sd[lane], peaks.sv[lane], peaks.sa[lane], peaks.sva[lane]};
    }
  }
  return result;
}

}  // namespace shindo::core
