#include "core/level_scan.h"

// GCC 12 takes the unused merge source of its AVX-512 conversion intrinsics
// (an undefined vector) for a value read before it is set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

#include "core/fft_kernels.h"
#include "core/math.h"

namespace shindo::core {

namespace {

// Exceedance time above which a level qualifies (s), and the intensity offset,
// as single-precision values.
constexpr double kDurationThreshold = 0.299f;
constexpr double kIntensityOffset = 0.943f;

// Counts are kept in four tables, one for every fourth sample, and summed at
// the end: neighbouring samples of a wave often meet the same level, and one
// table would make each increment wait for the one before.
constexpr std::size_t kTables = 4;

// The levels with a sentinel at each end: bounds[0] = +inf, bounds[J] = level
// J for J = 1..NLEVEL, bounds[NLEVEL + 1] = -inf. A finite sample v belongs
// at the one J in 1..NLEVEL + 1 with bounds[J - 1] >= v > bounds[J]: the
// first level it exceeds, NLEVEL + 1 when it exceeds none.
using Bounds = std::array<float, NLEVEL + 2>;

bool belongs(const Bounds& bounds, std::size_t J, float v) { return bounds[J - 1] >= v && bounds[J] < v; }

// The place of v found by halving, for samples whose guess missed.
std::size_t searched_place(const Bounds& bounds, float v) {
  const auto first = std::partition_point(bounds.begin() + 1, bounds.end() - 1, [v](float level) { return level >= v; });
  return static_cast<std::size_t>(first - bounds.begin());
}

// The guess of v's place: floor((Amax - v) / DA) + 1, within 1..NLEVEL + 1.
std::size_t guessed_place(float v, double top, double reciprocal) {
  const double below = (top - v) * reciprocal + 1.0;
  return below < 1.0 ? 1 : below > NLEVEL + 1 ? NLEVEL + 1 : static_cast<std::size_t>(below);
}

// The guesses of at most kGuessed samples, eight at a time with AVX-512: the
// same operations as guessed_place, lane by lane. Returns how many it made
// (a multiple of eight).
constexpr std::size_t kGuessed = 256;
using Guesses = std::array<std::int32_t, kGuessed>;

[[gnu::target("avx512f")]] std::size_t avx512_guesses(std::span<const float> run, double top, double reciprocal,
                                                      Guesses& guesses) {
  const __m512d peak = _mm512_set1_pd(top), scale = _mm512_set1_pd(reciprocal), one = _mm512_set1_pd(1.0);
  const __m512d last = _mm512_set1_pd(NLEVEL + 1);
  std::size_t i = 0;
  for (; i + 8 <= run.size(); i += 8) {
    const __m512d v = _mm512_cvtps_pd(_mm256_loadu_ps(&run[i]));
    const __m512d below = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(peak, v), scale), one);
    const __m512d within = _mm512_min_pd(_mm512_max_pd(below, one), last);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(&guesses[i]), _mm512_cvttpd_epi32(within));
  }
  return i;
}

// guessed_place of each sample of `run` (at most kGuessed).
void guess_places(std::span<const float> run, double top, double reciprocal, Guesses& guesses) {
  std::size_t done = 0;
  if (preferred_kernel() == ButterflyKernel::Avx512) done = avx512_guesses(run, top, reciprocal, guesses);
  for (std::size_t i = done; i < run.size(); ++i) {
    guesses[i] = static_cast<std::int32_t>(guessed_place(run[i], top, reciprocal));
  }
}

}  // namespace

float level_step(float Amax) {
  return static_cast<float>(static_cast<double>(Amax) / NLEVEL);
}

float level_at(float Amax, float DA, std::int32_t J) {
  return static_cast<float>(static_cast<double>(Amax) - static_cast<double>(J) * DA);
}

LevelCounts count_levels(std::span<const float> samples, float Amax) {
  LevelCounts counts{};
  const float DA = level_step(Amax);
  Bounds bounds{};
  bounds.front() = std::numeric_limits<float>::infinity();
  bounds.back() = -std::numeric_limits<float>::infinity();
  for (std::int32_t J = 1; J <= NLEVEL; ++J) {
    bounds[static_cast<std::size_t>(J)] = counts.ALEVEL[static_cast<std::size_t>(J - 1)] = level_at(Amax, DA, J);
  }
  // Level J lies near Amax - J DA, so v usually belongs at floor((Amax - v) /
  // DA) + 1, or next to it; the guess only saves the search and never decides
  // a count. Its arithmetic raises no exception that a caller would see as a
  // fault: with DA > 0 the quotient of two finite values below 2 Amax is
  // finite and only inexact.
  const bool guessing = DA > 0.0f;
  const double reciprocal = guessing ? 1.0 / DA : 0.0;
  const double top = Amax;
  std::array<std::array<std::int32_t, NLEVEL + 2>, kTables> placed{};
  Guesses guesses;
  for (std::size_t first = 0; first < samples.size(); first += kGuessed) {
    const std::span<const float> run = samples.subspan(first, std::min(kGuessed, samples.size() - first));
    if (guessing) {
      guess_places(run, top, reciprocal, guesses);
    } else {
      guesses.fill(1);
    }
    for (std::size_t k = 0; k < run.size(); ++k) {
      const float v = run[k];
      auto J = static_cast<std::size_t>(guesses[k]);
      if (!belongs(bounds, J, v)) {
        if (J > 1 && belongs(bounds, J - 1, v)) {
          --J;
        } else if (J <= NLEVEL && belongs(bounds, J + 1, v)) {
          ++J;
        } else {
          J = searched_place(bounds, v);
        }
      }
      // kGuessed is a multiple of kTables: k and first + k take the same table.
      ++placed[k % kTables][J];
    }
  }
  std::int32_t above = 0;
  for (std::size_t J = 1; J <= NLEVEL; ++J) {
    for (const auto& table : placed) above += table[J];
    counts.NOVER[J - 1] = above;
  }
  return counts;
}

float exceedance_time(std::int32_t NOVER, float DT) {
  return static_cast<float>(static_cast<double>(NOVER) * DT);
}

bool lasts_long_enough(std::int32_t NOVER, float DT) {
  return static_cast<double>(NOVER) * DT > kDurationThreshold;
}

IntensityValue intensity_value(float A0) {
  const MathValue logarithm = checked_log10(A0);
  if (logarithm.fault != Fault::none) return {0.0f, logarithm.fault};
  return {static_cast<float>(2.0 * logarithm.value + kIntensityOffset), Fault::none};
}

}  // namespace shindo::core
