#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "numtext/reading.h"

namespace numtext {
namespace {

struct NumberCase {
  std::string text;
  float value;
};

TEST(ReadReal, NumberFormsGiveTheirValue) {
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
    RealReading result = read_real(c.text);
    EXPECT_EQ(result.error, ReadError::none);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(result.value), std::bit_cast<std::uint32_t>(c.value));
  }
}

// Numbers of every length and scale, short ones (converted by one exact
// operation) and long ones alike, give the double nearest the text rounded to
// single precision, or fail as beyond the single range.
TEST(ReadReal, RandomNumbersGiveTheNearestDoubleRoundedToSingle) {
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
    const RealReading result = read_real(text);
    const double nearest_double = std::strtod(text.c_str(), nullptr);
    if (std::fabs(nearest_double) > 3.4028234663852886e38) {
      ASSERT_EQ(result.error, ReadError::out_of_range);
      continue;
    }
    ASSERT_EQ(result.error, ReadError::none);
    const auto nearest = static_cast<float>(nearest_double);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(result.value), std::bit_cast<std::uint32_t>(nearest));
  }
}

TEST(ReadReal, NegativeZeroKeepsItsSign) {
  for (const char* text : {"-0", "-0.0e5", "-1e-50", "-1e-400"}) {
    SCOPED_TRACE(text);
    RealReading result = read_real(text);
    EXPECT_EQ(result.error, ReadError::none);
    EXPECT_EQ(result.value, 0.0f);
    EXPECT_TRUE(std::signbit(result.value));
  }
}

struct FailureCase {
  std::string text;
  ReadError error;
};

TEST(ReadReal, MalformedAndOutOfRangeTextsGiveTheirReason) {
  const FailureCase cases[] = {
      {"abc", ReadError::not_a_number}, {"1.2.3", ReadError::not_a_number}, {"1e", ReadError::not_a_number},
      {"1e+", ReadError::not_a_number}, {"1-", ReadError::not_a_number}, {".", ReadError::not_a_number},
      {"-", ReadError::not_a_number}, {"e5", ReadError::not_a_number}, {"12x", ReadError::not_a_number},
      {"1e5.0", ReadError::not_a_number}, {"1e--2", ReadError::not_a_number}, {"inf", ReadError::not_a_number},
      {"0x10", ReadError::not_a_number}, {std::string(261, '1'), ReadError::not_a_number},
      {"1e39", ReadError::out_of_range}, {"-1e39", ReadError::out_of_range},
      {"3.4028235e38", ReadError::out_of_range}, {"0.0001e312", ReadError::out_of_range},
      {"1e6000", ReadError::exponent_too_large}, {"-1.8e308", ReadError::exponent_too_large},
      {"1e99999999999999999999", ReadError::exponent_too_large},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(read_real(c.text).error, c.error);
  }
}

}  // namespace
}  // namespace numtext
