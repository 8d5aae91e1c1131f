// The K-NET/KiK-net and JMA CSV readers on synthetic files (values, metadata,
// offsets, every malformed line with its file and line, mismatched triplets),
// names and formats, archives, and the real records when they are present.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readers/readers.h"
#include "tests/support/network_files.h"
#include "tests/support/sanitized.h"

namespace {

using readers::Error;
using readers::Format;
using readers::KnetFile;
using readers::Record;
using shindo::testing::KnetFileContent;

template <class T>
const T& value_of(const readers::Result<T>& result) {
  if (const Error* error = std::get_if<Error>(&result)) {
    ADD_FAILURE() << readers::error_text(*error);
    static const T empty{};
    return empty;
  }
  return std::get<T>(result);
}

KnetFile knet_file(const KnetFileContent& content, const std::string& name = "X.NS") {
  return value_of(readers::read_knet_file(name, shindo::testing::knet_text(content)));
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// ---------------------------------------------------------------------------
// K-NET and KiK-net

TEST(KnetFile, HeaderValuesGoIntoTheMetadata) {
  KnetFileContent content;
  content.counts = std::vector<std::int64_t>(200, 5);
  const KnetFile file = knet_file(content, "d/X.EW");
  const readers::Metadata& meta = file.metadata;
  EXPECT_EQ(meta.station_code, "TST001");
  EXPECT_EQ(meta.origin_time, "2008/06/14 08:43:00");
  EXPECT_EQ(meta.record_time, "2008/06/14 08:44:18");
  EXPECT_EQ(meta.last_correction, "2008/06/14 08:44:03");
  EXPECT_EQ(meta.epicentre_latitude, 39.028);
  EXPECT_EQ(meta.epicentre_longitude, 140.880);
  EXPECT_EQ(meta.epicentre_depth, 8.0);
  EXPECT_EQ(meta.magnitude, 7.2);
  EXPECT_EQ(meta.station_latitude, 40.6363);
  EXPECT_EQ(meta.station_longitude, 139.9284);
  EXPECT_EQ(meta.station_height, 42.0);
  EXPECT_EQ(meta.sampling_frequency, 100.0);
  EXPECT_EQ(file.duration, 2.0);
  EXPECT_EQ(meta.components[0].direction, "N-S");
  EXPECT_EQ(meta.components[0].scale_numerator, 3920.0);
  EXPECT_EQ(meta.components[0].scale_denominator, 6182761.0);
  EXPECT_EQ(meta.components[0].file, "d/X.EW");
  EXPECT_EQ(file.counts.size(), 200u);
}

struct LabelVariantCase {
  const char* name;
  const char* from;
  const char* to;
};

// Spacing and periods vary between years and files.
const LabelVariantCase kLabelVariants[] = {
    {"depth_without_period", "Depth. (km)       ", "Depth (km)        "},
    {"lat_without_period", "Lat.              ", "Lat               "},
    {"label_in_capitals", "Station Code      ", "STATION CODE      "},
    {"frequency_label_spaced", "Sampling Freq(Hz) ", "Sampling Freq (Hz) "},
    {"max_acc_without_periods", "Max. Acc. (gal)   ", "Max Acc (gal)     "},
};

class KnetLabelVariant : public ::testing::TestWithParam<LabelVariantCase> {};

TEST_P(KnetLabelVariant, IsRead) {
  KnetFileContent content;
  content.counts = std::vector<std::int64_t>(100, 1);
  std::string text = shindo::testing::knet_text(content);
  const std::size_t at = text.find(GetParam().from);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, std::string(GetParam().from).size(), GetParam().to);
  const KnetFile file = value_of(readers::read_knet_file("X.NS", text));
  EXPECT_EQ(file.metadata.station_code, "TST001");
  EXPECT_EQ(file.metadata.epicentre_latitude, 39.028);
  EXPECT_EQ(file.counts.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Labels, KnetLabelVariant, ::testing::ValuesIn(kLabelVariants),
                         [](const auto& info) { return std::string(info.param.name); });

struct KnetFaultCase {
  const char* name;
  std::size_t line_replaced;  // 1-based; 0: text appended
  const char* replacement;    // the whole line
  std::size_t line;           // of the error, 0 for the whole file
  const char* message_part;
};

const KnetFaultCase kKnetFaults[] = {
    {"label_missing", 6, "Stations Code     TST001", 6, "Station Code"},
    {"frequency_not_a_number", 11, "Sampling Freq(Hz) fastHz", 11, "Sampling Freq"},
    {"duration_negative", 12, "Duration Time(s)  -2", 12, "Duration"},
    {"scale_without_unit", 14, "Scale Factor      3920/6182761", 14, "Scale Factor"},
    {"scale_over_zero", 14, "Scale Factor      3920(gal)/0", 14, "Scale Factor"},
    {"count_not_an_integer", 19, "  1   2   3   4   5   6   7   8x", 19, "not an integer count: \"8x\""},
    {"count_with_point", 20, "  1.5   2   3   4   5   6   7   8", 20, "\"1.5\""},
    {"nine_counts", 19, "  1 2 3 4 5 6 7 8 9", 19, "more than 8"},
    {"short_line_in_the_middle", 19, "  1 2 3 4 5 6 7", 19, "fewer than 8"},
    {"one_count_too_many", 0, "  1", 0, "Duration x frequency"},
};

class KnetFault : public ::testing::TestWithParam<KnetFaultCase> {};

TEST_P(KnetFault, IsOneErrorWithItsLine) {
  const KnetFaultCase& c = GetParam();
  KnetFileContent content;
  content.counts = std::vector<std::int64_t>(200, 1);  // 25 lines of counts, lines 18..42
  std::string text = shindo::testing::knet_text(content);
  if (c.line_replaced == 0) {
    text += std::string(c.replacement) + "\n";
  } else {
    std::size_t begin = 0;
    for (std::size_t line = 1; line < c.line_replaced; ++line) begin = text.find('\n', begin) + 1;
    text.replace(begin, text.find('\n', begin) - begin, c.replacement);
  }
  const readers::Result<KnetFile> read = readers::read_knet_file("d/X.UD", text);
  ASSERT_TRUE(std::holds_alternative<Error>(read));
  const Error& error = std::get<Error>(read);
  EXPECT_EQ(error.file, "d/X.UD");
  EXPECT_EQ(error.line, c.line);
  EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.message;
}

INSTANTIATE_TEST_SUITE_P(Files, KnetFault, ::testing::ValuesIn(kKnetFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KnetFile, CutShortOrHeaderOnlyIsRefused) {
  KnetFileContent content;
  content.counts = std::vector<std::int64_t>(200, 1);
  const std::string text = shindo::testing::knet_text(content);
  const std::string cut = text.substr(0, text.size() - 40);
  const readers::Result<KnetFile> read = readers::read_knet_file("X.NS", cut);
  ASSERT_TRUE(std::holds_alternative<Error>(read));
  EXPECT_NE(std::get<Error>(read).message.find("cut short"), std::string::npos);
  const std::string header = text.substr(0, text.find("Scale Factor"));
  const readers::Result<KnetFile> headless = readers::read_knet_file("X.NS", header);
  ASSERT_TRUE(std::holds_alternative<Error>(headless));
  EXPECT_NE(std::get<Error>(headless).message.find("13 of 17"), std::string::npos);
}

// Reads `text` as X.NS within 512 MiB of address space; exits 0 when the
// reading ends in a refusal holding `expected`.
[[noreturn]] void read_in_little_memory(const std::string& text, const std::string& expected) {
  const rlimit limit{std::size_t{512} << 20, std::size_t{512} << 20};
  if (!shindo::testing::kSanitized) setrlimit(RLIMIT_AS, &limit);
  const readers::Result<KnetFile> read = readers::read_knet_file("X.NS", text);
  const Error* error = std::get_if<Error>(&read);
  std::exit(error != nullptr && error->message.find(expected) != std::string::npos ? 0 : 1);
}

TEST(KnetFile, AHugeDurationReservesNothingBeforeTheCountsConfirmIt) {
  // 10^7 s at 100 Hz claims 10^9 counts (8 GB); the file holds four.
  KnetFileContent content;
  content.counts = {1, 2, 3, 4};
  content.duration = "10000000";
  const std::string text = shindo::testing::knet_text(content);
  EXPECT_EXIT(read_in_little_memory(text, "4 counts where"), ::testing::ExitedWithCode(0), "");
}

struct OffsetCase {
  const char* name;
  std::vector<std::int64_t> counts;
  std::int64_t numerator, denominator;
  readers::Offset offset;
  std::vector<float> gal;
};

// mean = sum / n in double; a = float((count - mean) * N / D).
const OffsetCase kOffsets[] = {
    {"mean_removed", {10, 20, 30, 40}, 1, 2, readers::Offset::remove_mean, {-7.5f, -2.5f, 2.5f, 7.5f}},
    {"offset_kept", {10, 20, 30, 40}, 1, 2, readers::Offset::keep, {5.0f, 10.0f, 15.0f, 20.0f}},
    {"mean_not_whole", {0, 0, 1}, 3, 1, readers::Offset::remove_mean, {-1.0f, -1.0f, 2.0f}},
    {"rounded_once", {1, 0, 0, 0}, 3920, 6182761, readers::Offset::keep,
     {static_cast<float>(3920.0 / 6182761.0), 0.0f, 0.0f, 0.0f}},
};

class KnetOffset : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(KnetOffset, GivesGal) {
  const OffsetCase& c = GetParam();
  KnetFileContent content;
  content.counts = c.counts;
  content.scale_numerator = c.numerator;
  content.scale_denominator = c.denominator;
  content.duration = std::to_string(c.counts.size());
  content.frequency = "1Hz";
  const std::array<KnetFile, 3> files = {knet_file(content, "X.NS"), knet_file(content, "X.EW"), knet_file(content, "X.UD")};
  const Record record = value_of(readers::join_knet_record("X", Format::knet, files, c.offset));
  EXPECT_EQ(record.acc1, c.gal);
  EXPECT_EQ(record.acc3, c.gal);
  EXPECT_EQ(record.dt, 1.0f);
  EXPECT_TRUE(record.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(Counts, KnetOffset, ::testing::ValuesIn(kOffsets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KnetRecord, EachFileKeepsItsOwnScale) {
  KnetFileContent ns, ew, ud;
  ns.counts = ew.counts = ud.counts = {0, 100};
  ns.duration = ew.duration = ud.duration = "0.02";
  ew.scale_numerator = 2;
  ew.scale_denominator = 1;
  ud.scale_numerator = 1;
  ud.scale_denominator = 4;
  const std::array<KnetFile, 3> files = {knet_file(ns), knet_file(ew), knet_file(ud)};
  const Record record = value_of(readers::join_knet_record("X", Format::knet, files, readers::Offset::keep));
  EXPECT_EQ(record.acc2, (std::vector<float>{0.0f, 200.0f}));
  EXPECT_EQ(record.acc3, (std::vector<float>{0.0f, 25.0f}));
  EXPECT_EQ(record.dt, 0.01f);
  EXPECT_EQ(record.metadata.components[1].scale_numerator, 2.0);
}

TEST(KnetRecord, WarnsWhenTheHeaderPeakIsNotTheRecordsPeak) {
  KnetFileContent content;
  content.counts = {0, 1000, -1000, 0};
  content.duration = "0.04";
  KnetFileContent wrong = content;
  wrong.max_acc = "9.999";
  const std::array<KnetFile, 3> files = {knet_file(content), knet_file(wrong, "X.EW"), knet_file(content)};
  const Record record = value_of(readers::join_knet_record("X", Format::knet, files, readers::Offset::remove_mean));
  ASSERT_EQ(record.warnings.size(), 1u);
  EXPECT_NE(record.warnings[0].find("X.EW: Max. Acc. 9.999 gal in the header, 0.634 gal"), std::string::npos)
      << record.warnings[0];
}

struct MismatchCase {
  const char* name;
  KnetFileContent other;
  const char* message_part;
};

std::vector<MismatchCase> mismatch_cases() {
  KnetFileContent base;
  base.counts = std::vector<std::int64_t>(100, 3);
  std::vector<MismatchCase> cases;
  KnetFileContent station = base;
  station.station = "TST002";
  cases.push_back({"station", station, "station TST002 differs from TST001"});
  KnetFileContent frequency = base;
  frequency.frequency = "200Hz";
  frequency.counts = std::vector<std::int64_t>(200, 3);
  frequency.duration = "1";
  cases.push_back({"frequency", frequency, "sampling frequency"});
  KnetFileContent length = base;
  length.counts = std::vector<std::int64_t>(108, 3);
  cases.push_back({"samples", length, "sample count 108 differs from 100"});
  return cases;
}

class KnetMismatch : public ::testing::TestWithParam<MismatchCase> {};

TEST_P(KnetMismatch, IsRefusedNamingTheOddFile) {
  KnetFileContent base;
  base.counts = std::vector<std::int64_t>(100, 3);
  const std::array<KnetFile, 3> files = {knet_file(base, "X.NS"), knet_file(base, "X.EW"),
                                         knet_file(GetParam().other, "X.UD")};
  const readers::Result<Record> joined = readers::join_knet_record("X", Format::knet, files, readers::Offset::keep);
  ASSERT_TRUE(std::holds_alternative<Error>(joined));
  EXPECT_EQ(std::get<Error>(joined).file, "X.UD");
  EXPECT_NE(std::get<Error>(joined).message.find(GetParam().message_part), std::string::npos)
      << std::get<Error>(joined).message;
}

TEST(KnetRecord, ScaleBeyondTheFloatRangeIsRefused) {
  KnetFileContent content;
  content.counts = {0, 1000};
  content.duration = "0.02";
  std::string text = shindo::testing::knet_text(content);
  text.replace(text.find("3920(gal)"), 4, "1e45");
  const KnetFile huge = value_of(readers::read_knet_file("X.EW", text));
  const std::array<KnetFile, 3> files = {knet_file(content), huge, knet_file(content)};
  const readers::Result<Record> joined = readers::join_knet_record("X", Format::knet, files, readers::Offset::keep);
  ASSERT_TRUE(std::holds_alternative<Error>(joined));
  EXPECT_EQ(std::get<Error>(joined).file, "X.EW");
  EXPECT_NE(std::get<Error>(joined).message.find("beyond the single-precision range"), std::string::npos);
  // The factor is shown as its shortest text, not in hundreds of digits.
  EXPECT_NE(std::get<Error>(joined).message.find("the scale factor 1e+45/6182761 "), std::string::npos)
      << std::get<Error>(joined).message;
}

struct IntervalCase {
  const char* name;
  const char* frequency;
  const char* duration;
};

// A frequency whose interval is no float above 0 is refused, not passed on
// as dt inf or 0.
const IntervalCase kNoInterval[] = {
    {"exponent_tiny", "1e-40Hz", "1e40"},
    {"exponent_huge", "1e300Hz", "1e-300"},
};

class KnetInterval : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(KnetInterval, WithoutAFloatIntervalIsRefused) {
  KnetFileContent content;
  content.counts = {7};
  content.frequency = GetParam().frequency;
  content.duration = GetParam().duration;
  const KnetFile file = knet_file(content);
  const std::array<KnetFile, 3> files = {file, file, file};
  const readers::Result<Record> joined = readers::join_knet_record("X", Format::knet, files, readers::Offset::keep);
  ASSERT_TRUE(std::holds_alternative<Error>(joined));
  EXPECT_NE(std::get<Error>(joined).message.find("gives no single-precision sampling interval"), std::string::npos)
      << std::get<Error>(joined).message;
}

INSTANTIATE_TEST_SUITE_P(Frequencies, KnetInterval, ::testing::ValuesIn(kNoInterval),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KnetRecord, TheLargestCountsSumWithoutOverflow) {
  // 10^7 counts of 999999999999 sum beyond 2^63; their mean is the count, so
  // with the mean removed every acceleration is 0 to within rounding.
  KnetFile file;
  file.file = "X.NS";
  file.metadata.station_code = "TST001";
  file.metadata.sampling_frequency = 100.0;
  file.counts.assign(10'000'000, 999'999'999'999);
  const std::array<KnetFile, 3> files = {file, file, file};
  const Record record = value_of(readers::join_knet_record("X", Format::knet, files, readers::Offset::remove_mean));
  ASSERT_EQ(record.acc1.size(), 10'000'000u);
  float peak = 0.0f;
  for (const float a : record.acc1) peak = std::max(peak, std::fabs(a));
  EXPECT_LT(peak, 0.01f);
}

INSTANTIATE_TEST_SUITE_P(Triplets, KnetMismatch, ::testing::ValuesIn(mismatch_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Names and formats

struct NameCase {
  const char* path;
  bool component_file;
  const char* record;
  int component;
  Format format;
};

const NameCase kNames[] = {
    {"d/AOM0170806140843.NS", true, "d/AOM0170806140843", 0, Format::knet},
    {"AOM0170806140843.ud", true, "AOM0170806140843", 2, Format::knet},
    {"d/ISKH012401011610.NS2", true, "d/ISKH012401011610.2", 0, Format::kiknet},
    {"a.tar:x/ISKH012401011610.EW1", true, "a.tar:x/ISKH012401011610.1", 1, Format::kiknet},
    {"d.NS/notes", false, "", 0, Format::knet},
    {"X.NS3", false, "", 0, Format::knet},
    {"X.txt", false, "", 0, Format::knet},
    {".NS", false, "", 0, Format::knet},
};

TEST(KnetName, ComponentLettersLeaveTheRecordName) {
  for (const NameCase& c : kNames) {
    const std::optional<readers::KnetName> name = readers::knet_name(c.path);
    ASSERT_EQ(name.has_value(), c.component_file) << c.path;
    if (!name) continue;
    EXPECT_EQ(name->record, c.record) << c.path;
    EXPECT_EQ(name->component, c.component) << c.path;
    EXPECT_EQ(name->format, c.format) << c.path;
  }
}

struct DetectCase {
  const char* path;
  const char* head;
  std::optional<Format> format;
};

const DetectCase kDetections[] = {
    {"X.NS", "Origin Time       2008/06/14\n", Format::knet},
    {"X.UD1", "Origin Time       2008/06/14\n", Format::kiknet},
    {"X.NS", "something else\n", std::nullopt},
    {"a.csv", "SITE CODE= EA0...\r\n", Format::jma_csv},
    {"r.txt", "\n  0.00 1 2 3\n", Format::console_text},
    {"r.dat", "-1.5e-3,2,3,4\n", Format::console_text},
    {"notes.md", "# notes\n", std::nullopt},
    {"bin", "0\x01\x02", std::nullopt},
    {"img.png", "\x89PNG\r\n", std::nullopt},
    {"empty", "", std::nullopt},
};

TEST(DetectFormat, FromNameAndFirstBytes) {
  for (const DetectCase& c : kDetections) {
    EXPECT_EQ(readers::detect_format(c.path, c.head), c.format) << c.path;
  }
}

// ---------------------------------------------------------------------------
// JMA CSV

TEST(JmaCsv, ValuesAndMetadata) {
  shindo::testing::JmaCsvContent content;
  content.lines = {"0.001,-0.002,0.003", "1.5,  -2,0.1"};
  const Record record = value_of(readers::read_jma_csv("d/A.csv", shindo::testing::jma_csv_text(content)));
  EXPECT_EQ(record.acc1, (std::vector<float>{0.001f, 1.5f}));
  EXPECT_EQ(record.acc2, (std::vector<float>{-0.002f, -2.0f}));
  EXPECT_EQ(record.acc3, (std::vector<float>{0.003f, 0.1f}));
  EXPECT_EQ(record.dt, 0.01f);
  EXPECT_EQ(record.format, Format::jma_csv);
  const readers::Metadata& meta = record.metadata;
  EXPECT_EQ(meta.station_code, "ABC");
  EXPECT_EQ(meta.station_name, "東京");
  EXPECT_EQ(meta.station_latitude, 35.6);
  EXPECT_EQ(meta.station_longitude, 139.7);
  EXPECT_EQ(meta.epicentre_latitude, 35.2733);
  EXPECT_EQ(meta.epicentre_longitude, 133.3483);
  EXPECT_EQ(meta.epicentre_depth, 9.0);
  EXPECT_EQ(meta.magnitude, 7.3);
  EXPECT_EQ(meta.record_time, "2000/10/06 13:30:10");
  EXPECT_EQ(meta.components[2].direction, "UD");
}

TEST(JmaCsv, ZeroPositionIsUnknownAndBadBytesAreReplaced) {
  shindo::testing::JmaCsvContent content;
  content.latitude = content.longitude = "0.0000";
  content.name_shift_jis = "A\x81";  // a lead byte without its trail
  content.rate = "200Hz";
  content.lines = {"1,2,3"};
  const Record record = value_of(readers::read_jma_csv("A.csv", shindo::testing::jma_csv_text(content)));
  EXPECT_FALSE(record.metadata.station_latitude.has_value());
  EXPECT_FALSE(record.metadata.station_longitude.has_value());
  EXPECT_EQ(record.metadata.station_name.substr(0, 1), "A");
  EXPECT_EQ(record.dt, 0.005f);
}

struct JmaFaultCase {
  const char* name;
  std::size_t line;  // replaced (1-based) and expected
  const char* replacement;
  const char* message_part;
};

const JmaFaultCase kJmaFaults[] = {
    {"no_site_code", 1, "SITE= ABC", "SITE CODE="},
    {"latitude_label", 2, " LATITUDE=   35.6", "LAT.="},
    {"rate_not_a_number", 4, " SAMPLING RATE= fastHz", "sampling rate"},
    {"unit_not_gal", 5, " UNIT  = m/s/s", "not gal"},
    {"initial_time_short", 6, "INITIAL TIME = 2000 10", "initial time"},
    {"columns_line", 7, " EW,NS,UD", "NS,EW,UD"},
    {"two_values", 9, "1,2", "three values"},
    {"four_values", 9, "1,2,3,4", "three values"},
    {"not_a_number", 8, "1,x,3", "not a number: \"x\""},
    {"empty_value", 8, "1,,3", "not a number"},
};

class JmaFault : public ::testing::TestWithParam<JmaFaultCase> {};

TEST_P(JmaFault, IsOneErrorWithItsLine) {
  const JmaFaultCase& c = GetParam();
  shindo::testing::JmaCsvContent content;
  content.lines = {"1,2,3", "4,5,6", "7,8,9"};
  std::string text = shindo::testing::jma_csv_text(content);
  std::size_t begin = 0;
  for (std::size_t line = 1; line < c.line; ++line) begin = text.find('\n', begin) + 1;
  text.replace(begin, text.find('\r', begin) - begin, c.replacement);
  const readers::Result<Record> read = readers::read_jma_csv("d/A.csv", text);
  ASSERT_TRUE(std::holds_alternative<Error>(read));
  EXPECT_EQ(std::get<Error>(read).file, "d/A.csv");
  EXPECT_EQ(std::get<Error>(read).line, c.line);
  EXPECT_NE(std::get<Error>(read).message.find(c.message_part), std::string::npos) << std::get<Error>(read).message;
}

INSTANTIATE_TEST_SUITE_P(Files, JmaFault, ::testing::ValuesIn(kJmaFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Archives

struct ScratchDirectory {
  std::filesystem::path path;
  ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "shindo_readers_XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path); }
  void write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories((path / name).parent_path());
    std::ofstream(path / name, std::ios::binary) << bytes;
  }
  int run(const std::string& command) const {
    return std::system(("cd '" + path.string() + "' && " + command).c_str());
  }
};

std::map<std::string, std::string> members_of(const std::string& archive, std::optional<Error>& error) {
  std::map<std::string, std::string> members;
  error = readers::for_each_member(archive, [](std::string_view) { return true; }, [&](readers::Member&& member) {
    members[member.name] = std::move(member.bytes);
  });
  return members;
}

TEST(Archive, MembersOfNestedAndCompressedArchivesAreReadInMemory) {
  ScratchDirectory scratch;
  scratch.write("in/X.NS", "ns bytes");
  scratch.write("in/X.EW", "ew bytes");
  scratch.write("in/Y.UD", "ud bytes");
  ASSERT_EQ(scratch.run("tar -czf a.knt.tar.gz -C in X.NS X.EW && gzip -c in/Y.UD > Y.UD.gz && "
                        "tar -cf event.tar a.knt.tar.gz Y.UD.gz && mkdir -p empty"),
            0);
  const std::string archive = (scratch.path / "event.tar").string();
  std::optional<Error> error;
  const std::map<std::string, std::string> members = members_of(archive, error);
  if (!readers::archives_supported()) {
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->message.find("without libarchive"), std::string::npos);
    return;
  }
  ASSERT_FALSE(error.has_value()) << readers::error_text(*error);
  const std::map<std::string, std::string> expected = {
      {archive + ":a.knt.tar.gz:X.NS", "ns bytes"},
      {archive + ":a.knt.tar.gz:X.EW", "ew bytes"},
      {archive + ":Y.UD", "ud bytes"},
  };
  EXPECT_EQ(members, expected);
  // Members not wanted are skipped.
  std::vector<std::string> taken;
  error = readers::for_each_member(
      archive, [](std::string_view name) { return !name.ends_with("X.EW"); },
      [&](readers::Member&& member) { taken.push_back(member.name); });
  EXPECT_FALSE(error.has_value());
  EXPECT_EQ(taken, (std::vector<std::string>{archive + ":a.knt.tar.gz:X.NS", archive + ":Y.UD"}));
  // Nothing was unpacked beside the archive.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path / "empty"),
                          std::filesystem::directory_iterator()),
            0);
}

TEST(Archive, TruncatedOrForeignArchiveIsOneError) {
  if (!readers::archives_supported()) GTEST_SKIP() << "built without libarchive";
  ScratchDirectory scratch;
  ASSERT_EQ(scratch.run("mkdir in && head -c 100000 /dev/urandom > in/X.NS && tar -czf a.tar.gz -C in X.NS && "
                        "head -c 3000 a.tar.gz > cut.tar.gz"),
            0);
  scratch.write("junk.tar", "this is not an archive");
  for (const char* name : {"cut.tar.gz", "junk.tar", "missing.tar"}) {
    std::optional<Error> error;
    members_of((scratch.path / name).string(), error);
    ASSERT_TRUE(error.has_value()) << name;
    EXPECT_EQ(error->file, (scratch.path / name).string());
    EXPECT_FALSE(error->message.empty());
  }
}

TEST(Archive, CompressedFileIsDecompressed) {
  if (!readers::archives_supported()) GTEST_SKIP() << "built without libarchive";
  ScratchDirectory scratch;
  scratch.write("X.NS", "0 1 2 3\n");
  ASSERT_EQ(scratch.run("gzip X.NS"), 0);
  const readers::Result<std::string> bytes = readers::decompress_file((scratch.path / "X.NS.gz").string());
  EXPECT_EQ(value_of(bytes), "0 1 2 3\n");
}

// ---------------------------------------------------------------------------
// The real records, when present (never copied into the project)

const std::filesystem::path kReal = SHINDO_SOURCE_DIR "/../shared/data/real";

TEST(RealRecords, KnetAndKiknetHeadersAgreeWithTheirSamples) {
  struct RealKnet {
    const char* stem;
    const char* sensor;
    std::size_t samples;
    float dt;
  };
  const RealKnet records[] = {
      {"knet_gmprocess/AOM0170806140843", "", 11500, 0.01f},
      {"knet_gmprocess/AICH040010061330", "2", 28600, 0.005f},
      {"kiknet_datools/ISKH012401011610", "1", 30000, 0.01f},
      {"kiknet_datools/ISKH012401011610", "2", 30000, 0.01f},
  };
  if (!std::filesystem::exists(kReal)) GTEST_SKIP() << "no real records here";
  for (const RealKnet& real : records) {
    std::array<KnetFile, 3> files;
    const char* letters[] = {".NS", ".EW", ".UD"};
    for (int c = 0; c < 3; ++c) {
      const std::filesystem::path path = kReal / (std::string(real.stem) + letters[c] + real.sensor);
      files[static_cast<std::size_t>(c)] = value_of(readers::read_knet_file(path.string(), slurp(path)));
    }
    const Record record = value_of(readers::join_knet_record(real.stem, Format::knet, files, readers::Offset::remove_mean));
    EXPECT_EQ(record.acc1.size(), real.samples) << real.stem;
    EXPECT_EQ(record.dt, real.dt) << real.stem;
    EXPECT_TRUE(record.warnings.empty()) << real.stem << ": " << record.warnings.front();
  }
}

TEST(RealRecords, JmaCsvStationNamesInUtf8) {
  struct RealJma {
    const char* file;
    const char* code;
    const char* name;
    std::size_t samples;
  };
  const RealJma records[] = {
      {"AA06EA01.csv", "EA0", "米子市博労町（旧）", 30000},
      {"Q4149CF2.csv", "9CF", "宇城市松橋町", 30000},
      {"Q4169D2004.csv", "9D2", "上天草市大矢野町", 30000},
      {"Q416EED018.csv", "EED", "南阿蘇村中松", 24000},
  };
  if (!std::filesystem::exists(kReal)) GTEST_SKIP() << "no real records here";
  for (const RealJma& real : records) {
    const std::filesystem::path path = kReal / "jma_csv" / real.file;
    const Record record = value_of(readers::read_jma_csv(path.string(), slurp(path)));
    EXPECT_EQ(record.metadata.station_code, real.code);
    EXPECT_EQ(record.metadata.station_name, real.name);
    EXPECT_EQ(record.acc1.size(), real.samples);
    EXPECT_EQ(record.dt, 0.01f);
  }
}

}  // namespace
