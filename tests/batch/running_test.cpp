// The running intensity in shindo-batch: the texts of its rows and columns,
// its options, --running over records with the table of steps written, and
// --follow fed through a pipe in delayed pieces, each row arriving before the
// next piece is sent.
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batch/follow.h"
#include "batch/options.h"
#include "batch/table.h"
#include "tests/support/csv_table.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using namespace shindo::testing;

RunRequest batch_request(const std::vector<std::string>& arguments, const fs::path& directory) {
  RunRequest request;
  request.program = SHINDO_BATCH_BINARY;
  request.arguments = arguments;
  request.directory = directory;
  request.timeout = std::chrono::milliseconds(60000);
  return request;
}

// Samples at 0.01 s of a shaking that grows for 3 s and then decays, with
// every component 0 over [quiet_from, quiet_to) s; one line a sample, the
// time first unless `with_time` is false.
std::vector<std::string> sample_lines(std::size_t samples, double quiet_from = 0.0, double quiet_to = 0.0,
                                      bool with_time = true) {
  std::vector<std::string> lines;
  char text[128];
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) * 0.01;
    const double envelope = 30.0 + 120.0 * std::exp(-std::pow((t - 3.0) / 1.5, 2.0));
    const double a = t >= quiet_from && t < quiet_to ? 0.0 : envelope * std::sin(2.0 * M_PI * 1.7 * t);
    const double b = t >= quiet_from && t < quiet_to ? 0.0 : envelope * std::cos(2.0 * M_PI * 0.9 * t);
    if (with_time) {
      std::snprintf(text, sizeof text, "%.2f %.4f %.4f %.4f\n", t, a, b, 0.3 * a);
    } else {
      std::snprintf(text, sizeof text, "%.4f,%.4f,%.4f\n", a, b, 0.3 * a);
    }
    lines.push_back(text);
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, std::size_t first = 0, std::size_t count = SIZE_MAX) {
  std::string text;
  for (std::size_t i = first; i < lines.size() && i - first < count; ++i) text += lines[i];
  return text;
}

TEST(BatchRunningText, RowsAndColumns) {
  shindo::RunningStep step;
  step.time = 61 * static_cast<double>(1.0f);
  step.result.shindo = 5.1593127f;
  EXPECT_EQ(batch::running_line(step, 1.0f), "61,5.1593127,5.1,5+,\n");
  step.result.fault = shindo::Fault::log10_singularity;
  step.result.stage = shindo::Stage::intensity;
  EXPECT_EQ(batch::running_line(step, 1.0f), "61,,,,log10 of 0: no level lasts more than 0.299 s (intensity)\n");

  EXPECT_EQ(batch::csv_header(true),
            "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,"
            "running_max,running_max_time,error,station_name,record_time,origin_time,magnitude,"
            "event_latitude,event_longitude,depth_km,distance_km,running_max_clock,pga_ns,pga_ew,pga_ud,pga_h,pgv_ns,"
            "pgv_ew,pgv_ud,pgv_h,si,sva_max,sva_period,lp_class\n");
  batch::ReportRow row;
  row.record = "r.txt";
  row.read = shindo::pictures::ReadRecord{.samples = 2000, .dt = 0.01f};
  row.strongest = shindo::pictures::StrongestWindow{4.25f, 1250 * static_cast<double>(0.01f)};
  EXPECT_TRUE(batch::csv_line(row, true).ends_with(",4.25,12.5,,,,,,,,,,,,,,,,,,,,,,\n")) << batch::csv_line(row, true);
  EXPECT_EQ(batch::csv_line(row, false).find("4.25"), std::string::npos);
  // The clock time of the strongest window: the record's start and the window's end.
  row.event.record_time = "2008-06-14T08:44:03+09:00";
  EXPECT_TRUE(batch::csv_line(row, true).ends_with(",2008-06-14T08:44:15.5+09:00,,,,,,,,,,,,\n")) << batch::csv_line(row, true);
  row.strongest.reset();
  EXPECT_NE(batch::json_line(row, true).find("\"running_max\":null,\"running_max_time\":null,\"error\":null,"),
            std::string::npos);
  EXPECT_TRUE(batch::json_line(row, true).find(",\"running_max_clock\":null,") != std::string::npos);
}

struct RunningOptionsCase {
  const char* name;
  std::vector<std::string_view> arguments;
  const char* usage_error;  // empty: accepted
  bool running;
  double window, step;
  const char* follow;
  float dt;  // 0: none
};

TEST(BatchRunningOptions, CommandLines) {
  const std::vector<RunningOptionsCase> rows = {
      {"running_defaults", {"--running", "d"}, "", true, 60.0, 1.0, "", 0.0f},
      {"window_and_step", {"--running", "--window", "5", "--step=0.5", "d"}, "", true, 5.0, 0.5, "", 0.0f},
      {"follow_standard_input", {"--follow", "-", "--window", "10"}, "", false, 10.0, 1.0, "-", 0.0f},
      {"follow_three_components", {"--follow=live.txt", "--dt", "0.005"}, "", false, 60.0, 1.0, "live.txt", 0.005f},
      {"window_without_running", {"--window", "5", "d"}, "--window needs --running or --follow", false, 0, 0, "", 0},
      {"step_zero", {"--running", "--step", "0", "d"}, "--step needs a positive number of seconds: \"0\"", false, 0, 0, "", 0},
      {"step_not_a_number", {"--running", "--step", "1s", "d"}, "--step needs a positive number of seconds", false, 0, 0, "", 0},
      {"window_missing", {"--running", "d", "--window"}, "--window needs a positive number of seconds", false, 0, 0, "", 0},
      {"window_infinite", {"--running", "--window", "inf", "d"}, "--window needs a positive number", false, 0, 0, "", 0},
      {"dt_without_follow", {"--dt", "0.01", "d"}, "--dt belongs to --follow", false, 0, 0, "", 0},
      {"follow_with_paths", {"--follow", "-", "d"}, "--follow reads one stream", false, 0, 0, "", 0},
      {"follow_with_output", {"--follow", "-", "--output", "o"}, "no --export or --output", false, 0, 0, "", 0},
      {"follow_json", {"--follow", "-", "--format", "json"}, "", false, 60.0, 1.0, "-", 0.0f},
      {"follow_without_path", {"--follow"}, "--follow needs a path, - for standard input", false, 0, 0, "", 0},
      {"running_with_a_value", {"--running=yes", "d"}, "unknown option --running=yes", false, 0, 0, "", 0},
  };
  for (const RunningOptionsCase& c : rows) {
    SCOPED_TRACE(c.name);
    const auto parsed = batch::parse_options(c.arguments, 2);
    if (*c.usage_error != '\0') {
      ASSERT_TRUE(std::holds_alternative<batch::UsageError>(parsed));
      EXPECT_NE(std::get<batch::UsageError>(parsed).message.find(c.usage_error), std::string::npos)
          << std::get<batch::UsageError>(parsed).message;
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<batch::Options>(parsed)) << std::get<batch::UsageError>(parsed).message;
    const batch::Options& options = std::get<batch::Options>(parsed);
    EXPECT_EQ(options.running, c.running);
    EXPECT_EQ(options.window, c.window);
    EXPECT_EQ(options.step, c.step);
    EXPECT_EQ(options.follow.value_or(""), c.follow);
    EXPECT_EQ(options.follow_dt.value_or(0.0f), c.dt);
  }
}

TEST(BatchRunning, RowsGetTheStrongestWindowAndTheOutputTheTableOfSteps) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "grows.txt", joined(sample_lines(1250)));
  const RunResult run = run_piped(
      batch_request({"--running", "--window", "2", "--step", "1", "--output", "o", "grows.txt"}, scratch.path), "");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 1u);
  const auto steps = parse_csv(read_file(scratch.path / "o" / "grows.txt.running.csv"));
  // Steps at 1 .. 12 s and the end of the record at 12.5 s.
  ASSERT_EQ(steps.size(), 13u);
  EXPECT_EQ(steps[0].at("time"), "1");
  EXPECT_EQ(steps[11].at("time"), "12");
  EXPECT_EQ(steps[12].at("time"), "12.5");
  std::size_t strongest = 0;
  for (std::size_t k = 0; k < steps.size(); ++k) {
    EXPECT_EQ(steps[k].at("error"), "");
    if (std::stof(steps[k].at("intensity")) > std::stof(steps[strongest].at("intensity"))) strongest = k;
  }
  EXPECT_EQ(rows[0].at("running_max"), steps[strongest].at("intensity"));
  EXPECT_EQ(rows[0].at("running_max_time"), steps[strongest].at("time"));
  // The shaking is strongest around 3 s: the 2 s window ending at 4 s.
  EXPECT_EQ(rows[0].at("running_max_time"), "4");
  // The record's picture has the running-intensity panel.
  EXPECT_NE(read_file(scratch.path / "o" / "grows.txt.svg").find("<g id=\"running-panel\">"), std::string::npos);

  // A window covering the record ends with the whole record's intensity.
  const RunResult whole = run_piped(
      batch_request({"--running", "--window", "60", "--output", "w", "grows.txt"}, scratch.path), "");
  ASSERT_EQ(whole.exit_code, 0) << whole.err;
  const auto whole_steps = parse_csv(read_file(scratch.path / "w" / "grows.txt.running.csv"));
  const RunResult without = run_piped(batch_request({"--output", "p", "grows.txt"}, scratch.path), "");
  ASSERT_EQ(without.exit_code, 0) << without.err;
  EXPECT_EQ(read_file(scratch.path / "p" / "grows.txt.svg").find("running-panel"), std::string::npos);
  ASSERT_EQ(whole_steps.size(), 13u);
  EXPECT_EQ(whole_steps.back().at("intensity"), parse_csv(whole.out)[0].at("intensity"));
}

TEST(BatchRunning, AStepShorterThanTheRecordsIntervalFailsItsRow) {
  TemporaryDirectory scratch;
  write_file(scratch.path / "r.txt", joined(sample_lines(300)));
  const RunResult run =
      run_piped(batch_request({"--running", "--step", "0.004", "r.txt"}, scratch.path), "");
  EXPECT_EQ(run.exit_code, 1);
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("error"),
            "running intensity: the step (0.004 s) is shorter than the sampling interval (0.01 s)");
  EXPECT_NE(rows[0].at("intensity"), "");
  EXPECT_EQ(rows[0].at("running_max"), "");
}

// Pieces of half a second: each after the row of the step the one before it
// completed, so that a row held back stops the run at its timeout (20 s).
std::vector<TypedInput> half_second_pieces(const std::vector<std::string>& lines) {
  std::vector<TypedInput> pieces;
  for (std::size_t first = 0, k = 0; first < lines.size(); first += 50, ++k) {
    char row_start[32] = "";
    if (k > 0) std::snprintf(row_start, sizeof row_start, "\n%g,", 0.5 * static_cast<double>(k));
    pieces.push_back({row_start, joined(lines, first, 50)});
  }
  return pieces;
}

TEST(BatchFollow, EachRowArrivesBeforeTheNextPieceAndAQuietWindowDoesNotStopTheStream) {
  TemporaryDirectory scratch;
  // Zeros from 2 s to 3.5 s: the 1 s windows ending at 3 s and 3.5 s hold nothing else.
  const std::vector<std::string> lines = sample_lines(600, 2.0, 3.5);
  write_file(scratch.path / "r.txt", joined(lines));
  RunRequest request =
      batch_request({"--follow", "-", "--window", "1", "--step", "0.5"}, scratch.path);
  request.timeout = std::chrono::milliseconds(20000);
  const RunResult live = run_piped_in_pieces(request, half_second_pieces(lines));
  ASSERT_FALSE(live.timed_out) << "rows so far:\n" << live.out;
  ASSERT_EQ(live.exit_code, 0) << live.err;
  const auto steps = parse_csv(live.out);
  ASSERT_EQ(steps.size(), 12u);
  for (std::size_t k = 0; k < steps.size(); ++k) {
    SCOPED_TRACE(steps[k].at("time"));
    const bool quiet = k == 5 || k == 6;  // 3 s, 3.5 s
    EXPECT_EQ(steps[k].at("error").empty(), !quiet) << steps[k].at("error");
    EXPECT_EQ(steps[k].at("intensity").empty(), quiet);
  }
  EXPECT_EQ(steps[5].at("error"), "log10 of 0: no level lasts more than 0.299 s (intensity)");

  // The same rows as the table of steps of the record read whole.
  const RunResult whole = run_piped(
      batch_request({"--running", "--window", "1", "--step", "0.5", "--output", "o", "r.txt"}, scratch.path), "");
  ASSERT_EQ(whole.exit_code, 0) << whole.err;
  EXPECT_EQ(live.out, read_file(scratch.path / "o" / "r.txt.running.csv"));
}

TEST(BatchFollow, LinesOfThreeComponentsWithTheirInterval) {
  TemporaryDirectory scratch;
  const std::vector<std::string> lines = sample_lines(300, 0.0, 0.0, false);
  RunRequest request = batch_request({"--follow", "-", "--dt", "0.01", "--step", "0.5"}, scratch.path);
  request.timeout = std::chrono::milliseconds(20000);
  const RunResult live = run_piped_in_pieces(request, half_second_pieces(lines));
  ASSERT_FALSE(live.timed_out) << live.out;
  ASSERT_EQ(live.exit_code, 0) << live.err;
  const auto steps = parse_csv(live.out);
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_EQ(steps.back().at("time"), "3");
  for (const auto& step : steps) EXPECT_EQ(step.at("error"), "");
}

struct FollowCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string input;
  int status;
  const char* error_part;  // on standard error
  std::size_t rows;        // written before the end
};

TEST(BatchFollow, WhatStopsAStreamAndWhatDoesNot) {
  const std::string good = joined(sample_lines(250));
  const std::vector<FollowCase> rows = {
      {"last_line_without_line_end", {}, good.substr(0, good.size() - 1), 0, "", 3},
      {"blank_lines_between", {}, joined(sample_lines(100)) + "\n  \n" + joined(sample_lines(250), 100), 0, "", 3},
      {"no_sample", {}, "", 0, "", 0},
      {"not_a_number_at_line_150", {}, joined(sample_lines(149)) + "1.49 2 x 4\n" + good, 1,
       "standard input:150:", 1},
      {"three_values_a_line", {}, "1 2 3\n4 5 6\n", 1, "standard input:1:", 0},
      {"a_sample_over_two_lines", {}, joined(sample_lines(120)) + "1.20 1\n2 3\n", 1, "standard input:121:", 1},
      {"one_sample_only", {}, "0 1 2 3\n", 1, "one sample only", 0},
      {"step_shorter_than_interval", {"--step", "0.005"}, good, 2,
       "the step (0.005 s) is shorter than the sampling interval (0.01 s)", 0},
      {"four_values_with_dt", {"--dt", "0.01"}, "1 2 3 4\n", 1, "more than three values", 0},
      {"two_values_with_dt", {"--dt", "0.01"}, "1 2\n", 1, "fewer than three values", 0},
      {"overlong_line", {}, good + std::string(5000, '1') + "\n", 1, "a line longer than 4096 characters", 2},
  };
  TemporaryDirectory scratch;
  for (const FollowCase& c : rows) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> arguments = {"--follow", "-"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const RunResult run = run_piped(batch_request(arguments, scratch.path), c.input);
    EXPECT_EQ(run.exit_code, c.status) << run.err;
    if (*c.error_part != '\0') {
      EXPECT_NE(run.err.find(c.error_part), std::string::npos) << run.err;
    } else {
      EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(parse_csv(run.out).size(), c.rows) << run.out;
    // The header comes once the stream has started, or at its end when it held no sample.
    if (c.rows > 0 || c.status == 0) {
      EXPECT_TRUE(run.out.starts_with("time,intensity,reported,class,error\n")) << run.out;
    }
  }
}

TEST(BatchFollow, AFileThatIsNotThereIsNamed) {
  TemporaryDirectory scratch;
  const RunResult run = run_piped(batch_request({"--follow", "nowhere.txt"}, scratch.path), "");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("nowhere.txt: No such file or directory"), std::string::npos) << run.err;
}

}  // namespace

namespace {

struct LinePiecesCase {
  const char* name;
  std::vector<std::string> pieces;
  std::vector<std::string> lines;  // given, in order
  bool too_long;
};

// Lines of at most 8 bytes, however the stream is cut.
const LinePiecesCase kLinePieces[] = {
    {"whole_lines", {"a b\nc d\n"}, {"a b", "c d"}, false},
    {"cut_anywhere", {"a ", "b\nc", " d", "\n"}, {"a b", "c d"}, false},
    {"last_without_lf", {"a\n", "b"}, {"a", "b"}, false},
    {"empty_lines_kept", {"\n\r\n"}, {"", "\r"}, false},
    {"longest_allowed", {"12345678\n"}, {"12345678"}, false},
    {"too_long_over_pieces", {"1234", "56789\n"}, {}, true},
    {"too_long_after_lines", {"ok\n123456789"}, {"ok"}, true},
};

class BatchLineReader : public ::testing::TestWithParam<LinePiecesCase> {};

TEST_P(BatchLineReader, GivesEachLineWholeOnce) {
  const LinePiecesCase& c = GetParam();
  batch::LineReader reader(8);
  std::vector<std::string> lines;
  const batch::LineReader::Take take = [&](std::string_view line) {
    lines.emplace_back(line);
    return true;
  };
  bool going = true;
  for (const std::string& piece : c.pieces) going = going && reader.feed(piece, take);
  if (going) going = reader.finish(take);
  EXPECT_EQ(lines, c.lines);
  EXPECT_EQ(reader.too_long(), c.too_long);
  EXPECT_EQ(going, !c.too_long);
  EXPECT_EQ(reader.lines(), c.lines.size());
}

INSTANTIATE_TEST_SUITE_P(Pieces, BatchLineReader, ::testing::ValuesIn(kLinePieces),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BatchLineReader, StopsWhenALineSaysSo) {
  batch::LineReader reader(100);
  std::vector<std::string> lines;
  EXPECT_FALSE(reader.feed("a\nstop\nc\n", [&](std::string_view line) {
    lines.emplace_back(line);
    return line != "stop";
  }));
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "stop"}));
}

}  // namespace
