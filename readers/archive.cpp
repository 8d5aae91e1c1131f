// Archives and compressed files, read in memory with libarchive when the
// build has it; without it every archive is refused with one message.
#include <algorithm>
#include <string>

#include "readers/readers.h"

#if SHINDO_HAVE_LIBARCHIVE
#include <archive.h>
#include <archive_entry.h>
#endif

namespace readers {

namespace {

bool ends_with_nocase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char a = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
    if (a != suffix[i]) return false;
  }
  return true;
}

#if SHINDO_HAVE_LIBARCHIVE

// How deep archives may nest.
constexpr int kNestingLimit = 4;

struct ArchiveHandle {
  archive* handle = archive_read_new();
  ~ArchiveHandle() { archive_read_free(handle); }
  ArchiveHandle() = default;
  ArchiveHandle(const ArchiveHandle&) = delete;
  ArchiveHandle& operator=(const ArchiveHandle&) = delete;
};

std::string archive_message(archive* handle) {
  const char* text = archive_error_string(handle);
  return text != nullptr ? text : "unreadable archive";
}

bool hold(const MemberLimits& limits, std::string_view name, std::size_t bytes) {
  return !limits.hold || limits.hold(name, bytes);
}

void release(const MemberLimits& limits, std::size_t bytes) {
  if (limits.release && bytes > 0) limits.release(bytes);
}

Error too_large(const std::string& name, std::size_t largest) {
  return Error{name, 0, "larger than " + std::to_string(largest) + " bytes, the largest member read"};
}

// The data of one entry as far as they were kept.
enum class Kept { whole, too_large, given_up };
struct Data {
  std::string bytes;
  Kept kept = Kept::whole;
};

// The data of the entry just read, each piece held before it is kept. The
// size its header gives only reserves room (at most `limits.largest`), which
// the memory takes up only as the data come; what is held is what came.
// With `head_only`, the first `limits.largest` bytes are whole.
Result<Data> entry_data(archive* handle, archive_entry* entry, const std::string& name, const MemberLimits& limits,
                        bool head_only) {
  Data data;
  if (entry != nullptr && archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0) {
    data.bytes.reserve(std::min(static_cast<std::size_t>(archive_entry_size(entry)), limits.largest));
  }
  char buffer[65536];
  const auto let_go = [&](Kept kept) {
    release(limits, data.bytes.size());
    return Data{{}, kept};
  };
  for (;;) {
    const la_ssize_t got = archive_read_data(handle, buffer, sizeof buffer);
    if (got < 0) {
      (void)let_go(Kept::given_up);
      return Error{name, 0, archive_message(handle)};
    }
    if (got == 0) break;
    std::size_t size = static_cast<std::size_t>(got);
    if (size > limits.largest - data.bytes.size()) {
      if (!head_only) return let_go(Kept::too_large);
      size = limits.largest - data.bytes.size();
    }
    if (!hold(limits, name, size)) return let_go(Kept::given_up);
    data.bytes.append(buffer, size);
    if (head_only && data.bytes.size() == limits.largest) break;
  }
  return data;
}

// The one file of a gzip stream.
Result<Data> decompress(archive* handle, const std::string& name, const MemberLimits& limits, bool head_only) {
  archive_entry* entry = nullptr;
  if (archive_read_next_header(handle, &entry) != ARCHIVE_OK) return Error{name, 0, archive_message(handle)};
  return entry_data(handle, entry, name, limits, head_only);
}

Result<Data> decompress_bytes(const std::string& name, std::string_view bytes, const MemberLimits& limits) {
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_raw(archive.handle);
  if (archive_read_open_memory(archive.handle, bytes.data(), bytes.size()) != ARCHIVE_OK) {
    return Error{name, 0, archive_message(archive.handle)};
  }
  return decompress(archive.handle, name, limits, false);
}

std::string without_gz(std::string_view name) { return std::string(name.substr(0, name.size() - 3)); }

// What a reading wants, where it goes and what it may hold.
struct Reading {
  const std::function<bool(std::string_view)>& wants;
  const std::function<void(Member&&)>& take;
  const MemberLimits& limits;
};

std::optional<Error> read_members(archive* handle, const std::string& prefix, int depth, const Reading& reading);

std::optional<Error> open_and_read(const std::string& prefix, std::string_view bytes, int depth,
                                   const Reading& reading) {
  if (depth > kNestingLimit) return Error{prefix, 0, "archives nested more than 4 deep"};
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_all(archive.handle);
  if (archive_read_open_memory(archive.handle, bytes.data(), bytes.size()) != ARCHIVE_OK) {
    return Error{prefix, 0, archive_message(archive.handle)};
  }
  return read_members(archive.handle, prefix, depth, reading);
}

std::optional<Error> read_members(archive* handle, const std::string& prefix, int depth, const Reading& reading) {
  const MemberLimits& limits = reading.limits;
  for (;;) {
    if (limits.stop && limits.stop()) return std::nullopt;
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(handle, &entry);
    if (status == ARCHIVE_EOF) return std::nullopt;
    if (status < ARCHIVE_WARN) return Error{prefix, 0, archive_message(handle)};
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    const char* path = archive_entry_pathname(entry);
    const std::string member_name = prefix + ":" + (path != nullptr ? path : "");
    const bool archive_inside = is_archive_name(member_name);
    const bool compressed = !archive_inside && is_compressed_name(member_name);
    const std::string shown = compressed ? without_gz(member_name) : member_name;
    if (!archive_inside && !reading.wants(shown)) continue;
    Result<Data> read = entry_data(handle, entry, member_name, limits, false);
    if (const Error* error = std::get_if<Error>(&read)) return *error;
    Data& data = std::get<Data>(read);
    if (data.kept == Kept::given_up) continue;
    if (data.kept == Kept::too_large) {
      reading.take(Member{shown, {}, too_large(member_name, limits.largest)});
      continue;
    }
    if (archive_inside) {
      std::optional<Error> error = open_and_read(member_name, data.bytes, depth + 1, reading);
      release(limits, data.bytes.size());
      if (error) return error;
      continue;
    }
    if (!compressed) {
      reading.take(Member{member_name, std::move(data.bytes), std::nullopt});
      continue;
    }
    Result<Data> plain = decompress_bytes(member_name, data.bytes, limits);
    release(limits, data.bytes.size());
    data.bytes = std::string();
    if (const Error* error = std::get_if<Error>(&plain)) return *error;
    Data& decompressed = std::get<Data>(plain);
    if (decompressed.kept == Kept::given_up) continue;
    if (decompressed.kept == Kept::too_large) {
      reading.take(Member{shown, {}, too_large(shown, limits.largest)});
    } else {
      reading.take(Member{shown, std::move(decompressed.bytes), std::nullopt});
    }
  }
}

#endif

}  // namespace

bool is_archive_name(std::string_view path) {
  for (std::string_view suffix : {".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tbz2", ".tar.xz", ".txz"}) {
    if (ends_with_nocase(path, suffix)) return true;
  }
  return false;
}

bool is_compressed_name(std::string_view path) { return ends_with_nocase(path, ".gz") && !is_archive_name(path); }

#if SHINDO_HAVE_LIBARCHIVE

bool archives_supported() { return true; }

std::optional<Error> for_each_member(const std::string& path, const std::function<bool(std::string_view)>& wants,
                                     const std::function<void(Member&&)>& take, const MemberLimits& limits) {
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_all(archive.handle);
  if (archive_read_open_filename(archive.handle, path.c_str(), 65536) != ARCHIVE_OK) {
    return Error{path, 0, archive_message(archive.handle)};
  }
  return read_members(archive.handle, path, 1, Reading{wants, take, limits});
}

Result<std::string> decompress_file(const std::string& path, const MemberLimits& limits, bool head_only) {
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_raw(archive.handle);
  if (archive_read_open_filename(archive.handle, path.c_str(), 65536) != ARCHIVE_OK) {
    return Error{path, 0, archive_message(archive.handle)};
  }
  Result<Data> read = decompress(archive.handle, path, limits, head_only);
  if (const Error* error = std::get_if<Error>(&read)) return *error;
  if (std::get<Data>(read).kept == Kept::too_large) return too_large(path, limits.largest);
  if (std::get<Data>(read).kept == Kept::given_up) return Error{path, 0, "given up: no room to hold it"};
  return std::move(std::get<Data>(read).bytes);
}

#else

namespace {
const char* const kNoArchives = "this shindo-batch was built without libarchive and reads no archives or compressed files";
}

bool archives_supported() { return false; }

std::optional<Error> for_each_member(const std::string& path, const std::function<bool(std::string_view)>&,
                                     const std::function<void(Member&&)>&, const MemberLimits&) {
  return Error{path, 0, kNoArchives};
}

Result<std::string> decompress_file(const std::string& path, const MemberLimits&, bool) {
  return Error{path, 0, kNoArchives};
}

#endif

}  // namespace readers
