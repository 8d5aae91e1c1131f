#include "core/level_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <utility>

#include "core/math.h"

namespace shindo::core {

namespace {

// Exceedance time above which a level qualifies (s), and the intensity offset,
// as single-precision values.
constexpr double kDurationThreshold = 0.299f;
constexpr double kIntensityOffset = 0.943f;

// The samples are sorted by a radix sort on the bits of their order keys,
// least significant digit first: integer work only, so the order is exactly
// that of the values whatever their distribution. Each pass moves the values
// stably by one digit from one array to another: the samples to the sorted
// copy, the copy to a scratch array, the scratch array back to the copy.
constexpr std::int32_t kDigitBits = 11;
constexpr std::size_t kDigitValues = std::size_t{1} << kDigitBits;
constexpr std::int32_t kPasses = 3;  // 11 + 11 + 10 bits

using DigitPlaces = std::array<std::uint32_t, kDigitValues>;

// The bit pattern of `value` turned into an unsigned integer that increases
// with the value: a pattern with the sign bit clear gets it set, one with
// the sign bit set has every bit inverted. -0 comes just before +0, which
// compare equal as floats, so counts against levels are not affected.
std::uint32_t order_key(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  return bits ^ ((bits >> 31) != 0 ? 0xFFFFFFFFu : 0x80000000u);
}

std::size_t digit(std::uint32_t key, std::int32_t pass) {
  return (key >> (kDigitBits * pass)) & (kDigitValues - 1);
}

// Moves every value of `from` to the next place of its digit in `to`.
void distribute(std::span<const float> from, std::span<float> to, DigitPlaces& next, std::int32_t pass) {
  for (const float value : from) to[next[digit(order_key(value), pass)]++] = value;
}

}  // namespace

float level_step(float Amax) {
  return static_cast<float>(static_cast<double>(Amax) / NLEVEL);
}

float level_at(float Amax, float DA, std::int32_t J) {
  return static_cast<float>(static_cast<double>(Amax) - static_cast<double>(J) * DA);
}

void sort_samples(std::span<const float> samples, std::span<float> sorted, std::span<float> scratch) {
  // The first place of each digit value in each pass: the counts of the
  // smaller digit values.
  std::array<DigitPlaces, kPasses> places{};
  for (const float value : samples) {
    const std::uint32_t key = order_key(value);
    for (std::int32_t pass = 0; pass < kPasses; ++pass) ++places[pass][digit(key, pass)];
  }
  for (DigitPlaces& next : places) {
    std::uint32_t first = 0;
    for (std::uint32_t& place : next) first += std::exchange(place, first);
  }
  const std::span<float> copy = sorted.first(samples.size());
  const std::span<float> middle = scratch.first(samples.size());
  distribute(samples, copy, places[0], 0);
  distribute(copy, middle, places[1], 1);
  distribute(middle, copy, places[2], 2);
}

std::int32_t count_above(std::span<const float> sorted, float level) {
  return static_cast<std::int32_t>(sorted.size() - first_above(sorted, level, sorted.size()));
}

std::size_t first_above(std::span<const float> sorted, float level, std::size_t from) {
  while (from > 0 && sorted[from - 1] > level) --from;
  return from;
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
