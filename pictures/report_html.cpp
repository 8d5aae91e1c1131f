// The HTML page of a run: the summary, one section per event (its map, its
// intensities against distance, its table), the failed records, and the
// few lines of script that sort the tables and show the interactive maps.
#include "pictures/map.h"
#include "pictures/pictures.h"

#include "numtext/writing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>

namespace shindo::pictures {

namespace {

// Records of one event: origin times this close (s) and epicentres this
// close (degrees, each way). The networks give origin times to the minute
// or to the second, and their epicentres differ in the third decimal.
constexpr double kSameTime = 120.0;
constexpr double kSamePlace = 0.1;

constexpr std::string_view kStyle =
    "body{font-family:'DejaVu Sans','Noto Sans CJK JP',Arial,sans-serif;margin:24px;color:#1A1A1A;background:#FFFFFF}"
    "h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:32px 0 8px;border-top:2px solid #C8C8C8;padding-top:12px}"
    "h3{font-size:15px;margin:16px 0 6px}"
    ".run{color:#555555;margin:0 0 12px}"
    "table{border-collapse:collapse;font-size:13px}"
    "th,td{border:1px solid #C8C8C8;padding:3px 7px}"
    "th{background:#F0F0F0;text-align:left;cursor:pointer;white-space:nowrap}"
    "th[aria-sort=ascending]::after{content:' \\25B2'}th[aria-sort=descending]::after{content:' \\25BC'}"
    "td.num{text-align:right;font-variant-numeric:tabular-nums}"
    "td.class{text-align:center;font-weight:bold;border:1px solid #808080}"
    "span.class{display:inline-block;padding:0 8px;font-weight:bold;border:1px solid #808080}"
    "tr.failed td{color:#8A1A1A}"
    "svg{background:#FAFAFA;border:1px solid #C8C8C8}div.table{overflow-x:auto}"
    "div.live-map{display:none;width:720px;height:560px;border:1px solid #C8C8C8}"
    ".star{color:#1E1E1E;font-size:26px;line-height:26px;text-align:center;text-shadow:0 0 2px #FFFFFF}"
    ".not-drawn{color:#8A1A1A}";

// Sorts a table by the column whose header is clicked, again to reverse:
// numbers as numbers (a cell's data-sort first), texts as texts, empty
// cells last.
constexpr std::string_view kSortScript = R"(
document.querySelectorAll('table.records').forEach(function (table) {
  var heads = table.tHead.rows[0].cells;
  Array.prototype.forEach.call(heads, function (head, column) {
    head.addEventListener('click', function () {
      var down = head.getAttribute('aria-sort') === 'ascending';
      Array.prototype.forEach.call(heads, function (h) { h.removeAttribute('aria-sort'); });
      head.setAttribute('aria-sort', down ? 'descending' : 'ascending');
      var key = function (row) {
        var cell = row.cells[column];
        if (cell.hasAttribute('data-sort')) return Number(cell.getAttribute('data-sort'));
        if (cell.className !== 'num') return cell.textContent;
        return cell.textContent === '' ? NaN : Number(cell.textContent);
      };
      var rows = Array.prototype.slice.call(table.tBodies[0].rows);
      rows.sort(function (a, b) {
        var x = key(a), y = key(b);
        if (typeof x === 'number' || typeof y === 'number') {
          if (isNaN(x) || isNaN(y)) return isNaN(x) - isNaN(y);
          return down ? y - x : x - y;
        }
        return down ? y.localeCompare(x) : x.localeCompare(y);
      });
      rows.forEach(function (row) { table.tBodies[0].appendChild(row); });
    });
  });
});
)";

// With Leaflet loaded and the first OpenStreetMap tile fetched, each event's
// drawn map gives way to a live one: its stations from the table rows'
// places, the strongest above, the epicentre under them.
constexpr std::string_view kLiveMapScript = R"(
if (window.L) {
  var probe = new Image();
  probe.onload = function () {
    document.querySelectorAll('section.event').forEach(function (section) {
      var live = section.querySelector('div.live-map'), drawn = section.querySelector('div.drawn-map');
      if (!live || !drawn) return;
      drawn.style.display = 'none';
      live.style.display = 'block';
      var map = L.map(live);
      map.createPane('stations').style.zIndex = 650;
      L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {maxZoom: 18,
        attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors'}).addTo(map);
      var points = [];
      var rows = Array.prototype.slice.call(section.querySelectorAll('tr[data-lat]')).reverse();
      rows.forEach(function (row) {
        var at = [Number(row.getAttribute('data-lat')), Number(row.getAttribute('data-lon'))];
        var tip = document.createElement('span');
        tip.textContent = row.getAttribute('data-title');
        points.push(at);
        L.circleMarker(at, {pane: 'stations', radius: 7, color: '#333333', weight: 1,
          fillColor: row.getAttribute('data-colour'), fillOpacity: 1}).bindTooltip(tip).addTo(map);
      });
      var epicentre = section.getAttribute('data-epicentre');
      if (epicentre) {
        var place = epicentre.split(' ').map(Number);
        points.push(place);
        L.marker(place, {icon: L.divIcon({className: 'star', html: '\u2605', iconSize: [26, 26]})}).addTo(map);
      }
      map.fitBounds(points, {padding: [30, 30], maxZoom: 11});
    });
  };
  probe.src = 'https://tile.openstreetmap.org/0/0/0.png';
}
)";

bool failed(const ReportRow& row) { return !row.error.empty() || !row.computed; }

// Why a failed row failed, as its cell and the list of failures say it.
std::string_view failure_text(const ReportRow& row) {
  return row.error.empty() ? std::string_view("not computed") : std::string_view(row.error);
}

std::int32_t tenths_of(const ReportRow& row) { return reported_tenths(row.computed->intensity); }
IntensityClass class_of(const ReportRow& row) { return intensity_class(tenths_of(row)); }

// Computed rows first, highest intensity first, ties and values that are
// not numbers by name; failed rows last, by name.
bool before(const ReportRow* a, const ReportRow* b) {
  if (failed(*a) != failed(*b)) return failed(*b);
  if (!failed(*a)) {
    const float x = a->computed->intensity;
    const float y = b->computed->intensity;
    if (std::isnan(x) != std::isnan(y)) return std::isnan(y);
    if (!std::isnan(x) && x != y) return x > y;
  }
  return a->record < b->record;
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

bool usable(const std::optional<GeoPoint>& point) {
  return point && std::isfinite(point->latitude) && std::isfinite(point->longitude) &&
         std::fabs(point->latitude) <= 90.0 && std::fabs(point->longitude) <= 180.0;
}

// The station's place when the row gives both coordinates and they lie on
// the earth.
std::optional<GeoPoint> station_place(const ReportRow& row) {
  if (!row.latitude || !row.longitude) return std::nullopt;
  const std::optional<GeoPoint> place = GeoPoint{*row.latitude, *row.longitude};
  return usable(place) ? place : std::nullopt;
}

std::optional<GeoPoint> epicentre_of(const ReportRow& row) {
  return usable(row.epicentre) ? row.epicentre : std::nullopt;
}

std::string degrees(double value, char positive, char negative) {
  return numtext::fixed_text(std::fabs(value), 4) + "\u00B0" + (value < 0.0 ? negative : positive);
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

// Seconds since 1970 of an ISO 8601 time "YYYY-MM-DDTHH:MM:SS[.fff][Z|±HH:MM]"
// (a blank for the T; no offset: as written); nullopt for anything else.
std::optional<double> seconds_of(std::string_view text) {
  const auto digits = [&](std::size_t at, std::size_t count) -> std::optional<int> {
    if (at + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const auto is = [&](std::size_t at, std::string_view set) {
    return at < text.size() && set.find(text[at]) != std::string_view::npos;
  };
  const auto year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
  const auto hour = digits(11, 2), minute = digits(14, 2), second = digits(17, 2);
  if (!year || !month || !day || !hour || !minute || !second || !is(4, "-") || !is(7, "-") || !is(10, "T ") ||
      !is(13, ":") || !is(16, ":") || *hour > 23 || *minute > 59 || *second > 60) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                                         std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  double seconds = static_cast<double>(std::chrono::sys_days(date).time_since_epoch().count()) * 86400.0 +
                   *hour * 3600.0 + *minute * 60.0 + *second;
  std::size_t at = 19;
  if (is(at, ".")) {
    double scale = 0.1;
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10) seconds += (text[at] - '0') * scale;
  }
  if (at == text.size() || (is(at, "Z") && at + 1 == text.size())) return seconds;
  const auto offset_hours = digits(at + 1, 2), offset_minutes = digits(at + 4, 2);
  if (!is(at, "+-") || !offset_hours || !is(at + 3, ":") || !offset_minutes || at + 6 != text.size()) return std::nullopt;
  const double offset = *offset_hours * 3600.0 + *offset_minutes * 60.0;
  return text[at] == '+' ? seconds - offset : seconds + offset;
}

// One earthquake's records, or the records that say nothing of theirs.
struct Event {
  std::vector<const ReportRow*> rows;  // in the order of its table
  std::optional<double> time;          // of its first record by name, which the others were matched to
  std::optional<GeoPoint> epicentre;   // of the same record
};

bool same_event(const Event& event, const ReportRow& row) {
  const std::optional<double> time = seconds_of(row.event.origin_time);
  const std::optional<GeoPoint> epicentre = epicentre_of(row);
  const bool times = event.time && time;
  const bool places = event.epicentre && epicentre;
  if (!times && !places) return false;
  if (times && std::fabs(*event.time - *time) > kSameTime) return false;
  return !places || (std::fabs(event.epicentre->latitude - epicentre->latitude) <= kSamePlace &&
                     std::fabs(event.epicentre->longitude - epicentre->longitude) <= kSamePlace);
}

float highest_of(const Event& event) {
  float highest = -std::numeric_limits<float>::infinity();
  for (const ReportRow* row : event.rows) {
    if (!failed(*row) && row->computed->intensity > highest) highest = row->computed->intensity;
  }
  return highest;
}

// The events of the rows, in the order of their origin times, then those
// without one by their highest intensity; and the rows of no event. Each
// event's rows in the tables' order.
struct Events {
  std::vector<Event> events;
  Event unknown;
};

Events group_events(const ReportInput& report) {
  Events grouped;
  std::vector<const ReportRow*> rows;
  for (const ReportRow& row : report.rows) rows.push_back(&row);
  std::sort(rows.begin(), rows.end(), [](const ReportRow* a, const ReportRow* b) { return a->record < b->record; });
  for (const ReportRow* row : rows) {
    const std::optional<double> time = seconds_of(row->event.origin_time);
    const std::optional<GeoPoint> epicentre = epicentre_of(*row);
    if (!time && !epicentre) {
      grouped.unknown.rows.push_back(row);
      continue;
    }
    const auto event = std::find_if(grouped.events.begin(), grouped.events.end(),
                                    [&](const Event& e) { return same_event(e, *row); });
    if (event != grouped.events.end()) {
      event->rows.push_back(row);
    } else {
      grouped.events.push_back({{row}, time, epicentre});
    }
  }
  std::stable_sort(grouped.events.begin(), grouped.events.end(), [](const Event& a, const Event& b) {
    if (a.time.has_value() != b.time.has_value()) return a.time.has_value();
    if (a.time) return *a.time < *b.time;
    return highest_of(a) > highest_of(b);
  });
  for (Event& event : grouped.events) std::stable_sort(event.rows.begin(), event.rows.end(), before);
  std::stable_sort(grouped.unknown.rows.begin(), grouped.unknown.rows.end(), before);
  return grouped;
}

// What the event's records say of it, for its heading: each part as the
// first record by name that gives it.
EventInfo heading_of(const Event& event) {
  std::vector<const ReportRow*> rows = event.rows;
  std::sort(rows.begin(), rows.end(), [](const ReportRow* a, const ReportRow* b) { return a->record < b->record; });
  EventInfo info;
  for (const ReportRow* row : rows) {
    if (info.origin_time.empty()) info.origin_time = row->event.origin_time;
    if (!info.magnitude) info.magnitude = row->event.magnitude;
    if (!info.depth_km) info.depth_km = row->event.depth_km;
  }
  return info;
}

// ---------------------------------------------------------------------------
// The parts of the page
// ---------------------------------------------------------------------------

void append_summary(std::string& out, const ReportInput& report, const std::vector<const ReportRow*>& ranked,
                    const Events& events) {
  const std::size_t computed = static_cast<std::size_t>(
      std::count_if(ranked.begin(), ranked.end(), [](const ReportRow* row) { return !failed(*row); }));
  out += "<section id=\"summary\">\n<ul>\n<li>Records: " + std::to_string(report.rows.size()) + "</li>\n";
  out += "<li>Failed: " + std::to_string(report.rows.size() - computed) + "</li>\n<li>Highest intensity: ";
  if (computed == 0) {
    out += "none (no record was computed)";
  } else {
    const ReportRow& top = *ranked.front();
    out += numtext::shortest_text(top.computed->intensity) + " (reported " + numtext::reported_text(tenths_of(top)) +
           ", class <span class=\"class\" ";
    append_class_style(out, class_of(top));
    out += ">";
    out += class_label(class_of(top));
    out += "</span>) at ";
    append_record_link(out, top);
    if (!top.station.empty()) out += ", station " + escape_xml(top.station);
    if (const std::optional<GeoPoint> place = station_place(top)) {
      out += " (" + degrees(place->latitude, 'N', 'S') + ", " + degrees(place->longitude, 'E', 'W') + ")";
    }
  }
  out += "</li>\n<li>Events: " + std::to_string(events.events.size()) +
         (events.unknown.rows.empty() ? "" : ", and records without event information") + "</li>\n</ul>\n";
  if (!report.table_file.empty()) {
    const std::string link = escape_xml(percent_encode_path(report.table_file));
    out += "<p><a id=\"table-download\" href=\"" + link + "\" download=\"" + link +
           "\">The table of every record (CSV)</a></p>\n";
  }
  out += "</section>\n";
}

void append_legend_mark(std::string& out, std::string_view element, double x, double y) {
  out += element;
  out += " cx=\"" + numtext::fixed_text(x, 1) + "\" cy=\"" + numtext::fixed_text(y, 1) + "\"";
}

// The classes' colours from 0 to 7 in a row, then the epicentre's star and
// a failed record's ring.
void append_legend(std::string& out) {
  out += "<div id=\"legend\">\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"30\" viewBox=\"0 0 640 30\" "
         "font-size=\"12\">\n<text x=\"8\" y=\"19\" font-weight=\"bold\">class</text>\n";
  double x = 58.0;
  for (int c = 0; c <= static_cast<int>(IntensityClass::c7); ++c) {
    const auto cls = static_cast<IntensityClass>(c);
    append_legend_mark(out, "<circle class=\"legend\"", x, 15);
    out += " r=\"6\" fill=\"";
    out += class_colour(cls);
    out += "\" stroke=\"#555555\"/>\n<text x=\"" + numtext::fixed_text(x + 10, 1) + "\" y=\"19\">" +
           std::string(class_label(cls)) + "</text>\n";
    x += 38.0;
  }
  out += "<text x=\"" + numtext::fixed_text(x + 4, 1) + "\" y=\"21\" font-size=\"18\" fill=\"#1E1E1E\">\u2605</text>\n"
         "<text x=\"" + numtext::fixed_text(x + 22, 1) + "\" y=\"19\">epicentre</text>\n";
  append_legend_mark(out, "<circle", x + 100, 15);
  out += " r=\"4\" fill=\"none\" stroke=\"#808080\" stroke-width=\"1.5\"/>\n<text x=\"" + numtext::fixed_text(x + 110, 1) +
         "\" y=\"19\">failed</text>\n</svg>\n</div>\n";
}

// The drawn map of the section's stations and epicentres, the stations it
// could not place listed under it, and the place of the live map; nothing
// when no station and no epicentre has a place.
void append_map(std::string& out, const Event& event, const std::string& id, bool live) {
  std::vector<std::string> titles;
  std::vector<MapStation> stations;
  std::vector<GeoPoint> places;
  titles.reserve(event.rows.size());
  for (const ReportRow* row : event.rows) {
    std::string title = row->record;
    if (!row->station.empty()) title += " (" + row->station + ")";
    title += failed(*row) ? ": failed" : ": " + numtext::reported_text(tenths_of(*row)) + ", class " +
                                             std::string(class_label(class_of(*row)));
    titles.push_back(std::move(title));
  }
  for (std::size_t i = 0; i < event.rows.size(); ++i) {
    const ReportRow& row = *event.rows[i];
    const std::optional<GeoPoint> place = station_place(row);
    if (place) places.push_back(*place);
    stations.push_back({place, failed(row) ? std::nullopt : std::optional<float>(row.computed->intensity), titles[i], row.station});
  }
  std::vector<std::string> epicentre_titles;
  std::vector<GeoPoint> epicentre_places;
  for (const ReportRow* row : event.rows) {
    const std::optional<GeoPoint> epicentre = epicentre_of(*row);
    if (!epicentre) continue;
    epicentre_places.push_back(*epicentre);
    epicentre_titles.push_back("epicentre " + degrees(epicentre->latitude, 'N', 'S') + " " +
                               degrees(epicentre->longitude, 'E', 'W') + " (" + row->record + ")");
  }
  std::vector<MapEpicentre> epicentres;
  for (std::size_t i = 0; i < epicentre_places.size(); ++i) epicentres.push_back({epicentre_places[i], epicentre_titles[i]});
  places.insert(places.end(), epicentre_places.begin(), epicentre_places.end());
  if (places.empty()) return;
  const std::string map_id = id + "-map";
  const MapPicture map = draw_map({.box = map_box(places),
                                   .stations = stations,
                                   .epicentres = epicentres,
                                   .same_place = kSamePlace,
                                   .id = map_id});
  out += "<div class=\"drawn-map\">\n" + map.svg + "</div>\n";
  if (live) out += "<div class=\"live-map\"></div>\n";
  if (!map.layout.not_drawn.empty()) {
    out += "<p class=\"not-drawn\">Not on the map (no place given): ";
    for (std::size_t i = 0; i < map.layout.not_drawn.size(); ++i) {
      const ReportRow& row = *event.rows[map.layout.not_drawn[i]];
      out += (i ? "; " : "") + escape_xml(row.record);
      if (!row.station.empty()) out += " (" + escape_xml(row.station) + ")";
      out += failed(row) ? std::string(" failed") : ", class " + std::string(class_label(class_of(row)));
    }
    out += "</p>\n";
  }
}

// Intensity against hypocentral distance: the distance on a log axis from
// the decade under the nearest to the decade over the farthest, each record
// a dot in its class colour.
void append_distance_plot(std::string& out, const Event& event) {
  std::vector<const ReportRow*> rows;
  double nearest = std::numeric_limits<double>::infinity();
  double farthest = 0.0;
  double weakest = 0.0;
  double strongest = 7.0;
  for (const ReportRow* row : event.rows) {
    const std::optional<double> distance = row->event.distance_km;
    if (failed(*row) || !distance || !(*distance > 0.0) || !std::isfinite(*distance) ||
        !std::isfinite(row->computed->intensity)) {
      continue;
    }
    rows.push_back(row);
    nearest = std::min(nearest, *distance);
    farthest = std::max(farthest, *distance);
    weakest = std::min(weakest, std::floor(static_cast<double>(row->computed->intensity)));
    strongest = std::max(strongest, std::ceil(static_cast<double>(row->computed->intensity)));
  }
  if (rows.empty()) return;
  const int low_decade = static_cast<int>(std::floor(std::log10(nearest)));
  const int high_decade = std::max(low_decade + 1, static_cast<int>(std::ceil(std::log10(farthest))));
  constexpr double kLeft = 56.0, kTop = 12.0, kWidth = 620.0, kHeight = 220.0;
  const auto x_of = [&](double km) { return kLeft + (std::log10(km) - low_decade) / (high_decade - low_decade) * kWidth; };
  const auto y_of = [&](double intensity) { return kTop + (strongest - intensity) / (strongest - weakest) * kHeight; };
  const auto number = [](double value) { return numtext::fixed_text(value, 1); };

  out += "<h3>Intensity against hypocentral distance</h3>\n<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"distance\" "
         "width=\"700\" height=\"280\" viewBox=\"0 0 700 280\" font-size=\"11\">\n";
  out += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" + number(kWidth) + "\" height=\"" +
         number(kHeight) + "\" fill=\"#FFFFFF\" stroke=\"#999999\"/>\n";
  for (double value = weakest; value <= strongest; value += 1.0) {
    const std::string y = number(y_of(value));
    out += "<line x1=\"" + number(kLeft) + "\" y1=\"" + y + "\" x2=\"" + number(kLeft + kWidth) + "\" y2=\"" + y +
           "\" stroke=\"#E6E6E6\"/>\n<text class=\"ytick\" x=\"" + number(kLeft - 6) + "\" y=\"" + number(y_of(value) + 4) +
           "\" text-anchor=\"end\">" + numtext::fixed_text(value, 0) + "</text>\n";
  }
  for (int decade = low_decade; decade <= high_decade; ++decade) {
    for (const double multiple : {1.0, 2.0, 5.0}) {
      const double km = multiple * std::pow(10.0, decade);
      if (decade == high_decade && multiple > 1.0) break;
      const std::string x = number(x_of(km));
      out += "<line x1=\"" + x + "\" y1=\"" + number(kTop) + "\" x2=\"" + x + "\" y2=\"" + number(kTop + kHeight) +
             "\" stroke=\"#E6E6E6\"/>\n<text class=\"xtick\" x=\"" + x + "\" y=\"" + number(kTop + kHeight + 15) +
             "\" text-anchor=\"middle\">" + numtext::fixed_text(km, std::max(0, -decade)) + "</text>\n";
    }
  }
  out += "<text x=\"" + number(kLeft + kWidth / 2) + "\" y=\"" + number(kTop + kHeight + 36) +
         "\" text-anchor=\"middle\" font-size=\"12\">hypocentral distance (km)</text>\n<text x=\"14\" y=\"" +
         number(kTop + kHeight / 2) + "\" text-anchor=\"middle\" font-size=\"12\" transform=\"rotate(-90 14 " +
         number(kTop + kHeight / 2) + ")\">intensity</text>\n";
  // The weakest first, so that the strongest is drawn on top.
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    const ReportRow& r = **row;
    out += "<circle class=\"distance-point\" cx=\"" + number(x_of(*r.event.distance_km)) + "\" cy=\"" +
           number(y_of(r.computed->intensity)) + "\" r=\"5\" fill=\"";
    out += class_colour(class_of(r));
    out += "\" stroke=\"#333333\"><title>" + escape_xml(r.record) + (r.station.empty() ? "" : " (" + escape_xml(r.station) + ")") +
           ": " + numtext::fixed_text(*r.event.distance_km, 1) + " km, " + numtext::shortest_text(r.computed->intensity) +
           "</title></circle>\n";
  }
  out += "</svg>\n";
}

// A column of the table: its header (the batch table's name), whether its
// cells are numbers, and a row's text (nullopt: empty).
struct Column {
  std::string_view name;
  bool numeric = true;
  std::function<std::optional<std::string>(const ReportRow&)> text;
};

std::optional<std::string> number_text(std::optional<double> value) {
  return value ? std::optional<std::string>(numtext::shortest_text(*value)) : std::nullopt;
}

std::optional<std::string> text_of(const std::string& text) {
  return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// The batch table's columns, in its order, of the groups some row has values
// for: the running intensity's, the event's, the ground motion's. The class
// column is drawn apart (its colour).
std::vector<Column> columns_of(const ReportInput& report) {
  const auto any = [&](auto has) { return std::any_of(report.rows.begin(), report.rows.end(), has); };
  const bool running = any([](const ReportRow& r) { return r.strongest.has_value(); });
  const bool event = any([](const ReportRow& r) {
    const EventInfo& e = r.event;
    return !e.station_name.empty() || !e.record_time.empty() || !e.origin_time.empty() || e.magnitude || e.depth_km ||
           e.distance_km || r.epicentre;
  });
  const bool ground = any([](const ReportRow& r) { return r.ground.has_value(); });
  const auto read = [](auto value) {
    return [value](const ReportRow& r) { return r.read ? std::optional<std::string>(value(*r.read)) : std::nullopt; };
  };
  const auto computed = [](auto value) {
    return [value](const ReportRow& r) {
      return failed(r) ? std::nullopt : std::optional<std::string>(value(*r.computed));
    };
  };
  std::vector<Column> columns = {
      {"record", false, nullptr},
      {"format", false, [](const ReportRow& r) { return text_of(r.format); }},
      {"station", false, [](const ReportRow& r) { return text_of(r.station); }},
      {"latitude", true, [](const ReportRow& r) { return number_text(r.latitude); }},
      {"longitude", true, [](const ReportRow& r) { return number_text(r.longitude); }},
      {"samples", true, read([](const ReadRecord& x) { return std::to_string(x.samples); })},
      {"dt", true, read([](const ReadRecord& x) { return numtext::shortest_text(x.dt); })},
      {"pga", true, read([](const ReadRecord& x) { return numtext::shortest_text(x.pga); })},
      {"amax", true, computed([](const ComputedRecord& x) { return numtext::shortest_text(x.amax); })},
      {"a0", true, computed([](const ComputedRecord& x) { return numtext::shortest_text(x.a0); })},
      {"intensity", true, computed([](const ComputedRecord& x) { return numtext::shortest_text(x.intensity); })},
      {"reported", true, computed([](const ComputedRecord& x) { return numtext::reported_text(reported_tenths(x.intensity)); })},
      {"class", false, nullptr},
  };
  if (running) {
    const auto strongest = [](auto value) {
      return [value](const ReportRow& r) { return r.strongest ? std::optional<std::string>(value(*r.strongest)) : std::nullopt; };
    };
    columns.push_back({"running_max", true, strongest([](const StrongestWindow& s) { return numtext::shortest_text(s.intensity); })});
    columns.push_back({"running_max_time", true, strongest([](const StrongestWindow& s) { return numtext::shortest_text(s.time); })});
  }
  columns.push_back({"error", false, [](const ReportRow& r) {
                       return failed(r) ? std::optional<std::string>(failure_text(r)) : std::nullopt;
                     }});
  if (event) {
    const auto epicentre = [](double GeoPoint::*part) {
      return [part](const ReportRow& r) { return r.epicentre ? number_text((*r.epicentre).*part) : std::nullopt; };
    };
    columns.push_back({"station_name", false, [](const ReportRow& r) { return text_of(r.event.station_name); }});
    columns.push_back({"record_time", false, [](const ReportRow& r) { return text_of(r.event.record_time); }});
    columns.push_back({"origin_time", false, [](const ReportRow& r) { return text_of(r.event.origin_time); }});
    columns.push_back({"magnitude", true, [](const ReportRow& r) { return number_text(r.event.magnitude); }});
    columns.push_back({"event_latitude", true, epicentre(&GeoPoint::latitude)});
    columns.push_back({"event_longitude", true, epicentre(&GeoPoint::longitude)});
    columns.push_back({"depth_km", true, [](const ReportRow& r) { return number_text(r.event.depth_km); }});
    columns.push_back({"distance_km", true, [](const ReportRow& r) { return number_text(r.event.distance_km); }});
  }
  if (ground) {
    const auto motion = [](auto value) {
      return [value](const ReportRow& r) { return r.ground ? number_text(value(*r.ground)) : std::nullopt; };
    };
    constexpr std::string_view kPga[] = {"pga_ns", "pga_ew", "pga_ud"};
    constexpr std::string_view kPgv[] = {"pgv_ns", "pgv_ew", "pgv_ud"};
    for (std::size_t c = 0; c < 3; ++c) {
      columns.push_back({kPga[c], true, motion([c](const GroundMotionValues& g) { return g.pga[c]; })});
    }
    columns.push_back({"pga_h", true, motion([](const GroundMotionValues& g) { return g.pga_h; })});
    for (std::size_t c = 0; c < 3; ++c) {
      columns.push_back({kPgv[c], true, motion([c](const GroundMotionValues& g) { return g.pgv[c]; })});
    }
    columns.push_back({"pgv_h", true, motion([](const GroundMotionValues& g) { return g.pgv_h; })});
    columns.push_back({"si", true, motion([](const GroundMotionValues& g) { return g.si; })});
    columns.push_back({"sva_max", true, motion([](const GroundMotionValues& g) { return g.sva_max; })});
    columns.push_back({"sva_period", true, motion([](const GroundMotionValues& g) { return g.sva_period; })});
    columns.push_back({"lp_class", true, [](const ReportRow& r) {
                         return r.ground ? std::optional<std::string>(std::to_string(r.ground->lp_class)) : std::nullopt;
                       }});
  }
  return columns;
}

void append_table(std::string& out, const std::vector<const ReportRow*>& rows, const std::vector<Column>& columns) {
  out += "<div class=\"table\">\n<table class=\"records\">\n<thead><tr>";
  for (const Column& column : columns) {
    out += "<th>";
    out += column.name;
    out += "</th>";
  }
  out += "</tr></thead>\n<tbody>\n";
  for (const ReportRow* row : rows) {
    out += failed(*row) ? "<tr class=\"failed\"" : "<tr";
    if (const std::optional<GeoPoint> place = station_place(*row)) {
      // The live map's marks.
      out += " data-lat=\"" + numtext::shortest_text(place->latitude) + "\" data-lon=\"" +
             numtext::shortest_text(place->longitude) + "\" data-colour=\"";
      out += failed(*row) ? std::string_view("#808080") : class_colour(class_of(*row));
      out += "\" data-title=\"" + escape_xml(row->record) + (row->station.empty() ? "" : " (" + escape_xml(row->station) + ")");
      if (!failed(*row)) out += ": " + numtext::reported_text(tenths_of(*row)) + ", class " + std::string(class_label(class_of(*row)));
      out += '"';
    }
    out += '>';
    for (const Column& column : columns) {
      if (column.name == "record") {
        out += "<td>";
        append_record_link(out, *row);
        out += "</td>";
      } else if (column.name == "class") {
        if (failed(*row)) {
          out += "<td></td>";
          continue;
        }
        out += "<td class=\"class\" data-sort=\"" + std::to_string(tenths_of(*row)) + "\" ";
        append_class_style(out, class_of(*row));
        out += ">";
        out += class_label(class_of(*row));
        out += "</td>";
      } else {
        out += column.numeric ? "<td class=\"num\">" : "<td>";
        if (const std::optional<std::string> text = column.text(*row)) out += escape_xml(*text);
        out += "</td>";
      }
    }
    out += "</tr>\n";
  }
  out += "</tbody>\n</table>\n</div>\n";
}

void append_event(std::string& out, const Event& event, const std::string& id, std::string_view heading,
                  const std::vector<Column>& columns, bool live) {
  out += "<section class=\"event\" id=\"" + id + "\"";
  if (event.epicentre) {
    out += " data-epicentre=\"" + numtext::shortest_text(event.epicentre->latitude) + " " +
           numtext::shortest_text(event.epicentre->longitude) + "\"";
  }
  out += ">\n<h2>" + escape_xml(heading) + "</h2>\n";
  const std::size_t failures =
      static_cast<std::size_t>(std::count_if(event.rows.begin(), event.rows.end(), [](const ReportRow* r) { return failed(*r); }));
  out += "<p>" + std::to_string(event.rows.size()) + (event.rows.size() == 1 ? " record" : " records");
  if (failures > 0) out += ", " + std::to_string(failures) + " failed";
  if (!failed(*event.rows.front())) {
    const ReportRow& top = *event.rows.front();
    out += "; the highest intensity " + numtext::shortest_text(top.computed->intensity) + " (class " +
           std::string(class_label(class_of(top))) + ") at " + escape_xml(top.record);
  }
  out += "</p>\n";
  append_map(out, event, id, live);
  append_distance_plot(out, event);
  append_table(out, event.rows, columns);
  out += "</section>\n";
}

}  // namespace

std::string place_text(const GeoPoint& place) {
  return degrees(place.latitude, 'N', 'S') + " " + degrees(place.longitude, 'E', 'W');
}

std::string event_text(const EventInfo& event, const std::optional<GeoPoint>& epicentre) {
  std::vector<std::string> parts;
  if (event.magnitude && std::isfinite(*event.magnitude)) parts.push_back("M" + numtext::shortest_text(*event.magnitude));
  if (!event.origin_time.empty()) parts.push_back("origin " + event.origin_time);
  if (usable(epicentre)) parts.push_back("epicentre " + place_text(*epicentre));
  if (event.depth_km && std::isfinite(*event.depth_km)) parts.push_back("depth " + numtext::shortest_text(*event.depth_km) + " km");
  if (event.distance_km && std::isfinite(*event.distance_km)) {
    parts.push_back("hypocentral distance " + numtext::fixed_text(*event.distance_km, 1) + " km");
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : " \u00B7 ") + part;
  return text;
}

std::string report_html(const ReportInput& report) {
  std::vector<const ReportRow*> ranked;
  for (const ReportRow& row : report.rows) ranked.push_back(&row);
  std::sort(ranked.begin(), ranked.end(), before);
  const Events events = group_events(report);
  const std::vector<Column> columns = columns_of(report);
  const bool live = !report.leaflet.empty();
  const std::string leaflet = escape_xml(percent_encode_path(report.leaflet));

  const std::string heading = "Seismic intensity of " + std::to_string(report.rows.size()) +
                              (report.rows.size() == 1 ? " record" : " records");
  std::string out;
  out += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
         "<meta charset=\"utf-8\"/>\n<title>" + heading + "</title>\n<style>";
  out += kStyle;
  out += "</style>\n";
  if (live) out += "<link rel=\"stylesheet\" href=\"" + leaflet + "/leaflet.css\"/>\n";
  out += "</head>\n<body>\n<h1>" + heading + "</h1>\n";
  if (!report.title.empty()) out += "<p class=\"run\">" + escape_xml(report.title) + "</p>\n";
  append_summary(out, report, ranked, events);
  append_legend(out);
  for (std::size_t i = 0; i < events.events.size(); ++i) {
    const Event& event = events.events[i];
    const std::string text = event_text(heading_of(event), event.epicentre);
    append_event(out, event, "event-" + std::to_string(i + 1), "Event " + std::to_string(i + 1) + (text.empty() ? "" : ": " + text),
                 columns, live);
  }
  if (!events.unknown.rows.empty()) {
    append_event(out, events.unknown, "no-event", "Records without event information", columns, live);
  }
  if (!ranked.empty() && failed(*ranked.back())) {
    out += "<section id=\"failed\">\n<h2>Failed records</h2>\n<ul>\n";
    std::vector<const ReportRow*> failures;
    for (const ReportRow* row : ranked) {
      if (failed(*row)) failures.push_back(row);
    }
    for (const ReportRow* row : failures) {
      out += "<li><b>" + escape_xml(row->record) + "</b>: " + escape_xml(failure_text(*row)) + "</li>\n";
    }
    out += "</ul>\n</section>\n";
  }
  out += "<script>//<![CDATA[";
  out += kSortScript;
  out += "//]]></script>\n";
  if (live) {
    out += "<script src=\"" + leaflet + "/leaflet.min.js\"></script>\n<script>//<![CDATA[";
    out += kLiveMapScript;
    out += "//]]></script>\n";
  }
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace shindo::pictures
