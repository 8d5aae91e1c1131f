#include "batch/report.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>
#include <variant>

#include "batch/table.h"

namespace batch {

namespace {

// Writes `bytes` as TARGET in its folder through a staged file.
std::optional<std::string> write_file(const std::string& folder, const std::string& target, std::size_t number,
                                      std::string_view suffix, std::string_view bytes,
                                      const std::set<FileIdentity>& inputs) {
  std::variant<StagedFile, std::string> staged = stage_file(folder, number, suffix, bytes);
  if (const std::string* failure = std::get_if<std::string>(&staged)) return *failure;
  return place_file(std::get<StagedFile>(staged), folder + "/" + target, inputs);
}

// Copies Leaflet's script, style and images into DIRECTORY/leaflet/.
std::optional<std::string> copy_leaflet(const std::filesystem::path& from, const std::string& directory,
                                        std::size_t number, const std::set<FileIdentity>& inputs) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files = {"leaflet.min.js", "leaflet.css"};
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(from / "images", error)) {
    if (entry.path().extension() == ".png") files.push_back(fs::path("images") / entry.path().filename());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const fs::path target = fs::path(directory) / "leaflet" / file;
    if (fs::create_directories(target.parent_path(), error); error) {
      return "cannot create " + target.parent_path().string() + ": " + error.message();
    }
    std::ifstream in(from / file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) return "cannot read " + (from / file).string();
    if (std::optional<std::string> failure = write_file(target.parent_path().string(), target.filename().string(), number,
                                                        target.extension().string(), bytes, inputs)) {
      return failure;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string_view leaflet_folder() { return SHINDO_LEAFLET_DIR; }

std::optional<std::string> write_report(const std::string& directory, std::span<const std::string> paths,
                                        std::vector<shindo::pictures::ReportRow> rows, bool running, std::size_t number,
                                        const std::set<FileIdentity>& inputs, std::string_view leaflet) {
  shindo::pictures::ReportInput report;
  for (const std::string& path : paths) report.title += (report.title.empty() ? "" : " ") + path;
  report.rows = std::move(rows);
  std::optional<std::string> failure;
  std::string table = csv_header(running);
  for (const shindo::pictures::ReportRow& row : report.rows) table += csv_line(row, running);
  failure = write_file(directory, "report.csv", number, ".csv", table, inputs);
  if (!failure) report.table_file = "report.csv";
  if (!leaflet.empty() && std::filesystem::is_regular_file(std::filesystem::path(leaflet) / "leaflet.min.js")) {
    std::optional<std::string> copied = copy_leaflet(leaflet, directory, number, inputs);
    if (!copied) report.leaflet = "leaflet";
    if (!failure) failure = std::move(copied);
  }
  std::optional<std::string> page = write_file(directory, "report.html", number, ".html",
                                               shindo::pictures::report_html(report), inputs);
  return page ? page : failure;
}

}  // namespace batch
