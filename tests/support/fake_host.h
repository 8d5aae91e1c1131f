// Test doubles for the host calls: a console whose standard output is
// captured in memory and whose standard input is a given text, and a
// countdown fault injector that makes a chosen host call fail.
#pragma once

#include <cerrno>
#include <string>

#include "recio/host.h"

namespace recio::testing {

struct FakeConsole {
  std::string input;          // bytes standard input delivers
  std::size_t input_at = 0;
  std::size_t read_limit = 0; // largest count one read of standard input returns (0: no limit)
  std::string output;         // bytes written to standard output
  bool echo_to_error = false; // also copy them to the real standard error (for death tests)
  bool input_terminal = false;
  bool output_terminal = false;
};

// While it lives, host() reads standard input from `console.input`, captures
// standard output, and answers isatty from the console's flags; files and
// standard error (the reports a death test reads) go to the system. The previous calls are restored at its end.
struct ScopedFakeConsole {
  FakeConsole console;
  HostCalls saved;
  ScopedFakeConsole();
  ~ScopedFakeConsole();
  ScopedFakeConsole(const ScopedFakeConsole&) = delete;
  ScopedFakeConsole& operator=(const ScopedFakeConsole&) = delete;
};

// The host calls that a fault injector counts.
enum class HostCall { Open, Read, Write, Seek, Truncate, Close, Unlink, Stat, Fstat, Any };

// Makes the `countdown`-th counted call (1 for the next one) fail with `error`;
// `persistent` keeps every later counted call failing too. Wraps whatever
// host() holds when it is made.
struct ScopedFaultInjector {
  HostCalls saved;
  ScopedFaultInjector(long countdown, bool persistent, int error = EIO,
                      HostCall which = HostCall::Any);
  ~ScopedFaultInjector();
  ScopedFaultInjector(const ScopedFaultInjector&) = delete;
  ScopedFaultInjector& operator=(const ScopedFaultInjector&) = delete;
  // Counted calls made so far.
  static long calls();
};

}  // namespace recio::testing
