// The child-process runners and directory helpers that whole-run tests rely
// on, checked against /bin/sh and /bin/cat.
#include <unistd.h>

#include <csignal>
#include <ostream>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using shindo::testing::list_directory;
using shindo::testing::read_file;
using shindo::testing::RunRequest;
using shindo::testing::RunResult;
using shindo::testing::run_in_terminal;
using shindo::testing::run_piped;
using shindo::testing::run_piped_in_pieces;
using shindo::testing::TemporaryDirectory;
using shindo::testing::TypedInput;
using shindo::testing::write_file;

RunRequest shell(const std::string& script, std::vector<std::string> extra = {}) {
  RunRequest request{"/bin/sh", {"-c", script, "sh"}, {}, 10s};
  request.arguments.insert(request.arguments.end(), extra.begin(), extra.end());
  return request;
}

struct PipedCase {
  const char* name;
  std::string script;
  std::vector<std::string> arguments;
  std::string input;
  std::string out;
  std::string err;
  int exit_code;
};

class PipedRun : public ::testing::TestWithParam<PipedCase> {};

TEST_P(PipedRun, KeepsEveryByteAndTheStatus) {
  const PipedCase& row = GetParam();
  const RunResult result = run_piped(shell(row.script, row.arguments), row.input);
  EXPECT_EQ(result.out, row.out);
  EXPECT_EQ(result.err, row.err);
  EXPECT_EQ(result.exit_code, row.exit_code);
  EXPECT_EQ(result.term_signal, 0);
  EXPECT_FALSE(result.timed_out);
}

INSTANTIATE_TEST_SUITE_P(
    Runner, PipedRun,
    ::testing::Values(
        PipedCase{"streams_apart", "printf 'out\\r\\n'; printf 'err\\r\\n' >&2; exit 3", {}, "", "out\r\n",
                  "err\r\n", 3},
        PipedCase{"input_delivered_then_closed", "cat; printf '|'; cat", {}, std::string("a\r\nb\0c", 6),
                  std::string("a\r\nb\0c|", 7), "", 0},
        PipedCase{"arguments_verbatim", "printf '%s|' \"$@\"", {"a b", "", " c "}, "", "a b|| c |", "", 0},
        PipedCase{"no_output", "exit 0", {}, "ignored\n", "", "", 0},
        PipedCase{"input_left_unread", "exit 1", {}, std::string(1 << 20, 'x'), "", "", 1}),
    [](const ::testing::TestParamInfo<PipedCase>& info) { return std::string(info.param.name); });

TEST(PipedRunner, LargeInputAndOutputDoNotDeadlock) {
  std::string input;
  for (int i = 0; input.size() < (3u << 20); ++i) input += std::to_string(i) + "\r\n";
  const RunResult result = run_piped({"/bin/cat", {}, {}, 20s}, input);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(result.out == input) << "output of " << result.out.size() << " bytes differs";
}

TEST(PipedRunner, RunsInTheGivenDirectory) {
  TemporaryDirectory directory;
  RunRequest request = shell("printf made > made.txt; pwd -P");
  request.directory = directory.path;
  const RunResult result = run_piped(request, "");
  EXPECT_EQ(result.out, std::filesystem::canonical(directory.path).string() + "\n");
  EXPECT_EQ(list_directory(directory.path), std::vector<std::string>{"made.txt"});
  EXPECT_EQ(read_file(directory.path / "made.txt"), "made");
}

TEST(PipedRunner, ReportsTheSignalThatEndedTheChild) {
  const RunResult result = run_piped(shell("printf before; kill -TERM $$"), "");
  EXPECT_EQ(result.out, "before");
  EXPECT_EQ(result.exit_code, -1);
  EXPECT_EQ(result.term_signal, SIGTERM);
}

TEST(PipedRunner, KillsTheChildWhenTheTimeRunsOut) {
  RunRequest request = shell("printf started; sleep 30 & sleep 30; printf never");
  request.timeout = 300ms;
  const auto start = std::chrono::steady_clock::now();
  const RunResult result = run_piped(request, "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.term_signal, SIGKILL);
  EXPECT_EQ(result.out, "started");
}

TEST(PipedRunner, RefusesAProgramThatCannotStart) {
  EXPECT_THROW(run_piped({"/nonexistent/program", {}, {}, 5s}, ""), std::runtime_error);
  RunRequest request{"/bin/sh", {"-c", "exit 0"}, "/nonexistent/directory", 5s};
  EXPECT_THROW(run_piped(request, ""), std::runtime_error);
}

struct PiecesCase {
  const char* name;
  std::string script;
  std::vector<TypedInput> pieces;
  std::string out;
  bool timed_out;
};

TEST(PipedRunner, WritesEachPieceOnceItsAwaitedOutputHasAppeared) {
  const std::vector<PiecesCase> rows = {
      {"answers_each_line_at_once", "while read line; do echo \"got $line\"; done; echo end",
       {{"", "a\n"}, {"got a", "b\n"}, {"got b", "c\n"}}, "got a\ngot b\ngot c\nend\n", false},
      {"input_ends_after_the_last_piece", "cat; echo end", {{"", "x"}, {"x", "y"}}, "xyend\n", false},
      {"no_pieces_means_no_input", "cat; echo end", {}, "end\n", false},
      // sort answers only at the end of its input, which never comes.
      {"output_held_back_runs_out_of_time", "sort", {{"", "b\n"}, {"b", "a\n"}}, "", true},
  };
  for (const PiecesCase& row : rows) {
    SCOPED_TRACE(row.name);
    RunRequest request = shell(row.script);
    request.timeout = row.timed_out ? 500ms : 10s;
    const RunResult result = run_piped_in_pieces(request, row.pieces);
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.timed_out, row.timed_out);
  }
}

TEST(PipedRunner, WritesStandardOutputToAGivenFile) {
  TemporaryDirectory directory;
  RunRequest request = shell("printf out; printf err >&2");
  request.standard_output_file = directory.path / "out.txt";
  const RunResult result = run_piped(request, "");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "err");
  EXPECT_EQ(read_file(directory.path / "out.txt"), "out");
}

TEST(PipedRunner, RunsAnUnprivilegedProgramFromADirectoryClosedToOthers) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser";
  TemporaryDirectory closed;
  std::filesystem::copy_file("/bin/sh", closed.path / "sh");
  std::filesystem::permissions(closed.path, std::filesystem::perms::owner_all);
  RunRequest request = shell("id -u");
  request.program = (closed.path / "sh").string();
  request.unprivileged = true;
  const RunResult result = run_piped(request, "");
  EXPECT_EQ(result.out, "65534\n");
  EXPECT_EQ(result.exit_code, 0);
}

struct SignalCase {
  const char* name;
  bool terminal;
  int signal_number;
};

void PrintTo(const SignalCase& row, std::ostream* out) { *out << row.name; }

class SignalWhileWaiting : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalWhileWaiting, ComesOnceThePromptIsShownAndTheProgramWaits) {
  // The prompt appears before a pause in which a signal would be too early.
  RunRequest request = shell("printf 'Name? '; i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done; read line; printf never");
  request.signal_when_waiting = {"Name? ", GetParam().signal_number};
  const RunResult result =
      GetParam().terminal ? run_in_terminal(request, {}) : run_piped(request, "");
  EXPECT_EQ(result.out, "Name? ");
  EXPECT_EQ(result.term_signal, GetParam().signal_number);
  EXPECT_FALSE(result.timed_out);
}

INSTANTIATE_TEST_SUITE_P(Runner, SignalWhileWaiting,
                         ::testing::Values(SignalCase{"piped_interrupt", false, SIGINT},
                                           SignalCase{"piped_hangup", false, SIGHUP},
                                           SignalCase{"terminal_termination", true, SIGTERM}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TerminalCase {
  const char* name;
  std::string script;
  std::vector<TypedInput> typing;
  std::string out;
};

class TerminalRun : public ::testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalRun, ShowsOnlyTheProgramsOwnBytes) {
  const TerminalCase& row = GetParam();
  const RunResult result = run_in_terminal(shell(row.script), row.typing);
  EXPECT_EQ(result.out, row.out);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_FALSE(result.timed_out);
}

INSTANTIATE_TEST_SUITE_P(
    Runner, TerminalRun,
    ::testing::Values(
        TerminalCase{"line_ends_unchanged", "printf 'a\\r\\nb\\nc\\r'", {}, "a\r\nb\nc\r"},
        TerminalCase{"input_and_output_are_the_terminal",
                     "test -t 0 && test -t 1 && ! test -t 2 && printf yes",
                     {},
                     "yes"},
        TerminalCase{"typing_not_echoed",
                     "printf 'Name? '; read line; printf 'got[%s]' \"$line\"",
                     {{"Name? ", "abc\n"}},
                     "Name? got[abc]"},
        TerminalCase{"carriage_return_reaches_the_program",
                     "read line; printf '%s' \"$line\" | od -An -c | tr -s ' '",
                     {{"", "x\r\n"}},
                     " x \\r\n"},
        TerminalCase{"each_line_waits_for_its_prompt",
                     "printf 'one: '; read a; printf 'one: '; read b; printf '[%s %s]' \"$a\" \"$b\"",
                     {{"one: ", "1\n"}, {"one: ", "2\n"}},
                     "one: one: [1 2]"}),
    [](const ::testing::TestParamInfo<TerminalCase>& info) { return std::string(info.param.name); });

TEST(TerminalRunner, KeepsStandardErrorApart) {
  const RunResult result = run_in_terminal(shell("printf out; printf err >&2; exit 1"), {});
  EXPECT_EQ(result.out, "out");
  EXPECT_EQ(result.err, "err");
  EXPECT_EQ(result.exit_code, 1);
}

TEST(TerminalRunner, TimesOutWhenThePromptNeverComes) {
  RunRequest request = shell("printf 'other'; read line");
  request.timeout = 300ms;
  const RunResult result = run_in_terminal(request, {{"Name? ", "x\n"}});
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.out, "other");
}

TEST(Directories, HoldFilesByteForByteAndGoAwayAfterwards) {
  std::filesystem::path kept;
  {
    TemporaryDirectory directory;
    kept = directory.path;
    EXPECT_TRUE(list_directory(directory.path).empty());
    const std::string bytes("b\r\n\0\x1a", 5);
    write_file(directory.path / "b.txt", bytes);
    write_file(directory.path / "a.txt", "old contents");
    write_file(directory.path / "a.txt", "new");
    EXPECT_EQ(read_file(directory.path / "b.txt"), bytes);
    EXPECT_EQ(read_file(directory.path / "a.txt"), "new");
    EXPECT_EQ(list_directory(directory.path), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_THROW(read_file(directory.path / "missing"), std::runtime_error);
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
