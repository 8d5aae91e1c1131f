#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recio/statement.h"
#include "recio/units.h"
#include "tests/support/process.h"
#include "tests/support/run_fixture.h"

namespace recio {
namespace {

using shindo::testing::read_file;

struct Item {
  enum Kind { Integer, Real, Text } kind;
  std::int32_t integer = 0;
  float real = 0.0f;
  const char* text = "";
};
Item I(std::int32_t v) { return {Item::Integer, v, 0.0f, ""}; }
Item R(float v) { return {Item::Real, 0, v, ""}; }
Item T(const char* t) { return {Item::Text, 0, 0.0f, t}; }

void write_statement(std::int32_t unit, const std::vector<Item>& items, const char* format = nullptr) {
  begin_write(unit, format, format ? -1 : 0);
  for (const Item& item : items) {
    switch (item.kind) {
      case Item::Integer: write_integer(item.integer); break;
      case Item::Real: write_real(item.real); break;
      case Item::Text: write_character(item.text, static_cast<std::int32_t>(std::strlen(item.text))); break;
    }
  }
  end_write();
}

struct RecordCase {
  const char* name;
  std::vector<Item> items;
  std::string record;  // the whole record with its first (line-control) character
};

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

const std::vector<RecordCase> kRecordCases = {
    {"count_and_interval", {T(" nt, dt="), I(4000), R(0.01f)},
     " " " nt, dt=" + blanks(7) + "4000" + blanks(4) + "1.000000E-02"},
    {"transform_size", {T(" IF1,NF="), I(12), I(4096)},
     " " " IF1,NF=" + blanks(9) + "12" + blanks(8) + "4096"},
    {"four_reals", {R(0.0f), R(1.5f), R(-2.25f), R(10.0f)},
     blanks(4) + "0.000000E+00" + blanks(8) + "1.500000" + blanks(7) + "-2.250000" + blanks(7) +
         "10.000000"},
    {"level_line", {T(" A0 (gal) ="), R(123.4f)}, " " " A0 (gal) =" + blanks(5) + "123.400000"},
    {"empty_statement", {}, " "},
    {"value_then_text", {R(1.0f), T("abc")}, blanks(8) + "1.000000abc"},
    {"text_then_integer", {T("n="), I(-4096)}, " n=" + blanks(6) + "-4096"},
    {"smallest_integer_fills_its_columns", {I(-2147483647 - 1)}, " -2147483648"},
    {"two_integers_separated", {I(1), I(2)}, blanks(11) + "1" + blanks(11) + "2"},
    {"empty_text_keeps_record_blank", {T(""), I(7)}, blanks(11) + "7"},
    {"literal_keeps_leading_blanks", {T("   x")}, "    x"},
    {"filter_line_fits_one_record",
     {T(" DUR,DOM,NOM,EOM="), R(40.959999f), R(0.15339808f), I(2049), R(314.31268f)},
     " " " DUR,DOM,NOM,EOM=" + blanks(6) + "40.960000" + blanks(4) + "1.533981E-01" + blanks(8) +
         "2049" + blanks(6) + "314.312700"},
};

struct ListRecord : testing::FreshRun, ::testing::WithParamInterface<RecordCase> {};

TEST_P(ListRecord, FileRecordKeepsItsFirstCharacterAndEndsInCrLf) {
  start();
  open_unit(11, "out.txt", 7, "UNKNOWN", 7);
  write_statement(11, GetParam().items);
  close_unit(11);
  EXPECT_EQ(read_file("out.txt"), GetParam().record + "\r\n");
}

TEST_P(ListRecord, ConsoleShowsRecordWithoutItsFirstCharacter) {
  start();
  write_statement(kConsoleOutput, GetParam().items);
  write_statement(kConsoleOutput, {T("next")});
  EXPECT_EQ(shown(), GetParam().record.substr(1) + "\r\nnext");
}

INSTANTIATE_TEST_SUITE_P(Records, ListRecord, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ListLayout : testing::FreshRun {
  std::string record_of(const std::vector<Item>& items) {
    start();
    open_unit(11, "out.txt", 7, "UNKNOWN", 7);
    write_statement(11, items);
    close_unit(11);
    return read_file("out.txt");
  }
};

TEST_F(ListLayout, FifthRealStartsANewRecordWithOnlyItsOwnBlanks) {
  EXPECT_EQ(record_of({R(1.0f), R(2.0f), R(3.0f), R(4.0f), R(5.0f)}),
            blanks(8) + "1.000000" + blanks(8) + "2.000000" + blanks(8) + "3.000000" + blanks(8) +
                "4.000000\r\n" + blanks(8) + "5.000000\r\n");
}

TEST_F(ListLayout, SeventhIntegerStartsANewRecord) {
  std::string six;
  for (int i = 0; i < 6; ++i) six += blanks(11) + "9";
  EXPECT_EQ(record_of({I(9), I(9), I(9), I(9), I(9), I(9), I(9)}),
            six + "\r\n" + blanks(11) + "9\r\n");
}

TEST_F(ListLayout, LongTextIsCutAtTheLineWidth) {
  std::string text(100, 'x');
  EXPECT_EQ(record_of({T(text.c_str())}),
            " " + std::string(79, 'x') + "\r\n " + std::string(21, 'x') + "\r\n");
}

TEST_F(ListLayout, FileReceivesWholeBuffersThenTheRestAtClose) {
  // Records of 26 bytes: a little more than two buffers.
  const int kRecords = static_cast<int>(2 * kFileBufferSize / 26 + 4);
  start();
  open_unit(11, "out.txt", 7, "UNKNOWN", 7);
  std::vector<std::size_t> sizes;
  {
    testing::ScopedFaultInjector counter(0, false, 0, testing::HostCall::Write);
    for (int i = 0; i < kRecords; ++i) write_statement(11, {R(0.0f), R(123.456f)}, "(4E12.4)");
    // Two full buffers are out, the rest waits for the close.
    EXPECT_EQ(testing::ScopedFaultInjector::calls(), 2);
    close_unit(11);
    EXPECT_EQ(testing::ScopedFaultInjector::calls(), 3);
  }
  std::string expected;
  for (int i = 0; i < kRecords; ++i) expected += "   .0000E+00   .1235E+03\r\n";
  EXPECT_EQ(read_file("out.txt"), expected);
}

struct ConsoleLines : testing::FreshRun {};

TEST_F(ConsoleLines, FirstEmptyRecordWritesNothingUntilTheNextLine) {
  start();
  write_statement(kConsoleOutput, {});
  EXPECT_EQ(shown(), "");
  write_statement(kConsoleOutput, {});
  write_statement(kConsoleOutput, {T("Calculation of Shindo")});
  EXPECT_EQ(shown(), "\r\n\r\nCalculation of Shindo");
}

TEST_F(ConsoleLines, RecordLongerThanTheConsoleBufferIsWrittenInPieces) {
  start();
  std::vector<Item> items(12, R(1.0f));
  write_statement(kConsoleOutput, items, "(12E12.4)");
  // 144 characters: a first piece of 132 loses its control character, the
  // second piece is written unchanged.
  std::string fields;
  for (int i = 0; i < 12; ++i) fields += "   .1000E+01";
  EXPECT_EQ(shown(), fields.substr(1));
}

struct FormattedRecord {
  const char* name;
  const char* format;
  std::vector<float> values;
  std::string file;
};

const std::vector<FormattedRecord> kFormattedCases = {
    {"two_items_two_fields", "(4E12.4)", {0.0f, 123.456f}, "   .0000E+00   .1235E+03\r\n"},
    {"five_items_two_records", "(4E12.4)", {1.0f, -0.5f, 0.01f, 3.4e38f, 98765.4f},
     "   .1000E+01  -.5000E+00   .1000E-01   .3400E+39\r\n   .9877E+05\r\n"},
    {"text_after_the_format_ignored", "(4E12.4) and (nonsense", {9.99995f}, "   .1000E+02\r\n"},
    {"blanks_and_lower_case", " ( 2 e 10 . 3 )", {-1.0e-10f, 0.12345f}, " -.100E-09  .123E+00\r\n"},
    {"reversion_to_last_group", "(E10.3,(E9.2))", {1.0f, 2.0f, 3.0f}, "  .100E+01  .20E+01\r\n  .30E+01\r\n"},
    {"group_repeat", "(2(E9.2))", {1.0f, 2.0f, 3.0f}, "  .10E+01  .20E+01\r\n  .30E+01\r\n"},
    {"field_too_narrow", "(E5.4)", {1.0f}, "*****\r\n"},
    {"exponent_digits", "(E12.4E3)", {1.0f}, "  .1000E+001\r\n"},
    {"d_edit", "(D12.4)", {1.0f}, "   .1000D+01\r\n"},
};

struct Formatted : testing::FreshRun, ::testing::WithParamInterface<FormattedRecord> {};

TEST_P(Formatted, FileRecords) {
  start();
  open_unit(11, "out.txt", 7, "UNKNOWN", 7);
  std::vector<Item> items;
  for (float v : GetParam().values) items.push_back(R(v));
  write_statement(11, items, GetParam().format);
  close_unit(11);
  EXPECT_EQ(read_file("out.txt"), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Records, Formatted, ::testing::ValuesIn(kFormattedCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FormatFailure {
  const char* name;
  const char* format;
  const char* report;
};

const std::vector<FormatFailure> kFormatFailures = {
    {"integer_descriptor_for_real", "(4I5)", "F6206: WRITE\\(out.txt\\)"},
    {"fixed_form_not_carried_out", "(4F12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"missing_fraction", "(4E12)", "F6606: WRITE\\(out.txt\\)"},
    {"no_opening_parenthesis", "4E12.4", "F6606: WRITE\\(out.txt\\)"},
    {"no_data_descriptor", "()", "F6606: WRITE\\(out.txt\\)"},
    {"engineering_form", "(EN12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"blank_control", "(BN,E12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"tab_right", "(TR2,E12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"sign_plus", "(SP,E12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"hollerith", "(2Hab,E12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"quoted_with_doubled_quote", "('it''s',E12.4)", "F6607: WRITE\\(out.txt\\)"},
    {"blank_skip", "(1X,E12.4)", "F6607: WRITE\\(out.txt\\)"},
};

struct FormattedFailure : testing::FreshRun, ::testing::WithParamInterface<FormatFailure> {};

TEST_P(FormattedFailure, EndsTheRunWithItsReport) {
  start();
  open_unit(11, "out.txt", 7, "UNKNOWN", 7);
  EXPECT_EXIT(write_statement(11, {R(1.0f)}, GetParam().format), ::testing::ExitedWithCode(1),
              std::string("run-time error ") + GetParam().report);
}

INSTANTIATE_TEST_SUITE_P(Formats, FormattedFailure, ::testing::ValuesIn(kFormatFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleLines, FieldsBeforeAFormatErrorReachTheFile) {
  start();
  open_unit(11, "out.txt", 7, "UNKNOWN", 7);
  EXPECT_EXIT(
      {
        write_statement(11, {R(1.0f), R(2.0f)}, "(E12.4,Q)");
      },
      ::testing::ExitedWithCode(1), "F6606");
  // The run's closing wrote the field placed before the faulty descriptor.
  EXPECT_EQ(read_file("out.txt"), "   .1000E+01");
}

}  // namespace
}  // namespace recio
