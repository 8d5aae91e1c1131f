// The JMA intensity scale: the reported value of a computed intensity, in
// tenths, and its class with the class's labels. Evaluated at compile time
// as well as at run time.
#pragma once

#include <cstdint>
#include <string_view>

namespace shindo {
inline namespace v2 {

// The intensity reported the JMA way, in tenths: the exact decimal value
// rounded half up at the second decimal, then cut to one decimal (toward 0).
// For intensities of magnitude below 10^7 (a computed one lies within ±90).
//   5.1538 → 51,  4.9960 → 50,  4.9949 → 49,  -0.155 → -1
//   6.995 → 69: the float nearest 6.995 is 6.99499988...
[[nodiscard]] constexpr std::int32_t reported_tenths(float intensity) noexcept {
  // 100 x is exact in double (24 + 7 significant bits), and so is its
  // distance to the integer below (its floor: the truncation, one less for
  // a negative value with a fraction); the half is compared, not added, so
  // that no rounding of a sum can move a value across it.
  const double hundredfold = 100.0 * static_cast<double>(intensity);
  const auto truncated = static_cast<long long>(hundredfold);
  const long long below = static_cast<double>(truncated) > hundredfold ? truncated - 1 : truncated;
  const long long hundredths = hundredfold - static_cast<double>(below) >= 0.5 ? below + 1 : below;
  return static_cast<std::int32_t>(hundredths / 10);
}

// The intensity classes of the JMA scale.
enum class IntensityClass { c0, c1, c2, c3, c4, c5_lower, c5_upper, c6_lower, c6_upper, c7 };

// The class of a reported value (in tenths); each range includes its lower
// bound: below 5 → c0, 5 → c1, 15 → c2, 25 → c3, 35 → c4, 45 → c5_lower,
// 50 → c5_upper, 55 → c6_lower, 60 → c6_upper, 65 and above → c7.
//   intensity_class(reported_tenths(5.1538f)) → IntensityClass::c5_upper
[[nodiscard]] constexpr IntensityClass intensity_class(std::int32_t reported_tenths) noexcept {
  constexpr std::int32_t kLowerBounds[] = {5, 15, 25, 35, 45, 50, 55, 60, 65};
  std::int32_t c = 0;
  while (c < 9 && reported_tenths >= kLowerBounds[c]) ++c;
  return static_cast<IntensityClass>(c);
}

// The label of a class: "0" to "4", "5-", "5+", "6-", "6+", "7".
[[nodiscard]] constexpr std::string_view class_label(IntensityClass c) noexcept {
  constexpr std::string_view kLabels[] = {"0", "1", "2", "3", "4", "5-", "5+", "6-", "6+", "7"};
  return kLabels[static_cast<int>(c)];
}

// The Japanese label, in UTF-8: "0" to "4", "5弱", "5強", "6弱", "6強", "7"
// (written as bytes, so that the header reads the same in any source charset).
[[nodiscard]] constexpr std::string_view class_label_ja(IntensityClass c) noexcept {
  constexpr std::string_view kLabels[] = {
      "0", "1", "2", "3", "4", "5\xe5\xbc\xb1", "5\xe5\xbc\xb7", "6\xe5\xbc\xb1", "6\xe5\xbc\xb7", "7"};
  return kLabels[static_cast<int>(c)];
}

}  // namespace v2
}  // namespace shindo
