#include "batch/report.h"

#include <utility>
#include <variant>

namespace batch {

std::optional<std::string> write_report(const std::string& directory, std::span<const std::string> paths,
                                        std::vector<shindo::pictures::ReportRow> rows, std::size_t number,
                                        const std::set<FileIdentity>& inputs) {
  shindo::pictures::ReportInput report;
  for (const std::string& path : paths) report.title += (report.title.empty() ? "" : " ") + path;
  report.rows = std::move(rows);
  std::variant<StagedFile, std::string> staged =
      stage_file(directory, number, ".html", shindo::pictures::report_html(report));
  if (const std::string* failure = std::get_if<std::string>(&staged)) return *failure;
  return place_file(std::get<StagedFile>(staged), directory + "/report.html", inputs);
}

}  // namespace batch
