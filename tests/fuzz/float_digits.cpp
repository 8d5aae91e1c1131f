// The value m * 2^e is split into its integer part, at most 2^128, and its
// fraction, at most 149 binary places, held as a 192-bit binary fixed-point
// number. Decimal digits come from the integer part by division and from the
// fraction by multiplying it with powers of ten, up to 18 digits at a time.
#include "tests/fuzz/float_digits.h"

#include <array>
#include <bit>

#include "tests/support/exact_decimal.h"

namespace shindo::fuzzing {
namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t kTen17 = 100000000000000000ULL;
constexpr std::uint64_t kTen18 = 1000000000000000000ULL;

constexpr std::array<u128, 39> make_powers_of_ten() {
  std::array<u128, 39> powers{};
  u128 power = 1;
  for (u128& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}

constexpr std::array<u128, 39> kPowersOfTen = make_powers_of_ten();

std::uint64_t ten_to(int k) { return static_cast<std::uint64_t>(kPowersOfTen[static_cast<std::size_t>(k)]); }

// Decimal digits of a positive integer below 10^39.
int digit_count(u128 n) {
  int count = 1;
  while (count < 39 && n >= kPowersOfTen[static_cast<std::size_t>(count)]) ++count;
  return count;
}

// A binary fraction, value / 2^192, least significant limb first.
struct Fraction {
  std::uint64_t limbs[3] = {};
};

// Multiplies the fraction by `scale` and returns the integer part that
// leaves it: the next k decimal digits of the fraction when scale is 10^k.
std::uint64_t take_digits(Fraction& fraction, std::uint64_t scale) {
  u128 carry = 0;
  for (std::uint64_t& limb : fraction.limbs) {
    const u128 product = static_cast<u128>(limb) * scale + carry;
    limb = static_cast<std::uint64_t>(product);
    carry = product >> 64;
  }
  return static_cast<std::uint64_t>(carry);
}

}  // namespace

numtext::DecimalDigits float_decimal_digits(std::uint32_t bits) {
  if ((bits & 0x7F800000) == 0x7F800000 || (bits & 0x7FFFFFFF) == 0) {
    return numtext::testing::reference_decimal_digits(static_cast<double>(std::bit_cast<float>(bits)));
  }
  const auto biased = static_cast<int>((bits >> 23) & 0xFF);
  const std::uint32_t stored = bits & 0x7FFFFF;
  const std::uint64_t m = biased != 0 ? stored | 0x800000 : stored;
  const int e = biased != 0 ? biased - 150 : -149;  // the value is m * 2^e

  u128 integer = 0;
  Fraction fraction;
  if (e >= 0) {
    integer = static_cast<u128>(m) << e;
  } else {
    const int fraction_bits = -e;
    const std::uint64_t fraction_part = fraction_bits >= 24 ? m : m & ((std::uint64_t{1} << fraction_bits) - 1);
    integer = fraction_bits >= 24 ? 0 : m >> fraction_bits;
    // fraction_part / 2^fraction_bits placed at the top of 192 bits.
    const int shift = 192 - fraction_bits;
    const int limb = shift / 64;
    const int bit = shift % 64;
    fraction.limbs[limb] = fraction_part << bit;
    if (bit != 0 && limb < 2) fraction.limbs[limb + 1] = fraction_part >> (64 - bit);
  }

  // The first 18 significant digits as an integer, and exp10 such that the
  // value is 0.d1d2... times 10 to the power exp10.
  std::uint64_t first18 = 0;
  int exp10 = 0;
  if (integer != 0) {
    const int count = digit_count(integer);
    exp10 = count;
    if (count >= 18) {
      first18 = static_cast<std::uint64_t>(integer / kPowersOfTen[static_cast<std::size_t>(count - 18)]);
    } else {
      const int more = 18 - count;
      first18 = static_cast<std::uint64_t>(integer) * ten_to(more) + take_digits(fraction, ten_to(more));
    }
  } else {
    std::uint64_t chunk = 0;
    while ((chunk = take_digits(fraction, kTen18)) == 0) exp10 -= 18;
    const int count = digit_count(chunk);
    exp10 -= 18 - count;
    const int more = 18 - count;
    first18 = more == 0 ? chunk : chunk * ten_to(more) + take_digits(fraction, ten_to(more));
  }

  std::uint64_t first17 = first18 / 10 + (first18 % 10 >= 5 ? 1 : 0);
  if (first17 == kTen17) {
    first17 /= 10;
    ++exp10;
  }
  numtext::DecimalDigits out;
  out.sign = (bits >> 31) != 0 ? '-' : ' ';
  out.exp10 = exp10;
  for (int j = 16; j >= 0; --j, first17 /= 10) out.digits[j] = static_cast<char>('0' + first17 % 10);
  int count = 17;
  while (out.digits[count - 1] == '0') --count;
  out.digits[count] = '\0';
  out.count = count;
  return out;
}

}  // namespace shindo::fuzzing
