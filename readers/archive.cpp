// Archives and compressed files, read in memory with libarchive when the
// build has it; without it every archive is refused with one message.
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

// Limits that keep a hostile archive from taking the machine: the bytes of
// one member, and how deep archives may nest.
constexpr std::size_t kMemberLimit = std::size_t{1} << 30;
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

// The data of the entry just read, whole.
Result<std::string> entry_bytes(archive* handle, archive_entry* entry, const std::string& name) {
  const Error too_large{name, 0, "a member larger than 1 GiB"};
  std::string bytes;
  if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0) {
    const auto size = static_cast<std::size_t>(archive_entry_size(entry));
    if (size > kMemberLimit) return too_large;
    bytes.reserve(size);
  }
  char buffer[65536];
  for (;;) {
    const la_ssize_t got = archive_read_data(handle, buffer, sizeof buffer);
    if (got < 0) return Error{name, 0, archive_message(handle)};
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > kMemberLimit) return too_large;
  }
  return bytes;
}

// The one file of a gzip stream.
Result<std::string> decompress(archive* handle, const std::string& name) {
  archive_entry* entry = nullptr;
  if (archive_read_next_header(handle, &entry) != ARCHIVE_OK) return Error{name, 0, archive_message(handle)};
  return entry_bytes(handle, entry, name);
}

Result<std::string> decompress_bytes(const std::string& name, std::string_view bytes) {
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_raw(archive.handle);
  if (archive_read_open_memory(archive.handle, bytes.data(), bytes.size()) != ARCHIVE_OK) {
    return Error{name, 0, archive_message(archive.handle)};
  }
  return decompress(archive.handle, name);
}

std::string without_gz(std::string_view name) { return std::string(name.substr(0, name.size() - 3)); }

// What a reading wants and where it goes.
struct Reading {
  const std::function<bool(std::string_view)>& wants;
  const std::function<void(Member&&)>& take;
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
  for (;;) {
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(handle, &entry);
    if (status == ARCHIVE_EOF) return std::nullopt;
    if (status < ARCHIVE_WARN) return Error{prefix, 0, archive_message(handle)};
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    const char* path = archive_entry_pathname(entry);
    const std::string member_name = prefix + ":" + (path != nullptr ? path : "");
    const bool archive_inside = is_archive_name(member_name);
    const bool compressed = !archive_inside && is_compressed_name(member_name);
    if (!archive_inside && !reading.wants(compressed ? without_gz(member_name) : member_name)) continue;
    Result<std::string> bytes = entry_bytes(handle, entry, member_name);
    if (const Error* error = std::get_if<Error>(&bytes)) return *error;
    std::string& data = std::get<std::string>(bytes);
    if (archive_inside) {
      if (std::optional<Error> error = open_and_read(member_name, data, depth + 1, reading)) return error;
    } else if (compressed) {
      Result<std::string> plain = decompress_bytes(member_name, data);
      if (const Error* error = std::get_if<Error>(&plain)) return *error;
      reading.take(Member{without_gz(member_name), std::get<std::string>(std::move(plain))});
    } else {
      reading.take(Member{member_name, std::move(data)});
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
                                     const std::function<void(Member&&)>& take) {
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_all(archive.handle);
  if (archive_read_open_filename(archive.handle, path.c_str(), 65536) != ARCHIVE_OK) {
    return Error{path, 0, archive_message(archive.handle)};
  }
  return read_members(archive.handle, path, 1, Reading{wants, take});
}

Result<std::string> decompress_file(const std::string& path) {
  ArchiveHandle archive;
  archive_read_support_filter_all(archive.handle);
  archive_read_support_format_raw(archive.handle);
  if (archive_read_open_filename(archive.handle, path.c_str(), 65536) != ARCHIVE_OK) {
    return Error{path, 0, archive_message(archive.handle)};
  }
  return decompress(archive.handle, path);
}

#else

namespace {
const char* const kNoArchives = "this shindo-batch was built without libarchive and reads no archives or compressed files";
}

bool archives_supported() { return false; }

std::optional<Error> for_each_member(const std::string& path, const std::function<bool(std::string_view)>&,
                                     const std::function<void(Member&&)>&) {
  return Error{path, 0, kNoArchives};
}

Result<std::string> decompress_file(const std::string& path) { return Error{path, 0, kNoArchives}; }

#endif

}  // namespace readers
