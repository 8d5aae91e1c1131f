#include "batch/output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "pictures/pictures.h"

namespace batch {

namespace {

std::atomic<int> g_stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void remember_signal(int number) {
  int none = 0;
  g_stop_signal.compare_exchange_strong(none, number);
}

}  // namespace

int write_all(int fd, std::string_view text, const Host& host) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = host.write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      return error;
    }
    if (wrote == 0) return EIO;
    done += static_cast<std::size_t>(wrote);
  }
  return 0;
}

void say(std::string_view text, const Host& host) { (void)write_all(2, text, host); }

std::string shown(std::string_view text, std::string_view kept) {
  const std::string valid = shindo::pictures::valid_utf8(text);
  std::string out;
  out.reserve(valid.size());
  for (const char c : valid) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 || byte == 0x7f) && kept.find(c) == std::string_view::npos) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

void keep_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // Opened read-only: it takes the lowest free descriptor, `fd`, and a
    // write to it fails with EBADF.
    const int opened = ::open("/dev/null", O_RDONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

void catch_stop_signals() {
  struct sigaction action {};
  action.sa_handler = remember_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // no SA_RESTART: a blocking read returns EINTR
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(number, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int stop_signal() { return g_stop_signal.load(); }

ssize_t read_some(int fd, char* bytes, std::size_t size, const Host& host) {
  for (;;) {
    const ssize_t got = host.read(fd, bytes, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::variant<StagedFile, std::string> stage_file(const std::string& directory, std::size_t number,
                                                 std::string_view suffix, std::string_view bytes, const Host& host) {
  StagedFile file{directory,
                  directory + "/.shindo-batch-" + std::to_string(::getpid()) + "-" + std::to_string(number) +
                      std::string(suffix) + ".tmp",
                  std::string(suffix)};
  const int fd = ::open(file.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return "cannot write in " + directory + ": " + std::strerror(errno);
  const int error = write_all(fd, bytes, host);
  const int closed = ::close(fd) == 0 ? 0 : errno;
  if (error != 0 || closed != 0) {
    ::unlink(file.temporary.c_str());
    return "cannot write " + file.temporary + ": " + std::strerror(error != 0 ? error : closed);
  }
  return file;
}

std::optional<std::string> place_file(const StagedFile& file, const std::string& target,
                                      const std::set<FileIdentity>& inputs) {
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && inputs.count({info.st_dev, info.st_ino}) > 0) {
    ::unlink(file.temporary.c_str());
    return target + ": not written, it is an input file";
  }
  if (::rename(file.temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(file.temporary.c_str());
    return target + ": " + std::strerror(error);
  }
  return std::nullopt;
}

}  // namespace batch
