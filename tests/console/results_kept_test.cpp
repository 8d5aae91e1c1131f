// The built shindo keeps what a run has computed: an interrupt while it waits
// at the console loses no record already written, the results are never
// written over the record they come from, and a standard output that fails
// is reported once.
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <ostream>
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

// A row of a table is shown by its name in the test output.
template <class Row>
  requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

const std::string kClosingMessage = "Data are stored in fort.11 and fort.11";
const std::string kUnitTenRequest = "UNIT 10? ";

// The files of the same run left to finish.
struct CompleteRun {
  std::string wave;
  std::string levels;
};

const CompleteRun& complete_run() {
  static const CompleteRun files = [] {
    TemporaryDirectory work;
    write_file(work.path / "small.txt", shindo::testing::kSmallRecord);
    RunResult run = shindo::testing::run_piped({SHINDO_BINARY, {"res.txt"}, work.path}, "small.txt\r\n1\r\n");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(read_file(work.path / "res.txt"), std::string(shindo::testing::kSmallResults));
    return CompleteRun{read_file(work.path / "wave1_dat"), read_file(work.path / "a0tau_dat")};
  }();
  return files;
}

struct Interrupt {
  const char* name;
  bool terminal;
  int signal_number;
  bool results_argument;    // res.txt named on the command line, else typed at the request
  const std::string* wait;  // the prompt at which the signal comes
};

struct InterruptAtAPrompt : ::testing::TestWithParam<Interrupt> {};

TEST_P(InterruptAtAPrompt, LeavesEveryFileWrittenSoFarComplete) {
  const Interrupt& row = GetParam();
  TemporaryDirectory work;
  write_file(work.path / "small.txt", shindo::testing::kSmallRecord);
  // Longer than the results: the file is truncated at the run's first record.
  write_file(work.path / "res.txt", std::string(200, 'o') + "\r\n");
  RunRequest request{SHINDO_BINARY, {}, work.path};
  if (row.results_argument) request.arguments = {"res.txt"};
  request.signal_when_waiting = {*row.wait, row.signal_number};

  RunResult run;
  if (row.terminal) {
    run = shindo::testing::run_in_terminal(
        request, {{"file name:\r\n", "small.txt\r"}, {row.results_argument ? "" : kUnitTenRequest, "res.txt\r"}});
  } else {
    run = shindo::testing::run_piped(request, row.results_argument ? "small.txt\r\n" : "small.txt\r\nres.txt\r\n");
  }

  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.term_signal, row.signal_number);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find(*row.wait), std::string::npos);
  const CompleteRun& complete = complete_run();
  EXPECT_EQ(read_file(work.path / "wave1_dat"), complete.wave);
  EXPECT_EQ(read_file(work.path / "a0tau_dat"), complete.levels);
  if (row.wait == &kClosingMessage) {
    EXPECT_EQ(read_file(work.path / "res.txt"), std::string(shindo::testing::kSmallResults));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Console, InterruptAtAPrompt,
    ::testing::Values(Interrupt{"pipe_sigint_at_the_closing_pause", false, SIGINT, true, &kClosingMessage},
                      Interrupt{"pipe_sigterm_at_the_closing_pause", false, SIGTERM, true, &kClosingMessage},
                      Interrupt{"pipe_sighup_at_the_closing_pause", false, SIGHUP, true, &kClosingMessage},
                      Interrupt{"pipe_sigint_after_the_typed_results_file", false, SIGINT, false,
                                &kClosingMessage},
                      Interrupt{"pipe_sigint_at_the_unit_ten_request", false, SIGINT, false, &kUnitTenRequest},
                      Interrupt{"terminal_sigint_at_the_closing_pause", true, SIGINT, true, &kClosingMessage},
                      Interrupt{"terminal_sigterm_at_the_closing_pause", true, SIGTERM, true, &kClosingMessage},
                      Interrupt{"terminal_sighup_at_the_closing_pause", true, SIGHUP, true, &kClosingMessage},
                      Interrupt{"terminal_sighup_after_the_typed_results_file", true, SIGHUP, false,
                                &kClosingMessage},
                      Interrupt{"terminal_sigint_at_the_unit_ten_request", true, SIGINT, false,
                                &kUnitTenRequest}),
    [](const auto& info) { return std::string(info.param.name); });

struct RecordAsResults {
  const char* name;
  std::vector<std::string> arguments;
  std::string record_name;  // the name the record is given at the file-name prompt
  std::string answers;      // typed after it (the request for unit 10, the closing reply)
  bool terminal;
  const char* shown_name;   // the name in the report
};

struct RecordNamedAsResultsFile : ::testing::TestWithParam<RecordAsResults> {};

TEST_P(RecordNamedAsResultsFile, IsRefusedAndLeftIntact) {
  const RecordAsResults& row = GetParam();
  TemporaryDirectory work;
  write_file(work.path / "rec.txt", shindo::testing::kSmallRecord);
  ASSERT_EQ(::link((work.path / "rec.txt").c_str(), (work.path / "same.txt").c_str()), 0);
  RunRequest request{SHINDO_BINARY, row.arguments, work.path};

  RunResult run;
  if (row.terminal) {
    run = shindo::testing::run_in_terminal(
        request, {{"file name:\r\n", row.record_name + "\r"}, {kUnitTenRequest, row.answers + "\r"}});
  } else {
    run = shindo::testing::run_piped(request, row.record_name + "\r\n" + row.answers + "\r\n1\r\n");
  }

  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, std::string("\r\nrun-time error F6419: OPEN(") + row.shown_name +
                         ")\r\n- file was read as input in this run and would be overwritten\r\n");
  EXPECT_EQ(read_file(work.path / "rec.txt"), std::string(shindo::testing::kSmallRecord));
  EXPECT_EQ(list_directory(work.path),
            (std::vector<std::string>{"a0tau_dat", "rec.txt", "same.txt", "wave1_dat"}));
  EXPECT_EQ(run.out.find("Shindo   ="), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    BothWays, RecordNamedAsResultsFile,
    ::testing::Values(
        RecordAsResults{"as_argument", {"rec.txt"}, "rec.txt", "", false, "rec.txt"},
        RecordAsResults{"as_argument_by_another_path", {"./rec.txt"}, "rec.txt", "", false, "./rec.txt"},
        RecordAsResults{"as_argument_by_a_hard_link", {"same.txt"}, "rec.txt", "", false, "same.txt"},
        RecordAsResults{"argument_named_the_record_then_typed_at_the_request", {"rec.txt"}, ",", "rec.txt",
                        false, "rec.txt"},
        RecordAsResults{"typed_at_the_request", {}, "rec.txt", "rec.txt", false, "rec.txt"},
        RecordAsResults{"typed_with_blanks_at_the_request", {}, "rec.txt", "  rec.txt  ", false, "rec.txt"},
        RecordAsResults{"typed_at_the_request_in_a_terminal", {}, "rec.txt", "rec.txt", true, "rec.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailingOutput {
  const char* name;
  std::vector<std::string> arguments;
  const char* answers;
};

struct StandardOutputOnAFullDevice : ::testing::TestWithParam<FailingOutput> {};

TEST_P(StandardOutputOnAFullDevice, IsReportedOnce) {
  TemporaryDirectory work;
  write_file(work.path / "small.txt", shindo::testing::kSmallRecord);
  RunRequest request{SHINDO_BINARY, GetParam().arguments, work.path};
  request.standard_output_file = "/dev/full";
  RunResult run = shindo::testing::run_piped(request, GetParam().answers);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "\r\nrun-time error F6605: WRITE(CON)\r\n- write error\r\n");
  EXPECT_EQ(list_directory(work.path), std::vector<std::string>{"small.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Console, StandardOutputOnAFullDevice,
    ::testing::Values(FailingOutput{"with_results_argument", {"res.txt"}, "small.txt\r\n1\r\n"},
                      FailingOutput{"without_argument", {}, "small.txt\r\nres.txt\r\n1\r\n"},
                      FailingOutput{"without_any_answer", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
