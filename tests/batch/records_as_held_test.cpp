// shindo-batch on records as users hold them: times that do not start at 0
// or do not follow one interval, a live stream joined mid-file, stored
// records replayed by --follow, KiK-net exports run by the console program,
// the files skipped, and rows against the installed JSON Schema.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/csv_table.h"
#include "tests/support/network_files.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using shindo::testing::parse_csv;
using shindo::testing::read_file;
using shindo::testing::RunResult;
using shindo::testing::TemporaryDirectory;
using shindo::testing::write_file;

shindo::testing::RunRequest batch_request(const std::vector<std::string>& arguments, const fs::path& directory) {
  shindo::testing::RunRequest request;
  request.program = SHINDO_BATCH_BINARY;
  request.arguments = arguments;
  request.directory = directory;
  return request;
}

RunResult batch(const std::vector<std::string>& arguments, const fs::path& directory, std::string_view input = "") {
  return shindo::testing::run_piped(batch_request(arguments, directory), input);
}

// `samples` lines "time ns ew ud" at 0.01 s from `start` s (three decimals), the
// time of line `shifted` (from 1) moved by `shift` s.
std::string timed_text(std::size_t samples, double start, std::size_t first = 0, std::size_t shifted = 0,
                       double shift = 0.0) {
  std::string text;
  char line[128];
  for (std::size_t i = first; i < samples; ++i) {
    const double time = start + 0.01 * static_cast<double>(i) + (i + 1 == shifted ? shift : 0.0);
    const double t = 0.01 * static_cast<double>(i);
    const double a = 80.0 * std::sin(6.0 * t) * std::exp(-t / 5.0);
    std::snprintf(line, sizeof line, "%.3f %.4f %.4f %.4f\n", time, a, 0.6 * a, -0.3 * a);
    text += line;
  }
  return text;
}

std::map<std::string, std::map<std::string, std::string>> rows_by_record(const std::string& csv) {
  std::map<std::string, std::map<std::string, std::string>> rows;
  for (auto& row : parse_csv(csv)) rows[row["record"]] = row;
  return rows;
}

TEST(BatchTimes, LargeTimesGiveTheRecordFromZeroAndTimesOffTheirPlaceAreRefused) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "zero.txt", timed_text(1500, 0.0));
  write_file(scratch.path / "late.txt", timed_text(1500, 50000.0));
  write_file(scratch.path / "gap.txt", timed_text(1500, 50000.0, 0, 900, 0.01));
  write_file(scratch.path / "jitter.txt", timed_text(1500, 0.0, 0, 40, 0.004));
  const RunResult run = batch({"zero.txt", "late.txt", "gap.txt", "jitter.txt"}, scratch.path);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  auto rows = rows_by_record(run.out);
  for (const char* column : {"samples", "dt", "pga", "amax", "a0", "intensity", "reported"}) {
    EXPECT_EQ(rows["late.txt"][column], rows["zero.txt"][column]) << column;
  }
  EXPECT_EQ(rows["late.txt"]["dt"], "0.01");
  EXPECT_EQ(rows["gap.txt"]["intensity"], "");
  EXPECT_EQ(rows["gap.txt"]["error"],
            "line 900: time 50009 where 50008.99 was expected (the first time + 899 x 0.01 s, within 0.002053125 s)");
  EXPECT_TRUE(rows["jitter.txt"]["error"].starts_with("line 40: time 0.394 where 0.39 was expected"))
      << rows["jitter.txt"]["error"];
}

TEST(BatchFollow, AStreamJoinedMidFileGivesTheRowsOfTheSameSamplesFromZero) {
  TemporaryDirectory scratch;
  // `tail -f` of a logger's file: the first line seen is sample 1001, at 1234.56 s + 10 s.
  const std::string joined = timed_text(4000, 1234.56, 1000);
  std::string from_zero;
  for (std::size_t i = 1000; i < 4000; ++i) {
    const std::string line = timed_text(i + 1, 0.0, i);
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", 0.01 * static_cast<double>(i - 1000));
    from_zero += time + line.substr(line.find(' '));
  }
  const RunResult live = batch({"--follow", "-", "--window", "5"}, scratch.path, joined);
  ASSERT_EQ(live.exit_code, 0) << live.err;
  const RunResult reference = batch({"--follow", "-", "--window", "5"}, scratch.path, from_zero);
  ASSERT_EQ(reference.exit_code, 0) << reference.err;
  EXPECT_EQ(parse_csv(live.out).size(), 30u);
  EXPECT_EQ(live.out, reference.out);

  // A sample missing from the stream stops it at its line; the rows so far stay.
  std::string gap = timed_text(4000, 1234.56, 1000);
  const std::size_t line_2500 = [&] {
    std::size_t at = 0;
    for (int line = 1; line < 1500; ++line) at = gap.find('\n', at) + 1;
    return at;
  }();
  gap.erase(line_2500, gap.find('\n', line_2500) + 1 - line_2500);
  const RunResult stopped = batch({"--follow", "-", "--format", "json"}, scratch.path, gap);
  EXPECT_EQ(stopped.exit_code, 1);
  EXPECT_NE(stopped.err.find("standard input:1500: time 1259.56 where 1259.55 was expected"), std::string::npos)
      << stopped.err;
  EXPECT_TRUE(stopped.out.starts_with("{\"time\":1,\"intensity\":")) << stopped.out;
}

TEST(BatchFollow, StoredNetworkRecordsAreReplayedAsAStream) {
  TemporaryDirectory scratch;
  shindo::testing::JmaCsvContent jma;
  for (std::size_t i = 0; i < 1200; ++i) {
    const double a = 60.0 * std::sin(static_cast<double>(i) * 0.05);
    jma.lines.push_back(std::to_string(a) + "," + std::to_string(-a) + "," + std::to_string(0.5 * a));
  }
  write_file(scratch.path / "A.csv", shindo::testing::jma_csv_text(jma));
  for (const char* letters : {"NS", "EW", "UD"}) {
    shindo::testing::KnetFileContent knet;
    for (std::size_t i = 0; i < 1000; ++i) {
      knet.counts.push_back(static_cast<std::int64_t>(900000.0 * std::sin(static_cast<double>(i) * (0.03 + letters[0] * 1e-4))));
    }
    write_file(scratch.path / (std::string("ISKH012401011610.") + letters + "2"), shindo::testing::knet_text(knet));
  }
  const RunResult whole = batch({"--running", "--window", "4", "--output", "o", "A.csv", "ISKH012401011610.NS2",
                                 "ISKH012401011610.EW2", "ISKH012401011610.UD2"},
                                scratch.path);
  ASSERT_EQ(whole.exit_code, 0) << whole.err << whole.out;
  const struct {
    std::vector<std::string> arguments;
    std::string input;
    std::string table;
  } rows[] = {
      {{"--follow", "A.csv"}, "", "A.csv.running.csv"},
      {{"--follow", "-"}, read_file(scratch.path / "A.csv"), "A.csv.running.csv"},
      {{"--follow", "ISKH012401011610.ew2"}, "", ""},  // no such file: the component letters keep their case
      {{"--follow", "ISKH012401011610.EW2"}, "", "ISKH012401011610.2.running.csv"},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.arguments[1]);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--window", "4"});
    const RunResult run = batch(arguments, scratch.path, c.input);
    if (c.table.empty()) {
      EXPECT_EQ(run.exit_code, 1);
      EXPECT_NE(run.err.find("ISKH012401011610.ew2: No such file or directory"), std::string::npos) << run.err;
      continue;
    }
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, read_file(scratch.path / "o" / c.table));
    arguments.insert(arguments.end(), {"--format", "json"});
    const RunResult json = batch(arguments, scratch.path, c.input);
    ASSERT_EQ(json.exit_code, 0) << json.err;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), std::count(run.out.begin(), run.out.end(), '\n') - 1);
    EXPECT_TRUE(json.out.starts_with("{\"time\":1,\"intensity\":")) << json.out.substr(0, 200);
  }
}

TEST(BatchExport, KiknetRecordsRunInTheConsoleProgramUnderTheirOwnNames) {
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "in");
  for (const char* letters : {"NS", "EW", "UD"}) {
    shindo::testing::KnetFileContent knet;
    for (std::size_t i = 0; i < 1500; ++i) {
      knet.counts.push_back(static_cast<std::int64_t>(2000000.0 * std::sin(static_cast<double>(i) * 0.04 + letters[1])));
    }
    write_file(scratch.path / "in" / (std::string("ISKH012401011610.") + letters + "2"), shindo::testing::knet_text(knet));
  }
  write_file(scratch.path / "in" / "a-record-of-a-long-name.txt", timed_text(400, 0.0));
  const RunResult run = batch({"--export", "exp", "in"}, scratch.path);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(shindo::testing::list_directory(scratch.path / "exp"),
            (std::vector<std::string>{"ISKH012401011610.2", "a-record-of-a-long-name.txt.txt"}));
  EXPECT_NE(run.err.find("exp/a-record-of-a-long-name.txt.txt: shindo reads file names of at most 20 characters: "
                         "run it as a shorter name, e.g. ln -s a-record-of-a-long-name.txt.txt r.txt"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("ISKH012401011610.2: shindo reads"), std::string::npos) << run.err;

  auto rows = rows_by_record(run.out);
  const auto& row = rows["in/ISKH012401011610.2"];
  shindo::testing::RunRequest request;
  request.program = SHINDO_BINARY;
  request.arguments = {"res.txt"};
  request.directory = scratch.path / "exp";
  const RunResult console = shindo::testing::run_piped(request, "ISKH012401011610.2\n1\n");
  ASSERT_EQ(console.exit_code, 0) << console.err;
  const std::string results = read_file(scratch.path / "exp" / "res.txt");
  EXPECT_NE(results.find(row.at("intensity")), std::string::npos) << results << row.at("intensity");
  // A0 as the console program lists it: seven significant digits.
  const double listed_a0 = std::stod(results.substr(results.find('=') + 1));
  EXPECT_NEAR(listed_a0, std::stod(row.at("a0")), 1e-6 * listed_a0) << results;
}

TEST(BatchSummary, NamesTheFilesSkipped) {
  TemporaryDirectory scratch;
  fs::create_directories(scratch.path / "d");
  write_file(scratch.path / "d" / "r.txt", timed_text(400, 0.0));
  const struct {
    std::size_t skipped;
    bool verbose;
    const char* summary;
  } rows[] = {
      {1, false, "shindo-batch: 1 record, 0 failed, 1 file skipped (no record): d/n1.md\n"},
      {3, false, "shindo-batch: 1 record, 0 failed, 3 files skipped (no record): d/n1.md, d/n2.md, d/n3.md\n"},
      {5, false,
       "shindo-batch: 1 record, 0 failed, 5 files skipped (no record): d/n1.md, d/n2.md, d/n3.md and 2 more "
       "(--verbose lists them)\n"},
      {5, true,
       "shindo-batch: skipped (no record): d/n1.md\nshindo-batch: skipped (no record): d/n2.md\n"
       "shindo-batch: skipped (no record): d/n3.md\nshindo-batch: skipped (no record): d/n4.md\n"
       "shindo-batch: skipped (no record): d/n5.md\nshindo-batch: 1 record, 0 failed, 5 files skipped (no record)\n"},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.summary);
    for (std::size_t i = 1; i <= c.skipped; ++i) write_file(scratch.path / "d" / ("n" + std::to_string(i) + ".md"), "# notes\n");
    const RunResult run = batch(c.verbose ? std::vector<std::string>{"--verbose", "d"} : std::vector<std::string>{"d"},
                                scratch.path);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, c.summary);
  }
}

// ---------------------------------------------------------------------------
// Rows against the JSON Schema installed beside the manual pages

// The values of one flat JSON object: name → "string", "number", "integer" or "null".
std::map<std::string, std::string> value_kinds(const std::string& line) {
  std::map<std::string, std::string> kinds;
  std::size_t at = 1;
  const auto string_end = [&](std::size_t from) {
    for (std::size_t i = from + 1; i < line.size(); ++i) {
      if (line[i] == '\\') ++i;
      else if (line[i] == '"') return i;
    }
    return std::string::npos;
  };
  while (at < line.size() && line[at] == '"') {
    const std::size_t name_end = string_end(at);
    const std::string name = line.substr(at + 1, name_end - at - 1);
    at = name_end + 2;  // past '"' and ':'
    std::size_t value_end;
    if (line[at] == '"') {
      value_end = string_end(at) + 1;
      kinds[name] = "string";
    } else {
      value_end = line.find_first_of(",}", at);
      const std::string value = line.substr(at, value_end - at);
      kinds[name] = value == "null" ? "null" : value.find_first_of(".eE") == std::string::npos ? "integer" : "number";
    }
    at = value_end + 1;
  }
  return kinds;
}

// From the schema: each property and the types it allows, and the required names.
struct Schema {
  std::map<std::string, std::vector<std::string>> types;
  std::vector<std::string> required;
};

std::vector<std::string> quoted_words(const std::string& text) {
  std::vector<std::string> words;
  for (std::size_t at = text.find('"'); at != std::string::npos; at = text.find('"', text.find('"', at + 1) + 1)) {
    words.push_back(text.substr(at + 1, text.find('"', at + 1) - at - 1));
  }
  return words;
}

Schema read_schema(const std::string& text) {
  Schema schema;
  const std::size_t required = text.find("\"required\": [");
  schema.required = quoted_words(text.substr(required + 13, text.find(']', required) - required - 13));
  for (std::size_t at = text.find("\n    \""); at != std::string::npos; at = text.find("\n    \"", at + 1)) {
    const std::string line = text.substr(at + 5, text.find('\n', at + 1) - at - 5);
    const std::string name = line.substr(1, line.find('"', 1) - 1);
    const std::size_t type = line.find("\"type\": ");
    const std::string types = line.substr(type + 8, line.find_first_of("]", type) - type - 8);
    schema.types[name] = types.front() == '[' ? quoted_words(types) : quoted_words(types.substr(0, types.find(',')));
  }
  return schema;
}

TEST(BatchJson, RowsHoldWhatTheSchemaRequires) {
  const Schema schema = read_schema(read_file(fs::path(SHINDO_SOURCE_DIR) / "man" / "shindo-batch-row.schema.json"));
  ASSERT_EQ(schema.required.size(), 22u);
  ASSERT_EQ(schema.types.size(), 25u);
  TemporaryDirectory scratch;
  shindo::testing::JmaCsvContent jma;
  for (std::size_t i = 0; i < 800; ++i) jma.lines.push_back(std::to_string(30.0 * std::sin(i * 0.1)) + ",1,2");
  write_file(scratch.path / "A.csv", shindo::testing::jma_csv_text(jma));
  write_file(scratch.path / "r.txt", timed_text(400, 0.0));
  write_file(scratch.path / "bad.txt", "0 1 2 x\n");
  for (const bool running : {false, true}) {
    std::vector<std::string> arguments = {"--format", "json", "A.csv", "r.txt", "bad.txt"};
    if (running) arguments.push_back("--running");
    const RunResult run = batch(arguments, scratch.path);
    std::size_t rows = 0;
    for (std::size_t at = 0; at < run.out.size(); at = run.out.find('\n', at) + 1, ++rows) {
      const std::map<std::string, std::string> kinds = value_kinds(run.out.substr(at, run.out.find('\n', at) - at));
      for (const std::string& name : schema.required) EXPECT_TRUE(kinds.count(name)) << name;
      for (const auto& [name, kind] : kinds) {
        if (!schema.types.count(name)) continue;  // columns of later versions
        const std::vector<std::string>& allowed = schema.types.at(name);
        const bool fits = std::find(allowed.begin(), allowed.end(), kind) != allowed.end() ||
                          (kind == "integer" && std::find(allowed.begin(), allowed.end(), "number") != allowed.end());
        EXPECT_TRUE(fits) << name << " is " << kind;
      }
    }
    EXPECT_EQ(rows, 3u);
  }
  // The record_time of the JMA CSV file, the clock time of its first sample.
  const RunResult run = batch({"--format", "json", "A.csv"}, scratch.path);
  EXPECT_NE(run.out.find("\"record_time\":\"2000-10-06T13:30:10+09:00\",\"origin_time\":\"2000-10-06T13:30:17.9+09:00\""),
            std::string::npos)
      << run.out;
}

}  // namespace
