#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recio/scanner.h"
#include "recio/statement.h"
#include "recio/units.h"
#include "tests/support/process.h"
#include "tests/support/run_fixture.h"

namespace recio {
namespace {

using shindo::testing::write_file;

// The value an item holds when the statement left it unchanged.
constexpr float U = -99.0f;

using Record = std::array<float, 4>;

// What the loop read of four reals per statement gives for a file: the
// records it completed and the items of the statement that took the
// end-of-file branch.
struct LoopResult {
  std::vector<Record> records;
  Record last;
};

// One four-item statement with an end-of-file branch, as the record input
// issues it; false when a call returned the branch.
bool read_four(Record& items) {
  items.fill(U);
  begin_read(11, true);
  for (float& item : items) {
    if (read_real(&item) != 0) return false;
  }
  return end_read() == 0;
}

LoopResult read_all_records() {
  LoopResult result;
  Record items;
  while (read_four(items)) result.records.push_back(items);
  result.last = items;
  return result;
}

struct Scanner : testing::FreshRun {
  void open_data(const std::string& content) {
    write_file("data.txt", content);
    start();
    open_unit(11, "data.txt", 8, "OLD", 3);
  }
};

struct FileCase {
  const char* name;
  std::string content;
  std::vector<Record> records;
  Record last{U, U, U, U};
};

std::string padded_to(std::size_t size, const std::string& head, const std::string& tail) {
  return head + std::string(size - head.size() - tail.size(), ' ') + tail;
}

std::vector<FileCase> file_cases() {
  return {
      {"blanks", "0.01 1.5 -2.0 3.25\n", {{0.01f, 1.5f, -2.0f, 3.25f}}},
      {"commas", "0.01,1.5,-2.0,3.25\n", {{0.01f, 1.5f, -2.0f, 3.25f}}},
      {"tabs", "0.01\t1.5\t\t-2.0\t3.25\n", {{0.01f, 1.5f, -2.0f, 3.25f}}},
      {"leading and trailing blanks", " \t 0.01 1.5 -2.0 3.25 \t \n", {{0.01f, 1.5f, -2.0f, 3.25f}}},
      {"spread over lines", "0.01 1.5\n-2.0 3.25\n", {{0.01f, 1.5f, -2.0f, 3.25f}}},
      {"blank lines between", "\n0.01\n\n   \n1.5 -2.0\n\t\n3.25\n", {{0.01f, 1.5f, -2.0f, 3.25f}}},
      {"five per line", "1 2 3 4 5\n6 7 8 9\n", {{1, 2, 3, 4}, {6, 7, 8, 9}}},
      {"three per line", "1 2 3\n4 5 6\n7 8 9 10\n", {{1, 2, 3, 4}, {7, 8, 9, 10}}},
      {"repeat count", "3*2.5 1\n", {{2.5f, 2.5f, 2.5f, 1}}},
      {"repeat ended by the record end", "1 3*2\n5 6 7 8\n", {{1, 2, 2, 2}, {5, 6, 7, 8}}},
      {"pending repeat dropped", "1 2 3 5*7\n8 9 1 2\n", {{1, 2, 3, 7}, {8, 9, 1, 2}}},
      {"repeated nulls before a blank", "1 2* 4\n", {{1, U, U, 4}}},
      {"repeated nulls before a comma", "1 2*,4\n", {{1, U, U, 4}}},
      {"repeated nulls at the record end", "1 2 2*\n5 6 7 8\n", {{1, 2, U, U}, {5, 6, 7, 8}}},
      {"count of one before a blank", "1 1* 3 4\n", {{1, U, 3, 4}}},
      {"two commas", "1,,3,4\n", {{1, U, 3, 4}}},
      {"trailing commas", "1,,,\n5 6 7 8\n9 1 2 3\n", {{1, U, U, 5}, {9, 1, 2, 3}}},
      {"comma after blanks", "1 , , 3 4\n", {{1, U, 3, 4}}},
      {"slash between values", "1.0 2.0 / 7.0\n5 6 7 8\n", {{1, 2, U, U}, {5, 6, 7, 8}}},
      {"slash alone", "/\n5 6 7 8\n", {{U, U, U, U}, {5, 6, 7, 8}}},
      {"slash after a repeat", "3*5/ 9\n1 2 3 4\n", {{5, 5, 5, U}, {1, 2, 3, 4}}},
      {"CR LF lines", "1 2 3 4\r\n5 6 7 8\r\n", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
      {"lone CR is no line end", "1 2\r3 4\n5 6 7 8\n", {{1, 2, 5, 6}}},
      {"last line without LF", "1 2 3 4\n5 6 7 8", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
      {"last CR LF line without line end", "1 2 3 4\r\n5 6 7 8", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
      {"blank lines at the end", "1 2 3 4\n\n\n  \n\r\n", {{1, 2, 3, 4}}},
      {"end of file mid-statement", "1 2 3 4\n5 6\n", {{1, 2, 3, 4}}, {5, 6, U, U}},
      {"end of file mid-statement without LF", "1 2 3 4\n5 6 7", {{1, 2, 3, 4}}, {5, 6, 7, U}},
      {"empty file", "", {}},
      {"quote open at the end of the file", "1 2 3 4\n'abcd", {{1, 2, 3, 4}}},
      {"quote open after values", "1 2 3 4\n5 6 \"\x01\x02\x80\x7f", {{1, 2, 3, 4}}, {5, 6, U, U}},
      {"lines longer than the buffer",
       std::string(kFileBufferSize + 500, ' ') + "1 2\n" + std::string(2 * kFileBufferSize, '\t') + "3 4\n",
       {{1, 2, 3, 4}}},
      {"file of one full buffer without LF", padded_to(kFileBufferSize, "1 2 3 4\n", "5 6 7 8"),
       {{1, 2, 3, 4}, {5, 6, 7, 8}}},
      {"file of two full buffers without LF", padded_to(2 * kFileBufferSize, "1 2 3 4\n", "5 6 7 8"),
       {{1, 2, 3, 4}, {5, 6, 7, 8}}},
      {"file of one full buffer with LF", padded_to(kFileBufferSize, "1 2 3 4\n", "5 6 7 8\n"),
       {{1, 2, 3, 4}, {5, 6, 7, 8}}},
      {"file of one full buffer and one more byte", padded_to(kFileBufferSize + 1, "1 2 3 4\n", "5 6 7 8"),
       {{1, 2, 3, 4}, {5, 6, 7, 8}}},
  };
}

TEST_F(Scanner, FileRecordsGiveTheirValues) {
  for (const FileCase& c : file_cases()) {
    SCOPED_TRACE(c.name);
    open_data(c.content);
    LoopResult result = read_all_records();
    close_unit(11);
    ASSERT_EQ(result.records.size(), c.records.size());
    for (std::size_t i = 0; i < c.records.size(); ++i) EXPECT_EQ(result.records[i], c.records[i]);
    EXPECT_EQ(result.last, c.last);
  }
}

TEST_F(Scanner, StatementStaysAtTheEndOfFileBranchOnceTaken) {
  open_data("5 6\n");
  Record items{U, U, U, U};
  begin_read(11, true);
  const std::array<int, 5> statuses{read_real(&items[0]), read_real(&items[1]),
                                    read_real(&items[2]), read_real(&items[3]), end_read()};
  EXPECT_EQ(statuses, (std::array<int, 5>{0, 0, -1, -1, -1}));
  EXPECT_EQ(items, (Record{5, 6, U, U}));
  // A later statement on the unit takes its branch at once.
  begin_read(11, true);
  EXPECT_EQ(read_real(&items[0]), -1);
  begin_read(11, false);
  EXPECT_EXIT(read_real(&items[0]), ::testing::ExitedWithCode(1),
              "^\r\nrun-time error F6405: READ\\(data.txt\\)\r\n- ");
}

TEST_F(Scanner, FirstUnconsumedByteIsKnownToTheUnit) {
  const std::string full = padded_to(kFileBufferSize, "1 2 3 4\n", "5 6 7 8");
  for (const std::string& content : {std::string("1 2 3 4\n5 6 7 8\n"), full}) {
    open_data(content);
    Record items;
    ASSERT_TRUE(read_four(items));
    UnitRecord& unit = *find_unit(11);
    EXPECT_EQ(unit.file_offset - (unit.last - unit.next + 1), 8);
    ASSERT_TRUE(read_four(items));
    EXPECT_EQ(unit.file_offset - (unit.last - unit.next + 1),
              static_cast<std::int64_t>(content.size()));
    close_unit(11);
  }
}

TEST_F(Scanner, CharacterItemsFromAFile) {
  open_data("'ab c' xyz\n2*'q''r'\n(1,2)\n");
  // Two items per statement, of the lengths given; the texts they receive.
  const std::size_t lengths[3][2] = {{6, 8}, {3, 3}, {4, 1}};
  const char* expected[3][2] = {{"ab c  ", "xyz     "}, {"q'r", "q'r"}, {"1,2 ", "#"}};
  for (int statement = 0; statement < 3; ++statement) {
    std::string texts[2];
    begin_read(11, true);
    for (int item = 0; item < 2; ++item) {
      texts[item].assign(lengths[statement][item], '#');
      ASSERT_EQ(read_character(texts[item].data(), static_cast<std::int32_t>(texts[item].size())),
                statement == 2 && item == 1 ? -1 : 0);
      EXPECT_EQ(texts[item], expected[statement][item]);
    }
  }
}

struct FailureCase {
  const char* content;
  const char* report;
};

TEST_F(Scanner, BadValuesEndTheRunDespiteTheEndOfFileBranch) {
  const std::string too_long = std::string(261, '1') + "\n";
  const FailureCase cases[] = {
      {"1 abc 2 3\n", "F6103: READ\\(data.txt\\)\r\n- invalid real value in input"},
      {too_long.c_str(), "F6103"},
      {"1e39\n", "F6104: READ\\(data.txt\\)\r\n- real value out of range"},
      {"1e6000\n", "F6102"},
      {"'1' 2\n", "F6504"},
      {"(1,2) 2\n", "F6504"},
      {"0*1 2\n", "F6502: READ\\(data.txt\\)\r\n- repeat count of zero"},
      {"2*3*4\n", "F6503"},
      {"1*2*4\n", "F6503"},
      {"x*4\n", "F6303"},
      {"99999999999*4\n", "F6302"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.content);
    open_data(c.content);
    Record items;
    EXPECT_EXIT(read_four(items), ::testing::ExitedWithCode(1),
                std::string("^\r\nrun-time error ") + c.report);
    close_unit(11);
  }
}

TEST_F(Scanner, FailedReadIsReported) {
  open_data("1 2 3 4\n");
  testing::ScopedFaultInjector fault(1, false, EIO, testing::HostCall::Read);
  Record items;
  EXPECT_EXIT(read_four(items), ::testing::ExitedWithCode(1),
              "^\r\nrun-time error F6500: READ\\(data.txt\\)\r\n- read error\r\n$");
}

// Console reads, as the run's file-name and closing reads issue them.
std::string read_name() {
  char name[20];
  std::memset(name, '#', sizeof name);
  begin_read(kConsoleInput, false);
  read_character(name, sizeof name);
  end_read();
  return std::string(name, sizeof name);
}

float read_reply() {
  float reply = U;
  begin_read(kConsoleInput, false);
  read_real(&reply);
  end_read();
  return reply;
}

struct NameCase {
  const char* typed;
  const char* name;
};

TEST_F(Scanner, TypedFileNames) {
  const NameCase cases[] = {
      {"data.txt\r\n", "data.txt            "},
      {"   data.txt\r\n", "data.txt            "},
      {"abcdefghijklmnopqrstuvwxy\r\n", "abcdefghijklmnopqrst"},
      {"data.txt/xyz\r\n", "data.txt            "},
      {"my data.txt\r\n", "my                  "},
      {"'my data.txt'\r\n", "my data.txt         "},
      {"'it''s'\r\n", "it's                "},
      {"'abcdefghijklmnopqrstuvwxyz'\r\n", "abcdefghijklmnopqrst"},
      {"\r\n\r\n  \r\nname\r\n", "name                "},
      {",\r\n", "####################"},
      {"/\r\n", "####################"},
      {"''\r\n", "####################"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.typed);
    console.input = c.typed;
    console.input_at = 0;
    start();
    EXPECT_EQ(read_name(), c.name);
  }
}

TEST_F(Scanner, RedirectedConsoleKeepsAnswersSentTogether) {
  console.input = "data.txt other words\r\n\r\n-1.5D3 x\r\n";
  start();
  console_output_unit().line_open = true;
  EXPECT_EQ(read_name(), "data.txt            ");
  EXPECT_EQ(read_reply(), -1500.0f);
  // Console output lives on its own unit: its open line is left alone.
  EXPECT_TRUE(console_output_unit().line_open);
  EXPECT_EQ(shown(), "");
}

TEST_F(Scanner, InteractiveConsoleStartsTheAnswerOnAFreshLine) {
  console.input_terminal = true;
  console.output_terminal = true;
  // A console record half written keeps its line.
  for (bool half_written : {false, true}) {
    SCOPED_TRACE(half_written);
    console.input = "7\n";
    console.input_at = 0;
    console.output.clear();
    start();
    UnitRecord& unit = unit_table().console;
    // Bytes typed before the prompt was shown are not the answer.
    std::memcpy(unit.input.data(), "3\n", 2);
    unit.next = 0;
    unit.last = 1;
    unit.line_open = true;
    unit.record_started = half_written;
    EXPECT_EQ(read_reply(), 7.0f);
    EXPECT_EQ(shown(), half_written ? "" : "\r\n");
    EXPECT_FALSE(unit.line_open);
  }
}

TEST_F(Scanner, InteractiveConsoleDropsTheRestOfTheLine) {
  console.input_terminal = true;
  console.input = "1 2\n";
  console.read_limit = 4;
  start();
  EXPECT_EQ(read_reply(), 1.0f);
  EXPECT_EXIT(read_reply(), ::testing::ExitedWithCode(1), "F6501: READ\\(CON\\)");
}

TEST_F(Scanner, ConsoleFailures) {
  const struct {
    bool terminal;
    std::string typed;
    const char* report;
  } cases[] = {
      {false, "q\r\n", "^\r\nrun-time error F6103: READ\\(CON\\)\r\n- invalid real value in input\r\n$"},
      {false, "", "^\r\nrun-time error F6501: READ\\(CON\\)\r\n- end of file encountered\r\n$"},
      {false, "\x1a\r\n", "F6501: READ\\(CON\\)"},
      {true, std::string(140, '1'), "F6407: READ\\(CON\\)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    console.input_terminal = c.terminal;
    console.input = c.typed;
    console.input_at = 0;
    start();
    EXPECT_EXIT(read_reply(), ::testing::ExitedWithCode(1), c.report);
  }
}

TEST_F(Scanner, CtrlZLineTakesTheEndOfFileBranch) {
  // Each console read delivers one line.
  console.input = "\x1a\r\n5\r\n";
  console.read_limit = 3;
  start();
  float reply = U;
  begin_read(kConsoleInput, true);
  EXPECT_EQ(read_real(&reply), -1);
  EXPECT_TRUE(unit_table().console.at_end);
  EXPECT_EQ(reply, U);
}

TEST_F(Scanner, TypedLinesOfARedirectedConsole) {
  const std::string full_with_cr = std::string(131, 'a') + "\r";
  const struct {
    std::string input;
    std::vector<std::string> lines;
  } cases[] = {
      {"  res.txt  \r\n", {"  res.txt  "}},
      {"\n\nres.txt\n", {"", "", "res.txt"}},
      {"one\rtwo\r\n", {"one", "two"}},
      // The CR fills the buffer: the LF after it still belongs to its line.
      {full_with_cr + "\nsecond\r\n", {std::string(131, 'a'), "second"}},
      {std::string(300, 'b') + "\nc\n", {std::string(260, 'b'), "c"}},
      {"last", {"last"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    console.input = c.input;
    console.input_at = 0;
    start();
    for (const std::string& line : c.lines) EXPECT_EQ(read_typed_line(unit_table().console), line);
    EXPECT_EQ(read_typed_line(unit_table().console), std::nullopt);
  }
}

TEST_F(Scanner, TypedLineOfAnInteractiveConsoleIsOneRead) {
  console.input_terminal = true;
  console.output_terminal = true;
  console.input = " res.txt \r\nmore\r\n";
  start();
  EXPECT_EQ(read_typed_line(unit_table().console), " res.txt ");
  EXPECT_EQ(read_typed_line(unit_table().console), std::nullopt);
}

}  // namespace
}  // namespace recio
