// Host calls: the one seam through which the record I/O layer reaches the
// operating system (files, standard handles, terminals, process exit), so that
// tests can replace any call with a fake or make it fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>
#include <sys/types.h>

namespace recio {

// Each call has the POSIX meaning and result: -1 with errno set on failure.
struct HostCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, std::size_t count);
  ssize_t (*write)(int fd, const void* buffer, std::size_t count);
  off_t (*seek)(int fd, off_t offset, int whence);
  int (*truncate)(int fd, off_t length);
  int (*close)(int fd);
  int (*unlink)(const char* path);
  int (*stat)(const char* path, struct stat* info);
  int (*fstat)(int fd, struct stat* info);
  int (*isatty)(int fd);
  void (*exit)(int status);  // does not return
};

// The calls of this host.
HostCalls system_host();

// The calls in force; system_host() unless a test installed others.
HostCalls& host();

// Writes `count` bytes with as many write calls as the host needs and returns
// how many were written before a write failed or transferred nothing (`count`
// when all were).
std::size_t write_until_failure(int fd, const void* buffer, std::size_t count);

// Writes all `count` bytes; false when a write fails or transfers nothing.
bool write_all(int fd, const void* buffer, std::size_t count);

// One read through the host, retried when a signal interrupts it: the bytes
// read, 0 at the end, -1 on a failure (errno tells).
ssize_t read_retrying(int fd, void* buffer, std::size_t count);

}  // namespace recio
