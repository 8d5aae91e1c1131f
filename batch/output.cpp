#include "batch/output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace batch {

bool write_all(int fd, std::string_view text, const Host& host) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = host.write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return false;
    if (wrote == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

void say(std::string_view text, const Host& host) { (void)write_all(2, text, host); }

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
  const bool written = write_all(fd, bytes, host);
  const int error = errno;
  if (::close(fd) != 0 || !written) {
    const int reported = written ? errno : error;
    ::unlink(file.temporary.c_str());
    return "cannot write " + file.temporary + ": " + std::strerror(reported);
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
