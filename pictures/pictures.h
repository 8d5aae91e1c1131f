// Pictures of results: one SVG image per record (its three components, the
// filtered vector wave with A0 and Amax, the A0–τ curve) and one static HTML
// page for a run of many records. Strings out: no I/O, no global state, and
// the same input always gives the same bytes.
#pragma once

#include <shindo/ground_motion.h>
#include <shindo/intensity.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace shindo::pictures {

// A place on the earth, in degrees (north and east positive), as exactly as
// the record gives it.
struct GeoPoint {
  double latitude = 0.0;
  double longitude = 0.0;
};

// What the record's headers say about it and its earthquake, beyond the
// station's code and place. Times are ISO 8601 with the offset the network
// gives (Japan time, "+09:00"), e.g. "2008-06-14T08:43:45+09:00"; empty when
// the record does not say. The distance is hypocentral (km), from the
// station's place and the event's epicentre and depth.
struct EventInfo {
  std::string station_name;  // UTF-8
  std::string record_time;
  std::string origin_time;
  std::optional<double> magnitude;
  std::optional<double> depth_km;
  std::optional<double> distance_km;
};

// ---------------------------------------------------------------------------
// One record
// ---------------------------------------------------------------------------

// One step of a running intensity: the time at its window's end (s from the
// record's start) and the window's intensity; a window whose computation
// stopped at a fault is not `computed` and leaves a gap in the curve.
struct RunningPoint {
  double time = 0.0;
  float intensity = 0.0f;
  bool computed = true;
};

// A record to draw. The views, spans and pointers are only read during the call.
struct RecordPicture {
  std::string_view name;     // the record name, as in the report's `record` column
  std::string_view station;  // station code or name (UTF-8); empty when unknown
  // The names the record's format gives its components, in the order NS, EW,
  // UD: "NS", "N-S", KiK-net's "1"/"4", "2"/"5", "3"/"6" are drawn as NS,
  // EW, UD; another name as given.
  std::array<std::string_view, 3> component_names{"NS", "EW", "UD"};
  // What the headers say: the station's name, the record's start, the
  // event's origin time, magnitude, depth and distance; null: nothing.
  const EventInfo* event = nullptr;
  std::optional<GeoPoint> epicentre;  // the event's, when the record gives it
  Record record;             // the three input components (gal) and the interval (s)
  // The running intensity of the record, in steps, with the length of its
  // window (s); empty: no running-intensity panel.
  std::span<const RunningPoint> running{};
  double running_window = 0.0;
  // The record's ground-motion values (computed without a fault); null: no
  // response-spectrum panel and no long-period class badge.
  const GroundMotion* ground_motion = nullptr;
};

// The SVG image of one record and its result, self-contained (no script, no
// external file; the fonts named are DejaVu Sans and, for Japanese station
// names, Noto Sans CJK JP), 1200 x 1020 user units:
//   - a title: station code and name, record name and start time, the
//     computed intensity, the reported value, the event (origin time,
//     magnitude, epicentre, depth, distance) and the class on a badge in the
//     class colour;
//   - one panel per input component against time (s), its peak |a| marked;
//   - the filtered vector acceleration against time, with A0 drawn across
//     it, the samples above A0 marked, and Amax marked;
//   - the A0–τ curve: total time above a level (s, log scale) against the
//     level (gal), with the 0.3 s line and the point A0;
//   - with running points, the running intensity against time over pale
//     bands of the classes (the classes' lower bounds 0.5, 1.5, ... 6.5 of
//     the reported value) with a strip of the full class colours and their
//     labels right of the frame, the title and the highest point's text above
//     the frame, the curve clipped to it; the axis runs from three classes
//     under the strongest window (not below 0 unless the strongest window
//     is) to the class above it; the image is then 1300 units high;
//   - with ground-motion values, the long-period class on a badge at the
//     right of the title, and a response-spectrum panel below the others
//     (340 units more): psa (gal) and sva (cm/s) of the two horizontal
//     components against the period on log axes, sva over the bands of the
//     long-period classes across the class's periods, its largest value
//     marked.
// Lines of long records hold the minimum and the maximum of every pixel
// column, at most about 2200 points each, so every peak stays visible and
// 60000 samples give about 150 KB. A result with a fault draws what its
// completed stages hold and names the fault in the title.
//
//   the 8-sample record at 0.05 s of the tests, named "a&b", station "X1",
//   with its result (amax 125.9082, a0 73.40448, shindo 4.674445)
//   → an <svg> whose title reads "X1", "a&amp;b",
//     "intensity 4.674445", "reported 4.6" and "class 4" on #FAE696;
//     the A0 line is the element id="a0-line" at the height of 73.40448 gal.
std::string record_svg(const RecordPicture& picture, const Intensity& result);

// ---------------------------------------------------------------------------
// One run
// ---------------------------------------------------------------------------

// What reading a record found: its samples, their interval (s) and the peak
// of the vector of the three input components (gal).
struct ReadRecord {
  std::size_t samples = 0;
  float dt = 0.0f;
  float pga = 0.0f;
};

// The intensity of a record: the peak and the level A0 of the filtered
// vector acceleration (gal) and the unrounded intensity, from which the
// reported value and the class are derived.
struct ComputedRecord {
  float amax = 0.0f;
  float a0 = 0.0f;
  float intensity = 0.0f;
};

// The strongest window of a record's running intensity: its intensity and
// the time at the window's end (s from the record's start).
struct StrongestWindow {
  float intensity = 0.0f;
  double time = 0.0;
};

// The ground-motion values of a record beside its intensity (cm/s², cm/s):
// the peaks of each component and of the horizontal vector, the SI value,
// the largest absolute velocity response of the long-period periods, its
// period (s) and the long-period ground-motion class 0..4.
struct GroundMotionValues {
  std::array<double, 3> pga{};  // NS, EW, UD
  double pga_h = 0.0;
  std::array<double, 3> pgv{};
  double pgv_h = 0.0;
  double si = 0.0;
  double sva_max = 0.0;
  double sva_period = 0.0;
  std::int32_t lp_class = 0;
};

// One record of a run: the row of the batch program's table and of the
// report. What is not known is absent, never 0. A row is a failed record
// when it has an `error` or was not computed.
struct ReportRow {
  std::string record;   // record name
  std::string format;   // e.g. "knet", "kiknet", "jma-csv", "text"; empty when unknown
  std::string station;  // UTF-8; may be empty
  std::optional<double> latitude;     // the station's, in degrees, when the record gives it
  std::optional<double> longitude;    // (the report places a station given both)
  std::optional<GeoPoint> epicentre;  // the event, when the record gives it
  std::optional<ReadRecord> read;           // once the record was read
  std::optional<ComputedRecord> computed;   // once its intensity was computed
  std::optional<StrongestWindow> strongest;  // of the running intensity, when asked (the table's)
  EventInfo event;                           // what the headers say
  std::optional<GroundMotionValues> ground;  // once the ground-motion values were computed
  std::string error;    // why the record failed, or a later step of it did
  // Where the record's SVG was written, relative to the report's folder
  // (`shindo-batch --output DIR` writes DIR/<record name>.svg, so this is
  // "<record name>.svg"); empty: no picture. Links are percent-encoded.
  std::string picture;
};

struct ReportInput {
  std::string title;  // what the run was about, e.g. the paths given; may be empty
  std::vector<ReportRow> rows;
  // The batch table of the same rows as a CSV file beside the page (e.g.
  // "report.csv"), linked for download; empty: no link.
  std::string table_file;
  // The folder beside the page that holds Leaflet (leaflet.min.js,
  // leaflet.css, images/), e.g. "leaflet"; empty: no interactive map.
  std::string leaflet;
};

// The HTML page of a run: well-formed XHTML5 (also readable by an XML
// parser) with inline CSS and a few lines of script that only add to it:
//   - a summary: records, failed, events, the highest intensity and where;
//     the link to the table's CSV file; a legend of the class colours;
//   - one section per event (records whose origin times are within 2 min
//     and whose epicentres are within 0.1° each way, or that agree on the
//     one of them they give), the events in the order of their origin
//     times, then those without one by their highest intensity, then the
//     records without event information in a section of their own. Each
//     section holds its heading (origin time, magnitude, epicentre, depth),
//     the drawn map of its stations and epicentre (see draw_map) with the
//     stations it could not place listed under it, the intensity against
//     the hypocentral distance (log distance, dots in class colours) when
//     rows give distances, and the table of its records: every column of
//     the batch table that any row of the run has values for, highest
//     intensity first (ties by name), failed records last, the class cell
//     in its colour and the record name linked to its picture;
//   - the failed records with their errors.
// The script sorts a table by the column whose header is clicked and, with
// `leaflet`, shows each event on OpenStreetMap tiles in place of the drawn
// map once the first tile has loaded; offline or without script the page
// is the same page. Nothing else is fetched.
//
//   rows {"b", intensity 5.1538}, {"a&1", intensity 4.2, picture "a&1.svg"},
//   {"c", error "c.NS line 3: not a number"}
//   → summary "3 records, 1 failed", highest 5.1538 (reported 5.1, class 5+)
//     at b; one section "Records without event information" with table
//     rows b, a&1 (href "a%261.svg"), c; c in the failed list.
std::string report_html(const ReportInput& report);

// ---------------------------------------------------------------------------
// Building blocks of both, for callers that place pictures themselves
// ---------------------------------------------------------------------------

// Text made safe for XML character data and attribute values: & < > " '
// escaped, bytes that are not valid UTF-8 and control characters that XML
// forbids replaced by U+FFFD.
//   "a&<\"b" → "a&amp;&lt;&quot;b",  "x\x01y" → "x\uFFFDy"
std::string escape_xml(std::string_view text);

// Text with the bytes that are not valid UTF-8 replaced by U+FFFD, as
// escape_xml replaces them; everything else kept.
//   "ok \x93\x8C" → "ok \uFFFD\uFFFD",  "caf\xC3\xA9" → "caf\xC3\xA9"
std::string valid_utf8(std::string_view text);

// A relative path as a URL path: every byte outside A-Z a-z 0-9 - . _ ~ /
// percent-encoded (also ':', so that "a.tar:m.svg" is not read as a scheme).
//   "d/a b&c.svg" → "d/a%20b%26c.svg",  "x.tar:m.svg" → "x.tar%3Am.svg"
std::string percent_encode_path(std::string_view path);

// The colour of a class as "#RRGGBB"; class 0 is white (#FFFFFF) and is
// drawn with a grey border.
//   IntensityClass::c5_upper → "#FF9900"
std::string_view class_colour(IntensityClass c);

// The text colour that reads best on a background "#RRGGBB": "#000000" or
// "#FFFFFF", whichever has the higher contrast by relative luminance.
//   "#FAE696" → "#000000",  "#0041FF" → "#FFFFFF"
std::string_view text_colour_on(std::string_view background);

// A place as text, to four decimals:
//   {37.495, 137.27} → "37.4950°N 137.2700°E"
[[nodiscard]] std::string place_text(const GeoPoint& place);

// What the headers say of a record's event in one line, the parts it has
// joined by " · ": magnitude, origin time, epicentre, depth, hypocentral
// distance; empty when they say nothing.
//   {magnitude 7.6, origin "2024-01-01T16:10:09+09:00", depth 16}, {37.495, 137.27}
//     → "M7.6 · origin 2024-01-01T16:10:09+09:00 · epicentre 37.4950°N 137.2700°E · depth 16 km"
[[nodiscard]] std::string event_text(const EventInfo& event, const std::optional<GeoPoint>& epicentre);

// Round tick values for an axis: multiples of 1, 2 or 5 x 10^k, about
// `target` of them between `low` and `high` (both included when they fall on
// a tick), with the number of decimals their labels need.
//   (0, 300, 6) → step 50, values 0 50 100 150 200 250 300, decimals 0
//   (0, 0.7, 4) → step 0.2, values 0 0.2 0.4 0.6, decimals 1
struct Ticks {
  double step = 1.0;
  std::vector<double> values;
  int decimals = 0;
};
Ticks round_ticks(double low, double high, int target);

// Round ticks from 0 up to the first tick at or above `value` (the top of an
// axis that must show `value`), about `target` steps of 1, 2 or 5 x 10^k;
// a value that is not positive is taken as 1.
//   (125.9, 4) → step 50, values 0 50 100 150,  (0.3, 5) → step 0.1, values 0 0.1 0.2 0.3
Ticks ticks_up_to(double value, int target);


}  // namespace shindo::pictures
