// The table of a run, one line a record in CSV (RFC 4180 quoting) or JSON
// Lines (absent values null), and the table of a running intensity's steps.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/pictures.h"
#include "shindo/intensity.h"

namespace batch {

using shindo::pictures::ReportRow;

// The header row and the line of a record. With `running`, the columns
// running_max and running_max_time come before error; then what the headers
// say (station_name .. distance_km), running_max_clock with `running`, and
// the ground-motion values (pga_ns .. lp_class): pga_ns, pga_ew and pga_ud the
// shortest text of the float sample, the others of their double.
//   "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,error,
//    station_name,record_time,origin_time,magnitude,event_latitude,event_longitude,depth_km,distance_km,
//    pga_ns,pga_ew,pga_ud,pga_h,pgv_ns,pgv_ew,pgv_ud,pgv_h,si,sva_max,sva_period,lp_class\n"
[[nodiscard]] std::string csv_header(bool running = false);
[[nodiscard]] std::string csv_line(const ReportRow& row, bool running = false);
//   {"record":"r","format":"","station":"","latitude":null,...,"error":"bad"}
[[nodiscard]] std::string json_line(const ReportRow& row, bool running = false);

// The same table for a caller that takes the cells themselves (the Python
// package): the column names in order, and a row's cells, the text of each
// as the CSV line shows it (nullopt where absent), numbers marked.
//   table_columns(false) → {"record", "format", ..., "error"}
//   table_cells(row of "r" that failed) → {{"r", text}, {"", text}, ..., {nullopt, number}, ..., {"bad", text}}
struct TableCell {
  std::optional<std::string> text;
  bool number = false;
};
[[nodiscard]] std::vector<std::string_view> table_columns(bool running = false);
[[nodiscard]] std::vector<TableCell> table_cells(const ReportRow& row, bool running = false);

// The table of steps (DIR/<record>.running.csv and --follow): time at the
// window's end, intensity, reported, class, and the fault of a window that
// was not computed:
//   "time,intensity,reported,class,error\n"
//   "61,5.1593127,5.1,5+,\n"
//   "3,,,,log10 of 0: no level lasts more than 0.299 s (intensity)\n"
[[nodiscard]] std::string running_header();
[[nodiscard]] std::string running_line(const shindo::RunningStep& step, float dt);
// The same step as a line of JSON Lines (--follow --format json):
//   {"time":61,"intensity":5.1593127,"reported":5.1,"class":"5+","error":null}
[[nodiscard]] std::string running_json_line(const shindo::RunningStep& step, float dt);

}  // namespace batch
