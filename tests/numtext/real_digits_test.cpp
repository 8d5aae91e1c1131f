#include "numtext/real_digits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "tests/support/exact_decimal.h"

namespace numtext {
namespace {

constexpr RealField kE12_4{RealForm::E, 12, 4, 2, 0, false, Precision::Single};

std::string text_of(double value, const RealField& field) {
  const RealText text = format_real(value, field);
  return text.overflow ? "<overflow>" : std::string(text.text, static_cast<std::size_t>(text.length));
}

struct ListRow {
  float value;
  const char* text;
};

TEST(RealText, ListFormOfSingles) {
  const ListRow rows[] = {
      {0.5f, "5.000000E-01"},      {12.0f, "12.000000"},       {1234567.0f, "1234567.000000"},
      {12345678.0f, "1.234568E+07"}, {1.0e-5f, "1.000000E-05"}, {-3.25f, "-3.250000"},
      {0.0f, "0.000000E+00"},      {-0.0f, "0.000000E+00"},     {0.01f, "1.000000E-02"},
      {3.1415927f, "3.141593"},    {123.4f, "123.400000"},      {9999999.0f, "9999999.000000"},
      {10000000.0f, "1.000000E+07"}, {0.99999994f, "9.999999E-01"}, {-1234567.0f, "-1234567.000000"},
      {1.0f, "1.000000"},          {-9.9999999e-3f, "-1.000000E-02"}, {3.4e38f, "3.400000E+38"},
      {1.4e-45f, "1.401298E-45"},  {-1.17549435e-38f, "-1.175494E-38"},
  };
  for (const ListRow& row : rows) {
    const std::string text = text_of(row.value, kListSingle);
    EXPECT_EQ(text, row.text) << row.value;
    EXPECT_LE(text.size(), 15u) << row.value;
  }
}

TEST(RealText, FixedFormGainsAnIntegerDigitOnCarry) {
  // A value with more digits than a float holds: the carry out of the seventh
  // digit keeps the fixed form chosen before rounding.
  EXPECT_EQ(text_of(9999999.5, kListSingle), "10000000.000000");
  EXPECT_EQ(text_of(99.999996, kListSingle), "100.000000");
}

TEST(RealText, E12_4FieldOfSingles) {
  const ListRow rows[] = {
      {0.0f, ".0000E+00"},    {-0.0f, ".0000E+00"},  {0.01f, ".1000E-01"},  {123.456f, ".1235E+03"},
      {-0.5f, "-.5000E+00"},  {1.0f, ".1000E+01"},   {0.12345f, ".1235E+00"}, {9.99995f, ".1000E+02"},
      {98765.4f, ".9877E+05"}, {-1.0e-10f, "-.1000E-09"}, {3.4e38f, ".3400E+39"},
  };
  for (const ListRow& row : rows) EXPECT_EQ(text_of(row.value, kE12_4), row.text) << row.value;
}

TEST(RealText, ListFormOfDoubles) {
  const struct {
    double value;
    const char* text;
  } rows[] = {
      {0.1, "1.000000000000000E-001"},
      {123.456, "123.456000000000000"},
      {-2.5, "-2.500000000000000"},
      {1.0 / 3.0, "3.333333333333333E-001"},
      {std::nextafter(1.0, 0.0), "9.999999999999999E-001"},
      {1.0e-7, "1.000000000000000E-007"},  // 16 nines and a 5: carry into a new leading digit
      {1.0e7, "1.000000000000000E+007"},
      {1.0e23, "9.999999999999999E+022"},
      {std::numeric_limits<double>::max(), "1.797693134862316E+308"},
      {std::numeric_limits<double>::denorm_min(), "4.940656458412465E-324"},
      {0.0, "0.000000000000000E+000"},
  };
  for (const auto& row : rows) EXPECT_EQ(text_of(row.value, kListDouble), row.text) << row.value;
}

TEST(RealText, NotFiniteTexts) {
  const struct {
    std::uint64_t bits;
    const char* list_single;
    const char* e12_4;
  } rows[] = {
      {0x7FF0000000000000ULL, "1#INF........", "1#INF......."},
      {0xFFF0000000000000ULL, "1#INF........", "1#INF......."},
      {0xFFF8000000000000ULL, "1#IND........", "1#IND......."},
      {0x7FF8000000000000ULL, "1#QNAN.......", "1#QNAN......"},
      {0xFFF8000000000001ULL, "1#QNAN.......", "1#QNAN......"},
      {0x7FF0000000000001ULL, "1#SNAN.......", "1#SNAN......"},
      {0xFFF4000000000000ULL, "1#SNAN.......", "1#SNAN......"},
  };
  for (const auto& row : rows) {
    const double value = std::bit_cast<double>(row.bits);
    EXPECT_EQ(text_of(value, kListSingle), row.list_single) << std::hex << row.bits;
    EXPECT_EQ(text_of(value, kE12_4), row.e12_4) << std::hex << row.bits;
    EXPECT_EQ(text_of(value, kListDouble).size(), 22u);
    EXPECT_FALSE(decimal_digits(value).finite);
  }
}

TEST(RealText, EditFormExponentsScaleAndSign) {
  const struct {
    double value;
    RealField field;
    const char* text;
  } rows[] = {
      {1.0e-120, kE12_4, ".1000-119"},
      {-1.0e150, kE12_4, "-.1000+151"},
      {1.0e99, kE12_4, ".1000+100"},
      {1.0e98, kE12_4, ".1000E+99"},
      {1.0, {RealForm::E, 8, 4, 1, 0, false, Precision::Single}, ".1000E+1"},
      {1.0e9, {RealForm::E, 8, 4, 1, 0, false, Precision::Single}, "<overflow>"},
      {1.0e300, {RealForm::E, 12, 4, 2, 0, false, Precision::Double}, ".1000+301"},
      {1.0e-5, {RealForm::E, 12, 4, 3, 0, false, Precision::Single}, ".1000E-004"},
      {123.456, {RealForm::D, 12, 4, 2, 0, false, Precision::Single}, ".1235D+03"},
      {123.456, {RealForm::E, 12, 4, 2, 1, false, Precision::Single}, "1.2346E+02"},
      {123.456, {RealForm::E, 12, 4, 2, 2, false, Precision::Single}, "12.346E+01"},
      {123.456, {RealForm::E, 12, 4, 2, -1, false, Precision::Single}, ".0123E+04"},
      {123.456, {RealForm::E, 12, 4, 2, 6, false, Precision::Single}, "<overflow>"},
      {0.0, {RealForm::E, 12, 4, 2, 1, true, Precision::Single}, "+0.0000E+00"},
      {0.7, {RealForm::E, 6, 0, 2, 0, false, Precision::Single}, "0.E+01"},
      {-0.3, {RealForm::E, 6, 0, 2, 0, true, Precision::Single}, "+0.E+00"},
      {0.123456789, {RealForm::E, 20, 12, 2, 0, false, Precision::Single}, ".123456800000E+00"},
      {1.0, {RealForm::E, 80, 70, 2, 0, false, Precision::Double}, "<overflow>"},
  };
  for (const auto& row : rows) EXPECT_EQ(text_of(row.value, row.field), row.text) << row.value;
}

TEST(DecimalDigits, KnownExpansions) {
  const struct {
    double value;
    char sign;
    const char* digits;
    int exp10;
  } rows[] = {
      {0.1, ' ', "10000000000000001", 0},
      {static_cast<double>(0.01f), ' ', "99999997764825821", -2},
      {-0.5, '-', "5", 0},
      {-0.0, ' ', "0", 0},
      {1.0e23, ' ', "99999999999999992", 23},
      {1.0e-14, ' ', "1", -13},  // 17 nines and a 9: the carry runs out of the first digit
      {1.0e98, ' ', "1", 99},
      {std::numeric_limits<double>::denorm_min(), ' ', "49406564584124654", -323},
      {std::numeric_limits<double>::max(), ' ', "17976931348623157", 309},
  };
  for (const auto& row : rows) {
    const DecimalDigits digits = decimal_digits(row.value);
    EXPECT_EQ(digits.sign, row.sign) << row.value;
    EXPECT_STREQ(digits.digits, row.digits) << row.value;
    EXPECT_EQ(digits.count, static_cast<int>(std::string(row.digits).size())) << row.value;
    EXPECT_EQ(digits.exp10, row.exp10) << row.value;
  }
}

void expect_same_as_reference(double value) {
  ASSERT_EQ(testing::digits_difference(decimal_digits(value), testing::reference_decimal_digits(value)), "")
      << std::hexfloat << value;
}

TEST(DecimalDigits, MatchesExactReferenceForRandomFloats) {
  std::mt19937 random(20240611);
  for (int n = 0; n < 200000; ++n) {
    expect_same_as_reference(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(random()))));
  }
}

TEST(DecimalDigits, MatchesExactReferenceForDoubles) {
  std::mt19937_64 random(20240611);
  for (int n = 0; n < 3000; ++n) expect_same_as_reference(std::bit_cast<double>(random()));
  // Around every power of ten, where the decimal exponent changes.
  for (int k = -323; k <= 308; ++k) {
    const double power = std::pow(10.0, k);
    expect_same_as_reference(power);
    expect_same_as_reference(std::nextafter(power, 0.0));
    expect_same_as_reference(std::nextafter(power, INFINITY));
  }
  // Short significands across the whole exponent range.
  for (int exponent = -1074; exponent <= 1023; exponent += 7) {
    expect_same_as_reference(std::ldexp(static_cast<double>(random() % 1000 + 1), exponent));
  }
}

}  // namespace
}  // namespace numtext
