// The SVG image of a record, read back with an XML parser: what it draws
// where, against what the computation gives.
#include "numtext/writing.h"
#include "pictures/pictures.h"
#include "tests/pictures/synthetic_result.h"
#include "tests/pictures/xml_query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace shindo::pictures {
namespace {

using testing::synthetic_record;
using testing::SyntheticRecord;

RecordPicture picture_of(const SyntheticRecord& r, std::string_view name = "AOM0170806140843",
                         std::string_view station = "AOM017") {
  return RecordPicture{.name = name, .station = station, .record = {r.ns, r.ew, r.ud, r.dt}};
}

std::vector<double> numbers(const std::vector<std::string>& texts) {
  std::vector<double> out;
  for (const std::string& t : texts) out.push_back(std::stod(t));
  return out;
}

struct Point {
  double x = 0, y = 0;
};

std::vector<Point> points(const std::string& attribute) {
  std::vector<Point> out;
  std::istringstream in(attribute);
  std::string pair;
  while (in >> pair) {
    const auto comma = pair.find(',');
    out.push_back({std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1))});
  }
  return out;
}

// A step of 1, 2 or 5 x 10^k.
bool is_round(double step) {
  const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
  return std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9;
}

// The value at height `y` of an axis, from the positions of its first and last ticks.
double value_at(const std::vector<double>& tick_values, const std::vector<double>& tick_ys, double y) {
  const double share = (y - tick_ys.front()) / (tick_ys.back() - tick_ys.front());
  return tick_values.front() + share * (tick_values.back() - tick_values.front());
}

#if SHINDO_HAVE_LIBXML2
using testing::XmlDocument;
#endif

const struct {
  std::size_t samples;
  float dt;
  double scale;
} kRecords[] = {{2000, 0.01f, 1.0}, {6000, 0.005f, 3.7}, {60000, 0.01f, 0.2}, {700, 0.02f, 12.0}};

TEST(RecordPicture, DrawsAZeroLineTicksAndA0WhereTheComputationPutsThem) {
  SHINDO_REQUIRE_LIBXML2();
  for (const auto& c : kRecords) {
    const SyntheticRecord r = synthetic_record(c.samples, c.dt, c.scale);
    const XmlDocument svg(record_svg(picture_of(r), r.result));
    ASSERT_TRUE(svg.well_formed()) << svg.error();
    SCOPED_TRACE(std::to_string(c.samples) + " samples, scale " + std::to_string(c.scale));

    // The wave axis: round ticks from 0 to the first one at or above Amax.
    const std::string wave = "//svg:g[@id='wave-panel']";
    const auto label_values = numbers(svg.values(wave + "/svg:text[@class='ytick']"));
    const auto label_ys = numbers(svg.values(wave + "/svg:text[@class='ytick']/@y"));
    ASSERT_GE(label_values.size(), 3u);
    ASSERT_EQ(label_ys.size(), label_values.size());
    const double step = label_values[1] - label_values[0];
    EXPECT_TRUE(is_round(step)) << step;
    EXPECT_EQ(label_values.front(), 0.0);
    for (std::size_t i = 1; i < label_values.size(); ++i) {
      EXPECT_NEAR(label_values[i] - label_values[i - 1], step, step * 1e-9);
    }
    EXPECT_GE(label_values.back(), r.result.amax);
    EXPECT_LT(label_values.back() - step, r.result.amax);

    // A0 across the wave at its value on that axis (labels sit 4 units below their line).
    const auto a0_y = numbers(svg.values(wave + "/svg:line[@id='a0-line']/@y1"));
    ASSERT_EQ(a0_y.size(), 1u);
    EXPECT_NEAR(value_at(label_values, label_ys, a0_y[0] + 4), r.result.a0, label_values.back() * 0.001);
    EXPECT_EQ(svg.values(wave + "/svg:text[contains(., 'A0 ')]"),
              std::vector<std::string>{"A0 " + numtext::fixed_text(r.result.a0, 2) + " gal"});

    // Amax marked at the top of the wave's line.
    const auto amax_y = numbers(svg.values(wave + "/svg:circle[@id='amax-mark']/@cy"));
    ASSERT_EQ(amax_y.size(), 1u);
    EXPECT_NEAR(value_at(label_values, label_ys, amax_y[0] + 4), r.result.amax, label_values.back() * 0.001);
    const auto line = points(svg.values(wave + "/svg:polyline/@points").at(0));
    const auto top = std::min_element(line.begin(), line.end(), [](Point a, Point b) { return a.y < b.y; });
    EXPECT_NEAR(top->y, amax_y[0], 0.051);

    // Every sample above A0 is marked, at most one per pixel column.
    const std::size_t above =
        std::count_if(r.result.wave.begin(), r.result.wave.end(), [&](float v) { return v > r.result.a0; });
    const auto marks = svg.values(wave + "/svg:g[@id='above-a0']/svg:circle/@cx").size();
    EXPECT_GT(marks, 0u);
    EXPECT_LE(marks, std::min<std::size_t>(above, 1080));

    // The time labels run in round steps up to the record's length.
    const auto times = numbers(svg.values(wave + "/svg:text[@class='xtick']"));
    ASSERT_GE(times.size(), 3u);
    EXPECT_EQ(times.front(), 0.0);
    EXPECT_LE(times.back(), c.samples * static_cast<double>(c.dt) + 1e-9);
    EXPECT_EQ(round_ticks(0, c.samples * static_cast<double>(c.dt), 10).step, times[1] - times[0]);

    // The point A0 of the A0–τ curve sits at A0 on the level axis and above 0.3 s.
    const std::string tau = "//svg:g[@id='a0-tau-panel']";
    const auto level_labels = numbers(svg.values(tau + "/svg:text[@class='xtick']"));
    const auto level_xs = numbers(svg.values(tau + "/svg:text[@class='xtick']/@x"));
    const auto point_x = numbers(svg.values(tau + "/svg:circle[@id='a0-point']/@cx"));
    const auto point_y = numbers(svg.values(tau + "/svg:circle[@id='a0-point']/@cy"));
    const auto tau_y = numbers(svg.values(tau + "/svg:line[@id='tau-line']/@y1"));
    ASSERT_EQ(point_x.size(), 1u);
    EXPECT_NEAR(value_at(level_labels, level_xs, point_x[0]), r.result.a0, level_labels.back() * 0.001);
    EXPECT_LE(point_y[0], tau_y.at(0));
  }
}

TEST(RecordPicture, KeepsEveryPeakOfALongRecordInASmallFile) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(60000, 0.01f, 1.0);
  const std::string text = record_svg(picture_of(r), r.result);
  EXPECT_LT(text.size(), 300u * 1024u);
  const XmlDocument svg(text);
  ASSERT_TRUE(svg.well_formed()) << svg.error();
  const auto lines = svg.values("//svg:g[@class='component']/svg:polyline/@points");
  const auto peaks = svg.values("//svg:g[@class='component']/svg:circle[@class='peak']/@cy");
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_EQ(peaks.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const auto line = points(lines[i]);
    EXPECT_LE(line.size(), 2 * 1081u);
    // The peak |a| is the line's highest or lowest point.
    const auto [low, high] = std::minmax_element(line.begin(), line.end(), [](Point a, Point b) { return a.y < b.y; });
    const double peak = std::stod(peaks[i]);
    EXPECT_TRUE(std::fabs(low->y - peak) < 0.051 || std::fabs(high->y - peak) < 0.051) << i;
  }
}

TEST(RecordPicture, TitleNamesTheRecordAndShowsTheClassInItsColour) {
  SHINDO_REQUIRE_LIBXML2();
  const std::string very_long(400, 'x');
  const struct {
    double scale;
    std::string_view name;
    std::string_view station;
    std::string shown;  // the name as the parser reads it back
    std::string station_shown;
  } cases[] = {
      {1.0, "a&b <c> \"d\" 'e'", "AOM017", "a&b <c> \"d\" 'e'", "AOM017"},
      {0.001, "quiet", "", "quiet", "station unknown"},
      {12.0, "d/\xE5\xAE\x87\xE5\x9F\x8E.1", "\xE5\xAE\x87\xE5\x9F\x8E\xE5\xB8\x82", "d/\xE5\xAE\x87\xE5\x9F\x8E.1",
       "\xE5\xAE\x87\xE5\x9F\x8E\xE5\xB8\x82"},
      {3.0, "bad \x82\xA0 bytes", "x\x82", "bad \xEF\xBF\xBD\xEF\xBF\xBD bytes", "x\xEF\xBF\xBD"},
      {3.0, very_long, "x", std::string(90, 'x') + "\u2026", "x"},
  };
  for (const auto& c : cases) {
    const SyntheticRecord r = synthetic_record(3000, 0.01f, c.scale);
    const XmlDocument svg(record_svg(picture_of(r, c.name, c.station), r.result));
    ASSERT_TRUE(svg.well_formed()) << c.name << ": " << svg.error();
    EXPECT_EQ(svg.values("//*[@id='record-name']").at(0), c.shown);
    EXPECT_EQ(svg.values("//svg:text[@id='station-title']").at(0), c.station_shown);
    if (c.name != very_long) EXPECT_EQ(svg.values("/svg:svg/svg:title").at(0), c.shown);
    EXPECT_TRUE(svg.values("//svg:text[@id='event-line']").empty());
    const std::int32_t tenths = reported_tenths(r.result.shindo);
    const IntensityClass cls = intensity_class(tenths);
    EXPECT_EQ(svg.values("//svg:text[@id='record-summary']").at(0),
              "intensity " + numtext::shortest_text(r.result.shindo) + " \u00B7 reported " + numtext::reported_text(tenths));
    EXPECT_EQ(svg.values("//svg:g[@id='class-badge']/svg:rect/@fill").at(0), class_colour(cls));
    EXPECT_EQ(svg.values("//svg:g[@id='class-badge']/svg:rect/@stroke").at(0), "#808080");
    EXPECT_EQ(svg.values("//svg:g[@id='class-badge']/svg:text/@fill").at(0), text_colour_on(class_colour(cls)));
    EXPECT_EQ(svg.values("//svg:g[@id='class-badge']/svg:text").at(0), "class " + std::string(class_label(cls)));
  }
}

TEST(RecordPicture, TitleShowsTheStationNameTheRecordStartAndTheEvent) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(3000, 0.01f, 1.0);
  EventInfo noto{.station_name = "\xE7\x8F\xA0\xE6\xB4\xB2", .record_time = "2024-01-01T16:08:27+09:00",
                 .origin_time = "2024-01-01T16:10:09+09:00", .magnitude = 7.6, .depth_km = 16.0, .distance_km = 5.27};
  EventInfo bare{.station_name = "<&\">"};
  const struct {
    const EventInfo* event;
    std::optional<GeoPoint> epicentre;
    std::string station, record, event_line;
  } cases[] = {
      {&noto, GeoPoint{37.495, 137.27}, "ISKH01 \xE7\x8F\xA0\xE6\xB4\xB2",
       "d/ISKH012401011610.2 \u00B7 record start 2024-01-01T16:08:27+09:00",
       "M7.6 \u00B7 origin 2024-01-01T16:10:09+09:00 \u00B7 epicentre 37.4950\u00B0N 137.2700\u00B0E \u00B7 depth 16 km "
       "\u00B7 hypocentral distance 5.3 km"},
      {&bare, std::nullopt, "ISKH01 <&\">", "d/ISKH012401011610.2", ""},
      {nullptr, GeoPoint{-33.5, -70.25}, "ISKH01", "d/ISKH012401011610.2", "epicentre 33.5000\u00B0S 70.2500\u00B0W"},
  };
  for (const auto& c : cases) {
    RecordPicture picture = picture_of(r, "d/ISKH012401011610.2", "ISKH01");
    picture.event = c.event;
    picture.epicentre = c.epicentre;
    const XmlDocument svg(record_svg(picture, r.result));
    ASSERT_TRUE(svg.well_formed()) << svg.error();
    EXPECT_EQ(svg.values("//svg:text[@id='station-title']").at(0), c.station);
    EXPECT_EQ(svg.values("//svg:text[@id='record-line']").at(0), c.record);
    const auto event = svg.values("//svg:text[@id='event-line']");
    EXPECT_EQ(event.empty() ? "" : event[0], c.event_line);
  }
  // Japanese names need a font with their glyphs: one is named.
  EXPECT_NE(record_svg(picture_of(r), r.result).find("'Noto Sans CJK JP'"), std::string::npos);
}

TEST(RecordPicture, NamesThePanelsNsEwUdForEveryNetwork) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(1500, 0.01f, 1.0);
  const struct {
    std::array<std::string_view, 3> given;
    std::vector<std::string> shown;
  } cases[] = {
      {{"NS", "EW", "UD"}, {"NS", "EW", "UD"}},
      {{"N-S", "E-W", "U-D"}, {"NS", "EW", "UD"}},  // K-NET
      {{"1", "2", "3"}, {"NS", "EW", "UD"}},        // KiK-net at depth, the console text
      {{"4", "5", "6"}, {"NS", "EW", "UD"}},        // KiK-net at the surface
      {{"", "ew", "ud"}, {"NS", "EW", "UD"}},
      {{"N<S", "E&W", "\"UD\""}, {"N<S", "E&W", "\"UD\""}},
      {{"4", "4", "X"}, {"NS", "4", "X"}},           // a name in the wrong place is kept
  };
  for (const auto& c : cases) {
    RecordPicture picture = picture_of(r);
    picture.component_names = c.given;
    const XmlDocument svg(record_svg(picture, r.result));
    ASSERT_TRUE(svg.well_formed()) << svg.error();
    EXPECT_EQ(svg.values("//svg:g[@class='component']/svg:text[@font-weight='bold']"), c.shown);
  }
}

TEST(RecordPicture, IsSelfContainedAndTheSameBytesEveryTime) {
  const SyntheticRecord r = synthetic_record(4000, 0.01f, 1.0);
  const std::string first = record_svg(picture_of(r), r.result);
  EXPECT_EQ(first, record_svg(picture_of(r), r.result));
  for (const std::string_view outside : {"<script", "href", "url(", "@import", "<image", "<foreignObject"}) {
    EXPECT_EQ(first.find(outside), std::string::npos) << outside;
  }
}

TEST(RecordPicture, DrawsWhatAnIncompleteResultHolds) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord complete = synthetic_record(1000, 0.01f, 1.0);
  Intensity at_level_scan = complete.result;
  at_level_scan.fault = Fault::overflow;
  at_level_scan.stage = Stage::level_scan;
  at_level_scan.a0 = 0.0f;
  at_level_scan.shindo = 0.0f;
  Intensity at_spectrum;
  at_spectrum.fault = Fault::divide_by_zero;
  at_spectrum.stage = Stage::spectrum;
  const std::vector<float> nothing;
  const std::vector<float> with_nan = {1.0f, std::nanf(""), -2.0f, INFINITY};
  const struct {
    std::string_view what;
    RecordPicture picture;
    const Intensity* result;
    std::size_t wave_lines;
  } cases[] = {
      {"fault in the level scan", picture_of(complete), &at_level_scan, 1},
      {"fault in the spectrum, interval 0",
       RecordPicture{.name = "z", .station = "", .record = {complete.ns, complete.ew, complete.ud, 0.0f}}, &at_spectrum, 0},
      {"no samples", RecordPicture{.name = "empty", .station = "", .record = {nothing, nothing, nothing, 0.01f}}, &at_spectrum, 0},
      {"samples that are not numbers",
       RecordPicture{.name = "nan", .station = "", .record = {with_nan, with_nan, with_nan, NAN}}, &at_spectrum, 0},
  };
  for (const auto& c : cases) {
    const XmlDocument svg(record_svg(c.picture, *c.result));
    ASSERT_TRUE(svg.well_formed()) << c.what << ": " << svg.error();
    EXPECT_TRUE(svg.values("//svg:line[@id='a0-line']").empty()) << c.what;
    EXPECT_TRUE(svg.values("//svg:g[@id='class-badge']").empty()) << c.what;
    EXPECT_EQ(svg.values("//svg:g[@id='wave-panel']/svg:polyline").size(), c.wave_lines) << c.what;
    EXPECT_NE(svg.values("//svg:text[@id='record-summary']").at(0).find("not computed: "), std::string::npos)
        << c.what;
    for (const std::string& number : svg.values("//@*[name()='x' or name()='y' or name()='cx' or name()='cy']")) {
      EXPECT_EQ(number.find_first_not_of("-.0123456789"), std::string::npos) << c.what << ": " << number;
    }
  }
}

TEST(RecordPicture, DrawsTheRunningIntensityOverClassBandsWithAGapAtEachFault) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(3000, 0.01f, 1.0);
  // Steps of 1 s up to 30 s, -0.8 to 5.0; the windows ending at 12 s and 13 s stopped at a fault.
  std::vector<RunningPoint> steps;
  for (int k = 1; k <= 30; ++k) {
    steps.push_back({static_cast<double>(k), static_cast<float>(-1.0 + 0.2 * k), k != 12 && k != 13});
  }
  const struct {
    std::string_view what;
    std::span<const RunningPoint> running;
    std::string height;
    std::size_t lines;
    std::size_t bands;  // classes the axis crosses
  } cases[] = {
      {"no running intensity", {}, "1020", 0, 0},
      {"a gap in the middle", steps, "1300", 2, 6},       // 2 to 6: classes 2 .. 6-
      {"one step", std::span<const RunningPoint>(steps).first(1), "1300", 1, 4},  // -1 to 3: 0 .. 3
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordPicture picture = picture_of(r);
    picture.running = c.running;
    picture.running_window = 60.0;
    const XmlDocument svg(record_svg(picture, r.result));
    ASSERT_TRUE(svg.well_formed()) << svg.error();
    EXPECT_EQ(svg.values("/svg:svg/@height"), std::vector<std::string>{c.height});
    const std::string panel = "//svg:g[@id='running-panel']";
    EXPECT_EQ(svg.values(panel + "//svg:polyline[@class='running-line']").size(), c.lines);
    EXPECT_EQ(svg.values(panel + "/svg:rect[@class='class-band']").size(), c.bands);
    EXPECT_EQ(svg.values(panel + "/svg:rect[@class='class-strip']").size(), c.bands);
    if (c.running.empty()) continue;
    // Points in time order, none of a window with a fault; the highest marked.
    std::vector<Point> drawn;
    for (const std::string& line : svg.values(panel + "//svg:polyline[@class='running-line']/@points")) {
      for (const Point& p : points(line)) drawn.push_back(p);
    }
    EXPECT_EQ(drawn.size(), c.running.size() == 1 ? 1u : 28u);
    EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(), [](Point a, Point b) { return a.x < b.x; }));
    const std::vector<double> mark_x = numbers(svg.values(panel + "//svg:circle[@id='running-max']/@cx"));
    ASSERT_EQ(mark_x.size(), 1u);
    EXPECT_DOUBLE_EQ(mark_x[0], drawn.back().x);
  }
  // The strip: the full class colours, class 2 at the bottom, 6- on top.
  const XmlDocument svg(record_svg([&] {
    RecordPicture picture = picture_of(r);
    picture.running = steps;
    return picture;
  }(), r.result));
  const std::vector<std::string> fills = svg.values("//svg:rect[@class='class-strip']/@fill");
  ASSERT_EQ(fills.size(), 6u);
  EXPECT_EQ(fills.front(), class_colour(IntensityClass::c2));
  EXPECT_EQ(fills.back(), class_colour(IntensityClass::c6_lower));
  EXPECT_TRUE(svg.values("//svg:rect[@class='class-strip']/@fill-opacity").empty());
  EXPECT_EQ(svg.values("//svg:text[@class='class-label']"), (std::vector<std::string>{"2", "3", "4", "5-", "5+", "6-"}));
}

// The running panel's axis: from three classes under the strongest window
// (not below 0 unless the strongest is below 0, not below the weakest) to
// the class above the strongest, at least four classes tall.
TEST(RecordPicture, RunningAxisStartsAtTheLowestClassThatMatters) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(1500, 0.01f, 1.0);
  const struct {
    float weakest, strongest;
    double low, high;
  } cases[] = {
      {-5.0f, 6.2f, 3, 7},   // a quiet start under a strong record
      {4.6f, 5.9f, 3, 7},    // four classes tall under 7
      {-5.0f, 1.2f, 0, 4},   // not below 0
      {-3.0f, -0.5f, -3, 1}, // a record below 0 throughout
      {-0.4f, 6.8f, 3, 8},   // over 7
  };
  for (const auto& c : cases) {
    const std::vector<RunningPoint> steps = {{1.0, c.weakest, true}, {2.0, c.strongest, true}, {3.0, c.weakest, true}};
    RecordPicture picture = picture_of(r);
    picture.running = steps;
    const XmlDocument svg(record_svg(picture, r.result));
    const std::vector<double> ticks = numbers(svg.values("//svg:g[@id='running-panel']/svg:text[@class='ytick']"));
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front(), c.low) << c.weakest << " " << c.strongest;
    EXPECT_EQ(ticks.back(), c.high) << c.weakest << " " << c.strongest;
  }
}

// A text's box, from its place, size, anchor and length: as wide as 0.62 em
// a character (wider than DejaVu Sans's digits and letters), from an em
// above the baseline to a quarter em below.
struct Box {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool meets(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
};

TEST(RecordPicture, RunningPanelTextsLieClearOfTheCurveAndOfEachOther) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(6000, 0.01f, 1.0);
  // A curve that reaches the panel's top left and top right corners.
  std::vector<RunningPoint> steps;
  for (int k = 0; k <= 60; ++k) steps.push_back({static_cast<double>(k), k < 3 || k > 57 ? 6.9f : 2.0f + 0.05f * k, true});
  RecordPicture picture = picture_of(r);
  picture.running = steps;
  picture.running_window = 60.0;
  const XmlDocument svg(record_svg(picture, r.result));
  ASSERT_TRUE(svg.well_formed()) << svg.error();
  const std::string panel = "//svg:g[@id='running-panel']";

  // The curve is clipped to the frame: what shows of it lies in the box of
  // its points inside the clip.
  const std::vector<double> clip = numbers({svg.values(panel + "/svg:clipPath/svg:rect/@x").at(0),
                                            svg.values(panel + "/svg:clipPath/svg:rect/@y").at(0),
                                            svg.values(panel + "/svg:clipPath/svg:rect/@width").at(0),
                                            svg.values(panel + "/svg:clipPath/svg:rect/@height").at(0)});
  EXPECT_EQ(svg.values(panel + "/svg:g[@clip-path='url(#running-clip)']//svg:polyline").size(), 1u);
  Box curve{1e9, 1e9, -1e9, -1e9};
  for (const Point& p : points(svg.values(panel + "//svg:polyline[@class='running-line']/@points").at(0))) {
    curve = {std::min(curve.left, p.x), std::min(curve.top, p.y), std::max(curve.right, p.x), std::max(curve.bottom, p.y)};
  }
  curve = {std::max(curve.left, clip[0]), std::max(curve.top, clip[1]), std::min(curve.right, clip[0] + clip[2]),
           std::min(curve.bottom, clip[1] + clip[3])};
  curve.left -= 2, curve.top -= 2, curve.right += 2, curve.bottom += 2;  // the line's width and the mark

  const std::string texts = panel + "/svg:text[not(@transform)]";
  const std::size_t count = svg.values(texts).size();
  ASSERT_GT(count, 10u);
  std::vector<std::pair<std::string, Box>> boxes;
  for (std::size_t i = 1; i <= count; ++i) {
    const std::string text = "(" + texts + ")[" + std::to_string(i) + "]";
    const std::string content = svg.values(text).at(0);
    const double x = std::stod(svg.values(text + "/@x").at(0));
    const double y = std::stod(svg.values(text + "/@y").at(0));
    const double size = std::stod(svg.values(text + "/@font-size").at(0));
    const auto anchor = svg.values(text + "/@text-anchor");
    const double width = 0.62 * size * static_cast<double>(content.size());
    const double left = anchor.empty() ? x : anchor[0] == "middle" ? x - width / 2 : x - width;
    boxes.push_back({content, {left, y - size, left + width, y + 0.25 * size}});
  }
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_FALSE(boxes[i].second.meets(curve)) << boxes[i].first << " lies on the curve";
    for (std::size_t j = i + 1; j < boxes.size(); ++j) {
      EXPECT_FALSE(boxes[i].second.meets(boxes[j].second)) << boxes[i].first << " meets " << boxes[j].first;
    }
  }
  const auto title = std::find_if(boxes.begin(), boxes.end(), [](const auto& b) { return b.first.starts_with("running intensity"); });
  ASSERT_NE(title, boxes.end());
}


// The value at position `x` of a log axis, from its first and last ticks.
double log_value_at(const std::vector<double>& tick_values, const std::vector<double>& tick_xs, double x) {
  const double share = (x - tick_xs.front()) / (tick_xs.back() - tick_xs.front());
  return std::pow(10.0, std::log10(tick_values.front()) +
                            share * (std::log10(tick_values.back()) - std::log10(tick_values.front())));
}

TEST(RecordPicture, SpectrumPanelDrawsPsaAgainstTheLogPeriodAsComputed) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(3000, 0.01f, 1.5);
  const GroundMotion motion = compute_ground_motion({r.ns, r.ew, r.ud, r.dt});
  ASSERT_EQ(motion.fault, GroundMotionFault::none);
  const RunningPoint one_step[] = {{60.0, 4.5f, true}};
  const struct {
    const char* name;
    const GroundMotion* motion;
    std::span<const RunningPoint> running;
    const char* height;
  } cases[] = {{"no values", nullptr, {}, "1020"},
               {"values", &motion, {}, "1360"},
               {"values and running", &motion, one_step, "1640"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordPicture picture = picture_of(r);
    picture.ground_motion = c.motion;
    picture.running = c.running;
    const XmlDocument svg(record_svg(picture, r.result));
    ASSERT_TRUE(svg.well_formed()) << svg.error();
    EXPECT_EQ(svg.values("/svg:svg/@height"), std::vector<std::string>{c.height});
    EXPECT_EQ(svg.values("//svg:g[@id='spectra-panel']").size(), c.motion ? 1u : 0u);
    EXPECT_EQ(svg.values("//svg:g[@id='lp-badge']").size(), c.motion ? 1u : 0u);
  }

  RecordPicture picture = picture_of(r);
  picture.ground_motion = &motion;
  const XmlDocument svg(record_svg(picture, r.result));
  const std::string plot = "//svg:g[@id='psa-plot']";
  const auto x_values = numbers(svg.values(plot + "/svg:text[@class='xtick']"));
  const auto x_positions = numbers(svg.values(plot + "/svg:text[@class='xtick']/@x"));
  const auto y_values = numbers(svg.values(plot + "/svg:text[@class='ytick']"));
  const auto y_positions = numbers(svg.values(plot + "/svg:text[@class='ytick']/@y"));
  ASSERT_GE(x_values.size(), 5u);
  EXPECT_EQ(x_values.front(), 0.05);
  EXPECT_EQ(x_values.back(), 10.0);
  for (std::size_t c = 0; c < 2; ++c) {
    const std::vector<std::string> lines = svg.values(plot + "/svg:polyline[@id='psa-" + std::to_string(c + 1) + "']/@points");
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<Point> drawn = points(lines[0]);
    ASSERT_EQ(drawn.size(), motion.periods.size());
    const double y_span = y_values.back() - y_values.front();
    for (std::size_t p = 0; p < drawn.size(); ++p) {
      SCOPED_TRACE("component " + std::to_string(c) + ", period " + std::to_string(motion.periods[p]));
      // Coordinates have one decimal: a twentieth of a unit on a 480 x 240 plot.
      EXPECT_NEAR(log_value_at(x_values, x_positions, drawn[p].x) / motion.periods[p], 1.0, 0.002);
      // The y ticks' labels sit 4 units below their lines.
      EXPECT_NEAR(value_at(y_values, y_positions, drawn[p].y + 4), motion.spectra[c].psa[p], y_span / 2000);
    }
  }
  EXPECT_EQ(svg.values("//svg:polyline[@id='sva-1']").size(), 1u);
  EXPECT_EQ(svg.values("//svg:polyline[@id='sva-2']").size(), 1u);
}

TEST(RecordPicture, LongPeriodClassOnItsBadgeAndItsBandsUnderTheSva) {
  SHINDO_REQUIRE_LIBXML2();
  const SyntheticRecord r = synthetic_record(2000, 0.01f, 1.0);
  GroundMotion motion = compute_ground_motion({r.ns, r.ew, r.ud, r.dt});
  const struct {
    std::int32_t lp_class;
    const char* fill;
    const char* ink;
  } cases[] = {{0, "#FFFFFF", "#000000"}, {1, "#B4DCFF", "#000000"}, {2, "#FFE15A", "#000000"},
               {3, "#FF8C1E", "#000000"}, {4, "#D7003C", "#FFFFFF"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lp_class);
    motion.lp_class = c.lp_class;
    RecordPicture picture = picture_of(r);
    picture.ground_motion = &motion;
    const XmlDocument svg(record_svg(picture, r.result));
    const std::string badge = "//svg:g[@id='lp-badge']";
    EXPECT_EQ(svg.values(badge + "/svg:rect/@fill"), std::vector<std::string>{c.fill});
    EXPECT_EQ(svg.values(badge + "/svg:text"), (std::vector<std::string>{"long-period", "class " + std::to_string(c.lp_class)}));
    EXPECT_EQ(svg.values(badge + "/svg:text[2]/@fill"), std::vector<std::string>{c.ink});
    // Every class has its band, in its colour, stacked upwards.
    const std::string band = "//svg:g[@id='sva-plot']/svg:rect[@id='lp-band-" + std::to_string(c.lp_class) + "']";
    EXPECT_EQ(svg.values(band + "/@fill"), std::vector<std::string>{c.fill});
  }
  const XmlDocument svg(record_svg([&] {
    RecordPicture picture = picture_of(r);
    picture.ground_motion = &motion;
    return picture;
  }(), r.result));
  const auto band_tops = numbers(svg.values("//svg:rect[starts-with(@id, 'lp-band-')]/@y"));
  ASSERT_EQ(band_tops.size(), 5u);
  EXPECT_TRUE(std::is_sorted(band_tops.rbegin(), band_tops.rend()));
  // The bands span the class's periods, 1.6 to 7.8 s, and the largest sva is marked inside them.
  const std::string plot = "//svg:g[@id='sva-plot']";
  const auto x_values = numbers(svg.values(plot + "/svg:text[@class='xtick']"));
  const auto x_positions = numbers(svg.values(plot + "/svg:text[@class='xtick']/@x"));
  const double left = numbers(svg.values(plot + "/svg:rect[@id='lp-band-0']/@x")).at(0);
  const double width = numbers(svg.values(plot + "/svg:rect[@id='lp-band-0']/@width")).at(0);
  EXPECT_NEAR(log_value_at(x_values, x_positions, left), 1.6, 0.01);
  EXPECT_NEAR(log_value_at(x_values, x_positions, left + width), 7.8, 0.02);
  const double mark = numbers(svg.values(plot + "/svg:circle[@id='lp-max']/@cx")).at(0);
  EXPECT_NEAR(log_value_at(x_values, x_positions, mark) / motion.lp_period, 1.0, 0.002);
}

}  // namespace
}  // namespace shindo::pictures
