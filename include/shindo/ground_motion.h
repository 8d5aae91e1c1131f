// The ground-motion values reported beside the intensity: peak accelerations,
// ground velocity and peak velocities, response spectra of a damped oscillator,
// the SI value and the long-period ground-motion class, computed from the same
// in-memory record as compute_intensity. No I/O, no global state: a fault is a
// value. Unlike the intensity, every quantity here is computed and kept in
// double; the samples and the interval are the record's floats, widened exactly.
//
// Components: acc1 and acc2 are the two horizontal components (whatever the
// network calls them, usually NS and EW), acc3 the vertical one. Units: gal
// (cm/s^2) in, gal, cm/s, cm and s out.
//
// What is computed, and why:
//
// 1. Processed acceleration (one per component). With a high-pass corner fc > 0
//    (the default, 0.1 Hz): the component's mean is removed, `lead_samples`
//    zeros are put before and after it (lead = ceil(3 / (fc dt)) samples, 30 s
//    at 0.1 Hz, the length over which the filter's response settles: 3001 at
//    0.01 s, whose float is a little under 0.01), and a
//    fourth-order Butterworth high-pass (two second-order sections, bilinear
//    transform with the corner prewarped) is run forward, then backward over
//    the result. Running it both ways cancels its phase, so the filter moves
//    no peak in time, and squares its gain: |H(f)|^2 = 1 / (1 + (tan(pi fc
//    dt) / tan(pi f dt))^8), which is 0.5 at fc, 0.996 at 2 fc and 0.0039 at
//    fc / 2. The zeros are kept: the velocity and the oscillators run over the
//    whole padded length, so that what the acausal filter spreads before and
//    after the record is not cut off. With fc = 0 the record is used as it is
//    (no mean removed, no filter, no zeros), for records already processed.
//    A record's drift (a small offset of its baseline) grows without bound in
//    velocity; removing the mean and the content below fc is the usual way to
//    keep it out of the velocity and of the absolute velocity response.
// 2. Ground velocity: the trapezoidal integral of the processed acceleration,
//    from 0 at its first sample; it is the exact integral of the acceleration
//    taken as linear between samples, the same input the oscillators see.
// 3. Oscillators: the relative displacement x and velocity v of a linear
//    oscillator of period T and damping h, at rest at the first processed
//    sample, driven by the processed acceleration taken as linear between
//    samples: x'' + 2 h w x' + w^2 x = -a(t), w = 2 pi / T. The step from one
//    sample to the next is the exact solution for that input (the recurrence
//    of Nigam and Jennings, 1969); its eight coefficients come from the
//    exponential of the system's 4 x 4 matrix in units of the oscillator's
//    own time, which keeps every digit where the closed forms lose them to
//    cancellation (long periods against the interval). Being exact, the step
//    holds at any ratio of period to interval; the peaks are read at the
//    samples. For periods shorter than 2 dt the oscillator's frequency lies
//    above the record's Nyquist frequency, where the record holds nothing:
//    such an oscillator follows the ground, its x is close to -a / w^2 and psa
//    is close to the peak of the processed acceleration (the PGA of the record
//    when fc = 0); these values are computed, not refused. A peak between
//    samples is not seen: for a free vibration sampled n times a period the
//    value read may be short by up to 1 - cos(pi / n) (2 % at n = 16).
//    Per period: sd = max |x| (cm), sv = max |v| (cm/s), psa = w^2 sd (gal),
//    sa = max |x'' + a| = max |w^2 x + 2 h w v| (absolute acceleration, gal),
//    sva = max |v + ground velocity| (absolute velocity, cm/s).
// 4. SI value: the mean of sv at 20 % damping over 0.1 to 2.5 s, i.e. 1/2.4
//    of its integral over the period, by the trapezoidal rule at the 25
//    periods 0.1, 0.2, ..., 2.5 s; for each horizontal component and the
//    larger of the two.
// 5. Long-period ground-motion class: sva at 5 % damping at the 32 periods
//    1.6, 1.8, ..., 7.8 s, for each horizontal component; its largest value,
//    the period where it lies, and the class of the larger of the two
//    components' maxima (long_period_class). The class at each period is that
//    of the larger of the two components there. The class always uses 5 %
//    damping and these periods, whatever the settings. Mind the corner: at the
//    default 0.1 Hz the filter's gain at 7.8 s (0.128 Hz) is 0.88, at 5 s
//    0.996; a corner of 0.05 Hz leaves 0.9995 at 7.8 s.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "shindo/intensity.h"

namespace shindo {
inline namespace v2 {

inline constexpr double kDefaultDamping = 0.05;
inline constexpr double kDefaultHighpassHz = 0.1;
// Damping of the SI value and of the long-period class.
inline constexpr double kSiDamping = 0.20;
inline constexpr double kLongPeriodDamping = 0.05;
// The periods the core accepts (s).
inline constexpr double kShortestPeriod = 1e-6;
inline constexpr double kLongestPeriod = 1e6;

// What the computation is asked to do. `periods` unset: the default periods;
// set, it must hold at least one period. `spectra` false: no response spectra
// (the result's `periods` and `spectra` are left empty and their oscillators
// are not run), for a caller that needs only the peaks, the velocities, the
// SI value and the long-period class: those are the same, bit for bit, as
// with the spectra. The damping and the periods are checked either way.
//   GroundMotionSettings{}                       → 5 %, 0.1 Hz, default periods
//   GroundMotionSettings{0.02, 0.05, std::span{my_periods}}
//   GroundMotionSettings{.spectra = false}       → 0.1 Hz, no spectra: 57
//     oscillators a horizontal component (SI value and class) instead of 86
struct GroundMotionSettings {
  double damping = kDefaultDamping;        // of the response spectra, in (0, 1)
  double highpass_hz = kDefaultHighpassHz; // corner (Hz); 0: the record as given
  std::optional<std::span<const double>> periods = std::nullopt;  // s, each in [1e-6, 1e6]
  bool spectra = true;                     // false: no response spectra
};

// What stopped the computation: the record's faults (as compute_intensity
// names them) or a setting refused. Nothing is computed after a fault.
enum class GroundMotionFault {
  none,
  length_mismatch,        // the three components differ in length
  too_long,               // more than kMaxSamples samples
  not_finite,             // a sample or the interval is infinite or not a number
  interval_not_positive,  // the interval is 0 or negative
  damping_out_of_range,   // the damping is not strictly between 0 and 1
  no_periods,             // a period list was given, and it is empty
  period_not_finite,      // a period is infinite or not a number
  period_out_of_range,    // a period is 0, negative, or outside [1e-6, 1e6] s
  highpass_not_finite,    // the corner is infinite, not a number, or negative
  highpass_above_nyquist, // the corner is at or above 1 / (2 dt)
  highpass_too_low,       // the corner's zeros would exceed kMaxSamples
};

// One sentence on a fault:
//   GroundMotionFault::highpass_above_nyquist →
//   "the high-pass corner is at or above the Nyquist frequency 1/(2 dt)"
[[nodiscard]] std::string_view ground_motion_fault_text(GroundMotionFault fault);

// One horizontal component's response spectrum, one value per period.
struct ResponseSpectrum {
  std::vector<double> psa;  // pseudo-spectral acceleration w^2 sd (gal)
  std::vector<double> sd;   // relative displacement (cm)
  std::vector<double> sv;   // relative velocity (cm/s)
  std::vector<double> sa;   // absolute acceleration (gal)
  std::vector<double> sva;  // absolute velocity (cm/s)
};

// The long-period class at one of its periods.
struct LongPeriodStep {
  double period = 0.0;             // s
  std::array<double, 2> sva{};     // cm/s, acc1 and acc2
  std::int32_t lp_class = 0;       // of the larger of the two
};

// The result of compute_ground_motion. After a fault only `fault` is set.
struct GroundMotion {
  GroundMotionFault fault = GroundMotionFault::none;
  double dt = 0.0;                       // s
  double damping = 0.0;                  // of `spectra`
  double highpass_hz = 0.0;              // 0: no filter

  std::array<double, 3> pga{};           // gal: max |a| of each component as given
  double pga_horizontal = 0.0;           // gal: max of sqrt(a1^2 + a2^2)
  double pga_vector = 0.0;               // gal: max of sqrt(a1^2 + a2^2 + a3^2)

  // Ground velocity of each component over the processed length:
  // lead_samples + samples + lead_samples values, the record's sample i at
  // [lead_samples + i]. The peaks are taken over all of it.
  std::int32_t lead_samples = 0;
  std::array<std::vector<double>, 3> velocity;  // cm/s
  std::array<double, 3> pgv{};           // cm/s
  double pgv_horizontal = 0.0;           // cm/s: max of sqrt(v1^2 + v2^2)

  std::vector<double> periods;           // s, as given or the default set; none without spectra
  std::array<ResponseSpectrum, 2> spectra;  // acc1 and acc2; empty without spectra

  std::array<double, 2> si{};            // cm/s, acc1 and acc2
  double si_max = 0.0;                   // cm/s, the larger

  std::array<double, 2> sva_max{};       // cm/s, over 1.6 ... 7.8 s at 5 %
  std::array<double, 2> sva_period{};    // s, where each maximum lies (the shorter on a tie)
  double lp_sva = 0.0;                   // cm/s, the larger of sva_max
  double lp_period = 0.0;                // s, its period
  std::int32_t lp_class = 0;             // 0 to 4, from lp_sva
  std::vector<LongPeriodStep> lp_steps;  // the 32 periods
};

// The ground-motion values of `record`. Safe to call from several threads at
// once. Runs with round-to-nearest and gives the caller's floating-point
// environment (rounding, trap settings, raised flags) back unchanged.
//
//   a 1 Hz sine of 100 gal on acc1 for 20 s at 0.01 s, zeros elsewhere, fc 0:
//   → pga {100, 0, 0}, pga_vector 100, pgv[0] 31.82 (from rest the velocity
//     swings from 0 to 2 x 100 / 2 pi = 31.83; the trapezoid takes 0.03 %),
//     psa at 1 s, 5 %: 997.5 (the steady 100 / (2 h) = 1000 nearly reached
//     after 20 cycles), at 0.05 s: 101.1
//   the same at the default settings → lead_samples 3001, pgv[0] 22.25 (the
//     velocity swings about 0 once its mean is filtered out), psa at 1 s 1000.8
//   the same with spectra false  → periods and spectra empty, pgv[0] 22.25
//     and the SI value and the class bit for bit as with the spectra
//   the same record with dt 0          → fault interval_not_positive
//   the same with damping 1.0          → fault damping_out_of_range
//   the same with highpass_hz 60 (1/(2 dt) is 50) → fault highpass_above_nyquist
//   the same with periods = an empty span   → fault no_periods
[[nodiscard]] GroundMotion compute_ground_motion(const Record& record, const GroundMotionSettings& settings = {});

// The default periods of the response spectra (s), ascending: 0.05 to 0.09 by
// 0.01, 0.10 to 0.20 by 0.02, 0.25 to 0.50 by 0.05, 0.6 to 1.4 (0.6, 0.7,
// 0.8, 0.9, 1.0, 1.2, 1.4), 1.6 to 8.0 by 0.2, 8.5 to 10 by 0.5: 61 periods
// holding every period of the long-period class.
[[nodiscard]] std::span<const double> default_periods();

// The periods of the SI value (0.1, 0.2, ..., 2.5 s) and of the long-period
// class (1.6, 1.8, ..., 7.8 s), each the double nearest its decimal value.
[[nodiscard]] std::span<const double> si_periods();
[[nodiscard]] std::span<const double> long_period_class_periods();

// The long-period ground-motion class of an absolute velocity response (cm/s):
// below 5 → 0, 5 to < 15 → 1, 15 to < 50 → 2, 50 to < 100 → 3, 100 and more → 4.
//   long_period_class(4.99) → 0,  long_period_class(15.0) → 2,  (120.0) → 4
[[nodiscard]] std::int32_t long_period_class(double sva);

}  // namespace v2
}  // namespace shindo
