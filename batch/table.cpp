#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "batch/output.h"
#include "batch/table.h"
#include "numtext/writing.h"

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
struct Cell {
  std::optional<std::string> text;
  bool number = false;
};

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
  all.push_back(Cell{row.error.empty() ? std::nullopt : std::optional<std::string>(row.error), false});
  return all;
}

constexpr const char* kColumns[] = {"record", "format",  "station", "latitude", "longitude",
                                    "samples", "dt",     "pga",     "amax",     "a0",
                                    "intensity", "reported", "class", "error"};

std::vector<std::string_view> columns(bool running) {
  std::vector<std::string_view> names(std::begin(kColumns), std::end(kColumns) - 1);
  if (running) names.insert(names.end(), {"running_max", "running_max_time"});
  names.push_back("error");
  return names;
}

}  // namespace

std::string csv_header(bool running) {
  std::string header;
  for (const std::string_view column : columns(running)) {
    header += std::string(header.empty() ? "" : ",") + std::string(column);
  }
  return header + "\n";
}

std::string csv_line(const ReportRow& row, bool running) {
  std::string line;
  bool first = true;
  for (const Cell& cell : cells(row, running)) {
    if (!first) line += ',';
    first = false;
    if (cell.text) line += csv_field(*cell.text);
  }
  return line + "\n";
}

std::string json_line(const ReportRow& row, bool running) {
  std::string line = "{";
  const std::vector<Cell> all = cells(row, running);
  const std::vector<std::string_view> names = columns(running);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) line += ',';
    line += json_string(names[i]) + ":";
    const Cell& cell = all[i];
    line += !cell.text ? "null" : cell.number ? *cell.text : json_string(*cell.text);
  }
  return line + "}\n";
}

std::string running_header() { return "time,intensity,reported,class,error\n"; }

std::string running_line(const shindo::RunningStep& step, float dt) {
  const shindo::Intensity& result = step.result;
  std::string line = numtext::seconds_text(step.time, dt) + ",";
  if (result.fault != shindo::Fault::none) {
    return line + ",,," +
           csv_field(shindo::describe_fault(result.fault, result.stage)) +
           "\n";
  }
  const std::int32_t tenths = shindo::reported_tenths(result.shindo);
  return line + numtext::shortest_text(result.shindo) + "," + numtext::reported_text(tenths) + "," +
         std::string(shindo::class_label(shindo::intensity_class(tenths))) + ",\n";
}

}  // namespace batch
