#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/band_filter.h"

namespace {

using namespace shindo::core;
using shindo::core::ComplexFloat;

constexpr float kDT = 0.01f;

// A value as the tables of worked values show it: 7 significant digits,
// trailing zeros dropped.
std::string shown(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
  return text;
}

struct FilterRow {
  std::int32_t I;
  const char *FREQ, *PERF, *HCUT, *LCUT, *FILT;
};

TEST(BandFilter, FactorsOfARecordOf4096SamplesAtOneHundredthSecond) {
  const float duration = record_duration(4096, kDT);
  const FilterRow rows[] = {
      {1, "0.02441406", "6.4", "0.9999979", "0.01078928", "0.06905124"},
      {2, "0.04882812", "4.525484", "0.9999917", "0.03051047", "0.1380735"},
      {21, "0.5126953", "1.396595", "0.9990883", "0.81226", "1.133364"},
      {41, "1.000977", "0.9995121", "0.9965292", "0.9998361", "0.9958798"},
      {410, "10.00977", "0.3160735", "0.7062992", "1", "0.2232425"},
      {2049, "50.02441", "0.1413868", "0.004224036", "1", "0.0005972231"},
  };
  for (const FilterRow& row : rows) {
    SCOPED_TRACE("I=" + std::to_string(row.I));
    const FilterFactors f = filter_factors(row.I, duration);
    EXPECT_EQ(shown(f.FREQ), row.FREQ);
    EXPECT_EQ(shown(f.PERF), row.PERF);
    EXPECT_EQ(shown(f.HCUT), row.HCUT);
    EXPECT_EQ(shown(f.LCUT), row.LCUT);
    EXPECT_EQ(shown(f.FILT), row.FILT);
  }
}

// The low-cut factor of every filtered bin against its formula carried out in
// full, for records whose bins run from far below to far above the
// frequencies where the factor reaches 1.
TEST(BandFilter, LowCutEqualsItsFormulaAtEveryBin) {
  const std::pair<std::int32_t, float> records[] = {
      {4096, 0.01f}, {32768, 0.005f}, {64, 1.0f}, {4, 0.01f}, {1024, 0.3f}};
  for (const auto& [NF, DT] : records) {
    const float duration = record_duration(NF, DT);
    for (std::int32_t I = 1; I <= frequency_step(NF, duration).NOM; ++I) {
      const double twice = 2.0 * filter_factors(I, duration).FREQ;
      const float expected = static_cast<float>(std::sqrt(1.0 - std::exp(-(twice * twice * twice))));
      ASSERT_EQ(std::bit_cast<std::uint32_t>(filter_factors(I, duration).LCUT),
                std::bit_cast<std::uint32_t>(expected))
          << "NF=" << NF << " DT=" << DT << " bin " << I;
    }
  }
}

struct GridRow {
  std::int32_t NF;
  float DUR, DOM;
  std::int32_t NOM;
  float EOM;
};

TEST(BandFilter, FrequencyGridOfTheRecord) {
  const GridRow rows[] = {
      {4096, 40.959999f, 0.15339808f, 2049, 314.31268f},
      {32768, 327.67999f, 0.01917476f, 16385, 314.17844f},
      {4, 0.04f, 157.07964f, 3, 471.23892f},
  };
  for (const GridRow& row : rows) {
    SCOPED_TRACE("NF=" + std::to_string(row.NF));
    const float duration = record_duration(row.NF, kDT);
    EXPECT_FLOAT_EQ(duration, row.DUR);
    const FrequencyStep step = frequency_step(row.NF, duration);
    EXPECT_FLOAT_EQ(step.DOM, row.DOM);
    EXPECT_EQ(step.NOM, row.NOM);
    EXPECT_FLOAT_EQ(step.EOM, row.EOM);
  }
}

// Spectra over owned arrays of the transform size.
struct Work {
  std::vector<ComplexFloat> s1, s2, s3;
  explicit Work(std::size_t n) : s1(n), s2(n), s3(n) {}
  ComponentSpectra spectra() { return {s1, s2, s3}; }
};

TEST(BandFilter, PaddingReplacesWhateverTheWorkArraysHeld) {
  std::vector<float> samples(5, 1.0f);
  Work fresh(8);
  Work stale(8);
  for (ComplexFloat& v : stale.s1) v = {7.0f, 7.0f};
  const float a = transform_forward({samples, samples, samples}, 5, 8, kDT, fresh.spectra());
  const float b = transform_forward({samples, samples, samples}, 5, 8, kDT, stale.spectra());
  EXPECT_EQ(a, b);
  for (std::size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(fresh.s1[k].re, stale.s1[k].re);
    EXPECT_EQ(fresh.s1[k].im, stale.s1[k].im);
  }
}

TEST(BandFilter, CompletionMirrorsTheLowerHalfOnly) {
  for (const std::int32_t NF : {4, 8, 64}) {
    SCOPED_TRACE("NF=" + std::to_string(NF));
    Work work(static_cast<std::size_t>(NF));
    for (std::int32_t k = 0; k < NF; ++k) {
      work.s1[k] = {static_cast<float>(k + 1), static_cast<float>(-(k + 1))};
      work.s2[k] = {static_cast<float>(10 * k), 0.5f};
      work.s3[k] = {0.0f, static_cast<float>(k)};
    }
    const Work before = work;
    complete_conjugates(NF, work.spectra());
    for (std::int32_t I = 1; I <= NF; ++I) {
      const std::int32_t source = I <= NF / 2 + 1 ? I : NF + 2 - I;
      const float sign = I <= NF / 2 + 1 ? 1.0f : -1.0f;
      for (const auto& [after, was] : {std::pair{&work.s1, &before.s1}, {&work.s2, &before.s2}, {&work.s3, &before.s3}}) {
        ASSERT_EQ((*after)[I - 1].re, (*was)[source - 1].re) << "bin " << I;
        ASSERT_EQ((*after)[I - 1].im, sign * (*was)[source - 1].im) << "bin " << I;
      }
    }
  }
}

// The kept table holds the factors filter_factors gives bin by bin, the
// fault of a negative duration at the first bin, and the exceptions raised
// while they were computed, raised again at each use.
TEST(BandFilter, KeptTableHoldsEachBinsFactorAndItsFault) {
  struct Row {
    std::int32_t NOM;
    float DUR;
    std::size_t factors;
    shindo::Fault fault;
  };
  const Row rows[] = {{3, 0.04f, 3, shindo::Fault::none},
                      {16385, 327.68f, 16385, shindo::Fault::none},
                      {4097, 40.96f * 0.005f, 4097, shindo::Fault::none},
                      {3, -0.04f, 0, shindo::Fault::sqrt_domain},
                      {(1 << 17) + 2, 1310.72f, (1 << 17) + 2, shindo::Fault::none}};  // above the kept size
  for (const Row& row : rows) {
    SCOPED_TRACE("NOM=" + std::to_string(row.NOM) + " DUR=" + std::to_string(row.DUR));
    for (int use = 0; use < 2; ++use) {  // computed, then kept
      const auto table = filter_table(row.NOM, row.DUR);
      ASSERT_EQ(table->FILT.size(), row.factors);
      EXPECT_EQ(table->fault, row.fault);
      for (std::size_t at = 0; at < table->FILT.size(); at += 1 + at / 7) {
        ASSERT_EQ(std::bit_cast<std::uint32_t>(table->FILT[at]),
                  std::bit_cast<std::uint32_t>(filter_factors(static_cast<std::int32_t>(at + 1), row.DUR).FILT))
            << "bin " << at + 1;
      }
    }
  }
}

TEST(BandFilter, KeptTableRaisesItsOverflowAtEveryUse) {
  // A duration so short that the frequency of every bin overflows.
  const float tiny = 1e-45f;
  for (int use = 0; use < 2; ++use) {
    std::feclearexcept(FE_ALL_EXCEPT);
    Work work(8);
    const shindo::Fault fault = filter_spectra(5, tiny, work.spectra());
    EXPECT_EQ(fault, shindo::Fault::none);
    EXPECT_NE(std::fetestexcept(FE_OVERFLOW), 0) << "use " << use;
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(filter_table(5, tiny)->raised & FE_OVERFLOW, FE_OVERFLOW);
  }
}

// Filtering into a second set of arrays in the transform's order gives the
// bits that filtering in place, completing and transforming back give.
TEST(BandFilter, FilteringIntoSecondArraysGivesTheInPlaceBits) {
  struct Row {
    std::int32_t NT;
    std::int32_t NF;
    float DT;
  };
  const Row rows[] = {{3, 4, 0.01f}, {5, 8, 0.02f}, {3000, 4096, 0.005f}, {30000, 32768, 0.01f}, {70000, 131072, 0.01f}};
  for (const Row& row : rows) {
    SCOPED_TRACE("NF=" + std::to_string(row.NF));
    std::vector<float> a(row.NT), b(row.NT), c(row.NT);
    for (std::int32_t i = 0; i < row.NT; ++i) {
      a[i] = static_cast<float>(std::sin(0.37 * i) * 120.0);
      b[i] = static_cast<float>(std::cos(0.11 * i) * 80.0 - 3.0);
      c[i] = i % 13 == 0 ? -0.0f : static_cast<float>(i % 7) - 3.0f;
    }
    Work spectra(static_cast<std::size_t>(row.NF)), in_place(static_cast<std::size_t>(row.NF)),
        into(static_cast<std::size_t>(row.NF));
    const float DUR = transform_forward({a, b, c}, row.NT, row.NF, row.DT, spectra.spectra());
    const std::int32_t NOM = frequency_step(row.NF, DUR).NOM;
    in_place = spectra;
    ASSERT_EQ(filter_and_invert(row.NF, NOM, DUR, in_place.spectra()), shindo::Fault::none);
    ASSERT_EQ(filter_and_invert(row.NF, NOM, DUR, spectra.spectra(), into.spectra()), shindo::Fault::none);
    for (const auto& [got, want] : {std::pair{&into.s1, &in_place.s1}, {&into.s2, &in_place.s2}, {&into.s3, &in_place.s3}}) {
      for (std::size_t k = 0; k < got->size(); ++k) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>((*got)[k]), std::bit_cast<std::uint64_t>((*want)[k])) << "element " << k;
      }
    }
  }
}

TEST(BandFilter, FilteringIntoSecondArraysStopsAtANegativeDuration) {
  Work spectra(8), into(8);
  EXPECT_EQ(filter_and_invert(8, 5, -0.08f, spectra.spectra(), into.spectra()), shindo::Fault::sqrt_domain);
}

}  // namespace
