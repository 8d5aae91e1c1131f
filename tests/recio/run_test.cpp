#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "recio/report.h"
#include "recio/run.h"
#include "recio/statement.h"
#include "recio/units.h"
#include "tests/support/process.h"
#include "tests/support/run_fixture.h"

namespace recio {
namespace {

using shindo::testing::read_file;
using ::testing::ExitedWithCode;

struct Reports : testing::FreshRun {};

TEST_F(Reports, UnitStatementReportShowsTheFileAndTheMessage) {
  start();
  EXPECT_EXIT(raise_error(RunError::FileNotFound, StatementKind::Open, "x.dat"), ExitedWithCode(1),
              "^\r\nrun-time error F6416: OPEN\\(x.dat\\)\r\n- file not found\r\n$");
  EXPECT_EXIT(raise_error(RunError::RealSyntax, StatementKind::Read, "CON"), ExitedWithCode(1),
              "^\r\nrun-time error F6103: READ\\(CON\\)\r\n- invalid real value in input\r\n$");
}

TEST_F(Reports, EndOfFileConditionsTakeAnEndBranch) {
  start();
  EXPECT_EQ(raise_error(RunError::EndOfFile, StatementKind::Read, "a", true), -1);
  EXPECT_EQ(raise_error(RunError::ReadAfterEnd, StatementKind::Read, "a", true), -1);
  EXPECT_EXIT(raise_error(RunError::ReadFailed, StatementKind::Read, "a", true), ExitedWithCode(1),
              "F6500: READ\\(a\\)");
}

struct TrapCase {
  const char* name;
  void (*operation)();
  const char* report;
};

volatile double zero = 0.0;
volatile double huge = 1.0e39;
volatile double tiny = 1.0e-300;
volatile float stored = 0.0f;

const TrapCase kTrapCases[] = {
    {"division_by_zero", [] { stored = static_cast<float>(1.0 / zero); },
     "M6103: MATH\r\n- floating-point error: divide by zero"},
    {"invalid_operation", [] { stored = static_cast<float>(zero / zero); },
     "M6101: MATH\r\n- floating-point error: invalid"},
    {"store_too_large_for_single", [] { stored = static_cast<float>(huge); },
     "M6104: MATH\r\n- floating-point error: overflow"},
    {"double_overflow", [] { stored = static_cast<float>(huge * 1e300 > 0 ? 1.0 : 0.0); },
     "M6104: MATH\r\n- floating-point error: overflow"},
};

struct Traps : testing::FreshRun, ::testing::WithParamInterface<TrapCase> {};

TEST_P(Traps, ReportTheFirstFailingOperation) {
  start();
  EXPECT_EXIT(
      {
        enable_floating_point_traps();
        GetParam().operation();
      },
      ExitedWithCode(1), std::string("^\r\nrun-time error ") + GetParam().report + "\r\n$");
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, Traps, ::testing::ValuesIn(kTrapCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Reports, UnderflowAndDenormalsDoNotTrap) {
  start();
  EXPECT_EXIT(
      {
        enable_floating_point_traps();
        stored = static_cast<float>(tiny * tiny);
        stored = static_cast<float>(1.0e-40);
        end_of_run(stored == 0.0f ? 3 : 4);
      },
      ExitedWithCode(4), "");
}

struct Stop : testing::FreshRun {
  void line(const char* text) {
    begin_write(kConsoleOutput);
    write_character(text, static_cast<std::int32_t>(std::char_traits<char>::length(text)));
    end_write();
  }
};

TEST_F(Stop, OpenConsoleLineIsEndedBeforeAndAfterTheStopMessage) {
  console.echo_to_error = true;
  start();
  EXPECT_EXIT(
      {
        line(" NT>2**15 !!!!!");
        stop();
      },
      ExitedWithCode(0), "^ NT>2\\*\\*15 !!!!!\r\nStop - Program terminated.\r\n\r\n$");
}

TEST_F(Stop, InteractiveConsoleAfterARead) {
  console.echo_to_error = true;
  console.input_terminal = console.output_terminal = true;
  start();
  EXPECT_EXIT(
      {
        unit_table().console.line_open = false;
        stop(nullptr, 0, 1);
      },
      ExitedWithCode(1), "^Stop - Program terminated.\r\n$");
}

TEST_F(Stop, ClosingWritesBufferedRecordsOfEveryUnit) {
  start();
  open_unit(11, "a.txt", 5, "UNKNOWN", 7);
  open_unit(12, "b.txt", 5, "UNKNOWN", 7);
  EXPECT_EXIT(
      {
        line("x");
        begin_write(11);
        end_write();
        begin_write(12);
        write_integer(12);
        end_write();
        stop();
      },
      ExitedWithCode(0), "");
  EXPECT_EQ(read_file("a.txt"), " \r\n");
  EXPECT_EQ(read_file("b.txt"), "          12\r\n");
}

TEST_F(Stop, ReportFollowsTheHeldConsoleOutputAndEndsWithTheClosing) {
  console.echo_to_error = true;
  start();
  EXPECT_EXIT(
      {
        line(" shown");
        raise_error(RunError::FileNotFound, StatementKind::Open, "x");
      },
      ExitedWithCode(1), "^ shown\r\nrun-time error F6416: OPEN\\(x\\)\r\n- file not found\r\n\r\n$");
}

struct FailingStandardOutput : Stop, ::testing::WithParamInterface<bool> {};

TEST_P(FailingStandardOutput, IsReportedOnce) {
  console.output_terminal = GetParam();
  start();
  EXPECT_EXIT(
      {
        host().write = [](int fd, const void* bytes, std::size_t count) -> ssize_t {
          if (fd != 1) return ::write(fd, bytes, count);
          errno = ENOSPC;
          return -1;
        };
        line(" shown");
        stop();
      },
      ExitedWithCode(1), "^\r\nrun-time error F6605: WRITE\\(CON\\)\r\n- write error\r\n$");
}

INSTANTIATE_TEST_SUITE_P(Console, FailingStandardOutput, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "terminal" : "held"; });

TEST_F(Stop, FailureDuringTheClosingIsReportedOnceAndFailsTheRun) {
  start();
  open_unit(11, "/dev/full", 9, "UNKNOWN", 7);
  EXPECT_EXIT(
      {
        begin_write(11);
        end_write();
        stop();
      },
      ExitedWithCode(1), "^\r\nrun-time error F6605: WRITE\\(/dev/full\\)\r\n- write error\r\n$");
}

}  // namespace
}  // namespace recio
