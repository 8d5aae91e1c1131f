#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <unistd.h>
#include <string>
#include <vector>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "recio/statement.h"
#include "recio/units.h"
#include "tests/support/process.h"
#include "tests/support/run_fixture.h"

namespace recio {
namespace {

using shindo::testing::read_file;
using shindo::testing::write_file;

void write_line(std::int32_t unit, const char* text) {
  begin_write(unit);
  write_character(text, static_cast<std::int32_t>(std::char_traits<char>::length(text)));
  end_write();
}

struct Units : testing::FreshRun {
  std::size_t files_here() {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      (void)entry;
      ++count;
    }
    return count;
  }
};

TEST_F(Units, MissingInputFileIsReportedWithItsTrimmedNameAndCreatesNothing) {
  start();
  EXPECT_EXIT(open_unit(11, "  nofile.dat        ", 20, "OLD", 3), ::testing::ExitedWithCode(1),
              "^\r\nrun-time error F6416: OPEN\\(nofile.dat\\)\r\n- file not found\r\n$");
  EXPECT_EQ(files_here(), 0u);
}

TEST_F(Units, MissingInputFileTakesThreeOpenAttemptsAndReportsTheLast) {
  start();
  {
    // A refusal made to the third attempt is the one reported...
    testing::ScopedFaultInjector third(3, false, EACCES, testing::HostCall::Open);
    EXPECT_EXIT(open_unit(11, "nofile.dat", 10, "OLD", 3), ::testing::ExitedWithCode(1), "F6414");
  }
  {
    // ...and there is no fourth.
    testing::ScopedFaultInjector fourth(4, false, EACCES, testing::HostCall::Open);
    EXPECT_EXIT(open_unit(11, "nofile.dat", 10, "OLD", 3), ::testing::ExitedWithCode(1), "F6416");
  }
}

TEST_F(Units, ReadOnlyInputFileOpensThroughTheReadOnlyRetry) {
  write_file("in.txt", "1 2 3 4\n");
  ::chmod("in.txt", 0444);
  start();
  open_unit(11, "in.txt", 6, "OLD", 3);
  float values[4] = {};
  begin_read(11, true);
  for (float& value : values) ASSERT_EQ(read_real(&value), 0);
  EXPECT_EQ(end_read(), 0);
  close_unit(11);
  EXPECT_EQ(values[3], 4.0f);
}

TEST_F(Units, UnknownStatusCreatesAMissingFile) {
  start();
  open_unit(11, "wave1_dat", 9, "UNKNOWN", 7);
  write_line(11, "x");
  close_unit(11);
  EXPECT_EQ(read_file("wave1_dat"), " x\r\n");
}

TEST_F(Units, ExistingFileIsTruncatedAtTheFirstOutputNotAtOpen) {
  write_file("wave1_dat", std::string(5000, 'o'));
  start();
  open_unit(11, "wave1_dat", 9, "UNKNOWN", 7);
  EXPECT_EQ(read_file("wave1_dat").size(), 5000u);
  write_line(11, "new");
  close_unit(11);
  EXPECT_EQ(read_file("wave1_dat"), " new\r\n");
}

TEST_F(Units, FileThatIsOnlyReadKeepsItsContents) {
  write_file("in.txt", "1 2 3 4\n5 6 7 8\n");
  start();
  open_unit(11, "in.txt", 6, "UNKNOWN", 7);
  float value = 0.0f;
  begin_read(11, true);
  read_real(&value);
  end_read();
  close_unit(11);
  EXPECT_EQ(read_file("in.txt"), "1 2 3 4\n5 6 7 8\n");
}

TEST_F(Units, OutputAfterInputTruncatesAtTheFirstUnreadByte) {
  write_file("data.txt", "1 2 3 4\n5 6 7 8\n");
  start();
  open_unit(11, "data.txt", 8, "OLD", 3);
  float value = 0.0f;
  begin_read(11, true);
  read_real(&value);
  end_read();
  write_line(11, "end");
  close_unit(11);
  EXPECT_EQ(read_file("data.txt"), "1 2 3 4\n end\r\n");
}

TEST_F(Units, FirstArgumentNamesUnitTenAndASecondIsNotUsed) {
  start({"res.txt", "other.txt"});
  write_line(10, " A0");
  write_line(10, " Shindo");
  close_unit(10);
  EXPECT_EQ(read_file("res.txt"), "  A0\r\n  Shindo\r\n");
  EXPECT_FALSE(std::filesystem::exists("other.txt"));
  EXPECT_EQ(shown(), "");
}

TEST_F(Units, RequestIsRepeatedWhileTheAnswerIsBlank) {
  console.input = "\r\n   \r\n  res.txt  \r\n";
  start();
  write_line(kConsoleOutput, " A0 (gal) =");
  write_line(10, " A0");
  write_line(kConsoleOutput, " Shindo");
  close_unit(10);
  const std::string request = "File name missing or blank - please enter file name\r\nUNIT 10? ";
  EXPECT_EQ(shown(), " A0 (gal) =\r\n" + request + request + request + "\r\n Shindo");
  EXPECT_EQ(read_file("res.txt"), "  A0\r\n");
}

TEST_F(Units, EndOfInputAtTheRequestIsReportedAsOpenWithoutAName) {
  start();
  EXPECT_EXIT(write_line(10, "x"), ::testing::ExitedWithCode(1),
              "^\r\nrun-time error F6501: OPEN\\(\\)\r\n- end of file encountered\r\n$");
}

TEST_F(Units, BlankNameAtOpenTakesTheNextArgument) {
  write_file("data.txt", "1 2 3 4\n");
  start({"data.txt"});
  open_unit(11, "                    ", 20, "OLD", 3);
  float value = 0.0f;
  begin_read(11, true);
  read_real(&value);
  end_read();
  close_unit(11);
  EXPECT_EQ(value, 1.0f);
}

TEST_F(Units, FailedImplicitConnectionIsReportedAsOpenWithItsName) {
  start({"nodir/res.txt"});
  EXPECT_EXIT(write_line(10, "x"), ::testing::ExitedWithCode(1),
              "run-time error F6416: OPEN\\(nodir/res.txt\\)");
}

struct DeviceCase {
  const char* name;
  const char* console;  // what the console shows of two records, or null for a file
  bool file;
};

struct DeviceNames : testing::FreshRun, ::testing::WithParamInterface<DeviceCase> {};

TEST_P(DeviceNames, NameDecidesBetweenDeviceAndFile) {
  start({GetParam().name});
  write_line(kConsoleOutput, " before");
  write_line(10, " ten");
  close_unit(10);
  EXPECT_EQ(shown(), GetParam().console);
  EXPECT_EQ(std::filesystem::exists(GetParam().name), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DeviceNames,
    ::testing::Values(DeviceCase{"CON", " before\r\n ten", false},
                      DeviceCase{"con.txt", " before\r\n ten", false},
                      DeviceCase{"user", " before\r\n ten", false},
                      DeviceCase{"NUL", " before", false},
                      DeviceCase{"err.txt", " before", true},
                      DeviceCase{"lpt1.dat", " before", true},
                      DeviceCase{"console", " before", true}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) c = c == '.' ? '_' : c;
      return name;
    });

TEST_F(Units, PrinterAndSerialDevicesFailAsMissingFiles) {
  for (const char* name : {"PRN", "com1", "COM1.txt", "LPT4", "aux", "LINE"}) {
    start({name});
    EXPECT_EXIT(write_line(10, "x"), ::testing::ExitedWithCode(1),
                std::string("F6416: OPEN\\(") + name + "\\)");
  }
}

TEST_F(Units, SameFileOnAnotherUnitIsRefused) {
  start();
  open_unit(11, "a.txt", 5, "UNKNOWN", 7);
  EXPECT_EXIT(open_unit(12, "./a.txt", 7, "UNKNOWN", 7), ::testing::ExitedWithCode(1),
              "F6413: OPEN\\(./a.txt\\)");
}

TEST_F(Units, ReopeningAConnectedUnitOnAnotherFileClosesTheFirst) {
  start();
  open_unit(11, "a.txt", 5, "UNKNOWN", 7);
  write_line(11, "a");
  open_unit(11, "b.txt", 5, "UNKNOWN", 7);
  write_line(11, "b");
  close_unit(11);
  EXPECT_EQ(read_file("a.txt"), " a\r\n");
  EXPECT_EQ(read_file("b.txt"), " b\r\n");
}

TEST_F(Units, CloseOfAnUnconnectedUnitDoesNothing) {
  start();
  close_unit(11);
  EXPECT_EQ(find_unit(11), nullptr);
}

TEST_F(Units, CloseWithDeleteRemovesTheFile) {
  start();
  open_unit(11, "gone.txt", 8, "NEW", 3);
  write_line(11, "x");
  close_unit(11, "delete ", 7);
  EXPECT_FALSE(std::filesystem::exists("gone.txt"));
}

TEST_F(Units, ScratchFileWithoutANameIsDeletedAtClose) {
  start();
  open_unit(11, nullptr, 0, "SCRATCH", 7);
  std::string name = find_unit(11)->name;
  EXPECT_EQ(name.substr(0, 2), "ZZ");
  EXPECT_TRUE(std::filesystem::exists(name));
  close_unit(11);
  EXPECT_FALSE(std::filesystem::exists(name));
}

struct OpenFailure {
  const char* name;
  const char* file;
  const char* status;
  const char* report;
};

struct OpenFailures : testing::FreshRun, ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailures, AreReportedAsOpen) {
  write_file("exists.txt", "x");
  std::filesystem::create_directory("adir");
  start();
  const OpenFailure& c = GetParam();
  EXPECT_EXIT(open_unit(11, c.file, static_cast<std::int32_t>(std::strlen(c.file)), c.status,
                        static_cast<std::int32_t>(std::strlen(c.status))),
              ::testing::ExitedWithCode(1), std::string("run-time error ") + c.report);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFailures,
    ::testing::Values(OpenFailure{"unknown_status", "a.txt", "ANCIENT", "F6304: OPEN\\(a.txt\\)"},
                      OpenFailure{"scratch_with_name", "a.txt", "SCRATCH", "F6301: OPEN\\(a.txt\\)"},
                      OpenFailure{"new_on_existing", "exists.txt", "new", "F6415: OPEN\\(exists.txt\\)"},
                      OpenFailure{"directory", "adir", "OLD", "F6414: OPEN\\(adir\\)"},
                      OpenFailure{"missing_path", "no/such/file", "UNKNOWN",
                                  "F6416: OPEN\\(no/such/file\\)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Units, AllSlotsInUseRefusesANewConnection) {
  start();
  for (int unit = 1; unit <= 61; ++unit) {
    std::string name = "u" + std::to_string(unit);
    open_unit(100 + unit, name.c_str(), static_cast<std::int32_t>(name.size()), "UNKNOWN", 7);
  }
  EXPECT_EXIT(open_unit(300, "last", 4, "UNKNOWN", 7), ::testing::ExitedWithCode(1),
              "F6418: OPEN\\(last\\)");
}

TEST_F(Units, UnitNumberOutOfRangeIsRefused) {
  start();
  EXPECT_EXIT(write_line(40000, "x"), ::testing::ExitedWithCode(1), "F6314");
}

TEST_F(Units, ConsoleUnitNumbersNeedNoConnection) {
  start();
  write_line(6, " six");
  write_line(0, " zero");
  EXPECT_EQ(shown(), " six\r\n zero");
  EXPECT_EQ(find_unit(6), nullptr);
}

struct ReadFileCase {
  const char* name;
  const char* results_name;  // the name unit 10 is given
  bool refused;
};

void PrintTo(const ReadFileCase& row, std::ostream* out) { *out << row.name; }

struct FileReadInThisRun : testing::FreshRun, ::testing::WithParamInterface<ReadFileCase> {};

TEST_P(FileReadInThisRun, IsNeverConnectedImplicitlyForOutput) {
  const ReadFileCase& row = GetParam();
  write_file("in.txt", "1 2 3 4\n");
  ASSERT_EQ(::link("in.txt", "link.txt"), 0);
  start({row.results_name});
  open_unit(11, "in.txt", 6, "OLD", 3);
  float value = 0.0f;
  begin_read(11, true);
  read_real(&value);
  end_read();
  close_unit(11);
  if (row.refused) {
    EXPECT_EXIT(write_line(10, " x"), ::testing::ExitedWithCode(1),
                std::string("^\r\nrun-time error F6419: OPEN\\(") + row.results_name + "\\)\r\n- .+\r\n$");
    EXPECT_EQ(read_file("in.txt"), "1 2 3 4\n");
  } else {
    write_line(10, " x");
    close_unit(10);
    EXPECT_EQ(read_file("in.txt"), "1 2 3 4\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileReadInThisRun,
    ::testing::Values(ReadFileCase{"same_name", "in.txt", true},
                      ReadFileCase{"name_with_a_directory", "./in.txt", true},
                      ReadFileCase{"hard_link", "link.txt", true},
                      ReadFileCase{"another_file", "out.txt", false},
                      ReadFileCase{"null_device", "NUL", false},
                      ReadFileCase{"console", "CON", false}),
    [](const auto& info) { return std::string(info.param.name); });

// How the host's writes to a file behave while a console read waits.
enum class FileWrites { Succeed, Fail, ShortThenFail };

struct WaitCase {
  const char* name;
  FileWrites writes;
  const char* during_the_wait;  // the file's bytes while the console read waits
};

void PrintTo(const WaitCase& row, std::ostream* out) { *out << row.name; }

struct RecordsBeforeAConsoleRead : testing::FreshRun, ::testing::WithParamInterface<WaitCase> {
  static FileWrites& behaviour() {
    static FileWrites writes = FileWrites::Succeed;
    return writes;
  }
  static int& file_writes() {
    static int count = 0;
    return count;
  }
  static HostCalls& inner() {
    static HostCalls calls;
    return calls;
  }
  static std::string& seen_during_the_wait() {
    static std::string bytes;
    return bytes;
  }
};

TEST_P(RecordsBeforeAConsoleRead, AreInTheirFileWhileTheReadWaits) {
  console.input = "7\r\n";
  start();
  open_unit(12, "out.txt", 7, "UNKNOWN", 7);
  write_line(12, " one");
  write_line(12, " two");
  behaviour() = GetParam().writes;
  file_writes() = 0;
  inner() = host();
  HostCalls before = host();
  host().write = [](int fd, const void* bytes, std::size_t count) -> ssize_t {
    if (fd <= 2) return inner().write(fd, bytes, count);
    ++file_writes();
    if (behaviour() == FileWrites::Fail || (behaviour() == FileWrites::ShortThenFail && file_writes() > 1)) {
      errno = ENOSPC;
      return -1;
    }
    return inner().write(fd, bytes, behaviour() == FileWrites::ShortThenFail ? 3 : count);
  };
  host().read = [](int fd, void* bytes, std::size_t count) -> ssize_t {
    if (fd == 0) seen_during_the_wait() = read_file("out.txt");
    return inner().read(fd, bytes, count);
  };
  float answer = 0.0f;
  begin_read(kConsoleInput, false);
  read_real(&answer);
  end_read();
  host() = before;
  EXPECT_EQ(seen_during_the_wait(), GetParam().during_the_wait);
  // What a failed write left is written at the close, once.
  write_line(12, " three");
  close_unit(12);
  EXPECT_EQ(read_file("out.txt"), "  one\r\n  two\r\n  three\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Writes, RecordsBeforeAConsoleRead,
    ::testing::Values(WaitCase{"written", FileWrites::Succeed, "  one\r\n  two\r\n"},
                      WaitCase{"write_failing", FileWrites::Fail, ""},
                      WaitCase{"short_write_then_failing", FileWrites::ShortThenFail, "  o"}),
    [](const auto& info) { return std::string(info.param.name); });

// Console output through a standard output that is not a terminal is held and
// written in large pieces, but never later than the next console read, write
// to another handle or report.
struct HeldConsole : testing::FreshRun {
  // Each host write and read in order: "w<fd>:<bytes>" or "r<fd>".
  static std::vector<std::string>& events() {
    static std::vector<std::string> log;
    return log;
  }
  static HostCalls& inner() {
    static HostCalls calls;
    return calls;
  }
  HostCalls before_log = host();

  HeldConsole() {
    events().clear();
    inner() = host();
    host().write = [](int fd, const void* bytes, std::size_t count) {
      events().push_back("w" + std::to_string(fd > 2 ? 3 : fd) + ":" +
                         std::string(static_cast<const char*>(bytes), count));
      return inner().write(fd, bytes, count);
    };
    host().read = [](int fd, void* bytes, std::size_t count) {
      events().push_back("r" + std::to_string(fd > 2 ? 3 : fd));
      return inner().read(fd, bytes, count);
    };
  }
  ~HeldConsole() override { host() = before_log; }
};

TEST_F(HeldConsole, RecordsGoOutInOneWriteBeforeTheConsoleRead) {
  console.input = "7\r\n";
  start();
  for (int i = 0; i < 100; ++i) write_line(kConsoleOutput, " record");
  EXPECT_TRUE(events().empty());
  float answer = 0.0f;
  begin_read(kConsoleInput, false);
  read_real(&answer);
  end_read();
  std::string records = " record";
  for (int i = 1; i < 100; ++i) records += "\r\n record";
  EXPECT_EQ(events(), (std::vector<std::string>{"w1:" + records, "r0"}));
}

TEST_F(HeldConsole, HeldRecordsPrecedeTheBytesOfAnotherHandle) {
  console.input = "res.txt\r\n";
  start();
  write_line(kConsoleOutput, " before");
  write_line(10, " result");
  open_unit(12, "out.txt", 7, "UNKNOWN", 7);
  write_line(12, " file");
  write_line(kConsoleOutput, " after");
  close_unit(12);
  release_console_output();
  EXPECT_EQ(events(), (std::vector<std::string>{
                          "w1: before\r\nFile name missing or blank - please enter file name\r\nUNIT 10? ",
                          "r0", "w1:\r\n after", "w3:  file\r\n"}));
}

TEST_F(HeldConsole, RequestIsShownBeforeATypedAnswerIsAwaited) {
  console.input = "res.txt\r\n";
  console.input_terminal = true;
  start();
  write_line(kConsoleOutput, " before");
  write_line(10, " ten");
  close_unit(10);
  EXPECT_EQ(events(), (std::vector<std::string>{
                          "w1: before\r\nFile name missing or blank - please enter file name\r\nUNIT 10? ",
                          "r0", "w3:  ten\r\n"}));
}

TEST_F(HeldConsole, HeldRecordsPrecedeTheReport) {
  start();
  write_line(kConsoleOutput, " shown first");
  EXPECT_EXIT(
      {
        host().write = [](int fd, const void* bytes, std::size_t count) {
          inner().write(2, fd == 1 ? "<out>" : "<err>", 5);
          return inner().write(fd, bytes, count);
        };
        open_unit(11, "nofile.dat", 10, "OLD", 3);
      },
      ::testing::ExitedWithCode(1), "^<out><err>\r\nrun-time error F6416");
}

TEST_F(HeldConsole, LargeOutputIsWrittenInWholePiecesUpToTheHoldingSize) {
  start();
  const std::string record(70, 'x');
  for (int i = 0; i < 2000; ++i) write_line(kConsoleOutput, record.c_str());
  ASSERT_FALSE(events().empty());
  for (const std::string& event : events()) {
    const std::size_t size = event.size() - 3;
    EXPECT_LE(size, kHeldConsoleLimit);
    EXPECT_GT(size, kHeldConsoleLimit - 80);
    // Each write ends after a piece: a record's text, or the line end before the next one.
    EXPECT_TRUE(event.ends_with(record) || event.ends_with("\r\n")) << event.substr(event.size() - 80);
  }
}

TEST_F(HeldConsole, TerminalOutputIsWrittenRecordByRecord) {
  console.output_terminal = true;
  start();
  write_line(kConsoleOutput, " one");
  write_line(kConsoleOutput, " two");
  EXPECT_EQ(events(), (std::vector<std::string>{"w1: one", "w1:\r\n", "w1: two"}));
}

}  // namespace
}  // namespace recio
