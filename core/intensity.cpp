// compute_intensity: the stages in the console program's order, each one's
// faults read from the floating-point flags (or from the checked functions)
// before the next begins.
#include "shindo/compute.h"

#include <bit>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

#include "core/band_filter.h"
#include "core/complex.h"
#include "core/fft.h"
#include "core/fp_environment.h"
#include "core/level_scan.h"
#include "core/vector_wave.h"

namespace shindo {
inline namespace v2 {

namespace {

using core::ComplexFloat;

// Whether no value is infinite or NaN: no value has every exponent bit set
// (integer work on the bit patterns, which the compiler takes many at a time).
bool all_finite(std::span<const float> values) {
  constexpr std::uint32_t kExponent = 0x7F800000u;
  std::uint32_t finite = 1;
  for (const float value : values) finite &= (std::bit_cast<std::uint32_t>(value) & kExponent) != kExponent;
  return finite != 0;
}

Fault refusal(const Record& record) {
  if (!record.same_length()) return Fault::length_mismatch;
  if (record.acc1.size() > kMaxSamples) return Fault::too_long;
  if (!std::isfinite(record.dt) || !all_finite(record.acc1) || !all_finite(record.acc2) ||
      !all_finite(record.acc3)) {
    return Fault::not_finite;
  }
  return Fault::none;
}

// The work arrays begin at a cache line, so that the transform's packing
// writes whole lines.
constexpr std::size_t kCacheLine = 64;

struct LineAlignedDelete {
  void operator()(ComplexFloat* p) const { ::operator delete[](p, std::align_val_t{kCacheLine}); }
};

Intensity& stopped(Intensity& result, Fault fault, Stage stage) {
  result.fault = fault;
  result.stage = stage;
  return result;
}

// The place of the first infinite value: where the first overflow of the
// vector stage happened (an overflow rounds to infinity, and no value before
// it is infinite).
std::size_t first_infinite(std::span<const float> values) {
  std::size_t place = 0;
  while (place < values.size() && !std::isinf(values[place])) ++place;
  return place;
}

}  // namespace

Intensity compute_intensity(const Record& record) {
  Intensity result;
  if (const Fault fault = refusal(record); fault != Fault::none) return stopped(result, fault, Stage::input);

  const auto NT = static_cast<std::int32_t>(record.acc1.size());
  const float DT = record.dt;
  result.samples = NT;
  result.dt = DT;
  const core::TransformSize size = core::transform_size(NT);
  const std::int32_t NF = size.NF;
  result.log2_size = size.IF1;
  result.transform_size = NF;

  const core::DefaultEnvironment environment;

  // One block holds the three spectra and the three filtered arrays, each
  // filled before it is read. Each array begins one cache line
  // after a multiple of the transform size: arrays a power of two apart
  // would meet in the same few cache sets when the filter reads one and
  // writes another.
  const auto slots = static_cast<std::size_t>(NF);
  constexpr std::size_t kLine = kCacheLine / sizeof(ComplexFloat);
  const auto stride = slots + kLine;
  const std::unique_ptr<ComplexFloat[], LineAlignedDelete> work(
      new (std::align_val_t{kCacheLine}) ComplexFloat[6 * stride]);
  const auto arrays = [&work, slots, stride](std::size_t first) {
    return core::ComponentSpectra{std::span<ComplexFloat>(work.get() + first * stride, slots),
                                  std::span<ComplexFloat>(work.get() + (first + 1) * stride, slots),
                                  std::span<ComplexFloat>(work.get() + (first + 2) * stride, slots)};
  };
  const core::ComponentSpectra spectra = arrays(0);
  const core::ComponentSpectra filtered = arrays(3);

  // Packing, forward transforms, DUR, scaling by DT, DOM, NOM and EOM.
  float DUR = core::transform_forward(record, NT, NF, DT, spectra);
  core::FrequencyStep step = core::frequency_step(NF, DUR);
  core::settle_stores(work.get());
  core::settle(DUR);
  core::settle(step);
  if (const Fault fault = core::raised_fault(); fault != Fault::none) return stopped(result, fault, Stage::spectrum);
  result.duration = DUR;
  result.frequency_step = step.DOM;
  result.filtered_bins = step.NOM;
  result.top_frequency = step.EOM;

  // Band filter, conjugate completion, inverse transforms.
  const Fault filter_fault = core::filter_and_invert(NF, step.NOM, DUR, spectra, filtered);
  core::settle_stores(work.get());
  if (const Fault fault = core::raised_fault(); fault != Fault::none) return stopped(result, fault, Stage::filter);
  if (filter_fault != Fault::none) return stopped(result, filter_fault, Stage::filter);

  // Vector acceleration and its peak; only an overflow can stop it.
  result.wave.resize(static_cast<std::size_t>(NT));
  float amax = core::compose_vector(filtered, NT, DUR, result.wave);
  core::settle_stores(result.wave.data());
  core::settle(amax);
  if (const Fault fault = core::raised_fault(); fault != Fault::none) {
    result.wave.resize(first_infinite(result.wave));
    return stopped(result, fault, Stage::vector);
  }
  result.amax = amax;

  // Levels and A0: finite values against finite levels, and every duration
  // at most NT * DT <= DUR, which is finite: no fault can arise here.
  result.levels.reserve(kLevels);
  const std::optional<float> level =
      core::scan_levels(result.wave, amax, DT, [&result, DT](float ALEVEL, std::int32_t NOVER) {
        result.levels.push_back({ALEVEL, NOVER, core::exceedance_time(NOVER, DT)});
      });
  result.a0 = level.value_or(0.0f);

  const core::IntensityValue value = core::intensity_value(result.a0);
  if (value.fault != Fault::none) return stopped(result, value.fault, Stage::intensity);
  result.shindo = value.shindo;
  return result;
}

std::string_view fault_text(Fault fault) noexcept {
  switch (fault) {
    case Fault::none: return "no fault: the intensity was computed";
    case Fault::length_mismatch: return "the three components differ in length";
    case Fault::too_long: return "the record is longer than the core computes (2^22 samples)";
    case Fault::not_finite: return "a sample or the sampling interval is infinite or not a number";
    case Fault::divide_by_zero: return "division by zero: the sampling interval is 0";
    case Fault::overflow: return "overflow: a value grew too large for a float";
    case Fault::invalid: return "invalid floating-point operation";
    case Fault::sqrt_domain: return "square root of a negative frequency: the sampling interval is negative";
    case Fault::log10_singularity: return "log10 of 0: no level lasts more than 0.299 s";
    case Fault::log10_domain: return "log10 of a negative level: only the lowest level lasts more than 0.299 s";
  }
  return "unknown fault";
}

std::string_view stage_name(Stage stage) noexcept {
  switch (stage) {
    case Stage::none: return "none";
    case Stage::input: return "input";
    case Stage::spectrum: return "spectrum";
    case Stage::filter: return "filter";
    case Stage::vector: return "vector";
    case Stage::level_scan: return "level scan";
    case Stage::intensity: return "intensity";
  }
  return "unknown";
}

float peak_vector(const Components& components) noexcept {
  // The root is monotonic and correctly rounded: one root of the largest sum
  // of squares is the largest root.
  double peak_square = 0.0;
  for (std::size_t i = 0; i < components.acc1.size(); ++i) {
    const double x = components.acc1[i], y = components.acc2[i], z = components.acc3[i];
    const double square = x * x + y * y + z * z;
    peak_square = square > peak_square ? square : peak_square;
  }
  return static_cast<float>(std::sqrt(peak_square));
}

std::string describe_fault(Fault fault, Stage stage) {
  std::string text(fault_text(fault));
  text += " (";
  text += stage_name(stage);
  text += ')';
  return text;
}

}  // namespace v2
}  // namespace shindo
