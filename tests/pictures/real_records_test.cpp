// Pictures of the real records (console-format texts of time, NS, EW and UD)
// when the shared folder is there: each one drawn from its computed result,
// read back with the XML parser, and left with a report in the build folder
// (tests/pictures/real) to be looked at.
#include "pictures/pictures.h"
#include "tests/pictures/xml_query.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
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
    EXPECT_LT(svg.size(), 300u * 1024u) << name;
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

}  // namespace
}  // namespace shindo::pictures
