// Pictures of the real records when the shared folder is there: the
// console-format texts (time, NS, EW and UD) each drawn from its computed
// result; the network files through shindo-batch --output, one section per
// earthquake, small files, the land on the maps. Everything is left in the
// build folder (tests/pictures/real, tests/pictures/real-batch,
// tests/pictures/screenshots/real) to be looked at.
#include "pictures/pictures.h"
#include "tests/pictures/png_pixels.h"
#include "tests/pictures/screenshot.h"
#include "tests/pictures/xml_query.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

namespace shindo::pictures {
namespace {

namespace fs = std::filesystem;

struct TextRecord {
  std::vector<float> ns, ew, ud;
  float dt = 0.0f;
};

// Lines of four numbers: time, NS, EW, UD; the interval from the first two times.
TextRecord read_text_record(const fs::path& path) {
  TextRecord r;
  std::istringstream lines(testing::read_file(path));
  std::string line;
  std::vector<float> times;
  while (std::getline(lines, line)) {
    char* end = line.data();
    float values[4];
    for (float& v : values) v = std::strtof(end, &end);
    times.push_back(values[0]);
    r.ns.push_back(values[1]);
    r.ew.push_back(values[2]);
    r.ud.push_back(values[3]);
  }
  if (times.size() >= 2) r.dt = times[1] - times[0];
  return r;
}

TEST(RealRecords, AreDrawnSmallAndWellFormed) {
  SHINDO_REQUIRE_LIBXML2();
  const fs::path source = SHINDO_SOURCE_DIR "/../shared/data/real/converted";
  if (!fs::is_directory(source)) GTEST_SKIP() << "no real records at " << source;
  const fs::path out = fs::path(SHINDO_PICTURES_OUTPUT) / "real";
  fs::remove_all(out);
  fs::create_directories(out);
  ReportInput report;
  report.title = source.string();
  for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
    const std::string name = entry.path().stem().string();
    if (entry.path().extension() != ".txt" || name == "SUMMARY") continue;
    const TextRecord r = read_text_record(entry.path());
    const Intensity result = compute_intensity({r.ns, r.ew, r.ud, r.dt});
    ASSERT_EQ(result.fault, Fault::none) << name;
    const std::string station = name.substr(0, name.find('_'));
    const std::string svg = record_svg({.name = name, .station = station, .record = {r.ns, r.ew, r.ud, r.dt}}, result);
    EXPECT_LT(svg.size(), 200u * 1024u) << name;
    const testing::XmlDocument document(svg);
    EXPECT_TRUE(document.well_formed()) << name << ": " << document.error();
    EXPECT_EQ(document.values("//svg:g[@id='class-badge']/svg:rect/@fill").at(0),
              class_colour(intensity_class(reported_tenths(result.shindo))));
    testing::write_file(out / (name + ".svg"), svg);

    ReportRow row;
    row.record = name;
    row.format = "console";
    row.station = station;
    row.read = ReadRecord{.samples = static_cast<std::size_t>(result.samples), .dt = r.dt};
    for (std::size_t i = 0; i < r.ns.size(); ++i) {
      const double ns = r.ns[i], ew = r.ew[i], ud = r.ud[i];
      row.read->pga = std::max(row.read->pga, static_cast<float>(std::sqrt(ns * ns + ew * ew + ud * ud)));
    }
    row.computed = ComputedRecord{.amax = result.amax, .a0 = result.a0, .intensity = result.shindo};
    row.picture = name + ".svg";
    report.rows.push_back(row);
  }
  const std::string html = report_html(report);
  EXPECT_TRUE(testing::XmlDocument(html).well_formed());
  testing::write_file(out / "report.html", html);
}

// The stations of each earthquake of the shared records: the surface and
// borehole records of one KiK-net station; two networks' records of one
// earthquake with epicentres in other decimals; three earthquakes in
// Kumamoto within two days, their epicentres 0.1 to 0.3 degrees apart.
TEST(RealRecords, TheBatchReportHasOneSectionPerEarthquake) {
  SHINDO_REQUIRE_LIBXML2();
  const fs::path shared = SHINDO_SOURCE_DIR "/../shared/data/real";
  const std::vector<std::string> folders = {"jma_csv", "knet_gmprocess", "kiknet_datools", "kiknet_tkyh12_2011",
                                            "knet_aom2018_gmprocess"};
  for (const std::string& folder : folders) {
    if (!fs::is_directory(shared / folder)) GTEST_SKIP() << "no real records at " << shared / folder;
  }
  const fs::path out = fs::path(SHINDO_PICTURES_OUTPUT) / "real-batch";
  fs::remove_all(out);
  testing::RunRequest request;
  request.program = SHINDO_BATCH_BINARY;
  request.arguments = {"--running", "--output", out.string()};
  // The sanitizer build takes a while over fifteen real records with every picture.
  request.timeout = std::chrono::milliseconds(240000);
  for (const std::string& folder : folders) request.arguments.push_back((shared / folder).string());
  const testing::RunResult run = testing::run_piped(request, "");
  ASSERT_EQ(run.exit_code, 0) << run.err;

  const std::string page = testing::read_file(out / "report.html");
  EXPECT_LT(page.size(), 1024u * 1024u);
  const testing::XmlDocument html(page);
  ASSERT_TRUE(html.well_formed()) << html.error();
  std::set<std::multiset<std::string>> events;
  for (const std::string& id : html.values("//h:section[@class='event']/@id")) {
    const auto stations = html.values("//h:section[@id='" + id + "']//h:tbody/h:tr/h:td[3]");
    events.insert(std::multiset<std::string>(stations.begin(), stations.end()));
    // Each section with its map, the land on it.
    EXPECT_EQ(html.values("//h:section[@id='" + id + "']//svg:path[@id='" + id + "-map-land']").size(), 1u) << id;
  }
  const std::set<std::multiset<std::string>> expected = {
      {"ISKH01", "ISKH01"},  {"9CF"}, {"EA0", "AICH04"}, {"EED"}, {"9D2"}, {"TKYH12"},
      {"AOM002", "AOM003", "AOM004", "AOM005", "AOM007", "AOM008"}, {"AOM017"}};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(html.values("//h:section[@id='no-event']").size(), 0u);
  // Yonago's record gives no station place: listed under its map.
  EXPECT_EQ(html.values("//h:p[@class='not-drawn'][contains(., 'AA06EA01.csv')]").size(), 1u);
  for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
    if (entry.path().extension() == ".svg") EXPECT_LT(entry.file_size(), 200u * 1024u) << entry.path();
  }

#if SHINDO_HAVE_PNG
  if (std::string_view(SHINDO_CHROMIUM).empty()) GTEST_SKIP() << "chromium was not found when the build was configured";
  const fs::path shots = fs::path(SHINDO_PICTURES_OUTPUT) / "screenshots" / "real";
  fs::remove_all(shots);
  fs::create_directories(shots);
  // The top of the page: the summary and the first event's map, with land.
  const testing::RunResult shot = testing::screenshot(out / "report.html", shots / "report.png", 1400, 1800);
  ASSERT_TRUE(fs::exists(shots / "report.png")) << shot.err;
  const testing::Pixels image = testing::read_png(shots / "report.png");
  ASSERT_TRUE(image.error.empty()) << image.error;
  EXPECT_GT(testing::pixels_of(image, "#F3EFE2"), 20000u) << "no land on the maps";
  EXPECT_GT(testing::pixels_of(image, "#DDEBF5"), 20000u) << "no sea on the maps";
  for (const std::string record : {"ISKH012401011610.2", "AA06EA01.csv", "TKYH121103111446.2"}) {
    const testing::RunResult drawn = testing::screenshot(out / (record + ".svg"), shots / (record + ".png"), 1200, 1300);
    EXPECT_TRUE(fs::exists(shots / (record + ".png"))) << drawn.err;
  }
#endif
}

}  // namespace
}  // namespace shindo::pictures
