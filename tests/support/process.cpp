#include "tests/support/process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace shindo::testing {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what, int error = errno) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

// A descriptor closed when it goes out of scope.
struct Descriptor {
  int fd = -1;

  Descriptor() = default;
  explicit Descriptor(int value) : fd(value) {}
  Descriptor(Descriptor&& other) noexcept : fd(other.fd) { other.fd = -1; }
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd, other.fd);
    return *this;
  }
  ~Descriptor() { reset(); }

  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

struct Pipe {
  Descriptor read_end;
  Descriptor write_end;
};

Pipe make_pipe() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) fail("pipe2");
  return {Descriptor(ends[0]), Descriptor(ends[1])};
}

void set_nonblocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) fail("fcntl");
}

// A child that has gone away before reading all its input must not end the
// test process through SIGPIPE; writes then fail with EPIPE instead.
void ignore_broken_pipes() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

// The child's side of the start: the descriptors it gets as 0, 1 and 2, and
// whether `input` is a terminal to become its controlling terminal.
struct ChildStreams {
  int input;
  int output;
  int error;
  bool terminal;
};

// In the forked child: hands errno to the parent and ends the child.
[[noreturn]] void report_start_failure(int exec_error) {
  const int code = errno;
  [[maybe_unused]] const ssize_t written = ::write(exec_error, &code, sizeof code);
  ::_exit(127);
}

// Runs in the forked child: only async-signal-safe calls. A failure to start
// is reported through `exec_error` as the errno value.
[[noreturn]] void exec_child(const RunRequest& request, const char* executable, char* const* argv,
                             const ChildStreams& streams, int exec_error) {
  if (streams.terminal) {
    if (::setsid() < 0 || ::ioctl(streams.input, TIOCSCTTY, 0) != 0) report_start_failure(exec_error);
  } else if (::setpgid(0, 0) != 0) {
    report_start_failure(exec_error);
  }
  if (::dup2(streams.input, 0) < 0 || ::dup2(streams.output, 1) < 0 || ::dup2(streams.error, 2) < 0) {
    report_start_failure(exec_error);
  }
  for (int fd = 0; fd <= 2; ++fd) ::fcntl(fd, F_SETFD, 0);
  if (request.close_standard_input) ::close(0);
  if (!request.directory.empty() && ::chdir(request.directory.c_str()) != 0) report_start_failure(exec_error);
  if (request.unprivileged && ::geteuid() == 0) {
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      report_start_failure(exec_error);
    }
  }

  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    ::sigaction(signal_number, &default_action, nullptr);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  ::execv(executable, argv);
  report_start_failure(exec_error);
}

// Forks and execs the program; the child is the leader of its own process
// group, so that a timeout can kill whatever it started as well.
pid_t start_child(const RunRequest& request, const std::string& executable, const ChildStreams& streams) {
  std::vector<std::string> words{request.program};
  words.insert(words.end(), request.arguments.begin(), request.arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  Pipe exec_error = make_pipe();
  const pid_t pid = ::fork();
  if (pid < 0) fail("fork");
  if (pid == 0) exec_child(request, executable.c_str(), argv.data(), streams, exec_error.write_end.fd);

  exec_error.write_end.reset();
  int code = 0;
  ssize_t got = 0;
  do {
    got = ::read(exec_error.read_end.fd, &code, sizeof code);
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    ::waitpid(pid, nullptr, 0);
    fail("cannot start " + request.program, code);
  }
  return pid;
}

// The file the child executes: for an unprivileged run a copy of the program
// in a directory of its own that the user nobody can reach, so that a program
// in a directory closed to other users (a checkout under a home directory of
// mode 0700) still runs. The copy goes with `copy`.
std::string executable_for(const RunRequest& request, std::unique_ptr<TemporaryDirectory>& copy) {
  if (!request.unprivileged || ::geteuid() != 0) return request.program;
  namespace fs = std::filesystem;
  copy = std::make_unique<TemporaryDirectory>();
  const fs::path target = copy->path / fs::path(request.program).filename();
  fs::copy_file(request.program, target);
  const fs::perms everyone_runs = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(target, everyone_runs);
  fs::permissions(copy->path, everyone_runs);
  return target.string();
}

// Whether the process is asleep in the kernel (state S), as a program blocked
// in a read that waits for input is.
bool is_asleep(pid_t pid) {
  std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
  const std::size_t name_end = stat.rfind(')');
  return name_end != std::string::npos && name_end + 2 < stat.size() && stat[name_end + 2] == 'S';
}

// One descriptor the parent reads from until its end, into `sink`.
struct Output {
  Descriptor* source;
  std::string* sink;
};

// The parent's side of a running child: feeds `input` (`pending` bytes, plus
// whatever `on_output` adds after each read of the first output), collects
// the outputs until they end and the child has been reaped, and kills the
// child's process group when the time runs out.
struct Session {
  pid_t pid;
  Clock::time_point deadline;
  Descriptor* input;
  bool close_input_when_fed;
  std::string pending;
  std::vector<Output> outputs;
  std::function<std::string()> on_output;
  // The signal to send once its text is on `shown` and the child waits.
  RunRequest::SignalWhenWaiting signal;
  const std::string* shown = nullptr;
  bool close_input_after_signal = false;
  int asleep_checks = 0;
  bool signal_sent = false;
};

// The child counts as waiting once it has been found asleep at two checks in
// a row after the text appeared, so that a moment's sleep inside a write is
// not taken for the wait at a read.
void signal_when_waiting(Session& session) {
  if (session.signal_sent || session.signal.signal_number == 0) return;
  if (session.shown->find(session.signal.wait_for) == std::string::npos) return;
  session.asleep_checks = is_asleep(session.pid) ? session.asleep_checks + 1 : 0;
  if (session.asleep_checks < 2) return;
  ::kill(session.pid, session.signal.signal_number);
  session.signal_sent = true;
  if (session.close_input_after_signal) session.input->reset();
}

bool is_open(const Descriptor* descriptor) { return descriptor != nullptr && descriptor->fd >= 0; }

void feed(Session& session) {
  while (!session.pending.empty()) {
    const ssize_t n = ::write(session.input->fd, session.pending.data(), session.pending.size());
    if (n > 0) {
      session.pending.erase(0, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      return;
    } else {
      // The reader is gone (EPIPE, or EIO on a terminal whose program exited).
      session.pending.clear();
      if (session.close_input_when_fed) session.input->reset();
      return;
    }
  }
  if (session.close_input_when_fed) session.input->reset();
}

// One read of what is there; false once the descriptor has reached its end.
// A terminal whose other side has been closed reports EIO instead of end of
// file.
bool read_some(const Output& output) {
  char buffer[4096];
  const ssize_t n = ::read(output.source->fd, buffer, sizeof buffer);
  if (n > 0) output.sink->append(buffer, static_cast<std::size_t>(n));
  return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

RunResult finish(Session& session) {
  RunResult result;
  int status = 0;
  bool reaped = false;
  if (session.on_output) session.pending += session.on_output();
  if (is_open(session.input) && session.close_input_when_fed && session.pending.empty()) session.input->reset();

  for (;;) {
    if (!reaped) reaped = ::waitpid(session.pid, &status, WNOHANG) == session.pid;
    const bool outputs_open = std::any_of(session.outputs.begin(), session.outputs.end(),
                                          [](const Output& output) { return is_open(output.source); });
    if (reaped && !outputs_open) break;

    const auto now = Clock::now();
    if (now >= session.deadline) {
      result.timed_out = true;
      ::kill(-session.pid, SIGKILL);
      if (!reaped) ::waitpid(session.pid, &status, 0);
      reaped = true;
      break;
    }

    std::vector<pollfd> watched;
    for (const Output& output : session.outputs) {
      if (is_open(output.source)) watched.push_back({output.source->fd, POLLIN, 0});
    }
    const bool feeding = is_open(session.input) && !session.pending.empty();
    if (feeding) {
      auto same = std::find_if(watched.begin(), watched.end(),
                               [&](const pollfd& entry) { return entry.fd == session.input->fd; });
      if (same != watched.end()) {
        same->events |= POLLOUT;
      } else {
        watched.push_back({session.input->fd, POLLOUT, 0});
      }
    }
    // Until the child has been reaped, wake up now and then to look for its exit.
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(session.deadline - now) +
                std::chrono::milliseconds(1);
    if (!reaped) wait = std::min(wait, std::chrono::milliseconds(10));
    if (::poll(watched.data(), watched.size(), static_cast<int>(wait.count())) < 0 && errno != EINTR) {
      fail("poll");
    }

    for (std::size_t k = 0; k < session.outputs.size(); ++k) {
      const Output& output = session.outputs[k];
      if (!is_open(output.source)) continue;
      const std::size_t before = output.sink->size();
      if (!read_some(output)) output.source->reset();
      if (k == 0 && session.on_output && output.sink->size() != before) session.pending += session.on_output();
    }
    if (is_open(session.input) && !session.pending.empty()) feed(session);
    if (!reaped) signal_when_waiting(session);
  }

  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
  return result;
}

Clock::time_point deadline_of(const RunRequest& request) { return Clock::now() + request.timeout; }

}  // namespace

RunResult run_piped(const RunRequest& request, std::string_view input) {
  ignore_broken_pipes();
  Pipe in = make_pipe();
  Pipe out = make_pipe();
  Pipe err = make_pipe();
  if (!request.standard_output_file.empty()) {
    out.read_end.reset();
    out.write_end = Descriptor(
        ::open(request.standard_output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.write_end.fd < 0) fail("open " + request.standard_output_file.string());
  }
  std::unique_ptr<TemporaryDirectory> program_copy;
  const std::string executable = executable_for(request, program_copy);
  const auto deadline = deadline_of(request);
  const pid_t pid =
      start_child(request, executable, {in.read_end.fd, out.write_end.fd, err.write_end.fd, false});
  in.read_end.reset();
  out.write_end.reset();
  err.write_end.reset();
  std::string out_bytes;
  std::string err_bytes;
  std::vector<Output> outputs{{&err.read_end, &err_bytes}};
  if (is_open(&out.read_end)) outputs.insert(outputs.begin(), {&out.read_end, &out_bytes});
  set_nonblocking(in.write_end.fd);
  for (const Output& output : outputs) set_nonblocking(output.source->fd);

  const bool signal_awaited = request.signal_when_waiting.signal_number != 0;
  Session session{.pid = pid,
                  .deadline = deadline,
                  .input = &in.write_end,
                  .close_input_when_fed = !signal_awaited,
                  .pending = std::string(input),
                  .outputs = std::move(outputs),
                  .on_output = {},
                  .signal = request.signal_when_waiting,
                  .shown = &out_bytes,
                  .close_input_after_signal = signal_awaited};
  RunResult result = finish(session);
  result.out = std::move(out_bytes);
  result.err = std::move(err_bytes);
  return result;
}

RunResult run_in_terminal(const RunRequest& request, const std::vector<TypedInput>& typing) {
  Descriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (master.fd < 0) fail("posix_openpt");
  if (::grantpt(master.fd) != 0 || ::unlockpt(master.fd) != 0) fail("grantpt");
  char slave_name[128];
  if (::ptsname_r(master.fd, slave_name, sizeof slave_name) != 0) fail("ptsname_r");
  Descriptor slave(::open(slave_name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (slave.fd < 0) fail(std::string("open ") + slave_name);

  termios mode{};
  if (::tcgetattr(slave.fd, &mode) != 0) fail("tcgetattr");
  ::cfmakeraw(&mode);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  if (::tcsetattr(slave.fd, TCSANOW, &mode) != 0) fail("tcsetattr");
  const winsize size{24, 80, 0, 0};
  ::ioctl(slave.fd, TIOCSWINSZ, &size);

  Pipe err = make_pipe();
  std::unique_ptr<TemporaryDirectory> program_copy;
  const std::string executable = executable_for(request, program_copy);
  const auto deadline = deadline_of(request);
  const pid_t pid = start_child(request, executable, {slave.fd, slave.fd, err.write_end.fd, true});
  slave.reset();
  err.write_end.reset();
  set_nonblocking(master.fd);
  set_nonblocking(err.read_end.fd);

  std::string out_bytes;
  std::string err_bytes;
  std::size_t next_piece = 0;
  std::size_t search_from = 0;
  // Releases every piece of typing whose text has now appeared, in order.
  auto type_ready = [&]() {
    std::string typed;
    while (next_piece < typing.size()) {
      const TypedInput& piece = typing[next_piece];
      const std::size_t at = out_bytes.find(piece.wait_for, search_from);
      if (at == std::string::npos) break;
      search_from = at + piece.wait_for.size();
      typed += piece.text;
      ++next_piece;
    }
    return typed;
  };
  Session session{.pid = pid,
                  .deadline = deadline,
                  .input = &master,
                  .close_input_when_fed = false,
                  .pending = {},
                  .outputs = {{&master, &out_bytes}, {&err.read_end, &err_bytes}},
                  .on_output = type_ready,
                  .signal = request.signal_when_waiting,
                  .shown = &out_bytes};
  RunResult result = finish(session);
  result.out = std::move(out_bytes);
  result.err = std::move(err_bytes);
  return result;
}

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "shindo-run-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) fail("mkdtemp");
  path = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw std::runtime_error("cannot read " + path.string());
  return bytes;
}

std::vector<std::string> list_directory(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace shindo::testing
