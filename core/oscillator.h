// Damped single-degree-of-freedom oscillators driven by a ground acceleration
// taken as linear between samples: the exact step from one sample to the next
// and the peaks of many oscillators over one record, in double.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/fft_kernels.h"

namespace shindo::core {

// The exact step over one interval dt of the relative displacement x (cm) and
// velocity v (cm/s), the ground acceleration going linearly from u0 to u1 (gal):
//   x1 = a11 x0 + a12 v0 + b11 u0 + b12 u1
//   v1 = a21 x0 + a22 v0 + b21 u0 + b22 u1
struct StepCoefficients {
  double a11, a12, a21, a22;
  double b11, b12, b21, b22;
};

// The coefficients for a period (s), a damping in (0, 1) and an interval (s),
// from the exponential of the oscillator's 4 x 4 system (state and the
// linear input) over w dt, in units of acceleration and of the oscillator's
// own time, so that no entry is far from 1 in size.
//   period 1, damping 0.05, dt 0.01 → a11 0.998030854, a12 0.00996209196,
//   b12 -1.66372369e-05, b22 -0.00498790386
StepCoefficients step_coefficients(double period, double damping, double dt);

struct Oscillator {
  double period;   // s
  double damping;  // fraction of critical
};

// The largest absolute values over the record of one oscillator's responses.
struct OscillatorPeaks {
  double sd = 0.0;   // relative displacement (cm)
  double sv = 0.0;   // relative velocity (cm/s)
  double sa = 0.0;   // absolute acceleration w^2 x + 2 h w v (gal)
  double sva = 0.0;  // absolute velocity v + ground velocity (cm/s)
};

// Oscillators side by side: eight on the SSE2 and AVX paths, sixteen on the
// AVX-512 path (two registers of eight, so that two groups of steps are in
// flight while each waits for its products); the step coefficients of one
// group, lane by lane, with w^2 and 2 h w for the absolute acceleration.
inline constexpr int kMaxOscillatorLanes = 16;

struct LaneCoefficients {
  alignas(64) double a11[kMaxOscillatorLanes], a12[kMaxOscillatorLanes];
  alignas(64) double a21[kMaxOscillatorLanes], a22[kMaxOscillatorLanes];
  alignas(64) double b11[kMaxOscillatorLanes], b12[kMaxOscillatorLanes];
  alignas(64) double b21[kMaxOscillatorLanes], b22[kMaxOscillatorLanes];
  alignas(64) double w2[kMaxOscillatorLanes], c[kMaxOscillatorLanes];
};

// Many oscillators at one interval, their coefficients computed once and laid
// out group by group for the lanes of one instruction set, to be run over any
// number of components sampled at that interval. A last group of fewer
// oscillators than lanes fills its empty lanes with its last oscillator.
struct OscillatorLanes {
  ButterflyKernel kernel = ButterflyKernel::Sse2;
  double dt = 0.0;        // s
  std::size_t count = 0;  // oscillators
  std::vector<LaneCoefficients> groups;
};

// The lanes of `oscillators` at dt for `kernel` (ButterflyKernel::Avx needs
// avx_available(), ButterflyKernel::Avx512 avx512_available(); the portable
// kernel is not one of the oscillators': it takes SSE2's lanes).
//   19 oscillators at 0.01 s, ButterflyKernel::Avx512 → 2 groups of 16
//   (the second's last 13 lanes the 19th oscillator), Sse2 → 3 groups of 8
OscillatorLanes oscillator_lanes(std::span<const Oscillator> oscillators, double dt, ButterflyKernel kernel);

// The peaks of each oscillator of `lanes`, at rest at the first sample,
// driven by `acceleration` (gal, sampled at the lanes' interval);
// `ground_velocity` (cm/s, as long as `acceleration`) is added to v for sva.
// Every instruction set gives the same bits.
//   the lanes of one oscillator (1 s, 5 %) at 0.01 s, a 1 Hz sine of 100 gal
//   for 20 s → sd 25.27 cm (psa 997.5 gal)
std::vector<OscillatorPeaks> oscillator_peaks(const OscillatorLanes& lanes, std::span<const double> acceleration,
                                              std::span<const double> ground_velocity);

// The same with the ground velocity taken as the trapezoidal integral of
// `acceleration` from 0 (trapezoidal_integral's values, bit for bit), summed
// on the way: for a caller that has the acceleration and not yet its
// velocity, and would rather not keep both.
//   the lanes above, the sine alone → the peaks of the call above given its
//   trapezoidal_integral
std::vector<OscillatorPeaks> oscillator_peaks(const OscillatorLanes& lanes, std::span<const double> acceleration);

// The same for oscillators whose lanes serve one component only: on the
// kernel preferred_kernel() names, or on `kernel`.
//   one oscillator (1 s, 5 %), a 1 Hz sine of 100 gal for 20 s at 0.01 s
//   → sd 25.27 cm (psa 997.5 gal)
std::vector<OscillatorPeaks> oscillator_peaks(std::span<const double> acceleration,
                                              std::span<const double> ground_velocity, double dt,
                                              std::span<const Oscillator> oscillators);
std::vector<OscillatorPeaks> oscillator_peaks(std::span<const double> acceleration,
                                              std::span<const double> ground_velocity, double dt,
                                              std::span<const Oscillator> oscillators, ButterflyKernel kernel);

}  // namespace shindo::core
