// shindo-batch --output draws a picture of every computed record and the
// report of the run: no picture for a failed record, every link of the
// report leading to a picture that is there, each picture in the colour of
// the class its row reports.
#include "numtext/writing.h"
#include "pictures/pictures.h"
#include "tests/pictures/synthetic_result.h"
#include "tests/pictures/xml_query.h"
#include "tests/support/network_files.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace shindo::pictures {
namespace {

namespace fs = std::filesystem;

// A JMA CSV file of a synthetic record at 100 Hz.
std::string jma_file(double scale, const std::string& latitude, const std::string& longitude) {
  const testing::SyntheticRecord r = testing::synthetic_record(3000, 0.01f, scale);
  testing::JmaCsvContent content;
  content.latitude = latitude;
  content.longitude = longitude;
  for (std::size_t i = 0; i < r.ns.size(); ++i) {
    content.lines.push_back(numtext::shortest_text(r.ns[i]) + "," + numtext::shortest_text(r.ew[i]) + "," + numtext::shortest_text(r.ud[i]));
  }
  return testing::jma_csv_text(content);
}

// The CSV column `name` of every row, by record name.
std::map<std::string, std::string> column(const std::string& table, const std::string& name) {
  std::istringstream lines(table);
  std::string line;
  std::getline(lines, line);
  std::vector<std::string> header;
  std::istringstream heads(line);
  for (std::string cell; std::getline(heads, cell, ',');) header.push_back(cell);
  const auto at = static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  std::map<std::string, std::string> out;
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    if (at < cells.size()) out[cells[0]] = cells[at];
  }
  return out;
}

TEST(BatchPictures, EveryComputedRecordIsDrawnAndLinkedFromTheReport) {
  SHINDO_REQUIRE_LIBXML2();
  testing::TemporaryDirectory work;
  fs::create_directories(work.path / "in");
  testing::write_file(work.path / "in" / "strong.csv", jma_file(2.0, "32.7000", "130.8000"));
  testing::write_file(work.path / "in" / "weak.csv", jma_file(0.05, "33.1000", "131.2000"));
  testing::write_file(work.path / "in" / "broken.txt", "0.00 1 2\n0.01 3 4\n");  // no third component

  testing::RunRequest request;
  request.program = SHINDO_BATCH_BINARY;
  request.arguments = {"--output", "out", "in"};
  request.directory = work.path;
  const testing::RunResult run = testing::run_piped(request, "");
  EXPECT_EQ(run.exit_code, 1) << run.err;  // one record failed

  const fs::path out = work.path / "out";
  const auto classes = column(run.out, "class");
  const auto errors = column(run.out, "error");
  ASSERT_EQ(classes.size(), 3u) << run.out;
  EXPECT_FALSE(errors.at("in/broken.txt").empty());
  EXPECT_FALSE(fs::exists(out / "broken.txt.svg"));
  for (const std::string record : {"strong.csv", "weak.csv"}) {
    const testing::XmlDocument svg(testing::read_file(out / (record + ".svg")));
    ASSERT_TRUE(svg.well_formed()) << record << ": " << svg.error();
    const std::string label = classes.at("in/" + record);
    const std::string badge = svg.values("//svg:g[@id='class-badge']/svg:text").at(0);
    EXPECT_EQ(badge, "class " + label) << record;
    EXPECT_EQ(svg.values("//*[@id='record-name']").at(0), "in/" + record);
  }
  EXPECT_NE(classes.at("in/strong.csv"), classes.at("in/weak.csv"));

  const testing::XmlDocument html(testing::read_file(out / "report.html"));
  ASSERT_TRUE(html.well_formed()) << html.error();
  const auto links = html.values("//h:a/@href");
  EXPECT_EQ(links.size(), 4u);  // two rows, the summary's strongest record, the table
  for (const std::string& link : links) EXPECT_TRUE(fs::exists(out / link)) << link;
  // The two records name one epicentre: one event; the broken one none.
  EXPECT_EQ(html.values("//h:section[@id='event-1']//h:tbody/h:tr/h:td[1]"),
            (std::vector<std::string>{"in/strong.csv", "in/weak.csv"}));
  EXPECT_EQ(html.values("//h:section[@id='no-event']//h:tbody/h:tr/h:td[1]"), std::vector<std::string>{"in/broken.txt"});
  EXPECT_EQ(html.values("//h:section[@id='event-1']//svg:circle[@class='station']").size(), 2u);
  EXPECT_EQ(html.values("//h:section[@id='failed']//h:li").size(), 1u);

  // The table beside the page holds the rows of standard output.
  EXPECT_EQ(html.values("//h:a[@id='table-download']/@href"), std::vector<std::string>{"report.csv"});
  EXPECT_EQ(testing::read_file(out / "report.csv"), run.out);

  // Leaflet beside the page, when it was found at configure time.
  const std::string_view leaflet = SHINDO_LEAFLET_DIR;
  for (const std::string file : {"leaflet.min.js", "leaflet.css", "images/layers.png"}) {
    EXPECT_EQ(fs::exists(out / "leaflet" / file), !leaflet.empty()) << file;
    if (!leaflet.empty()) EXPECT_EQ(testing::read_file(out / "leaflet" / file), testing::read_file(fs::path(leaflet) / file));
  }
  EXPECT_EQ(html.values("//h:script/@src"),
            leaflet.empty() ? std::vector<std::string>{} : std::vector<std::string>{"leaflet/leaflet.min.js"});
  // Nothing left under a temporary name.
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

}  // namespace
}  // namespace shindo::pictures
