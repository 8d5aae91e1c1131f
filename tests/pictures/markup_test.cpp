// The building blocks of the pictures: escaped text, encoded links, class
// colours and readable text on them, round ticks and number texts.
#include "numtext/writing.h"
#include "pictures/pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace shindo::pictures {
namespace {

TEST(EscapedText, KeepsMarkupCharactersAndBrokenBytesOutOfTheMarkup) {
  const struct {
    std::string_view text;
    std::string_view escaped;
  } cases[] = {
      {"plain-name_01", "plain-name_01"},
      {"a&b", "a&amp;b"},
      {"<svg>", "&lt;svg&gt;"},
      {"say \"hi\" 'x'", "say &quot;hi&quot; &#39;x&#39;"},
      {"tab\tline\nend\r", "tab\tline\nend\r"},
      {std::string_view("nul\0x", 5), "nul\xEF\xBF\xBDx"},
      {"bell\x07", "bell\xEF\xBF\xBD"},
      {"\xE5\xAE\x87\xE5\x9F\x8E", "\xE5\xAE\x87\xE5\x9F\x8E"},     // 宇城, kept as it is
      {"\x82\xA0 sjis", "\xEF\xBF\xBD\xEF\xBF\xBD sjis"},          // Shift_JIS bytes are not UTF-8
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                    // an overlong '/'
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},    // a surrogate
      {"\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},    // U+FFFF, not a character
      {"cut \xE5\xAE", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},            // a sequence cut short
      {"\xF0\x9F\x8C\x8F", "\xF0\x9F\x8C\x8F"},                    // four bytes
  };
  for (const auto& c : cases) EXPECT_EQ(escape_xml(c.text), c.escaped) << c.text;
}

TEST(EncodedLink, KeepsFoldersAndEncodesEverythingElse) {
  const struct {
    std::string_view path;
    std::string_view url;
  } cases[] = {
      {"AOM0170806140843.svg", "AOM0170806140843.svg"},
      {"d/sub/ISKH012401011610.2.svg", "d/sub/ISKH012401011610.2.svg"},
      {"a b&c.svg", "a%20b%26c.svg"},
      {"event.tar.gz:x/y.svg", "event.tar.gz%3Ax/y.svg"},
      {"100%#?.svg", "100%25%23%3F.svg"},
      {"\xE5\xAE\x87.svg", "%E5%AE%87.svg"},
      {"q\"<'>.svg", "q%22%3C%27%3E.svg"},
  };
  for (const auto& c : cases) EXPECT_EQ(percent_encode_path(c.path), c.url) << c.path;
}

TEST(ClassColours, FollowTheAgencyGuideWithReadableText) {
  const struct {
    IntensityClass cls;
    std::string_view fill;
    std::string_view text;
  } cases[] = {
      {IntensityClass::c0, "#FFFFFF", "#000000"},       {IntensityClass::c1, "#F2F2FF", "#000000"},
      {IntensityClass::c2, "#00AAFF", "#000000"},       {IntensityClass::c3, "#0041FF", "#FFFFFF"},
      {IntensityClass::c4, "#FAE696", "#000000"},       {IntensityClass::c5_lower, "#FFE600", "#000000"},
      {IntensityClass::c5_upper, "#FF9900", "#000000"}, {IntensityClass::c6_lower, "#FF2800", "#000000"},
      {IntensityClass::c6_upper, "#A50021", "#FFFFFF"}, {IntensityClass::c7, "#B40068", "#FFFFFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(class_colour(c.cls), c.fill) << static_cast<int>(c.cls);
    EXPECT_EQ(text_colour_on(c.fill), c.text) << c.fill;
  }
  EXPECT_EQ(text_colour_on("#000000"), "#FFFFFF");
  EXPECT_EQ(text_colour_on("not a colour"), "#000000");
}

TEST(RoundTicks, AreMultiplesOfOneTwoOrFiveTimesAPowerOfTen) {
  const struct {
    double low, high;
    int target;
    double step;
    std::vector<std::string> labels;
  } cases[] = {
      {0, 300, 6, 50, {"0", "50", "100", "150", "200", "250", "300"}},
      {0, 0.7, 4, 0.2, {"0.0", "0.2", "0.4", "0.6"}},
      {0, 299.99, 10, 50, {"0", "50", "100", "150", "200", "250"}},
      {-150, 150, 4, 100, {"-100", "0", "100"}},
      {130.6, 131.2, 6, 0.1, {"130.6", "130.7", "130.8", "130.9", "131.0", "131.1", "131.2"}},
      {0, 0.35, 10, 0.05, {"0.00", "0.05", "0.10", "0.15", "0.20", "0.25", "0.30", "0.35"}},
      {5, 5, 4, 2, {"6", "8", "10"}},  // an empty range is widened to 5..10
      {0, std::numeric_limits<double>::infinity(), 4, 0.5, {"0.0", "0.5", "1.0"}},
  };
  for (const auto& c : cases) {
    const Ticks ticks = round_ticks(c.low, c.high, c.target);
    EXPECT_DOUBLE_EQ(ticks.step, c.step) << c.low << ".." << c.high;
    std::vector<std::string> labels;
    for (const double value : ticks.values) labels.push_back(numtext::fixed_text(value, ticks.decimals));
    EXPECT_EQ(labels, c.labels) << c.low << ".." << c.high;
  }
}

TEST(RoundTicks, UpToAValueEndAtTheFirstTickAboveIt) {
  const struct {
    double value;
    int target;
    double step, top;
  } cases[] = {
      {125.9082, 4, 50, 150}, {0.3, 5, 0.1, 0.3}, {99, 4, 50, 100}, {5, 4, 2, 6},
      {326.988, 2, 200, 400}, {0, 4, 0.5, 1},     {-3, 4, 0.5, 1},  {std::nan(""), 4, 0.5, 1},
  };
  for (const auto& c : cases) {
    const Ticks ticks = ticks_up_to(c.value, c.target);
    EXPECT_DOUBLE_EQ(ticks.step, c.step) << c.value;
    EXPECT_DOUBLE_EQ(ticks.values.front(), 0.0) << c.value;
    EXPECT_NEAR(ticks.values.back(), c.top, 1e-12) << c.value;
  }
}

}  // namespace
}  // namespace shindo::pictures
