#include <cmath>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "batch/output.h"
#include "batch/table.h"
#include "numtext/writing.h"
#include "readers/readers.h"

namespace batch {

namespace {

// A field as RFC 4180 writes it, quoted when it holds a comma, a quote or a
// line end; other control characters shown escaped, never raw.
std::string csv_field(std::string_view raw) {
  const std::string text = shown(raw, "\t\r\n");
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A JSON string of valid UTF-8: bytes that are not UTF-8 as U+FFFD.
std::string json_string(std::string_view raw) {
  const std::string text = shindo::pictures::valid_utf8(raw);
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// The values of a row in column order, as text; nullopt where absent. Texts
// of numbers are marked so that JSON writes them bare.
using Cell = TableCell;

// The error of a row without the record's name, which the row's first
// column already shows; a file of the record other than its name stays:
//   ("d/x.txt", "d/x.txt: not a record")          → "not a record"
//   ("d/x.txt", "d/x.txt:4: time 0.04 where ...")  → "line 4: time 0.04 where ..."
//   ("d/X", "d/X.EW:19: not an integer count ...") → unchanged
std::string error_of(const std::string& record, const std::string& error) {
  if (record.empty() || !error.starts_with(record) || error.size() <= record.size() + 1 ||
      error[record.size()] != ':') {
    return error;
  }
  const std::string_view rest = std::string_view(error).substr(record.size() + 1);
  if (rest.starts_with(' ')) return std::string(rest.substr(1));
  const std::size_t digits = rest.find_first_not_of("0123456789");
  if (digits == 0 || digits == std::string_view::npos || !rest.substr(digits).starts_with(": ")) return error;
  return "line " + std::string(rest.substr(0, digits)) + std::string(rest.substr(digits));
}

// A text cell, absent when empty.
Cell text_or_null(const std::string& value) {
  return Cell{value.empty() ? std::nullopt : std::optional<std::string>(value), false};
}

constexpr const char* kGroundColumns[] = {"pga_ns", "pga_ew", "pga_ud", "pga_h",   "pgv_ns",     "pgv_ew",
                                          "pgv_ud", "pgv_h",  "si",     "sva_max", "sva_period", "lp_class"};

// The ground-motion values in the order of kGroundColumns, all absent when
// they were not computed. A component's PGA is one of its samples, a float,
// and is written as the float (as the column pga); the others are doubles.
void append_ground(std::vector<Cell>& all, const std::optional<shindo::pictures::GroundMotionValues>& ground) {
  if (!ground) {
    all.insert(all.end(), std::size(kGroundColumns), Cell{std::nullopt, true});
    return;
  }
  const shindo::pictures::GroundMotionValues& g = *ground;
  for (const double sample : g.pga) all.push_back(Cell{numtext::shortest_text(static_cast<float>(sample)), true});
  for (const double value : {g.pga_h, g.pgv[0], g.pgv[1], g.pgv[2], g.pgv_h, g.si, g.sva_max, g.sva_period}) {
    all.push_back(Cell{numtext::shortest_text(value), true});
  }
  all.push_back(Cell{std::to_string(g.lp_class), true});
}

std::vector<Cell> cells(const ReportRow& row, bool running) {
  const auto text = [](const std::string& value) { return Cell{value, false}; };
  // The text `value()` gives when the value is known, a number unless said.
  const auto when = [](bool known, const auto& value, bool is_number = true) {
    return Cell{known ? std::optional<std::string>(value()) : std::nullopt, is_number};
  };
  const auto optional_double = [&](std::optional<double> value) {
    return when(value.has_value() && std::isfinite(*value), [&] { return numtext::shortest_text(*value); });
  };
  // A number that is not finite has no text JSON reads: it is absent.
  const auto read = [&](double number, const auto& value) {
    return when(row.read.has_value() && std::isfinite(number), value);
  };
  const auto computed = [&](double number, const auto& value, bool is_number = true) {
    return when(row.computed.has_value() && std::isfinite(number), value, is_number);
  };
  const double intensity = row.computed ? row.computed->intensity : 0.0;
  const std::int32_t tenths = row.computed && std::isfinite(intensity) ? shindo::reported_tenths(row.computed->intensity) : 0;
  std::vector<Cell> all = {
      text(row.record),
      text(row.format),
      text(row.station),
      optional_double(row.latitude),
      optional_double(row.longitude),
      read(0.0, [&] { return std::to_string(row.read->samples); }),
      read(row.read ? row.read->dt : 0.0, [&] { return numtext::shortest_text(row.read->dt); }),
      read(row.read ? row.read->pga : 0.0, [&] { return numtext::shortest_text(row.read->pga); }),
      computed(row.computed ? row.computed->amax : 0.0, [&] { return numtext::shortest_text(row.computed->amax); }),
      computed(row.computed ? row.computed->a0 : 0.0, [&] { return numtext::shortest_text(row.computed->a0); }),
      computed(intensity, [&] { return numtext::shortest_text(row.computed->intensity); }),
      computed(intensity, [&] { return numtext::reported_text(tenths); }),
      computed(intensity, [&] { return std::string(shindo::class_label(shindo::intensity_class(tenths))); }, false),
  };
  if (running) {
    const std::optional<shindo::pictures::StrongestWindow>& strongest = row.strongest;
    all.push_back(when(strongest.has_value() && std::isfinite(strongest->intensity),
                       [&] { return numtext::shortest_text(strongest->intensity); }));
    all.push_back(when(strongest.has_value() && std::isfinite(strongest->time), [&] {
      return numtext::seconds_text(strongest->time, row.read ? row.read->dt : 0.0f);
    }));
  }
  all.push_back(text_or_null(error_of(row.record, row.error)));
  // What the headers say.
  const shindo::pictures::EventInfo& event = row.event;
  all.push_back(text_or_null(event.station_name));
  all.push_back(text_or_null(event.record_time));
  all.push_back(text_or_null(event.origin_time));
  all.push_back(optional_double(event.magnitude));
  all.push_back(optional_double(row.epicentre ? std::optional<double>(row.epicentre->latitude) : std::nullopt));
  all.push_back(optional_double(row.epicentre ? std::optional<double>(row.epicentre->longitude) : std::nullopt));
  all.push_back(optional_double(event.depth_km));
  all.push_back(when(event.distance_km.has_value(), [&] { return numtext::fixed_text(*event.distance_km, 3); }));
  if (running) {
    const std::string clock = row.strongest && !event.record_time.empty()
                                  ? readers::iso_japan_time(event.record_time, row.strongest->time)
                                  : std::string();
    all.push_back(text_or_null(clock));
  }
  append_ground(all, row.ground);
  return all;
}

constexpr std::string_view kComputedColumns[] = {"record", "format",  "station", "latitude", "longitude",
                                                 "samples", "dt",     "pga",     "amax",     "a0",
                                                 "intensity", "reported", "class"};
// What the headers say, after the error so that readers of the older table keep their columns.
constexpr std::string_view kHeaderColumns[] = {"station_name",    "record_time",     "origin_time", "magnitude",
                                               "event_latitude", "event_longitude", "depth_km",    "distance_km"};

std::vector<std::string_view> columns(bool running) {
  std::vector<std::string_view> names(std::begin(kComputedColumns), std::end(kComputedColumns));
  if (running) names.insert(names.end(), {"running_max", "running_max_time"});
  names.push_back("error");
  names.insert(names.end(), std::begin(kHeaderColumns), std::end(kHeaderColumns));
  if (running) names.push_back("running_max_clock");
  names.insert(names.end(), std::begin(kGroundColumns), std::end(kGroundColumns));
  return names;
}

std::string csv_of(const std::vector<Cell>& all) {
  std::string line;
  bool first = true;
  for (const Cell& cell : all) {
    if (!first) line += ',';
    first = false;
    if (cell.text) line += csv_field(*cell.text);
  }
  return line + "\n";
}

std::string json_of(std::span<const std::string_view> names, const std::vector<Cell>& all) {
  std::string line = "{";
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) line += ',';
    line += json_string(names[i]) + ":";
    const Cell& cell = all[i];
    line += !cell.text ? "null" : cell.number ? *cell.text : json_string(*cell.text);
  }
  return line + "}\n";
}

constexpr std::string_view kRunningColumns[] = {"time", "intensity", "reported", "class", "error"};

// A step of a running intensity: the time at its window's end, then its
// value or the fault of a window that was not computed.
std::vector<Cell> running_cells(const shindo::RunningStep& step, float dt) {
  const shindo::Intensity& result = step.result;
  std::vector<Cell> all = {Cell{numtext::seconds_text(step.time, dt), true}};
  if (result.fault != shindo::Fault::none) {
    all.insert(all.end(), 3, Cell{});
    all.push_back(Cell{shindo::describe_fault(result.fault, result.stage), false});
    return all;
  }
  const std::int32_t tenths = shindo::reported_tenths(result.shindo);
  all.push_back(Cell{numtext::shortest_text(result.shindo), true});
  all.push_back(Cell{numtext::reported_text(tenths), true});
  all.push_back(Cell{std::string(shindo::class_label(shindo::intensity_class(tenths))), false});
  all.push_back(Cell{});
  return all;
}

}  // namespace

std::string csv_header(bool running) {
  std::string header;
  for (const std::string_view column : columns(running)) {
    header += std::string(header.empty() ? "" : ",") + std::string(column);
  }
  return header + "\n";
}

std::string csv_line(const ReportRow& row, bool running) { return csv_of(cells(row, running)); }

std::string json_line(const ReportRow& row, bool running) { return json_of(columns(running), cells(row, running)); }

std::vector<std::string_view> table_columns(bool running) { return columns(running); }

std::vector<TableCell> table_cells(const ReportRow& row, bool running) { return cells(row, running); }

std::string running_header() { return "time,intensity,reported,class,error\n"; }

std::string running_line(const shindo::RunningStep& step, float dt) { return csv_of(running_cells(step, dt)); }

std::string running_json_line(const shindo::RunningStep& step, float dt) {
  return json_of(kRunningColumns, running_cells(step, dt));
}

}  // namespace batch
