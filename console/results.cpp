#include "console/results.h"

#include <cstdint>
#include <cstdlib>
#include <span>

#include "console/console.h"
#include "console/storage.h"
#include "numtext/writing.h"
#include "recio/report.h"
#include "recio/statement.h"

namespace console {

namespace {

constexpr std::int32_t kFileUnit = 11;
constexpr std::int32_t kResultsUnit = 10;

using shindo::Fault;
using shindo::Stage;

// The reports the floating-point traps and the checked mathematical
// functions of the computation give.
constexpr MathReport kMathReports[] = {
    {Fault::divide_by_zero, recio::MathError::FpDivideByZero, ""},
    {Fault::overflow, recio::MathError::FpOverflow, ""},
    {Fault::invalid, recio::MathError::FpInvalid, ""},
    {Fault::sqrt_domain, recio::MathError::Domain, "sqrt"},
    {Fault::log10_singularity, recio::MathError::Singularity, "log10"},
    {Fault::log10_domain, recio::MathError::Domain, "log10"},
};

// Ends the run with the report of the fault when the computation stopped in
// `stage`.
void report_if_stopped_in(const shindo::Intensity& result, Stage stage) {
  if (result.stage != stage) return;
  const MathReport* report = math_report(result.fault);
  // The console's records are finite and at most 2^15 samples long: the
  // core never refuses them.
  if (report == nullptr) std::abort();
  recio::raise_math_error(report->error, report->function);
}

void write_pair(std::int32_t unit, float first, float second) {
  recio::begin_write(unit, "(4E12.4)", -1);
  recio::write_real(first);
  recio::write_real(second);
  recio::end_write();
}

void write_result(std::int32_t unit, std::string_view label, float value) {
  recio::begin_write(unit);
  write_text(label);
  recio::write_real(value);
  recio::end_write();
}

void write_transform_size(const shindo::Intensity& result) {
  console_empty_line();
  recio::begin_write(recio::kConsoleOutput);
  write_text(" IF1,NF=");
  recio::write_integer(result.log2_size);
  recio::write_integer(result.transform_size);
  recio::end_write();
}

void write_frequency_grid(const shindo::Intensity& result) {
  console_empty_line();
  recio::begin_write(recio::kConsoleOutput);
  write_text(" DUR,DOM,NOM,EOM=");
  recio::write_real(result.duration);
  recio::write_real(result.frequency_step);
  recio::write_integer(result.filtered_bins);
  recio::write_real(result.top_frequency);
  recio::end_write();
}

// wave1_dat holds the samples computed before a fault of the vector stage,
// which then ends the run with the file closed.
void write_wave(const shindo::Intensity& result) {
  console_empty_line();
  console_text_line("wave1_dat (filtered wave):");
  recio::open_unit(kFileUnit, "wave1_dat", 9, "UNKNOWN", 7);
  std::int32_t sample_number = 0;
  for (const float value : result.wave) {
    write_pair(kFileUnit, numtext::sample_time(++sample_number, sampling_interval), value);
  }
  report_if_stopped_in(result, Stage::vector);
  recio::close_unit(kFileUnit);

  console_empty_line();
  write_result(recio::kConsoleOutput, " Amax of Filtered wave (gal) =", result.amax);
}

void write_levels(const shindo::Intensity& result) {
  console_empty_line();
  console_text_line("a0tau_dat (A0-Tau Relation):");
  recio::open_unit(kFileUnit, "a0tau_dat", 9, "UNKNOWN", 7);
  for (const shindo::LevelRow& row : result.levels) write_pair(kFileUnit, row.level, row.duration);
  recio::close_unit(kFileUnit);

  console_empty_line();
  write_result(recio::kConsoleOutput, " A0 (gal) =", result.a0);
  write_result(kResultsUnit, " A0 (gal) =", result.a0);
  report_if_stopped_in(result, Stage::intensity);
  write_result(recio::kConsoleOutput, " Shindo   =", result.shindo);
  write_result(kResultsUnit, " Shindo   =", result.shindo);
}

}  // namespace

const MathReport* math_report(Fault fault) {
  for (const MathReport& report : kMathReports) {
    if (report.fault == fault) return &report;
  }
  return nullptr;
}

void write_results(const shindo::Intensity& result) {
  write_transform_size(result);
  report_if_stopped_in(result, Stage::spectrum);
  write_frequency_grid(result);
  report_if_stopped_in(result, Stage::filter);
  write_wave(result);
  write_levels(result);
}

}  // namespace console
