// Records as users hold them: console texts whose times do not start at 0 or
// do not follow one interval, JMA CSV files saved again by a spreadsheet,
// and what the headers say turned into clock times and a distance.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readers/readers.h"
#include "tests/support/network_files.h"

namespace {

using readers::Error;
using readers::Record;

// A console text of `samples` samples at 0.01 s from `start` seconds, times
// written with two decimals as a logger writes them; sample `shifted` (from
// 0) gets `shift` seconds more.
std::string timed_text(std::size_t samples, double start, std::size_t shifted = 0, double shift = 0.0) {
  std::string text;
  char line[128];
  for (std::size_t i = 0; i < samples; ++i) {
    const double time = start + 0.01 * static_cast<double>(i) + (i == shifted ? shift : 0.0);
    const double a = 40.0 * std::sin(0.07 * static_cast<double>(i)) * std::exp(-0.002 * static_cast<double>(i));
    std::snprintf(line, sizeof line, "%.3f %.4f %.4f %.4f\n", time, a, -0.5 * a, 0.25 * a);
    text += line;
  }
  return text;
}

// The record after the batch program's check, or its error.
readers::Result<Record> settled(const std::string& text) {
  readers::Result<Record> read = readers::read_console_text("r.txt", text);
  if (Record* record = std::get_if<Record>(&read)) {
    if (std::optional<Error> misplaced = readers::settle_interval(*record)) return *misplaced;
  }
  return read;
}

struct TimesCase {
  const char* name;
  std::string text;
  float dt;                   // when accepted
  std::size_t error_line;     // 0: accepted
  const char* message_part;
};

TEST(ConsoleTextTimes, AreCheckedAgainstTheInterval) {
  const std::vector<TimesCase> rows = {
      {"from_zero", timed_text(500, 0.0), 0.01f, 0, ""},
      // The console program's rule gives 0.01171875 here; read in double the interval is right.
      {"from_50000_s", timed_text(500, 50000.0), 0.01f, 0, ""},
      {"from_1234_56_s", timed_text(500, 1234.56), 0.01f, 0, ""},
      {"one_time_off_by_half_a_step", timed_text(500, 0.0, 300, 0.005), 0, 301,
       "time 3.005 where 3 was expected (the first time + 300 x 0.01 s"},
      {"a_gap_at_50000_s", timed_text(500, 50000.0, 200, 0.01), 0, 201, "time 50002.01 where 50002 was expected"},
      {"last_time_late", timed_text(500, 0.0, 499, 0.003), 0, 500, "time 4.993 where 4.99 was expected"},
      // Times a logger rounded to single precision are within the tolerance.
      {"float_rounded_times", "0 1 2 3\n0.01 4 5 6\n0.0200000004 7 8 9\n0.0299999993 1 1 1\n", 0.01f, 0, ""},
      // What the computation refuses stays the computation's to refuse.
      {"one_sample", "5 1 2 3\n", -5.0f, 0, ""},
      {"equal_times", "1 1 2 3\n1 4 5 6\n2 7 8 9\n", 0.0f, 0, ""},
  };
  for (const TimesCase& c : rows) {
    SCOPED_TRACE(c.name);
    const readers::Result<Record> read = settled(c.text);
    if (c.error_line == 0) {
      ASSERT_TRUE(std::holds_alternative<Record>(read)) << readers::error_text(std::get<Error>(read));
      EXPECT_EQ(std::get<Record>(read).dt, c.dt);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<Error>(read));
    const Error& error = std::get<Error>(read);
    EXPECT_EQ(error.file, "r.txt");
    EXPECT_EQ(error.line, c.error_line);
    EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.message;
  }
}

TEST(ConsoleTextTimes, RecordsReadBeforeKeepTheirInterval) {
  // Times that agree with the console program's interval keep it to the
  // bit, even where the double difference would round to another float.
  const std::string text = timed_text(10, 100.37);
  const Record plain = std::get<Record>(readers::read_console_text("r.txt", text));
  const readers::Result<Record> read = settled(text);
  ASSERT_TRUE(std::holds_alternative<Record>(read));
  EXPECT_EQ(std::get<Record>(read).dt, plain.dt);
  EXPECT_NE(plain.dt, 0.01f);  // the float difference of 100.37 and 100.38
}

TEST(ConsoleTextTimes, StreamIntervalAndTolerance) {
  const readers::SampleTime zero{0.0f, 0.0, 1};
  const readers::SampleTime next{0.01f, 0.01, 2};
  EXPECT_EQ(readers::stream_interval(zero, next), 0.01f);
  const readers::SampleTime late{50000.0f, 50000.0, 1};
  const readers::SampleTime later{50000.01f, 50000.01, 2};
  EXPECT_EQ(readers::stream_interval(late, later), 0.01f);
  EXPECT_DOUBLE_EQ(readers::time_tolerance(0.01f, 0.0), 0.01 * static_cast<double>(0.01f) + 0.5 * 1.401298464324817e-45);
  EXPECT_DOUBLE_EQ(readers::time_tolerance(0.01f, 50000.0), 0.01 * static_cast<double>(0.01f) + 0.001953125);
  EXPECT_FALSE(readers::misplaced_time(50000.0, 2, 50000.02, 0.01f));
  EXPECT_TRUE(readers::misplaced_time(50000.0, 2, 50000.03, 0.01f));
}

// ---------------------------------------------------------------------------
// JMA CSV saved again by a spreadsheet

// The file of the tests' JMA CSV as a spreadsheet saves it: every line ends
// in empty fields, the site line's numbers unpadded, LF line ends.
std::string spreadsheet_saved(const std::vector<std::string>& lines) {
  std::string text = "SITE CODE= ABC\x93\x8C\x8B\x9E,35.2733,133.3483,9,7.3,36805.5627072,3.62,6.15\n";
  text += " LAT.=   35.6000,,,,,\n LON.=  139.7000,,,,,\n SAMPLING RATE= 100Hz,,,,,\n";
  text += " UNIT  = gal(cm/s/s),,,,,\nINITIAL TIME = 2000 10 06 13 30 10,,,,,\n NS,EW,UD,,,,,\n";
  for (const std::string& line : lines) text += line + ",,,,,\n";
  return text;
}

TEST(JmaCsvSpreadsheet, ReadsAsTheFileItWasSavedFrom) {
  shindo::testing::JmaCsvContent content;
  content.lines = {"0.001,-0.002,0.003", "1.5,  -2,0.1"};
  const Record original = std::get<Record>(readers::read_jma_csv("A.csv", shindo::testing::jma_csv_text(content)));
  const readers::Result<Record> read = readers::read_jma_csv("B.csv", spreadsheet_saved(content.lines));
  ASSERT_TRUE(std::holds_alternative<Record>(read)) << readers::error_text(std::get<Error>(read));
  const Record& saved = std::get<Record>(read);
  EXPECT_EQ(saved.acc1, original.acc1);
  EXPECT_EQ(saved.acc2, original.acc2);
  EXPECT_EQ(saved.acc3, original.acc3);
  EXPECT_EQ(saved.dt, original.dt);
  EXPECT_EQ(saved.metadata.station_code, "ABC");
  EXPECT_EQ(saved.metadata.station_name, "東京");
  EXPECT_EQ(saved.metadata.station_latitude, 35.6);
  EXPECT_EQ(saved.metadata.magnitude, 7.3);
  EXPECT_EQ(saved.metadata.epicentre_depth, 9.0);
  EXPECT_EQ(saved.metadata.record_time, "2000/10/06 13:30:10");
  EXPECT_EQ(saved.metadata.origin_time, original.metadata.origin_time);
}

TEST(JmaCsvSpreadsheet, AnythingElseIsStillRefusedWithItsLine) {
  const struct {
    const char* name;
    std::vector<std::string> lines;
    std::size_t line;
    const char* message_part;
  } rows[] = {
      {"a value in a trailing field", {"1,2,3", "4,5,6,7"}, 9, "three values"},
      {"an empty value inside", {"1,,3"}, 8, "not a number"},
      {"two values", {"1,2"}, 8, "three values"},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.name);
    const readers::Result<Record> read = readers::read_jma_csv("B.csv", spreadsheet_saved(c.lines));
    ASSERT_TRUE(std::holds_alternative<Error>(read));
    EXPECT_EQ(std::get<Error>(read).line, c.line);
    EXPECT_NE(std::get<Error>(read).message.find(c.message_part), std::string::npos) << std::get<Error>(read).message;
  }
}

// ---------------------------------------------------------------------------
// Clock times and distance

TEST(HeaderTimes, InIso8601WithTheJapanOffset) {
  const struct {
    const char* header;
    double seconds;
    const char* iso;
  } rows[] = {
      {"2008/06/14 08:43:00", 0.0, "2008-06-14T08:43:00+09:00"},
      {"2008/06/14 08:44:18", -15.0, "2008-06-14T08:44:03+09:00"},
      {"2000/12/31 23:59:59", 1.5, "2001-01-01T00:00:00.5+09:00"},
      {"2024/03/01 00:00:10", -15.0, "2024-02-29T23:59:55+09:00"},
      {"2000/10/06 13:30:17.9", 0.0, "2000-10-06T13:30:17.9+09:00"},
      {"2008-06-14T08:44:03+09:00", 61.25, "2008-06-14T08:45:04.25+09:00"},
      {"2008-06-14T08:44:03+09:00", 0.0004, "2008-06-14T08:44:03+09:00"},
      {"", 0.0, ""},
      {"2008/02/30 00:00:00", 0.0, ""},
      {"2008/06/14 24:00:00", 0.0, ""},
      {"2008/06/14", 0.0, ""},
      {"2008-06-14T08:44:03Z", 0.0, ""},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.header);
    EXPECT_EQ(readers::iso_japan_time(c.header, c.seconds), c.iso);
  }
  EXPECT_EQ(readers::header_time_of_day_number(36805.5627072), "2000/10/06 13:30:17.9");
  EXPECT_EQ(readers::header_time_of_day_number(42474.8934491), "2016/04/14 21:26:34");
  EXPECT_EQ(readers::header_time_of_day_number(0.0), "");
  EXPECT_EQ(readers::header_time_of_day_number(NAN), "");
}

TEST(HeaderTimes, RecordTimeIsTheFirstSample) {
  Record record;
  record.metadata.record_time = "2008/06/14 08:44:18";
  record.format = readers::Format::knet;
  EXPECT_EQ(readers::record_time_iso(record), "2008-06-14T08:44:03+09:00");  // the logger's 15 s taken off
  record.format = readers::Format::jma_csv;
  EXPECT_EQ(readers::record_time_iso(record), "2008-06-14T08:44:18+09:00");
  record.format = readers::Format::console_text;
  EXPECT_EQ(readers::record_time_iso(record), "");
}

TEST(HypocentralDistance, AlongTheEllipsoidAndDown) {
  const auto place = [](double station_latitude, double station_longitude, double latitude, double longitude,
                        std::optional<double> depth) {
    readers::Metadata meta;
    meta.station_latitude = station_latitude;
    meta.station_longitude = station_longitude;
    meta.epicentre_latitude = latitude;
    meta.epicentre_longitude = longitude;
    meta.epicentre_depth = depth;
    return meta;
  };
  const struct {
    const char* name;
    readers::Metadata meta;
    double km;  // < 0: unknown
    double within;
  } rows[] = {
      // One degree of latitude at the equator and along a meridian at 45 degrees (WGS84).
      {"equator_one_degree_north", place(0, 135, 1, 135, 0.0), 110.574389, 0.001},
      {"meridian_44_5_to_45_5", place(44.5, 135, 45.5, 135, 0.0), 111.132, 0.01},
      {"one_degree_east_at_the_equator", place(0, 135, 0, 136, 0.0), 111.319491, 0.001},
      {"straight_down", place(35, 135, 35, 135, 10.0), 10.0, 1e-9},
      {"three_four_five", place(0, 135, 0, 135 + 30.0 / 111.319491, 40.0), 50.0, 0.001},
      {"no_depth", place(0, 135, 1, 135, std::nullopt), -1, 0},
      {"antipodes", place(0, 0, 0.5, 179.7, 0.0), -1, 0},
  };
  for (const auto& c : rows) {
    SCOPED_TRACE(c.name);
    const std::optional<double> km = readers::hypocentral_distance_km(c.meta);
    if (c.km < 0) {
      EXPECT_FALSE(km.has_value());
      continue;
    }
    ASSERT_TRUE(km.has_value());
    EXPECT_NEAR(*km, c.km, c.within);
  }
}

}  // namespace
