#include "recio/host.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace recio {

namespace {

int host_open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t host_read(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); }
ssize_t host_write(int fd, const void* buffer, std::size_t count) {
  return ::write(fd, buffer, count);
}
off_t host_seek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
int host_truncate(int fd, off_t length) { return ::ftruncate(fd, length); }
int host_close(int fd) { return ::close(fd); }
int host_unlink(const char* path) { return ::unlink(path); }
int host_stat(const char* path, struct stat* info) { return ::stat(path, info); }
int host_fstat(int fd, struct stat* info) { return ::fstat(fd, info); }
int host_isatty(int fd) { return ::isatty(fd); }
[[noreturn]] void host_exit(int status) { ::_exit(status); }

}  // namespace

HostCalls system_host() {
  return HostCalls{host_open,  host_read,   host_write, host_seek,   host_truncate, host_close,
                   host_unlink, host_stat,  host_fstat, host_isatty, host_exit};
}

HostCalls& host() {
  static HostCalls calls = system_host();
  return calls;
}

std::size_t write_until_failure(int fd, const void* buffer, std::size_t count) {
  const char* bytes = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t written = host().write(fd, bytes + done, count - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
  return done;
}

ssize_t read_retrying(int fd, void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t got = host().read(fd, buffer, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool write_all(int fd, const void* buffer, std::size_t count) {
  return write_until_failure(fd, buffer, count) == count;
}

}  // namespace recio
