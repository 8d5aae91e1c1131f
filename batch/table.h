// The table of a run, one line a record in CSV (RFC 4180 quoting) or JSON
// Lines (absent values null), and the table of a running intensity's steps.
#pragma once

#include <string>

#include "pictures/pictures.h"
#include "shindo/intensity.h"

namespace batch {

using shindo::pictures::ReportRow;

// The header row and the line of a record. With `running`, the columns
// running_max and running_max_time come before error, and running_max_clock
// after what the headers say (station_name .. distance_km).
//   "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,error,
//    station_name,record_time,origin_time,magnitude,event_latitude,event_longitude,depth_km,distance_km\n"
//   "d/AOM0170806140843,knet,AOM017,40.6363,139.9284,11500,0.01,21.5,20.5,10.25,2.96875,2.9,3,,
//    ,2008-06-14T08:44:03+09:00,2008-06-14T08:43:00+09:00,7.2,39.028,140.88,8,195.938\n"
[[nodiscard]] std::string csv_header(bool running = false);
[[nodiscard]] std::string csv_line(const ReportRow& row, bool running = false);
//   {"record":"r","format":"","station":"","latitude":null,...,"error":"bad"}
[[nodiscard]] std::string json_line(const ReportRow& row, bool running = false);

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
