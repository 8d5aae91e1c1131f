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

// Writes all of `text` to `fd`, again after EINTR and after a short write:
// 0, or the errno of the host's refusal (EIO when it writes nothing), taken
// at once so that no later call can change it.
//   write_all(1, "a,b\n") → 0, "a,b\n" on standard output
//   write_all(1, "a,b\n") with the reader of a pipe gone → EPIPE
[[nodiscard]] int write_all(int fd, std::string_view text, const Host& host = {});

// Text as a person sees it on a terminal or in a table: bytes that are not
// valid UTF-8 as U+FFFD, control characters (NUL, ESC, CR, LF ...) as \xHH
// except those in `kept`.
//   "a\x1b[2Jb" → "a\\x1b[2Jb",  "\x93\x8C" → "\uFFFD\uFFFD",  ("a\nb", "\n") → "a\nb"
[[nodiscard]] std::string shown(std::string_view text, std::string_view kept = {});

// Writes `text` for a person to standard error; a failure there has no one
// left to be told to.
//   say("shindo-batch: 3 records, 0 failed, 0 files skipped (no record)\n")
void say(std::string_view text, const Host& host = {});

// Reads up to `size` bytes from `fd`, again after EINTR: the count read, 0
// at the end, -1 with errno set.
[[nodiscard]] ssize_t read_some(int fd, char* bytes, std::size_t size, const Host& host = {});

// Makes sure descriptors 0, 1 and 2 are open, so that no file the program
// opens takes the place of a closed standard output; one opened here refuses
// every write (EBADF), which the program then reports.
void keep_standard_descriptors();

// Catches SIGINT, SIGTERM and SIGHUP: the first one is remembered for
// stop_signal() and interrupts a blocking read; a second ends the program as
// the signal does. SIGPIPE is ignored: a write to a pipe whose reader is gone
// fails with EPIPE, which the program reports.
void catch_stop_signals();

// The signal caught by catch_stop_signals, 0 while none has come.
//   after SIGINT → 2
[[nodiscard]] int stop_signal();

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
