// The console-text reader against the console program's own reading of the
// same texts: the same samples and interval to the bit, and a failure exactly
// where the console program fails.
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readers/readers.h"
#include "tests/support/console_program_read.h"

namespace {

using readers::Error;
using readers::Record;

std::vector<std::uint32_t> bits(const std::vector<float>& values) {
  std::vector<std::uint32_t> result;
  for (float value : values) result.push_back(std::bit_cast<std::uint32_t>(value));
  return result;
}

struct SameAsConsoleCase {
  const char* name;
  std::string text;
  std::size_t samples;  // 0: the console program refuses the text
};

// Every rule of the free-format record, and the ends of files.
const std::vector<SameAsConsoleCase> kSameAsConsole = {
    {"blank_separated", "0 1 2 3\n0.01 4 5 6\n", 2},
    {"commas_and_tabs", "0,1,\t2,3\r\n0.01 ,4 , 5,6\r\n", 2},
    {"null_values_keep_zero", "0,1,,3\n0.01,,5,\n\n7\n", 2},
    {"comma_after_blanks_is_one_separator", "0 , 1 , 2 , 3\n", 1},
    {"repeat_count", "0 3*2.5\n0.01 2*1 4\n", 2},
    {"null_repeat", "0 2* 9\n0.02 1 2 3\n", 2},
    {"repeat_beyond_the_sample_is_dropped", "0 1 2 5*7\n1 2 3 4\n", 2},
    {"slash_ends_the_values", "0 1 /\n0.01 4 5 6\n", 2},
    {"repeat_pending_at_slash", "0 3*1/ 9\n", 1},
    {"sample_over_lines", "0\n1\n2\n3 99\n0.01 4\n5 6\n", 2},
    {"values_after_the_fourth_ignored", "0 1 2 3 4 5 6\n0.01 4 5 6 x y\n", 2},
    {"incomplete_last_sample", "0 1 2 3\n0.01 4 5\n", 1},
    {"incomplete_second_sample_gives_the_interval", "0 1 2 3\n0.25\n", 1},
    {"last_line_without_end", "0 1 2 3\n0.01 4 5 6", 2},
    {"lone_cr_skips_to_the_line_end", "0 1 2 3\r9 9\n0.01 4 5 6\n", 2},
    {"number_forms", "0 1.5D-3 .25 -12\n1e-2 1.5-3 +7 1E+2\n", 2},
    {"empty_quotes_are_null", "0 '' 2 3\n", 1},
    {"empty_pair_is_null", "0 () 2 3\n", 1},
    {"quote_never_closed", "0 1 2 3\n0.01 'abc\n", 1},
    {"empty_text", "", 0},
    {"only_blank_lines", "\n  \n\r\n", 0},
    {"not_a_number", "0 1 2 x\n", 0},
    {"quoted_number", "0 1 2 '3'\n", 0},
    {"zero_repeat", "0 0*1 2 3\n", 0},
    {"two_repeat_counts", "0 2*3*1 2\n", 0},
    {"longest_value", "0 1 2 0." + std::string(257, '0') + "1\n", 1},
    {"value_too_long", "0 1 2 " + std::string(300, '1') + "\n", 0},
    {"exponent_too_large", "0 1 2 1e400\n", 0},
    {"beyond_single_range", "0 1 2 1e39\n", 0},
};

class SameAsConsole : public ::testing::TestWithParam<SameAsConsoleCase> {};

TEST_P(SameAsConsole, GivesTheConsoleProgramsSamplesToTheBit) {
  const SameAsConsoleCase& c = GetParam();
  const shindo::testing::ConsoleProgramRead reference = shindo::testing::read_as_console_program(c.text);
  const readers::Result<Record> read = readers::read_console_text("r.txt", c.text);
  if (c.samples == 0) {
    EXPECT_FALSE(reference.completed && !reference.acc1.empty()) << "the case expects a refusal";
    ASSERT_TRUE(std::holds_alternative<Error>(read));
    return;
  }
  ASSERT_TRUE(reference.completed) << reference.report;
  ASSERT_TRUE(std::holds_alternative<Record>(read)) << readers::error_text(std::get<Error>(read));
  const Record& record = std::get<Record>(read);
  EXPECT_EQ(record.acc1.size(), c.samples);
  EXPECT_EQ(bits(record.acc1), bits(reference.acc1));
  EXPECT_EQ(bits(record.acc2), bits(reference.acc2));
  EXPECT_EQ(bits(record.acc3), bits(reference.acc3));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(record.dt), std::bit_cast<std::uint32_t>(reference.dt));
}

INSTANTIATE_TEST_SUITE_P(Texts, SameAsConsole, ::testing::ValuesIn(kSameAsConsole),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleText, ValuesAndIntervalOfASmallRecord) {
  const readers::Result<Record> read = readers::read_console_text("r.txt", "0,1,,3\n0.01 4 5 6\n");
  ASSERT_TRUE(std::holds_alternative<Record>(read));
  const Record& record = std::get<Record>(read);
  EXPECT_EQ(record.acc1, (std::vector<float>{1.0f, 4.0f}));
  EXPECT_EQ(record.acc2, (std::vector<float>{0.0f, 5.0f}));
  EXPECT_EQ(record.dt, 0.01f);
  EXPECT_EQ(record.format, readers::Format::console_text);
}

struct RefusalCase {
  const char* name;
  const char* text;
  std::size_t line;
  const char* message_part;
};

const RefusalCase kRefusals[] = {
    {"three_columns", "1 2 3\n4 5 6\n", 1, "three values"},
    {"three_columns_with_commas", "1,2,3\r\n\r\n4,5,6\r\n", 1, "three values"},
    {"bad_value_on_third_line", "0 1 2 3\n0.01 4 5 6\n0.02 7 x 9\n", 3, "not a number: \"x\""},
    {"quoted_value", "0 1 2 3\n0.01 4 \"5\" 6\n", 2, "quoted"},
    {"nothing_complete", "0 1\n", 0, "no complete sample"},
};

class ConsoleTextRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ConsoleTextRefusal, NamesTheFileAndLine) {
  const RefusalCase& c = GetParam();
  const readers::Result<Record> read = readers::read_console_text("d/r.txt", c.text);
  ASSERT_TRUE(std::holds_alternative<Error>(read));
  const Error& error = std::get<Error>(read);
  EXPECT_EQ(error.file, "d/r.txt");
  EXPECT_EQ(error.line, c.line);
  EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.message;
}

INSTANTIATE_TEST_SUITE_P(Texts, ConsoleTextRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

struct LineCase {
  const char* name;
  const char* line;
  std::size_t limit;
  std::vector<std::optional<float>> values;
  bool more;
};

const std::vector<LineCase> kLines = {
    {"blanks_tabs_commas", "0.01 1\t2,3", 4, {0.01f, 1.0f, 2.0f, 3.0f}, false},
    {"cr_of_the_line_end", "1 2 3\r", 4, {1.0f, 2.0f, 3.0f}, false},
    {"repeat_and_nulls", "0.01 2*1.5,,3 / 9", 6, {0.01f, 1.5f, 1.5f, std::nullopt, 3.0f}, false},
    {"repeated_nulls_at_the_end", "1 2*", 4, {1.0f, std::nullopt, std::nullopt}, false},
    {"trailing_comma_is_no_value", "1,2,", 4, {1.0f, 2.0f}, false},
    {"slash_alone", "/", 4, {}, false},
    {"blank_line", " \t ", 4, {}, false},
    {"more_than_the_limit", "1 2 3 4", 3, {1.0f, 2.0f, 3.0f}, true},
    {"value_past_the_limit_not_read", "1 2 3 x", 3, {1.0f, 2.0f, 3.0f}, true},
    {"long_repetition_stops_at_the_limit", "2147483647*1", 3, {1.0f, 1.0f, 1.0f}, true},
    {"slash_after_the_limit_is_no_value", "1 2 3 /", 3, {1.0f, 2.0f, 3.0f}, false},
};

class ConsoleLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ConsoleLine, SplitsWithTheFreeFormatRules) {
  const LineCase& c = GetParam();
  const readers::Result<readers::LineValues> read = readers::read_console_line("s", 7, c.line, c.limit);
  ASSERT_TRUE(std::holds_alternative<readers::LineValues>(read)) << readers::error_text(std::get<Error>(read));
  const readers::LineValues& line = std::get<readers::LineValues>(read);
  EXPECT_EQ(line.values, c.values);
  EXPECT_EQ(line.more, c.more);
}

INSTANTIATE_TEST_SUITE_P(Lines, ConsoleLine, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleLine, RefusalsNameTheFileAndLine) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"1 x", "not a number: \"x\""},
      {"1 '2'", "a quoted value where a number is wanted"},
      {"1 '2", "a quoted value where a number is wanted"},
      {"1 (2", "a quoted value where a number is wanted"},
      {"0*1", "a repeat count of zero"},
      {"x*1", "a repeat count that is not a whole number: \"x*\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const readers::Result<readers::LineValues> read = readers::read_console_line("s", 7, c.line, 4);
    ASSERT_TRUE(std::holds_alternative<Error>(read));
    const Error& error = std::get<Error>(read);
    EXPECT_EQ(readers::error_text(error), std::string("s:7: ") + c.message);
  }
}

// A line of at least four values gives the console program's sample, a null
// value being the 0.0 of its fresh storage.
TEST(ConsoleLine, GivesTheConsoleProgramsSampleToTheBit) {
  for (const char* line : {"0 1.5D-3 .25 -12", "0,1,,3", "0 3*2.5", "0 1 2* 9", "0 1 2 3 / 4", "1e-2 1.5-3 +7 1E+2 5"}) {
    SCOPED_TRACE(line);
    const shindo::testing::ConsoleProgramRead reference =
        shindo::testing::read_as_console_program(std::string(line) + "\n");
    ASSERT_TRUE(reference.completed) << reference.report;
    const readers::Result<readers::LineValues> read = readers::read_console_line("s", 1, line, 4);
    ASSERT_TRUE(std::holds_alternative<readers::LineValues>(read));
    const std::vector<std::optional<float>>& values = std::get<readers::LineValues>(read).values;
    ASSERT_EQ(values.size(), 4u);
    std::vector<float> components;
    for (std::size_t i = 1; i < 4; ++i) components.push_back(values[i].value_or(0.0f));
    EXPECT_EQ(bits(components), bits({reference.acc1[0], reference.acc2[0], reference.acc3[0]}));
  }
}

}  // namespace
