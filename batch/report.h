// The page of a run: the rows of its records, the same rows as the table's,
// drawn as DIR/report.html beside DIR/report.csv (the table of the run) and,
// when Leaflet was found at configure time, DIR/leaflet/ (its script, style
// and images) for the page's interactive maps; written like the records'
// files.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "batch/output.h"
#include "pictures/pictures.h"

namespace batch {

// The folder Leaflet was found in at configure time (leaflet.min.js,
// leaflet.css, images/), e.g. "/usr/share/javascript/leaflet"; empty when
// it was not.
[[nodiscard]] std::string_view leaflet_folder();

// Writes DIRECTORY/report.csv (the table's CSV of the rows, with the running
// columns when `running`), DIRECTORY/leaflet/ copied from `leaflet` (empty,
// or a folder without leaflet.min.js: no interactive map), then
// DIRECTORY/report.html of the rows, titled with the paths of the run;
// `number` names its temporary files apart from the records' files. The
// message when a file cannot be read, written or placed (the page is then
// written without what failed, if it can be).
//   ("out", {"d", "e.tar"}, rows, false, 7, inputs, "/usr/share/javascript/leaflet")
//     → nullopt, out/report.html titled "d e.tar", out/report.csv, out/leaflet/leaflet.min.js
[[nodiscard]] std::optional<std::string> write_report(const std::string& directory,
                                                      std::span<const std::string> paths,
                                                      std::vector<shindo::pictures::ReportRow> rows, bool running,
                                                      std::size_t number, const std::set<FileIdentity>& inputs,
                                                      std::string_view leaflet = leaflet_folder());

}  // namespace batch
