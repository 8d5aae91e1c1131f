#include "recio/units.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "recio/host.h"
#include "recio/report.h"
#include "recio/statement.h"

namespace recio {

namespace {

enum class OpenStatus { Old, New, Scratch, Unknown, Replace };

// What a name designates on this host. The printer and serial devices have no
// counterpart here: a connection to one fails as a missing file.
enum class Device { None, Console, Error, Null, Unavailable };

bool is_blank(char c) { return c == ' '; }

std::string trim_blanks(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && is_blank(text[first])) ++first;
  std::size_t end = text.size();
  while (end > first && is_blank(text[end - 1])) --end;
  return std::string(text.substr(first, end - first));
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// Keyword texts are compared without regard to case and to trailing blanks.
bool is_keyword(std::string_view text, std::string_view keyword) {
  std::size_t end = text.size();
  while (end > 0 && is_blank(text[end - 1])) --end;
  return same_ignoring_case(text.substr(0, end), keyword);
}

std::string_view text_of(const char* text, std::int32_t length) {
  if (text == nullptr) return {};
  std::size_t size = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  return std::string_view(text, size);
}

Device device_of(std::string_view name) {
  std::size_t dot = name.rfind('.');
  std::string_view base = name.substr(0, dot);
  bool has_extension = dot != std::string_view::npos && dot + 1 < name.size();
  if (base.size() < 3 || base.size() > 4) return Device::None;
  // ERR, LPTn, LINE and USER with an extension are ordinary files.
  char first = upper(base[0]);
  if (has_extension && (first == 'E' || first == 'L' || first == 'U')) return Device::None;
  if (same_ignoring_case(base, "CON") || same_ignoring_case(base, "USER")) return Device::Console;
  if (same_ignoring_case(base, "ERR")) return Device::Error;
  if (same_ignoring_case(base, "NUL")) return Device::Null;
  static constexpr std::string_view kUnavailable[] = {"PRN",  "AUX",  "LINE", "COM1", "COM2", "COM3",
                                                      "COM4", "LPT1", "LPT2", "LPT3", "LPT4"};
  for (std::string_view device : kUnavailable) {
    if (same_ignoring_case(base, device)) return Device::Unavailable;
  }
  return Device::None;
}

// The device name a connection is known by, to find it on another unit.
std::string_view device_name(Device device) {
  switch (device) {
    case Device::Console: return "CON";
    case Device::Error: return "ERR";
    case Device::Null: return "NUL";
    default: return {};
  }
}

RunError open_failure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return RunError::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return RunError::AccessRefused;
    case EEXIST: return RunError::FileExists;
    case EMFILE:
    case ENFILE: return RunError::TooManyFiles;
    default: return RunError::InvalidOpen;
  }
}

UnitRecord console_record(std::int32_t number, int handle, int input_handle) {
  UnitRecord record;
  record.number = number;
  record.name = "CON";
  record.handle = handle;
  record.input_handle = input_handle;
  record.kind = UnitKind::Console;
  record.input.resize(kConsoleBufferSize);
  record.output.resize(kConsoleBufferSize);
  return record;
}

std::size_t slot_of(std::int32_t unit) {
  UnitTable& table = unit_table();
  for (std::size_t slot = 0; slot < table.slots.size(); ++slot) {
    if (table.slots[slot].record && table.slots[slot].number == unit) return slot;
  }
  return table.slots.size();
}

std::size_t free_slot() {
  UnitTable& table = unit_table();
  for (std::size_t slot = 0; slot < table.slots.size(); ++slot) {
    if (!table.slots[slot].record) return slot;
  }
  return table.slots.size();
}

bool is_console_device(const UnitRecord& record) {
  return record.kind == UnitKind::Console && record.handle == 1 && record.name == "CON";
}

// Opens an ordinary file with the creation rule of `status`, trying read-only
// and then write-only access when read-write access fails. Returns the handle,
// or -1 with the errno of the last attempt; `created` tells whether the file
// was made by this open.
int open_file(const std::string& name, OpenStatus status, bool& created) {
  struct stat info;
  bool exists = host().stat(name.c_str(), &info) == 0;
  if (status == OpenStatus::Unknown) status = exists ? OpenStatus::Old : OpenStatus::New;
  if (status == OpenStatus::Replace) {
    if (exists) host().unlink(name.c_str());
    status = OpenStatus::New;
  }
  created = status != OpenStatus::Old;
  int creation = created ? (O_CREAT | O_EXCL) : 0;
  // A FIFO opened for reading and writing would never see its end of file.
  bool fifo = exists && S_ISFIFO(info.st_mode);
  static constexpr int kReadWrite[] = {O_RDWR, O_RDONLY, O_WRONLY};
  static constexpr int kFifo[] = {O_RDONLY, O_WRONLY};
  const int* attempts = fifo ? kFifo : kReadWrite;
  int count = fifo ? 2 : 3;
  int last_error = 0;
  for (int attempt = 0; attempt < count; ++attempt) {
    int handle = host().open(name.c_str(), attempts[attempt] | creation, 0666);
    if (handle < 0) {
      last_error = errno;
      continue;
    }
    struct stat opened;
    if (host().fstat(handle, &opened) == 0 && S_ISDIR(opened.st_mode)) {
      host().close(handle);
      last_error = EISDIR;
      continue;
    }
    return handle;
  }
  errno = last_error;
  return -1;
}

std::string temporary_name() {
  static unsigned counter = 0;
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int tries = 0; tries < 1000; ++tries) {
    unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + (counter++) * 40503u;
    std::string name = "ZZ";
    for (int i = 0; i < 6; ++i) {
      name += kLetters[seed % 36];
      seed /= 36;
    }
    struct stat info;
    if (host().stat(name.c_str(), &info) != 0) return name;
  }
  raise_error(RunError::NoTempName, StatementKind::Open, "ZZXXXXXX");
  return {};
}

// The file name of a connection made without a usable one: the next
// command-line argument, or a name asked for on the console.
std::string acquire_file_name(std::int32_t unit) {
  UnitTable& table = unit_table();
  std::string name;
  if (table.next_argument < table.arguments.size()) {
    std::string_view argument = table.arguments[table.next_argument++];
    name = trim_blanks(argument.substr(0, kMaxFileName));
  } else {
    end_open_console_line();
  }
  while (name.empty()) {
    write_console("File name missing or blank - please enter file name\r\nUNIT " +
                  std::to_string(unit) + "? ");
    std::optional<std::string> line;
    if (table.read_typed_line != nullptr) line = table.read_typed_line(table.console);
    if (!line) raise_error(RunError::EndOfFile, StatementKind::Open, "");
    name = trim_blanks(*line);
  }
  return name;
}

// Whether an input statement has read the file in this run.
bool was_read_in_this_run(const FileIdentity& identity) {
  const std::vector<FileIdentity>& read = unit_table().files_read;
  return std::find(read.begin(), read.end(), identity) != read.end();
}

// Connects `unit` to `name` (already trimmed) with `status`; every failure is
// reported as OPEN with that name. With `spare_files_read` a file that was
// read in this run is refused: the results of a run named after the record it
// has just read would write over that record.
void connect(std::int32_t unit, std::string name, OpenStatus status, bool spare_files_read = false) {
  UnitTable& table = unit_table();
  if (name.size() > kMaxFileName) name.resize(kMaxFileName);
  table.file_name_buffer = name;
  Device device = device_of(name);
  if (device == Device::Unavailable) raise_error(RunError::FileNotFound, StatementKind::Open, name);

  struct stat info;
  bool exists = device == Device::None && host().stat(name.c_str(), &info) == 0;
  if (spare_files_read && exists && was_read_in_this_run(FileIdentity{info.st_dev, info.st_ino})) {
    raise_error(RunError::OverwritesInput, StatementKind::Open, name);
  }
  auto same_file = [&](const UnitRecord& record) {
    if (device != Device::None) return same_ignoring_case(record.name, device_name(device));
    return exists && record.kind == UnitKind::SequentialFormatted &&
           record.identity == FileIdentity{info.st_dev, info.st_ino};
  };
  for (const UnitSlot& slot : table.slots) {
    if (slot.record && slot.number != unit && device != Device::Null && same_file(*slot.record)) {
      raise_error(RunError::AlreadyConnected, StatementKind::Open, name);
    }
  }
  std::size_t current = slot_of(unit);
  if (current < table.slots.size()) {
    if (same_file(*table.slots[current].record)) return;
    close_slot(current, std::nullopt);
  }
  std::size_t slot = free_slot();
  if (slot == table.slots.size()) raise_error(RunError::NoFreeUnit, StatementKind::Open, name);

  auto record = std::make_unique<UnitRecord>();
  record->number = unit;
  switch (device) {
    case Device::Console:
      *record = console_record(unit, 1, 0);
      break;
    case Device::Error:
      *record = console_record(unit, 2, 0);
      record->name = "ERR";
      break;
    case Device::Null: {
      int handle = host().open("/dev/null", O_RDWR, 0);
      if (handle < 0) raise_error(open_failure(errno), StatementKind::Open, name);
      *record = console_record(unit, handle, handle);
      record->name = "NUL";
      break;
    }
    default: {
      if (status == OpenStatus::Scratch && exists) {
        raise_error(RunError::FileExists, StatementKind::Open, name);
      }
      bool created = false;
      int handle = open_file(name, status, created);
      if (handle < 0) raise_error(open_failure(errno), StatementKind::Open, name);
      struct stat opened;
      if (host().fstat(handle, &opened) == 0) {
        record->identity = FileIdentity{opened.st_dev, opened.st_ino};
      }
      record->name = name;
      record->handle = handle;
      record->input_handle = handle;
      record->kind = UnitKind::SequentialFormatted;
      record->input.resize(kFileBufferSize);
      record->output.resize(kFileBufferSize);
      record->writing = created;
      record->delete_on_close = status == OpenStatus::Scratch;
      record->close_disposition =
          status == OpenStatus::Scratch ? Disposition::Delete : Disposition::Keep;
      break;
    }
  }
  record->number = unit;
  table.slots[slot].number = unit;
  table.slots[slot].record = std::move(record);
}

// Remembers the identity of a file at the first input statement that reads it.
void note_file_read(UnitRecord& record) {
  if (record.read_by_input || record.kind != UnitKind::SequentialFormatted) return;
  record.read_by_input = true;
  unit_table().files_read.push_back(record.identity);
}

void check_unit_number(std::int32_t unit, StatementKind kind) {
  if (unit < -32767 || unit > 32767) raise_error(RunError::BadUnit, kind, "");
}

}  // namespace

UnitTable the_unit_table;

void create_console_units(int argc, char** argv, TypedLineReader read_typed_line) {
  UnitTable& table = unit_table();
  for (UnitSlot& slot : table.slots) {
    slot.record.reset();
    slot.number = 0;
  }
  table.arguments.assign(argv, argv + argc);
  table.next_argument = 1;
  table.file_name_buffer.clear();
  bool input_is_terminal = host().isatty(0) == 1;
  bool output_is_terminal = host().isatty(1) == 1;
  table.console = console_record(kConsoleInput, 1, 0);
  table.console.interactive = input_is_terminal;
  table.console_output.reset();
  table.hold_console_output = !output_is_terminal;
  table.held_console_output.clear();
  table.standard_output_failed = false;
  table.files_read.clear();
  table.read_typed_line = read_typed_line;
  if (!(input_is_terminal && output_is_terminal)) {
    table.console_output = console_record(kConsoleOutput, 1, -1);
  }
}

UnitRecord& console_output_unit() {
  UnitTable& table = unit_table();
  return table.console_output ? *table.console_output : table.console;
}

UnitRecord* find_unit(std::int32_t unit) {
  std::size_t slot = slot_of(unit);
  UnitTable& table = unit_table();
  return slot < table.slots.size() ? table.slots[slot].record.get() : nullptr;
}

UnitRecord& resolve_unit(std::int32_t unit, Direction direction, StatementKind kind) {
  UnitTable& table = unit_table();
  UnitRecord& console = direction == Direction::Output ? console_output_unit() : table.console;
  if (unit == kConsoleOutput || unit == kConsoleInput) return console;
  check_unit_number(unit, kind);
  UnitRecord* record = find_unit(unit);
  if (record == nullptr) {
    if (unit == 0 || unit == 5 || unit == 6) return console;
    std::string name = acquire_file_name(unit);
    if (direction == Direction::Input) {
      connect(unit, name, OpenStatus::Old);
    } else {
      connect(unit, name, OpenStatus::Unknown, true);
    }
    record = find_unit(unit);
  }
  if (is_console_device(*record)) return console;
  if (direction == Direction::Input) note_file_read(*record);
  return *record;
}

void begin_output(UnitRecord& unit) {
  if (unit.kind != UnitKind::SequentialFormatted || unit.writing) return;
  std::int64_t unread = unit.last >= unit.next ? unit.last - unit.next + 1 : 0;
  std::int64_t position = unit.file_offset - unread;
  struct stat info;
  if (host().fstat(unit.handle, &info) == 0 && S_ISREG(info.st_mode)) {
    if (host().truncate(unit.handle, position) != 0 ||
        host().seek(unit.handle, position, SEEK_SET) < 0) {
      raise_error(RunError::WriteFailed, StatementKind::Write, unit.name);
    }
  }
  unit.file_offset = position;
  unit.next = 0;
  unit.last = -1;
  unit.writing = true;
}

void write_piece(UnitRecord& unit) {
  if (unit.position == 0) return;
  std::size_t count = unit.position;
  // The buffer is given up before a failure is reported, so that the closing
  // at the end of the run does not try to write it again.
  unit.position = 0;
  unit.buffer_dirty = false;
  if (!write_to_handle(unit.handle, unit.output.data(), count)) {
    raise_error(RunError::WriteFailed, StatementKind::Write, unit.name);
  }
  unit.file_offset += static_cast<std::int64_t>(count);
}

namespace {

// Writes the held console output and empties the holding, also when the
// write fails (a report that follows releases again and finds nothing).
bool write_held_output(std::string& held) {
  const bool written = write_all(1, held.data(), held.size());
  held.clear();
  if (!written) unit_table().standard_output_failed = true;
  return written;
}

// Writes what a file unit's buffer holds without waiting for the buffer to
// fill. The bytes a failed write leaves stay at the front of the buffer.
void write_ahead(UnitRecord& unit) {
  if (unit.kind != UnitKind::SequentialFormatted || !unit.writing || unit.position == 0) return;
  const std::size_t written = write_until_failure(unit.handle, unit.output.data(), unit.position);
  unit.file_offset += static_cast<std::int64_t>(written);
  std::memmove(unit.output.data(), unit.output.data() + written, unit.position - written);
  unit.position -= written;
}

}  // namespace

void prepare_console_wait() {
  release_console_output();
  for (UnitSlot& slot : unit_table().slots) {
    if (slot.record) write_ahead(*slot.record);
  }
}

bool write_to_handle(int handle, const char* bytes, std::size_t count) {
  UnitTable& table = unit_table();
  // Its failure has been reported; the run is ending.
  if (handle == 1 && table.standard_output_failed) return true;
  if (handle == 1 && table.hold_console_output) {
    // Written out whole before it would grow beyond the limit, so that a
    // piece of a record is never split between two writes.
    std::string& held = table.held_console_output;
    if (held.size() + count > kHeldConsoleLimit && !write_held_output(held)) return false;
    held.append(bytes, count);
    return true;
  }
  release_console_output();
  if (write_all(handle, bytes, count)) return true;
  if (handle == 1) table.standard_output_failed = true;
  return false;
}

void release_console_output() {
  std::string& held = unit_table().held_console_output;
  if (!held.empty() && !write_held_output(held)) {
    raise_error(RunError::WriteFailed, StatementKind::Write, "CON");
  }
}

void write_console(std::string_view bytes) {
  if (!write_to_handle(1, bytes.data(), bytes.size())) {
    raise_error(RunError::WriteFailed, StatementKind::Write, "CON");
  }
}

void end_open_console_line() {
  if (console_output_unit().line_open) write_console("\r\n");
}

void close_slot(std::size_t slot, std::optional<Disposition> disposition) {
  UnitTable& table = unit_table();
  // Taken out of the table first: a failure reported below ends the run, and
  // its closing must not meet this connection again.
  std::unique_ptr<UnitRecord> record = std::move(table.slots[slot].record);
  table.slots[slot].number = 0;
  if (!record) return;
  Disposition chosen = disposition.value_or(record->close_disposition);
  if (record->writing && chosen != Disposition::Delete) write_piece(*record);
  if (record->kind == UnitKind::Console && record->line_open) {
    record->line_open = false;
    if (!write_to_handle(record->handle, "\r\n", 2)) {
      raise_error(RunError::WriteFailed, StatementKind::Close, record->name);
    }
  }
  record->writing = false;
  if (record->handle > 2) host().close(record->handle);
  if (chosen == Disposition::Keep && record->delete_on_close) {
    raise_error(RunError::KeepScratch, StatementKind::Close, record->name);
  }
  if (chosen == Disposition::Delete && host().unlink(record->name.c_str()) != 0) {
    raise_error(RunError::DeleteRefused, StatementKind::Close, record->name);
  }
}

void open_unit(std::int32_t unit, const char* file, std::int32_t file_length, const char* status,
               std::int32_t status_length) {
  std::string_view given = text_of(file, file_length);
  std::string name = file ? trim_blanks(given.substr(0, std::min(given.find('\0'), kMaxFileName)))
                          : std::string();
  unit_table().file_name_buffer = name;
  check_unit_number(unit, StatementKind::Open);
  OpenStatus open_status = file ? OpenStatus::Unknown : OpenStatus::Scratch;
  std::string_view status_text = text_of(status, status_length);
  if (status != nullptr) {
    static constexpr std::pair<std::string_view, OpenStatus> kStatuses[] = {
        {"OLD", OpenStatus::Old},
        {"NEW", OpenStatus::New},
        {"SCRATCH", OpenStatus::Scratch},
        {"UNKNOWN", OpenStatus::Unknown},
        {"REPLACE", OpenStatus::Replace}};
    bool known = false;
    for (const auto& [keyword, value] : kStatuses) {
      if (is_keyword(status_text, keyword)) {
        open_status = value;
        known = true;
      }
    }
    if (!known) raise_error(RunError::UnknownStatus, StatementKind::Open, name);
  }
  if (open_status == OpenStatus::Scratch && file != nullptr) {
    raise_error(RunError::ScratchNamed, StatementKind::Open, name);
  }
  if (file == nullptr) {
    UnitRecord* current = find_unit(unit);
    name = current ? current->name : temporary_name();
  } else if (name.empty()) {
    name = acquire_file_name(unit);
  }
  connect(unit, name, open_status);
}

void close_unit(std::int32_t unit, const char* status, std::int32_t status_length) {
  std::size_t slot = slot_of(unit);
  std::optional<Disposition> disposition;
  std::string_view status_text = text_of(status, status_length);
  if (status != nullptr) {
    if (is_keyword(status_text, "KEEP")) {
      disposition = Disposition::Keep;
    } else if (is_keyword(status_text, "DELETE")) {
      disposition = Disposition::Delete;
    } else {
      UnitRecord* record = find_unit(unit);
      raise_error(RunError::UnknownStatus, StatementKind::Close, record ? record->name : "");
    }
  }
  if (slot < unit_table().slots.size()) close_slot(slot, disposition);
}

}  // namespace recio
