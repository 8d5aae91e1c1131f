#include "intensity/level_scan.h"

#include <algorithm>
#include <string_view>

#include "intensity/console.h"
#include "intensity/storage.h"
#include "recio/run_end.h"
#include "recio/statement.h"

namespace intensity {

namespace {

constexpr std::int32_t kTableUnit = 11;
constexpr std::int32_t kResultsUnit = 10;

// Exceedance time above which a level qualifies (s), and the intensity offset,
// as single-precision values.
constexpr double kDurationThreshold = 0.299f;
constexpr double kIntensityOffset = 0.943f;

void write_level_record(float ALEVEL, std::int32_t NOVER) {
  recio::begin_write(kTableUnit, "(4E12.4)", -1);
  recio::write_real(ALEVEL);
  recio::write_real(exceedance_time(NOVER, DT));
  recio::end_write();
}

void write_result(std::int32_t unit, std::string_view label, float value) {
  recio::begin_write(unit);
  write_text(label);
  recio::write_real(value);
  recio::end_write();
}

}  // namespace

float level_step(float Amax) {
  return static_cast<float>(static_cast<double>(Amax) / NLEVEL);
}

float level_at(float Amax, float DA, std::int32_t J) {
  return static_cast<float>(static_cast<double>(Amax) - static_cast<double>(J) * DA);
}

void sort_samples(std::span<const float> samples, std::span<float> sorted) {
  const auto end = std::copy(samples.begin(), samples.end(), sorted.begin());
  std::sort(sorted.begin(), end);
}

std::int32_t count_above(std::span<const float> sorted, float level) {
  const auto first_above = std::upper_bound(sorted.begin(), sorted.end(), level);
  return static_cast<std::int32_t>(sorted.end() - first_above);
}

float exceedance_time(std::int32_t NOVER, float DT) {
  return static_cast<float>(static_cast<double>(NOVER) * DT);
}

bool lasts_long_enough(std::int32_t NOVER, float DT) {
  return static_cast<double>(NOVER) * DT > kDurationThreshold;
}

float intensity_value(float A0) {
  return static_cast<float>(2.0 * recio::LOG10(A0) + kIntensityOffset);
}

void level_scan_stage() {
  console_empty_line();
  console_text_line("a0tau_dat (A0-Tau Relation):");

  recio::open_unit(kTableUnit, "a0tau_dat", 9, "UNKNOWN", 7);
  const std::span<const float> samples = std::span<const float>(AVEC).first(NT);
  // A0 keeps its initial zero when no level qualifies.
  if (const std::optional<float> level = scan_levels(samples, Amax, DT, AVEC_SORTED, write_level_record)) {
    A0 = *level;
  }
  recio::close_unit(kTableUnit);

  console_empty_line();
  write_result(recio::kConsoleOutput, " A0 (gal) =", A0);
  write_result(kResultsUnit, " A0 (gal) =", A0);
  Shindo = intensity_value(A0);
  write_result(recio::kConsoleOutput, " Shindo   =", Shindo);
  write_result(kResultsUnit, " Shindo   =", Shindo);
}

}  // namespace intensity
