// The counts of K-NET/KiK-net files as the reader takes them in its one pass
// (signs, long digit runs, blanks and tabs, CR LF, a last line without its
// end, every refusal with its line and message), and the joined samples as
// the one-sample formula gives them, whichever lane computes them.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readers/readers.h"
#include "tests/support/network_files.h"

namespace {

using readers::Error;
using readers::KnetFile;
using readers::Record;

// A component file whose header announces `samples` counts at 100 Hz,
// followed by `body` as its count lines (line 18 on).
std::string knet_text(const std::string& body, std::size_t samples) {
  shindo::testing::KnetFileContent content;
  content.duration = std::to_string(samples / 100.0);
  content.max_acc = "1.000";
  return shindo::testing::knet_text(content) + body;
}

struct CountsCase {
  const char* name;
  const char* body;
  std::vector<std::int64_t> counts;
};

const CountsCase kCounts[] = {
    {"lf", "1 2 3 4 5 6 7 8\n9 10\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    {"cr_lf", "1 2 3 4 5 6 7 8\r\n9 10\r\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    {"tabs_and_padding", "\t1\t 2 \t3    4 5 6 7 8   \n 9\t10\t\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    {"last_line_without_its_end", "1 2 3 4 5 6 7 8\n9 10", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    {"last_line_ending_in_cr", "1 2 3 4 5 6 7 8\n9 10\r", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    {"blank_lines", "\n1 2 3 4 5 6 7 8\n  \n\r\n9 10\n\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    {"signs_and_twelve_digits", "-1 +2 -0 +0 -999999999999 999999999999 000000000007 -000000000001\n",
     {-1, 2, 0, 0, -999999999999, 999999999999, 7, -1}},
    {"network_layout", "  -122196  -121968  -121809  -121932  -122223  -122189  -121926  -122104 \n",
     {-122196, -121968, -121809, -121932, -122223, -122189, -121926, -122104}},
};

class KnetCounts : public ::testing::TestWithParam<CountsCase> {};

TEST_P(KnetCounts, AreReadAsWritten) {
  const CountsCase& c = GetParam();
  const readers::Result<KnetFile> read = readers::read_knet_file("X.NS", knet_text(c.body, c.counts.size()));
  ASSERT_TRUE(std::holds_alternative<KnetFile>(read)) << readers::error_text(std::get<Error>(read));
  EXPECT_EQ(std::get<KnetFile>(read).counts, c.counts);
}

INSTANTIATE_TEST_SUITE_P(Bodies, KnetCounts, ::testing::ValuesIn(kCounts),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  const char* body;
  std::size_t line;
  const char* message;
};

const RefusedCase kRefused[] = {
    {"thirteen_digits", "1 2 3 4 5 6 7 1234567890123\n", 18, "not an integer count: \"1234567890123\""},
    {"letter_after_digits", "1 2 12a 4 5 6 7 8\n", 18, "not an integer count: \"12a\""},
    {"sign_inside", "1 2 3 4 5 6 7 8\n1-2\n", 19, "not an integer count: \"1-2\""},
    {"sign_alone", "- 5 1 2 3 4 5 6\n", 18, "not an integer count: \"-\""},
    {"two_signs", "+-5 1 2 3 4 5 6 7\n", 18, "not an integer count: \"+-5\""},
    {"point", "1.5 2 3 4 5 6 7 8\n", 18, "not an integer count: \"1.5\""},
    {"cr_inside_a_line", "1 2 3 4 5 6 7 12\r34\n", 18, "not an integer count: \"12?34\""},
    {"cr_before_a_blank", "1 2 3 4 5 6 7 8\r 9\n", 18, "not an integer count: \"8?\""},
    {"two_crs_before_lf", "1 2 3 4 5 6 7 8\r\r\n", 18, "not an integer count: \"8?\""},
    {"cr_alone_on_a_line", "1 2 3 4 5 6 7 8\n\r\r\n", 19, "not an integer count: \"?\""},
    {"short_line_before_the_last", "1 2 3\n4 5 6 7 8 9 10 11\n", 18,
     "a line of fewer than 8 counts before the last line of counts"},
    {"nine_counts", "1 2 3 4 5 6 7 8 9\n", 18, "more than 8 counts on a line"},
    {"fewer_than_announced", "1 2 3 4 5 6 7 8\n", 0, "8 counts where Duration x frequency gives 10 (the file is cut short)"},
};

class KnetRefusedCounts : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(KnetRefusedCounts, AreRefusedWithTheirLine) {
  const RefusedCase& c = GetParam();
  const readers::Result<KnetFile> read = readers::read_knet_file("d/X.NS", knet_text(c.body, 10));
  ASSERT_TRUE(std::holds_alternative<Error>(read)) << c.name;
  const Error& error = std::get<Error>(read);
  EXPECT_EQ(error.file, "d/X.NS");
  EXPECT_EQ(error.line, c.line) << c.name;
  EXPECT_EQ(error.message, c.message) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Bodies, KnetRefusedCounts, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The join

KnetFile counts_file(const std::string& name, std::vector<std::int64_t> counts, double numerator, double denominator) {
  KnetFile file;
  file.file = name;
  file.metadata.station_code = "TST001";
  file.metadata.sampling_frequency = 100.0;
  file.metadata.components[0].scale_numerator = numerator;
  file.metadata.components[0].scale_denominator = denominator;
  file.counts = std::move(counts);
  return file;
}

// The one-sample formula of the record's documentation, sample by sample.
std::vector<std::uint32_t> formula_bits(const std::vector<std::int64_t>& counts, double numerator, double denominator,
                                        readers::Offset offset) {
  double mean = 0.0;
  if (offset == readers::Offset::remove_mean) {
    __extension__ __int128 sum = 0;
    for (std::int64_t count : counts) sum += count;
    mean = static_cast<double>(sum) / static_cast<double>(counts.size());
  }
  std::vector<std::uint32_t> bits;
  for (std::int64_t count : counts) {
    bits.push_back(std::bit_cast<std::uint32_t>(
        static_cast<float>((static_cast<double>(count) - mean) * numerator / denominator)));
  }
  return bits;
}

std::vector<std::uint32_t> bits_of(const std::vector<float>& samples) {
  std::vector<std::uint32_t> bits;
  for (float sample : samples) bits.push_back(std::bit_cast<std::uint32_t>(sample));
  return bits;
}

struct JoinCase {
  const char* name;
  std::vector<std::int64_t> counts;
  double numerator;
  double denominator;
};

const JoinCase kJoins[] = {
    {"one_count", {-7}, 3920, 6182761},
    {"two_counts", {-7, 12}, 3920, 6182761},
    {"odd_length", {1, 2, 3, 4, 5, 6, 7, 8, 9}, 3920, 6182761},
    {"thirds", {1, 2, 4, 8, 16, 32, 64, 128, -255, 1000, -1000}, 1, 3},
    {"twelve_digits", {999999999999, -999999999999, 999999999998, 123456789012, -1, 0, 1}, 3920, 6182761},
    {"tiny_scale", {1, -1, 3, 400000, -400000, 7}, 1e-7, 3},
    {"large_offset", {8000000, 8000001, 7999999, 8000003, 7999998}, 9.80665, 1048576},
};

class KnetJoin : public ::testing::TestWithParam<JoinCase> {};

TEST_P(KnetJoin, SamplesAreTheOneSampleFormula) {
  const JoinCase& c = GetParam();
  const std::array<KnetFile, 3> files = {counts_file("X.NS", c.counts, c.numerator, c.denominator),
                                         counts_file("X.EW", c.counts, c.numerator, c.denominator),
                                         counts_file("X.UD", c.counts, c.numerator, c.denominator)};
  for (readers::Offset offset : {readers::Offset::remove_mean, readers::Offset::keep}) {
    const readers::Result<Record> joined = readers::join_knet_record("X", readers::Format::knet, files, offset);
    ASSERT_TRUE(std::holds_alternative<Record>(joined)) << readers::error_text(std::get<Error>(joined));
    const Record& record = std::get<Record>(joined);
    const std::vector<std::uint32_t> expected = formula_bits(c.counts, c.numerator, c.denominator, offset);
    EXPECT_EQ(bits_of(record.acc1), expected) << c.name;
    EXPECT_EQ(bits_of(record.acc3), expected) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, KnetJoin, ::testing::ValuesIn(kJoins),
                         [](const auto& info) { return std::string(info.param.name); });

// A sample beyond the single-precision range, or no number at all, is
// refused wherever it lies: first, in the middle, or last of an odd number
// (the one left over after the pairs).
TEST(KnetJoinRange, ASampleBeyondSinglePrecisionIsRefusedWhereverItLies) {
  for (std::size_t place : {0u, 3u, 6u}) {
    std::vector<std::int64_t> counts(7, 1);
    counts[place] = 999999999999;
    const KnetFile good = counts_file("X.NS", std::vector<std::int64_t>(7, 1), 1e27, 1);
    const std::array<KnetFile, 3> files = {good, counts_file("X.EW", counts, 1e27, 1), good};
    const readers::Result<Record> joined = readers::join_knet_record("X", readers::Format::knet, files,
                                                                     readers::Offset::keep);
    ASSERT_TRUE(std::holds_alternative<Error>(joined)) << place;
    EXPECT_EQ(std::get<Error>(joined).file, "X.EW");
    EXPECT_EQ(std::get<Error>(joined).message, "the scale factor 1e+27/1 gives accelerations beyond the "
                                               "single-precision range")
        << place;
  }
  // A file not from the reader may carry a scale that gives no number: with the mean removed, equal
  // counts give 0 x infinity, in the pairs and in the one left over.
  for (std::size_t length : {1u, 2u, 7u}) {
    const std::vector<std::int64_t> counts(length, 5);
    const std::array<KnetFile, 3> files = {counts_file("X.NS", counts, 1, 1),
                                           counts_file("X.EW", counts, std::numeric_limits<double>::infinity(), 1),
                                           counts_file("X.UD", counts, 1, 1)};
    const readers::Result<Record> joined = readers::join_knet_record("X", readers::Format::knet, files,
                                                                     readers::Offset::remove_mean);
    ASSERT_TRUE(std::holds_alternative<Error>(joined)) << length;
    EXPECT_EQ(std::get<Error>(joined).file, "X.EW");
    EXPECT_NE(std::get<Error>(joined).message.find("gives accelerations beyond the single-precision range"),
              std::string::npos)
        << length;
  }
}

}  // namespace
