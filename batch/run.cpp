// The batch run: the paths walked and classified, component files grouped
// into records, the records computed by a pool of workers fed through a
// bounded queue (so that only a few records are in memory at a time), and the
// rows and written files put in record order at the end.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "batch/batch.h"
#include "pictures/describe_fault.h"
#include "pictures/pictures.h"

namespace batch {

namespace {

namespace fs = std::filesystem;
namespace pictures = shindo::pictures;

// Bytes of a file's beginning that tell its format.
constexpr std::size_t kHeadBytes = 4096;

// One input file of a record.
struct Input {
  std::string name;         // as shown: the path, or ARCHIVE:MEMBER
  std::string path;         // on disk; empty for an archive member, whose bytes are held
  bool compressed = false;  // a .gz file on disk
  std::string bytes;
};

// One record to compute, or one row that is an error already.
struct Job {
  std::string record;
  std::optional<readers::Format> format;
  std::vector<Input> inputs;  // one, or three in NS, EW, UD order
  std::string error;
};

// A file written under a temporary name, renamed at the end.
struct Written {
  std::string directory;
  std::string temporary;
  std::string suffix;  // ".txt", ".wave.txt", ".a0tau.txt", ".svg"
};

struct Outcome {
  Row row;
  std::vector<Written> files;
  std::vector<std::string> warnings;
  std::optional<pictures::GeoPoint> epicentre;  // for the report's map
  std::string picture;                          // the SVG's name in the output directory, once placed
};

std::string system_message(int error) { return std::strerror(error); }

readers::Result<std::string> read_whole_file(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return readers::Error{path, 0, system_message(errno)};
  std::string bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    bytes.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), limit));
  }
  char buffer[65536];
  while (bytes.size() < limit) {
    const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return readers::Error{path, 0, system_message(error)};
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
}

readers::Result<std::string> load(Input& input) {
  if (input.path.empty()) return std::move(input.bytes);
  if (input.compressed) return readers::decompress_file(input.path);
  return read_whole_file(input.path, SIZE_MAX);
}

std::string without_gz(const std::string& path) { return path.substr(0, path.size() - 3); }

// The file name part of a record name: after the last '/' or ':'.
std::string base_name(const std::string& record) {
  const std::size_t cut = record.find_last_of("/:");
  return cut == std::string::npos ? record : record.substr(cut + 1);
}

std::string component_list(const std::array<bool, 3>& missing) {
  static constexpr const char* kLetters[] = {"NS", "EW", "UD"};
  std::string list;
  for (int c = 0; c < 3; ++c) {
    if (missing[static_cast<std::size_t>(c)]) list += std::string(list.empty() ? "" : ", ") + kLetters[c];
  }
  return list;
}

// The component files of records found so far, by record name.
struct Group {
  readers::Format format = readers::Format::knet;
  std::array<std::optional<Input>, 3> parts;
  std::string duplicate;  // a second file for one component
};

Job job_of_group(const std::string& record, Group&& group) {
  Job job;
  job.record = record;
  job.format = group.format;
  std::array<bool, 3> missing{};
  for (std::size_t c = 0; c < 3; ++c) missing[c] = !group.parts[c].has_value();
  if (!group.duplicate.empty()) {
    job.error = group.duplicate + ": a second file for the same component of " + record;
  } else if (missing[0] || missing[1] || missing[2]) {
    job.error = record + ": the " + component_list(missing) + " file(s) of this record are missing";
  } else {
    for (std::optional<Input>& part : group.parts) job.inputs.push_back(std::move(*part));
  }
  return job;
}

// Adds a component file; true when it was one.
bool add_component(std::map<std::string, Group>& groups, const std::string& name, Input&& input) {
  const std::optional<readers::KnetName> knet = readers::knet_name(name);
  if (!knet) return false;
  Group& group = groups[knet->record];
  group.format = knet->format;
  std::optional<Input>& part = group.parts[static_cast<std::size_t>(knet->component)];
  if (part) {
    group.duplicate = input.name;
  } else {
    part = std::move(input);
  }
  return true;
}

// ---------------------------------------------------------------------------
// The bounded queue between the walk and the workers

class JobQueue {
 public:
  explicit JobQueue(std::size_t capacity) : capacity_(capacity) {}
  void push(Job&& job) {
    std::unique_lock lock(mutex_);
    not_full_.wait(lock, [&] { return jobs_.size() < capacity_; });
    jobs_.push_back(std::move(job));
    not_empty_.notify_one();
  }
  std::optional<Job> pop() {
    std::unique_lock lock(mutex_);
    not_empty_.wait(lock, [&] { return !jobs_.empty() || closed_; });
    if (jobs_.empty()) return std::nullopt;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    not_full_.notify_one();
    return job;
  }
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    not_empty_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable not_empty_, not_full_;
  std::deque<Job> jobs_;
  std::size_t capacity_;
  bool closed_ = false;
};

// ---------------------------------------------------------------------------
// One record

std::optional<std::string> write_temporary(const std::string& directory, std::size_t job_number,
                                           const std::string& suffix, const std::string& bytes,
                                           std::vector<Written>& files) {
  const std::string temporary = directory + "/.shindo-batch-" + std::to_string(::getpid()) + "-" +
                                std::to_string(job_number) + suffix + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return "cannot write in " + directory + ": " + system_message(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(temporary.c_str());
      return "cannot write " + temporary + ": " + system_message(error);
    }
    done += static_cast<std::size_t>(wrote);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return "cannot write " + temporary + ": " + system_message(error);
  }
  files.push_back(Written{directory, temporary, suffix});
  return std::nullopt;
}

// The SVG image of a computed record, its panels named as its format names
// the components ("N-S" of a K-NET header is shown as "NS").
std::string record_picture(const readers::Record& record, const shindo::Intensity& intensity,
                           const std::optional<RunningOfRecord>& running, const Options& options) {
  const readers::Metadata& meta = record.metadata;
  std::array<std::string, 3> names;
  for (std::size_t c = 0; c < 3; ++c) {
    std::erase(names[c] = meta.components[c].direction, '-');
  }
  pictures::RecordPicture picture{.name = record.name,
                                  .station = meta.station_code.empty() ? meta.station_name : meta.station_code,
                                  .record = {record.acc1, record.acc2, record.acc3, record.dt}};
  for (std::size_t c = 0; c < 3; ++c) {
    if (!names[c].empty()) picture.component_names[c] = names[c];
  }
  if (running) {
    picture.running = running->points;
    picture.running_window = options.window;
  }
  return pictures::record_svg(picture, intensity);
}

readers::Result<readers::Record> read_record(Job& job, const Options& options) {
  if (job.inputs.size() == 3) {
    std::array<readers::KnetFile, 3> files;
    for (std::size_t c = 0; c < 3; ++c) {
      readers::Result<std::string> bytes = load(job.inputs[c]);
      if (const readers::Error* error = std::get_if<readers::Error>(&bytes)) return *error;
      readers::Result<readers::KnetFile> file =
          readers::read_knet_file(job.inputs[c].name, std::get<std::string>(bytes));
      if (const readers::Error* error = std::get_if<readers::Error>(&file)) return *error;
      files[c] = std::get<readers::KnetFile>(std::move(file));
    }
    return readers::join_knet_record(job.record, *job.format, files, options.offset);
  }
  Input& input = job.inputs.front();
  readers::Result<std::string> loaded = load(input);
  if (const readers::Error* error = std::get_if<readers::Error>(&loaded)) return *error;
  const std::string& bytes = std::get<std::string>(loaded);
  if (!job.format) job.format = readers::detect_format(job.record, std::string_view(bytes).substr(0, kHeadBytes));
  if (!job.format) return readers::Error{input.name, 0, "not a record of a known format"};
  readers::Result<readers::Record> record = *job.format == readers::Format::jma_csv
                                                ? readers::read_jma_csv(input.name, bytes)
                                                : readers::read_console_text(input.name, bytes);
  if (readers::Record* read = std::get_if<readers::Record>(&record)) read->name = job.record;
  return record;
}

// The strongest window of the record for its row and, with --output, the
// table of its steps, DIR/<record>.running.csv.
void add_running(const RunningOfRecord& running, const Options& options, std::size_t job_number, Outcome& outcome) {
  if (!running.refusal.empty()) {
    outcome.row.error = "running intensity: " + running.refusal;
    return;
  }
  outcome.row.running_max = running.strongest;
  if (running.strongest) outcome.row.running_max_time = running.strongest_time;
  if (options.output_directory) {
    if (auto failure = write_temporary(*options.output_directory, job_number, ".running.csv", running.table,
                                       outcome.files)) {
      outcome.row.error = *failure;
      outcome.row.computed = false;
    }
  }
}

Outcome process(Job&& job, const Options& options, std::size_t job_number) {
  Outcome outcome;
  Row& row = outcome.row;
  row.record = job.record;
  if (!job.error.empty()) {
    row.error = job.error;
    return outcome;
  }
  readers::Result<readers::Record> read = read_record(job, options);
  if (job.format) row.format = std::string(readers::format_name(*job.format));
  if (const readers::Error* error = std::get_if<readers::Error>(&read)) {
    row.error = readers::error_text(*error);
    return outcome;
  }
  readers::Record& record = std::get<readers::Record>(read);
  job.inputs.clear();  // the bytes are let go before the computation
  outcome.warnings = std::move(record.warnings);
  row.station = record.metadata.station_code;
  row.latitude = record.metadata.station_latitude;
  row.longitude = record.metadata.station_longitude;
  row.samples = record.acc1.size();
  row.dt = record.dt;
  row.pga = peak_vector(record);
  const readers::Metadata& meta = record.metadata;
  if (meta.epicentre_latitude && meta.epicentre_longitude) {
    outcome.epicentre = pictures::GeoPoint{*meta.epicentre_latitude, *meta.epicentre_longitude};
  }

  if (options.export_directory) {
    if (auto failure = write_temporary(*options.export_directory, job_number, ".txt", export_text(record),
                                       outcome.files)) {
      row.error = *failure;
      return outcome;
    }
  }
  const shindo::Intensity intensity = shindo::compute_intensity(shindo::Record{record.acc1, record.acc2, record.acc3, record.dt});
  if (intensity.fault != shindo::Fault::none) {
    row.error = record.metadata.components[0].file + ": " + pictures::describe_fault(intensity.fault, intensity.stage);
    return outcome;
  }
  row.computed = true;
  row.amax = intensity.amax;
  row.a0 = intensity.a0;
  row.intensity = intensity.shindo;
  row.reported = shindo::reported_tenths(intensity.shindo);
  row.intensity_class = std::string(shindo::class_label(shindo::intensity_class(row.reported)));
  std::optional<RunningOfRecord> running;
  if (options.running) {
    running = running_of_record({record.acc1, record.acc2, record.acc3, record.dt}, options,
                                options.output_directory.has_value());
  }
  if (options.output_directory) {
    for (const auto& [suffix, text] : {std::pair<std::string, std::string>{".wave.txt", wave_text(intensity)},
                                       std::pair<std::string, std::string>{".a0tau.txt", level_table_text(intensity)},
                                       std::pair<std::string, std::string>{".svg", record_picture(record, intensity, running, options)}}) {
      if (auto failure = write_temporary(*options.output_directory, job_number, suffix, text, outcome.files)) {
        row.error = *failure;
        row.computed = false;
        return outcome;
      }
    }
  }
  if (running) add_running(*running, options, job_number, outcome);
  return outcome;
}

// ---------------------------------------------------------------------------
// The walk

using FileIdentity = std::pair<dev_t, ino_t>;

struct Walk {
  std::vector<Job> jobs;              // records of files on disk (and errors)
  std::map<std::string, Group> groups;
  std::vector<std::string> archives;
  std::set<FileIdentity> inputs;      // never written
  std::size_t skipped = 0;
};

void classify(Walk& walk, const std::string& path, bool walked) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) walk.inputs.insert({info.st_dev, info.st_ino});
  if (readers::is_archive_name(path)) {
    walk.archives.push_back(path);
    return;
  }
  const bool compressed = readers::is_compressed_name(path);
  const std::string name = compressed ? without_gz(path) : path;
  if (add_component(walk.groups, name, Input{path, path, compressed, {}})) return;
  readers::Result<std::string> head =
      compressed ? readers::decompress_file(path) : read_whole_file(path, kHeadBytes);
  Job job;
  job.record = name;
  job.inputs.push_back(Input{path, path, compressed, {}});
  if (const readers::Error* error = std::get_if<readers::Error>(&head)) {
    job.error = readers::error_text(*error);
  } else {
    job.format = readers::detect_format(name, std::string_view(std::get<std::string>(head)).substr(0, kHeadBytes));
    if (!job.format) {
      if (walked) {
        ++walk.skipped;
        return;
      }
      job.error = path + ": not a record of a known format";
    }
  }
  walk.jobs.push_back(std::move(job));
}

void walk_path(Walk& walk, const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) {
    walk.jobs.push_back(Job{path, std::nullopt, {}, path + ": " + (error ? error.message() : "no such file or directory")});
    return;
  }
  if (!fs::is_directory(status)) {
    classify(walk, path, false);
    return;
  }
  std::vector<std::string> files;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    std::error_code kind_error;
    if (it->is_regular_file(kind_error)) files.push_back(it->path().string());
  }
  if (error) walk.jobs.push_back(Job{path, std::nullopt, {}, path + ": " + error.message()});
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) classify(walk, file, true);
}

// At most this many K-NET/KiK-net records of an archive, holding at most this
// many bytes, are held while their component files are collected. An archive
// whose components lie far apart is read again for the records that had to
// wait, so that memory stays bounded whatever the archive holds.
constexpr std::size_t kPendingGroups = 512;
constexpr std::size_t kPendingBytes = std::size_t{192} << 20;

void read_archive(const std::string& path, JobQueue& queue, std::size_t& skipped) {
  std::set<std::string> finished;  // records given to the queue
  std::set<std::string> waiting;   // records left for a later reading
  bool first_reading = true;
  do {
    const std::set<std::string> eligible = std::move(waiting);
    waiting.clear();
    std::map<std::string, Group> pending;
    std::size_t held_bytes = 0;
    const auto wants = [&](std::string_view name) {
      const std::optional<readers::KnetName> knet = readers::knet_name(name);
      if (!knet) return first_reading;
      const std::string& record = knet->record;
      if (finished.count(record) > 0 || waiting.count(record) > 0) return false;
      if (!first_reading && eligible.count(record) == 0) return false;
      if (pending.count(record) > 0) return true;
      if (pending.size() < kPendingGroups && held_bytes < kPendingBytes) return true;
      waiting.insert(record);
      return false;
    };
    const auto take = [&](readers::Member&& member) {
      if (const std::optional<readers::KnetName> knet = readers::knet_name(member.name)) {
        held_bytes += member.bytes.size();
        add_component(pending, member.name, Input{member.name, "", false, std::move(member.bytes)});
        Group& group = pending[knet->record];
        if (group.parts[0] && group.parts[1] && group.parts[2]) {
          for (const std::optional<Input>& part : group.parts) held_bytes -= part->bytes.size();
          finished.insert(knet->record);
          queue.push(job_of_group(knet->record, std::move(group)));
          pending.erase(knet->record);
        }
        return;
      }
      const std::optional<readers::Format> format =
          readers::detect_format(member.name, std::string_view(member.bytes).substr(0, kHeadBytes));
      if (!format) {
        ++skipped;
        return;
      }
      Job job;
      job.record = member.name;
      job.format = format;
      job.inputs.push_back(Input{member.name, "", false, std::move(member.bytes)});
      queue.push(std::move(job));
    };
    if (const std::optional<readers::Error> error = readers::for_each_member(path, wants, take)) {
      queue.push(Job{error->file, std::nullopt, {}, readers::error_text(*error)});
      return;
    }
    for (auto& [record, group] : pending) {
      finished.insert(record);
      queue.push(job_of_group(record, std::move(group)));
    }
    first_reading = false;
  } while (!waiting.empty());
}

// ---------------------------------------------------------------------------
// The end: names for the written files, in record order

// Renames a written file to its name; an input file is never replaced.
std::optional<std::string> place(const Written& file, const std::string& target,
                                 const std::set<FileIdentity>& inputs) {
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && inputs.count({info.st_dev, info.st_ino}) > 0) {
    ::unlink(file.temporary.c_str());
    return target + ": not written, it is an input file";
  }
  if (::rename(file.temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(file.temporary.c_str());
    return target + ": " + system_message(error);
  }
  return std::nullopt;
}

void place_files(std::vector<Outcome>& outcomes, const std::set<FileIdentity>& inputs) {
  std::set<std::string> used;
  for (Outcome& outcome : outcomes) {
    if (outcome.files.empty()) continue;
    const std::string base = base_name(outcome.row.record);
    std::string stem = base;
    for (int k = 2;; ++k) {
      const bool free = std::none_of(outcome.files.begin(), outcome.files.end(), [&](const Written& file) {
        return used.count(file.directory + "/" + stem + file.suffix) > 0;
      });
      if (free) break;
      stem = base + "~" + std::to_string(k);
    }
    if (stem != base) outcome.warnings.push_back(outcome.row.record + ": files named " + stem + " (" + base + " is taken by another record)");
    for (const Written& file : outcome.files) {
      const std::string target = file.directory + "/" + stem + file.suffix;
      used.insert(target);
      if (std::optional<std::string> failure = place(file, target, inputs)) {
        outcome.row.error = *failure;
        outcome.row.computed = false;
      } else if (file.suffix == ".svg") {
        outcome.picture = stem + file.suffix;
      }
    }
  }
}

// The report's row of a record: the table's columns, the epicentre for the
// map and the link to the picture when one was placed.
pictures::ReportRow report_row(const Outcome& outcome) {
  const Row& row = outcome.row;
  pictures::ReportRow out;
  out.record = row.record;
  out.format = row.format;
  out.station = row.station;
  if (row.latitude && row.longitude) out.location = pictures::GeoPoint{*row.latitude, *row.longitude};
  out.epicentre = outcome.epicentre;
  if (row.dt) out.read = pictures::ReadRecord{row.samples, *row.dt, row.pga.value_or(0.0f)};
  if (row.computed) out.computed = pictures::ComputedRecord{row.amax, row.a0, row.intensity};
  out.error = row.error;
  out.picture = outcome.picture;
  return out;
}

// DIR/report.html, the page of the whole run, written and placed like the
// records' files.
std::optional<std::string> write_report(const std::string& directory, const std::vector<Outcome>& outcomes,
                                        const std::vector<std::string>& paths, const std::set<FileIdentity>& inputs) {
  pictures::ReportInput report;
  for (const std::string& path : paths) report.title += (report.title.empty() ? "" : " ") + path;
  for (const Outcome& outcome : outcomes) report.rows.push_back(report_row(outcome));
  std::vector<Written> files;
  if (std::optional<std::string> failure =
          write_temporary(directory, outcomes.size(), ".html", pictures::report_html(report), files)) {
    return failure;
  }
  return place(files.front(), directory + "/report.html", inputs);
}

}  // namespace

bool write_out(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

int run(const Options& options) {
  for (const std::optional<std::string>& directory : {options.export_directory, options.output_directory}) {
    if (!directory) continue;
    std::error_code error;
    fs::create_directories(*directory, error);
    if (!fs::is_directory(*directory)) {
      write_out(2, "shindo-batch: cannot use the directory " + *directory + (error ? ": " + error.message() : "") + "\n");
      return 2;
    }
  }

  Walk walk;
  for (const std::string& path : options.paths) walk_path(walk, path);
  for (auto& [record, group] : walk.groups) walk.jobs.push_back(job_of_group(record, std::move(group)));
  walk.groups.clear();

  const bool show_progress = ::isatty(2) != 0;
  std::vector<Outcome> outcomes;
  std::mutex outcomes_mutex;
  std::atomic<std::size_t> next_number{0};
  auto last_progress = std::chrono::steady_clock::now();

  JobQueue queue(2 * static_cast<std::size_t>(options.jobs));
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < options.jobs; ++w) {
    workers.emplace_back([&] {
      while (std::optional<Job> job = queue.pop()) {
        Outcome outcome = process(std::move(*job), options, next_number++);
        std::lock_guard lock(outcomes_mutex);
        outcomes.push_back(std::move(outcome));
        const auto now = std::chrono::steady_clock::now();
        if (show_progress && now - last_progress > std::chrono::milliseconds(200)) {
          last_progress = now;
          write_out(2, "\rshindo-batch: " + std::to_string(outcomes.size()) + " records done");
        }
      }
    });
  }
  for (Job& job : walk.jobs) queue.push(std::move(job));
  walk.jobs.clear();
  std::size_t skipped = walk.skipped;
  for (const std::string& archive : walk.archives) read_archive(archive, queue, skipped);
  queue.close();
  for (std::thread& worker : workers) worker.join();
  if (show_progress) write_out(2, "\r\033[K");

  std::stable_sort(outcomes.begin(), outcomes.end(),
                   [](const Outcome& a, const Outcome& b) { return a.row.record < b.row.record; });
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
  const bool table_written = write_out(1, table);
  std::optional<std::string> report_failure;
  if (options.output_directory) {
    report_failure = write_report(*options.output_directory, outcomes, options.paths, walk.inputs);
    if (report_failure) notes += "shindo-batch: " + *report_failure + "\n";
  }
  notes += "shindo-batch: " + std::to_string(outcomes.size()) + " records, " + std::to_string(failed) + " failed, " +
           std::to_string(skipped) + " files skipped (no record)\n";
  write_out(2, notes);
  if (!table_written) {
    write_out(2, "shindo-batch: cannot write the table: " + system_message(errno) + "\n");
    return 1;
  }
  return failed == 0 && !report_failure ? 0 : 1;
}

}  // namespace batch
