// shindo-batch against what breaks a batch: inputs that can be read once,
// archives that expand past the memory limit, headers that claim too much,
// values JSON cannot hold, interrupts, re-runs over its own output, one file
// named twice or by two spellings, a standard output that is closed or gone,
// and hostile bytes in names. The program runs as a child whose resident
// memory, status and streams are seen whole.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "readers/readers.h"
#include "tests/support/csv_table.h"
#include "tests/support/network_files.h"
#include "tests/support/process.h"
#include "tests/support/sanitized.h"
#include "tests/support/shaking_text.h"

namespace {

namespace fs = std::filesystem;
using shindo::testing::kSanitized;
using shindo::testing::parse_csv;
using shindo::testing::read_file;
using shindo::testing::console_text;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

// Where the child's standard output goes.
enum class Out { file, closed, pipe_without_reader };

struct Child {
  std::vector<std::string> arguments;
  fs::path directory;
  Out out = Out::file;
  std::optional<std::string> input;           // standard input through a pipe; none: /dev/null
  std::optional<rlim_t> address_space;        // RLIMIT_AS of the child
  std::function<void(pid_t, const fs::path& out)> meanwhile;  // while it runs
};

struct Ended {
  std::string out, err;
  int status = -1;  // exit status, -1 when ended by a signal or killed
  int signal = 0;
  long peak_kib = 0;  // resident memory at its peak
  bool timed_out = false;
};

// Runs shindo-batch as a child, its standard output and error in files.
Ended run_child(const Child& child) {
  const fs::path out_file = child.directory / ".child-out";
  const fs::path err_file = child.directory / ".child-err";
  int input_pipe[2] = {-1, -1};
  if (child.input && ::pipe(input_pipe) != 0) ADD_FAILURE() << "pipe";
  int output_pipe[2] = {-1, -1};
  if (child.out == Out::pipe_without_reader && ::pipe(output_pipe) != 0) ADD_FAILURE() << "pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(child.directory.c_str()) != 0) ::_exit(126);
    const int in = child.input ? input_pipe[0] : ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (child.out == Out::file) {
      ::dup2(::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    } else if (child.out == Out::closed) {
      ::close(1);
    } else {
      ::dup2(output_pipe[1], 1);
    }
    for (int fd = 3; fd < 64; ++fd) ::close(fd);
    if (child.address_space) {
      const rlimit limit{*child.address_space, *child.address_space};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(SHINDO_BATCH_BINARY));
    for (const std::string& argument : child.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(SHINDO_BATCH_BINARY, argv.data());
    ::_exit(127);
  }
  std::thread feeder;
  if (child.input) {
    ::close(input_pipe[0]);
    feeder = std::thread([&] {
      std::size_t done = 0;
      while (done < child.input->size()) {
        const ssize_t wrote = ::write(input_pipe[1], child.input->data() + done, child.input->size() - done);
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
      }
      ::close(input_pipe[1]);
    });
  }
  if (child.out == Out::pipe_without_reader) {
    ::close(output_pipe[0]);
    ::close(output_pipe[1]);
  }
  if (child.meanwhile) child.meanwhile(pid, out_file);
  Ended ended;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      ended.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (feeder.joinable()) feeder.join();
  ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ended.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  ended.peak_kib = usage.ru_maxrss;
  if (fs::exists(out_file)) ended.out = read_file(out_file);
  ended.err = read_file(err_file);
  fs::remove(out_file);
  fs::remove(err_file);
  return ended;
}

// A pipe without a reader must fail a write, not end the test.
const bool kPipesIgnored = [] {
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}();

void write_knet(const fs::path& stem, std::size_t samples, const std::string& station = "TST001") {
  const char* letters[] = {".NS", ".EW", ".UD"};
  for (int c = 0; c < 3; ++c) {
    shindo::testing::KnetFileContent content;
    content.station = station;
    for (std::size_t i = 0; i < samples; ++i) {
      content.counts.push_back(std::lround(30000.0 * std::sin(0.05 * static_cast<double>(i) * (c + 1))));
    }
    write_file(stem.string() + letters[c], shindo::testing::knet_text(content));
  }
}

int shell(const fs::path& directory, const std::string& command) {
  return std::system(("cd '" + directory.string() + "' && " + command).c_str());
}

// Every line of a JSON Lines text parses as JSON of strict UTF-8 (Python's
// reader, which refuses bare inf and bytes that are not UTF-8).
bool every_line_is_json(const fs::path& directory, const std::string& text) {
  write_file(directory / ".lines.json", text);
  return shell(directory,
               "python3 -c 'import json,sys\n"
               "for line in open(\".lines.json\", \"rb\").read().decode(\"utf-8\").splitlines():\n"
               "    json.loads(line, parse_constant=lambda c: sys.exit(\"bare \" + c))' ") == 0;
}

std::size_t rows_of(const std::string& out) { return parse_csv(out).size(); }

// ---------------------------------------------------------------------------
// Inputs read once

TEST(BatchInputs, APipeOrAFifoIsReadOnceAndWhole) {
  TemporaryDirectory scratch;
  const std::string text = console_text(3000, 1);  // far more than one first read
  const Ended piped = run_child({.arguments = {"/dev/stdin"}, .directory = scratch.path, .input = text});
  ASSERT_EQ(piped.status, 0) << piped.err;
  ASSERT_EQ(rows_of(piped.out), 1u) << piped.out;
  EXPECT_EQ(parse_csv(piped.out)[0].at("samples"), "3000");

  ASSERT_EQ(::mkfifo((scratch.path / "stream").c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open((scratch.path / "stream").c_str(), O_WRONLY);
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
      if (wrote <= 0) break;
      done += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
  });
  const Ended fifo = run_child({.arguments = {"stream"}, .directory = scratch.path});
  writer.join();
  ASSERT_FALSE(fifo.timed_out);
  ASSERT_EQ(fifo.status, 0) << fifo.err;
  EXPECT_EQ(parse_csv(fifo.out).at(0).at("samples"), "3000");
}

TEST(BatchInputs, OneFileNamedTwiceIsOneInput) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "t", console_text(300, 1));
  fs::create_directories(scratch.path / "d");
  write_knet(scratch.path / "d" / "X", 300);
  const Ended ended = run_child({.arguments = {"t", "./t", "d", "d/", "d/X.NS"}, .directory = scratch.path});
  ASSERT_EQ(ended.status, 0) << ended.err << ended.out;
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 2u) << ended.out;
  EXPECT_EQ(rows[0].at("record"), "d/X");
  EXPECT_EQ(rows[1].at("record"), "t");
}

// ---------------------------------------------------------------------------
// Memory

TEST(BatchMemory, AnArchiveThatExpandsPastTheLimitStaysWithinIt) {
  if (!readers::archives_supported()) GTEST_SKIP() << "built without libarchive";
  TemporaryDirectory scratch;
  // Six text members of 64 MiB each and one K-NET record whose UD file is
  // 64 MiB, all in an archive of about 1 MB; one small record besides.
  const std::string small = console_text(500, 2);
  write_file(scratch.path / "small.txt", small);
  write_knet(scratch.path / "K", 200);
  ASSERT_EQ(shell(scratch.path,
                  "python3 -c 'import io,tarfile\n"
                  "big = b\"0 1 2 3\\n\" * (8 << 20)\n"
                  "with tarfile.open(\"hostile.tar.gz\", \"w:gz\") as tar:\n"
                  "    for name in [\"K.NS\", \"K.EW\"]: tar.add(name)\n"
                  "    for i in range(6):\n"
                  "        info = tarfile.TarInfo(\"big%d.txt\" % i); info.size = len(big)\n"
                  "        tar.addfile(info, io.BytesIO(big))\n"
                  "    info = tarfile.TarInfo(\"K.UD\"); info.size = len(big)\n"
                  "    tar.addfile(info, io.BytesIO(big))\n"
                  "    tar.add(\"small.txt\")'"),
            0);
  ASSERT_LT(fs::file_size(scratch.path / "hostile.tar.gz"), std::uintmax_t{2} << 20);
  const Ended ended =
      run_child({.arguments = {"--memory-limit", "16M", "-j", "2", "hostile.tar.gz"}, .directory = scratch.path});
  ASSERT_EQ(ended.status, 1) << ended.err;
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 8u) << ended.out;
  std::size_t refused = 0;
  for (const auto& row : rows) {
    if (row.at("record") == "hostile.tar.gz:small.txt") {
      EXPECT_EQ(row.at("error"), "");
      continue;
    }
    EXPECT_NE(row.at("error").find("larger than the memory limit of 16 MiB (--memory-limit raises it)"), std::string::npos)
        << row.at("error");
    EXPECT_TRUE(row.at("record").starts_with("hostile.tar.gz:")) << row.at("record");
    ++refused;
  }
  EXPECT_EQ(refused, 7u);
  // The limit counts the bytes held; the process adds its code, its threads
  // and the computation of the small record. A sanitizer's shadow memory
  // would count too: the peak is measured in the plain build only.
  if (!kSanitized) EXPECT_LT(ended.peak_kib, 64 * 1024) << "peak resident memory in KiB";
}

struct LimitCase {
  const char* name;
  const char* limit;
  bool computed;
};

// A record of 3 MiB of text: refused under 2M, read under 8M.
const LimitCase kLimits[] = {{"below", "2M", false}, {"raised", "8M", true}, {"in_kib", "8192K", true}};

class BatchMemoryLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(BatchMemoryLimit, RefusesOnlyWhatExceedsIt) {
  TemporaryDirectory scratch;
  std::string text;
  for (int i = 0; text.size() < (std::size_t{3} << 20); ++i) text += std::to_string(i) + " 1 2 3\n";
  write_file(scratch.path / "r.txt", text);
  const Ended ended = run_child({.arguments = {"--memory-limit", GetParam().limit, "r.txt"}, .directory = scratch.path});
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 1u) << ended.err;
  if (GetParam().computed) {
    EXPECT_EQ(rows[0].at("error"), "");
    EXPECT_EQ(ended.status, 0);
  } else {
    EXPECT_EQ(rows[0].at("error"), "its record's files are larger than the memory limit of 2 MiB (--memory-limit raises it)");
    EXPECT_EQ(ended.status, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, BatchMemoryLimit, ::testing::ValuesIn(kLimits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BatchMemory, AHeaderThatClaimsTooMuchFailsItsRowOnly) {
  TemporaryDirectory scratch;
  shindo::testing::KnetFileContent content;
  content.counts = {1, 2, 3, 4, 5, 6, 7, 8};
  content.duration = "10000000";  // 10^9 counts claimed
  for (const char* letters : {"X.NS", "X.EW", "X.UD"}) write_file(scratch.path / letters, shindo::testing::knet_text(content));
  write_file(scratch.path / "r.txt", console_text(300, 1));
  const Ended ended = run_child({.arguments = {"X.NS", "X.EW", "X.UD", "r.txt"},
                                 .directory = scratch.path,
                                 .address_space = kSanitized ? std::nullopt : std::optional<rlim_t>(rlim_t{1} << 30)});
  EXPECT_EQ(ended.signal, 0);
  ASSERT_EQ(ended.status, 1) << ended.err;
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(rows[0].at("error").find("8 counts where Duration x frequency gives 1000000000"), std::string::npos)
      << rows[0].at("error");
  EXPECT_EQ(rows[1].at("error"), "");
}

TEST(BatchMemory, ComponentsFarApartUnderASmallLimitAreAllComputed) {
  if (!readers::archives_supported()) GTEST_SKIP() << "built without libarchive";
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "in");
  // 150 records of about 3 x 14 KB, every NS first, then EW, then UD: under
  // 1 MiB they are held in several readings of the archive.
  std::string list;
  for (const char* letters : {".NS", ".EW", ".UD"}) {
    for (int r = 0; r < 150; ++r) list += "R" + std::to_string(r) + letters + "\n";
  }
  for (int r = 0; r < 150; ++r) write_knet(scratch.path / "in" / ("R" + std::to_string(r)), 1000);
  write_file(scratch.path / "in" / "list", list);
  ASSERT_EQ(shell(scratch.path / "in", "tar -czf ../far.tgz -T list"), 0);
  const Ended ended = run_child({.arguments = {"--memory-limit", "1M", "far.tgz"}, .directory = scratch.path});
  ASSERT_EQ(ended.status, 0) << ended.err;
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 150u);
  for (const auto& row : rows) EXPECT_EQ(row.at("error"), "") << row.at("record");
}

// ---------------------------------------------------------------------------
// The table

TEST(BatchTableOutput, EveryJsonLineParses) {
  TemporaryDirectory scratch;
  shindo::testing::JmaCsvContent huge;
  for (int i = 0; i < 300; ++i) huge.lines.push_back("3e38,3e38,-3e38");
  write_file(scratch.path / "huge.csv", shindo::testing::jma_csv_text(huge));
  shindo::testing::JmaCsvContent slow;
  slow.rate = "1e-40Hz";
  for (int i = 0; i < 300; ++i) slow.lines.push_back("1,2,3");
  write_file(scratch.path / "slow.csv", shindo::testing::jma_csv_text(slow));
  // A station code cut inside a two-byte character, and a file name that is
  // Shift_JIS, not UTF-8.
  write_knet(scratch.path / "K", 300, "AB\xE6\x9D");
  write_file(scratch.path / "\x93\x8C.txt", console_text(300, 1));
  const Ended ended = run_child({.arguments = {"--format", "json", "."}, .directory = scratch.path});
  ASSERT_EQ(ended.status, 1) << ended.err;
  EXPECT_TRUE(every_line_is_json(scratch.path, ended.out)) << ended.out;
  EXPECT_NE(ended.out.find("\"record\":\"./\xEF\xBF\xBD\xEF\xBF\xBD.txt\""), std::string::npos) << ended.out;
  EXPECT_NE(ended.out.find("\"station\":\"AB\xEF\xBF\xBD"), std::string::npos) << ended.out;
  EXPECT_NE(ended.out.find("\"record\":\"./slow.csv\",\"format\":\"jma-csv\""), std::string::npos) << ended.out;
  EXPECT_NE(ended.out.find("\"error\":\"the sampling interval is not a finite number of seconds\""), std::string::npos)
      << ended.out;
}

TEST(BatchTableOutput, ControlBytesInNamesAreShownEscaped) {
  TemporaryDirectory scratch;
  write_knet(scratch.path / "K\x1b[2J", 300, "AB\x1b" "C");
  const Ended ended = run_child({.arguments = {"."}, .directory = scratch.path});
  ASSERT_EQ(ended.status, 0) << ended.err;
  EXPECT_EQ(ended.out.find('\x1b'), std::string::npos) << ended.out;
  EXPECT_EQ(ended.err.find('\x1b'), std::string::npos) << ended.err;
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("record"), "./K\\x1b[2J");
  EXPECT_EQ(rows[0].at("station"), "AB\\x1bC");
}

// ---------------------------------------------------------------------------
// Interrupts

struct SignalCase {
  const char* name;
  int number;
};

const SignalCase kSignals[] = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};

class BatchInterrupt : public ::testing::TestWithParam<SignalCase> {};

TEST_P(BatchInterrupt, KeepsTheFinishedRowsAndFilesAndLeavesNoTemporaryFile) {
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "d");
  for (int r = 0; r < 40; ++r) write_file(scratch.path / "d" / ("r" + std::to_string(100 + r) + ".txt"), console_text(9000, r));
  const int number = GetParam().number;
  const Ended ended = run_child(
      {.arguments = {"-j", "2", "--running", "--output", "out", "--export", "exp", "d"},
       .directory = scratch.path,
       .meanwhile = [&](pid_t pid, const fs::path& out) {
         // Once two rows are out, the signal.
         const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         while (std::chrono::steady_clock::now() < deadline) {
           if (fs::exists(out) && rows_of(read_file(out)) >= 2) break;
           std::this_thread::sleep_for(std::chrono::milliseconds(10));
         }
         ::kill(pid, number);
       }});
  EXPECT_EQ(ended.status, 128 + number) << ended.err;
  EXPECT_NE(ended.err.find(std::string("stopped by ") + GetParam().name), std::string::npos) << ended.err;
  const auto rows = parse_csv(ended.out);
  ASSERT_GE(rows.size(), 2u);
  ASSERT_LT(rows.size(), 40u) << "the run ended before the signal";
  // In record order; a record still queued when the signal came is left out.
  std::string previous;
  for (const auto& row : rows) {
    const std::string& record = row.at("record");
    EXPECT_LT(previous, record);
    previous = record;
    EXPECT_EQ(row.at("error"), "");
    const std::string base = record.substr(2);
    EXPECT_TRUE(fs::exists(scratch.path / "out" / (base + ".svg"))) << base;
    EXPECT_TRUE(fs::exists(scratch.path / "exp" / (base + ".txt"))) << base;
  }
  for (const char* directory : {"out", "exp"}) {
    for (const auto& entry : fs::directory_iterator(scratch.path / directory)) {
      EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, BatchInterrupt, ::testing::ValuesIn(kSignals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Where the files go

TEST(BatchFiles, ARerunWithTheOutputInsideTheInputGivesTheSameRows) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--output", "d/out", "--export", "d/exp", "d"},
        std::vector<std::string>{"--output", "d", "d"}}) {
    TemporaryDirectory scratch;
    fs::create_directories(scratch.path / "d");
    write_file(scratch.path / "d" / "r.txt", console_text(500, 1));
    const Ended first = run_child({.arguments = arguments, .directory = scratch.path});
    const Ended second = run_child({.arguments = arguments, .directory = scratch.path});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err << second.out;
    EXPECT_EQ(second.out, first.out);
    EXPECT_NE(second.err.find("1 record, 0 failed"), std::string::npos) << second.err;
  }
}

TEST(BatchFiles, TwoSpellingsOfOneDirectoryAreOnePlace) {
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "a");
  fs::create_directories(scratch.path / "b");
  // a/q.wave exported is same/q.wave.txt; the wave of b/q is same//q.wave.txt.
  write_file(scratch.path / "a" / "q.wave", console_text(300, 1));
  write_file(scratch.path / "b" / "q", console_text(300, 2));
  const Ended ended = run_child({.arguments = {"--export", "same", "--output", "same/", "a", "b"}, .directory = scratch.path});
  ASSERT_EQ(ended.status, 0) << ended.err;
  EXPECT_EQ(read_file(scratch.path / "same" / "q.wave.txt").substr(0, 2), "0 ");
  EXPECT_TRUE(fs::exists(scratch.path / "same" / "q~2.wave.txt"));
  EXPECT_NE(ended.err.find("files named q~2"), std::string::npos) << ended.err;
}

TEST(BatchFiles, EveryRefusedFileIsNamedAndAFailedRowLinksNoPicture) {
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "out");
  write_file(scratch.path / "r.txt", console_text(300, 1));
  write_file(scratch.path / "out" / "r.txt.wave.txt", "mine");
  write_file(scratch.path / "out" / "r.txt.a0tau.txt", "mine too");
  const Ended ended = run_child(
      {.arguments = {"--output", "out", "r.txt", "out/r.txt.wave.txt", "out/r.txt.a0tau.txt"}, .directory = scratch.path});
  EXPECT_EQ(ended.status, 1);
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].at("record"), "r.txt");
  EXPECT_EQ(rows[2].at("error"), "out/r.txt.wave.txt: not written, it is an input file; "
                                 "out/r.txt.a0tau.txt: not written, it is an input file");
  EXPECT_EQ(read_file(scratch.path / "out" / "r.txt.wave.txt"), "mine");
  EXPECT_EQ(read_file(scratch.path / "out" / "report.html").find("r.txt.svg"), std::string::npos);
}

TEST(BatchFiles, ARecordTooLongIsRefusedBeforeItIsExported) {
  TemporaryDirectory scratch;
  // 2^22 + 8 samples, compressed to a few hundred KB.
  ASSERT_EQ(shell(scratch.path,
                  "python3 -c 'import gzip\n"
                  "gzip.open(\"long.txt.gz\", \"wb\").write(b\"\".join(b\"%d 1 2 3\\n\" % i for i in range((1 << 22) + 8)))'"),
            0);
  const Ended ended = run_child({.arguments = {"--export", "exp", "long.txt.gz"}, .directory = scratch.path});
  EXPECT_EQ(ended.status, 1);
  const auto rows = parse_csv(ended.out);
  ASSERT_EQ(rows.size(), 1u) << ended.err;
  EXPECT_NE(rows[0].at("error").find("longer than the core computes"), std::string::npos) << rows[0].at("error");
  EXPECT_TRUE(fs::is_empty(scratch.path / "exp"));
}

// ---------------------------------------------------------------------------
// Standard output that fails

struct BrokenOutputCase {
  const char* name;
  Out out;
  const char* cause;
};

const BrokenOutputCase kBrokenOutputs[] = {
    {"closed", Out::closed, "cannot write the table: Bad file descriptor"},
    {"pipe_without_reader", Out::pipe_without_reader, "cannot write the table: Broken pipe"},
};

class BatchBrokenOutput : public ::testing::TestWithParam<BrokenOutputCase> {};

TEST_P(BatchBrokenOutput, NamesItsOwnCause) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "r.txt", console_text(300, 1));
  const Ended ended = run_child({.arguments = {"--output", "out", "r.txt"}, .directory = scratch.path, .out = GetParam().out});
  EXPECT_EQ(ended.status, 1);
  EXPECT_NE(ended.err.find(GetParam().cause), std::string::npos) << ended.err;
  // The files are written whatever became of the table, and not into it.
  EXPECT_TRUE(fs::exists(scratch.path / "out" / "r.txt.svg"));
  EXPECT_EQ(read_file(scratch.path / "r.txt"), console_text(300, 1));
}

INSTANTIATE_TEST_SUITE_P(Outputs, BatchBrokenOutput, ::testing::ValuesIn(kBrokenOutputs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
