#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "recio/run_end.h"
#include "recio/scanner.h"

namespace recio {
namespace {

struct NumberCase {
  std::string text;
  float value;
};

TEST(RealConversion, NumberFormsGiveTheirValue) {
  const NumberCase cases[] = {
      {"1e2", 100.0f}, {"1E2", 100.0f}, {"1d2", 100.0f}, {"1D2", 100.0f}, {"1.+2", 100.0f},
      {"100", 100.0f}, {".5", 0.5f}, {"+.5", 0.5f}, {"5.", 5.0f}, {"1.5-3", 1.5e-3f},
      {"-2.5E+1", -25.0f}, {"0012.50", 12.5f}, {"-.25d0", -0.25f}, {"0.01", 0.01f},
      {"1e-50", 0.0f}, {"1e-400", 0.0f}, {"0e99999", 0.0f},
      {"0.000000000000000000000000000000000000000000000000000000000001e60", 1.0f},
      {"3.4028234663852886e38", std::numeric_limits<float>::max()},
      // Rounded to double first: exactly halfway between two floats, then to even.
      {"1.00000005960464477539062500000000001", 1.0f},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.text);
    RealConversion result = convert_real(c.text);
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(result.value), std::bit_cast<std::uint32_t>(c.value));
  }
}

// Numbers of every length and scale, short ones (converted by one exact
// operation) and long ones alike, give the double nearest the text rounded to
// single precision, or fail as beyond the single range.
TEST(RealConversion, RandomNumbersGiveTheNearestDoubleRoundedToSingle) {
  std::mt19937_64 random(20261208);
  for (int n = 0; n < 200000; ++n) {
    std::string text = random() % 2 ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % 20);
    const int point = static_cast<int>(random() % (digits + 1));
    for (int j = 0; j < digits; ++j) {
      if (j == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 2) text += "E" + std::to_string(static_cast<int>(random() % 61) - 30);
    SCOPED_TRACE(text);
    const RealConversion result = convert_real(text);
    const double nearest_double = std::strtod(text.c_str(), nullptr);
    if (std::fabs(nearest_double) > 3.4028234663852886e38) {
      ASSERT_EQ(result.error, err::kRealOutOfRange);
      continue;
    }
    ASSERT_EQ(result.error, 0);
    const auto nearest = static_cast<float>(nearest_double);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(result.value), std::bit_cast<std::uint32_t>(nearest));
  }
}

TEST(RealConversion, NegativeZeroKeepsItsSign) {
  for (const char* text : {"-0", "-0.0e5", "-1e-50", "-1e-400"}) {
    SCOPED_TRACE(text);
    RealConversion result = convert_real(text);
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(result.value, 0.0f);
    EXPECT_TRUE(std::signbit(result.value));
  }
}

struct FailureCase {
  std::string text;
  int error;
};

TEST(RealConversion, MalformedAndOutOfRangeTextsGiveTheirNumbers) {
  const FailureCase cases[] = {
      {"abc", err::kRealSyntax}, {"1.2.3", err::kRealSyntax}, {"1e", err::kRealSyntax},
      {"1e+", err::kRealSyntax}, {"1-", err::kRealSyntax}, {".", err::kRealSyntax},
      {"-", err::kRealSyntax}, {"e5", err::kRealSyntax}, {"12x", err::kRealSyntax},
      {"1e5.0", err::kRealSyntax}, {"1e--2", err::kRealSyntax}, {"inf", err::kRealSyntax},
      {"0x10", err::kRealSyntax}, {std::string(261, '1'), err::kRealSyntax},
      {"1e39", err::kRealOutOfRange}, {"-1e39", err::kRealOutOfRange},
      {"3.4028235e38", err::kRealOutOfRange}, {"0.0001e312", err::kRealOutOfRange},
      {"1e6000", err::kRealExponentTooLarge}, {"-1.8e308", err::kRealExponentTooLarge},
      {"1e99999999999999999999", err::kRealExponentTooLarge},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(convert_real(c.text).error, c.error);
  }
}

}  // namespace
}  // namespace recio
