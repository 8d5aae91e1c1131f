// The host calls of a normal whole run, in order, with their arguments and
// results: computing the intensity makes no call of its own, so the sequence
// is fixed by the console dialogue and the three files alone.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/run.h"
#include "recio/host.h"
#include "recio/statement.h"
#include "tests/support/process.h"
#include "tests/support/run_fixture.h"
#include "tests/support/small_record.h"

namespace {

using shindo::testing::read_file;
using shindo::testing::write_file;

// The log of the child's run; descriptors are named by the file they were
// opened on, so that the log does not depend on which numbers are free.
std::string call_log;
std::map<int, std::string> descriptor_names;
recio::HostCalls recorded;

std::string descriptor(int fd) {
  const auto found = descriptor_names.find(fd);
  return found != descriptor_names.end() ? found->second : std::to_string(fd);
}

void note(const std::string& call, long result) {
  call_log += call + " -> " + std::to_string(result) + "\n";
}

void install_recorder() {
  recorded = recio::host();
  recio::host().open = [](const char* path, int flags, mode_t mode) {
    const int fd = recorded.open(path, flags, mode);
    note(std::string("open ") + path + " flags " + std::to_string(flags), fd >= 0 ? 0 : -1);
    if (fd >= 0) descriptor_names[fd] = path;
    return fd;
  };
  recio::host().read = [](int fd, void* buffer, std::size_t count) {
    const ssize_t n = recorded.read(fd, buffer, count);
    note("read " + descriptor(fd) + " " + std::to_string(count), n);
    return n;
  };
  recio::host().write = [](int fd, const void* buffer, std::size_t count) {
    const ssize_t n = recorded.write(fd, buffer, count);
    note("write " + descriptor(fd) + " " + std::to_string(count), n);
    return n;
  };
  recio::host().seek = [](int fd, off_t offset, int whence) {
    const off_t at = recorded.seek(fd, offset, whence);
    note("seek " + descriptor(fd) + " " + std::to_string(offset) + " " + std::to_string(whence), at);
    return at;
  };
  recio::host().truncate = [](int fd, off_t length) {
    const int r = recorded.truncate(fd, length);
    note("truncate " + descriptor(fd) + " " + std::to_string(length), r);
    return r;
  };
  recio::host().close = [](int fd) {
    const int r = recorded.close(fd);
    note("close " + descriptor(fd), r);
    descriptor_names.erase(fd);
    return r;
  };
  recio::host().unlink = [](const char* path) {
    const int r = recorded.unlink(path);
    note(std::string("unlink ") + path, r);
    return r;
  };
  recio::host().stat = [](const char* path, struct stat* info) {
    const int r = recorded.stat(path, info);
    note(std::string("stat ") + path, r);
    return r;
  };
  recio::host().fstat = [](int fd, struct stat* info) {
    const int r = recorded.fstat(fd, info);
    note("fstat " + descriptor(fd), r);
    return r;
  };
  recio::host().isatty = [](int fd) {
    const int r = recorded.isatty(fd);
    note("isatty " + descriptor(fd), r);
    return r;
  };
}

struct HostCallSequence : recio::testing::FreshRun, ::testing::WithParamInterface<bool> {
  // The log of one whole run on the small record in a child process.
  std::string logged_run() {
    write_file("small.txt", shindo::testing::kSmallRecord);
    const pid_t child = ::fork();
    if (child == 0) {
      console.input = "small.txt\r\nres.txt\r\n1\r\n";
      console.output_terminal = GetParam();
      install_recorder();
      char name[] = "shindo";
      char* argv[] = {name, nullptr};
      recio::start_run(1, argv);
      recio::host().exit = [](int status) {
        const int fd = ::open("calls", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        [[maybe_unused]] ssize_t n = ::write(fd, call_log.data(), call_log.size());
        ::close(fd);
        ::_exit(status);
      };
      console::run();
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return read_file("calls");
  }
};

// The sequences of the two console kinds: held console output goes out in
// pieces before each file's records and at the reads, a terminal gets one
// write per record. SHINDO_PRINT_CALLS=1 prints the sequence of a run.
const char* const kRedirectedSequence =
    "isatty 0 -> 0\n"
    "isatty 1 -> 0\n"
    "write 1 108 -> 108\n"
    "read 0 132 -> 23\n"
    "stat small.txt -> 0\n"
    "stat small.txt -> 0\n"
    "open small.txt flags 2 -> 0\n"
    "fstat small.txt -> 0\n"
    "fstat small.txt -> 0\n"
    "read small.txt 65536 -> 256\n"
    "read small.txt 65536 -> 0\n"
    "close small.txt -> 0\n"
    "stat wave1_dat -> -1\n"
    "stat wave1_dat -> -1\n"
    "open wave1_dat flags 194 -> 0\n"
    "fstat wave1_dat -> 0\n"
    "fstat wave1_dat -> 0\n"
    "write 1 702 -> 702\n"
    "write wave1_dat 208 -> 208\n"
    "close wave1_dat -> 0\n"
    "stat a0tau_dat -> -1\n"
    "stat a0tau_dat -> -1\n"
    "open a0tau_dat flags 194 -> 0\n"
    "fstat a0tau_dat -> 0\n"
    "fstat a0tau_dat -> 0\n"
    "write 1 81 -> 81\n"
    "write a0tau_dat 26000 -> 26000\n"
    "close a0tau_dat -> 0\n"
    "stat res.txt -> -1\n"
    "stat res.txt -> -1\n"
    "open res.txt flags 194 -> 0\n"
    "fstat res.txt -> 0\n"
    "fstat res.txt -> 0\n"
    "write 1 194 -> 194\n"
    "write res.txt 58 -> 58\n"
    "close res.txt -> 0\n"
    "write 1 2 -> 2\n";
const char* const kTerminalSequence =
    "isatty 0 -> 0\n"
    "isatty 1 -> 1\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 21 -> 21\n"
    "write 1 2 -> 2\n"
    "write 1 48 -> 48\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 29 -> 29\n"
    "read 0 132 -> 23\n"
    "stat small.txt -> 0\n"
    "stat small.txt -> 0\n"
    "open small.txt flags 2 -> 0\n"
    "fstat small.txt -> 0\n"
    "fstat small.txt -> 0\n"
    "read small.txt 65536 -> 256\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "write 1 2 -> 2\n"
    "write 1 63 -> 63\n"
    "read small.txt 65536 -> 0\n"
    "close small.txt -> 0\n"
    "write 1 2 -> 2\n"
    "write 1 35 -> 35\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 31 -> 31\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 76 -> 76\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 26 -> 26\n"
    "stat wave1_dat -> -1\n"
    "stat wave1_dat -> -1\n"
    "open wave1_dat flags 194 -> 0\n"
    "fstat wave1_dat -> 0\n"
    "fstat wave1_dat -> 0\n"
    "write wave1_dat 208 -> 208\n"
    "close wave1_dat -> 0\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 45 -> 45\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 28 -> 28\n"
    "stat a0tau_dat -> -1\n"
    "stat a0tau_dat -> -1\n"
    "open a0tau_dat flags 194 -> 0\n"
    "fstat a0tau_dat -> 0\n"
    "fstat a0tau_dat -> 0\n"
    "write a0tau_dat 26000 -> 26000\n"
    "close a0tau_dat -> 0\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 26 -> 26\n"
    "write 1 2 -> 2\n"
    "write 1 62 -> 62\n"
    "stat res.txt -> -1\n"
    "stat res.txt -> -1\n"
    "open res.txt flags 194 -> 0\n"
    "fstat res.txt -> 0\n"
    "fstat res.txt -> 0\n"
    "write 1 2 -> 2\n"
    "write 1 26 -> 26\n"
    "write 1 2 -> 2\n"
    "write 1 2 -> 2\n"
    "write 1 38 -> 38\n"
    "write 1 2 -> 2\n"
    "write 1 28 -> 28\n"
    "write res.txt 58 -> 58\n"
    "close res.txt -> 0\n"
    "write 1 2 -> 2\n";

TEST_P(HostCallSequence, OfANormalRunIsUnchanged) {
  const std::string log = logged_run();
  if (std::getenv("SHINDO_PRINT_CALLS") != nullptr) std::fputs(log.c_str(), stdout);
  EXPECT_EQ(log, GetParam() ? kTerminalSequence : kRedirectedSequence);
}

INSTANTIATE_TEST_SUITE_P(Console, HostCallSequence, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "terminal_output" : "redirected_output"; });

}  // namespace
