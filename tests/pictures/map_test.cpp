// The drawn map: the box it chooses, the land inside its frame, the stars
// under the stations, one star per epicentre, hostile names kept as text,
// and, in headless Chromium, land that a person sees.
#include "pictures/map.h"
#include "tests/pictures/png_pixels.h"
#include "tests/pictures/screenshot.h"
#include "tests/pictures/xml_query.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <sstream>

namespace shindo::pictures {
namespace {

namespace fs = std::filesystem;

constexpr MapBox kJapan{122.0, 150.0, 24.0, 46.0};
constexpr MapBox kNoto{136.0, 138.0, 36.5, 38.0};
constexpr double kRadian = std::numbers::pi / 180.0;

// The numbers of an SVG path made of M, Z and coordinate pairs.
std::vector<double> path_numbers(std::string d) {
  std::replace_if(d.begin(), d.end(), [](char c) { return c == 'M' || c == 'Z' || c == ','; }, ' ');
  std::istringstream in(d);
  std::vector<double> numbers;
  for (double value = 0.0; in >> value;) numbers.push_back(value);
  return numbers;
}

TEST(MapBox, ShowsEveryPointPaddedWithAtLeastTheLeastSpanAndAShapeThatFits) {
  const struct {
    const char* what;
    std::vector<GeoPoint> points;
    double padding;
    MapBox expected;
  } cases[] = {
      {"two stations", {{34.0f, 135.0f}, {35.0f, 136.0f}}, 0.1, {134.9, 136.1, 33.9, 35.1}},
      {"one station: the least span about it", {{37.5f, 137.2f}}, 0.1, {136.7, 137.7, 37.0, 38.0}},
      {"points not on the earth left out", {{37.5f, 137.2f}, {NAN, 1.0f}, {95.0f, 10.0f}, {1.0f, INFINITY}}, 0.1,
       {136.7, 137.7, 37.0, 38.0}},
      // 4 degrees of latitude along one meridian: widened to 2 degrees of
      // latitude drawn, i.e. 2 / cos(35°) degrees of longitude.
      {"a line north to south widened east-west", {{33.0f, 135.0f}, {37.0f, 135.0f}}, 0.0,
       {135.0 - 1.0 / std::cos(35.0 * kRadian), 135.0 + 1.0 / std::cos(35.0 * kRadian), 33.0, 37.0}},
      {"nothing: the land's box", {}, 0.1, kJapan},
  };
  for (const auto& c : cases) {
    const MapBox box = map_box(c.points, c.padding);
    EXPECT_NEAR(box.west, c.expected.west, 1e-5) << c.what;
    EXPECT_NEAR(box.east, c.expected.east, 1e-5) << c.what;
    EXPECT_NEAR(box.south, c.expected.south, 1e-5) << c.what;
    EXPECT_NEAR(box.north, c.expected.north, 1e-5) << c.what;
  }
}

TEST(MapLand, StoredRingsLieInTheirBox) {
  const Coastline& land = coastline();
  ASSERT_FALSE(land.ring_ends.empty());
  EXPECT_EQ(static_cast<std::size_t>(land.ring_ends.back()) * 2, land.points.size());
  const auto most_x = static_cast<int>(std::lround((land.east - land.west) / land.unit));
  const auto most_y = static_cast<int>(std::lround((land.north - land.south) / land.unit));
  for (std::size_t i = 0; i + 1 < land.points.size(); i += 2) {
    ASSERT_TRUE(land.points[i] >= 0 && land.points[i] <= most_x && land.points[i + 1] >= 0 && land.points[i + 1] <= most_y)
        << "point " << i / 2;
  }
}

TEST(MapLand, IsDrawnInsideTheFrameAndOnlyWhereThereIsLand) {
  SHINDO_REQUIRE_LIBXML2();
#if SHINDO_HAVE_LIBXML2
  const struct {
    const char* what;
    MapBox box;
    std::size_t least_points;  // 0: open sea, no land path
    std::size_t most_bytes;
  } cases[] = {
      {"all of the stored land", kJapan, 2000, 150000},
      {"the Noto peninsula", kNoto, 100, 60000},
      {"a box across the land's edge", {145.0, 152.0, 40.0, 46.0}, 50, 60000},
      {"open sea south-east of Honshu", {144.0, 146.0, 30.0, 31.5}, 0, 20000},
  };
  for (const auto& c : cases) {
    const MapPicture map = draw_map({.box = c.box, .width = 900, .height = 900});
    const testing::XmlDocument doc(map.svg);
    ASSERT_TRUE(doc.well_formed()) << c.what << ": " << doc.error();
    EXPECT_LE(map.svg.size(), c.most_bytes) << c.what;
    const std::vector<std::string> paths = doc.values("//svg:path[@id='land']/@d");
    if (c.least_points == 0) {
      EXPECT_TRUE(paths.empty()) << c.what;
      EXPECT_EQ(map.layout.land_points, 0u) << c.what;
      continue;
    }
    ASSERT_EQ(paths.size(), 1u) << c.what;
    const std::vector<double> numbers = path_numbers(paths[0]);
    ASSERT_EQ(numbers.size(), 2 * map.layout.land_points) << c.what;
    EXPECT_GE(map.layout.land_points, c.least_points) << c.what;
    const MapLayout& frame = map.layout;
    for (std::size_t i = 0; i + 1 < numbers.size(); i += 2) {
      ASSERT_TRUE(numbers[i] >= frame.left - 0.05 && numbers[i] <= frame.right + 0.05 &&
                  numbers[i + 1] >= frame.top - 0.05 && numbers[i + 1] <= frame.bottom + 0.05)
          << c.what << ": point " << numbers[i] << "," << numbers[i + 1] << " outside the frame";
    }
    EXPECT_LE(frame.width, 900.0) << c.what;
    EXPECT_LE(frame.height, 900.0) << c.what;
  }
#endif
}

// An event on the Noto peninsula as two files give it, a surface and a
// borehole record at the epicentre, and stations around it.
struct NotoEvent {
  std::vector<MapStation> stations{
      {GeoPoint{37.50f, 137.27f}, 6.6f, "ISK002 surface", "ISK002"},
      {GeoPoint{37.50f, 137.27f}, 4.8f, "ISK002 borehole", ""},
      {GeoPoint{37.45f, 137.30f}, 5.7f, "ISK003", "ISK003"},
      {GeoPoint{37.30f, 136.80f}, 6.9f, "ISK005", "ISK005"},
      {GeoPoint{36.60f, 136.60f}, 4.1f, "ISK010", ""},
      {GeoPoint{37.40f, 137.10f}, std::nullopt, "ISK006 (failed)", ""},
      {std::nullopt, 5.4f, "Yonago: no coordinates", ""},
      {GeoPoint{35.40f, 133.30f}, 3.0f, "outside the box", ""},
  };
  std::vector<MapEpicentre> epicentres{
      {{37.495f, 137.270f}, "2024-01-01 16:10 M7.6"},
      {{37.500f, 137.260f}, "2024-01-01 16:10 M7.6"},
      {{37.200f, 136.700f}, "2024-01-01 16:18 M6.1"},
      {{34.000f, 131.000f}, "outside the box"},
  };
  MapPicture draw() const {
    return draw_map({.box = kNoto, .width = 720, .height = 560, .stations = stations, .epicentres = epicentres});
  }
};

TEST(MapMarks, StationsAreDrawnAboveTheStarsStrongestLastAndNoneIsCoveredByAStar) {
  SHINDO_REQUIRE_LIBXML2();
#if SHINDO_HAVE_LIBXML2
  const NotoEvent event;
  const MapPicture map = event.draw();
  const testing::XmlDocument doc(map.svg);
  ASSERT_TRUE(doc.well_formed()) << doc.error();

  // The marks in the SVG's order, read back from the markup.
  const std::vector<std::string> kinds = doc.values("//*[@class='epicentre' or @class='station']/@class");
  const auto first_station = std::find(kinds.begin(), kinds.end(), "station");
  EXPECT_EQ(std::find(first_station, kinds.end(), "epicentre"), kinds.end()) << "a star after a station";
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "station"), 6);

  // No star box holds the centre of a station drawn before it; and the test
  // is not empty: stations do lie inside a star's box.
  const std::vector<std::string> xs = doc.values("//svg:circle[@class='station']/@cx");
  const std::vector<std::string> ys = doc.values("//svg:circle[@class='station']/@cy");
  ASSERT_EQ(xs.size(), map.layout.stations.size());
  std::size_t under_a_star_box = 0;
  for (std::size_t s = 0; s < map.layout.stations.size(); ++s) {
    const MapMark& station = map.layout.stations[s];
    EXPECT_NEAR(std::stod(xs[s]), station.x, 0.051);
    EXPECT_NEAR(std::stod(ys[s]), station.y, 0.051);
    for (const MapMark& star : map.layout.epicentres) {
      if (std::fabs(station.x - star.x) <= star.radius && std::fabs(station.y - star.y) <= star.radius) ++under_a_star_box;
    }
  }
  EXPECT_GE(under_a_star_box, 2u);

  // Failed first, then weakest to strongest; fills say the same.
  std::vector<std::string> order;
  for (const MapMark& mark : map.layout.stations) order.emplace_back(event.stations[mark.index].title);
  EXPECT_EQ(order, (std::vector<std::string>{"ISK006 (failed)", "ISK010", "ISK002 borehole", "ISK003", "ISK002 surface",
                                             "ISK005"}));
  const std::vector<std::string> fills = doc.values("//svg:circle[@class='station']/@fill");
  EXPECT_EQ(fills.front(), "none");
  EXPECT_EQ(fills.back(), class_colour(IntensityClass::c7));

  // The borehole twin under the surface record shows as a ring around it.
  const auto mark_of = [&](std::string_view title) {
    return *std::find_if(map.layout.stations.begin(), map.layout.stations.end(),
                         [&](const MapMark& m) { return event.stations[m.index].title == title; });
  };
  EXPECT_GE(mark_of("ISK002 borehole").radius, mark_of("ISK002 surface").radius + 2.0);
  EXPECT_EQ(mark_of("ISK003").radius, mark_of("ISK002 surface").radius);

  // Not drawn: no coordinates, and outside the box.
  EXPECT_EQ(map.layout.not_drawn, (std::vector<std::size_t>{6, 7}));
#endif
}

TEST(MapMarks, EpicentresEqualWithinTheToleranceAreOneStar) {
  SHINDO_REQUIRE_LIBXML2();
#if SHINDO_HAVE_LIBXML2
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const struct {
    const char* what;
    std::vector<MapEpicentre> epicentres;
    std::vector<std::size_t> marks;  // the star each epicentre is drawn as
    std::vector<std::string> titles;
  } cases[] = {
      {"the same place twice", {{{37.5f, 137.27f}, "a"}, {{37.5f, 137.27f}, "a"}}, {0, 0}, {"a"}},
      {"0.01 degrees apart, two names", {{{37.5f, 137.27f}, "a"}, {{37.49f, 137.26f}, "b"}}, {0, 0}, {"a\nb"}},
      {"0.3 degrees apart", {{{37.5f, 137.27f}, "a"}, {{37.2f, 137.0f}, "b"}}, {0, 1}, {"a", "b"}},
      {"outside the box or not a place", {{{30.0f, 137.0f}, "x"}, {{NAN, 137.0f}, "y"}, {{37.5f, 137.27f}, "a"}},
       {kNone, kNone, 0}, {"a"}},
  };
  for (const auto& c : cases) {
    const MapPicture map = draw_map({.box = kNoto, .epicentres = c.epicentres});
    EXPECT_EQ(map.layout.epicentre_mark, c.marks) << c.what;
    EXPECT_EQ(map.layout.epicentres.size(), c.titles.size()) << c.what;
    const testing::XmlDocument doc(map.svg);
    ASSERT_TRUE(doc.well_formed()) << c.what << ": " << doc.error();
    EXPECT_EQ(doc.values("//svg:polygon[@class='epicentre']/svg:title"), c.titles) << c.what;
  }
#endif
}

TEST(MapMarks, HostileNamesStayText) {
  SHINDO_REQUIRE_LIBXML2();
#if SHINDO_HAVE_LIBXML2
  const std::string markup = "</title><script>alert(1)</script>&amp;\"'";
  const std::string broken = std::string("bad\xFF\xC0 bytes\x01\x1B end");
  const std::string long_name(5000, 'W');
  const std::vector<MapStation> stations{{GeoPoint{37.3f, 137.0f}, 5.0f, markup, markup},
                                         {GeoPoint{37.2f, 137.1f}, 4.0f, broken, broken},
                                         {GeoPoint{37.1f, 137.2f}, 3.0f, long_name, long_name}};
  const std::vector<MapEpicentre> epicentres{{{37.5f, 137.27f}, markup}};
  const MapPicture map = draw_map({.box = kNoto, .stations = stations, .epicentres = epicentres});
  const testing::XmlDocument doc(map.svg);
  ASSERT_TRUE(doc.well_formed()) << doc.error();
  EXPECT_TRUE(doc.values("//svg:script").empty());
  const std::string replaced = "bad\uFFFD\uFFFD bytes\uFFFD\uFFFD end";
  EXPECT_EQ(doc.values("//svg:circle/svg:title"), (std::vector<std::string>{long_name, replaced, markup}));
  EXPECT_EQ(doc.values("//svg:text[@class='tag']"), (std::vector<std::string>{long_name, replaced, markup}));
  EXPECT_EQ(doc.values("//svg:polygon/svg:title"), (std::vector<std::string>{markup}));
#endif
}

TEST(MapMarks, TheSameInputGivesTheSameBytes) {
  const NotoEvent event;
  EXPECT_EQ(event.draw().svg, event.draw().svg);
}

TEST(MapBrowser, ShowsLandSeaAndTheStationsAboveTheStar) {
  SHINDO_REQUIRE_PNG();
#if SHINDO_HAVE_PNG
  if (std::string_view(SHINDO_CHROMIUM).empty()) GTEST_SKIP() << "chromium was not found when the build was configured";
  const fs::path folder = fs::path(SHINDO_PICTURES_OUTPUT) / "screenshots" / "map";
  fs::create_directories(folder);
  const NotoEvent event;
  const struct {
    const char* name;
    MapPicture map;
    double least_land;  // share of the frame's pixels in the land's colour
    double least_sea;
  } shots[] = {
      {"japan", draw_map({.box = kJapan, .width = 900, .height = 900}), 0.10, 0.30},
      {"noto", event.draw(), 0.15, 0.30},
  };
  for (const auto& shot : shots) {
    const fs::path svg = folder / (std::string(shot.name) + ".svg");
    const fs::path png = folder / (std::string(shot.name) + ".png");
    testing::write_file(svg, shot.map.svg);
    const auto width = static_cast<int>(shot.map.layout.width);
    const auto height = static_cast<int>(shot.map.layout.height);
    const testing::RunResult run = testing::screenshot(svg, png, width, height);
    ASSERT_TRUE(fs::exists(png)) << "exit " << run.exit_code << ", timed out " << run.timed_out << "\n" << run.err;
    const testing::Pixels image = testing::read_png(png);
    ASSERT_TRUE(image.error.empty()) << image.error;
    const MapLayout& frame = shot.map.layout;
    const double frame_pixels = (frame.right - frame.left) * (frame.bottom - frame.top);
    EXPECT_GT(testing::pixels_of(image, "#F3EFE2") / frame_pixels, shot.least_land) << shot.name << ": too little land";
    EXPECT_GT(testing::pixels_of(image, "#DDEBF5") / frame_pixels, shot.least_sea) << shot.name << ": too little sea";
  }
  // The strongest station, drawn last, shows its class colour at its centre.
  const testing::Pixels noto = testing::read_png(folder / "noto.png");
  const MapMark& strongest = shots[1].map.layout.stations.back();
  const std::size_t at = (static_cast<std::size_t>(strongest.y) * noto.width + static_cast<std::size_t>(strongest.x)) * 4;
  char centre[8];
  std::snprintf(centre, sizeof centre, "#%02X%02X%02X", noto.rgba[at], noto.rgba[at + 1], noto.rgba[at + 2]);
  EXPECT_EQ(std::string(centre), class_colour(IntensityClass::c7));
#endif
}

}  // namespace
}  // namespace shindo::pictures
