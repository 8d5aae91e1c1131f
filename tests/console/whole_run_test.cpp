// The built shindo driven end to end, through pipes and through a terminal.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/small_record.h"

namespace {

using shindo::testing::list_directory;
using shindo::testing::read_file;
using shindo::testing::RunRequest;
using shindo::testing::RunResult;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

std::string lines(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += part + "\r\n";
  return text;
}

// What the console shows up to the A0 line (without its line end).
const std::string kUpToA0 =
    lines({"", "", "Calculation of Shindo", "------------------------------------------------", "",
           "Enter acceleration file name:",
           "   0.000000E+00      -70.453600     -247.000000       58.045200",
           "   5.000000E-02      108.674600      197.131700      104.862100",
           "   1.000000E-01      312.000000      158.114600      -12.984400",
           "   1.500000E-01       57.769400     -202.707200     -112.104800",
           "   2.000000E-01        2.055500     -134.655800     -138.000000",
           "   2.500000E-01      115.699100      233.354200      -26.958900",
           "   3.000000E-01      -33.729700      218.447100       46.227900",
           "   3.500000E-01      -97.612600     -216.267000       17.444400",
           " nt, dt=          8    5.000000E-02", "", " IF1,NF=          3           8", "",
           " DUR,DOM,NOM,EOM=   4.000000E-01       15.707960           5       78.539820", "",
           "wave1_dat (filtered wave):", "", " Amax of Filtered wave (gal) =     125.908200", "",
           "a0tau_dat (A0-Tau Relation):", ""}) +
    " A0 (gal) =      73.404480";

const std::string kRequest = "File name missing or blank - please enter file name\r\nUNIT 10? ";
const std::string kAfterShindo =
    " Shindo   =       4.674445\r\n\r\nData are stored in fort.11 and fort.11\r\n"
    "Stop - Program terminated.\r\n";

struct WholeRun : ::testing::Test {
  TemporaryDirectory work;
  RunRequest request(std::vector<std::string> arguments = {}) {
    write_file(work.path / "small.txt", shindo::testing::kSmallRecord);
    return RunRequest{SHINDO_BINARY, std::move(arguments), work.path};
  }
  void expect_complete_files() {
    EXPECT_EQ(list_directory(work.path),
              (std::vector<std::string>{"a0tau_dat", "res.txt", "small.txt", "wave1_dat"}));
    EXPECT_EQ(read_file(work.path / "res.txt"), std::string(shindo::testing::kSmallResults));
    std::string wave = read_file(work.path / "wave1_dat");
    ASSERT_EQ(wave.size(), 8u * 26u);
    EXPECT_EQ(wave.substr(0, 52), "   .0000E+00   .8129E+02\r\n   .5000E-01   .8557E+02\r\n");
    EXPECT_EQ(read_file(work.path / "a0tau_dat").size(), 1000u * 26u);
  }
};

TEST_F(WholeRun, PipedWithoutArgumentAsksForTheResultsFile) {
  RunResult run = shindo::testing::run_piped(request(), "small.txt\r\nres.txt\r\n1\r\n");
  EXPECT_EQ(run.out, kUpToA0 + "\r\n" + kRequest + "\r\n" + kAfterShindo + "\r\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  expect_complete_files();
}

TEST_F(WholeRun, PipedAnswersSentInOneWriteWithLfLineEnds) {
  RunResult run = shindo::testing::run_piped(request(), "small.txt\nres.txt\n7.5\n");
  EXPECT_EQ(run.out, kUpToA0 + "\r\n" + kRequest + "\r\n" + kAfterShindo + "\r\n");
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(WholeRun, PipedWithArgumentWritesNoRequest) {
  RunResult run = shindo::testing::run_piped(request({"res.txt"}), "small.txt\r\n1\r\n");
  EXPECT_EQ(run.out, kUpToA0 + "\r\n" + kAfterShindo + "\r\n");
  EXPECT_EQ(run.exit_code, 0);
  expect_complete_files();
}

TEST_F(WholeRun, TerminalRunEndsTypedLinesWithoutExtraLineBreaks) {
  RunResult run = shindo::testing::run_in_terminal(
      request(), {{"file name:\r\n", "small.txt\r"}, {"UNIT 10? ", "  \r"}, {"UNIT 10? ", "res.txt\r"},
                  {"fort.11\r\n", "1\r"}});
  // Before each read an open line is ended; a typed line ends its own line.
  EXPECT_EQ(run.out, kUpToA0 + "\r\n" + kRequest + kRequest + "\r\n" + kAfterShindo);
  EXPECT_EQ(run.exit_code, 0);
  expect_complete_files();
}

TEST_F(WholeRun, TerminalLineOverTheConsoleLimitIsReported) {
  RunResult run = shindo::testing::run_in_terminal(
      request(), {{"file name:\r\n", std::string(140, 'a') + "\r"}});
  EXPECT_EQ(run.err.substr(0, 35), "\r\nrun-time error F6407: READ(CON)\r\n");
  EXPECT_EQ(run.exit_code, 1);
}

TEST_F(WholeRun, MissingInputFileEndsWithItsReport) {
  RunResult run = shindo::testing::run_piped(request(), "nofile.dat\r\n");
  EXPECT_EQ(run.err, "\r\nrun-time error F6416: OPEN(nofile.dat)\r\n- file not found\r\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(list_directory(work.path), std::vector<std::string>{"small.txt"});
}

TEST_F(WholeRun, TooLongRecordStopsWithFailureStatusAndWritesNoFile) {
  std::string record;
  for (int i = 0; i < 32769; ++i) record += "0.01 1 2 3\n";
  RunRequest too_long = request({"res.txt"});
  write_file(work.path / "long.txt", record);
  RunResult run = shindo::testing::run_piped(too_long, "long.txt\r\n");
  const std::string tail =
      " nt, dt=      32769    0.000000E+00\r\n NT>2**15 !!!!!\r\nStop - Program terminated.\r\n\r\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(list_directory(work.path), (std::vector<std::string>{"long.txt", "small.txt"}));
}

TEST_F(WholeRun, LetterAtTheClosingReadLeavesTheResultsFileComplete) {
  RunResult run = shindo::testing::run_piped(request({"res.txt"}), "small.txt\r\nq\r\n");
  EXPECT_EQ(run.err.substr(0, 35), "\r\nrun-time error F6103: READ(CON)\r\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(read_file(work.path / "res.txt"), std::string(shindo::testing::kSmallResults));
}

}  // namespace
