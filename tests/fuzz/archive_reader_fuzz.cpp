// Fuzzes the archive reader: the input is an archive file (tar, gzip,
// nested), read member by member into memory; every member has a name under
// the archive's, and a failure is one error value naming the archive or a
// member of it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/reader_checks.h"

namespace {

std::string archive_directory;
std::string archive_file;

void remove_archive() {
  ::unlink(archive_file.c_str());
  ::rmdir(archive_directory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  archive_directory = "/tmp/sharXXXXXX";
  if (::mkdtemp(archive_directory.data()) == nullptr) std::abort();
  archive_file = archive_directory + "/a.tar";
  std::atexit(remove_archive);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(archive_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0) std::abort();
  const std::string prefix = archive_file + ":";
  const std::optional<readers::Error> error = readers::for_each_member(archive_file, [](std::string_view) { return true; }, [&](readers::Member&& member) {
    if (!member.name.starts_with(prefix)) shindo::fuzzing::reader_finding("a member named " + member.name);
    if (const std::optional<readers::Format> format = readers::detect_format(member.name, member.bytes)) {
      if (*format == readers::Format::jma_csv) {
        const readers::Result<readers::Record> record = readers::read_jma_csv(member.name, member.bytes);
        shindo::fuzzing::check_result(record, member.name);
      }
    }
  });
  if (error) {
    if (!error->file.starts_with(archive_file)) shindo::fuzzing::reader_finding("an error naming " + error->file);
    if (error->message.empty()) shindo::fuzzing::reader_finding("an error without a message");
  }
  return 0;
}
