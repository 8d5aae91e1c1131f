// The SVG image of one record: the title with the class badge, one panel per
// input component, the filtered vector wave with A0, the A0–τ curve, and
// with the ground-motion values the response spectra.
#include "pictures/pictures.h"

#include "numtext/writing.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <span>
#include <vector>

namespace shindo::pictures {

namespace {

constexpr double kWidth = 1200.0;
constexpr double kHeight = 1020.0;
// The running-intensity panel below the others, when there is one.
constexpr double kRunningHeight = 280.0;
constexpr double kLeft = 90.0;
constexpr double kRight = 30.0;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr int kCoordinateDecimals = 1;
constexpr int kValueDecimals = 2;
constexpr std::string_view kMarkColour = "#D62728";
constexpr std::string_view kTraceColour = "#1F4E9A";
// The exceedance time the level scan looks for (s).
constexpr double kTauLine = 0.3;

// A rectangle of the image and the ranges of values it shows.
struct Panel {
  double left = kLeft;
  double top = 0.0;
  double width = kPlotWidth;
  double height = 0.0;
  double x_low = 0.0;
  double x_high = 1.0;
  double y_low = 0.0;
  double y_high = 1.0;
  bool y_log = false;

  double x(double value) const { return left + (value - x_low) / (x_high - x_low) * width; }
  double y(double value) const {
    const double share = y_log ? (std::log10(value) - std::log10(y_low)) / (std::log10(y_high) - std::log10(y_low))
                               : (value - y_low) / (y_high - y_low);
    return top + height * (1.0 - share);
  }
};

// The time axis shared by the panels of a record: seconds when the interval
// is a positive number, else sample numbers.
struct TimeAxis {
  double step = 1.0;
  std::string_view unit = "sample";
};

TimeAxis time_axis(float dt) {
  if (std::isfinite(dt) && dt > 0.0f) return {static_cast<double>(dt), "s"};
  return {};
}

void append_point(std::string& out, double x, double y) {
  numtext::append_fixed(out, x, kCoordinateDecimals);
  out += ',';
  numtext::append_fixed(out, y, kCoordinateDecimals);
  out += ' ';
}

void append_attribute(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  numtext::append_fixed(out, value, kCoordinateDecimals);
  out += '"';
}

// <text> at (x, y) with extra attributes and escaped content.
void append_text(std::string& out, double x, double y, std::string_view attributes, std::string_view content) {
  out += "<text";
  append_attribute(out, "x", x);
  append_attribute(out, "y", y);
  if (!attributes.empty()) {
    out += ' ';
    out += attributes;
  }
  out += '>';
  out += escape_xml(content);
  out += "</text>\n";
}

struct Coordinate {
  std::string_view name;
  double value = 0.0;
};

// An empty element: its coordinates, then further attributes as written.
void append_shape(std::string& out, std::string_view element, std::initializer_list<Coordinate> coordinates,
                  std::string_view attributes) {
  out += '<';
  out += element;
  for (const Coordinate& c : coordinates) append_attribute(out, c.name, c.value);
  if (!attributes.empty()) {
    out += ' ';
    out += attributes;
  }
  out += "/>\n";
}

void append_line(std::string& out, double x1, double y1, double x2, double y2, std::string_view attributes) {
  append_shape(out, "line", {{"x1", x1}, {"y1", y1}, {"x2", x2}, {"y2", y2}}, attributes);
}

void append_circle(std::string& out, double x, double y, double r, std::string_view attributes) {
  append_shape(out, "circle", {{"cx", x}, {"cy", y}, {"r", r}}, attributes);
}

// Vertical grid lines with their labels under the panel.
void append_x_ticks(std::string& out, const Panel& panel, const Ticks& ticks, bool labelled) {
  for (const double value : ticks.values) {
    const double x = panel.x(value);
    append_line(out, x, panel.top, x, panel.top + panel.height, "stroke=\"#E6E6E6\"");
    if (labelled) {
      append_text(out, x, panel.top + panel.height + 14, "class=\"xtick\" text-anchor=\"middle\" font-size=\"11\"",
                  numtext::fixed_text(value, ticks.decimals));
    }
  }
}

// Horizontal grid lines with their labels left of the panel.
void append_y_tick(std::string& out, const Panel& panel, double value, std::string_view label) {
  const double y = panel.y(value);
  append_line(out, panel.left, y, panel.left + panel.width, y, "stroke=\"#E6E6E6\"");
  if (!label.empty()) {
    append_text(out, panel.left - 6, y + 4, "class=\"ytick\" text-anchor=\"end\" font-size=\"11\"", label);
  }
}

void append_frame(std::string& out, const Panel& panel, std::string_view unit) {
  append_shape(out, "rect",
               {{"x", panel.left}, {"y", panel.top}, {"width", panel.width}, {"height", panel.height}},
               "fill=\"none\" stroke=\"#999999\"");
  // The unit along the left edge, beside the tick labels.
  const double x = panel.left - 58;
  const double y = panel.top + panel.height / 2;
  append_text(out, x, y,
              "text-anchor=\"middle\" font-size=\"12\" fill=\"#555555\" transform=\"rotate(-90 " + numtext::fixed_text(x, 1) + " " +
                  numtext::fixed_text(y, 1) + ")\"",
              unit);
}

// The samples as a polyline. A record with more samples than twice the
// pixel columns it spans is drawn with the minimum and the maximum of each
// column, in the order they occur, so that no peak is lost.
void append_trace(std::string& out, std::span<const float> values, const Panel& panel, TimeAxis time,
                  std::string_view attributes) {
  const std::size_t n = values.size();
  if (n == 0) return;
  out += "<polyline fill=\"none\" ";
  out += attributes;
  out += " points=\"";
  const auto point = [&](std::size_t i) {
    if (std::isfinite(values[i])) append_point(out, panel.x(static_cast<double>(i) * time.step), panel.y(values[i]));
  };
  const double span_pixels = panel.x(static_cast<double>(n) * time.step) - panel.x(0.0);
  const auto columns = static_cast<std::size_t>(std::max(1.0, std::ceil(span_pixels)));
  if (n <= 2 * columns) {
    for (std::size_t i = 0; i < n; ++i) point(i);
  } else {
    for (std::size_t column = 0; column < columns; ++column) {
      const std::size_t begin = column * n / columns;
      const std::size_t end = (column + 1) * n / columns;
      // Comparisons with a value that is not a number are false, so such
      // values are never taken; the first of equal extremes is.
      std::size_t lowest = n;
      std::size_t highest = n;
      float low = std::numeric_limits<float>::infinity();
      float high = -std::numeric_limits<float>::infinity();
      for (std::size_t i = begin; i < end; ++i) {
        const float v = values[i];
        const bool below = v < low;
        const bool above = v > high;
        low = below ? v : low;
        lowest = below ? i : lowest;
        high = above ? v : high;
        highest = above ? i : highest;
      }
      if (lowest == n || highest == n) continue;
      point(std::min(lowest, highest));
      if (lowest != highest) point(std::max(lowest, highest));
    }
  }
  if (out.back() == ' ') out.pop_back();
  out += "\"/>\n";
}

// The index of the largest |value| among the finite values; values.size() when none.
std::size_t peak_index(std::span<const float> values) {
  std::size_t peak = values.size();
  float largest = -1.0f;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const float magnitude = std::fabs(values[i]);
    const bool larger = magnitude > largest && magnitude <= std::numeric_limits<float>::max();
    largest = larger ? magnitude : largest;
    peak = larger ? i : peak;
  }
  return peak;
}

std::string time_text(std::size_t index, TimeAxis time) {
  return numtext::fixed_text(static_cast<double>(index) * time.step, time.unit == "s" ? kValueDecimals : 0) + " " +
         std::string(time.unit);
}

// At most `most` code points of UTF-8 text, "…" in place of the rest, so
// that a very long name stays on the image.
std::string clipped(std::string_view text, std::size_t most) {
  std::size_t points = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (points++ == most) return std::string(text.substr(0, i)) + "\u2026";
  }
  return std::string(text);
}

// Four lines beside the class badge: the station's code and name; the
// record's name and start; the intensity; the event.
void append_title(std::string& out, const RecordPicture& picture, const Intensity& result) {
  const EventInfo none;
  const EventInfo& event = picture.event != nullptr ? *picture.event : none;
  std::string station = std::string(picture.station);
  if (!event.station_name.empty() && event.station_name != picture.station) {
    station += (station.empty() ? "" : " ") + event.station_name;
  }
  std::string summary;
  double text_left = 20.0;
  if (result.fault == Fault::none) {
    const std::int32_t tenths = reported_tenths(result.shindo);
    const IntensityClass cls = intensity_class(tenths);
    const std::string_view fill = class_colour(cls);
    summary = "intensity " + numtext::shortest_text(result.shindo) + " \u00B7 reported " + numtext::reported_text(tenths);
    out += "<g id=\"class-badge\">\n<rect x=\"20\" y=\"14\" width=\"150\" height=\"54\" rx=\"6\" fill=\"";
    out += fill;
    out += "\" stroke=\"#808080\" stroke-width=\"1.5\"/>\n";
    append_text(out, 95, 51,
                "text-anchor=\"middle\" font-size=\"26\" font-weight=\"bold\" fill=\"" +
                    std::string(text_colour_on(fill)) + "\"",
                "class " + std::string(class_label(cls)));
    out += "</g>\n";
    text_left = 190.0;
  } else {
    summary = "not computed: " + shindo::describe_fault(result.fault, result.stage);
  }
  append_text(out, text_left, 31, "id=\"station-title\" font-size=\"19\" font-weight=\"bold\"",
              station.empty() ? "station unknown" : clipped(station, 70));
  out += "<text id=\"record-line\"";
  append_attribute(out, "x", text_left);
  append_attribute(out, "y", 49);
  out += " font-size=\"13\"><tspan id=\"record-name\">" + escape_xml(clipped(picture.name, 90)) + "</tspan>";
  if (!event.record_time.empty()) out += " \u00B7 record start " + escape_xml(clipped(event.record_time, 40));
  out += "</text>\n";
  append_text(out, text_left, 66, "id=\"record-summary\" font-size=\"13\"", summary);
  const std::string happened = event_text(event, picture.epicentre);
  if (!happened.empty()) {
    append_text(out, text_left, 83, "id=\"event-line\" font-size=\"13\" fill=\"#333333\"", clipped(happened, 140));
  }
}

// The title of component `index` (0 NS, 1 EW, 2 UD): the name the networks
// give it ("N-S", KiK-net's "1" at depth and "4" at the surface) as NS, EW,
// UD; another name as given.
std::string component_title(std::string_view given, std::size_t index) {
  constexpr std::array<std::string_view, 3> kNames = {"NS", "EW", "UD"};
  constexpr std::array<std::string_view, 3> kDepth = {"1", "2", "3"};
  constexpr std::array<std::string_view, 3> kSurface = {"4", "5", "6"};
  std::string name(given);
  std::erase(name, '-');
  for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (name.empty() || name == kNames[index] || name == kDepth[index] || name == kSurface[index]) {
    return std::string(kNames[index]);
  }
  return std::string(given);
}

void append_component(std::string& out, std::span<const float> values, std::string_view name, double top,
                      double x_high, const Ticks& time_ticks, TimeAxis time) {
  const std::size_t peak = peak_index(values);
  const double peak_value = peak < values.size() ? values[peak] : 0.0;
  const Ticks ticks = ticks_up_to(std::fabs(peak_value), 2);
  const double limit = ticks.values.back();
  const Panel panel{.top = top, .height = 110.0, .x_high = x_high, .y_low = -limit, .y_high = limit};
  out += "<g class=\"component\">\n";
  for (auto value = ticks.values.rbegin(); value != ticks.values.rend(); ++value) {
    if (*value > 0.0) append_y_tick(out, panel, -*value, numtext::fixed_text(-*value, ticks.decimals));
  }
  for (const double value : ticks.values) append_y_tick(out, panel, value, numtext::fixed_text(value, ticks.decimals));
  append_x_ticks(out, panel, time_ticks, true);
  append_frame(out, panel, "gal");
  append_trace(out, values, panel, time, "stroke=\"#333333\" stroke-width=\"0.8\"");
  append_text(out, panel.left + 8, panel.top + 18, "font-size=\"14\" font-weight=\"bold\"", name);
  if (peak < values.size()) {
    append_circle(out, panel.x(static_cast<double>(peak) * time.step), panel.y(peak_value), 4.0,
                  "class=\"peak\" fill=\"none\" stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"1.5\"");
    append_text(out, panel.left + panel.width - 8, panel.top + 16, "text-anchor=\"end\" font-size=\"12\"",
                "peak " + numtext::fixed_text(peak_value, kValueDecimals) + " gal at " + time_text(peak, time));
  }
  out += "</g>\n";
}

void append_wave(std::string& out, const Intensity& result, double x_high, const Ticks& time_ticks,
                 TimeAxis time) {
  const std::span<const float> wave = result.wave;
  const bool complete = result.fault == Fault::none || result.stage == Stage::level_scan ||
                        result.stage == Stage::intensity;
  const bool has_a0 = result.fault == Fault::none;
  // A complete wave peaks at Amax; a wave cut short by a fault is searched.
  double highest = has_a0 ? result.a0 : 0.0;
  if (complete && std::isfinite(result.amax)) {
    highest = std::max(highest, static_cast<double>(result.amax));
  } else {
    for (const float value : wave) {
      if (std::isfinite(value)) highest = std::max(highest, static_cast<double>(value));
    }
  }
  const Ticks ticks = ticks_up_to(highest, 7);
  const Panel panel{.top = 510.0, .height = 170.0, .x_high = x_high, .y_low = 0.0, .y_high = ticks.values.back()};
  out += "<g id=\"wave-panel\">\n";
  for (const double value : ticks.values) append_y_tick(out, panel, value, numtext::fixed_text(value, ticks.decimals));
  append_x_ticks(out, panel, time_ticks, true);
  append_frame(out, panel, "gal");
  append_text(out, panel.left + panel.width / 2, panel.top + panel.height + 30,
              "text-anchor=\"middle\" font-size=\"12\"", "time (" + std::string(time.unit) + ")");
  append_trace(out, wave, panel, time, "stroke=\"" + std::string(kTraceColour) + "\" stroke-width=\"0.8\"");
  append_text(out, panel.left + 8, panel.top + 18, "font-size=\"14\" font-weight=\"bold\"",
              "filtered vector acceleration");
  if (has_a0) {
    const double y = panel.y(result.a0);
    append_line(out, panel.left, y, panel.left + panel.width, y,
                "id=\"a0-line\" stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"");
    // Above the line, or below it when that would run into the Amax text at the top.
    const double label_y = y - 5 < panel.top + 32 ? y + 15 : y - 5;
    append_text(out, panel.left + panel.width - 8, label_y,
                "text-anchor=\"end\" font-size=\"12\" fill=\"" + std::string(kMarkColour) + "\"",
                "A0 " + numtext::fixed_text(result.a0, kValueDecimals) + " gal");
    // One mark per pixel column that holds samples above A0.
    out += "<g id=\"above-a0\" fill=\"" + std::string(kMarkColour) + "\">\n";
    long long last_column = -1;
    for (std::size_t i = 0; i < wave.size(); ++i) {
      if (!(wave[i] > result.a0)) continue;
      const double x = panel.x(static_cast<double>(i) * time.step);
      const auto column = static_cast<long long>(std::floor(x));
      if (column == last_column) continue;
      last_column = column;
      append_circle(out, x, panel.y(wave[i]), 2.0, "");
    }
    out += "</g>\n";
  }
  const auto peak = static_cast<std::size_t>(std::find(wave.begin(), wave.end(), result.amax) - wave.begin());
  if (complete && peak < wave.size()) {
    append_circle(out, panel.x(static_cast<double>(peak) * time.step), panel.y(result.amax), 4.5,
                  "id=\"amax-mark\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\"");
    append_text(out, panel.left + panel.width - 8, panel.top + 16, "text-anchor=\"end\" font-size=\"12\"",
                "Amax " + numtext::fixed_text(result.amax, kValueDecimals) + " gal at " + time_text(peak, time));
  }
  out += "</g>\n";
}

// Total time above a level against the level, the time on a log scale.
void append_a0_tau(std::string& out, const Intensity& result) {
  double longest = 0.0;
  double shortest_time = kTauLine;
  double top_level = 0.0;
  for (const LevelRow& row : result.levels) {
    if (!(row.duration > 0.0f) || !std::isfinite(row.duration)) continue;
    longest = std::max(longest, static_cast<double>(row.duration));
    shortest_time = std::min(shortest_time, static_cast<double>(row.duration));
    if (std::isfinite(row.level)) top_level = std::max(top_level, static_cast<double>(row.level));
  }
  if (std::isfinite(result.amax)) top_level = std::max(top_level, static_cast<double>(result.amax));
  const double y_low = std::min(0.1, std::pow(10.0, std::floor(std::log10(shortest_time))));
  const double y_high = std::max(1.0, ticks_up_to(longest, 1).values.back());
  const Ticks level_ticks = ticks_up_to(top_level, 8);
  const Panel panel{
      .top = 750.0, .height = 210.0, .x_high = level_ticks.values.back(), .y_low = y_low, .y_high = y_high, .y_log = true};

  out += "<g id=\"a0-tau-panel\">\n";
  for (int exponent = static_cast<int>(std::floor(std::log10(y_low))); exponent <= std::ceil(std::log10(y_high));
       ++exponent) {
    const double decade = std::pow(10.0, exponent);
    for (const double multiple : {1.0, 2.0, 5.0}) {
      const double value = multiple * decade;
      if (value < y_low * (1 - 1e-9) || value > y_high * (1 + 1e-9)) continue;
      append_y_tick(out, panel, value, multiple == 1.0 ? numtext::fixed_text(value, std::max(0, -exponent)) : "");
    }
  }
  append_x_ticks(out, panel, level_ticks, true);
  append_frame(out, panel, "time (s)");
  append_text(out, panel.left + panel.width / 2, panel.top + panel.height + 30,
              "text-anchor=\"middle\" font-size=\"12\"", "level (gal)");
  append_text(out, panel.left + 8, panel.top + 18, "font-size=\"14\" font-weight=\"bold\"",
              "total time above the level");
  const double tau_y = panel.y(kTauLine);
  append_line(out, panel.left, tau_y, panel.left + panel.width, tau_y,
              "id=\"tau-line\" stroke=\"#555555\" stroke-width=\"1\" stroke-dasharray=\"3 3\"");
  append_text(out, panel.left + panel.width - 8, tau_y - 5, "text-anchor=\"end\" font-size=\"12\" fill=\"#555555\"",
              "0.3 s");

  out += "<polyline fill=\"none\" stroke=\"" + std::string(kTraceColour) + "\" stroke-width=\"1.2\" points=\"";
  for (const LevelRow& row : result.levels) {
    if (row.duration > 0.0f && std::isfinite(row.duration) && std::isfinite(row.level)) {
      append_point(out, panel.x(row.level), panel.y(row.duration));
    }
  }
  if (out.back() == ' ') out.pop_back();
  out += "\"/>\n";

  if (result.fault == Fault::none) {
    const auto row = std::find_if(result.levels.begin(), result.levels.end(),
                                  [&](const LevelRow& r) { return r.level == result.a0; });
    const double y = row != result.levels.end() && row->duration > 0.0f ? panel.y(row->duration) : tau_y;
    const double x = panel.x(result.a0);
    append_line(out, x, y, x, panel.top + panel.height,
                "stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"1\" stroke-dasharray=\"4 3\"");
    append_circle(out, x, y, 5.0, "id=\"a0-point\" fill=\"" + std::string(kMarkColour) + "\"");
    // Right of the point, or left of it near the right edge, where the 0.3 s text is.
    const bool near_right = x > panel.left + panel.width - 160;
    append_text(out, near_right ? x - 8 : x + 8, y - 8,
                std::string(near_right ? "text-anchor=\"end\" " : "") + "font-size=\"12\" fill=\"" +
                    std::string(kMarkColour) + "\"",
                "A0 " + numtext::fixed_text(result.a0, kValueDecimals) + " gal");
  }
  out += "</g>\n";
}

// The axis of the running intensity: from three classes under the
// strongest window, not below 0 unless the strongest window is, and not
// below the weakest window, up to the class above the strongest; at least
// four classes tall, lower rather than above 7. Without a computed window,
// 0 to 7.
//   windows -5 .. 6.2 → 3 to 7,  4.6 .. 5.9 → 3 to 7,  -5 .. 1.2 → 0 to 4
struct RunningAxis {
  double low = 0.0;
  double high = 7.0;
};

RunningAxis running_axis(std::span<const RunningPoint> running) {
  double weakest = std::numeric_limits<double>::infinity();
  double strongest = -std::numeric_limits<double>::infinity();
  for (const RunningPoint& point : running) {
    if (!point.computed || !std::isfinite(point.intensity)) continue;
    weakest = std::min(weakest, static_cast<double>(point.intensity));
    strongest = std::max(strongest, static_cast<double>(point.intensity));
  }
  if (!std::isfinite(strongest)) return {};
  const double floor = strongest >= 0.0 ? 0.0 : -std::numeric_limits<double>::infinity();
  double low = std::max({std::floor(weakest), std::floor(strongest) - 3.0, floor});
  const double high = std::max(std::ceil(strongest + 0.3), std::min(low + 4.0, 7.0));
  low = std::max(std::min(low, high - 4.0), floor);
  return {low, high};
}

// The running intensity over pale bands of the classes (the classes' lower
// bounds as intensities, the reported value's), a strip of the full class
// colours with their labels right of the frame, the title and the highest
// window's text above the frame, and the curve, clipped to the frame, with
// a gap at each window that was not computed; many steps to a pixel column
// keep that column's lowest and highest.
void append_running(std::string& out, const RecordPicture& picture, double x_high, const Ticks& time_ticks) {
  constexpr double kClassBounds[] = {0.5, 1.5, 2.5, 3.5, 4.5, 5.0, 5.5, 6.0, 6.5};
  constexpr double kStrip = 22.0;  // the width of the class strip right of the frame
  const RunningAxis axis = running_axis(picture.running);
  const RunningPoint* strongest = nullptr;
  for (const RunningPoint& point : picture.running) {
    if (!point.computed || !std::isfinite(point.intensity)) continue;
    if (strongest == nullptr || point.intensity > strongest->intensity) strongest = &point;
  }
  const Panel panel{.top = kHeight + 40.0, .height = 200.0, .x_high = x_high, .y_low = axis.low, .y_high = axis.high};
  out += "<g id=\"running-panel\">\n<clipPath id=\"running-clip\">";
  append_shape(out, "rect", {{"x", panel.left}, {"y", panel.top}, {"width", panel.width}, {"height", panel.height}}, "");
  out += "</clipPath>\n";
  for (int c = 0; c <= 9; ++c) {
    const double bottom = std::max(axis.low, c == 0 ? axis.low : kClassBounds[c - 1]);
    const double top = std::min(axis.high, c == 9 ? axis.high : kClassBounds[c]);
    if (top <= bottom) continue;
    const auto intensity_class = static_cast<IntensityClass>(c);
    const std::string_view colour = class_colour(intensity_class);
    const double y_top = panel.y(top);
    const double height = panel.y(bottom) - y_top;
    append_shape(out, "rect", {{"x", panel.left}, {"y", y_top}, {"width", panel.width}, {"height", height}},
                 "class=\"class-band\" fill=\"" + std::string(colour) + "\" fill-opacity=\"0.22\"");
    append_shape(out, "rect", {{"x", panel.left + panel.width + 2}, {"y", y_top}, {"width", kStrip}, {"height", height}},
                 "class=\"class-strip\" fill=\"" + std::string(colour) + "\" stroke=\"#FFFFFF\" stroke-width=\"0.5\"");
    if (height >= 10.0) {
      append_text(out, panel.left + panel.width + 2 + kStrip / 2, y_top + height / 2 + 3.5,
                  "class=\"class-label\" text-anchor=\"middle\" font-size=\"10\" font-weight=\"bold\" fill=\"" +
                      std::string(text_colour_on(colour)) + "\"",
                  class_label(intensity_class));
    }
  }
  const Ticks ticks = round_ticks(axis.low, axis.high, 8);
  for (const double value : ticks.values) append_y_tick(out, panel, value, numtext::fixed_text(value, ticks.decimals));
  append_x_ticks(out, panel, time_ticks, true);
  append_frame(out, panel, "intensity");
  append_text(out, panel.left + panel.width / 2, panel.top + panel.height + 30,
              "text-anchor=\"middle\" font-size=\"12\"", "time at the window's end (s)");
  append_text(out, panel.left, panel.top - 8, "id=\"running-title\" font-size=\"14\" font-weight=\"bold\"",
              "running intensity, " + numtext::shortest_text(static_cast<float>(picture.running_window)) + " s window");
  if (strongest != nullptr) {
    append_text(out, panel.left + panel.width, panel.top - 8, "id=\"running-highest\" text-anchor=\"end\" font-size=\"12\"",
                "highest " + numtext::fixed_text(strongest->intensity, kValueDecimals) + " at " +
                    numtext::fixed_text(strongest->time, kValueDecimals) + " s");
  }
  out += "<g clip-path=\"url(#running-clip)\">\n";

  // Polylines between gaps; per pixel column its first, lowest and highest point.
  bool open = false;
  long long column = LLONG_MIN;
  const RunningPoint* low = nullptr;
  const RunningPoint* high = nullptr;
  const auto flush = [&]() {
    if (low == nullptr) return;
    const RunningPoint* first = low->time <= high->time ? low : high;
    const RunningPoint* second = first == low ? high : low;
    append_point(out, panel.x(first->time), panel.y(first->intensity));
    if (second != first) append_point(out, panel.x(second->time), panel.y(second->intensity));
    low = high = nullptr;
  };
  const auto close = [&]() {
    flush();
    if (!open) return;
    if (out.back() == ' ') out.pop_back();
    out += "\"/>\n";
    open = false;
  };
  for (const RunningPoint& point : picture.running) {
    if (!point.computed || !std::isfinite(point.intensity)) {
      close();
      continue;
    }
    if (!open) {
      out += "<polyline class=\"running-line\" fill=\"none\" stroke=\"#1A1A1A\" stroke-width=\"1.4\" points=\"";
      open = true;
    }
    const auto here = static_cast<long long>(std::floor(panel.x(point.time)));
    if (here != column) flush();
    column = here;
    if (low == nullptr || point.intensity < low->intensity) low = &point;
    if (high == nullptr || point.intensity > high->intensity) high = &point;
  }
  close();
  if (strongest != nullptr) {
    append_circle(out, panel.x(strongest->time), panel.y(strongest->intensity), 4.5,
                  "id=\"running-max\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\"");
  }
  out += "</g>\n</g>\n";
}

// ---------------------------------------------------------------------------
// The ground-motion values: the long-period class badge and the response
// spectra
// ---------------------------------------------------------------------------

// The height the response-spectrum panel adds below the others.
constexpr double kSpectraHeight = 340.0;
// Lines of the first and second horizontal component.
constexpr std::array<std::string_view, 2> kSpectrumColours = {"#1F4E9A", "#E07B00"};
// The long-period classes 0 to 4: their lower bounds of sva (cm/s) and colours.
constexpr std::array<double, 5> kLongPeriodBounds = {0.0, 5.0, 15.0, 50.0, 100.0};
constexpr std::array<std::string_view, 5> kLongPeriodColours = {"#FFFFFF", "#B4DCFF", "#FFE15A", "#FF8C1E",
                                                                "#D7003C"};

std::string_view long_period_colour(std::int32_t lp_class) {
  return kLongPeriodColours[static_cast<std::size_t>(std::clamp(lp_class, 0, 4))];
}

// The long-period class on a badge in its colour, at the right of the title.
void append_long_period_badge(std::string& out, const GroundMotion& motion) {
  const std::string_view fill = long_period_colour(motion.lp_class);
  const std::string ink(text_colour_on(fill));
  out += "<g id=\"lp-badge\">\n";
  append_shape(out, "rect", {{"x", kWidth - kRight - 150}, {"y", 14}, {"width", 150}, {"height", 54}},
               "rx=\"6\" fill=\"" + std::string(fill) + "\" stroke=\"#808080\" stroke-width=\"1.5\"");
  append_text(out, kWidth - kRight - 75, 32, "text-anchor=\"middle\" font-size=\"12\" fill=\"" + ink + "\"",
              "long-period");
  append_text(out, kWidth - kRight - 75, 60, "text-anchor=\"middle\" font-size=\"22\" font-weight=\"bold\" fill=\"" + ink + "\"",
              "class " + std::to_string(motion.lp_class));
  out += "</g>\n";
}

// The values 1, 2 and 5 x 10^k from `low` to `high` (both included when
// they are such values), for a log axis.
std::vector<double> log_tick_values(double low, double high) {
  std::vector<double> values;
  for (int exponent = static_cast<int>(std::floor(std::log10(low))); exponent <= std::ceil(std::log10(high));
       ++exponent) {
    for (const double multiple : {1.0, 2.0, 5.0}) {
      const double value = multiple * std::pow(10.0, exponent);
      if (value >= low * (1 - 1e-9) && value <= high * (1 + 1e-9)) values.push_back(value);
    }
  }
  return values;
}

std::string log_tick_label(double value) {
  return numtext::fixed_text(value, std::max(0, -static_cast<int>(std::floor(std::log10(value) + 1e-9))));
}

// One curve of a spectrum against the period, on a panel whose x values are
// log10 of the period; values at or below the bottom of a log axis are drawn
// on it.
void append_spectrum_line(std::string& out, const Panel& panel, std::span<const double> periods,
                          std::span<const double> values, std::span<const std::size_t> order, std::string_view attributes) {
  out += "<polyline fill=\"none\" ";
  out += attributes;
  out += " points=\"";
  for (const std::size_t p : order) {
    const double value = panel.y_log ? std::max(values[p], panel.y_low) : values[p];
    append_point(out, panel.x(std::log10(periods[p])), panel.y(value));
  }
  if (out.back() == ' ') out.pop_back();
  out += "\"/>\n";
}

// One curve of the spectra of both horizontal components, with the ids
// "<name>-1" and "<name>-2".
void append_spectrum_pair(std::string& out, const Panel& panel, const GroundMotion& motion,
                          std::vector<double> ResponseSpectrum::*curve, std::string_view name,
                          std::span<const std::size_t> order) {
  for (std::size_t c = 0; c < 2; ++c) {
    append_spectrum_line(out, panel, motion.periods, motion.spectra[c].*curve, order,
                         "id=\"" + std::string(name) + "-" + std::to_string(c + 1) + "\" stroke=\"" +
                             std::string(kSpectrumColours[c]) + "\" stroke-width=\"1.5\"");
  }
}

// A spectrum plot's frame, its period ticks, its name and its legend.
void append_spectrum_frame(std::string& out, const Panel& panel, std::span<const double> period_ticks,
                           std::string_view unit, std::string_view name,
                           const std::array<std::string_view, 3>& component_names) {
  for (const double value : period_ticks) {
    const double x = panel.x(std::log10(value));
    append_line(out, x, panel.top, x, panel.top + panel.height, "stroke=\"#E6E6E6\"");
    append_text(out, x, panel.top + panel.height + 14, "class=\"xtick\" text-anchor=\"middle\" font-size=\"11\"",
                log_tick_label(value));
  }
  append_frame(out, panel, unit);
  append_text(out, panel.left + panel.width / 2, panel.top + panel.height + 30, "text-anchor=\"middle\" font-size=\"12\"",
              "period (s)");
  append_text(out, panel.left, panel.top - 8, "font-size=\"14\" font-weight=\"bold\"", name);
  for (std::size_t c = 0; c < 2; ++c) {
    const double x = panel.left + panel.width - 90 + 45 * static_cast<double>(c);
    append_line(out, x, panel.top - 12, x + 14, panel.top - 12,
                "stroke=\"" + std::string(kSpectrumColours[c]) + "\" stroke-width=\"2\"");
    append_text(out, x + 17, panel.top - 8, "font-size=\"11\"", component_names[c]);
  }
}

// The response spectra of the two horizontal components: psa against the
// period on the left; sva on the right over the bands of the long-period
// classes (drawn across the class's periods), with the class's own 5 %
// curves dashed when the spectra have another damping, and the largest of
// them marked.
void append_spectra(std::string& out, const RecordPicture& picture, const GroundMotion& motion, double top) {
  const std::span<const double> periods = motion.periods;
  if (periods.empty()) return;
  std::vector<std::size_t> order(periods.size());
  for (std::size_t p = 0; p < order.size(); ++p) order[p] = p;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return periods[a] < periods[b]; });
  double shortest = periods[order.front()];
  double longest = periods[order.back()];
  if (longest <= shortest) {
    shortest /= 2;
    longest *= 2;
  }
  const std::vector<double> period_ticks = log_tick_values(shortest, longest);

  double highest_psa = 0.0;
  double highest_sva = motion.lp_sva;
  double lowest_sva = std::numeric_limits<double>::infinity();
  for (const ResponseSpectrum& spectrum : motion.spectra) {
    for (const double value : spectrum.psa) highest_psa = std::max(highest_psa, value);
    for (const double value : spectrum.sva) {
      highest_sva = std::max(highest_sva, value);
      if (value > 0.0) lowest_sva = std::min(lowest_sva, value);
    }
  }
  const std::string percent = numtext::shortest_text(motion.damping * 100.0) + " %";
  out += "<g id=\"spectra-panel\">\n";

  const Ticks psa_ticks = ticks_up_to(highest_psa, 5);
  const Panel psa{.top = top + 40.0, .width = 480.0, .height = 240.0, .x_low = std::log10(shortest),
                  .x_high = std::log10(longest), .y_low = 0.0, .y_high = psa_ticks.values.back()};
  out += "<g id=\"psa-plot\">\n";
  for (const double value : psa_ticks.values) append_y_tick(out, psa, value, numtext::fixed_text(value, psa_ticks.decimals));
  append_spectrum_frame(out, psa, period_ticks, "gal", "pseudo-spectral acceleration psa, h " + percent,
                        picture.component_names);
  append_spectrum_pair(out, psa, motion, &ResponseSpectrum::psa, "psa", order);
  out += "</g>\n";

  // A log axis that shows every class band: from at most 1 cm/s (lower
  // when the curves go lower, by at most five decades) to at least 200.
  double sva_high = 200.0;
  for (const double value : log_tick_values(1.0, std::max(1.0, highest_sva) * 10)) {
    if (value >= highest_sva) {
      sva_high = std::max(sva_high, value);
      break;
    }
  }
  const double sva_low = std::max(
      sva_high * 1e-5, std::min(1.0, std::isfinite(lowest_sva) ? std::pow(10.0, std::floor(std::log10(lowest_sva))) : 1.0));
  const Panel sva{.left = kLeft + 480.0 + 110.0, .top = top + 40.0, .width = kPlotWidth - 480.0 - 110.0,
                  .height = 240.0, .x_low = std::log10(shortest), .x_high = std::log10(longest),
                  .y_low = sva_low, .y_high = sva_high, .y_log = true};
  out += "<g id=\"sva-plot\">\n";
  const std::span<const double> class_periods = long_period_class_periods();
  const double band_left = sva.x(std::log10(std::max(shortest, class_periods.front())));
  const double band_right = sva.x(std::log10(std::min(longest, class_periods.back())));
  for (std::size_t c = 0; c < kLongPeriodBounds.size() && band_right > band_left; ++c) {
    const double bottom = std::max(sva_low, kLongPeriodBounds[c]);
    const double upper = c + 1 < kLongPeriodBounds.size() ? std::min(sva_high, kLongPeriodBounds[c + 1]) : sva_high;
    if (upper <= bottom) continue;
    append_shape(out, "rect",
                 {{"x", band_left}, {"y", sva.y(upper)}, {"width", band_right - band_left}, {"height", sva.y(bottom) - sva.y(upper)}},
                 "id=\"lp-band-" + std::to_string(c) + "\" fill=\"" + std::string(kLongPeriodColours[c]) +
                     "\" fill-opacity=\"0.5\"");
    if (sva.y(bottom) - sva.y(upper) >= 10.0) {
      append_text(out, band_right - 4, sva.y(bottom) - 2, "text-anchor=\"end\" font-size=\"9\" fill=\"#555555\"",
                  "class " + std::to_string(c));
    }
  }
  for (const double value : log_tick_values(sva_low, sva_high)) {
    const bool labelled = std::fabs(value / std::pow(10.0, std::floor(std::log10(value) + 1e-9)) - 1.0) < 1e-9;
    append_y_tick(out, sva, value, labelled ? log_tick_label(value) : "");
  }
  append_spectrum_frame(out, sva, period_ticks, "cm/s", "absolute velocity response sva, h " + percent,
                        picture.component_names);
  append_spectrum_pair(out, sva, motion, &ResponseSpectrum::sva, "sva", order);
  if (motion.damping != kLongPeriodDamping && !motion.lp_steps.empty()) {
    std::vector<double> steps_periods;
    std::array<std::vector<double>, 2> steps_sva;
    for (const LongPeriodStep& step : motion.lp_steps) {
      steps_periods.push_back(step.period);
      for (std::size_t c = 0; c < 2; ++c) steps_sva[c].push_back(step.sva[c]);
    }
    std::vector<std::size_t> steps_order(steps_periods.size());
    for (std::size_t p = 0; p < steps_order.size(); ++p) steps_order[p] = p;
    for (std::size_t c = 0; c < 2; ++c) {
      append_spectrum_line(out, sva, steps_periods, steps_sva[c], steps_order,
                           "class=\"lp-line\" stroke=\"" + std::string(kSpectrumColours[c]) +
                               "\" stroke-width=\"1\" stroke-dasharray=\"4 3\"");
    }
  }
  if (motion.lp_sva > 0.0) {
    append_circle(out, sva.x(std::log10(motion.lp_period)), sva.y(std::max(motion.lp_sva, sva_low)), 4.5,
                  "id=\"lp-max\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\"");
  }
  append_text(out, sva.left + 8, sva.top + 16, "id=\"lp-summary\" font-size=\"12\"",
              "long-period class " + std::to_string(motion.lp_class) + ": sva " +
                  numtext::fixed_text(motion.lp_sva, kValueDecimals) + " cm/s at " +
                  numtext::fixed_text(motion.lp_period, 1) + " s (h 5 %)");
  out += "</g>\n</g>\n";
}

}  // namespace

std::string record_svg(const RecordPicture& picture, const Intensity& result) {
  const std::array<std::span<const float>, 3> components = {picture.record.acc1, picture.record.acc2,
                                                            picture.record.acc3};
  const TimeAxis time = time_axis(picture.record.dt);
  std::size_t samples = result.wave.size();
  for (const auto& component : components) samples = std::max(samples, component.size());
  const double x_high = std::max(1.0, static_cast<double>(samples)) * time.step;
  const Ticks time_ticks = round_ticks(0.0, x_high, 10);

  std::string out;
  out.reserve(256 * 1024);
  double height = picture.running.empty() ? kHeight : kHeight + kRunningHeight;
  const double spectra_top = height;
  if (picture.ground_motion != nullptr) height += kSpectraHeight;
  const std::string size = "width=\"" + numtext::fixed_text(kWidth, 0) + "\" height=\"" + numtext::fixed_text(height, 0) + "\"";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" " + size + " viewBox=\"0 0 " + numtext::fixed_text(kWidth, 0) + " " +
         numtext::fixed_text(height, 0) + "\" font-family=\"'DejaVu Sans', 'Noto Sans CJK JP', 'Liberation Sans', Arial, sans-serif\">\n<title>";
  out += escape_xml(picture.name);
  out += "</title>\n<rect " + size + " fill=\"#FFFFFF\"/>\n";
  append_title(out, picture, result);
  for (std::size_t i = 0; i < components.size(); ++i) {
    append_component(out, components[i], component_title(picture.component_names[i], i), 90.0 + 140.0 * static_cast<double>(i),
                     x_high, time_ticks, time);
  }
  append_wave(out, result, x_high, time_ticks, time);
  append_a0_tau(out, result);
  if (!picture.running.empty()) append_running(out, picture, x_high, time_ticks);
  if (picture.ground_motion != nullptr) {
    append_long_period_badge(out, *picture.ground_motion);
    append_spectra(out, picture, *picture.ground_motion, spectra_top);
  }
  out += "</svg>\n";
  return out;
}

}  // namespace shindo::pictures
