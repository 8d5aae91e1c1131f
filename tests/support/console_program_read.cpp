#include "tests/support/console_program_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "console/record_input.h"
#include "console/storage.h"
#include "recio/host.h"
#include "recio/units.h"

namespace shindo::testing {

namespace {

struct RunEnded {
  int status;
};

recio::HostCalls* system_calls = nullptr;
std::string* error_bytes = nullptr;

ssize_t capture_write(int fd, const void* buffer, std::size_t count) {
  if (fd == 1 || fd == 2) {
    if (fd == 2) error_bytes->append(static_cast<const char*>(buffer), count);
    return static_cast<ssize_t>(count);
  }
  return system_calls->write(fd, buffer, count);
}

ssize_t no_console_input(int fd, void* buffer, std::size_t count) {
  return fd == 0 ? 0 : system_calls->read(fd, buffer, count);
}

int no_terminal(int) { return 0; }

[[noreturn]] void end_by_throwing(int status) { throw RunEnded{status}; }

}  // namespace

void start_fresh_console_read(const std::string& file, int (*close)(int)) {
  recio::UnitTable& table = recio::unit_table();
  for (recio::UnitSlot& slot : table.slots) {
    if (slot.record && slot.record->handle > 2) close(slot.record->handle);
  }
  static char program[] = "shindo";
  static char* argv[] = {program, nullptr};
  recio::create_console_units(1, argv);
  using namespace console;
  for (SampleArray* samples : {&sample_times, &acceleration_1, &acceleration_2, &acceleration_3}) {
    samples->fill(0.0f);
  }
  std::memset(file_name, ' ', sizeof file_name);
  std::memcpy(file_name, file.data(), std::min(file.size(), sizeof file_name));
  sample_count = 0;
  sampling_interval = 0.0f;
}

ConsoleProgramRead read_as_console_program(std::string_view text) {
  // file_name holds 20 characters: the file lives in a short temporary directory.
  char directory[] = "/tmp/shcXXXXXX";
  if (::mkdtemp(directory) == nullptr) throw std::runtime_error("no temporary directory");
  const std::string file = std::string(directory) + "/r";
  {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      throw std::runtime_error("cannot write " + file);
    }
    ::close(fd);
  }

  recio::HostCalls saved = recio::host();
  std::string errors;
  system_calls = &saved;
  error_bytes = &errors;
  recio::host().write = capture_write;
  recio::host().read = no_console_input;
  recio::host().isatty = no_terminal;
  recio::host().exit = end_by_throwing;

  start_fresh_console_read(file, saved.close);

  ConsoleProgramRead result;
  try {
    console::read_acceleration_record();
    result.completed = true;
  } catch (const RunEnded&) {
    result.completed = false;
  }
  recio::release_console_output();
  recio::host() = saved;
  ::unlink(file.c_str());
  ::rmdir(directory);

  result.report = errors;
  if (result.completed) {
    using namespace console;
    const auto stored =
        static_cast<std::size_t>(sample_count < kSampleCapacity ? sample_count : kSampleCapacity);
    result.acc1.assign(acceleration_1.begin(), acceleration_1.begin() + static_cast<std::ptrdiff_t>(stored));
    result.acc2.assign(acceleration_2.begin(), acceleration_2.begin() + static_cast<std::ptrdiff_t>(stored));
    result.acc3.assign(acceleration_3.begin(), acceleration_3.begin() + static_cast<std::ptrdiff_t>(stored));
    result.dt = sampling_interval;
  }
  return result;
}

}  // namespace shindo::testing
