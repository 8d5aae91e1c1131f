// The HTML page of a run: the summary, the map of the stations, the table of
// every record and the list of the failed ones.
#include "pictures/pictures.h"

#include "numtext/writing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace shindo::pictures {

namespace {

constexpr std::string_view kStyle =
    "body{font-family:'DejaVu Sans',Arial,sans-serif;margin:24px;color:#1A1A1A;background:#FFFFFF}"
    "h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:24px 0 8px}"
    ".run{color:#555555;margin:0 0 12px}"
    "table{border-collapse:collapse;font-size:13px}"
    "th,td{border:1px solid #C8C8C8;padding:3px 7px}"
    "th{background:#F0F0F0;text-align:left}"
    "td.num{text-align:right;font-variant-numeric:tabular-nums}"
    "td.class{text-align:center;font-weight:bold;border:1px solid #808080}"
    "span.class{display:inline-block;padding:0 8px;font-weight:bold;border:1px solid #808080}"
    "tr.failed td{color:#8A1A1A}"
    "svg{background:#FAFAFA;border:1px solid #C8C8C8}";

// A row that holds a result, with what is derived from its intensity.
struct Computed {
  const ReportRow* row = nullptr;
  std::int32_t tenths = 0;
  IntensityClass cls = IntensityClass::c0;
};

Computed computed(const ReportRow& row) {
  const std::int32_t tenths = reported_tenths(row.computed->intensity);
  return {&row, tenths, intensity_class(tenths)};
}

bool failed(const ReportRow& row) { return !row.error.empty() || !row.computed; }

// Why a failed row failed, as its cell and the list of failures say it.
std::string_view failure_text(const ReportRow& row) {
  return row.error.empty() ? std::string_view("not computed") : std::string_view(row.error);
}

// Highest intensity first, ties and values that are not numbers by name.
bool before(const Computed& a, const Computed& b) {
  const float x = a.row->computed->intensity;
  const float y = b.row->computed->intensity;
  if (std::isnan(x) != std::isnan(y)) return std::isnan(y);
  if (!std::isnan(x) && x != y) return x > y;
  return a.row->record < b.row->record;
}

void append_class_style(std::string& out, IntensityClass cls) {
  const std::string_view colour = class_colour(cls);
  out += "style=\"background:";
  out += colour;
  out += ";color:";
  out += text_colour_on(colour);
  out += '"';
}

void append_record_link(std::string& out, const ReportRow& row) {
  if (row.picture.empty()) {
    out += escape_xml(row.record);
    return;
  }
  out += "<a href=\"";
  out += escape_xml(percent_encode_path(row.picture));
  out += "\">";
  out += escape_xml(row.record);
  out += "</a>";
}

void append_cell(std::string& out, std::string_view text, bool numeric) {
  out += numeric ? "<td class=\"num\">" : "<td>";
  out += escape_xml(text);
  out += "</td>";
}

bool usable(const std::optional<GeoPoint>& point) {
  return point && std::isfinite(point->latitude) && std::isfinite(point->longitude) &&
         std::fabs(point->latitude) <= 90.0f && std::fabs(point->longitude) <= 180.0f;
}

// The station's place when the row gives both coordinates and they lie on
// the earth; a row without one is left off the map.
std::optional<GeoPoint> station_place(const ReportRow& row) {
  if (!row.latitude || !row.longitude) return std::nullopt;
  const std::optional<GeoPoint> place = GeoPoint{*row.latitude, *row.longitude};
  return usable(place) ? place : std::nullopt;
}

std::string degrees(double value, int decimals, char positive, char negative) {
  return numtext::fixed_text(std::fabs(value), decimals) + "\u00B0" + (value < 0.0 ? negative : positive);
}

void append_summary(std::string& out, const ReportInput& report, const std::vector<Computed>& results) {
  const std::size_t failures = report.rows.size() - results.size();
  out += "<section id=\"summary\">\n<ul>\n<li>Records: " + std::to_string(report.rows.size()) + "</li>\n";
  out += "<li>Failed: " + std::to_string(failures) + "</li>\n<li>Highest intensity: ";
  if (results.empty()) {
    out += "none (no record was computed)";
  } else {
    const Computed& top = results.front();
    out += numtext::shortest_text(top.row->computed->intensity) + " (reported " + numtext::reported_text(top.tenths) + ", class <span class=\"class\" ";
    append_class_style(out, top.cls);
    out += ">";
    out += class_label(top.cls);
    out += "</span>) at ";
    append_record_link(out, *top.row);
    if (!top.row->station.empty()) out += ", station " + escape_xml(top.row->station);
    if (const std::optional<GeoPoint> place = station_place(*top.row)) {
      out += " (" + degrees(place->latitude, 4, 'N', 'S') + ", " + degrees(place->longitude, 4, 'E', 'W') + ")";
    }
  }
  out += "</li>\n</ul>\n</section>\n";
}

// An equirectangular map: x is longitude scaled by the cosine of the middle
// latitude, y is latitude, both linear.
struct MapFrame {
  double west = 0.0;
  double east = 1.0;
  double south = 0.0;
  double north = 1.0;
  double scale = 1.0;  // pixels per degree of latitude
  double shrink = 1.0; // cosine of the middle latitude
  double left = 70.0;
  double top = 12.0;

  double x(double longitude) const { return left + (longitude - west) * shrink * scale; }
  double y(double latitude) const { return top + (north - latitude) * scale; }
  double width() const { return (east - west) * shrink * scale; }
  double height() const { return (north - south) * scale; }
};

MapFrame map_frame(const std::vector<GeoPoint>& points) {
  MapFrame frame;
  frame.west = frame.south = 1e9;
  frame.east = frame.north = -1e9;
  for (const GeoPoint& p : points) {
    frame.west = std::min(frame.west, static_cast<double>(p.longitude));
    frame.east = std::max(frame.east, static_cast<double>(p.longitude));
    frame.south = std::min(frame.south, static_cast<double>(p.latitude));
    frame.north = std::max(frame.north, static_cast<double>(p.latitude));
  }
  const double pad = std::max({0.1, (frame.east - frame.west) * 0.08, (frame.north - frame.south) * 0.08});
  frame.west -= pad;
  frame.east += pad;
  frame.south = std::max(-90.0, frame.south - pad);
  frame.north = std::min(90.0, frame.north + pad);
  frame.shrink = std::max(0.05, std::cos((frame.south + frame.north) / 2 * std::numbers::pi / 180.0));
  constexpr double kMostWidth = 760.0;
  constexpr double kMostHeight = 540.0;
  frame.scale = std::min(kMostWidth / ((frame.east - frame.west) * frame.shrink), kMostHeight / (frame.north - frame.south));
  return frame;
}

void append_map_point(std::string& out, std::string_view element, double x, double y) {
  out += element;
  out += " cx=\"" + numtext::fixed_text(x, 1) + "\" cy=\"" + numtext::fixed_text(y, 1) + "\"";
}

std::string star_points(double x, double y, double outer) {
  std::string points;
  for (int i = 0; i < 10; ++i) {
    const double radius = i % 2 == 0 ? outer : outer * 0.45;
    const double angle = std::numbers::pi * (0.5 + i / 5.0);
    points += (i ? " " : "") + numtext::fixed_text(x + radius * std::cos(angle), 1) + "," + numtext::fixed_text(y - radius * std::sin(angle), 1);
  }
  return points;
}

void append_map(std::string& out, const ReportInput& report, const std::vector<Computed>& results) {
  std::vector<GeoPoint> places;
  std::vector<GeoPoint> epicentres;
  for (const ReportRow& row : report.rows) {
    if (const std::optional<GeoPoint> place = station_place(row)) places.push_back(*place);
    if (usable(row.epicentre)) {
      const bool seen = std::any_of(epicentres.begin(), epicentres.end(), [&](const GeoPoint& e) {
        return e.latitude == row.epicentre->latitude && e.longitude == row.epicentre->longitude;
      });
      if (!seen) epicentres.push_back(*row.epicentre);
    }
  }
  if (places.empty()) return;
  std::vector<GeoPoint> everything = places;
  everything.insert(everything.end(), epicentres.begin(), epicentres.end());
  const MapFrame frame = map_frame(everything);
  const double legend_left = frame.left + frame.width() + 24;
  const double width = legend_left + 130;
  const double height = std::max(frame.top + frame.height() + 40, 300.0);

  out += "<section id=\"map\">\n<h2>Map</h2>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + numtext::fixed_text(width, 0) +
         "\" height=\"" + numtext::fixed_text(height, 0) + "\" viewBox=\"0 0 " + numtext::fixed_text(width, 0) + " " + numtext::fixed_text(height, 0) +
         "\" font-size=\"11\">\n";
  out += "<rect x=\"" + numtext::fixed_text(frame.left, 1) + "\" y=\"" + numtext::fixed_text(frame.top, 1) + "\" width=\"" +
         numtext::fixed_text(frame.width(), 1) + "\" height=\"" + numtext::fixed_text(frame.height(), 1) +
         "\" fill=\"#FFFFFF\" stroke=\"#999999\"/>\n";
  const Ticks longitudes = round_ticks(frame.west, frame.east, 6);
  for (const double value : longitudes.values) {
    const std::string x = numtext::fixed_text(frame.x(value), 1);
    out += "<line x1=\"" + x + "\" y1=\"" + numtext::fixed_text(frame.top, 1) + "\" x2=\"" + x + "\" y2=\"" +
           numtext::fixed_text(frame.top + frame.height(), 1) + "\" stroke=\"#E6E6E6\"/>\n";
    out += "<text class=\"xtick\" x=\"" + x + "\" y=\"" + numtext::fixed_text(frame.top + frame.height() + 15, 1) +
           "\" text-anchor=\"middle\">" + degrees(value, longitudes.decimals, 'E', 'W') + "</text>\n";
  }
  const Ticks latitudes = round_ticks(frame.south, frame.north, 6);
  for (const double value : latitudes.values) {
    const std::string y = numtext::fixed_text(frame.y(value), 1);
    out += "<line x1=\"" + numtext::fixed_text(frame.left, 1) + "\" y1=\"" + y + "\" x2=\"" + numtext::fixed_text(frame.left + frame.width(), 1) +
           "\" y2=\"" + y + "\" stroke=\"#E6E6E6\"/>\n";
    out += "<text class=\"ytick\" x=\"" + numtext::fixed_text(frame.left - 6, 1) + "\" y=\"" + numtext::fixed_text(frame.y(value) + 4, 1) +
           "\" text-anchor=\"end\">" + degrees(value, latitudes.decimals, 'N', 'S') + "</text>\n";
  }

  // The lowest classes first, so that the strongest shaking is drawn on top.
  bool any_failed_place = false;
  for (const ReportRow& row : report.rows) {
    const std::optional<GeoPoint> place = station_place(row);
    if (!failed(row) || !place) continue;
    any_failed_place = true;
    append_map_point(out, "<circle class=\"failed\"", frame.x(place->longitude), frame.y(place->latitude));
    out += " r=\"4\" fill=\"none\" stroke=\"#808080\" stroke-width=\"1.5\"><title>" + escape_xml(row.record) +
           ": failed</title></circle>\n";
  }
  for (auto result = results.rbegin(); result != results.rend(); ++result) {
    const ReportRow& row = *result->row;
    const std::optional<GeoPoint> place = station_place(row);
    if (!place) continue;
    append_map_point(out, "<circle class=\"station\"", frame.x(place->longitude), frame.y(place->latitude));
    out += " r=\"6\" fill=\"";
    out += class_colour(result->cls);
    out += "\" stroke=\"#555555\"><title>" + escape_xml(row.record) +
           (row.station.empty() ? "" : " (" + escape_xml(row.station) + ")") + ": " + numtext::reported_text(result->tenths) +
           ", class " + std::string(class_label(result->cls)) + "</title></circle>\n";
  }
  for (const GeoPoint& e : epicentres) {
    out += "<polygon class=\"epicentre\" points=\"" + star_points(frame.x(e.longitude), frame.y(e.latitude), 10) +
           "\" fill=\"#222222\" stroke=\"#FFFFFF\" stroke-width=\"1\"><title>epicentre " +
           degrees(e.latitude, 4, 'N', 'S') + ", " + degrees(e.longitude, 4, 'E', 'W') + "</title></polygon>\n";
  }

  // The legend: every class from 7 down to 0, then the other marks.
  double y = frame.top + 10;
  out += "<text x=\"" + numtext::fixed_text(legend_left, 1) + "\" y=\"" + numtext::fixed_text(y, 1) + "\" font-weight=\"bold\">class</text>\n";
  for (int c = static_cast<int>(IntensityClass::c7); c >= 0; --c) {
    const auto cls = static_cast<IntensityClass>(c);
    y += 20;
    append_map_point(out, "<circle class=\"legend\"", legend_left + 6, y - 4);
    out += " r=\"6\" fill=\"";
    out += class_colour(cls);
    out += "\" stroke=\"#555555\"/>\n<text x=\"" + numtext::fixed_text(legend_left + 20, 1) + "\" y=\"" + numtext::fixed_text(y, 1) + "\">" +
           std::string(class_label(cls)) + "</text>\n";
  }
  if (!epicentres.empty()) {
    y += 22;
    out += "<polygon points=\"" + star_points(legend_left + 6, y - 4, 8) +
           "\" fill=\"#222222\" stroke=\"#FFFFFF\" stroke-width=\"1\"/>\n<text x=\"" + numtext::fixed_text(legend_left + 20, 1) +
           "\" y=\"" + numtext::fixed_text(y, 1) + "\">epicentre</text>\n";
  }
  if (any_failed_place) {
    y += 20;
    append_map_point(out, "<circle", legend_left + 6, y - 4);
    out += " r=\"4\" fill=\"none\" stroke=\"#808080\" stroke-width=\"1.5\"/>\n<text x=\"" +
           numtext::fixed_text(legend_left + 20, 1) + "\" y=\"" + numtext::fixed_text(y, 1) + "\">failed</text>\n";
  }
  out += "</svg>\n</section>\n";
}

void append_table(std::string& out, const std::vector<Computed>& results, const std::vector<const ReportRow*>& failures) {
  out += "<section id=\"records\">\n<h2>Records</h2>\n<table>\n<thead><tr>";
  for (const std::string_view column : {"record", "format", "station", "latitude", "longitude", "samples", "dt", "pga",
                                        "amax", "a0", "intensity", "reported", "class", "error"}) {
    out += "<th>";
    out += column;
    out += "</th>";
  }
  out += "</tr></thead>\n<tbody>\n";
  const auto append_common = [&](const ReportRow& row) {
    out += "<td>";
    append_record_link(out, row);
    out += "</td>";
    append_cell(out, row.format, false);
    append_cell(out, row.station, false);
    const std::optional<GeoPoint> place = station_place(row);
    append_cell(out, place ? numtext::shortest_text(place->latitude) : "", true);
    append_cell(out, place ? numtext::shortest_text(place->longitude) : "", true);
    append_cell(out, row.read ? std::to_string(row.read->samples) : "", true);
    append_cell(out, row.read ? numtext::shortest_text(row.read->dt) : "", true);
    append_cell(out, row.read ? numtext::shortest_text(row.read->pga) : "", true);
  };
  for (const Computed& result : results) {
    const ReportRow& row = *result.row;
    out += "<tr>";
    append_common(row);
    append_cell(out, numtext::shortest_text(row.computed->amax), true);
    append_cell(out, numtext::shortest_text(row.computed->a0), true);
    append_cell(out, numtext::shortest_text(row.computed->intensity), true);
    append_cell(out, numtext::reported_text(result.tenths), true);
    out += "<td class=\"class\" ";
    append_class_style(out, result.cls);
    out += ">";
    out += class_label(result.cls);
    out += "</td><td></td></tr>\n";
  }
  for (const ReportRow* row : failures) {
    out += "<tr class=\"failed\">";
    append_common(*row);
    out += "<td></td><td></td><td></td><td></td><td></td>";
    append_cell(out, failure_text(*row), false);
    out += "</tr>\n";
  }
  out += "</tbody>\n</table>\n</section>\n";
}

}  // namespace

std::string report_html(const ReportInput& report) {
  std::vector<Computed> results;
  std::vector<const ReportRow*> failures;
  for (const ReportRow& row : report.rows) {
    if (failed(row)) {
      failures.push_back(&row);
    } else {
      results.push_back(computed(row));
    }
  }
  std::sort(results.begin(), results.end(), before);
  std::sort(failures.begin(), failures.end(),
            [](const ReportRow* a, const ReportRow* b) { return a->record < b->record; });

  const std::string heading = "Seismic intensity of " + std::to_string(report.rows.size()) +
                              (report.rows.size() == 1 ? " record" : " records");
  std::string out;
  out += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
         "<meta charset=\"utf-8\"/>\n<title>" + heading + "</title>\n<style>";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<h1>" + heading + "</h1>\n";
  if (!report.title.empty()) out += "<p class=\"run\">" + escape_xml(report.title) + "</p>\n";
  append_summary(out, report, results);
  append_map(out, report, results);
  append_table(out, results, failures);
  if (!failures.empty()) {
    out += "<section id=\"failed\">\n<h2>Failed records</h2>\n<ul>\n";
    for (const ReportRow* row : failures) {
      out += "<li><b>" + escape_xml(row->record) + "</b>: " + escape_xml(failure_text(*row)) + "</li>\n";
    }
    out += "</ul>\n</section>\n";
  }
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace shindo::pictures
