// Whole runs on hostile input: each ends with a computed result or with a
// report and exit status 1, never a crash or a hang.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace {

using shindo::testing::RunRequest;
using shindo::testing::RunResult;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

std::string record_lines(int count, const std::string& values) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i * 0.01) + " " + values + "\n";
  return text;
}

struct HostileCase {
  const char* name;
  std::string record;
  int status;
  const char* report;  // start of the report's first line, or "" for none
};

const std::vector<HostileCase> kCases = {
    {"nul_bytes_and_garbage", std::string("0 1 2 3\n\0\x01\xff\xfe garbage\x7f\n", 22), 1,
     "run-time error F6103: READ(data.txt)"},
    {"value_of_300_characters", "0 " + std::string(300, '1') + " 2 3\n", 1,
     "run-time error F6103: READ(data.txt)"},
    {"line_of_100000_characters", [] {
       std::string line = "-0.01 1 2 3";
       while (line.size() < 100000) line += " 9";
       return line + "\n" + record_lines(40, "1 2 3");
     }(), 0, ""},
    {"values_near_the_single_range", record_lines(40, "3.4e38 -3.4e38 3.4028234e38"), 1,
     "run-time error M6104: MATH"},
    {"value_beyond_the_single_range", "0 3.5e38 0 0\n", 1, "run-time error F6104: READ(data.txt)"},
    {"forty_thousand_records", record_lines(40000, "1 2 3"), 1, ""},
};

struct HostileInput : ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileInput, EndsWithAResultOrAReport) {
  TemporaryDirectory work;
  write_file(work.path / "data.txt", GetParam().record);
  RunResult run = shindo::testing::run_piped(RunRequest{SHINDO_BINARY, {"res.txt"}, work.path},
                                             "data.txt\r\n1\r\n");
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.term_signal, 0);
  EXPECT_EQ(run.exit_code, GetParam().status);
  std::string report = GetParam().report;
  if (report.empty()) {
    EXPECT_EQ(run.err, "");
  } else {
    EXPECT_EQ(run.err.substr(0, report.size() + 2), "\r\n" + report);
  }
}

INSTANTIATE_TEST_SUITE_P(Records, HostileInput, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileInputFile, RecordFileThatIsAFifoIsReadToItsEnd) {
  TemporaryDirectory work;
  ASSERT_EQ(::mkfifo((work.path / "data.txt").c_str(), 0600), 0);
  pid_t writer = ::fork();
  if (writer == 0) {
    std::string record = record_lines(40, "1 2 3");
    FILE* fifo = std::fopen((work.path / "data.txt").c_str(), "w");
    std::fwrite(record.data(), 1, record.size(), fifo);
    std::fclose(fifo);
    ::_exit(0);
  }
  RunResult run = shindo::testing::run_piped(RunRequest{SHINDO_BINARY, {"res.txt"}, work.path},
                                             "data.txt\r\n1\r\n");
  ::waitpid(writer, nullptr, 0);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find(" nt, dt=         40    1.000000E-02"), std::string::npos);
}

}  // namespace
