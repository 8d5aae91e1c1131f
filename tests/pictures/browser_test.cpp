// The report and a record's picture as a person sees them: opened in
// headless Chromium, screenshotted, and the screenshots looked at. The
// screenshots stay in the build folder (tests/pictures/screenshots).
#include "pictures/pictures.h"
#include "tests/pictures/png_pixels.h"
#include "tests/pictures/screenshot.h"
#include "tests/pictures/synthetic_result.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace shindo::pictures {
namespace {

namespace fs = std::filesystem;

#if SHINDO_HAVE_PNG
using testing::screenshot;

struct Looks {
  std::size_t distinct_colours = 0;
  double not_white = 0.0;        // share of the pixels
  std::size_t of_colour = 0;     // pixels of exactly the colour looked for
};

Looks look_at(const testing::Pixels& image, std::string_view colour) {
  const int red = std::stoi(std::string(colour.substr(1, 2)), nullptr, 16);
  const int green = std::stoi(std::string(colour.substr(3, 2)), nullptr, 16);
  const int blue = std::stoi(std::string(colour.substr(5, 2)), nullptr, 16);
  Looks looks;
  std::set<std::uint32_t> colours;
  std::size_t not_white = 0;
  for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
    const int r = image.rgba[i], g = image.rgba[i + 1], b = image.rgba[i + 2];
    colours.insert(static_cast<std::uint32_t>(r << 16 | g << 8 | b));
    if (r < 250 || g < 250 || b < 250) ++not_white;
    if (r == red && g == green && b == blue) ++looks.of_colour;
  }
  looks.distinct_colours = colours.size();
  looks.not_white = static_cast<double>(not_white) / (static_cast<double>(image.rgba.size()) / 4);
  return looks;
}
#endif

TEST(Browser, ShowsTheReportAndARecordWithTheirClassColours) {
  SHINDO_REQUIRE_PNG();
#if SHINDO_HAVE_PNG
  if (std::string_view(SHINDO_CHROMIUM).empty()) GTEST_SKIP() << "chromium was not found when the build was configured";
  const fs::path folder = fs::path(SHINDO_PICTURES_OUTPUT) / "screenshots";
  fs::remove_all(folder);
  fs::create_directories(folder / "event");

  // Three records of different strength, one failed record, all with places.
  const struct {
    std::string name;
    double scale;
    GeoPoint place;
  } records[] = {{"KMM006 & co", 1.6, {32.74, 130.81}},
                 {"KMM008", 0.25, {32.90, 131.05}},
                 {"KMM010", 0.03, {33.10, 130.60}}};
  ReportInput report;
  report.title = "synthetic event";
  std::vector<std::string> colours;
  for (const auto& r : records) {
    const testing::SyntheticRecord record = testing::synthetic_record(6000, 0.01f, r.scale);
    const std::string station = r.name.substr(0, 6);
    const EventInfo event{.station_name = "\xE5\xAE\x87\xE5\x9F\x8E\xE5\xB8\x82\xE6\x9D\xBE\xE6\xA9\x8B\xE7\x94\xBA",  // Uki, Matsubase
                          .record_time = "2016-04-14T21:26:20+09:00"};
    const RecordPicture picture{.name = r.name, .station = station, .event = &event, .epicentre = GeoPoint{32.75, 130.76},
                                .record = {record.ns, record.ew, record.ud, record.dt}};
    testing::write_file(folder / "event" / (r.name + ".svg"), record_svg(picture, record.result));
    ReportRow row;
    row.record = r.name;
    row.format = "knet";
    row.station = station;
    row.latitude = r.place.latitude;
    row.longitude = r.place.longitude;
    row.epicentre = GeoPoint{32.75, 130.76};
    row.read = ReadRecord{.samples = 6000, .dt = record.dt};
    row.computed = ComputedRecord{.amax = record.result.amax, .a0 = record.result.a0, .intensity = record.result.shindo};
    row.picture = r.name + ".svg";
    report.rows.push_back(row);
    colours.emplace_back(class_colour(intensity_class(reported_tenths(record.result.shindo))));
  }
  ReportRow broken;
  broken.record = "broken";
  broken.format = "jma-csv";
  broken.error = "broken line 2: no SITE CODE";
  report.rows.push_back(broken);
  testing::write_file(folder / "event" / "report.html", report_html(report));
  ASSERT_EQ(std::set<std::string>(colours.begin(), colours.end()).size(), 3u) << "three classes to tell apart";

  const struct {
    fs::path page;
    std::string png;
    int width, height;
    std::vector<std::string> colours;
  } shots[] = {
      {folder / "event" / "report.html", "report.png", 1400, 1400, colours},
      {folder / "event" / "KMM006 & co.svg", "record.png", 1200, 1020, {colours[0]}},
  };
  for (const auto& shot : shots) {
    const fs::path png = folder / shot.png;
    const testing::RunResult run = screenshot(shot.page, png, shot.width, shot.height);
    ASSERT_TRUE(fs::exists(png)) << "exit " << run.exit_code << ", timed out " << run.timed_out << "\n" << run.err;
    const testing::Pixels image = testing::read_png(png);
    ASSERT_TRUE(image.error.empty()) << image.error;
    EXPECT_EQ(image.width, static_cast<std::uint32_t>(shot.width));
    for (const std::string& colour : shot.colours) {
      const Looks looks = look_at(image, colour);
      EXPECT_GT(looks.distinct_colours, 50u) << shot.png;
      EXPECT_GT(looks.not_white, 0.02) << shot.png;
      EXPECT_GT(looks.of_colour, 60u) << shot.png << " shows too little of " << colour;
    }
  }
#endif
}

// The page's script in Chromium: a click on a header sorts the table, again
// reverses it; with Leaflet beside the page and the first tile loaded (here
// an image that says it loaded, as no network is asked), each event's drawn
// map gives way to the live one, its stations and epicentre marked.
TEST(Browser, SortsTablesAndShowsTheLiveMapOnceATileLoads) {
  if (std::string_view(SHINDO_CHROMIUM).empty()) GTEST_SKIP() << "chromium was not found when the build was configured";
  const fs::path leaflet = SHINDO_LEAFLET_DIR;
  if (leaflet.empty()) GTEST_SKIP() << "Leaflet was not found when the build was configured";
  testing::TemporaryDirectory folder;
  fs::create_directories(folder.path / "leaflet");
  for (const char* file : {"leaflet.min.js", "leaflet.css"}) fs::copy_file(leaflet / file, folder.path / "leaflet" / file);

  ReportInput report;
  report.leaflet = "leaflet";
  const struct {
    const char* name;
    float intensity;
    GeoPoint place;
  } rows[] = {{"b", 5.2f, {32.70, 130.70}}, {"a", 3.1f, {32.90, 130.90}}, {"c", 6.1f, {32.80, 131.00}}};
  for (const auto& r : rows) {
    ReportRow row;
    row.record = r.name;
    row.latitude = r.place.latitude;
    row.longitude = r.place.longitude;
    row.epicentre = GeoPoint{32.75, 130.76};
    row.computed = ComputedRecord{.intensity = r.intensity};
    report.rows.push_back(row);
  }
  std::string page = report_html(report);
  // The tile "loads"; then the header "record" is clicked twice, "class" once.
  page.insert(page.find("<body>") + 6, R"(<script>//<![CDATA[
window.Image = function () { var self = {}; Object.defineProperty(self, 'src', {set: function () { setTimeout(function () { self.onload(); }, 0); }}); return self; };
//]]></script>)");
  page.insert(page.rfind("</body>"), R"(<script>//<![CDATA[
setTimeout(function () {
  var table = document.querySelector('table.records'), heads = table.tHead.rows[0].cells, seen = [];
  var order = function () { return Array.prototype.map.call(table.tBodies[0].rows, function (r) { return r.cells[0].textContent; }).join(''); };
  seen.push(order()); heads[0].click(); seen.push(order()); heads[0].click(); seen.push(order());
  heads[12].click(); seen.push(order());
  var section = document.querySelector('section.event');
  seen.push(section.querySelector('div.drawn-map').style.display, section.querySelector('div.live-map').style.display,
            section.querySelectorAll('path.leaflet-interactive').length, section.querySelectorAll('.star').length);
  document.body.setAttribute('data-seen', seen.join(' '));
}, 1000);
//]]></script>)");
  testing::write_file(folder.path / "report.html", page);
  const testing::RunResult run = testing::rendered_dom(folder.path / "report.html", 5000);
  const std::size_t at = run.out.find("data-seen=\"");
  ASSERT_NE(at, std::string::npos) << run.out.substr(0, 400) << run.err;
  EXPECT_EQ(run.out.substr(at + 11, run.out.find('"', at + 11) - at - 11), "cba abc cba abc none block 3 1");
}

}  // namespace
}  // namespace shindo::pictures
