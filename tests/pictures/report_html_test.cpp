// The HTML report of a run, read back with an XML parser: the summary, the
// order and colours of the table, the links to the pictures and the map.
#include "pictures/pictures.h"
#include "tests/pictures/synthetic_result.h"
#include "tests/pictures/xml_query.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace shindo::pictures {
namespace {

ReportRow computed_row(std::string record, float intensity, std::optional<GeoPoint> location = std::nullopt) {
  ReportRow row;
  row.record = std::move(record);
  row.format = "knet";
  row.station = "ST" + std::to_string(static_cast<int>(intensity * 10));
  if (location) {
    row.latitude = location->latitude;
    row.longitude = location->longitude;
  }
  row.read = ReadRecord{.samples = 30000, .dt = 0.01f, .pga = 300.5f};
  row.computed = ComputedRecord{.amax = 250.25f, .a0 = 120.125f, .intensity = intensity};
  row.picture = row.record + ".svg";
  return row;
}

ReportRow failed_row(std::string record, std::string error) {
  ReportRow row;
  row.record = std::move(record);
  row.format = "jma-csv";
  row.error = std::move(error);
  return row;
}

ReportInput event() {
  ReportInput report;
  report.title = "event <2016-04-14> & more";
  report.rows.push_back(computed_row("d/KMM0061604142126", 5.1538f, GeoPoint{32.7417, 130.8087}));
  report.rows.push_back(computed_row("a&b 1", 3.46f, GeoPoint{33.1, 131.2}));
  report.rows.push_back(failed_row("c.csv", "c.csv line 3: \"x\" is not a number"));
  report.rows.push_back(computed_row("event.tar.gz:KMM0081604142126", 6.71f, GeoPoint{32.8, 130.9}));
  report.rows.push_back(computed_row("tie-b", 3.46f));
  report.rows.push_back(computed_row("tie-a", 3.46f));
  report.rows.push_back(computed_row("quiet", 0.2f, GeoPoint{33.4, 130.4}));
  report.rows.back().picture.clear();
  report.rows.push_back(failed_row("b.NS", "b.NS line 18: the count of values is 7, not 30000"));
  for (ReportRow& row : report.rows) row.epicentre = GeoPoint{32.7417, 130.8087};
  return report;
}

TEST(Report, SummarisesTheRunAndListsTheStrongestFirst) {
  SHINDO_REQUIRE_LIBXML2();
  const testing::XmlDocument html(report_html(event()));
  ASSERT_TRUE(html.well_formed()) << html.error();
  const auto summary = html.values("//h:section[@id='summary']//h:li");
  ASSERT_EQ(summary.size(), 3u);
  EXPECT_EQ(summary[0], "Records: 8");
  EXPECT_EQ(summary[1], "Failed: 2");
  EXPECT_EQ(summary[2], "Highest intensity: 6.71 (reported 6.7, class 7) at event.tar.gz:KMM0081604142126, station "
                        "ST67 (32.8000\u00B0N, 130.9000\u00B0E)");
  EXPECT_EQ(html.values("//h:p[@class='run']").at(0), "event <2016-04-14> & more");

  const std::vector<std::string> order = {"event.tar.gz:KMM0081604142126",
                                          "d/KMM0061604142126",
                                          "a&b 1",
                                          "tie-a",
                                          "tie-b",
                                          "quiet",
                                          "b.NS",
                                          "c.csv"};
  EXPECT_EQ(html.values("//h:section[@id='records']//h:tbody/h:tr/h:td[1]"), order);
  EXPECT_EQ(html.values("//h:section[@id='records']//h:thead//h:th"),
            (std::vector<std::string>{"record", "format", "station", "latitude", "longitude", "samples", "dt", "pga",
                                      "amax", "a0", "intensity", "reported", "class", "error"}));

  const struct {
    std::size_t row;
    std::vector<std::string> cells;
    std::string style;
  } rows[] = {
      {1,
       {"d/KMM0061604142126", "knet", "ST51", "32.7417", "130.8087", "30000", "0.01", "300.5", "250.25", "120.125",
        "5.1538", "5.1", "5+", ""},
       "background:#FF9900;color:#000000"},
      {5, {"quiet", "knet", "ST2", "33.4", "130.4", "30000", "0.01", "300.5", "250.25", "120.125", "0.2", "0.2", "0", ""},
       "background:#FFFFFF;color:#000000"},
      {6, {"b.NS", "jma-csv", "", "", "", "", "", "", "", "", "", "", "", "b.NS line 18: the count of values is 7, not 30000"}, ""},
  };
  for (const auto& r : rows) {
    const std::string tr = "//h:section[@id='records']//h:tbody/h:tr[" + std::to_string(r.row + 1) + "]";
    EXPECT_EQ(html.values(tr + "/h:td"), r.cells) << r.row;
    const auto style = html.values(tr + "/h:td[@class='class']/@style");
    EXPECT_EQ(style.empty() ? "" : style[0], r.style) << r.row;
  }
  EXPECT_EQ(html.values("//h:section[@id='failed']//h:li"),
            (std::vector<std::string>{"b.NS: b.NS line 18: the count of values is 7, not 30000",
                                      "c.csv: c.csv line 3: \"x\" is not a number"}));
}

TEST(Report, LinksEveryPictureThatWasWrittenAndNothingElse) {
  SHINDO_REQUIRE_LIBXML2();
  const ReportInput report = event();
  testing::TemporaryDirectory folder;
  std::filesystem::create_directories(folder.path / "d");
  for (const ReportRow& row : report.rows) {
    if (!row.picture.empty()) testing::write_file(folder.path / row.picture, "<svg/>");
  }
  const testing::XmlDocument html(report_html(report));
  ASSERT_TRUE(html.well_formed()) << html.error();
  const auto links = html.values("//h:a/@href");
  EXPECT_EQ(links.size(), 6u);  // five pictures in the table, the strongest once more in the summary
  for (const std::string& link : links) {
    EXPECT_EQ(link.find(':'), std::string::npos) << link;  // relative, never read as a scheme
    std::string path;
    for (std::size_t i = 0; i < link.size(); ++i) {
      if (link[i] == '%') {
        path += static_cast<char>(std::stoi(link.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        path += link[i];
      }
    }
    EXPECT_TRUE(std::filesystem::exists(folder.path / path)) << link;
  }
  EXPECT_EQ(html.values("//h:a[@href='a%26b%201.svg']").size(), 1u);
  EXPECT_TRUE(html.values("//h:a[.='quiet' or .='b.NS' or .='c.csv']").empty());
}

TEST(Report, MapsTheStationsInTheirClassColoursAroundTheEpicentre) {
  SHINDO_REQUIRE_LIBXML2();
  const ReportInput report = event();
  const testing::XmlDocument html(report_html(report));
  ASSERT_TRUE(html.well_formed()) << html.error();
  const std::string map = "//h:section[@id='map']/svg:svg";
  // Drawn weakest first, so that the strongest lies on top.
  EXPECT_EQ(html.values(map + "/svg:circle[@class='station']/@fill"),
            (std::vector<std::string>{"#FFFFFF", "#0041FF", "#FF9900", "#B40068"}));
  EXPECT_EQ(html.values(map + "/svg:polygon[@class='epicentre']").size(), 1u);
  EXPECT_EQ(html.values(map + "/svg:circle[@class='legend']/@fill").size(), 10u);

  // East to the right, north up, and ticks in round degrees.
  const auto xs = html.values(map + "/svg:circle[@class='station']/@cx");
  const auto ys = html.values(map + "/svg:circle[@class='station']/@cy");
  EXPECT_LT(std::stod(xs[0]), std::stod(xs[3]));  // 130.4 E west of 130.9 E
  EXPECT_LT(std::stod(ys[0]), std::stod(ys[3]));  // 33.4 N north of 32.8 N
  const auto longitudes = html.values(map + "/svg:text[@class='xtick']");
  ASSERT_FALSE(longitudes.empty());
  EXPECT_EQ(longitudes.front(), "130.4\u00B0E");
  const auto latitudes = html.values(map + "/svg:text[@class='ytick']");
  EXPECT_EQ(latitudes.front(), "32.8\u00B0N");

  ReportInput unplaced = report;
  for (ReportRow& row : unplaced.rows) {
    row.latitude.reset();
    row.longitude.reset();
  }
  EXPECT_EQ(report_html(unplaced).find("id=\"map\""), std::string::npos);
}

TEST(Report, OfNoRecordsOrOnlyFailuresIsStillAPage) {
  SHINDO_REQUIRE_LIBXML2();
  const struct {
    ReportInput report;
    std::string highest;
  } cases[] = {
      {ReportInput{}, "Highest intensity: none (no record was computed)"},
      {ReportInput{"", {failed_row("x", "x line 1: empty")}}, "Highest intensity: none (no record was computed)"},
      {ReportInput{"", {computed_row("nan", NAN), computed_row("low", -0.4f)}},
       "Highest intensity: -0.4 (reported -0.4, class 0) at low, station ST-4"},
  };
  for (const auto& c : cases) {
    const std::string text = report_html(c.report);
    EXPECT_EQ(text, report_html(c.report));
    const testing::XmlDocument html(text);
    ASSERT_TRUE(html.well_formed()) << html.error();
    EXPECT_EQ(html.values("//h:section[@id='summary']//h:li[3]").at(0), c.highest);
    EXPECT_EQ(text.find("<script"), std::string::npos);
    EXPECT_EQ(text.find("http://www.w3.org/1999/xhtml\" lang"), text.find("http"));  // nothing else fetched
  }
}

}  // namespace
}  // namespace shindo::pictures
