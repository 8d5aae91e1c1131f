#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/batch.h"
#include "numtext/writing.h"
#include "pictures/describe_fault.h"

namespace batch {

namespace {

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string json_string(std::string_view text) {
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
        if (byte < 0x20) {
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

std::vector<Cell> cells(const Row& row, bool running) {
  const auto number = [](std::optional<std::string> text) { return Cell{std::move(text), true}; };
  const auto text = [](const std::string& value) { return Cell{value, false}; };
  const auto optional_float = [&](std::optional<float> value) {
    return number(value ? std::optional<std::string>(numtext::shortest_text(*value)) : std::nullopt);
  };
  const auto optional_double = [&](std::optional<double> value) {
    return number(value ? std::optional<std::string>(numtext::shortest_text(*value)) : std::nullopt);
  };
  const auto computed = [&](std::string value, bool is_number) {
    return Cell{row.computed ? std::optional<std::string>(std::move(value)) : std::nullopt, is_number};
  };
  std::vector<Cell> all = {
      text(row.record),
      text(row.format),
      text(row.station),
      optional_double(row.latitude),
      optional_double(row.longitude),
      number(row.dt ? std::optional<std::string>(std::to_string(row.samples)) : std::nullopt),
      optional_float(row.dt),
      optional_float(row.pga),
      computed(numtext::shortest_text(row.amax), true),
      computed(numtext::shortest_text(row.a0), true),
      computed(numtext::shortest_text(row.intensity), true),
      computed(numtext::reported_text(row.reported), true),
      computed(row.intensity_class, false),
  };
  if (running) {
    all.push_back(optional_float(row.running_max));
    all.push_back(number(row.running_max_time ? std::optional<std::string>(numtext::seconds_text(*row.running_max_time, row.dt.value_or(0.0f)))
                                              : std::nullopt));
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

// The pictures write the same numbers in the report's table: one text for both.
std::string csv_header(bool running) {
  std::string header;
  for (const std::string_view column : columns(running)) {
    header += std::string(header.empty() ? "" : ",") + std::string(column);
  }
  return header + "\n";
}

std::string csv_line(const Row& row, bool running) {
  std::string line;
  bool first = true;
  for (const Cell& cell : cells(row, running)) {
    if (!first) line += ',';
    first = false;
    if (cell.text) line += csv_field(*cell.text);
  }
  return line + "\n";
}

std::string json_line(const Row& row, bool running) {
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

float peak_vector(const readers::Record& record) {
  double peak = 0.0;
  for (std::size_t i = 0; i < record.acc1.size(); ++i) {
    const double a1 = record.acc1[i], a2 = record.acc2[i], a3 = record.acc3[i];
    peak = std::fmax(peak, std::sqrt(a1 * a1 + a2 * a2 + a3 * a3));
  }
  return static_cast<float>(peak);
}

std::string running_header() { return "time,intensity,reported,class,error\n"; }

std::string running_line(const shindo::RunningStep& step, float dt) {
  const shindo::Intensity& result = step.result;
  std::string line = numtext::seconds_text(step.time, dt) + ",";
  if (result.fault != shindo::Fault::none) {
    return line + ",,," +
           csv_field(shindo::pictures::describe_fault(result.fault, result.stage)) +
           "\n";
  }
  const std::int32_t tenths = shindo::reported_tenths(result.shindo);
  return line + numtext::shortest_text(result.shindo) + "," + numtext::reported_text(tenths) + "," +
         std::string(shindo::class_label(shindo::intensity_class(tenths))) + ",\n";
}

}  // namespace batch
