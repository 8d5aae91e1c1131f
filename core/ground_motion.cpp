// compute_ground_motion: the record and the settings checked, the peaks of
// the record, the processed components and their velocities, one pass of
// every oscillator over each horizontal component, and from those passes the
// spectra (when asked for), the SI value and the long-period class.
#include "shindo/ground_motion.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "core/fp_environment.h"
#include "core/ground_velocity.h"
#include "core/oscillator.h"

namespace shindo {
inline namespace v2 {

namespace {

constexpr double kDefaultPeriods[] = {
    0.05, 0.06, 0.07, 0.08, 0.09, 0.10, 0.12, 0.14, 0.16, 0.18, 0.20, 0.25, 0.30, 0.35, 0.40, 0.45,
    0.50, 0.60, 0.70, 0.80, 0.90, 1.0,  1.2,  1.4,  1.6,  1.8,  2.0,  2.2,  2.4,  2.6,  2.8,  3.0,
    3.2,  3.4,  3.6,  3.8,  4.0,  4.2,  4.4,  4.6,  4.8,  5.0,  5.2,  5.4,  5.6,  5.8,  6.0,  6.2,
    6.4,  6.6,  6.8,  7.0,  7.2,  7.4,  7.6,  7.8,  8.0,  8.5,  9.0,  9.5,  10.0};

constexpr double kSiPeriods[] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.3,
                                 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2.0, 2.1, 2.2, 2.3, 2.4, 2.5};

constexpr double kClassPeriods[] = {1.6, 1.8, 2.0, 2.2, 2.4, 2.6, 2.8, 3.0, 3.2, 3.4, 3.6,
                                    3.8, 4.0, 4.2, 4.4, 4.6, 4.8, 5.0, 5.2, 5.4, 5.6, 5.8,
                                    6.0, 6.2, 6.4, 6.6, 6.8, 7.0, 7.2, 7.4, 7.6, 7.8};

// The width of the SI value's period range (s).
constexpr double kSiSpan = 2.4;

bool all_finite(std::span<const float> values) {
  bool finite = true;
  for (const float value : values) finite &= std::isfinite(value);
  return finite;
}

GroundMotionFault record_fault(const Record& record) {
  const std::size_t n = record.acc1.size();
  if (record.acc2.size() != n || record.acc3.size() != n) return GroundMotionFault::length_mismatch;
  if (n > kMaxSamples) return GroundMotionFault::too_long;
  if (!std::isfinite(record.dt) || !all_finite(record.acc1) || !all_finite(record.acc2) ||
      !all_finite(record.acc3)) {
    return GroundMotionFault::not_finite;
  }
  if (!(record.dt > 0.0f)) return GroundMotionFault::interval_not_positive;
  return GroundMotionFault::none;
}

GroundMotionFault settings_fault(const GroundMotionSettings& settings, double dt) {
  if (!(settings.damping > 0.0 && settings.damping < 1.0)) return GroundMotionFault::damping_out_of_range;
  if (settings.periods) {
    if (settings.periods->empty()) return GroundMotionFault::no_periods;
    for (const double period : *settings.periods) {
      if (!std::isfinite(period)) return GroundMotionFault::period_not_finite;
      if (!(period >= kShortestPeriod && period <= kLongestPeriod)) return GroundMotionFault::period_out_of_range;
    }
  }
  const double fc = settings.highpass_hz;
  if (!std::isfinite(fc) || fc < 0.0) return GroundMotionFault::highpass_not_finite;
  if (fc >= 0.5 / dt) return GroundMotionFault::highpass_above_nyquist;
  if (core::lead_samples(fc, dt) > static_cast<double>(kMaxSamples)) return GroundMotionFault::highpass_too_low;
  return GroundMotionFault::none;
}

// Every oscillator the result needs, each (period, damping) once, and where
// the spectra, the SI value and the class find theirs.
struct OscillatorPlan {
  std::vector<core::Oscillator> oscillators;
  std::vector<std::size_t> spectrum, si, lp;
};

OscillatorPlan plan_oscillators(std::span<const double> periods, double damping) {
  OscillatorPlan plan;
  std::map<std::pair<double, double>, std::size_t> index;
  const auto place = [&plan, &index](double period, double h) {
    const auto [it, added] = index.try_emplace({period, h}, plan.oscillators.size());
    if (added) plan.oscillators.push_back({period, h});
    return it->second;
  };
  for (const double period : periods) plan.spectrum.push_back(place(period, damping));
  for (const double period : kSiPeriods) plan.si.push_back(place(period, kSiDamping));
  for (const double period : kClassPeriods) plan.lp.push_back(place(period, kLongPeriodDamping));
  return plan;
}

// The largest of value(i) over i < n, for values never below +0 nor NaN:
// four running maxima, each over every fourth value, so that no comparison
// waits for the one before it. The largest of such values is the same
// whatever the order they are taken in.
template <class Value>
double largest(std::size_t n, Value value) {
  double p0 = 0.0, p1 = 0.0, p2 = 0.0, p3 = 0.0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    p0 = std::max(p0, value(i));
    p1 = std::max(p1, value(i + 1));
    p2 = std::max(p2, value(i + 2));
    p3 = std::max(p3, value(i + 3));
  }
  for (; i < n; ++i) p0 = std::max(p0, value(i));
  return std::max(std::max(p0, p1), std::max(p2, p3));
}

double peak_magnitude(std::span<const double> values) {
  return largest(values.size(), [values](std::size_t i) { return std::fabs(values[i]); });
}

void fill_peaks(const Record& record, GroundMotion& result) {
  const std::span<const float> a1 = record.acc1, a2 = record.acc2, a3 = record.acc3;
  double h2 = 0.0, v2 = 0.0;
  for (std::size_t i = 0; i < a1.size(); ++i) {
    const double x = a1[i], y = a2[i], z = a3[i];
    result.pga[0] = std::max(result.pga[0], std::fabs(x));
    result.pga[1] = std::max(result.pga[1], std::fabs(y));
    result.pga[2] = std::max(result.pga[2], std::fabs(z));
    h2 = std::max(h2, x * x + y * y);
    v2 = std::max(v2, x * x + y * y + z * z);
  }
  result.pga_horizontal = std::sqrt(h2);
  result.pga_vector = std::sqrt(v2);
}

}  // namespace

GroundMotion compute_ground_motion(const Record& record, const GroundMotionSettings& settings) {
  // From the checks on: they round (the zeros' count) and must not raise the
  // caller's flags.
  const core::DefaultEnvironment environment;
  GroundMotion result;
  const double dt = record.dt;
  if (const GroundMotionFault fault = record_fault(record); fault != GroundMotionFault::none) {
    result.fault = fault;
    return result;
  }
  if (const GroundMotionFault fault = settings_fault(settings, dt); fault != GroundMotionFault::none) {
    result.fault = fault;
    return result;
  }
  // Finite samples, a positive interval and the periods accepted keep every
  // value finite: no floating-point fault can arise below.
  result.dt = dt;
  result.damping = settings.damping;
  result.highpass_hz = settings.highpass_hz;
  const std::span<const double> periods =
      settings.spectra ? settings.periods.value_or(std::span<const double>(kDefaultPeriods)) : std::span<const double>();
  result.periods.assign(periods.begin(), periods.end());

  fill_peaks(record, result);

  const auto lead = static_cast<std::size_t>(core::lead_samples(settings.highpass_hz, dt));
  result.lead_samples = static_cast<std::int32_t>(lead);
  // The three components processed together, each in the vector that becomes
  // its velocity; every oscillator over each horizontal one (their
  // coefficients computed once for both), which sums the ground velocity on
  // its way; then each vector integrated in place. No memory but the
  // velocities' is touched.
  const core::ButterflyKernel kernel = core::preferred_kernel();
  result.velocity =
      core::processed_components({record.acc1, record.acc2, record.acc3}, dt, settings.highpass_hz, lead, kernel);
  const OscillatorPlan plan = plan_oscillators(periods, settings.damping);
  const core::OscillatorLanes lanes = core::oscillator_lanes(plan.oscillators, dt, kernel);
  std::vector<core::OscillatorPeaks> peaks[2];
  for (int c = 0; c < 2; ++c) peaks[c] = core::oscillator_peaks(lanes, result.velocity[c]);
  for (int c = 0; c < 3; ++c) {
    core::integrate_in_place(result.velocity[c], dt);
    result.pgv[c] = peak_magnitude(result.velocity[c]);
  }
  const std::span<const double> v1 = result.velocity[0], v2 = result.velocity[1];
  result.pgv_horizontal = std::sqrt(largest(v1.size(), [v1, v2](std::size_t i) { return v1[i] * v1[i] + v2[i] * v2[i]; }));

  result.lp_steps.resize(std::size(kClassPeriods));
  for (int c = 0; c < 2; ++c) {
    ResponseSpectrum& spectrum = result.spectra[c];
    for (std::vector<double>* curve : {&spectrum.psa, &spectrum.sd, &spectrum.sv, &spectrum.sa, &spectrum.sva}) {
      curve->reserve(periods.size());
    }
    for (std::size_t p = 0; p < periods.size(); ++p) {
      const core::OscillatorPeaks& peak = peaks[c][plan.spectrum[p]];
      const double w = 2.0 * std::numbers::pi / periods[p];
      spectrum.psa.push_back(w * w * peak.sd);
      spectrum.sd.push_back(peak.sd);
      spectrum.sv.push_back(peak.sv);
      spectrum.sa.push_back(peak.sa);
      spectrum.sva.push_back(peak.sva);
    }

    double integral = 0.0;
    for (std::size_t p = 1; p < plan.si.size(); ++p) {
      const double step = kSiPeriods[p] - kSiPeriods[p - 1];
      integral += 0.5 * step * (peaks[c][plan.si[p - 1]].sv + peaks[c][plan.si[p]].sv);
    }
    result.si[c] = integral / kSiSpan;

    for (std::size_t p = 0; p < plan.lp.size(); ++p) {
      const double sva = peaks[c][plan.lp[p]].sva;
      result.lp_steps[p].period = kClassPeriods[p];
      result.lp_steps[p].sva[c] = sva;
      if (sva > result.sva_max[c]) {
        result.sva_max[c] = sva;
        result.sva_period[c] = kClassPeriods[p];
      }
    }
    if (result.sva_period[c] == 0.0) result.sva_period[c] = kClassPeriods[0];
  }
  result.si_max = std::max(result.si[0], result.si[1]);
  for (LongPeriodStep& step : result.lp_steps) step.lp_class = long_period_class(std::max(step.sva[0], step.sva[1]));
  const int larger = result.sva_max[1] > result.sva_max[0] ? 1 : 0;
  result.lp_sva = result.sva_max[larger];
  result.lp_period = result.sva_period[larger];
  result.lp_class = long_period_class(result.lp_sva);
  return result;
}

std::string_view ground_motion_fault_text(GroundMotionFault fault) {
  switch (fault) {
    case GroundMotionFault::none: return "no fault: the ground-motion values were computed";
    case GroundMotionFault::length_mismatch: return "the three components differ in length";
    case GroundMotionFault::too_long: return "the record is longer than the core computes (2^22 samples)";
    case GroundMotionFault::not_finite: return "a sample or the sampling interval is infinite or not a number";
    case GroundMotionFault::interval_not_positive: return "the sampling interval is 0 or negative";
    case GroundMotionFault::damping_out_of_range: return "the damping must lie strictly between 0 and 1";
    case GroundMotionFault::no_periods: return "the list of periods is empty";
    case GroundMotionFault::period_not_finite: return "a period is infinite or not a number";
    case GroundMotionFault::period_out_of_range:
      return "a period is 0, negative, or outside 0.000001 s to 1000000 s";
    case GroundMotionFault::highpass_not_finite: return "the high-pass corner is negative, infinite or not a number";
    case GroundMotionFault::highpass_above_nyquist:
      return "the high-pass corner is at or above the Nyquist frequency 1/(2 dt)";
    case GroundMotionFault::highpass_too_low:
      return "the high-pass corner is so low that the zeros put around the record would exceed 2^22 samples";
  }
  return "unknown fault";
}

std::span<const double> default_periods() { return kDefaultPeriods; }
std::span<const double> si_periods() { return kSiPeriods; }
std::span<const double> long_period_class_periods() { return kClassPeriods; }

std::int32_t long_period_class(double sva) {
  constexpr double kLowerBounds[] = {5.0, 15.0, 50.0, 100.0};
  std::int32_t c = 0;
  while (c < 4 && sva >= kLowerBounds[c]) ++c;
  return c;
}

}  // namespace v2
}  // namespace shindo
