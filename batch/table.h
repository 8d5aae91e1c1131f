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
// running_max and running_max_time come before error.
//   "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,error\n"
//   "d/AOM0170806140843,knet,AOM017,40.6363,139.9284,11500,0.01,21.5,20.5,10.25,2.96875,2.9,3,\n"
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

}  // namespace batch
