#include "tests/support/exact_decimal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace numtext::testing {
namespace {

// Decimal digits, least significant first.
using DigitString = std::vector<int>;

DigitString digits_of(std::uint64_t n) {
  DigitString out;
  do {
    out.push_back(static_cast<int>(n % 10));
    n /= 10;
  } while (n != 0);
  return out;
}

void multiply(DigitString& n, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (int& digit : n) {
    const std::uint64_t product = static_cast<std::uint64_t>(digit) * factor + carry;
    digit = static_cast<int>(product % 10);
    carry = product / 10;
  }
  for (; carry != 0; carry /= 10) n.push_back(static_cast<int>(carry % 10));
}

// Multiplies by base^count in steps whose factor stays within 32 bits.
void multiply_power(DigitString& n, std::uint32_t base, int per_step, int count) {
  std::uint32_t step_factor = 1;
  for (int j = 0; j < per_step; ++j) step_factor *= base;
  for (; count >= per_step; count -= per_step) multiply(n, step_factor);
  for (; count > 0; --count) multiply(n, base);
}

}  // namespace

ExactDecimal exact_decimal(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  ExactDecimal out;
  out.negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int e = biased == 0 ? -1074 : biased - 1075;
  if (m == 0) {
    out.negative = false;
    out.digits = "0";
    return out;
  }
  // m * 2^e as an integer N times 10^scale: N = m * 2^e, or m * 5^-e with
  // scale e.
  DigitString n = digits_of(m);
  int scale = 0;
  if (e >= 0) {
    multiply_power(n, 2, 31, e);
  } else {
    multiply_power(n, 5, 13, -e);
    scale = e;
  }
  out.exp10 = static_cast<int>(n.size()) + scale;
  for (auto digit = n.rbegin(); digit != n.rend(); ++digit) out.digits.push_back(static_cast<char>('0' + *digit));
  out.digits.erase(out.digits.find_last_not_of('0') + 1);
  return out;
}

DecimalDigits reference_decimal_digits(double value) {
  DecimalDigits out;
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const std::uint64_t exponent_bits = 0x7FF0000000000000ULL;
  const std::uint64_t fraction = bits & 0x000FFFFFFFFFFFFFULL;
  if ((bits & exponent_bits) == exponent_bits) {
    out.finite = false;
    if (fraction == 0) {
      out.special = "1#INF";
    } else if ((fraction >> 51) == 0) {
      out.special = "1#SNAN";
    } else {
      out.special = bits == 0xFFF8000000000000ULL ? "1#IND" : "1#QNAN";
    }
    return out;
  }
  const ExactDecimal exact = exact_decimal(value);
  out.sign = exact.negative ? '-' : ' ';
  out.exp10 = exact.exp10;
  std::string cut = exact.digits.substr(0, 18);
  cut.resize(18, '0');
  std::string kept = cut.substr(0, 17);
  if (cut[17] >= '5') {
    int j = 16;
    while (j >= 0 && kept[j] == '9') kept[j--] = '0';
    if (j < 0) {
      kept = "1";
      out.exp10 += 1;
    } else {
      kept[j] += 1;
    }
  }
  const auto last = kept.find_last_not_of('0');
  kept.erase(last == std::string::npos ? 1 : last + 1);
  out.count = static_cast<int>(kept.size());
  std::copy(kept.begin(), kept.end(), out.digits);
  out.digits[out.count] = '\0';
  return out;
}

ReferenceText reference_real_text(const DecimalDigits& value, const RealField& field) {
  const bool list = field.form == RealForm::List;
  if (!list && field.k != 0) throw std::invalid_argument("edit form with a scale factor");
  ReferenceText out;
  if (!value.finite) {
    out.text = value.special;
    const std::size_t width = static_cast<std::size_t>(list ? field.w - 2 : field.w);
    if (out.text.size() < width) out.text.resize(width, '.');
    return out;
  }
  std::string digits(value.digits, static_cast<std::size_t>(value.count));
  int exp10 = value.exp10;
  bool negative = value.sign == '-';
  const bool zero = digits == "0";

  // The list form is fixed for exp10 from 1 to w-d-2, else an exponent form
  // with one digit before the point; the E and D forms have none.
  const bool fixed = list && exp10 > 0 && exp10 < field.w - field.d - 1;
  int before_point = fixed ? exp10 : (list ? 1 : 0);
  int significant = fixed ? exp10 + field.d : (list ? field.d + 1 : field.d);

  const auto kept = static_cast<std::size_t>(std::min(significant, field.precision == Precision::Single ? 7 : 16));
  if (digits.size() > kept) {
    const bool round_up = digits[kept] >= '5';
    digits.resize(kept);
    if (round_up) {
      std::size_t j = kept;
      while (j > 0 && digits[j - 1] == '9') digits[--j] = '0';
      if (j > 0) {
        ++digits[j - 1];
      } else {
        digits.insert(digits.begin(), '1');
        ++exp10;
        if (fixed) {
          ++before_point;
          ++significant;
        }
      }
    } else if (digits.find_first_not_of('0') == std::string::npos) {
      negative = false;
    }
  }

  std::string& text = out.text;
  if (negative) {
    text += '-';
  } else if (field.plus_sign) {
    text += '+';
  }
  if (before_point == 0 && significant == 0) text += '0';
  auto digit = [&](int index) {
    const auto at = static_cast<std::size_t>(index);
    return at < digits.size() ? digits[at] : '0';
  };
  for (int j = 0; j < before_point; ++j) text += digit(j);
  text += '.';
  for (int j = before_point; j < significant; ++j) text += digit(j);
  if (fixed) return out;

  const int exponent = zero ? 0 : exp10 - (list ? 1 : 0);
  const int magnitude = exponent < 0 ? -exponent : exponent;
  const bool letter = !(field.e == 2 && magnitude > 99);
  const std::size_t width = static_cast<std::size_t>(letter ? field.e : 3);
  const std::string number = std::to_string(magnitude);
  if (number.size() > width) return ReferenceText{"", true};
  if (letter) text += field.form == RealForm::D ? 'D' : 'E';
  text += exponent < 0 ? '-' : '+';
  text.append(width - number.size(), '0');
  text += number;
  return out;
}

std::string digits_difference(const DecimalDigits& a, const DecimalDigits& b) {
  const auto differ = [](const char* part, const std::string& x, const std::string& y) {
    return std::string(part) + ": " + x + " / " + y;
  };
  if (a.finite != b.finite) return differ("finite", a.finite ? "yes" : "no", b.finite ? "yes" : "no");
  if (std::string(a.special) != b.special) return differ("special", a.special, b.special);
  if (!a.finite) return "";
  if (a.sign != b.sign) return differ("sign", std::string(1, a.sign), std::string(1, b.sign));
  if (a.exp10 != b.exp10) return differ("exp10", std::to_string(a.exp10), std::to_string(b.exp10));
  if (a.count != b.count) return differ("count", std::to_string(a.count), std::to_string(b.count));
  if (std::string(a.digits) != b.digits) return differ("digits", a.digits, b.digits);
  return "";
}

}  // namespace numtext::testing
