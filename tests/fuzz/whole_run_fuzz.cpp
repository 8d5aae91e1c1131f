// Fuzzes whole runs of the built program. The input bytes up to the first NUL
// are the acceleration file data.txt; the bytes after it are what is typed on
// the console (an input without NUL is answered with "data.txt", "res.txt"
// and a reply). The program runs as a child process on pipes, in a scratch
// working directory, with a time limit, and without command-line arguments,
// so that the results file is asked for on the console.
//
// Every run must end by itself with status 0 or 1: status 0 after the
// console's stop line and with nothing on standard error, status 1 with
// exactly one run-time error report on standard error (or, for a record too
// long to transform, after the too-long line and the stop line).
//
// Run by the superuser, the child runs as the user nobody, so that a typed
// file name reaches only what nobody may write; run by another user, the
// answers lose their "/" characters, so that every name stays inside the
// scratch directory.
//
// The coverage of the child is not seen by the fuzzer; the outcome of each
// run (status, report, console shape) is fed back as extra counters instead.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tests/fuzz/run_report.h"
#include "tests/support/process.h"

namespace {

using shindo::testing::RunRequest;
using shindo::testing::RunResult;

constexpr std::string_view kDefaultAnswers = "data.txt\r\nres.txt\r\n1\r\n";
constexpr std::string_view kBanner = "\r\n\r\nCalculation of Shindo\r\n";
// The end of a complete run: the stop line, and the line end of the console
// output unit's last line, which the console reads of a piped run leave open.
constexpr std::string_view kStopEnd = "\r\nStop - Program terminated.\r\n\r\n";
constexpr std::string_view kTooLong = "\r\n NT>2**15 !!!!!\r\nStop - Program terminated.\r\n";
constexpr std::chrono::milliseconds kRunTimeLimit{10000};

// Outcome features of the child's run; libFuzzer counts each touched byte as
// coverage.
constexpr std::size_t kOutcomeCounters = 512;
__attribute__((used, section("__libfuzzer_extra_counters"))) std::uint8_t outcome_counters[kOutcomeCounters];

void count_outcome(std::string_view kind, std::size_t value) {
  const std::size_t feature = std::hash<std::string_view>{}(kind) * 31 + value;
  outcome_counters[feature % kOutcomeCounters] = 1;
}

// The bucket of a count: 0, 1, 2-3, 4-7, 8-15, ...
std::size_t bucket(std::size_t count) { return static_cast<std::size_t>(std::bit_width(count)); }

std::size_t occurrences(std::string_view text, std::string_view piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

// The scratch places of the runs: a working directory that the user nobody
// may write, and a copy of the program where nobody may run it, whatever the
// permissions on the way to the build directory.
struct Scratch {
  shindo::testing::TemporaryDirectory work;
  shindo::testing::TemporaryDirectory bin;
  std::string program;
};

Scratch& scratch() {
  static std::unique_ptr<Scratch> places;
  if (!places) {
    places = std::make_unique<Scratch>();
    using std::filesystem::perms;
    std::filesystem::permissions(places->work.path, perms::all);
    std::filesystem::permissions(places->bin.path, perms::owner_all | perms::group_read | perms::group_exec |
                                                       perms::others_read | perms::others_exec);
    places->program = (places->bin.path / "shindo").string();
    std::filesystem::copy_file(SHINDO_BINARY, places->program);
  }
  return *places;
}

[[noreturn]] void finding(const std::string& what, std::string_view record, std::string_view answers,
                          const RunResult& run) {
  const std::size_t tail = std::min<std::size_t>(run.out.size(), 3000);
  std::fprintf(stderr,
               "\n*** whole run: %s\n--- record: %zu bytes; answers: %zu bytes\n--- exit status %d, signal %d%s\n"
               "--- standard output (last %zu bytes):\n%s\n--- standard error:\n%s\n",
               what.c_str(), record.size(), answers.size(), run.exit_code, run.term_signal,
               run.timed_out ? ", killed at the time limit" : "", tail, run.out.substr(run.out.size() - tail).c_str(),
               run.err.c_str());
  std::error_code ignored;
  std::filesystem::remove_all(scratch().work.path, ignored);
  std::filesystem::remove_all(scratch().bin.path, ignored);
  std::abort();
}

void check_run(std::string_view record, std::string_view answers, const RunResult& run) {
  if (run.timed_out) finding("the run did not end within its time limit", record, answers, run);
  if (run.term_signal != 0) finding("the run ended by a signal", record, answers, run);
  if (run.exit_code != 0 && run.exit_code != 1) finding("the exit status is neither 0 nor 1", record, answers, run);
  if (!run.out.starts_with(kBanner)) finding("the console does not begin with the banner", record, answers, run);
  if (run.exit_code == 0) {
    if (!run.err.empty()) finding("a complete run wrote to standard error", record, answers, run);
    if (!run.out.ends_with(kStopEnd)) finding("a complete run does not end with the stop line", record, answers, run);
    return;
  }
  if (run.err.empty() && run.out.find(kTooLong) != std::string::npos) return;
  const shindo::fuzzing::ReportCheck check = shindo::fuzzing::check_report(run.err);
  if (!check.report) finding("standard error is not one report: " + check.problem, record, answers, run);
  count_outcome("report", static_cast<std::size_t>(check.report->number));
  count_outcome(check.report->statement, check.report->file_name.size() < 4 ? check.report->file_name.size() : 4);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The child is built with the sanitizers too: any report of theirs must end
  // it by a signal, and the program's own floating-point traps stay its own.
  ::setenv("ASAN_OPTIONS", "abort_on_error=1:handle_sigfpe=0:detect_leaks=0", 1);
  ::setenv("UBSAN_OPTIONS", "abort_on_error=1:print_stacktrace=1", 1);
  scratch();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = bytes.find('\0');
  const std::string_view record = bytes.substr(0, nul);
  std::string answers(nul == std::string_view::npos ? kDefaultAnswers : bytes.substr(nul + 1));
  const bool superuser = ::geteuid() == 0;
  if (!superuser) std::erase(answers, '/');

  const std::filesystem::path& directory = scratch().work.path;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) std::filesystem::remove_all(entry.path());
  shindo::testing::write_file(directory / "data.txt", record);

  RunRequest request{scratch().program, {}, directory, kRunTimeLimit};
  request.unprivileged = superuser;
  const RunResult run = shindo::testing::run_piped(request, answers);
  check_run(record, answers, run);

  count_outcome("status", static_cast<std::size_t>(run.exit_code));
  count_outcome("echo lines", bucket(occurrences(run.out, "\r\n   ")));
  count_outcome("file name requests", bucket(occurrences(run.out, "File name missing or blank")));
  count_outcome("console bytes", bucket(run.out.size() / 64));
  count_outcome("not finite", bucket(occurrences(run.out, "1#")));
  count_outcome("results", run.out.find(" Shindo   =") != std::string::npos);
  return 0;
}
