// The values of JMA CSV sample lines: whichever way a line is read (the one
// pass over plain lines or the general line reading), every value has the bits
// the console program's reading gives its field (read_console_line, which
// reads each value by numtext::read_real), and a line that cannot be read is
// refused with its line and message.
#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readers/readers.h"
#include "tests/support/network_files.h"

namespace {

using readers::Error;
using readers::Record;

// The header lines of a JMA CSV file, then `lines` each ended by `line_end`.
std::string csv_text(const std::vector<std::string>& lines, const std::string& line_end = "\r\n") {
  shindo::testing::JmaCsvContent content;
  std::string text = shindo::testing::jma_csv_text(content);
  for (const std::string& line : lines) text += line + line_end;
  return text;
}

std::uint32_t bits_of(float value) { return std::bit_cast<std::uint32_t>(value); }

// The float the console program's reading gives a field (no blanks around it).
std::uint32_t console_bits(const std::string& field) {
  const readers::Result<readers::LineValues> read = readers::read_console_line("field", 1, field, 1);
  const auto* values = std::get_if<readers::LineValues>(&read);
  if (values == nullptr || values->values.size() != 1 || !values->values[0]) {
    ADD_FAILURE() << "the console reading refuses \"" << field << "\"";
    return 0;
  }
  return bits_of(*values->values[0]);
}

Record read_or_fail(const std::string& text) {
  const readers::Result<Record> read = readers::read_jma_csv("d/A.csv", text);
  if (const Error* error = std::get_if<Error>(&read)) {
    ADD_FAILURE() << readers::error_text(*error);
    return {};
  }
  return std::get<Record>(read);
}

// Checks every sample of `record` against its three field texts.
void expect_console_values(const Record& record, const std::vector<std::array<std::string, 3>>& fields,
                           const std::string& what) {
  ASSERT_EQ(record.acc1.size(), fields.size()) << what;
  const std::vector<float>* components[3] = {&record.acc1, &record.acc2, &record.acc3};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_EQ(bits_of((*components[c])[i]), console_bits(fields[i][c])) << what << ": sample " << i << " \""
                                                                         << fields[i][c] << "\"";
    }
  }
}

struct LineCase {
  const char* name;
  const char* line;
  std::array<std::string, 3> fields;  // the texts read_real is given
};

const LineCase kLines[] = {
    {"plain", "-0.018,0.000,-0.017", {"-0.018", "0.000", "-0.017"}},
    {"negative_zero", "-0.000,-0,+0.0", {"-0.000", "-0", "+0.0"}},
    {"leading_plus", "+1.5,+0.25,+7", {"+1.5", "+0.25", "+7"}},
    {"leading_zeros", "000123.4500,-0000.0001,007", {"000123.4500", "-0000.0001", "007"}},
    {"point_first_or_last", ".5,5.,-.5", {".5", "5.", "-.5"}},
    {"fifteen_digits", "123456789012.345,-9.99999999999999,0.00000000000001",
     {"123456789012.345", "-9.99999999999999", "0.00000000000001"}},
    {"sixteen_digits", "1234567890123.456,-0.1000000000000001,9999999999999999",
     {"1234567890123.456", "-0.1000000000000001", "9999999999999999"}},
    {"long_digit_run", "0.1000000000000000055511151231257827021181583404541015625,1,2",
     {"0.1000000000000000055511151231257827021181583404541015625", "1", "2"}},
    // The last is above the halfway point between two floats, but its double is that point: the float is
    // the one below, as the console program reads it, not the nearest.
    {"halfway_between_floats", "16777217,0.3333333432674407958984375,1.00000005960464477539063",
     {"16777217", "0.3333333432674407958984375", "1.00000005960464477539063"}},
    {"exponents", "1.5E-3,2.5D2,-7e+1", {"1.5E-3", "2.5D2", "-7e+1"}},
    {"exponent_without_letter", "1.5-3,2.5+2,-7.25-1", {"1.5-3", "2.5+2", "-7.25-1"}},
    {"blanks_and_tabs", " 1.5 ,\t-2.5\t,  3 ", {"1.5", "-2.5", "3"}},
    {"carriage_return_in_a_field", "1.5\r,2.5,3.5", {"1.5", "2.5", "3.5"}},
    {"second_carriage_return", "1.5,2.5,3.5\r", {"1.5", "2.5", "3.5"}},
    {"spreadsheet_commas", "1.5,2.5,3.5,,,,", {"1.5", "2.5", "3.5"}},
    {"largest_float", "340282346638528859811704183484516925440,0,-340282346638528859811704183484516925440",
     {"340282346638528859811704183484516925440", "0", "-340282346638528859811704183484516925440"}},
    {"below_the_smallest_float", "1e-50,-1e-46,1.4e-45", {"1e-50", "-1e-46", "1.4e-45"}},
};

class JmaLine : public ::testing::TestWithParam<LineCase> {};

// Each case's line between two plain lines, with CR LF and with LF ends, and
// as the last line with and without its line end.
TEST_P(JmaLine, ValuesAreTheConsoleReadingOfTheirFields) {
  const LineCase& c = GetParam();
  const std::vector<std::array<std::string, 3>> fields = {{"0.001", "-0.002", "0.003"}, c.fields, {"4", "5", "6"}};
  for (const std::string line_end : {"\r\n", "\n"}) {
    const std::string what = std::string(c.name) + (line_end == "\n" ? ", LF" : ", CR LF");
    expect_console_values(read_or_fail(csv_text({"0.001,-0.002,0.003", c.line, "4,5,6"}, line_end)), fields, what);
    std::string last = csv_text({"0.001,-0.002,0.003"}, line_end) + c.line;
    expect_console_values(read_or_fail(last), {fields[0], fields[1]}, what + ", last line without its end");
    expect_console_values(read_or_fail(last + "\r"), {fields[0], fields[1]}, what + ", last line ending in CR");
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, JmaLine, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  const char* line;  // the second sample line, line 9 of the file
  const char* message;
};

const RefusedCase kRefused[] = {
    {"empty_last_value", "1,2,", "a sample line needs three values NS,EW,UD: \"1,2\""},
    {"empty_middle_value", "1,,3", "not a number: \"\""},
    {"four_values", "1,2,3,4", "a sample line needs three values NS,EW,UD: \"1,2,3,4\""},
    {"two_points", "1.2.3,4,5", "not a number: \"1.2.3\""},
    {"sign_alone", "-,1,2", "not a number: \"-\""},
    {"letter_after_digits", "1,2,3x", "not a number: \"3x\""},
    {"sign_after_sign", "+-1,2,3", "not a number: \"+-1\""},
    {"exponent_too_large", "1e400,2,3", "not a number: \"1e400\""},
    {"beyond_single_precision", "1,2,3.5e38", "not a number: \"3.5e38\""},
    {"blank_inside", "1 2,3,4", "not a number: \"1 2\""},
};

class JmaRefusedLine : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(JmaRefusedLine, IsRefusedWithItsLine) {
  const RefusedCase& c = GetParam();
  for (const std::string line_end : {"\r\n", "\n"}) {
    const readers::Result<Record> read = readers::read_jma_csv("d/A.csv", csv_text({"1,2,3", c.line, "4,5,6"}, line_end));
    ASSERT_TRUE(std::holds_alternative<Error>(read)) << c.name;
    const Error& error = std::get<Error>(read);
    EXPECT_EQ(error.file, "d/A.csv");
    EXPECT_EQ(error.line, 9u) << c.name;
    EXPECT_EQ(error.message, c.message) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, JmaRefusedLine, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

// A plain decimal of 1 to 17 digits, a point anywhere or none, and no sign,
// '-' or '+'; now and then an exponent.
std::string random_decimal(std::mt19937_64& random) {
  const int digits = static_cast<int>(random() % 17) + 1;
  const int point = static_cast<int>(random() % static_cast<std::uint64_t>(digits + 2)) - 1;  // -1: none
  std::string text;
  const std::uint64_t sign = random() % 3;
  if (sign == 1) text += '-';
  if (sign == 2) text += '+';
  for (int d = 0; d < digits; ++d) {
    if (d == point) text += '.';
    text += static_cast<char>('0' + random() % 10);
  }
  if (point == digits) text += '.';
  if (random() % 16 == 0) text += "e" + std::to_string(static_cast<int>(random() % 41) - 20);
  return text;
}

TEST(JmaCsvValues, ManyDecimalsHaveTheConsoleReadingsBits) {
  std::mt19937_64 random(20240101);
  constexpr std::size_t kSamples = 100000;
  std::vector<std::array<std::string, 3>> fields(kSamples);
  std::vector<std::string> lines;
  lines.reserve(kSamples);
  for (std::array<std::string, 3>& sample : fields) {
    for (std::string& field : sample) field = random_decimal(random);
    lines.push_back(sample[0] + "," + sample[1] + "," + sample[2]);
  }
  expect_console_values(read_or_fail(csv_text(lines)), fields, "random decimals");
}

// The real records, when present (never copied into the project)

const std::filesystem::path kReal = SHINDO_SOURCE_DIR "/../shared/data/real/jma_csv";

TEST(RealRecords, JmaCsvValuesAreTheConsoleReadingOfTheirFields) {
  if (!std::filesystem::exists(kReal)) GTEST_SKIP() << "no real records here";
  for (const char* name : {"AA06EA01.csv", "Q4149CF2.csv", "Q4169D2004.csv", "Q416EED018.csv"}) {
    std::ifstream in(kReal / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    // The fields of every line after the column line "NS,EW,UD".
    std::vector<std::array<std::string, 3>> fields;
    std::istringstream lines(text.substr(text.find("NS,EW,UD")));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::array<std::string, 3>& sample = fields.emplace_back();
      std::istringstream values(line);
      for (std::string& field : sample) std::getline(values, field, ',');
    }
    expect_console_values(read_or_fail(text), fields, name);
  }
}

}  // namespace
