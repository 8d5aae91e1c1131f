// shindo-batch run as a user runs it: synthetic records of every format in
// directories and archives, the table in CSV and JSON Lines, the exit
// statuses, the exported input texts and the output files checked against
// whole runs of the console program on the exported records.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "numtext/real_digits.h"
#include "numtext/writing.h"
#include "readers/readers.h"
#include "shindo/ground_motion.h"
#include "tests/support/csv_table.h"
#include "tests/support/network_files.h"
#include "tests/support/process.h"
#include "tests/support/shaking_text.h"

namespace {

namespace fs = std::filesystem;
using shindo::testing::KnetFileContent;
using shindo::testing::parse_csv;
using shindo::testing::RunResult;
using shindo::testing::console_text;
using shindo::testing::TemporaryDirectory;
using shindo::testing::read_file;
using shindo::testing::write_file;

RunResult batch(const std::vector<std::string>& arguments, const fs::path& directory) {
  shindo::testing::RunRequest request;
  request.program = SHINDO_BATCH_BINARY;
  request.arguments = arguments;
  request.directory = directory;
  request.timeout = std::chrono::milliseconds(120000);
  return shindo::testing::run_piped(request, "");
}

// Counts of a pseudo-random shaking, different per component and seed.
std::vector<std::int64_t> shaking(std::size_t samples, int seed) {
  std::vector<std::int64_t> counts;
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) * 0.01;
    const double envelope = t < 2.0 ? t / 2.0 : std::exp(-(t - 2.0) / 3.0);
    counts.push_back(static_cast<std::int64_t>(
        std::lround(40000.0 * envelope * (std::sin(t * (7.0 + seed)) + 0.5 * std::sin(t * (17.0 + 2 * seed)))) +
        1000 * seed));
  }
  return counts;
}

void write_knet(const fs::path& stem, const std::string& sensor, std::size_t samples, int seed,
                const std::string& station = "TST001") {
  const char* letters[] = {".NS", ".EW", ".UD"};
  for (int c = 0; c < 3; ++c) {
    KnetFileContent content;
    content.station = station;
    content.counts = shaking(samples, seed + c);
    write_file(stem.string() + letters[c] + sensor, shindo::testing::knet_text(content));
  }
}

float float_of(const std::string& text) {
  float value = 0.0f;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

TEST(BatchProgram, OneRowPerRecordOfEveryFormatInNameOrder) {
  TemporaryDirectory scratch;
  const fs::path d = scratch.path / "d";
  fs::create_directories(d / "sub");
  write_knet(d / "AOM0170806140843", "", 3000, 1, "AOM017");
  write_knet(d / "sub" / "ISKH012401011610", "1", 3000, 2, "ISKH01");
  write_knet(d / "sub" / "ISKH012401011610", "2", 3000, 3, "ISKH01");
  shindo::testing::JmaCsvContent jma;
  for (std::size_t i = 0; i < 2000; ++i) {
    const double a = 50.0 * std::sin(static_cast<double>(i) * 0.09);
    jma.lines.push_back(std::to_string(a) + "," + std::to_string(-a) + "," + std::to_string(0.5 * a));
  }
  write_file(d / "A.csv", shindo::testing::jma_csv_text(jma));
  write_file(d / "r.txt", console_text(1500, 1));
  write_file(d / "README.md", "# not a record\n");
  write_file(d / "notes.txt", "station list\n");

  const RunResult run = batch({"d"}, scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.err.find("5 records, 0 failed, 2 files skipped (no record): d/README.md, d/notes.txt\n"),
            std::string::npos)
      << run.err;
  ASSERT_TRUE(run.out.starts_with(
      "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,error,"));
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 5u);
  const std::vector<std::vector<std::string>> expected = {
      {"d/A.csv", "jma-csv", "ABC", "2000", "0.01"},
      {"d/AOM0170806140843", "knet", "AOM017", "3000", "0.01"},
      {"d/r.txt", "text", "", "1500", "0.01"},
      {"d/sub/ISKH012401011610.1", "kiknet", "ISKH01", "3000", "0.01"},
      {"d/sub/ISKH012401011610.2", "kiknet", "ISKH01", "3000", "0.01"},
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    auto row = rows[r];
    EXPECT_EQ((std::vector<std::string>{row["record"], row["format"], row["station"], row["samples"], row["dt"]}),
              expected[r]);
    EXPECT_EQ(row["error"], "");
    EXPECT_GT(float_of(row["a0"]), 0.0f);
    EXPECT_NE(row["class"], "");
  }
  EXPECT_EQ(rows[1].at("latitude"), "40.6363");
  EXPECT_EQ(rows[0].at("latitude"), "35.6");
}

struct StatusCase {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  const char* error_part;  // on standard error
};

const StatusCase kStatuses[] = {
    {"all_computed", {"ok.txt"}, 0, "1 record, 0 failed, 0 files skipped"},
    {"one_failed", {"ok.txt", "bad.txt"}, 1, "2 records, 1 failed"},
    {"missing_path", {"ok.txt", "nowhere"}, 1, "2 records, 1 failed"},
    {"not_a_record_given", {"notes.md"}, 1, "1 failed"},
    {"unknown_option", {"--fast", "ok.txt"}, 2, "unknown option --fast"},
    {"no_path", {}, 2, "no PATH given"},
    {"bad_format", {"--format", "xml", "ok.txt"}, 2, "--format needs csv or json"},
    {"bad_jobs", {"-j", "x", "ok.txt"}, 2, "-j needs a whole number"},
};

class BatchStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(BatchStatus, ExitStatusTellsTheOutcome) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "ok.txt", console_text(500, 2));
  write_file(scratch.path / "bad.txt", "0 1 2 3\n0.01 4 x 6\n");
  write_file(scratch.path / "notes.md", "# notes\n");
  const RunResult run = batch(GetParam().arguments, scratch.path);
  EXPECT_EQ(run.exit_code, GetParam().status);
  EXPECT_NE(run.err.find(GetParam().error_part), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Runs, BatchStatus, ::testing::ValuesIn(kStatuses),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BatchProgram, ErrorsNameTheFileAndLineAndDoNotStopTheOthers) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "a.txt", console_text(500, 1));
  write_file(scratch.path / "b.txt", "0 1 2 3\n0.01 4 x 6\n");
  write_knet(scratch.path / "X", "", 300, 1);
  fs::remove(scratch.path / "X.UD");
  write_file(scratch.path / "z.txt", "1 2 3\n4 5 6\n");
  const RunResult run = batch({"--jobs", "3", "."}, scratch.path);
  EXPECT_EQ(run.exit_code, 1);
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 4u);
  std::map<std::string, std::string> errors;
  for (auto row : rows) errors[row["record"]] = row["error"];
  EXPECT_EQ(errors["./a.txt"], "");
  // The record's own name is its row's first column; the error names the line.
  EXPECT_EQ(errors["./b.txt"], "line 2: not a number: \"x\"");
  EXPECT_EQ(errors["./X"], "the UD file(s) of this record are missing");
  EXPECT_TRUE(errors["./z.txt"].starts_with("line 1: each line holds three values")) << errors["./z.txt"];
}

TEST(BatchProgram, NamesWithCommasAndQuotesAreQuoted) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "a,\"b\".txt", console_text(300, 1));
  const RunResult csv = batch({"a,\"b\".txt"}, scratch.path);
  ASSERT_EQ(csv.exit_code, 0) << csv.err;
  EXPECT_NE(csv.out.find("\n\"a,\"\"b\"\".txt\",text,"), std::string::npos) << csv.out;
  EXPECT_EQ(parse_csv(csv.out).at(0).at("record"), "a,\"b\".txt");
  const RunResult json = batch({"--format", "json", "a,\"b\".txt"}, scratch.path);
  ASSERT_EQ(json.exit_code, 0);
  EXPECT_TRUE(json.out.starts_with("{\"record\":\"a,\\\"b\\\".txt\",\"format\":\"text\",\"station\":\"\","
                                   "\"latitude\":null,\"longitude\":null,\"samples\":300,\"dt\":0.01,"))
      << json.out;
  EXPECT_NE(json.out.find(",\"error\":null,\"station_name\":null,"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find(",\"error\":null,"), std::string::npos) << json.out;
}

TEST(BatchProgram, ArchivesNestedAndPlain) {
  if (!readers::archives_supported()) GTEST_SKIP() << "built without libarchive";
  TemporaryDirectory scratch;
  const fs::path in = scratch.path / "in";
  fs::create_directories(in);
  write_knet(in / "AOM0170806140843", "", 1000, 1);
  write_knet(in / "ISKH012401011610", "2", 1000, 2);
  write_file(in / "r.txt", console_text(400, 3));
  ASSERT_EQ(std::system(("cd '" + in.string() +
                         "' && mkdir ../arc && cp r.txt ../arc && "
                         "tar -czf ../arc/a.knt.tar.gz AOM0170806140843.NS AOM0170806140843.EW AOM0170806140843.UD && "
                         "tar -czf ../arc/b.kik.tar.gz ISKH012401011610.NS2 ISKH012401011610.EW2 ISKH012401011610.UD2 && "
                         "cd ../arc && tar -cf ../event.tar a.knt.tar.gz b.kik.tar.gz r.txt")
                            .c_str()),
            0);
  const RunResult run = batch({"event.tar"}, scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err << run.out;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("record"), "event.tar:a.knt.tar.gz:AOM0170806140843");
  EXPECT_EQ(rows[1].at("record"), "event.tar:b.kik.tar.gz:ISKH012401011610.2");
  EXPECT_EQ(rows[2].at("record"), "event.tar:r.txt");
  // The same records from the files give the same values.
  const RunResult files = batch({"in"}, scratch.path);
  const auto file_rows = parse_csv(files.out);
  ASSERT_EQ(file_rows.size(), 3u);
  for (std::size_t r = 0; r < 3; ++r) EXPECT_EQ(rows[r].at("intensity"), file_rows[r].at("intensity"));
  // A cut archive is one failed row.
  write_file(scratch.path / "cut.tar.gz", read_file(scratch.path / "arc" / "a.knt.tar.gz").substr(0, 200));
  const RunResult cut = batch({"cut.tar.gz"}, scratch.path);
  EXPECT_EQ(cut.exit_code, 1);
}

TEST(BatchProgram, ArchiveWithComponentsFarApartIsReadAgainForTheRecordsThatWaited) {
  if (!readers::archives_supported()) GTEST_SKIP() << "built without libarchive";
  TemporaryDirectory scratch;
  const fs::path in = scratch.path / "in";
  fs::create_directories(in);
  constexpr int kRecords = 520;  // more than are held at once
  std::string list;
  for (const char* letters : {".NS", ".EW", ".UD"}) {
    for (int r = 0; r < kRecords; ++r) list += "R" + std::to_string(r) + letters + "\n";
  }
  for (int r = 0; r < kRecords; ++r) write_knet(in / ("R" + std::to_string(r)), "", 100, r % 5);
  write_file(in / "list", list);
  ASSERT_EQ(std::system(("cd '" + in.string() + "' && tar -czf ../all.tgz -T list").c_str()), 0);
  const RunResult run = batch({"all.tgz"}, scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRecords));
  for (auto row : rows) EXPECT_EQ(row["error"], "") << row["record"];
}

TEST(BatchProgram, LongRecordsAreComputed) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "long.txt", console_text(40000, 1));
  const RunResult run = batch({"long.txt"}, scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto rows = parse_csv(run.out);
  EXPECT_EQ(rows.at(0).at("samples"), "40000");
  EXPECT_EQ(rows.at(0).at("error"), "");
}

// ---------------------------------------------------------------------------
// The ground-motion values

const char* const kGroundColumns[] = {"pga_ns", "pga_ew", "pga_ud", "pga_h",   "pgv_ns",     "pgv_ew",
                                      "pgv_ud", "pgv_h",  "si",     "sva_max", "sva_period", "lp_class"};

// The core's values of a console text record read as the batch program reads it.
shindo::GroundMotion core_ground_motion(const std::string& text, const shindo::GroundMotionSettings& settings) {
  const readers::Result<readers::Record> read = readers::read_console_text("r.txt", text);
  const readers::Record& record = std::get<readers::Record>(read);
  return shindo::compute_ground_motion({record.acc1, record.acc2, record.acc3, record.dt}, settings);
}

std::vector<std::string> ground_texts(const shindo::GroundMotion& m) {
  std::vector<std::string> texts;
  for (const double sample : m.pga) texts.push_back(numtext::shortest_text(static_cast<float>(sample)));
  for (const double value : {m.pga_horizontal, m.pgv[0], m.pgv[1], m.pgv[2], m.pgv_horizontal, m.si_max, m.lp_sva,
                             m.lp_period}) {
    texts.push_back(numtext::shortest_text(value));
  }
  texts.push_back(std::to_string(m.lp_class));
  return texts;
}

TEST(BatchGroundMotion, ColumnsHoldTheCoreValuesOfAComputedRecordAndNothingForAFailedOne) {
  TemporaryDirectory scratch;
  const std::string text = console_text(1500, 1);
  write_file(scratch.path / "r.txt", text);
  write_file(scratch.path / "z.txt", "0 0 0 0\n0.01 0 0 0\n0.02 0 0 0\n");
  const RunResult run = batch({"r.txt", "z.txt"}, scratch.path);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.out.substr(0, run.out.find('\n') + 1)
                  .ends_with(",pga_ns,pga_ew,pga_ud,pga_h,pgv_ns,pgv_ew,pgv_ud,pgv_h,si,sva_max,sva_period,lp_class\n"))
      << run.out;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 2u);
  const std::vector<std::string> expected = ground_texts(core_ground_motion(text, {}));
  for (std::size_t c = 0; c < std::size(kGroundColumns); ++c) {
    EXPECT_EQ(rows[0].at(kGroundColumns[c]), expected[c]) << kGroundColumns[c];
    EXPECT_EQ(rows[1].at(kGroundColumns[c]), "") << kGroundColumns[c];
  }
  EXPECT_NE(rows[1].at("error"), "");

  const RunResult json = batch({"--format", "json", "r.txt", "z.txt"}, scratch.path);
  const std::string computed = json.out.substr(0, json.out.find('\n'));
  const std::string failed = json.out.substr(json.out.find('\n') + 1);
  for (std::size_t c = 0; c < std::size(kGroundColumns); ++c) {
    const std::string key = "\"" + std::string(kGroundColumns[c]) + "\":";
    EXPECT_NE(computed.find(key + expected[c] + (c + 1 < std::size(kGroundColumns) ? "," : "}")), std::string::npos)
        << key << " in " << computed;
    EXPECT_NE(failed.find(key + "null"), std::string::npos) << key << " in " << failed;
  }
}

struct SpectraCase {
  const char* name;
  std::vector<std::string> options;
  shindo::GroundMotionSettings settings;
};

TEST(BatchGroundMotion, SpectraFileHoldsTheCoreSpectraAtTheDefaultPeriods) {
  const SpectraCase cases[] = {
      {"defaults", {}, {}},
      {"damping_and_corner", {"--damping", "0.02", "--highpass=0.05"}, {.damping = 0.02, .highpass_hz = 0.05}},
      {"record_as_given", {"--highpass", "0"}, {.highpass_hz = 0.0}},
  };
  TemporaryDirectory scratch;
  const std::string text = console_text(1200, 2);
  write_file(scratch.path / "r.txt", text);
  for (const SpectraCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"--output", c.name, "--spectra", "r.txt"});
    const RunResult run = batch(arguments, scratch.path);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const shindo::GroundMotion motion = core_ground_motion(text, c.settings);
    const auto& [ns, ew] = motion.spectra;
    std::string expected = "period,psa_ns,psa_ew,sa_ns,sa_ew,sd_ns,sd_ew,sv_ns,sv_ew,sva_ns,sva_ew\n";
    ASSERT_EQ(motion.periods.size(), 61u);
    for (std::size_t p = 0; p < motion.periods.size(); ++p) {
      expected += numtext::shortest_text(motion.periods[p]);
      for (const double v : {ns.psa[p], ew.psa[p], ns.sa[p], ew.sa[p], ns.sd[p], ew.sd[p], ns.sv[p], ew.sv[p],
                             ns.sva[p], ew.sva[p]}) {
        expected += "," + numtext::shortest_text(v);
      }
      expected += "\n";
    }
    EXPECT_EQ(read_file(scratch.path / c.name / "r.txt.spectra.csv"), expected);
    EXPECT_EQ(parse_csv(run.out).at(0).at("si"), numtext::shortest_text(motion.si_max));
    EXPECT_NE(read_file(scratch.path / c.name / "r.txt.svg").find("id=\"spectra-panel\""), std::string::npos);
  }
  // Without --spectra no spectra file.
  ASSERT_EQ(batch({"--output", "plain", "r.txt"}, scratch.path).exit_code, 0);
  EXPECT_FALSE(fs::exists(scratch.path / "plain" / "r.txt.spectra.csv"));
}

// A run without --output computes no spectra; its table is the same bytes as
// that of a run which computes them for the pictures and the spectra files.
TEST(BatchGroundMotion, TableIsTheSameWithOrWithoutTheSpectra) {
  const std::vector<std::string> option_sets[] = {
      {}, {"--damping", "0.02", "--highpass=0.05"}, {"--damping", "0.2"}, {"--highpass", "0"}, {"--format", "json"}};
  TemporaryDirectory scratch;
  write_file(scratch.path / "r.txt", console_text(1200, 2));
  write_file(scratch.path / "s.txt", console_text(900, 3));
  int runs = 0;
  for (const std::vector<std::string>& options : option_sets) {
    SCOPED_TRACE(testing::PrintToString(options));
    std::vector<std::string> table = options, pictured = options;
    table.insert(table.end(), {"r.txt", "s.txt"});
    pictured.insert(pictured.end(), {"--output", "out" + std::to_string(runs++), "--spectra", "r.txt", "s.txt"});
    const RunResult plain = batch(table, scratch.path), with_spectra = batch(pictured, scratch.path);
    ASSERT_EQ(plain.exit_code, 0) << plain.err;
    ASSERT_EQ(with_spectra.exit_code, 0) << with_spectra.err;
    EXPECT_EQ(plain.out, with_spectra.out);
  }
}

TEST(BatchGroundMotion, AFaultOfTheValuesJoinsTheErrorAndKeepsTheIntensity) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "r.txt", console_text(800, 1));
  // 60 Hz is above the Nyquist frequency of a record sampled every 0.01 s.
  const RunResult run = batch({"--highpass", "60", "--output", "out", "--spectra", "r.txt"}, scratch.path);
  EXPECT_EQ(run.exit_code, 1);
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("error"), "ground motion: the high-pass corner is at or above the Nyquist frequency 1/(2 dt)");
  EXPECT_NE(rows[0].at("intensity"), "");
  EXPECT_NE(rows[0].at("class"), "");
  for (const char* column : kGroundColumns) EXPECT_EQ(rows[0].at(column), "") << column;
  EXPECT_FALSE(fs::exists(scratch.path / "out" / "r.txt.spectra.csv"));
  const std::string svg = read_file(scratch.path / "out" / "r.txt.svg");
  EXPECT_NE(svg.find("id=\"class-badge\""), std::string::npos);
  EXPECT_EQ(svg.find("id=\"spectra-panel\""), std::string::npos);
}

// ---------------------------------------------------------------------------
// Exported texts and output files against the console program

std::string list_field(float value) {
  const numtext::RealText text = numtext::format_real(static_cast<double>(value), numtext::kListSingle);
  return std::string(static_cast<std::size_t>(15 - text.length), ' ') + text.text;
}

// Runs the console program on an exported record in `directory` and expects
// its results file to show the row's A0 and Shindo.
void expect_console_results(const fs::path& directory, const std::string& exported,
                            const std::map<std::string, std::string>& row) {
  write_file(directory / "rec.txt", exported);
  shindo::testing::RunRequest request;
  request.program = SHINDO_BINARY;
  request.arguments = {"res.txt"};
  request.directory = directory;
  const RunResult shindo_run = shindo::testing::run_piped(request, "rec.txt\n1\n");
  ASSERT_EQ(shindo_run.exit_code, 0) << shindo_run.err;
  EXPECT_EQ(read_file(directory / "res.txt"), "  A0 (gal) =" + list_field(float_of(row.at("a0"))) + "\r\n" +
                                                  "  Shindo   =" + list_field(float_of(row.at("intensity"))) + "\r\n")
      << row.at("record");
}

TEST(BatchProgram, ExportedRecordsGiveTheConsoleProgramTheSameResultsAndFiles) {
  TemporaryDirectory scratch;
  const fs::path d = scratch.path / "d";
  fs::create_directories(d);
  write_knet(d / "AOM0170806140843", "", 2000, 1);
  write_file(d / "r.txt", console_text(1200, 2));
  const RunResult run = batch({"--export", "exp", "--output", "out", "d"}, scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(shindo::testing::list_directory(scratch.path / "exp"),
            (std::vector<std::string>{"AOM0170806140843.txt", "r.txt.txt"}));
  // The leaflet folder is there when Leaflet was found at configure time (the pictures' tests look into it).
  std::vector<std::string> written = shindo::testing::list_directory(scratch.path / "out");
  std::erase(written, "leaflet");
  EXPECT_EQ(written, (std::vector<std::string>{"AOM0170806140843.a0tau.txt", "AOM0170806140843.svg",
                                               "AOM0170806140843.wave.txt", "r.txt.a0tau.txt", "r.txt.svg",
                                               "r.txt.wave.txt", "report.csv", "report.html"}));
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 2u);
  for (auto row : rows) {
    const std::string name = fs::path(row["record"]).filename().string();
    const std::string exported = read_file(scratch.path / "exp" / (name + ".txt"));
    // The export reads back as the same record.
    const readers::Result<readers::Record> back = readers::read_console_text("x", exported);
    ASSERT_TRUE(std::holds_alternative<readers::Record>(back));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(std::get<readers::Record>(back).dt),
              std::bit_cast<std::uint32_t>(float_of(row["dt"])));

    TemporaryDirectory console;
    expect_console_results(console.path, exported, row);
    EXPECT_EQ(read_file(scratch.path / "out" / (name + ".wave.txt")), read_file(console.path / "wave1_dat"));
    EXPECT_EQ(read_file(scratch.path / "out" / (name + ".a0tau.txt")), read_file(console.path / "a0tau_dat"));
  }
}

TEST(BatchProgram, WrittenFilesNeverMeetAnInputOrEachOther) {
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "a");
  fs::create_directories(scratch.path / "b");
  write_file(scratch.path / "a" / "r.txt", console_text(300, 1));
  write_file(scratch.path / "b" / "r.txt", console_text(300, 2));
  const std::string input_text = console_text(300, 3);
  write_file(scratch.path / "a" / "r.txt.txt", input_text);
  const RunResult run = batch({"--export", "a", "a", "b"}, scratch.path);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(read_file(scratch.path / "a" / "r.txt.txt"), input_text);
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("record"), "a/r.txt");
  EXPECT_NE(rows[0].at("error").find("is an input file"), std::string::npos) << rows[0].at("error");
  // The record of b/ gets the next free name; no temporary file is left.
  EXPECT_EQ(shindo::testing::list_directory(scratch.path / "a"),
            (std::vector<std::string>{"r.txt", "r.txt.txt", "r.txt.txt.txt", "r.txt~2.txt"}));
}

// ---------------------------------------------------------------------------
// The real records, when present

// The reported values of the four JMA records; the agency published 5.1, 5.7,
// 4.6 and 5.0: for Nakamatsu the console program's computation gives
// 4.992775, which reports as 4.9.
TEST(BatchProgram, RealRecordsAndTheirExportsThroughTheConsoleProgram) {
  const fs::path real = SHINDO_SOURCE_DIR "/../shared/data/real";
  if (!fs::exists(real)) GTEST_SKIP() << "no real records here";
  TemporaryDirectory scratch;
  const RunResult run = batch({"--export", "exp", (real / "knet_gmprocess").string(), (real / "kiknet_datools").string(),
                               (real / "jma_csv").string()},
                              scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 8u);
  const std::map<std::string, std::string> reported = {
      {"AA06EA01.csv", "5.1"}, {"Q4149CF2.csv", "5.7"}, {"Q4169D2004.csv", "4.6"}, {"Q416EED018.csv", "4.9"}};
  for (auto row : rows) {
    EXPECT_EQ(row["error"], "") << row["record"];
    const std::string name = fs::path(row["record"]).filename().string();
    if (const auto found = reported.find(name); found != reported.end()) {
      EXPECT_EQ(row["reported"], found->second) << row["record"];
    }
    TemporaryDirectory console;
    // KiK-net records are exported without ".txt", under a name the console program reads.
    const std::string exported = row["format"] == "kiknet" ? name : name + ".txt";
    expect_console_results(console.path, read_file(scratch.path / "exp" / exported), row);
  }
}

}  // namespace
