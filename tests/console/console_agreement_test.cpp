// compute_intensity against whole runs of the console program: for every
// acceptance case that completes, its expected transcript and files, and for
// the real records (when present) a run of the built shindo. The wave and
// level files and the Amax, A0 and Shindo lines formatted from the result
// must be the bytes the run wrote.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/results.h"
#include "numtext/real_digits.h"
#include "recio/errors.h"
#include "shindo/intensity.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using shindo::testing::read_file;

constexpr numtext::RealField kE12_4{numtext::RealForm::E, 12, 4, 2, 0, false, numtext::Precision::Single};

// The value's text right-justified in its field, as a list item or an
// E12.4 field shows it.
std::string text(float value, const numtext::RealField& field) {
  const numtext::RealText t = numtext::format_real(static_cast<double>(value), field);
  const auto length = static_cast<std::size_t>(t.length);
  const auto width = static_cast<std::size_t>(field.w);
  return std::string(width > length ? width - length : 0, ' ') + std::string(t.text, length);
}

// A record file of plain numbers, four on every line; none when a line holds
// anything else (the reader's other forms are its own tests' business).
struct ReadRecord {
  std::vector<float> time, acc1, acc2, acc3;
};

std::optional<ReadRecord> read_plain_record(const fs::path& path) {
  std::string bytes = read_file(path);
  for (char& c : bytes) {
    if (c == ',' || c == '\r' || c == '\t') c = ' ';
  }
  ReadRecord r;
  for (std::vector<float>* column : {&r.time, &r.acc1, &r.acc2, &r.acc3}) column->reserve(bytes.size() / 16);
  const char* at = bytes.c_str();
  while (*at != '\0') {
    float values[4];
    int count = 0;
    while (*at != '\n' && *at != '\0') {
      if (*at == ' ') {
        ++at;
        continue;
      }
      char* end = nullptr;
      const float value = std::strtof(at, &end);
      if (end == at || (*end != ' ' && *end != '\n' && *end != '\0') || count == 4) return std::nullopt;
      values[count++] = value;
      at = end;
    }
    if (*at == '\n') ++at;
    if (count == 0) continue;
    if (count != 4) return std::nullopt;
    r.time.push_back(values[0]);
    r.acc1.push_back(values[1]);
    r.acc2.push_back(values[2]);
    r.acc3.push_back(values[3]);
  }
  if (r.time.size() < 2 || r.time.size() > 32768) return std::nullopt;
  return r;
}

// Compares the result of the record with a complete run's transcript and files.
void expect_agreement(const ReadRecord& record, const std::string& out, const std::string& wave_file,
                      const std::string& level_file) {
  const float dt = static_cast<float>(static_cast<double>(record.time[1]) - static_cast<double>(record.time[0]));
  const shindo::Intensity r = shindo::compute_intensity({record.acc1, record.acc2, record.acc3, dt});
  ASSERT_EQ(r.fault, shindo::Fault::none) << shindo::fault_text(r.fault);
  std::string wave;
  for (std::size_t i = 0; i < r.wave.size(); ++i) {
    wave += text(static_cast<float>(static_cast<double>(i) * dt), kE12_4) + text(r.wave[i], kE12_4) + "\r\n";
  }
  EXPECT_TRUE(wave == wave_file) << "wave1_dat differs";
  std::string levels;
  for (const shindo::LevelRow& row : r.levels) levels += text(row.level, kE12_4) + text(row.duration, kE12_4) + "\r\n";
  EXPECT_TRUE(levels == level_file) << "a0tau_dat differs";
  for (const std::string& line : {" Amax of Filtered wave (gal) =" + text(r.amax, numtext::kListSingle),
                                  " A0 (gal) =" + text(r.a0, numtext::kListSingle),
                                  " Shindo   =" + text(r.shindo, numtext::kListSingle)}) {
    EXPECT_NE(out.find(line + "\r\n"), std::string::npos) << line;
  }
}

TEST(ConsoleAgreement, AcceptanceCasesThatComplete) {
  const fs::path golden = fs::path(SHINDO_SOURCE_DIR) / ".." / "shared" / "golden";
  if (!fs::is_directory(golden)) GTEST_SKIP() << "no acceptance cases at " << golden;
  int compared = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(golden)) {
    const fs::path expect = entry.path() / "expect";
    if (!fs::exists(expect / "status") || read_file(expect / "status").substr(0, 1) != "0") continue;
    if (!fs::exists(expect / "files" / "wave1_dat")) continue;
    const std::string input = read_file(entry.path() / "stdin");
    const std::string name = input.substr(0, input.find_first_of("\r\n"));
    const fs::path record_path = entry.path() / "in" / name;
    if (name.empty() || !fs::is_regular_file(record_path)) continue;
    const std::optional<ReadRecord> record = read_plain_record(record_path);
    if (!record) continue;
    SCOPED_TRACE(entry.path().filename().string());
    expect_agreement(*record, read_file(expect / "stdout"), read_file(expect / "files" / "wave1_dat"),
                     read_file(expect / "files" / "a0tau_dat"));
    ++compared;
  }
  EXPECT_GT(compared, 10);
  std::printf("%d acceptance cases compared\n", compared);
}

TEST(ConsoleAgreement, RealRecordsAgainstTheBuiltProgram) {
  const fs::path real = fs::path(SHINDO_SOURCE_DIR) / ".." / "shared" / "data" / "real" / "converted";
  if (!fs::is_directory(real)) GTEST_SKIP() << "no real records at " << real;
  for (const fs::directory_entry& entry : fs::directory_iterator(real)) {
    if (entry.path().extension() != ".txt" || entry.path().filename() == "SUMMARY.txt") continue;
    const std::optional<ReadRecord> record = read_plain_record(entry.path());
    if (!record) continue;
    SCOPED_TRACE(entry.path().filename().string());
    shindo::testing::TemporaryDirectory work;
    fs::copy_file(entry.path(), work.path / "r.txt");
    const shindo::testing::RunResult run = shindo::testing::run_piped(
        shindo::testing::RunRequest{SHINDO_BINARY, {"res.txt"}, work.path}, "r.txt\r\n1\r\n");
    ASSERT_EQ(run.exit_code, 0) << run.err;
    expect_agreement(*record, run.out, read_file(work.path / "wave1_dat"), read_file(work.path / "a0tau_dat"));
  }
}

TEST(ConsoleReports, EveryArithmeticFaultHasTheReportOfItsTrapOrFunction) {
  struct Row {
    shindo::Fault fault;
    int number;
    const char* message;
  };
  const Row rows[] = {
      {shindo::Fault::divide_by_zero, 6103, "floating-point error: divide by zero"},
      {shindo::Fault::overflow, 6104, "floating-point error: overflow"},
      {shindo::Fault::invalid, 6101, "floating-point error: invalid"},
      {shindo::Fault::sqrt_domain, 6201, "sqrt: DOMAIN error"},
      {shindo::Fault::log10_singularity, 6202, "log10: SING error"},
      {shindo::Fault::log10_domain, 6201, "log10: DOMAIN error"},
  };
  for (const Row& row : rows) {
    const console::MathReport* report = console::math_report(row.fault);
    ASSERT_NE(report, nullptr) << row.message;
    EXPECT_EQ(recio::error_number(report->error), row.number);
    EXPECT_EQ(recio::math_message(report->error, report->function), row.message);
  }
  for (const shindo::Fault refusal : {shindo::Fault::none, shindo::Fault::length_mismatch, shindo::Fault::too_long,
                                      shindo::Fault::not_finite}) {
    EXPECT_EQ(console::math_report(refusal), nullptr);
  }
}

}  // namespace
