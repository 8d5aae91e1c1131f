// Fuzzes the reading of the acceleration record: the input bytes are the file
// on unit 11, read by the program's own loop to its end-of-file branch and
// followed by the check of the record's length.
//
// The host calls are replaced for the whole fuzz process: standard output and
// standard error are kept in memory and the process exit becomes an exception
// caught here, so that a run that ends early is seen to end with status 1 and
// exactly one report of a read failure on the record file. A complete read
// must have echoed one 63-column console line per record counted, then the
// " nt, dt=" line. The floating-point traps stay off in this
// process; instead the read must leave the invalid, division and overflow
// flags clear, as the program's traps would otherwise have ended it. Each
// input starts from a fresh unit table and zeroed run storage.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/record_input.h"
#include "console/storage.h"
#include "recio/host.h"
#include "recio/units.h"
#include "tests/fuzz/run_report.h"
#include "tests/support/console_program_read.h"

namespace {

// The record file, named by its full path: file_name holds 20 characters, and
// the fuzzer's own paths are relative to the working directory it started in.
std::string record_directory;
std::string record_file;

// The failures a read of a regular file may report.
constexpr int kReadFailures[] = {6100, 6101, 6102, 6103, 6104, 6302, 6303, 6502, 6503, 6504};

struct RunEnded {
  int status;
};

recio::HostCalls system_calls;
std::string console_bytes;
std::string error_bytes;

ssize_t capture_write(int fd, const void* buffer, std::size_t count) {
  if (fd == 1 || fd == 2) {
    (fd == 1 ? console_bytes : error_bytes).append(static_cast<const char*>(buffer), count);
    return static_cast<ssize_t>(count);
  }
  return system_calls.write(fd, buffer, count);
}

ssize_t no_console_input(int fd, void* buffer, std::size_t count) {
  return fd == 0 ? 0 : system_calls.read(fd, buffer, count);
}

int no_terminal(int) { return 0; }

[[noreturn]] void end_by_throwing(int status) { throw RunEnded{status}; }

void remove_record_file() {
  ::unlink(record_file.c_str());
  ::rmdir(record_directory.c_str());
}

[[noreturn]] void finding(const std::string& what) {
  remove_record_file();
  std::fprintf(stderr, "\n*** record reader: %s\n--- console (last 2000 bytes):\n%s\n--- standard error:\n%s\n",
               what.c_str(),
               console_bytes.substr(console_bytes.size() - std::min<std::size_t>(console_bytes.size(), 2000)).c_str(),
               error_bytes.c_str());
  std::abort();
}

void write_record_file(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(record_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0) {
    std::perror(record_file.c_str());
    std::abort();
  }
}

// A fresh unit table and zeroed run storage for each input.
void start_fresh_run() {
  shindo::testing::start_fresh_console_read(record_file, system_calls.close);
  console_bytes.clear();
  error_bytes.clear();
}

std::vector<std::string> console_lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t end; (end = bytes.find("\r\n", from)) != std::string::npos; from = end + 2) {
    lines.push_back(bytes.substr(from, end - from));
  }
  lines.push_back(bytes.substr(from));
  return lines;
}

std::string right_justified(const std::string& text, std::size_t columns) {
  return std::string(columns > text.size() ? columns - text.size() : 0, ' ') + text;
}

// A record too long to transform stops the run after its line, without a report.
bool stopped_as_too_long() {
  return console::sample_count > console::kLongestRecord && error_bytes.empty() &&
         console_bytes.find("\r\n NT>2**15 !!!!!\r\nStop - Program terminated.\r\n") != std::string::npos;
}

void check_failed_read(int status) {
  if (status != 1) finding("the run ended with status " + std::to_string(status));
  const shindo::fuzzing::ReportCheck check = shindo::fuzzing::check_report(error_bytes);
  if (!check.report) finding("standard error is not one report: " + check.problem);
  const shindo::fuzzing::Report& report = *check.report;
  if (report.letter != 'F' || report.statement != "READ" || report.file_name != record_file ||
      std::find(std::begin(kReadFailures), std::end(kReadFailures), report.number) == std::end(kReadFailures)) {
    finding("the report is not a read failure of the record file");
  }
}

void check_complete_read() {
  using namespace console;
  if (!error_bytes.empty()) finding("a complete read wrote to standard error");
  if (sample_count < 0) finding("the sample count is negative");
  const std::vector<std::string> lines = console_lines(console_bytes);
  if (lines.size() != static_cast<std::size_t>(sample_count) + 1) {
    finding(std::to_string(lines.size()) + " console lines for a sample count of " + std::to_string(sample_count));
  }
  for (std::int32_t record = 0; record < sample_count; ++record) {
    const std::string& echo = lines[static_cast<std::size_t>(record)];
    if (echo.size() != 63 || echo.find('#') != std::string::npos) {
      finding("echo line " + std::to_string(record + 1) + " is \"" + echo + "\"");
    }
  }
  const std::string& nt_line = lines[static_cast<std::size_t>(sample_count)];
  if (nt_line.size() != 35 ||
      !nt_line.starts_with(" nt, dt=" + right_justified(std::to_string(sample_count), 11))) {
    finding("the NT line is \"" + nt_line + "\"");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  record_directory = "/tmp/shrXXXXXX";
  if (::mkdtemp(record_directory.data()) == nullptr) {
    std::perror("temporary directory");
    std::abort();
  }
  record_file = record_directory + "/r";
  std::atexit(remove_record_file);
  system_calls = recio::host();
  recio::host().write = capture_write;
  recio::host().read = no_console_input;
  recio::host().isatty = no_terminal;
  recio::host().exit = end_by_throwing;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  start_fresh_run();
  write_record_file(data, size);
  std::feclearexcept(FE_ALL_EXCEPT);
  bool completed = true;
  int end_status = 0;
  try {
    console::read_acceleration_record();
    console::stop_when_too_long();
  } catch (const RunEnded& ended) {
    completed = false;
    end_status = ended.status;
  }
  // Console output to a non-terminal is held until a read, a report or the
  // end of the run; the checks want all of it.
  recio::release_console_output();
  if (!completed && !stopped_as_too_long()) check_failed_read(end_status);
  // With the program's traps these flags would have ended the run with a
  // MATH report; only the interval, the second time minus the first, may overflow.
  const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  if ((raised & (FE_INVALID | FE_DIVBYZERO)) != 0 ||
      ((raised & FE_OVERFLOW) != 0 && !(completed && std::isinf(console::sampling_interval)))) {
    char detail[160];
    std::snprintf(detail, sizeof detail, "the read raised%s%s%s; the first two times have the bits %08x, %08x",
                  (raised & FE_INVALID) != 0 ? " invalid" : "", (raised & FE_DIVBYZERO) != 0 ? " divide-by-zero" : "",
                  (raised & FE_OVERFLOW) != 0 ? " overflow" : "", std::bit_cast<std::uint32_t>(console::sample_times[0]),
                  std::bit_cast<std::uint32_t>(console::sample_times[1]));
    finding(detail);
  }
  if (completed) check_complete_read();
  return 0;
}
