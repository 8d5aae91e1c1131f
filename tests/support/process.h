// Runs a program as a child process the way a user or a script would: with
// its standard streams on pipes, or with its standard input and output on a
// pseudo-terminal driven by typed lines; plus the working-directory helpers
// that whole-run tests of the built shindo need.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace shindo::testing {

struct RunRequest {
  std::string program;  // path of the executable; not searched for in PATH
  std::vector<std::string> arguments;  // after the program name
  std::filesystem::path directory;     // working directory; empty: the current one
  // When it runs out, the program and everything it started are killed, also
  // a program still waiting for input that will never come.
  std::chrono::milliseconds timeout{30000};
  // The program starts with no standard input at all (descriptor 0 closed).
  bool close_standard_input = false;
  // Run by the superuser, the program runs as the unprivileged user nobody,
  // so that file permissions hold for it. It runs from a copy in a directory
  // of its own that nobody can reach, wherever the program itself lies.
  bool unprivileged = false;
  // Standard output goes to this file (for example /dev/full) instead of a
  // pipe; `out` then stays empty. Empty: a pipe. Piped runs only.
  std::filesystem::path standard_output_file{};
  // Once `wait_for` has appeared on standard output (the terminal) and the
  // program is then asleep, waiting for input, it is sent `signal_number`.
  // Standard input of a piped run stays open until then, so that the program
  // waits at its read instead of meeting the end of its input.
  struct SignalWhenWaiting {
    std::string wait_for;
    int signal_number = 0;  // 0: none
  } signal_when_waiting{};
};

struct RunResult {
  std::string out;  // standard output; for a terminal run, every byte written to the terminal
  std::string err;  // standard error
  int exit_code = -1;   // the exit status when the program exited, else -1
  int term_signal = 0;  // the signal that ended the program, else 0
  bool timed_out = false;  // the run was killed when its time ran out
};

// Standard input, output and error on pipes. `input` is written to standard
// input, which is then closed; every byte of output and error is kept.
RunResult run_piped(const RunRequest& request, std::string_view input);

// One piece of typing: once `wait_for` has appeared in the terminal output
// (searched after the text matched by the previous piece; empty: at once),
// `text` is written to the terminal as it stands.
struct TypedInput {
  std::string wait_for;
  std::string text;
};

// Standard input and output on a pseudo-terminal that is the program's
// controlling terminal, in raw mode with echo off: the program reads exactly
// the typed bytes (no line editing, CR stays CR) and `out` holds exactly the
// bytes the program wrote (LF is not turned into CR LF). Standard error is a
// separate pipe. Typing that is still waiting for its text when the program
// exits is dropped.
RunResult run_in_terminal(const RunRequest& request, const std::vector<TypedInput>& typing);

// A fresh, empty directory under the system's temporary directory, removed
// with everything in it when the object goes.
struct TemporaryDirectory {
  std::filesystem::path path;

  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
};

// Whole files, byte for byte; both throw std::runtime_error on failure.
void write_file(const std::filesystem::path& path, std::string_view bytes);
std::string read_file(const std::filesystem::path& path);

// Names of the entries of a directory, sorted.
std::vector<std::string> list_directory(const std::filesystem::path& directory);

}  // namespace shindo::testing
