// The batch run: the paths walked, the records computed by a pool of workers
// within one memory budget, and each record's row written and its files
// placed as soon as it and every record before it are done, so that an
// interrupt loses nothing that was finished.
#include "batch/run.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <utility>
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

// The output directories, made when missing, and the files they are; false,
// with a message, when one cannot be used.
bool ready_directories(const Options& options, std::set<FileIdentity>& written) {
  for (const std::optional<std::string>& directory : {options.export_directory, options.output_directory}) {
    if (!directory) continue;
    std::error_code error;
    std::filesystem::create_directories(*directory, error);
    struct stat info {};
    if (!std::filesystem::is_directory(*directory) || ::stat(directory->c_str(), &info) != 0) {
      say("shindo-batch: cannot use the directory " + shown(*directory) + (error ? ": " + error.message() : "") + "\n");
      return false;
    }
    written.insert({info.st_dev, info.st_ino});
  }
  return true;
}

// The file name part of a record name: after the last '/' or ':'.
std::string base_name(const std::string& record) {
  const std::size_t cut = record.find_last_of("/:");
  return cut == std::string::npos ? record : record.substr(cut + 1);
}

// A job on its way through the pool, with its place in the table.
struct Numbered {
  std::size_t number = 0;
  Job job;
};

// The table written in record order while the records finish in any order:
// each outcome waits only for the ones before it, then its files are placed,
// its row written and kept for the report.
class RowWriter {
 public:
  RowWriter(const Options& options, const std::set<FileIdentity>& inputs) : options_(options), inputs_(inputs) {}

  // The header, before any record.
  void start() {
    if (options_.format == TableFormat::csv) write(csv_header(options_.running));
  }

  // Record `number` is done; nullopt: it was not computed (an interrupt).
  void deliver(std::size_t number, std::optional<Outcome>&& outcome) {
    std::lock_guard lock(mutex_);
    waiting_.emplace(number, std::move(outcome));
    while (!waiting_.empty() && waiting_.begin()->first == next_) {
      std::optional<Outcome> ready = std::move(waiting_.begin()->second);
      waiting_.erase(waiting_.begin());
      ++next_;
      if (ready) {
        emit(std::move(*ready));
      } else {
        ++not_computed_;
      }
    }
  }

  [[nodiscard]] std::size_t records() const { return records_; }
  [[nodiscard]] std::size_t failed() const { return failed_; }
  [[nodiscard]] std::size_t not_computed() const { return not_computed_; }
  [[nodiscard]] int write_error() const { return write_error_; }
  [[nodiscard]] std::vector<shindo::pictures::ReportRow> take_rows() { return std::move(rows_); }

 private:
  void emit(Outcome&& outcome) {
    place_files(outcome);
    write(options_.format == TableFormat::csv ? csv_line(outcome.row, options_.running)
                                              : json_line(outcome.row, options_.running));
    failed_ += outcome.row.error.empty() ? 0 : 1;
    std::string notes;
    for (const std::string& warning : outcome.warnings) notes += "shindo-batch: warning: " + shown(warning) + "\n";
    say(notes);
    if (show_progress_ && std::chrono::steady_clock::now() - last_progress_ > std::chrono::milliseconds(200)) {
      last_progress_ = std::chrono::steady_clock::now();
      say("\rshindo-batch: " + std::to_string(rows_.size() + 1) + " records done");
      progress_shown_ = true;
    }
    rows_.push_back(std::move(outcome.row));
    ++records_;
  }

  // Once standard output has failed, the rows go only to the report.
  void write(const std::string& text) {
    if (progress_shown_) {
      say("\r\033[K");
      progress_shown_ = false;
    }
    if (write_error_ == 0) write_error_ = write_all(1, text);
  }

  // The file a name in a directory is, whatever the spelling of the
  // directory: "out/", "out" and "./out" are one.
  std::pair<FileIdentity, std::string> file_key(const std::string& directory, const std::string& name) {
    auto found = directories_.find(directory);
    if (found == directories_.end()) {
      struct stat info {};
      const FileIdentity identity =
          ::stat(directory.c_str(), &info) == 0 ? FileIdentity{info.st_dev, info.st_ino} : FileIdentity{};
      found = directories_.emplace(directory, identity).first;
    }
    return {found->second, name};
  }

  // Names the staged files of a record DIR/<base><suffix> with the base of
  // the record's name, or <base>~2, ~3 ... when an earlier record has taken
  // it. A file that cannot be placed fails its record, and every such file
  // is named.
  void place_files(Outcome& outcome) {
    if (outcome.files.empty()) return;
    const std::string base = base_name(outcome.row.record);
    std::string stem = base;
    for (int k = 2;; ++k) {
      const bool free = std::none_of(outcome.files.begin(), outcome.files.end(), [&](const StagedFile& file) {
        return used_.count(file_key(file.directory, stem + file.suffix)) > 0;
      });
      if (free) break;
      stem = base + "~" + std::to_string(k);
    }
    if (stem != base) {
      outcome.warnings.push_back(outcome.row.record + ": files named " + stem + " (" + base + " is taken by another record)");
    }
    std::vector<std::string> failures;
    for (const StagedFile& file : outcome.files) {
      used_.insert(file_key(file.directory, stem + file.suffix));
      const std::string target = file.directory + "/" + stem + file.suffix;
      if (std::optional<std::string> failure = place_file(file, target, inputs_)) {
        failures.push_back(std::move(*failure));
      } else if (file.suffix == ".svg") {
        outcome.row.picture = stem + file.suffix;
      } else if (file.suffix == ".txt" || file.suffix.empty()) {  // an exported record
        if (std::optional<std::string> note = export_name_note(file.directory, stem + file.suffix)) {
          outcome.warnings.push_back(*note);
        }
      }
    }
    outcome.files.clear();
    if (failures.empty()) return;
    std::string error = outcome.row.error;
    for (const std::string& failure : failures) error += (error.empty() ? "" : "; ") + failure;
    outcome.row.error = std::move(error);
    outcome.row.computed.reset();
    outcome.row.ground.reset();
    outcome.row.picture.clear();
  }

  const Options& options_;
  const std::set<FileIdentity>& inputs_;
  std::mutex mutex_;
  std::map<std::size_t, std::optional<Outcome>> waiting_;
  std::size_t next_ = 0;
  std::vector<shindo::pictures::ReportRow> rows_;
  std::size_t records_ = 0;
  std::size_t failed_ = 0;
  std::size_t not_computed_ = 0;
  int write_error_ = 0;
  std::set<std::pair<FileIdentity, std::string>> used_;
  std::map<std::string, FileIdentity> directories_;
  const bool show_progress_ = ::isatty(2) != 0;
  std::chrono::steady_clock::time_point last_progress_ = std::chrono::steady_clock::now();
  bool progress_shown_ = false;
};

// SIGINT, SIGTERM and SIGHUP kept from the threads the calling thread starts,
// so that the reading thread is the one interrupted.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigemptyset(&set_);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set_, number);
    pthread_sigmask(SIG_BLOCK, &set_, &before_);
  }
  void let_through() const { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

 private:
  sigset_t set_{};
  sigset_t before_{};
};

// Every record of the walk and of its archives computed on options.jobs
// threads, each given to `deliver` with its place in the walk as it is done
// (nullopt: begun but not computed, for an interrupt).
void compute_all(const Options& options, Walk& walk, std::vector<std::string>& skipped,
                 const std::function<void(std::size_t, std::optional<Outcome>&&)>& deliver) {
  ByteBudget budget(options.memory_limit);
  const Holding holding{budget, [] { return stop_signal() != 0; }};
  std::size_t next_number = 0;
  SignalsHeld signals;
  const auto produce = [&](const std::function<void(Numbered&&)>& give) {
    signals.let_through();
    const auto numbered = [&](Job&& job) { give(Numbered{next_number++, std::move(job)}); };
    for (Job& job : walk.jobs) {
      if (stop_signal() != 0) break;
      try {
        load_job(job, holding);
      } catch (const std::bad_alloc&) {
        budget.give_back(job.held);
        job = Job{job.record, std::nullopt, {}, job.record + ": not enough memory to read this record"};
      }
      numbered(std::move(job));
    }
    walk.jobs.clear();
    for (const std::string& archive : walk.archives) {
      if (stop_signal() != 0) break;
      try {
        read_archive(archive, numbered, skipped, holding);
      } catch (const std::bad_alloc&) {
        numbered(Job{archive, std::nullopt, {}, archive + ": not enough memory to read this archive"});
      }
    }
  };
  const auto work = [&](Numbered&& item) {
    const std::size_t held = item.job.held;
    std::optional<Outcome> outcome;
    if (stop_signal() == 0) outcome = process(std::move(item.job), options, item.number);
    item.job = Job{};
    budget.give_back(held);
    deliver(item.number, std::move(outcome));
  };
  run_pool<Numbered>(options.jobs, produce, work);
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

std::string signal_name(int number) {
  switch (number) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(number);
  }
}

}  // namespace

std::vector<Outcome> compute_records(const Options& options, Walk& walk, std::vector<std::string>& skipped,
                                     bool show_progress) {
  std::vector<std::pair<std::size_t, Outcome>> numbered;
  std::mutex outcomes_mutex;
  auto last_progress = std::chrono::steady_clock::now();
  compute_all(options, walk, skipped, [&](std::size_t number, std::optional<Outcome>&& outcome) {
    if (!outcome) return;
    std::lock_guard lock(outcomes_mutex);
    numbered.emplace_back(number, std::move(*outcome));
    const auto now = std::chrono::steady_clock::now();
    if (show_progress && now - last_progress > std::chrono::milliseconds(200)) {
      last_progress = now;
      say("\rshindo-batch: " + std::to_string(numbered.size()) + " records done");
    }
  });
  if (show_progress) say("\r\033[K");
  std::sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Outcome> outcomes;
  outcomes.reserve(numbered.size());
  for (auto& [number, outcome] : numbered) outcomes.push_back(std::move(outcome));
  return outcomes;
}

int run(const Options& options) {
  keep_standard_descriptors();
  catch_stop_signals();
  std::set<FileIdentity> written;
  if (!ready_directories(options, written)) return 2;
  Walk walk = walk_paths(options.paths, written);
  std::vector<std::string> skipped = std::move(walk.skipped);
  RowWriter table(options, walk.inputs);
  table.start();
  compute_all(options, walk, skipped,
              [&](std::size_t number, std::optional<Outcome>&& outcome) { table.deliver(number, std::move(outcome)); });

  std::string notes;
  const int signal_number = stop_signal();
  std::optional<std::string> report_failure;
  if (options.output_directory && signal_number == 0) {
    // Numbered after every record, so that its temporary name is its own.
    report_failure = write_report(*options.output_directory, options.paths, table.take_rows(), options.running,
                                  std::numeric_limits<std::size_t>::max(), walk.inputs);
    if (report_failure) notes += "shindo-batch: " + shown(*report_failure) + "\n";
  }
  notes += summary(table.records(), table.failed(), std::move(skipped), options.verbose);
  if (signal_number != 0) {
    notes += "shindo-batch: stopped by " + signal_name(signal_number) + ": the rows above are of the records finished, their files placed; " +
             std::to_string(table.not_computed()) + " records begun were not computed, the rest not read" +
             (options.output_directory ? "; no report.html" : "") + "\n";
  }
  if (table.write_error() != 0) {
    notes += "shindo-batch: cannot write the table: " + std::string(std::strerror(table.write_error())) + "\n";
  }
  say(notes);
  if (signal_number != 0) return 128 + signal_number;
  if (table.write_error() != 0) return 1;
  return table.failed() == 0 && !report_failure ? 0 : 1;
}

}  // namespace batch
