#include "numtext/writing.h"

#include <bit>
#include <cstdint>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "numtext/reading.h"

namespace numtext {
namespace {

TEST(ShortestText, ReadsBackAsTheSameValue) {
  const std::pair<float, const char*> floats[] = {
      {0.01f, "0.01"}, {125.9082f, "125.9082"}, {1e-05f, "1e-05"}, {5.0f, "5"},
      {-0.0f, "-0"},   {4.674445f, "4.674445"}, {73.40448f, "73.40448"}};
  for (const auto& [value, text] : floats) EXPECT_EQ(shortest_text(value), text) << text;
  const std::pair<double, const char*> doubles[] = {{40.6363, "40.6363"}, {139.9284, "139.9284"}, {0.1, "0.1"}};
  for (const auto& [value, text] : doubles) EXPECT_EQ(shortest_text(value), text) << text;
}

TEST(FixedText, RoundsHalfAwayFromZeroAndDropsTheSignOfZero) {
  const std::tuple<double, int, const char*> cases[] = {
      {73.40448, 2, "73.40"}, {-0.001, 1, "0.0"},  {-0.06, 1, "-0.1"},
      {2.25, 1, "2.3"},       {-2.25, 1, "-2.3"},  {0.05, 3, "0.050"},
      {-130.4, 0, "-130"},    {1e20, 0, "100000000000000000000"}, {-1e13, 1, "-10000000000000.0"}};
  for (const auto& [value, decimals, text] : cases) EXPECT_EQ(fixed_text(value, decimals), text) << value;
}

TEST(ReportedText, ShowsTenthsWithOneDecimal) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {51, "5.1"}, {50, "5.0"}, {0, "0.0"}, {-1, "-0.1"}, {-25, "-2.5"}, {70, "7.0"}, {-12, "-1.2"}};
  for (const auto& [tenths, text] : cases) EXPECT_EQ(reported_text(tenths), text) << tenths;
}

TEST(SecondsText, ShowsAsManyDecimalsAsTheInterval) {
  const std::tuple<double, float, const char*> cases[] = {
      {4800 * static_cast<double>(0.01f), 0.01f, "48"},   {100 * static_cast<double>(0.01f), 0.01f, "1"},
      {199 * static_cast<double>(0.005f), 0.005f, "0.995"}, {1250 * static_cast<double>(0.01f), 0.01f, "12.5"},
      {3 * static_cast<double>(0.2f), 0.2f, "0.6"},        {30000 * static_cast<double>(0.01f), 0.01f, "300"}};
  for (const auto& [seconds, dt, text] : cases) EXPECT_EQ(seconds_text(seconds, dt), text) << seconds;
}

// The console program's reading rounds twice (to double, then to float), so
// the shortest text of a float does not always read back: the text written
// for it must.
TEST(ConsoleNumber, ReadsBackThroughTheConsoleReading) {
  // Finite floats spread over every exponent, both signs, subnormals included.
  std::vector<float> values;
  for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32); bits += 104729u) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    if (std::isfinite(value)) values.push_back(value);
  }
  ASSERT_GT(values.size(), 10000u);
  for (const float value : values) {
    std::string text;
    append_console_number(text, value);
    const RealReading back = read_real(text);
    EXPECT_EQ(back.error, ReadError::none) << text;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(back.value), std::bit_cast<std::uint32_t>(value)) << text;
  }
  std::string plain;
  append_console_number(plain, -247.0f);
  EXPECT_EQ(plain, "-247");
}

TEST(E12_4Pair, IsTwoRightJustifiedFieldsEndedByCrLf) {
  const std::tuple<float, float, const char*> cases[] = {
      {0.01f, 125.9082f, "   .1000E-01   .1259E+03\r\n"},
      {0.0f, -1e-40f, "   .0000E+00  -.1000E-39\r\n"},
      {155.6f, 3e38f, "   .1556E+03   .3000E+39\r\n"}};
  for (const auto& [first, second, text] : cases) {
    std::string out;
    append_e12_4_pair(out, first, second);
    EXPECT_EQ(out, text);
  }
}

TEST(SampleTime, IsTheIndexTimesTheIntervalRoundedOnce) {
  EXPECT_EQ(sample_time(1, 0.01f), 0.0f);
  EXPECT_EQ(sample_time(3, 0.01f), static_cast<float>(2.0 * static_cast<double>(0.01f)));
  EXPECT_EQ(sample_time(4801, 0.01f), static_cast<float>(4800.0 * static_cast<double>(0.01f)));
}

}  // namespace
}  // namespace numtext
