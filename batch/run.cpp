// The batch run: the paths walked, the records computed by a pool of workers
// (only a few records in memory at a time), and at the end the rows and the
// written files put in record order.
#include "batch/run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch/files.h"
#include "batch/inputs.h"
#include "batch/output.h"
#include "batch/pipeline.h"
#include "batch/pool.h"
#include "batch/report.h"
#include "batch/table.h"

namespace batch {

namespace {

// The output directories, made when missing; false, with a message, when
// one cannot be used.
bool ready_directories(const Options& options) {
  for (const std::optional<std::string>& directory : {options.export_directory, options.output_directory}) {
    if (!directory) continue;
    std::error_code error;
    std::filesystem::create_directories(*directory, error);
    if (!std::filesystem::is_directory(*directory)) {
      say("shindo-batch: cannot use the directory " + *directory + (error ? ": " + error.message() : "") + "\n");
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<Outcome> compute_records(const Options& options, Walk& walk, std::vector<std::string>& skipped,
                                     bool show_progress) {
  std::vector<Outcome> outcomes;
  std::mutex outcomes_mutex;
  std::atomic<std::size_t> next_number{0};
  auto last_progress = std::chrono::steady_clock::now();
  const auto produce = [&](const std::function<void(Job&&)>& give) {
    for (Job& job : walk.jobs) give(std::move(job));
    walk.jobs.clear();
    for (const std::string& archive : walk.archives) read_archive(archive, give, skipped);
  };
  const auto work = [&](Job&& job) {
    Outcome outcome = process(std::move(job), options, next_number++);
    std::lock_guard lock(outcomes_mutex);
    outcomes.push_back(std::move(outcome));
    const auto now = std::chrono::steady_clock::now();
    if (show_progress && now - last_progress > std::chrono::milliseconds(200)) {
      last_progress = now;
      say("\rshindo-batch: " + std::to_string(outcomes.size()) + " records done");
    }
  };
  run_pool<Job>(options.jobs, produce, work);
  if (show_progress) say("\r\033[K");
  std::stable_sort(outcomes.begin(), outcomes.end(),
                   [](const Outcome& a, const Outcome& b) { return a.row.record < b.row.record; });
  return outcomes;
}

namespace {

// The file name part of a record name: after the last '/' or ':'.
std::string base_name(const std::string& record) {
  const std::size_t cut = record.find_last_of("/:");
  return cut == std::string::npos ? record : record.substr(cut + 1);
}

// Names the staged files of every record, in record order: DIR/<base><suffix>
// with the base of the record's name, or <base>~2, ~3 ... when an earlier
// record has taken it. A file that cannot be placed fails its record.
void place_files(std::vector<Outcome>& outcomes, const std::set<FileIdentity>& inputs) {
  std::set<std::string> used;
  for (Outcome& outcome : outcomes) {
    if (outcome.files.empty()) continue;
    const std::string base = base_name(outcome.row.record);
    std::string stem = base;
    for (int k = 2;; ++k) {
      const bool free = std::none_of(outcome.files.begin(), outcome.files.end(), [&](const StagedFile& file) {
        return used.count(file.directory + "/" + stem + file.suffix) > 0;
      });
      if (free) break;
      stem = base + "~" + std::to_string(k);
    }
    if (stem != base) outcome.warnings.push_back(outcome.row.record + ": files named " + stem + " (" + base + " is taken by another record)");
    for (const StagedFile& file : outcome.files) {
      const std::string target = file.directory + "/" + stem + file.suffix;
      used.insert(target);
      if (std::optional<std::string> failure = place_file(file, target, inputs)) {
        outcome.row.error = *failure;
        outcome.row.computed.reset();
        outcome.row.ground.reset();
      } else if (file.suffix == ".svg") {
        outcome.row.picture = stem + file.suffix;
      } else if (file.suffix == ".txt" || file.suffix.empty()) {  // an exported record
        if (std::optional<std::string> note = export_name_note(file.directory, stem + file.suffix)) {
          outcome.warnings.push_back(*note);
        }
      }
    }
  }
}

// "1 record", "2 records".
std::string counted(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// The closing summary: the records, the failures and the files skipped as no
// record, the first few of them named (all of them, a line each, with --verbose).
//   (3, 1, {"d/notes"}, false) → "shindo-batch: 3 records, 1 failed, 1 file skipped (no record): d/notes\n"
std::string summary(std::size_t records, std::size_t failed, std::vector<std::string> skipped, bool verbose) {
  constexpr std::size_t kNamed = 3;
  std::sort(skipped.begin(), skipped.end());
  std::string text;
  if (verbose) {
    for (const std::string& name : skipped) text += "shindo-batch: skipped (no record): " + name + "\n";
  }
  text += "shindo-batch: " + counted(records, "record", "records") + ", " + std::to_string(failed) + " failed, " +
          counted(skipped.size(), "file", "files") + " skipped (no record)";
  if (!verbose && !skipped.empty()) {
    for (std::size_t i = 0; i < skipped.size() && i < kNamed; ++i) text += (i == 0 ? ": " : ", ") + skipped[i];
    if (skipped.size() > kNamed) {
      text += " and " + std::to_string(skipped.size() - kNamed) + " more (--verbose lists them)";
    }
  }
  return text + "\n";
}

}  // namespace

int run(const Options& options) {
  if (!ready_directories(options)) return 2;
  Walk walk = walk_paths(options.paths);
  std::vector<std::string> skipped = std::move(walk.skipped);
  std::vector<Outcome> outcomes = compute_records(options, walk, skipped, ::isatty(2) != 0);
  place_files(outcomes, walk.inputs);

  std::string table = options.format == TableFormat::csv ? csv_header(options.running) : "";
  std::size_t failed = 0;
  std::string notes;
  for (const Outcome& outcome : outcomes) {
    table += options.format == TableFormat::csv ? csv_line(outcome.row, options.running)
                                                : json_line(outcome.row, options.running);
    failed += outcome.row.error.empty() ? 0 : 1;
    for (const std::string& warning : outcome.warnings) notes += "shindo-batch: warning: " + warning + "\n";
  }
  const bool table_written = write_all(1, table);
  const int table_error = errno;
  std::optional<std::string> report_failure;
  if (options.output_directory) {
    std::vector<shindo::pictures::ReportRow> rows;
    rows.reserve(outcomes.size());
    for (Outcome& outcome : outcomes) rows.push_back(std::move(outcome.row));
    report_failure = write_report(*options.output_directory, options.paths, std::move(rows), options.running,
                                  outcomes.size(), walk.inputs);
    if (report_failure) notes += "shindo-batch: " + *report_failure + "\n";
  }
  notes += summary(outcomes.size(), failed, std::move(skipped), options.verbose);
  say(notes);
  if (!table_written) {
    say("shindo-batch: cannot write the table: " + std::string(std::strerror(table_error)) + "\n");
    return 1;
  }
  return failed == 0 && !report_failure ? 0 : 1;
}

}  // namespace batch
