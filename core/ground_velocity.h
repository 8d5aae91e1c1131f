// The processed acceleration of one component (mean removed, zeros before and
// after, zero-phase Butterworth high-pass) and its ground velocity, in double;
// the three components of a record side by side.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "core/fft_kernels.h"

namespace shindo::core {

// The zeros put before and after a record for a high-pass corner (Hz) at the
// interval dt (s): ceil(3 / (fc dt)), the 30 s over which a fourth-order
// filter at 0.1 Hz settles; 0 when fc is 0 (no filter). Only for corners
// below the Nyquist frequency; more than any record holds when fc is tiny
// (the caller refuses those).
//   (0.1, 0.01) → 3000, (0.1, 0.01f) → 3001 (the float is a little under
//   0.01), (0.1, 0.005) → 6000, (0, 0.01) → 0
double lead_samples(double highpass_hz, double dt);

// With fc > 0: the samples less their mean, `lead` zeros before and after,
// run forward and then backward through the fourth-order Butterworth
// high-pass at fc. With fc = 0: the samples as they are (lead must be 0).
// The result goes to `acceleration` (gal, lead + samples + lead values; its
// storage is reused from call to call); the return value is its velocity
// (cm/s, the trapezoidal integral, 0 at the first value).
//   a 1 Hz sine over whole cycles, fc 0.1, dt 0.01 → the same sine within
//   0.4 % of its amplitude away from the ends; velocity its integral
std::vector<double> process_component(std::span<const float> samples, double dt, double highpass_hz,
                                      std::size_t lead, std::vector<double>& acceleration);

// The processed accelerations of the three components of a record, each as
// process_component gives it, bit for bit. The filter's recurrence waits on
// its last result at every value; here one four-wide vector carries the three
// components, one a lane, through the same operations in the same order
// (AVX where `kernel` is ButterflyKernel::Avx or Avx512, else SSE2), so one
// wait serves three components. ButterflyKernel::Portable filters them one
// after the other. Each vector can become its component's velocity in place
// (integrate_in_place), so that no other memory is touched for it.
//   three components of 30000 samples, fc 0.1, dt 0.01, lead 3000 → three
//   vectors of 36000 values, the accelerations of process_component
std::array<std::vector<double>, 3> processed_components(const std::array<std::span<const float>, 3>& samples, double dt,
                                                        double highpass_hz, std::size_t lead, ButterflyKernel kernel);

// trapezoidal_integral in place: each value replaced by the integral up to
// it, with the same bits.
//   {0, 2, 2} at 0.5 → {0, 0.5, 1.5}
void integrate_in_place(std::span<double> values, double dt);

// The trapezoidal integral of `acceleration` (gal) at the interval dt, from 0:
// v[0] = 0, v[i] = v[i-1] + dt (a[i-1] + a[i]) / 2.
//   {0, 2, 2} at 0.5 → {0, 0.5, 1.5}
std::vector<double> trapezoidal_integral(std::span<const double> acceleration, double dt);

}  // namespace shindo::core
