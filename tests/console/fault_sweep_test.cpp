// Makes each host call of a whole run fail in turn, once and for good: every
// such run ends either complete or with a report and exit status 1.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "console/run.h"
#include "recio/statement.h"
#include "tests/support/fake_host.h"
#include "tests/support/process.h"
#include "tests/support/run_fixture.h"
#include "tests/support/small_record.h"

namespace {

using shindo::testing::read_file;
using shindo::testing::write_file;

struct Outcome {
  int status = -1;
  bool signalled = false;
  long calls = 0;
  std::string report;
};

// The console's standard output is a file or pipe (its output is held and
// written in large pieces) or a terminal (one write per record).
struct FaultSweep : recio::testing::FreshRun, ::testing::WithParamInterface<bool> {
  // One whole run in a child process with the `countdown`-th host call failing.
  Outcome run_with_fault(long countdown, bool persistent) {
    for (const char* name : {"wave1_dat", "a0tau_dat", "res.txt", "report"}) ::unlink(name);
    write_file("small.txt", shindo::testing::kSmallRecord);
    int calls_pipe[2];
    EXPECT_EQ(::pipe(calls_pipe), 0);
    pid_t child = ::fork();
    if (child == 0) {
      ::close(calls_pipe[0]);
      int report = ::open("report", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(report, 2);
      console.input = "small.txt\r\nres.txt\r\n1\r\n";
      console.output_terminal = GetParam();
      char name[] = "shindo";
      char* argv[] = {name, nullptr};
      recio::start_run(1, argv);
      recio::testing::ScopedFaultInjector fault(countdown, persistent);
      // The injector's count reaches the parent through the pipe when the run exits.
      static int count_fd = calls_pipe[1];
      recio::host().exit = [](int status) {
        long calls = recio::testing::ScopedFaultInjector::calls();
        [[maybe_unused]] ssize_t n = ::write(count_fd, &calls, sizeof calls);
        ::_exit(status);
      };
      console::run();
    }
    ::close(calls_pipe[1]);
    Outcome outcome;
    [[maybe_unused]] ssize_t n = ::read(calls_pipe[0], &outcome.calls, sizeof outcome.calls);
    ::close(calls_pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.signalled = WIFSIGNALED(status);
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    outcome.report = read_file("report");
    return outcome;
  }

  void expect_sound(long countdown, bool persistent, const Outcome& outcome) {
    SCOPED_TRACE("host call " + std::to_string(countdown) + (persistent ? " persistent" : " once"));
    ASSERT_FALSE(outcome.signalled);
    if (outcome.status == 0) {
      EXPECT_EQ(outcome.report, "");
      EXPECT_EQ(read_file("res.txt"), std::string(shindo::testing::kSmallResults));
      EXPECT_EQ(read_file("wave1_dat").size(), 8u * 26u);
      EXPECT_EQ(read_file("a0tau_dat").size(), 1000u * 26u);
    } else {
      EXPECT_EQ(outcome.status, 1);
      EXPECT_EQ(outcome.report.rfind("\r\nrun-time error ", 0), 0u) << outcome.report;
    }
  }
};

TEST_P(FaultSweep, EveryHostCallOfAWholeRunFailingEndsSoundly) {
  const long total = run_with_fault(0, false).calls;
  ASSERT_GT(total, 20);
  int complete = 0;
  for (bool persistent : {false, true}) {
    for (long countdown = 1; countdown <= total; ++countdown) {
      Outcome outcome = run_with_fault(countdown, persistent);
      complete += outcome.status == 0;
      expect_sound(countdown, persistent, outcome);
    }
  }
  // Some calls may fail harmlessly, but not most of them.
  EXPECT_LT(complete, total);
  std::printf("%ld host calls in a run, %d of %ld faulty runs complete\n", total, complete, 2 * total);
}

INSTANTIATE_TEST_SUITE_P(Console, FaultSweep, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "terminal_output" : "redirected_output"; });

}  // namespace
