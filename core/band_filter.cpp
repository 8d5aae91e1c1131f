#include "core/band_filter.h"

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <mutex>
#include <optional>

#include "core/fft.h"
#include "core/math.h"

namespace shindo::core {

namespace {

// Coefficients of the high-cut polynomial in y = FREQ/10, as the
// single-precision values of the decimal constants.
constexpr double kY2 = 0.694f;
constexpr double kY4 = 0.241f;
constexpr double kY6 = 0.0557f;
constexpr double kY8 = 0.009664f;
constexpr double kY10 = 0.00134f;
constexpr double kY12 = 0.000155f;

// (2 FREQ)^3 above which the low-cut factor is 1.
constexpr double kCubeOfFullLowCut = 40.0;

// The single-precision value nearest 2 pi.
constexpr double kTwoPi = 6.2831855f;

// The product of two floats is exact in double precision, so its one
// rounding to single precision is the single-precision product itself.
float scaled(float part, float factor) { return part * factor; }

void scale_bin(ComplexFloat& bin, float factor) {
  bin.re = scaled(bin.re, factor);
  bin.im = scaled(bin.im, factor);
}

void mirror_bin(std::span<ComplexFloat> spectrum, std::int32_t from, std::int32_t to) {
  spectrum[to - 1] = {spectrum[from - 1].re, -spectrum[from - 1].im};
}

// The three components share every twiddle factor of a transform.
void transform_all(std::int32_t NF, const ComponentSpectra& spectra, std::int32_t IND) {
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  transform_together(NF, arrays, IND);
}

// Tables kept, and the largest number of bins kept (512 KiB a table).
constexpr std::size_t kKeptTables = 8;
constexpr std::int32_t kLargestKeptBins = (std::int32_t{1} << 17) + 1;

// Computes the table in the default floating-point environment with clear
// flags, notes the exceptions raised, and gives the caller's environment
// back untouched.
FilterTable computed_table(std::int32_t NOM, float DUR) {
  std::fenv_t caller;
  std::fegetenv(&caller);
  std::fesetenv(FE_DFL_ENV);
  FilterTable table;
  table.FILT.reserve(static_cast<std::size_t>(NOM));
  for (std::int32_t I = 1; I <= NOM; ++I) {
    const FilterFactors f = filter_factors(I, DUR);
    if (f.fault != Fault::none) {
      table.fault = f.fault;
      break;
    }
    table.FILT.push_back(f.FILT);
  }
  table.raised = std::fetestexcept(FE_ALL_EXCEPT & ~FE_INEXACT);
  std::fesetenv(&caller);
  return table;
}

// The kept tables, the most recently used first; a function-local static
// under its own lock, the only state shared between computations.
struct KeptTable {
  std::int32_t NOM = 0;
  float DUR = 0.0f;
  std::shared_ptr<const FilterTable> table;
};

struct KeptTables {
  std::mutex lock;
  std::vector<KeptTable> tables;
};

// The table of NOM bins at DUR, with the exceptions its computation raised
// raised again, as if its factors were computed here.
std::shared_ptr<const FilterTable> raised_table(std::int32_t NOM, float DUR) {
  std::shared_ptr<const FilterTable> table = filter_table(NOM, DUR);
  if (table->raised != 0) std::feraiseexcept(table->raised);
  return table;
}

// Multiplies bin `at` of each spectrum by the factor.
void filter_bin(const ComponentSpectra& spectra, std::size_t at, float factor) {
  scale_bin(spectra.spec1[at], factor);
  scale_bin(spectra.spec2[at], factor);
  scale_bin(spectra.spec3[at], factor);
}

}  // namespace

FilterFactors filter_factors(std::int32_t I, float DUR) {
  FilterFactors f{};
  f.FREQ = static_cast<float>(static_cast<double>(I) / DUR);
  const MathValue period = checked_sqrt(1.0 / f.FREQ);
  f.fault = period.fault;
  if (f.fault != Fault::none) return f;
  f.PERF = static_cast<float>(period.value);

  const float y = static_cast<float>(f.FREQ / 10.0);
  const float y2 = static_cast<float>(static_cast<double>(y) * y);
  const float y4 = static_cast<float>(static_cast<double>(y2) * y2);
  const float y6 = static_cast<float>(static_cast<double>(y4) * y2);
  const float y8 = static_cast<float>(static_cast<double>(y4) * y4);
  const float y10 = static_cast<float>(static_cast<double>(y6) * y4);
  const float y12 = static_cast<float>(static_cast<double>(y8) * y4);
  // Highest power first; the y^2 term comes before the y^4 term and 1 last.
  const double S = kY12 * y12 + kY10 * y10 + kY8 * y8 + kY6 * y6 + kY2 * y2 + kY4 * y4 + 1.0;
  f.HCUT = static_cast<float>(1.0 / std::sqrt(S));

  const double twice = 2.0 * f.FREQ;
  const double cube = twice * twice * twice;
  // Beyond this cube exp(-cube) lies below 2^-57, so 1 - exp(-cube) rounds
  // to 1 in double precision and the factor is exactly 1. S >= 1 and
  // 1 - exp(-cube) >= 0: neither root has a fault.
  f.LCUT = cube > kCubeOfFullLowCut ? 1.0f : static_cast<float>(std::sqrt(1.0 - exponential(-cube)));

  f.FILT = static_cast<float>(static_cast<double>(f.LCUT) * f.PERF * f.HCUT);
  return f;
}

std::shared_ptr<const FilterTable> filter_table(std::int32_t NOM, float DUR) {
  if (NOM > kLargestKeptBins) return std::make_shared<const FilterTable>(computed_table(NOM, DUR));
  static KeptTables kept;
  const std::lock_guard<std::mutex> hold(kept.lock);
  std::vector<KeptTable>& tables = kept.tables;
  for (std::size_t k = 0; k < tables.size(); ++k) {
    // The same bits of DUR: -0 and +0 are different intervals here.
    if (tables[k].NOM == NOM && std::bit_cast<std::uint32_t>(tables[k].DUR) == std::bit_cast<std::uint32_t>(DUR)) {
      std::rotate(tables.begin(), tables.begin() + static_cast<std::ptrdiff_t>(k),
                  tables.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      return tables.front().table;
    }
  }
  if (tables.size() == kKeptTables) tables.pop_back();
  tables.insert(tables.begin(), {NOM, DUR, std::make_shared<const FilterTable>(computed_table(NOM, DUR))});
  return tables.front().table;
}

float record_duration(std::int32_t NF, float DT) {
  return static_cast<float>(static_cast<double>(NF) * DT);
}

FrequencyStep frequency_step(std::int32_t NF, float DUR) {
  FrequencyStep step{};
  step.DOM = static_cast<float>(kTwoPi / DUR);
  step.NOM = NF / 2 + 1;
  step.EOM = static_cast<float>(static_cast<double>(step.NOM) * step.DOM);
  return step;
}

float transform_forward(const Components& samples, std::int32_t NT, std::int32_t NF, float DT,
                        const ComponentSpectra& spectra) {
  // One component at a time: the runs of the blocks of one array alone fit
  // the cache's sets.
  const Packed packed = pack_real(NF, samples.acc1.first(static_cast<std::size_t>(NT)), spectra.spec1.data());
  static_cast<void>(pack_real(NF, samples.acc2.first(static_cast<std::size_t>(NT)), spectra.spec2.data()));
  static_cast<void>(pack_real(NF, samples.acc3.first(static_cast<std::size_t>(NT)), spectra.spec3.data()));
  // Every bin is scaled by DT as the last stage leaves it.
  ComplexFloat* const arrays[] = {spectra.spec1.data(), spectra.spec2.data(), spectra.spec3.data()};
  transform_stages(NF, arrays, kForward, DT, packed);
  return record_duration(NF, DT);
}

Fault filter_spectra(std::int32_t NOM, float DUR, const ComponentSpectra& spectra) {
  const std::shared_ptr<const FilterTable> table = raised_table(NOM, DUR);
  for (std::size_t at = 0; at < table->FILT.size(); ++at) filter_bin(spectra, at, table->FILT[at]);
  return table->fault;
}

void complete_conjugates(std::int32_t NF, const ComponentSpectra& spectra) {
  for (std::int32_t I = 2; I <= NF / 2; ++I) {
    const std::int32_t mirror = NF + 2 - I;
    mirror_bin(spectra.spec1, I, mirror);
    mirror_bin(spectra.spec2, I, mirror);
    mirror_bin(spectra.spec3, I, mirror);
  }
}

Fault filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR, const ComponentSpectra& spectra) {
  if (const Fault fault = filter_spectra(NOM, DUR, spectra); fault != Fault::none) return fault;
  complete_conjugates(NF, spectra);
  transform_all(NF, spectra, kInverse);
  return Fault::none;
}

Fault filter_and_invert(std::int32_t NF, std::int32_t NOM, float DUR, const ComponentSpectra& spectra,
                        const ComponentSpectra& filtered) {
  const std::shared_ptr<const FilterTable> table = raised_table(NOM, DUR);
  // A fault stops the filter at its first bin, before any product.
  if (table->fault != Fault::none) return table->fault;
  const std::span<const float> FILT = table->FILT;
  const auto bins = static_cast<std::size_t>(NOM);
  // Bins NOM+1..NF (from 1) are the conjugates of the filtered bins NF/2..2.
  const Packed packed = pack_hermitian(NF, spectra.spec1.first(bins), FILT, filtered.spec1.data());
  static_cast<void>(pack_hermitian(NF, spectra.spec2.first(bins), FILT, filtered.spec2.data()));
  static_cast<void>(pack_hermitian(NF, spectra.spec3.first(bins), FILT, filtered.spec3.data()));
  ComplexFloat* const arrays[] = {filtered.spec1.data(), filtered.spec2.data(), filtered.spec3.data()};
  transform_stages(NF, arrays, kInverse, std::nullopt, packed);
  return Fault::none;
}

}  // namespace shindo::core
