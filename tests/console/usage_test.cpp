// The console program outside its dialogue: --help and --version answer and
// leave no file behind, and a record file in a network's format gets one
// hint line after its report; other reports keep their bytes.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace {

using shindo::testing::RunRequest;
using shindo::testing::RunResult;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

TEST(ConsoleUsage, HelpAndVersionAnswerWithoutADialogue) {
  const struct {
    const char* argument;
    std::vector<const char*> parts;
  } rows[] = {
      {"--help", {"Usage: shindo [RESULTS-FILE]\n", "shindo-batch", "man shindo, man shindo-batch"}},
      {"--version", {"shindo 2."}},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.argument);
    TemporaryDirectory work;
    const RunResult run = shindo::testing::run_piped(RunRequest{SHINDO_BINARY, {c.argument}, work.path}, "");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    for (const char* part : c.parts) EXPECT_NE(run.out.find(part), std::string::npos) << run.out;
    EXPECT_TRUE(shindo::testing::list_directory(work.path).empty());
  }
}

constexpr const char* kHint =
    "- this looks like a K-NET, KiK-net or JMA CSV file: shindo-batch reads those (man shindo-batch)\r\n";

TEST(ConsoleUsage, NetworkFilesGetAHintAfterTheirReport) {
  const struct {
    const char* name;
    std::string record;
    bool hint;
  } rows[] = {
      {"knet", "Origin Time       2008/06/14 08:43:00\nLat.              39.028\n", true},
      {"jma_csv", "SITE CODE= EA0\x95\xC4,35.2733,133.3483,  9,7.3\r\n LAT.=    0.0000\r\n", true},
      {"console_text_with_a_bad_value", "0 1 2 3\n0.01 4 x 6\n", false},
      {"other_text", "Origin of the data: a logger\n", false},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.name);
    TemporaryDirectory work;
    write_file(work.path / "rec.dat", c.record);
    const RunResult run =
        shindo::testing::run_piped(RunRequest{SHINDO_BINARY, {"res.txt"}, work.path}, "rec.dat\n1\n");
    EXPECT_EQ(run.exit_code, 1);
    const std::string report = "\r\nrun-time error F6103: READ(rec.dat)\r\n- invalid real value in input\r\n";
    ASSERT_NE(run.err.find(report), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(kHint) != std::string::npos, c.hint) << run.err;
    if (c.hint) EXPECT_EQ(run.err.find(kHint), run.err.find(report) + report.size());
  }
}

}  // namespace
