// How the batch program's bytes reach descriptors and disk: the one loop that
// writes (and the one that reads) again after an interruption, and the files
// it writes, each written under a temporary name and renamed when complete,
// so that no reader ever sees half a file. The host's calls go through
// `Host`, which a test replaces to see a failure handled.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace batch {

// The host's read(2) and write(2).
struct Host {
  ssize_t (*read)(int fd, void* bytes, std::size_t size) = ::read;
  ssize_t (*write)(int fd, const void* bytes, std::size_t size) = ::write;
};

// Writes all of `text` to `fd`, again after EINTR and after a short write;
// false with errno set when the host refuses (EIO when it writes nothing).
//   write_all(1, "a,b\n") → true, "a,b\n" on standard output
[[nodiscard]] bool write_all(int fd, std::string_view text, const Host& host = {});

// Writes `text` for a person to standard error; a failure there has no one
// left to be told to.
//   say("shindo-batch: 3 records, 0 failed, 0 files skipped (no record)\n")
void say(std::string_view text, const Host& host = {});

// Reads up to `size` bytes from `fd`, again after EINTR: the count read, 0
// at the end, -1 with errno set.
[[nodiscard]] ssize_t read_some(int fd, char* bytes, std::size_t size, const Host& host = {});

// A file (device, inode): the inputs of a run, which it never replaces.
using FileIdentity = std::pair<dev_t, ino_t>;

// A file written whole under a temporary name in `directory`, waiting for
// its name: DIRECTORY/<stem><suffix>.
struct StagedFile {
  std::string directory;
  std::string temporary;
  std::string suffix;  // ".txt", ".wave.txt", ".a0tau.txt", ".svg", ".running.csv", ".spectra.csv", ".html"
};

// Writes `bytes` to DIRECTORY/.shindo-batch-<pid>-<number><suffix>.tmp,
// unique for each `number` of one run. The message when it cannot, with the
// temporary file removed.
//   ("out", 3, ".svg", "<svg/>") → StagedFile{"out", "out/.shindo-batch-4242-3.svg.tmp", ".svg"}
//   a full disk → "cannot write out/.shindo-batch-4242-3.svg.tmp: No space left on device"
[[nodiscard]] std::variant<StagedFile, std::string> stage_file(const std::string& directory, std::size_t number,
                                                                std::string_view suffix, std::string_view bytes,
                                                                const Host& host = {});

// Gives a staged file its name `target`, replacing what is there unless it
// is one of `inputs`; the message when it is not placed (the temporary file
// is then removed).
//   (staged, "out/a.svg", {}) → nullopt,  target an input → "out/a.svg: not written, it is an input file"
[[nodiscard]] std::optional<std::string> place_file(const StagedFile& file, const std::string& target,
                                                    const std::set<FileIdentity>& inputs);

}  // namespace batch
