#include "batch/inputs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

namespace batch {

std::string size_text(std::size_t bytes) {
  static constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && bytes >= 1024 && bytes % 1024 == 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + kUnits[unit];
}

readers::Error job_error(const std::string& text) {
  const std::size_t cut = text.find(": ");
  if (cut == std::string::npos) return readers::Error{"", 0, text};
  return readers::Error{text.substr(0, cut), 0, text.substr(cut + 2)};
}

namespace {

namespace fs = std::filesystem;

std::string over_limit(const std::string& name, const ByteBudget& budget, std::string_view what) {
  return name + ": " + std::string(what) + " larger than the memory limit of " + size_text(budget.limit()) +
         " (--memory-limit raises it)";
}

// Takes `bytes` for a job or a reading that holds `own` already, waiting
// while the workers hold what is missing; false when its own bytes stand in
// the way.
bool take_for(const Holding& holding, std::size_t bytes, std::size_t& own) {
  if (!holding.budget.take_or_wait(bytes, own)) return false;
  own += bytes;
  return true;
}

void give_back(const Holding& holding, std::size_t bytes, std::size_t& own) {
  holding.budget.give_back(bytes);
  own -= std::min(bytes, own);
}

// The first bytes of a file, for its format.
readers::Result<std::string> read_head(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return readers::Error{path, 0, std::strerror(errno)};
  std::string bytes(kHeadBytes, '\0');
  std::size_t done = 0;
  while (done < kHeadBytes) {
    const ssize_t got = read_some(fd, bytes.data() + done, kHeadBytes - done);
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return readers::Error{path, 0, std::strerror(error)};
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  bytes.resize(done);
  return bytes;
}

// Reads a whole file once, pipes too, each piece taken from the budget;
// the message when it cannot.
std::optional<std::string> read_whole_file(Input& input, const Holding& holding, std::size_t& own) {
  const int fd = ::open(input.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return input.name + ": " + std::strerror(errno);
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    input.bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), holding.budget.limit()));
  }
  std::optional<std::string> failure;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR && !(holding.stop && holding.stop())) continue;
    if (got < 0) {
      failure = input.name + ": " + std::strerror(errno);
      break;
    }
    if (got == 0) break;
    if (!take_for(holding, static_cast<std::size_t>(got), own)) {
      failure = over_limit(input.name, holding.budget, "its record's files are");
      break;
    }
    input.bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return failure;
}

// Decompresses a .gz file once, each piece taken from the budget.
std::optional<std::string> read_compressed_file(Input& input, const Holding& holding, std::size_t& own) {
  bool over = false;
  readers::MemberLimits limits;
  limits.largest = holding.budget.limit();
  limits.hold = [&](std::string_view, std::size_t bytes) {
    over = !take_for(holding, bytes, own);
    return !over;
  };
  limits.release = [&](std::size_t bytes) { give_back(holding, bytes, own); };
  readers::Result<std::string> bytes = readers::decompress_file(input.path, limits);
  if (over) return over_limit(input.name, holding.budget, "its record's files are");
  if (const readers::Error* error = std::get_if<readers::Error>(&bytes)) return readers::error_text(*error);
  input.bytes = std::get<std::string>(std::move(bytes));
  return std::nullopt;
}

std::string without_gz(const std::string& path) { return path.substr(0, path.size() - 3); }

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
  std::size_t held = 0;   // bytes of the budget its parts hold
  std::size_t started = 0;  // when the reading began holding it
};

Job job_of_group(const std::string& record, Group&& group) {
  Job job;
  job.record = record;
  job.format = group.format;
  job.held = group.held;
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

// A file the program writes, left out when a directory is walked.
bool written_by_the_program(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  if (name == "report.html" || name == "report.csv" || (name.starts_with(".shindo-batch-") && name.ends_with(".tmp"))) {
    return true;
  }
  for (std::string_view suffix : {".wave.txt", ".a0tau.txt", ".running.csv", ".spectra.csv", ".svg"}) {
    if (name.size() > suffix.size() && name.ends_with(suffix)) return true;
  }
  return false;
}

// The walk so far, with the component files not yet grouped into jobs.
struct Walking {
  Walk walk;
  std::map<std::string, Group> groups;
};

void classify(Walking& walking, const std::string& path, bool walked) {
  Walk& walk = walking.walk;
  if (walked && written_by_the_program(path)) return;
  struct stat info {};
  const bool known = ::stat(path.c_str(), &info) == 0;
  if (known && !walk.inputs.insert({info.st_dev, info.st_ino}).second) return;  // met already
  if (readers::is_archive_name(path)) {
    walk.archives.push_back(path);
    return;
  }
  const bool compressed = readers::is_compressed_name(path);
  const std::string name = compressed ? without_gz(path) : path;
  if (add_component(walking.groups, name, Input{path, path, compressed, {}})) return;
  Job job;
  job.record = name;
  job.inputs.push_back(Input{path, path, compressed, {}});
  if (known && !S_ISREG(info.st_mode)) {
    // A pipe or a device can be read once only: its format is told then.
    walk.jobs.push_back(std::move(job));
    return;
  }
  readers::MemberLimits head_limits;
  head_limits.largest = kHeadBytes;
  readers::Result<std::string> head = compressed ? readers::decompress_file(path, head_limits, true) : read_head(path);
  if (const readers::Error* error = std::get_if<readers::Error>(&head)) {
    job.error = readers::error_text(*error);
  } else {
    job.format = readers::detect_format(name, std::get<std::string>(head));
    if (!job.format) {
      if (walked) {
        walk.skipped.push_back(name);
        return;
      }
      job.error = path + ": not a record of a known format";
    }
  }
  walk.jobs.push_back(std::move(job));
}

void walk_path(Walking& walking, const std::string& path, const std::set<FileIdentity>& written) {
  Walk& walk = walking.walk;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) {
    walk.jobs.push_back(Job{path, std::nullopt, {}, path + ": " + (error ? error.message() : "no such file or directory")});
    return;
  }
  if (!fs::is_directory(status)) {
    classify(walking, path, false);
    return;
  }
  std::vector<std::string> files;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    std::error_code kind_error;
    if (it->is_directory(kind_error)) {
      struct stat info {};
      if (::stat(it->path().c_str(), &info) == 0 && written.count({info.st_dev, info.st_ino}) > 0) {
        it.disable_recursion_pending();  // where this run writes
      } else if (it->path().filename() == "leaflet" && fs::exists(it->path().parent_path() / "report.html", kind_error)) {
        it.disable_recursion_pending();  // the map's script and images beside a page of an earlier run
      }
      continue;
    }
    if (it->is_regular_file(kind_error)) files.push_back(it->path().string());
  }
  if (error) walk.jobs.push_back(Job{path, std::nullopt, {}, path + ": " + error.message()});
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) classify(walking, file, true);
}

// Bytes counted for each record held while its components are collected,
// beside its files: its name and place in the reading.
constexpr std::size_t kGroupBytes = 512;

// One reading of an archive: which records it takes, what it holds.
class ArchiveReading {
 public:
  ArchiveReading(const Holding& holding, const std::function<void(Job&&)>& take, std::vector<std::string>& skipped,
                 std::set<std::string>& finished, std::set<std::string>& waiting,
                 const std::set<std::string>* eligible)
      : holding_(holding), take_(take), skipped_(skipped), finished_(finished), waiting_(waiting),
        eligible_(eligible), remaining_(eligible != nullptr ? eligible->size() : 0) {}

  ArchiveReading(const ArchiveReading&) = delete;
  ArchiveReading& operator=(const ArchiveReading&) = delete;

  // Every record found; only the first reading takes the members that are
  // not K-NET/KiK-net components.
  bool wants(std::string_view name) {
    record_.reset();
    const std::optional<readers::KnetName> knet = readers::knet_name(name);
    if (!knet) return eligible_ == nullptr;
    const std::string& record = knet->record;
    if (finished_.count(record) > 0 || waiting_.count(record) > 0) return false;
    if (eligible_ != nullptr && eligible_->count(record) == 0) return false;
    if (pending_.count(record) == 0) {
      // A record starts only while there is room; once there was none, the
      // records not yet begun wait for a later reading.
      if (closed_ || !take_for(holding_, kGroupBytes, own_)) {
        closed_ = true;
        put_off(record);
        return false;
      }
      Group& group = pending_[record];
      group.held = kGroupBytes;
      group.started = ++started_;
      by_start_[group.started] = record;
    }
    record_ = record;
    return true;
  }

  bool hold(std::string_view name, std::size_t bytes) {
    const bool archive_inside = readers::is_archive_name(name);
    return make_room(bytes, archive_inside || !record_ ? std::nullopt : record_, name);
  }

  void release(std::size_t bytes) { give_back(holding_, bytes, own_); }

  void take(readers::Member&& member) {
    if (member.error) {  // larger than the whole budget
      if (record_) settle(*record_);
      give(Job{member.name, std::nullopt, {}, over_limit(member.name, holding_.budget, "it is")});
      return;
    }
    const std::size_t bytes = member.bytes.size();
    if (record_) {
      auto found = pending_.find(*record_);
      Group& group = found->second;
      const bool duplicate = group.parts[static_cast<std::size_t>(readers::knet_name(member.name)->component)].has_value();
      add_component(pending_, member.name, Input{member.name, "", false, std::move(member.bytes)});
      if (duplicate) {
        give_back(holding_, bytes, own_);
      } else {
        group.held += bytes;
      }
      if (group.parts[0] && group.parts[1] && group.parts[2]) finish(*record_);
      return;
    }
    const std::optional<readers::Format> format =
        readers::detect_format(member.name, std::string_view(member.bytes).substr(0, kHeadBytes));
    if (!format) {
      skipped_.push_back(member.name);
      give_back(holding_, bytes, own_);
      return;
    }
    Job job;
    job.record = member.name;
    job.format = format;
    job.held = bytes;
    job.inputs.push_back(Input{member.name, "", false, std::move(member.bytes)});
    give(std::move(job));
  }

  // A later reading ends once its records are all found.
  bool done() const { return eligible_ != nullptr && remaining_ == 0; }

  // Records this reading has given (or refused): a later reading that gives
  // none would be followed by the same one again.
  std::size_t ended() const { return ended_; }

  // The records still collecting at the end of the reading: rows that say
  // what is missing.
  void finish_all() {
    while (!pending_.empty()) finish(pending_.begin()->first);
  }

  // Lets go of everything held (an error or an interrupt ended the reading).
  void abandon() {
    pending_.clear();
    by_start_.clear();
    holding_.budget.give_back(own_);
    own_ = 0;
  }

 private:
  // Takes `bytes` for `name`, a member of `record` (nullopt: of no record
  // held), putting off records held (the newest first, never the oldest, so
  // that every reading finishes one) while only this reading's bytes stand
  // in the way; false when the member is given up: its own record put off
  // or, alone, refused.
  bool make_room(std::size_t bytes, std::optional<std::string> record, std::string_view name) {
    for (;;) {
      if (take_for(holding_, bytes, own_)) return true;
      closed_ = true;  // the budget is full: no record starts in this reading any more
      const std::optional<std::string> oldest =
          by_start_.empty() ? std::nullopt : std::optional<std::string>(by_start_.begin()->second);
      std::optional<std::string> victim;
      for (auto it = by_start_.rbegin(); it != by_start_.rend() && !victim; ++it) {
        if (it->second != record && it->second != oldest) victim = it->second;
      }
      if (victim) {
        put_off(*victim);
      } else if (record && oldest && *record != *oldest) {
        put_off(*record);
        return false;
      } else if (!record && oldest) {
        put_off(*oldest);
      } else {
        // The member, or its record's files, alone do not fit.
        const std::string refused = record ? *record : std::string(name);
        if (record) settle(*record);
        give(Job{refused, std::nullopt, {},
                 over_limit(std::string(name), holding_.budget, record ? "the files of its record are" : "it is")});
        return false;
      }
    }
  }

  // Leaves a record for a later reading, letting go of what it holds.
  void put_off(std::string record) {
    drop(record);
    if (record_ == record) record_.reset();
    waiting_.insert(record);
    if (eligible_ != nullptr && eligible_->count(record) > 0) --remaining_;
  }

  // Ends a record that a row of its own has failed.
  void settle(std::string record) {
    drop(record);
    if (record_ == record) record_.reset();
    finished_.insert(record);
    ++ended_;
    if (eligible_ != nullptr && eligible_->count(record) > 0) --remaining_;
  }

  void drop(const std::string& record) {
    const auto found = pending_.find(record);
    if (found == pending_.end()) return;
    give_back(holding_, found->second.held, own_);
    by_start_.erase(found->second.started);
    pending_.erase(found);
  }

  void finish(const std::string& record) {
    const std::string name = record;  // the group's key goes with it
    auto found = pending_.find(name);
    by_start_.erase(found->second.started);
    Job job = job_of_group(name, std::move(found->second));
    pending_.erase(found);
    finished_.insert(name);
    ++ended_;
    if (eligible_ != nullptr && eligible_->count(name) > 0) --remaining_;
    give(std::move(job));
  }

  // Hands a job on; its bytes are then the worker's to give back.
  void give(Job&& job) {
    own_ -= std::min(job.held, own_);
    take_(std::move(job));
  }

  const Holding& holding_;
  const std::function<void(Job&&)>& take_;
  std::vector<std::string>& skipped_;
  std::set<std::string>& finished_;
  std::set<std::string>& waiting_;
  const std::set<std::string>* eligible_;  // null in the first reading: every record
  std::size_t remaining_;
  std::map<std::string, Group> pending_;
  std::map<std::size_t, std::string> by_start_;
  std::size_t started_ = 0;
  std::size_t own_ = 0;  // bytes of the budget this reading holds
  bool closed_ = false;
  std::size_t ended_ = 0;
  std::optional<std::string> record_;  // its K-NET/KiK-net record
};

}  // namespace

Walk walk_paths(std::span<const std::string> paths, const std::set<FileIdentity>& written) {
  Walking walking;
  for (const std::string& path : paths) walk_path(walking, path, written);
  for (auto& [record, group] : walking.groups) walking.walk.jobs.push_back(job_of_group(record, std::move(group)));
  std::stable_sort(walking.walk.jobs.begin(), walking.walk.jobs.end(),
                   [](const Job& a, const Job& b) { return a.record < b.record; });
  return std::move(walking.walk);
}

void load_job(Job& job, const Holding& holding) {
  if (!job.error.empty()) return;
  for (Input& input : job.inputs) {
    if (input.path.empty()) continue;
    std::optional<std::string> failure = input.compressed ? read_compressed_file(input, holding, job.held)
                                                          : read_whole_file(input, holding, job.held);
    if (failure) {
      job.inputs.clear();
      give_back(holding, job.held, job.held);
      job.error = std::move(*failure);
      return;
    }
    input.path.clear();
  }
}

void read_archive(const std::string& path, const std::function<void(Job&&)>& take, std::vector<std::string>& skipped,
                  const Holding& holding) {
  struct stat info {};
  const bool read_again = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  std::set<std::string> finished;  // records given to `take`
  std::set<std::string> waiting;   // records left for a later reading
  std::optional<std::set<std::string>> eligible;
  bool progressed = true;
  do {
    if (eligible && (!read_again || !progressed)) {
      // Read once only, or read again in vain: what waits is refused.
      const std::string why = !read_again ? "its files lie too far apart in an archive that is read only once"
                                          : "its files could not be held together";
      for (const std::string& record : waiting) {
        take(Job{record, std::nullopt, {},
                 record + ": " + why + ", for the memory limit of " + size_text(holding.budget.limit()) +
                     " (--memory-limit raises it)"});
      }
      return;
    }
    if (eligible) eligible = std::move(waiting);
    waiting.clear();
    ArchiveReading reading(holding, take, skipped, finished, waiting, eligible ? &*eligible : nullptr);
    readers::MemberLimits limits;
    limits.largest = holding.budget.limit();
    limits.hold = [&](std::string_view name, std::size_t bytes) { return reading.hold(name, bytes); };
    limits.release = [&](std::size_t bytes) { reading.release(bytes); };
    limits.stop = [&] { return (holding.stop && holding.stop()) || reading.done(); };
    const std::optional<readers::Error> error = readers::for_each_member(
        path, [&](std::string_view name) { return reading.wants(name); },
        [&](readers::Member&& member) { reading.take(std::move(member)); }, limits);
    if (error || (holding.stop && holding.stop())) {
      reading.abandon();
      if (error) take(Job{error->file, std::nullopt, {}, readers::error_text(*error)});
      return;
    }
    progressed = !eligible || reading.ended() > 0;
    reading.finish_all();
    if (!eligible) eligible.emplace();
  } while (!waiting.empty());
}

}  // namespace batch
