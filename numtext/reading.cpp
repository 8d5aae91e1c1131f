// Reading a number the way the console program reads a real item: the text
// converted to double, correctly rounded, then rounded once more to single
// precision, with the exponent forms 1.5E-3, 1.5D-3 and 1.5-3.
#include "numtext/reading.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace numtext {

namespace {

// The largest magnitude a real item holds.
constexpr double kLargestSingle = 3.4028234663852886e38;

// Beyond these decimal magnitudes (value = 0.d1d2... times 10 to the power
// magnitude) a nonzero number is certainly infinite or zero in double
// precision; between them the conversion itself tells.
constexpr int kSurelyOverflows = 310;
constexpr int kSurelyUnderflows = -330;
// Exponent digits beyond this value change nothing.
constexpr int kExponentCeiling = 100000;

// A mantissa of at most 15 significant digits is an exact double, and so is
// 10^k up to k = 22: their product or quotient, one correctly rounded
// operation, is then the nearest double to the number without any further
// work.
constexpr int kExactMantissaDigits = 15;
constexpr int kExactPowerOfTen = 22;
constexpr double kExactPowersOfTen[kExactPowerOfTen + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr std::string_view kReadErrorTexts[] = {
    "",
    "not a number",
    "exponent too large",
    "value outside the single-precision range",
};

}  // namespace

std::string_view read_error_text(ReadError error) noexcept {
  return kReadErrorTexts[static_cast<std::size_t>(error)];
}

RealReading read_real(std::string_view text) noexcept {
  constexpr RealReading kNotANumber{0.0f, ReadError::not_a_number};
  if (text.size() > kLongestNumber) return kNotANumber;
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The mantissa: its digits from the first nonzero one on (`significant`,
  // as an integer while they are few), and the digits after the point. The
  // number is 0.d1d2... times 10 to the power significant - fraction_digits
  // plus its exponent.
  const std::size_t mantissa_begin = i;
  int significant = 0;
  std::uint64_t mantissa = 0;
  // Leading zeros add nothing to the mantissa; a point may come once.
  int digits = 0;
  int fraction_digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const unsigned digit = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
    if (digit <= 9) {
      ++digits;
      fraction_digits += point ? 1 : 0;
      significant += (significant > 0 || digit != 0) ? 1 : 0;
      if (significant <= kExactMantissaDigits) mantissa = mantissa * 10 + digit;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return kNotANumber;
  const std::size_t mantissa_end = i;

  int exponent = 0;
  if (i < text.size()) {
    char c = text[i];
    bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
    if (!letter && c != '+' && c != '-') return kNotANumber;
    if (letter) ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i] == '-';
      ++i;
    }
    if (i == text.size()) return kNotANumber;
    for (; i < text.size(); ++i) {
      if (!is_digit(text[i])) return kNotANumber;
      if (exponent < kExponentCeiling) exponent = exponent * 10 + (text[i] - '0');
    }
    if (exponent_negative) exponent = -exponent;
  }

  const float zero = negative ? -0.0f : 0.0f;
  if (significant == 0) return {zero, ReadError::none};
  const int magnitude = significant - fraction_digits + exponent;
  if (magnitude > kSurelyOverflows) return {0.0f, ReadError::exponent_too_large};
  if (magnitude < kSurelyUnderflows) return {zero, ReadError::none};

  const int scale = exponent - fraction_digits;
  double value = 0.0;
  if (significant <= kExactMantissaDigits && scale >= -kExactPowerOfTen && scale <= kExactPowerOfTen) {
    const double exact = static_cast<double>(mantissa);
    value = scale >= 0 ? exact * kExactPowersOfTen[scale] : exact / kExactPowersOfTen[-scale];
    if (negative) value = -value;
  } else {
    // The mantissa as given and the exponent, in the form from_chars reads.
    char normal[kLongestNumber + 16];
    std::size_t length = 0;
    if (negative) normal[length++] = '-';
    std::memcpy(normal + length, text.data() + mantissa_begin, mantissa_end - mantissa_begin);
    length += mantissa_end - mantissa_begin;
    normal[length++] = 'e';
    length = static_cast<std::size_t>(
        std::to_chars(normal + length, normal + sizeof normal, exponent).ptr - normal);
    std::from_chars_result parsed = std::from_chars(normal, normal + length, value);
    if (parsed.ec == std::errc::result_out_of_range) {
      if (magnitude > 0) return {0.0f, ReadError::exponent_too_large};
      return {zero, ReadError::none};
    }
  }
  if (value > kLargestSingle || value < -kLargestSingle) return {0.0f, ReadError::out_of_range};
  return {static_cast<float>(value), ReadError::none, value};
}

}  // namespace numtext
