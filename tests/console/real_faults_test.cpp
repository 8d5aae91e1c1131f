// Whole runs that meet real faults of the machine rather than injected ones:
// a full device, a directory the program may not write in, a directory named
// as the record file, no standard input. Each ends with its report and exit
// status 1, and a file the program could not finish is never left behind as
// if it were complete.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/small_record.h"

namespace {

using shindo::testing::list_directory;
using shindo::testing::RunRequest;
using shindo::testing::RunResult;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

struct RealFault {
  const char* name;
  std::vector<std::string> arguments;
  const char* answers;          // standard input; nullptr: descriptor 0 closed
  bool read_only_directory;     // the working directory may not be written by the program
  const char* report;           // the report's first two lines
  bool reaches_the_stop;        // the console shows the whole computation and the stop line
  std::vector<std::string> files;  // the working directory afterwards
};

const std::vector<RealFault> kFaults = {
    {"results_file_on_a_full_device", {"/dev/full"}, "small.txt\r\n1\r\n", false,
     "run-time error F6605: WRITE(/dev/full)\r\n- write error\r\n", true,
     {"a0tau_dat", "adir", "small.txt", "wave1_dat"}},
    {"wave_file_in_a_directory_without_write_permission", {"res.txt"}, "small.txt\r\n1\r\n", true,
     "run-time error F6414: OPEN(wave1_dat)\r\n- access to the file refused\r\n", false,
     {"adir", "small.txt"}},
    {"record_file_name_that_is_a_directory", {"res.txt"}, "adir\r\n1\r\n", false,
     "run-time error F6414: OPEN(adir)\r\n- access to the file refused\r\n", false, {"adir", "small.txt"}},
    {"standard_input_closed", {"res.txt"}, nullptr, false,
     "run-time error F6500: READ(CON)\r\n- read error\r\n", false, {"adir", "small.txt"}},
};

struct RealFaults : ::testing::TestWithParam<RealFault> {};

TEST_P(RealFaults, EndWithTheirReportAndStatusOne) {
  const RealFault& fault = GetParam();
  TemporaryDirectory work;
  write_file(work.path / "small.txt", shindo::testing::kSmallRecord);
  std::filesystem::create_directory(work.path / "adir");
  RunRequest request{SHINDO_BINARY, fault.arguments, work.path};
  request.close_standard_input = fault.answers == nullptr;
  request.unprivileged = fault.read_only_directory;
  if (fault.read_only_directory) {
    ASSERT_EQ(::chmod((work.path / "small.txt").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(work.path.c_str(), 0555), 0);
  }

  RunResult run = shindo::testing::run_piped(request, fault.answers ? fault.answers : "");
  ::chmod(work.path.c_str(), 0700);

  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.term_signal, 0);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "\r\n" + std::string(fault.report));
  const std::string stop = "Stop - Program terminated.\r\n";
  EXPECT_EQ(run.out.ends_with(stop), fault.reaches_the_stop) << run.out;
  EXPECT_EQ(list_directory(work.path), fault.files);
}

INSTANTIATE_TEST_SUITE_P(Machine, RealFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
