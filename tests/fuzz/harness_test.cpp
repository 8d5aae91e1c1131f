// The fuzzers' own yardsticks: the reference texts, the fast float expansion
// of the sweep and the report check. A fuzzer is only as good as these, so
// each is held to known answers and to its slower counterpart.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "recio/errors.h"
#include "tests/fuzz/float_digits.h"
#include "tests/fuzz/run_report.h"
#include "tests/support/exact_decimal.h"

namespace {

using numtext::Precision;
using numtext::RealField;
using numtext::RealForm;

constexpr RealField kE12_4{RealForm::E, 12, 4, 2, 0, false, Precision::Single};
constexpr RealField kE12_4Double{RealForm::E, 12, 4, 2, 0, false, Precision::Double};

std::string reference(double value, const RealField& field) {
  const auto text = numtext::testing::reference_real_text(numtext::testing::reference_decimal_digits(value), field);
  return text.overflow ? "<overflow>" : text.text;
}

struct TextRow {
  double value;
  RealField field;
  const char* text;
};

TEST(ReferenceText, KnownTextsOfTheListFormAndTheEField) {
  const double quiet_nan = std::bit_cast<double>(0x7FF8000000000000ULL);
  const double default_nan = std::bit_cast<double>(0xFFF8000000000000ULL);
  const TextRow rows[] = {
      {0.5f, numtext::kListSingle, "5.000000E-01"},
      {12.0f, numtext::kListSingle, "12.000000"},
      {1234567.0f, numtext::kListSingle, "1234567.000000"},
      {12345678.0f, numtext::kListSingle, "1.234568E+07"},
      {-3.25f, numtext::kListSingle, "-3.250000"},
      {-0.0f, numtext::kListSingle, "0.000000E+00"},
      {0.01f, numtext::kListSingle, "1.000000E-02"},  // 0.0099999998 carries into a new first digit
      {3.1415927f, numtext::kListSingle, "3.141593"},
      {9999999.0f, numtext::kListSingle, "9999999.000000"},
      {10000000.0f, numtext::kListSingle, "1.000000E+07"},
      {0.99999994f, numtext::kListSingle, "9.999999E-01"},
      {9999999.5, numtext::kListSingle, "10000000.000000"},  // the fixed form keeps its choice and grows
      {1.4e-45f, numtext::kListSingle, "1.401298E-45"},
      {INFINITY, numtext::kListSingle, "1#INF........"},
      {0.1, numtext::kListDouble, "1.000000000000000E-001"},
      {-2.5, numtext::kListDouble, "-2.500000000000000"},
      {1.0e-7, numtext::kListDouble, "1.000000000000000E-007"},
      {std::numeric_limits<double>::denorm_min(), numtext::kListDouble, "4.940656458412465E-324"},
      {quiet_nan, numtext::kListDouble, "1#QNAN................"},
      {0.0, kE12_4, ".0000E+00"},
      {-0.5f, kE12_4, "-.5000E+00"},
      {0.12345f, kE12_4, ".1235E+00"},  // 0.12345000356...: the fifth digit rounds up
      {9.99995f, kE12_4, ".1000E+02"},  // carry through 9999
      {98765.4f, kE12_4, ".9877E+05"},
      {-1.0e-10f, kE12_4, "-.1000E-09"},
      {3.4e38f, kE12_4, ".3400E+39"},
      {default_nan, kE12_4, "1#IND......."},
      {1.0e-120, kE12_4Double, ".1000-119"},  // beyond +-99: no letter, three digits
      {1.0e98, kE12_4Double, ".1000E+99"},
      {123.456, {RealForm::D, 12, 4, 2, 0, false, Precision::Single}, ".1235D+03"},
      {1.0e9, {RealForm::E, 8, 4, 1, 0, false, Precision::Single}, "<overflow>"},
      {-0.3, {RealForm::E, 6, 0, 2, 0, true, Precision::Single}, "+0.E+00"},  // nothing kept: no minus
  };
  for (const TextRow& row : rows) EXPECT_EQ(reference(row.value, row.field), row.text) << row.value;
}

TEST(ReferenceText, EditFormWithAScaleFactorIsRefused) {
  const RealField scaled{RealForm::E, 12, 4, 2, 1, false, Precision::Single};
  EXPECT_THROW(reference(1.0, scaled), std::invalid_argument);
}

void expect_same_as_slow(std::uint32_t bits) {
  const numtext::DecimalDigits slow =
      numtext::testing::reference_decimal_digits(static_cast<double>(std::bit_cast<float>(bits)));
  ASSERT_EQ(numtext::testing::digits_difference(shindo::fuzzing::float_decimal_digits(bits), slow), "")
      << std::hex << bits;
}

TEST(FloatDigits, MatchTheSlowExpansionAtTheEdgesOfEveryExponent) {
  for (std::uint32_t sign : {0u, 0x80000000u}) {
    for (std::uint32_t biased = 0; biased <= 255; ++biased) {
      for (std::uint32_t fraction : {0u, 1u, 0x400000u, 0x7FFFFEu, 0x7FFFFFu}) {
        expect_same_as_slow(sign | biased << 23 | fraction);
      }
    }
  }
}

TEST(FloatDigits, MatchTheSlowExpansionNearPowersOfTen) {
  for (int k = -45; k <= 38; ++k) {
    const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(std::pow(10.0, k)));
    for (std::uint32_t near = bits - 2; near != bits + 3; ++near) expect_same_as_slow(near);
  }
}

TEST(FloatDigits, MatchTheSlowExpansionForRandomPatterns) {
  std::mt19937 random(4242);
  for (int n = 0; n < 20000; ++n) expect_same_as_slow(static_cast<std::uint32_t>(random()));
}

struct ReportRow {
  const char* name;
  std::string text;
  bool accepted;
  char letter;
  int number;
  const char* statement;
  const char* file_name;
};

std::string f_report(int number, const std::string& statement_and_name, std::string_view message) {
  return "\r\nrun-time error F" + std::to_string(number) + ": " + statement_and_name + ")\r\n- " +
         std::string(message) + "\r\n";
}

TEST(ReportCheck, AcceptsExactlyTheDefinedForms) {
  const std::string_view not_found = recio::error_message(recio::RunError::FileNotFound);
  const std::string_view bad_real = recio::error_message(recio::RunError::RealSyntax);
  const ReportRow rows[] = {
      {"missing file", f_report(6416, "OPEN(nofile.dat", not_found), true, 'F', 6416, "OPEN", "nofile.dat"},
      {"letter at the console", f_report(6103, "READ(CON", bad_real), true, 'F', 6103, "READ", "CON"},
      {"name with a parenthesis", f_report(6103, "READ(a)b", bad_real), true, 'F', 6103, "READ", "a)b"},
      {"empty name", f_report(6501, "OPEN(", recio::error_message(recio::RunError::EndOfFile)), true, 'F', 6501, "OPEN", ""},
      {"logarithm of zero", "\r\nrun-time error M6202: MATH\r\n- log10: SING error\r\n", true, 'M', 6202, "MATH",
       ""},
      {"division trap", "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n", true, 'M',
       6103, "MATH", ""},
      {"no leading line end", f_report(6416, "OPEN(x", not_found).substr(2), false, 0, 0, "", ""},
      {"no closing line end", "\r\nrun-time error M6202: MATH\r\n- log10: SING error", false, 0, 0, "", ""},
      {"message of another number", f_report(6416, "OPEN(x", bad_real), false, 0, 0, "", ""},
      {"number without a message", f_report(6999, "OPEN(x", not_found), false, 0, 0, "", ""},
      {"math message of another number", "\r\nrun-time error M6201: MATH\r\n- log10: SING error\r\n", false, 0, 0,
       "", ""},
      {"trap kind of another number", "\r\nrun-time error M6104: MATH\r\n- floating-point error: invalid\r\n",
       false, 0, 0, "", ""},
      {"unknown statement", f_report(6416, "FETCH(x", not_found), false, 0, 0, "", ""},
      {"two reports", f_report(6416, "OPEN(x", not_found) + f_report(6416, "OPEN(y", not_found), false, 0, 0, "",
       ""},
      {"sanitizer text after it", f_report(6103, "READ(CON", bad_real) + "==1==ERROR: AddressSanitizer\r\n", false,
       0, 0, "", ""},
      {"nothing", "", false, 0, 0, "", ""},
  };
  for (const ReportRow& row : rows) {
    SCOPED_TRACE(row.name);
    const shindo::fuzzing::ReportCheck check = shindo::fuzzing::check_report(row.text);
    ASSERT_EQ(check.report.has_value(), row.accepted) << check.problem;
    if (!row.accepted) {
      EXPECT_FALSE(check.problem.empty());
      continue;
    }
    EXPECT_EQ(check.report->letter, row.letter);
    EXPECT_EQ(check.report->number, row.number);
    EXPECT_EQ(check.report->statement, row.statement);
    EXPECT_EQ(check.report->file_name, row.file_name);
  }
}

}  // namespace
