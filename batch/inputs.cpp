#include "batch/inputs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>

namespace batch {

namespace {

namespace fs = std::filesystem;

readers::Result<std::string> read_whole_file(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return readers::Error{path, 0, std::strerror(errno)};
  std::string bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    bytes.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), limit));
  }
  char buffer[65536];
  while (bytes.size() < limit) {
    const ssize_t got = read_some(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return readers::Error{path, 0, std::strerror(error)};
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
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

// The walk so far, with the component files not yet grouped into jobs.
struct Walking {
  Walk walk;
  std::map<std::string, Group> groups;
};

void classify(Walking& walking, const std::string& path, bool walked) {
  Walk& walk = walking.walk;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) walk.inputs.insert({info.st_dev, info.st_ino});
  if (readers::is_archive_name(path)) {
    walk.archives.push_back(path);
    return;
  }
  const bool compressed = readers::is_compressed_name(path);
  const std::string name = compressed ? without_gz(path) : path;
  if (add_component(walking.groups, name, Input{path, path, compressed, {}})) return;
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
        walk.skipped.push_back(name);
        return;
      }
      job.error = path + ": not a record of a known format";
    }
  }
  walk.jobs.push_back(std::move(job));
}

void walk_path(Walking& walking, const std::string& path) {
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
    if (it->is_regular_file(kind_error)) files.push_back(it->path().string());
  }
  if (error) walk.jobs.push_back(Job{path, std::nullopt, {}, path + ": " + error.message()});
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) classify(walking, file, true);
}

// At most this many K-NET/KiK-net records of an archive, holding at most this
// many bytes, are held while their component files are collected. An archive
// whose components lie far apart is read again for the records that had to
// wait, so that memory stays bounded whatever the archive holds.
constexpr std::size_t kPendingGroups = 512;
constexpr std::size_t kPendingBytes = std::size_t{192} << 20;

}  // namespace

Walk walk_paths(std::span<const std::string> paths) {
  Walking walking;
  for (const std::string& path : paths) walk_path(walking, path);
  for (auto& [record, group] : walking.groups) walking.walk.jobs.push_back(job_of_group(record, std::move(group)));
  return std::move(walking.walk);
}

void read_archive(const std::string& path, const std::function<void(Job&&)>& take, std::vector<std::string>& skipped) {
  std::set<std::string> finished;  // records given to `take`
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
    const auto take_member = [&](readers::Member&& member) {
      if (const std::optional<readers::KnetName> knet = readers::knet_name(member.name)) {
        held_bytes += member.bytes.size();
        add_component(pending, member.name, Input{member.name, "", false, std::move(member.bytes)});
        Group& group = pending[knet->record];
        if (group.parts[0] && group.parts[1] && group.parts[2]) {
          for (const std::optional<Input>& part : group.parts) held_bytes -= part->bytes.size();
          finished.insert(knet->record);
          take(job_of_group(knet->record, std::move(group)));
          pending.erase(knet->record);
        }
        return;
      }
      const std::optional<readers::Format> format =
          readers::detect_format(member.name, std::string_view(member.bytes).substr(0, kHeadBytes));
      if (!format) {
        skipped.push_back(member.name);
        return;
      }
      Job job;
      job.record = member.name;
      job.format = format;
      job.inputs.push_back(Input{member.name, "", false, std::move(member.bytes)});
      take(std::move(job));
    };
    if (const std::optional<readers::Error> error = readers::for_each_member(path, wants, take_member)) {
      take(Job{error->file, std::nullopt, {}, readers::error_text(*error)});
      return;
    }
    for (auto& [record, group] : pending) {
      finished.insert(record);
      take(job_of_group(record, std::move(group)));
    }
    first_reading = false;
  } while (!waiting.empty());
}

readers::Result<std::string> read_input(Input& input) {
  if (input.path.empty()) return std::move(input.bytes);
  if (input.compressed) return readers::decompress_file(input.path);
  return read_whole_file(input.path, SIZE_MAX);
}

}  // namespace batch
