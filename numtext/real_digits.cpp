// Real-number text: the 17 significant decimal digits of a double, computed
// exactly with integer arithmetic, and their placement into the list form and
// the E and D edit forms.
#include "numtext/real_digits.h"

#include <array>
#include <bit>
#include <cstring>

namespace numtext {
namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t kTen8 = 100000000ULL;
constexpr std::uint64_t kTen17 = 100000000000000000ULL;
constexpr std::uint64_t kTen18 = 1000000000000000000ULL;
constexpr std::uint64_t kFive27 = 7450580596923828125ULL;  // the largest power of 5 in 64 bits
constexpr int kMaxFivePower128 = 55;                        // 5^55 is the largest in 128 bits

struct FivePowers {
  std::array<u128, kMaxFivePower128 + 1> value{};
  std::array<int, kMaxFivePower128 + 1> bits{};  // bit width of each power
};

constexpr int bit_width128(u128 x) {
  const auto high = static_cast<std::uint64_t>(x >> 64);
  return high != 0 ? 64 + std::bit_width(high) : std::bit_width(static_cast<std::uint64_t>(x));
}

constexpr FivePowers make_five_powers() {
  FivePowers powers;
  u128 power = 1;
  for (int q = 0; q <= kMaxFivePower128; ++q) {
    powers.value[q] = power;
    powers.bits[q] = bit_width128(power);
    power *= 5;
  }
  return powers;
}

constexpr FivePowers kFivePowers = make_five_powers();

// An unsigned integer of up to 1088 bits, least significant limb first: large
// enough for m * 2^e of any finite double and for m * 5^q of its smallest values.
struct BigInteger {
  std::array<std::uint64_t, 17> limbs{};
  int size = 0;
};

BigInteger big_shifted(std::uint64_t m, int shift) {
  BigInteger n;
  const int limb = shift / 64;
  const int bit = shift % 64;
  n.limbs[limb] = m << bit;
  n.limbs[limb + 1] = bit != 0 ? m >> (64 - bit) : 0;
  n.size = n.limbs[limb + 1] != 0 ? limb + 2 : limb + 1;
  return n;
}

void big_multiply(BigInteger& n, std::uint64_t factor) {
  std::uint64_t carry = 0;
  for (int j = 0; j < n.size; ++j) {
    const u128 product = static_cast<u128>(n.limbs[j]) * factor + carry;
    n.limbs[j] = static_cast<std::uint64_t>(product);
    carry = static_cast<std::uint64_t>(product >> 64);
  }
  if (carry != 0) n.limbs[n.size++] = carry;
}

void big_multiply_pow5(BigInteger& n, int q) {
  for (; q >= 27; q -= 27) big_multiply(n, kFive27);
  if (q > 0) big_multiply(n, static_cast<std::uint64_t>(kFivePowers.value[q]));
}

// Divides by 5^p, dropping the remainder (floor of floors is the floor of the
// whole quotient).
void big_divide_pow5(BigInteger& n, int p) {
  while (p > 0) {
    const int step = p < 27 ? p : 27;
    const auto divisor = static_cast<std::uint64_t>(kFivePowers.value[step]);
    std::uint64_t remainder = 0;
    for (int j = n.size - 1; j >= 0; --j) {
      const u128 dividend = (static_cast<u128>(remainder) << 64) | n.limbs[j];
      n.limbs[j] = static_cast<std::uint64_t>(dividend / divisor);
      remainder = static_cast<std::uint64_t>(dividend % divisor);
    }
    while (n.size > 0 && n.limbs[n.size - 1] == 0) --n.size;
    p -= step;
  }
}

// The 64 bits of n starting at bit `shift`.
std::uint64_t big_bits_from(const BigInteger& n, int shift) {
  const int limb = shift / 64;
  const int bit = shift % 64;
  const std::uint64_t low = limb < n.size ? n.limbs[limb] >> bit : 0;
  const std::uint64_t high = bit != 0 && limb + 1 < n.size ? n.limbs[limb + 1] << (64 - bit) : 0;
  return low | high;
}

// floor(m * 2^e * 10^q), for m * 2^e a positive finite double and q chosen so
// that the result has 18 or 19 digits.
std::uint64_t scaled_floor(std::uint64_t m, int e, int q) {
  const int m_bits = std::bit_width(m);
  if (q >= 0) {
    // m * 5^q * 2^(e+q); a result below 10^19 needs e + q < 0 once m * 5^q
    // leaves 128 bits.
    const int shift = e + q;
    if (q <= kMaxFivePower128 && m_bits + kFivePowers.bits[q] <= 128) {
      const u128 n = m * kFivePowers.value[q];
      return static_cast<std::uint64_t>(shift >= 0 ? n << shift : n >> -shift);
    }
    BigInteger n = big_shifted(m, 0);
    big_multiply_pow5(n, q);
    return big_bits_from(n, -shift);
  }
  // A value of 10^18 or more is an integer whose exponent e exceeds p, so
  // m * 2^(e-p) / 5^p is the quotient by 10^p.
  const int p = -q;
  const int shift = e - p;
  if (m_bits + shift <= 128 && p <= 27) {
    const u128 n = static_cast<u128>(m) << shift;
    return static_cast<std::uint64_t>(n / kFivePowers.value[p]);
  }
  BigInteger n = big_shifted(m, shift);
  big_divide_pow5(n, p);
  return big_bits_from(n, 0);
}

// floor(log10(2^x)) for |x| up to 1200 (exact over that range).
constexpr int floor_log10_pow2(int x) { return (x * 78913) >> 18; }

// Writes the 8 decimal digits of v (below 10^8), zeros in front. The digits
// are worked out side by side in the lanes of one 64-bit integer: two halves
// of 4 digits, then four pairs, then eight digits (x / 100 is (x * 5243) >> 19
// below 10^4, x / 10 is (x * 103) >> 10 below 100, and no lane overflows).
inline void write8(char* p, std::uint32_t v) {
  const std::uint64_t halves = (static_cast<std::uint64_t>(v % 10000) << 32) | (v / 10000);
  const std::uint64_t hundreds = ((halves * 5243) >> 19) & 0x0000007F0000007FULL;
  const std::uint64_t pairs = ((halves - hundreds * 100) << 16) | hundreds;
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
  const std::uint64_t digits = (((pairs - tens * 10) << 8) | tens) + 0x3030303030303030ULL;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &digits, sizeof digits);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(digits >> (8 * i));
  }
}

// Writes the 17 decimal digits of v (below 10^17), zeros in front.
void write17(char* p, std::uint64_t v) {
  const std::uint64_t upper9 = v / kTen8;
  p[0] = static_cast<char>('0' + upper9 / kTen8);
  write8(p + 1, static_cast<std::uint32_t>(upper9 % kTen8));
  write8(p + 9, static_cast<std::uint32_t>(v % kTen8));
}

// Stores the 17 digits of digits17 (10^16 <= digits17 < 10^17) without their
// trailing zeros.
void store_digits(DecimalDigits& out, std::uint64_t digits17) {
  write17(out.digits, digits17);
  int count = 17;
  while (out.digits[count - 1] == '0') --count;
  out.digits[count] = '\0';
  out.count = count;
}

constexpr std::array<std::uint64_t, 18> kPowersOfTen = [] {
  std::array<std::uint64_t, 18> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

// x / 10^k for x below 2^58 (any significand and half a unit more) by one
// multiplication: with l = ceil(log2 10^k) and m = floor(2^(58+l) / 10^k) + 1,
// floor(x * m / 2^(58+l)) is the quotient for every x below 2^58.
struct Reciprocal {
  std::uint64_t multiplier;
  int shift;
};

constexpr std::array<Reciprocal, 18> kReciprocalsOfTen = [] {
  std::array<Reciprocal, 18> reciprocals{};
  for (std::size_t k = 0; k < reciprocals.size(); ++k) {
    const int shift = 58 + std::bit_width(kPowersOfTen[k] - 1);
    reciprocals[k] = {static_cast<std::uint64_t>((u128{1} << shift) / kPowersOfTen[k]) + 1, shift};
  }
  return reciprocals;
}();

std::uint64_t divide_by_power_of_ten(std::uint64_t x, int k) {
  const Reciprocal& r = kReciprocalsOfTen[static_cast<std::size_t>(k)];
  return static_cast<std::uint64_t>((static_cast<u128>(x) * r.multiplier) >> r.shift);
}

// The first n (at most 16) significant digits of a value, rounded half up by
// digit n+1, followed by enough zeros for any text: digits[0..63) are the
// digits to show.
struct KeptDigits {
  char text[17 + 63];
  const char* digits;
  int count;     // digits kept (0 when a value rounds to nothing)
  bool carried;  // a carry ran out of the first digit: the digits are "1" and exp10 rose by one
};

KeptDigits keep_digits(const DecimalDigits& dd, int n) {
  KeptDigits kept;
  kept.carried = false;
  const std::uint64_t unit = kPowersOfTen[static_cast<std::size_t>(17 - n)];
  // Rounded half up: half a unit added, then cut.
  std::uint64_t q = divide_by_power_of_ten(dd.significand + unit / 2, 17 - n);
  if (q == kPowersOfTen[static_cast<std::size_t>(n)] && dd.significand != 0) {
    // 99...9 rounded up (or nothing kept of a value of 0.5 or more).
    q = kPowersOfTen[static_cast<std::size_t>(n == 0 ? 0 : n - 1)];
    kept.carried = true;
    n = n == 0 ? 1 : n;
  }
  // The n digits of q end at text[16], zeros follow.
  write8(kept.text + 9, static_cast<std::uint32_t>(q % kTen8));
  if (n > 8) write8(kept.text + 1, static_cast<std::uint32_t>(q / kTen8));
  std::memset(kept.text + 17, '0', sizeof kept.text - 17);
  kept.digits = kept.text + 17 - n;
  kept.count = q == 0 ? 0 : n;
  return kept;
}

constexpr int kRealTextCapacity = static_cast<int>(sizeof(RealText::text)) - 1;

void set_overflow(RealText& out) {
  out.text[0] = '\0';
  out.length = 0;
  out.overflow = true;
}

// The special text of a value that is not finite, padded with "." to `width`.
void place_special(RealText& out, const char* special, int width) {
  const int length = static_cast<int>(std::strlen(special));
  const int padded = width > length ? width : length;
  if (padded > kRealTextCapacity) {
    set_overflow(out);
    return;
  }
  std::memcpy(out.text, special, static_cast<std::size_t>(length));
  std::memset(out.text + length, '.', static_cast<std::size_t>(padded - length));
  out.text[padded] = '\0';
  out.length = padded;
}

// Places `dd` into `field`: the text, or the overflow mark.
void place_real(RealText& out, const DecimalDigits& dd, const RealField& field) {
  const bool list = field.form == RealForm::List;
  if (!dd.finite) {
    place_special(out, dd.special, list ? field.w - 2 : field.w);
    return;
  }

  const int d = field.d;
  const int k = list ? 1 : field.k;
  // An edit form's scale factor must leave at least the digits before the
  // point in the field: -d <= k <= d + 1.
  if (d < 0 || (!list && (k < -d || k > d + 1))) {
    set_overflow(out);
    return;
  }

  const bool fixed = list && dd.exp10 > 0 && dd.exp10 < field.w - d - 1;
  int integer_digits = fixed ? dd.exp10 : k;
  int significant = fixed ? dd.exp10 + d : (k > 0 ? d + 1 : d + k);
  const int precision_limit = field.precision == Precision::Single ? 7 : 16;
  const bool value_is_zero = dd.significand == 0;
  const KeptDigits kept = keep_digits(dd, significant < precision_limit ? significant : precision_limit);
  const int exp10 = kept.carried ? dd.exp10 + 1 : dd.exp10;
  if (kept.carried && fixed) {
    integer_digits += 1;
    significant += 1;
  }

  // Exponent part: a letter, a sign and `exponent_digits` digits, or for a
  // two-digit field beyond +-99 the sign and three digits without letter.
  int exponent = 0;
  bool letter = false;
  int exponent_digits = 0;
  if (!fixed) {
    exponent = value_is_zero ? exp10 : exp10 - k;
    const int magnitude = exponent < 0 ? -exponent : exponent;
    letter = !(field.e == 2 && magnitude > 99);
    exponent_digits = letter ? field.e : 3;
    // With four digits or more every exponent of a double fits.
    if (exponent_digits < 4 &&
        static_cast<std::uint64_t>(magnitude) >= kPowersOfTen[static_cast<std::size_t>(exponent_digits)]) {
      set_overflow(out);
      return;
    }
  }

  // A value of which no digit is kept shows no minus sign.
  const bool negative = dd.sign == '-' && kept.count > 0;
  const bool sign = negative || field.plus_sign;
  const bool lone_zero = integer_digits == 0 && significant == 0;
  const int before_point = integer_digits > 0 ? integer_digits : 0;
  const int leading_zeros = integer_digits < 0 ? -integer_digits : 0;
  const int after_point = integer_digits > 0 ? significant - integer_digits : significant;
  const int length = (sign ? 1 : 0) + (lone_zero ? 1 : 0) + before_point + 1 + leading_zeros +
                     after_point + (fixed ? 0 : (letter ? 1 : 0) + 1 + exponent_digits);
  if (length > kRealTextCapacity) {
    set_overflow(out);
    return;
  }

  char* p = out.text;
  if (sign) *p++ = negative ? '-' : '+';
  if (lone_zero) *p++ = '0';
  const int shown_count = before_point + after_point;
  if (shown_count <= 16 && leading_zeros == 0 && length + 16 <= kRealTextCapacity) {
    // Sixteen digits copied at once; what follows overwrites the excess.
    std::memcpy(p, kept.digits, 16);
    p += before_point;
    *p++ = '.';
    std::memcpy(p, kept.digits + before_point, 16);
    p += after_point;
  } else {
    for (int j = 0; j < before_point; ++j) *p++ = kept.digits[j];
    *p++ = '.';
    for (int j = 0; j < leading_zeros; ++j) *p++ = '0';
    for (int j = before_point; j < shown_count; ++j) *p++ = kept.digits[j];
  }
  if (!fixed) {
    if (letter) *p++ = field.form == RealForm::D ? 'D' : 'E';
    *p++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    // The last two digits at once (below 100, x / 10 is (x * 103) >> 10),
    // then any before them.
    const int last_two = magnitude % 100;
    const int tens = (last_two * 103) >> 10;
    p[exponent_digits - 1] = static_cast<char>('0' + last_two - tens * 10);
    if (exponent_digits > 1) p[exponent_digits - 2] = static_cast<char>('0' + tens);
    int rest = magnitude / 100;
    for (int j = exponent_digits - 3; j >= 0; --j) {
      p[j] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    }
    p += exponent_digits;
  }
  *p = '\0';
  out.length = static_cast<int>(p - out.text);
}

// The value's sign, decimal exponent and 17-digit significand (the digit
// text is left to decimal_digits; the placement works from the significand).
DecimalDigits exact_digits(double value) {
  DecimalDigits out;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased_exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased_exponent == 0x7FF) {
    constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 51;
    constexpr std::uint64_t kDefaultNaN = 0xFFF8000000000000ULL;
    out.finite = false;
    if (fraction == 0) {
      out.special = "1#INF";
    } else if ((fraction & kQuietBit) == 0) {
      out.special = "1#SNAN";
    } else {
      out.special = bits == kDefaultNaN ? "1#IND" : "1#QNAN";
    }
    return out;
  }
  if (biased_exponent == 0 && fraction == 0) return out;
  out.sign = (bits >> 63) != 0 ? '-' : ' ';

  // value = m * 2^e with m odd, so that the products below stay as small as
  // the value allows (a widened float has at most 24 significant bits).
  std::uint64_t m = biased_exponent != 0 ? fraction | (std::uint64_t{1} << 52) : fraction;
  int e = biased_exponent != 0 ? biased_exponent - 1075 : -1074;
  const int zeros = std::countr_zero(m);
  m >>= zeros;
  e += zeros;

  // 2^(b-1) <= value < 2^b puts the value's decimal exponent at `exp10` or
  // one above it; scaling by 10^(18-exp10) then leaves 18 or 19 digits
  // before the point.
  const int b = std::bit_width(m) + e;
  int exp10 = floor_log10_pow2(b - 1) + 1;
  std::uint64_t leading = scaled_floor(m, e, 18 - exp10);
  if (leading >= kTen18) {
    leading /= 10;
    exp10 += 1;
  }
  // The first 18 digits, rounded half up by the 18th.
  std::uint64_t digits17 = (leading + 5) / 10;
  if (digits17 == kTen17) {
    digits17 /= 10;
    exp10 += 1;
  }
  out.exp10 = exp10;
  out.significand = digits17;
  return out;
}

}  // namespace

DecimalDigits decimal_digits(double value) {
  DecimalDigits out = exact_digits(value);
  if (!out.finite) return out;
  if (out.significand == 0) {
    out.digits[0] = '0';
    out.count = 1;
  } else {
    store_digits(out, out.significand);
  }
  return out;
}

RealText format_real(double value, const RealField& field) {
  RealText out;
  const DecimalDigits dd = exact_digits(value);
  place_real(out, dd, field);
  return out;
}

}  // namespace numtext
