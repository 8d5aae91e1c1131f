#include "batch/library.h"

#include <algorithm>
#include <utility>

#include "batch/inputs.h"
#include "batch/pipeline.h"
#include "batch/run.h"

namespace batch {

readers::Result<Records> read_records(std::span<const std::string> paths, readers::Offset offset) {
  Options options;
  options.offset = offset;
  Walk walk = walk_paths(paths);
  Records read;
  std::vector<std::string> skipped = std::move(walk.skipped);
  std::vector<readers::Record>& records = read.records;
  std::optional<readers::Error> failure;
  ByteBudget budget(options.memory_limit);
  const Holding holding{budget, {}};
  const auto take = [&](Job&& job) {
    if (failure) return;
    load_job(job, holding);
    readers::Result<readers::Record> record = job.error.empty() ? read_record(job, options) : job_error(job.error);
    job.inputs.clear();
    budget.give_back(job.held);
    if (readers::Error* error = std::get_if<readers::Error>(&record)) {
      failure = std::move(*error);
    } else {
      records.push_back(std::get<readers::Record>(std::move(record)));
    }
  };
  for (Job& job : walk.jobs) take(std::move(job));
  for (const std::string& archive : walk.archives) {
    if (!failure) read_archive(archive, take, skipped, holding);
  }
  if (failure) return *failure;
  read.skipped = skipped.size();
  std::stable_sort(records.begin(), records.end(),
                   [](const readers::Record& a, const readers::Record& b) { return a.name < b.name; });
  return read;
}

Table run_table(const Options& options) {
  Options quiet = options;
  quiet.export_directory.reset();
  quiet.output_directory.reset();
  Walk walk = walk_paths(quiet.paths);
  Table table;
  std::vector<std::string> skipped = std::move(walk.skipped);
  std::vector<Outcome> outcomes = compute_records(quiet, walk, skipped, false);
  table.skipped = skipped.size();
  table.columns = table_columns(quiet.running);
  table.rows.reserve(outcomes.size());
  for (Outcome& outcome : outcomes) {
    table.rows.push_back(table_cells(outcome.row, quiet.running));
    for (std::string& warning : outcome.warnings) table.warnings.push_back(std::move(warning));
  }
  return table;
}

}  // namespace batch
