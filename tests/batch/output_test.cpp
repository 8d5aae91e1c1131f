// How shindo-batch's bytes reach descriptors and disk, with the host's
// write(2) replaced: interruptions and short writes are carried through, a
// refusal is reported and leaves no file behind, and a staged file appears
// under its name only when it is placed.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "batch/output.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using shindo::testing::TemporaryDirectory;

// The host's answers to a run of write calls: a count of at most that many
// bytes written, or -errno. Calls beyond the list write everything.
std::vector<ssize_t> g_answers;
std::size_t g_call = 0;
std::string g_seen;  // what reached the descriptor through the fake

ssize_t scripted_write(int fd, const void* bytes, std::size_t size) {
  const ssize_t answer = g_call < g_answers.size() ? g_answers[g_call] : static_cast<ssize_t>(size);
  ++g_call;
  if (answer < 0) {
    errno = static_cast<int>(-answer);
    return -1;
  }
  const std::size_t count = std::min(size, static_cast<std::size_t>(answer));
  if (fd == -1) {
    g_seen.append(static_cast<const char*>(bytes), count);
    return static_cast<ssize_t>(count);
  }
  return ::write(fd, bytes, count);
}

batch::Host scripted(std::vector<ssize_t> answers) {
  g_answers = std::move(answers);
  g_call = 0;
  g_seen.clear();
  return batch::Host{.write = scripted_write};
}

TEST(BatchOutput, WriteAllCarriesOnThroughInterruptionsAndShortWrites) {
  const struct {
    const char* name;
    std::vector<ssize_t> answers;
    bool written;
    int error;          // errno when not written
    const char* seen;   // what reached the descriptor
  } rows[] = {
      {"at once", {}, true, 0, "0,5.1,5+\n"},
      {"interrupted twice", {-EINTR, -EINTR}, true, 0, "0,5.1,5+\n"},
      {"three bytes a call", {3, 3, 3}, true, 0, "0,5.1,5+\n"},
      {"interrupted after a part", {4, -EINTR, 2}, true, 0, "0,5.1,5+\n"},
      {"disk full after a part", {4, -ENOSPC}, false, ENOSPC, "0,5."},
      {"nothing written", {0}, false, EIO, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const batch::Host host = scripted(row.answers);
    EXPECT_EQ(batch::write_all(-1, "0,5.1,5+\n", host), row.written ? 0 : row.error);
    EXPECT_EQ(g_seen, row.seen);
  }
}

TEST(BatchOutput, AStagedFileAppearsOnlyWhenPlaced) {
  const TemporaryDirectory work;
  const std::string directory = work.path.string();
  auto staged = batch::stage_file(directory, 7, ".svg", "<svg/>", scripted({2, -EINTR}));
  ASSERT_TRUE(std::holds_alternative<batch::StagedFile>(staged)) << std::get<std::string>(staged);
  const batch::StagedFile& file = std::get<batch::StagedFile>(staged);
  EXPECT_EQ(file.suffix, ".svg");
  EXPECT_EQ(fs::path(file.temporary).parent_path(), work.path);
  EXPECT_FALSE(fs::exists(work.path / "a.svg"));

  EXPECT_EQ(batch::place_file(file, directory + "/a.svg", {}), std::nullopt);
  EXPECT_EQ(shindo::testing::read_file(work.path / "a.svg"), "<svg/>");
  EXPECT_EQ(shindo::testing::list_directory(work.path), std::vector<std::string>{"a.svg"});
}

TEST(BatchOutput, AFileThatCannotBeWrittenLeavesNothingBehind) {
  const TemporaryDirectory work;
  const std::string directory = work.path.string();
  auto staged = batch::stage_file(directory, 3, ".wave.txt", "   .0000E+00   .0000E+00\r\n", scripted({5, -ENOSPC}));
  ASSERT_TRUE(std::holds_alternative<std::string>(staged));
  const std::string& message = std::get<std::string>(staged);
  EXPECT_TRUE(message.starts_with("cannot write " + directory + "/.shindo-batch-")) << message;
  EXPECT_TRUE(message.ends_with(std::string(".wave.txt.tmp: ") + std::strerror(ENOSPC))) << message;
  EXPECT_TRUE(shindo::testing::list_directory(work.path).empty());

  const auto nowhere = batch::stage_file(directory + "/missing", 3, ".txt", "x");
  ASSERT_TRUE(std::holds_alternative<std::string>(nowhere));
  EXPECT_TRUE(std::get<std::string>(nowhere).starts_with("cannot write in " + directory + "/missing: "));
}

TEST(BatchOutput, AnInputIsNeverReplaced) {
  const TemporaryDirectory work;
  const std::string directory = work.path.string();
  shindo::testing::write_file(work.path / "x.txt", "0 1 2 3\n");
  struct stat info {};
  ASSERT_EQ(::stat((work.path / "x.txt").c_str(), &info), 0);
  auto staged = batch::stage_file(directory, 1, ".txt", "exported");
  ASSERT_TRUE(std::holds_alternative<batch::StagedFile>(staged));
  EXPECT_EQ(batch::place_file(std::get<batch::StagedFile>(staged), directory + "/x.txt", {{info.st_dev, info.st_ino}}),
            directory + "/x.txt: not written, it is an input file");
  EXPECT_EQ(shindo::testing::read_file(work.path / "x.txt"), "0 1 2 3\n");
  EXPECT_EQ(shindo::testing::list_directory(work.path), std::vector<std::string>{"x.txt"});
}

}  // namespace
