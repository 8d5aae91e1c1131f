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
  ASSERT_EQ(summary.size(), 4u);
  EXPECT_EQ(summary[0], "Records: 8");
  EXPECT_EQ(summary[1], "Failed: 2");
  EXPECT_EQ(summary[2], "Highest intensity: 6.71 (reported 6.7, class 7) at event.tar.gz:KMM0081604142126, station "
                        "ST67 (32.8000\u00B0N, 130.9000\u00B0E)");
  EXPECT_EQ(summary[3], "Events: 1");
  EXPECT_EQ(html.values("//h:p[@class='run']").at(0), "event <2016-04-14> & more");

  const std::vector<std::string> order = {"event.tar.gz:KMM0081604142126",
                                          "d/KMM0061604142126",
                                          "a&b 1",
                                          "tie-a",
                                          "tie-b",
                                          "quiet",
                                          "b.NS",
                                          "c.csv"};
  EXPECT_EQ(html.values("//h:section[@id='event-1']//h:tbody/h:tr/h:td[1]"), order);
  EXPECT_EQ(html.values("//h:section[@id='event-1']//h:thead//h:th"),
            (std::vector<std::string>{"record", "format", "station", "latitude", "longitude", "samples", "dt", "pga",
                                      "amax", "a0", "intensity", "reported", "class", "error", "station_name",
                                      "record_time", "origin_time", "magnitude", "event_latitude", "event_longitude",
                                      "depth_km", "distance_km"}));

  const struct {
    std::size_t row;
    std::vector<std::string> cells;
    std::string style;
  } rows[] = {
      {1,
       {"d/KMM0061604142126", "knet", "ST51", "32.7417", "130.8087", "30000", "0.01", "300.5", "250.25", "120.125",
        "5.1538", "5.1", "5+", "", "", "", "", "", "32.7417", "130.8087", "", ""},
       "background:#FF9900;color:#000000"},
      {5, {"quiet", "knet", "ST2", "33.4", "130.4", "30000", "0.01", "300.5", "250.25", "120.125", "0.2", "0.2", "0", "", "",
           "", "", "", "32.7417", "130.8087", "", ""},
       "background:#FFFFFF;color:#000000"},
      {6, {"b.NS", "jma-csv", "", "", "", "", "", "", "", "", "", "", "", "b.NS line 18: the count of values is 7, not 30000",
           "", "", "", "", "32.7417", "130.8087", "", ""},
       ""},
  };
  for (const auto& r : rows) {
    const std::string tr = "//h:section[@id='event-1']//h:tbody/h:tr[" + std::to_string(r.row + 1) + "]";
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
  const std::string map = "//h:section[@id='event-1']//svg:svg[@class='map']";
  // Drawn weakest first, so that the strongest lies on top.
  EXPECT_EQ(html.values(map + "/svg:circle[@class='station']/@fill"),
            (std::vector<std::string>{"#FFFFFF", "#0041FF", "#FF9900", "#B40068"}));
  EXPECT_EQ(html.values(map + "/svg:polygon[@class='epicentre']").size(), 1u);
  EXPECT_EQ(html.values("//h:div[@id='legend']//svg:circle[@class='legend']/@fill").size(), 10u);
  // Stations above the star, the land under both.
  EXPECT_EQ(html.values(map + "/svg:polygon[@class='epicentre']/following-sibling::svg:circle[@class='station']").size(), 4u);
  EXPECT_EQ(html.values(map + "/svg:path[@id='event-1-map-land']").size(), 1u);

  // East to the right, north up, and ticks in round degrees.
  const auto xs = html.values(map + "/svg:circle[@class='station']/@cx");
  const auto ys = html.values(map + "/svg:circle[@class='station']/@cy");
  EXPECT_LT(std::stod(xs[0]), std::stod(xs[3]));  // 130.4 E west of 130.9 E
  EXPECT_LT(std::stod(ys[0]), std::stod(ys[3]));  // 33.4 N north of 32.8 N
  // The stations without a place listed under the map.
  EXPECT_EQ(html.values("//h:section[@id='event-1']//h:p[@class='not-drawn']").at(0),
            "Not on the map (no place given): tie-a (ST34), class 3; tie-b (ST34), class 3; b.NS failed; c.csv failed");

  ReportInput unplaced = report;
  for (ReportRow& row : unplaced.rows) {
    row.latitude.reset();
    row.longitude.reset();
  }
  // Without stations' places, the epicentre alone, every record listed.
  const testing::XmlDocument epicentre_only(report_html(unplaced));
  EXPECT_EQ(epicentre_only.values(map + "/svg:polygon[@class='epicentre']").size(), 1u);
  EXPECT_EQ(epicentre_only.values(map + "/svg:circle[@class='station']").size(), 0u);
  EXPECT_NE(epicentre_only.values("//h:p[@class='not-drawn']").at(0).find("quiet (ST2), class 0"), std::string::npos);
  for (ReportRow& row : unplaced.rows) row.epicentre.reset();
  EXPECT_EQ(report_html(unplaced).find("class=\"map\""), std::string::npos);
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
    EXPECT_EQ(html.values("//h:script").size(), 1u);  // the sorting, nothing fetched
  }
}

// A computed row of an event: its origin time, epicentre, magnitude, depth
// and distance as the headers give them.
ReportRow event_row(std::string record, float intensity, std::string origin, std::optional<GeoPoint> epicentre,
                    std::optional<double> distance = std::nullopt, std::optional<GeoPoint> place = std::nullopt) {
  ReportRow row = computed_row(std::move(record), intensity, place);
  row.event.origin_time = std::move(origin);
  row.epicentre = epicentre;
  row.event.magnitude = 6.5;
  row.event.depth_km = 11.0;
  row.event.distance_km = distance;
  return row;
}

TEST(Report, SetsEventsApartBySameOriginTimeAndEpicentre) {
  SHINDO_REQUIRE_LIBXML2();
  const GeoPoint kumamoto{32.7417, 130.8087};
  const GeoPoint tottori{35.2733, 133.3483};
  ReportInput report;
  report.rows = {
      event_row("uki", 5.74f, "2016-04-14T21:26:34+09:00", kumamoto, 12.4, GeoPoint{32.6476, 130.6842}),
      // another network: the minute of the origin, the epicentre in other decimals
      event_row("kmm006", 6.5f, "2016-04-14T21:26:00+09:00", GeoPoint{32.742, 130.809}, 8.1, GeoPoint{32.79, 130.82}),
      event_row("kmm006-b", 5.4f, "2016-04-14T12:26:34Z", kumamoto, 8.2),  // no place: listed under the map
      // the same place two days later: another event
      event_row("uki-16", 6.0f, "2016-04-16T01:25:05+09:00", GeoPoint{32.7545, 130.7630}),
      // only an epicentre, only an origin time
      event_row("yonago", 5.15f, "", tottori),
      event_row("aich04", 2.3f, "", GeoPoint{35.278, 133.345}),
      event_row("noto", 6.25f, "2024-01-01T16:10:09+09:00", std::nullopt),
      computed_row("plain", 3.0f, GeoPoint{33.0, 131.0}),
      failed_row("broken", "broken line 2: no SITE CODE"),
  };
  const ReportRow failed_of_event = [&] {
    ReportRow row = failed_row("uki-2", "uki-2 line 9: not a number");
    row.event.origin_time = "2016-04-14T21:26:34+09:00";
    return row;
  }();
  report.rows.push_back(failed_of_event);

  const testing::XmlDocument html(report_html(report));
  ASSERT_TRUE(html.well_formed()) << html.error();
  const struct {
    std::string id;
    std::string heading;
    std::vector<std::string> records;
    std::size_t distance_points;
  } sections[] = {
      {"event-1",
       "Event 1: M6.5 \u00B7 origin 2016-04-14T21:26:00+09:00 \u00B7 epicentre 32.7420\u00B0N 130.8090\u00B0E \u00B7 depth 11 km",
       {"kmm006", "uki", "kmm006-b", "uki-2"}, 3},
      {"event-2",
       "Event 2: M6.5 \u00B7 origin 2016-04-16T01:25:05+09:00 \u00B7 epicentre 32.7545\u00B0N 130.7630\u00B0E \u00B7 depth 11 km",
       {"uki-16"}, 0},
      {"event-3", "Event 3: M6.5 \u00B7 origin 2024-01-01T16:10:09+09:00 \u00B7 depth 11 km", {"noto"}, 0},
      {"event-4", "Event 4: M6.5 \u00B7 epicentre 35.2780\u00B0N 133.3450\u00B0E \u00B7 depth 11 km", {"yonago", "aich04"}, 0},
      {"no-event", "Records without event information", {"plain", "broken"}, 0},
  };
  EXPECT_EQ(html.values("//h:section[@class='event']/@id").size(), std::size(sections));
  for (const auto& s : sections) {
    const std::string section = "//h:section[@id='" + s.id + "']";
    EXPECT_EQ(html.values(section + "/h:h2").at(0), s.heading);
    EXPECT_EQ(html.values(section + "//h:tbody/h:tr/h:td[1]"), s.records) << s.id;
    EXPECT_EQ(html.values(section + "//svg:svg[@class='distance']/svg:circle[@class='distance-point']").size(),
              s.distance_points)
        << s.id;
  }
  // The heading tells what the first record by name tells. One star for the
  // two epicentres of one event; the dots in class colours along a log axis
  // of two decades, the nearer left, the strongest drawn last.
  EXPECT_EQ(html.values("//h:section[@id='event-1']//svg:polygon[@class='epicentre']").size(), 1u);
  EXPECT_EQ(html.values("//h:section[@id='event-1']//h:p[@class='not-drawn']").at(0),
            "Not on the map (no place given): kmm006-b (ST54), class 5+; uki-2 failed");
  const std::string dots = "//h:section[@id='event-1']//svg:circle[@class='distance-point']";
  EXPECT_EQ(html.values(dots + "/@fill"), (std::vector<std::string>{"#FF9900", "#FF2800", "#B40068"}));
  const auto xs = html.values(dots + "/@cx");
  EXPECT_GT(std::stod(xs[1]), std::stod(xs[2]));  // 12.4 km right of 8.1 km
  EXPECT_NEAR(std::stod(xs[0]) - std::stod(xs[2]), (std::log10(8.2) - std::log10(8.1)) * 620.0 / 2, 0.1);
  const auto ticks = html.values("//h:section[@id='event-1']//svg:svg[@class='distance']/svg:text[@class='xtick']");
  EXPECT_EQ(ticks, (std::vector<std::string>{"1", "2", "5", "10", "20", "50", "100"}));
  EXPECT_EQ(html.values("//h:section[@id='summary']//h:li[4]").at(0), "Events: 4, and records without event information");
}

TEST(Report, TableHasTheRunningAndGroundMotionColumnsWhenAnyRowHasThem) {
  SHINDO_REQUIRE_LIBXML2();
  ReportRow plain = computed_row("plain", 4.0f);
  ReportRow running = plain;
  running.record = "running";
  running.strongest = StrongestWindow{4.25f, 61.0};
  ReportRow ground = plain;
  ground.record = "ground";
  ground.ground = GroundMotionValues{.pga = {120.5, 98.25, 40.0}, .pga_h = 130.0, .pgv = {10.5, 9.0, 3.25},
                                     .pgv_h = 12.0, .si = 11.5, .sva_max = 30.0, .sva_period = 2.5, .lp_class = 2};
  const std::vector<std::string> base = {"record", "format", "station", "latitude", "longitude", "samples", "dt",
                                         "pga", "amax", "a0", "intensity", "reported", "class"};
  const std::vector<std::string> motion = {"pga_ns", "pga_ew", "pga_ud", "pga_h", "pgv_ns", "pgv_ew", "pgv_ud",
                                           "pgv_h", "si", "sva_max", "sva_period", "lp_class"};
  const auto joined = [](std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const struct {
    std::vector<ReportRow> rows;
    std::vector<std::string> header;
    std::vector<std::string> last_cells;  // of the row named last in `rows`
  } cases[] = {
      {{plain}, joined({base, {"error"}}), {"4", "4.0", "4", ""}},
      {{plain, running}, joined({base, {"running_max", "running_max_time", "error"}}), {"4.0", "4", "4.25", "61", ""}},
      {{ground, plain}, joined({base, {"error"}, motion}), {"4", "", "", "", "", "", "", "", "", "", "", "", "", ""}},
      {{plain, ground}, joined({base, {"error"}, motion}),
       {"4", "", "120.5", "98.25", "40", "130", "10.5", "9", "3.25", "12", "11.5", "30", "2.5", "2"}},
  };
  for (const auto& c : cases) {
    const testing::XmlDocument html(report_html(ReportInput{"", c.rows}));
    ASSERT_TRUE(html.well_formed()) << html.error();
    EXPECT_EQ(html.values("//h:thead//h:th"), c.header);
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      if (c.rows[i].record != c.rows.back().record) continue;
      cells = html.values("//h:tbody/h:tr[h:td[1]='" + c.rows.back().record + "']/h:td");
    }
    ASSERT_GE(cells.size(), c.last_cells.size());
    EXPECT_EQ(std::vector<std::string>(cells.end() - static_cast<std::ptrdiff_t>(c.last_cells.size()), cells.end()),
              c.last_cells)
        << c.rows.back().record;
  }
}

// Every link and source of the page: relative, or the tiles and their
// attribution inside the live map's script, which only runs with Leaflet.
TEST(Report, FetchesNothingButLeafletBesideItAndTheTilesWhenOnline) {
  SHINDO_REQUIRE_LIBXML2();
  ReportInput report = event();
  const struct {
    std::string leaflet, table;
    std::vector<std::string> sources;
    std::size_t scripts;
  } cases[] = {
      {"", "", {}, 1},
      {"", "report.csv", {}, 1},
      {"leaflet", "report.csv", {"leaflet/leaflet.min.js"}, 3},
      {"lib/leaf let", "", {"lib/leaf%20let/leaflet.min.js"}, 3},
  };
  for (const auto& c : cases) {
    report.leaflet = c.leaflet;
    report.table_file = c.table;
    const std::string text = report_html(report);
    const testing::XmlDocument html(text);
    ASSERT_TRUE(html.well_formed()) << html.error();
    EXPECT_EQ(html.values("//h:script/@src"), c.sources);
    EXPECT_EQ(html.values("//h:script").size(), c.scripts);
    EXPECT_EQ(html.values("//h:link/@href"),
              c.leaflet.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.sources[0].substr(0, c.sources[0].rfind('/')) + "/leaflet.css"});
    EXPECT_EQ(html.values("//h:a[@id='table-download']/@href"),
              c.table.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.table});
    EXPECT_EQ(html.values("//h:div[@class='live-map']").size(), c.leaflet.empty() ? 0u : 1u);
    for (const std::string& link : html.values("//@href | //@src")) {
      EXPECT_EQ(link.find(':'), std::string::npos) << link;
    }
    // Outside the script, the only address is the namespace's.
    std::string outside = text;
    for (std::size_t at; (at = outside.find("<script>")) != std::string::npos;) {
      outside.erase(at, outside.find("</script>", at) - at);
    }
    std::size_t addresses = 0;
    for (std::size_t at = 0; (at = outside.find("://", at)) != std::string::npos; ++at) ++addresses;
    EXPECT_EQ(addresses, 3u);  // XHTML, and SVG for the map and the legend
    const bool tiles = text.find("https://tile.openstreetmap.org/{z}/{x}/{y}.png") != std::string::npos;
    EXPECT_EQ(tiles, !c.leaflet.empty());
    if (tiles) EXPECT_NE(text.find("&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors"), std::string::npos);
  }
}

TEST(Report, HostileNamesStayTextInAWellFormedPage) {
  SHINDO_REQUIRE_LIBXML2();
  const std::string hostile[] = {
      "</script><script>alert(1)</script>",
      "]]><x>\"'&amp;",
      "bad \x82\xA0 bytes \xFF",
      std::string(5000, 'n') + "\xE5\xAE\x87",
      "a\x01" "b\n<!-- c -->",
  };
  for (const std::string& name : hostile) {
    ReportRow row = event_row(name, 5.0f, name, GeoPoint{32.7, 130.8}, 10.0, GeoPoint{32.8, 130.9});
    row.station = name;
    row.event.station_name = name;
    row.event.record_time = name;
    row.picture = name + ".svg";
    ReportRow failed = failed_row(name + "2", name);
    failed.latitude = 32.0;
    failed.longitude = 130.0;
    ReportInput report{name, {row, failed}};
    report.leaflet = name;
    report.table_file = name;
    const std::string text = report_html(report);
    const testing::XmlDocument html(text);
    ASSERT_TRUE(html.well_formed()) << html.error();
    EXPECT_EQ(html.values("//h:script").size(), 3u);
    EXPECT_EQ(html.values("//h:script[not(@src)]//text()[contains(., 'alert')]").size(), 0u);
    EXPECT_EQ(html.values("//h:section[@class='event']/@id"), (std::vector<std::string>{"event-1", "no-event"}));
    EXPECT_EQ(html.values("//h:tbody/h:tr").size(), 2u);
  }
}

}  // namespace
}  // namespace shindo::pictures
