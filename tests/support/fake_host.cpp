#include "tests/support/fake_host.h"

#include <algorithm>
#include <cstring>

namespace recio::testing {

namespace {

FakeConsole* active_console = nullptr;
HostCalls console_inner;

ssize_t console_read(int fd, void* buffer, std::size_t count) {
  if (fd != 0) return console_inner.read(fd, buffer, count);
  FakeConsole& console = *active_console;
  std::size_t left = console.input.size() - console.input_at;
  std::size_t n = std::min(left, count);
  if (console.read_limit > 0) n = std::min(n, console.read_limit);
  std::memcpy(buffer, console.input.data() + console.input_at, n);
  console.input_at += n;
  return static_cast<ssize_t>(n);
}

ssize_t console_write(int fd, const void* buffer, std::size_t count) {
  if (fd == 1) {
    active_console->output.append(static_cast<const char*>(buffer), count);
    if (active_console->echo_to_error) console_inner.write(2, buffer, count);
    return static_cast<ssize_t>(count);
  }
  return console_inner.write(fd, buffer, count);
}

int console_isatty(int fd) {
  if (fd == 0) return active_console->input_terminal ? 1 : 0;
  if (fd == 1) return active_console->output_terminal ? 1 : 0;
  return console_inner.isatty(fd);
}

HostCalls fault_inner;
long fault_countdown = 0;
long fault_calls = 0;
bool fault_persistent = false;
int fault_error = EIO;
HostCall fault_which = HostCall::Any;

// True when this call is to fail.
bool strike(HostCall call) {
  if (fault_which != HostCall::Any && fault_which != call) return false;
  ++fault_calls;
  if (fault_calls == fault_countdown || (fault_persistent && fault_calls > fault_countdown)) {
    errno = fault_error;
    return true;
  }
  return false;
}

int fault_open(const char* path, int flags, mode_t mode) {
  return strike(HostCall::Open) ? -1 : fault_inner.open(path, flags, mode);
}
ssize_t fault_read(int fd, void* buffer, std::size_t count) {
  return strike(HostCall::Read) ? -1 : fault_inner.read(fd, buffer, count);
}
ssize_t fault_write(int fd, const void* buffer, std::size_t count) {
  // Reports on standard error are never made to fail: they are what a test reads.
  if (fd == 2) return fault_inner.write(fd, buffer, count);
  return strike(HostCall::Write) ? -1 : fault_inner.write(fd, buffer, count);
}
off_t fault_seek(int fd, off_t offset, int whence) {
  return strike(HostCall::Seek) ? -1 : fault_inner.seek(fd, offset, whence);
}
int fault_truncate(int fd, off_t length) {
  return strike(HostCall::Truncate) ? -1 : fault_inner.truncate(fd, length);
}
int fault_close(int fd) { return strike(HostCall::Close) ? -1 : fault_inner.close(fd); }
int fault_unlink(const char* path) {
  return strike(HostCall::Unlink) ? -1 : fault_inner.unlink(path);
}
int fault_stat(const char* path, struct stat* info) {
  return strike(HostCall::Stat) ? -1 : fault_inner.stat(path, info);
}
int fault_fstat(int fd, struct stat* info) {
  return strike(HostCall::Fstat) ? -1 : fault_inner.fstat(fd, info);
}

}  // namespace

ScopedFakeConsole::ScopedFakeConsole() : saved(host()) {
  active_console = &console;
  console_inner = saved;
  host().read = console_read;
  host().write = console_write;
  host().isatty = console_isatty;
}

ScopedFakeConsole::~ScopedFakeConsole() {
  host() = saved;
  active_console = nullptr;
}

ScopedFaultInjector::ScopedFaultInjector(long countdown, bool persistent, int error, HostCall which)
    : saved(host()) {
  fault_inner = saved;
  fault_countdown = countdown;
  fault_calls = 0;
  fault_persistent = persistent;
  fault_error = error;
  fault_which = which;
  host().open = fault_open;
  host().read = fault_read;
  host().write = fault_write;
  host().seek = fault_seek;
  host().truncate = fault_truncate;
  host().close = fault_close;
  host().unlink = fault_unlink;
  host().stat = fault_stat;
  host().fstat = fault_fstat;
}

ScopedFaultInjector::~ScopedFaultInjector() { host() = saved; }

long ScopedFaultInjector::calls() { return fault_calls; }

}  // namespace recio::testing
