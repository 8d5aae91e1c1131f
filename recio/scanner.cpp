#include "recio/scanner.h"

#include <cstdint>
#include <cstring>
#include <span>

#include "numtext/list_scanner.h"
#include "numtext/reading.h"
#include "recio/host.h"
#include "recio/report.h"
#include "recio/statement.h"
#include "recio/units.h"

namespace recio {

namespace {

constexpr char kCtrlZ = 0x1A;

// The report of a real item whose text is not a single-precision number.
RunError reading_failure(numtext::ReadError error) {
  switch (error) {
    case numtext::ReadError::exponent_too_large: return RunError::RealExponentTooLarge;
    case numtext::ReadError::out_of_range: return RunError::RealOutOfRange;
    default: return RunError::RealSyntax;
  }
}

// ---------------------------------------------------------------------------
// Bytes of a unit's input buffer

enum class Fill { Ready, EndOfFile, ReadFailed, LineTooLong };

// Refills the unit's input buffer from its handle. A file is read until the
// buffer is full, its bytes end a line or the file ends, so that a line is
// never cut where a pipe or device happened to pause; the console takes one
// read, and a short console read that does not end a line gets an LF. A line
// left open by the previous buffer is ended by an LF of its own when the
// input ends, whatever the length of the input.
Fill refill(UnitRecord& unit) {
  char* buffer = unit.input.data();
  const std::size_t capacity = unit.input.size();
  const bool line_left_open = unit.last >= 0 && buffer[unit.last] != '\n';
  const bool whole_lines = unit.kind == UnitKind::SequentialFormatted;
  std::size_t count = 0;
  bool failed = false;
  if (unit.kind == UnitKind::Console) prepare_console_wait();
  do {
    ssize_t got = read_retrying(unit.input_handle, buffer + count, capacity - count);
    if (got < 0) {
      failed = true;
      break;
    }
    if (got == 0) break;
    count += static_cast<std::size_t>(got);
  } while (whole_lines && count < capacity && buffer[count - 1] != '\n');
  unit.file_offset += static_cast<std::int64_t>(count);
  unit.next = 0;
  unit.last = -1;
  if (failed) return Fill::ReadFailed;
  if (count == 0) {
    if (!line_left_open) return Fill::EndOfFile;
    buffer[0] = '\n';
    unit.last = 0;
    return Fill::Ready;
  }
  if (unit.kind == UnitKind::Console) {
    if (unit.interactive && count == capacity && buffer[count - 1] != '\n') {
      return Fill::LineTooLong;
    }
    // A line ending in Ctrl-Z, CR, LF marks the end of the console input.
    if (count > 2 && buffer[count - 3] == kCtrlZ) return Fill::EndOfFile;
    if (count < capacity && buffer[count - 1] != '\n') buffer[count++] = '\n';
  }
  unit.last = static_cast<int>(count) - 1;
  return Fill::Ready;
}

// The next byte of the unit's input, refilling its buffer when it is
// exhausted. An LF that completes a CR line end seen before is dropped.
Fill take_byte(UnitRecord& unit, char& c) {
  for (;;) {
    if (unit.next > unit.last) {
      Fill outcome = refill(unit);
      if (outcome != Fill::Ready) return outcome;
    }
    c = unit.input[static_cast<std::size_t>(unit.next++)];
    if (unit.skip_lf) {
      unit.skip_lf = false;
      if (c == '\n') continue;
    }
    return Fill::Ready;
  }
}

// ---------------------------------------------------------------------------
// The input statement

// The statement being executed, from begin_read to its end.
struct InputStatement {
  std::int32_t designator = 0;
  UnitRecord* unit = nullptr;
  bool opened = false;
  int status = 0;
  bool has_end_branch = false;
  numtext::ListScanner values;
};

// Constant-initialised, so that reaching it needs no guard.
constinit InputStatement current_statement;

InputStatement& statement() { return current_statement; }

// Where an item's value goes: the variable's bytes and their number.
struct Destination {
  char* bytes;
  std::size_t size;
  bool real;
};

// Result of next_char() once the statement has stopped.
constexpr int kStopped = numtext::kSourceEnded;

void fail(InputStatement& s, RunError error) {
  s.status = raise_error(error, StatementKind::Read, s.unit->name, s.has_end_branch);
}

// The report of a list the scanner cannot go on with.
RunError scan_failure(numtext::ScanError error) {
  switch (error) {
    case numtext::ScanError::repeat_not_integer: return RunError::RepeatCountDigits;
    case numtext::ScanError::repeat_too_large: return RunError::RepeatCountRange;
    case numtext::ScanError::repeat_zero: return RunError::RepeatZero;
    case numtext::ScanError::repeat_twice: return RunError::RepeatTwice;
    default: return RunError::RealSyntax;
  }
}

// next_char once the buffer is exhausted or a CR line end is pending.
[[gnu::noinline]] int next_char_slow(InputStatement& s) {
  char c;
  switch (take_byte(*s.unit, c)) {
    case Fill::Ready: return static_cast<unsigned char>(c);
    case Fill::EndOfFile:
      s.unit->at_end = true;
      fail(s, RunError::EndOfFile);
      break;
    case Fill::ReadFailed: fail(s, RunError::ReadFailed); break;
    case Fill::LineTooLong: fail(s, RunError::LineTooLong); break;
  }
  return kStopped;
}

int next_char(InputStatement& s) {
  UnitRecord& unit = *s.unit;
  if (unit.next <= unit.last && !unit.skip_lf) {
    return static_cast<unsigned char>(unit.input[static_cast<std::size_t>(unit.next++)]);
  }
  return next_char_slow(s);
}

// Leaves the current record: a file or redirected console up to and
// including its LF; an interactive console drops the rest of the line it
// holds (reading one line first when none has been read).
bool next_record(InputStatement& s) {
  UnitRecord& unit = *s.unit;
  if (unit.kind == UnitKind::Console && unit.interactive) {
    if (unit.next > unit.last && next_char(s) == kStopped) return false;
    unit.next = 0;
    unit.last = -1;
  } else {
    for (;;) {
      int c = next_char(s);
      if (c == kStopped) return false;
      if (c == '\n') break;
    }
  }
  if (&unit == &unit_table().console) unit.line_open = false;
  return true;
}

// The unit's buffer as the scanner's byte source. When it has no byte, the
// end of the file or the failure has been reported and the status set.
struct UnitSource {
  InputStatement& s;
  int next() { return next_char(s); }
  void put_back() { --s.unit->next; }
  bool next_record() { return recio::next_record(s); }
};

bool open_statement(InputStatement& s) {
  s.opened = true;
  UnitTable& table = unit_table();
  UnitRecord& unit = s.designator == kConsoleInput
                         ? table.console
                         : resolve_unit(s.designator, Direction::Input, StatementKind::Read);
  s.unit = &unit;
  if (unit.at_end) {
    fail(s, RunError::ReadAfterEnd);
    return false;
  }
  // A console that also shows output: the answer is typed on a fresh line,
  // and nothing typed before the prompt appeared is taken as the answer.
  if (&unit == &table.console && unit.line_open) {
    if (!unit.record_started) write_console("\r\n");
    unit.next = 0;
    unit.last = -1;
  }
  s.values.begin();
  return true;
}

// A character item takes the value's characters and blanks after them. The
// characters of a quoted value were put in as they were scanned, also those
// past the kept text; a repeated one takes the kept text.
void store_character(const numtext::ListScanner& values, const Destination& destination) {
  std::size_t filled = 0;
  if (values.form() == numtext::ValueForm::quoted && !values.repeated()) {
    filled = values.length() < destination.size ? values.length() : destination.size;
  } else {
    const std::string_view kept = values.text();
    filled = kept.size() < destination.size ? kept.size() : destination.size;
    std::memcpy(destination.bytes, kept.data(), filled);
  }
  std::memset(destination.bytes + filled, ' ', destination.size - filled);
}

void store_value(InputStatement& s, const Destination& destination) {
  if (!destination.real) {
    store_character(s.values, destination);
    return;
  }
  if (s.values.form() != numtext::ValueForm::plain) {
    fail(s, RunError::QuotedNumeric);
    return;
  }
  const numtext::RealReading reading = numtext::read_real(s.values.text());
  if (reading.error != numtext::ReadError::none) {
    fail(s, reading_failure(reading.error));
    return;
  }
  std::memcpy(destination.bytes, &reading.value, sizeof reading.value);
}

int read_item(const Destination& destination) {
  InputStatement& s = statement();
  if (s.status != 0) return s.status;
  if (!s.opened && !open_statement(s)) return s.status;
  UnitSource source{s};
  // Only a character item takes a quoted value's characters as they come: a
  // real item keeps its value until the text is refused, also when the file
  // ends inside the quotes.
  const std::span<char> quoted_into =
      destination.real ? std::span<char>() : std::span<char>(destination.bytes, destination.size);
  switch (s.values.next_item(source, quoted_into)) {
    case numtext::ItemKind::value: store_value(s, destination); break;
    case numtext::ItemKind::failed: fail(s, scan_failure(s.values.error())); break;
    default: break;  // a null value, the end of the list or of the input
  }
  return s.status;
}

}  // namespace

void begin_read(std::int32_t unit, bool end_branch) {
  InputStatement& s = statement();
  s.designator = unit;
  s.unit = nullptr;
  s.opened = false;
  s.status = 0;
  s.has_end_branch = end_branch;
}

int read_real(float* address) {
  return read_item(Destination{reinterpret_cast<char*>(address), sizeof *address, true});
}

int read_character(char* address, std::int32_t length) {
  return read_item(
      Destination{address, length > 0 ? static_cast<std::size_t>(length) : 0, false});
}

int end_read() {
  InputStatement& s = statement();
  if (s.status != 0) return s.status;
  if (!s.opened && !open_statement(s)) return s.status;
  UnitSource source{s};
  // The end of the file or a failure while leaving the record is in the status.
  (void)s.values.end(source);
  return s.status;
}

std::optional<std::string> read_typed_line(UnitRecord& console) {
  std::string line;
  if (console.interactive) {
    prepare_console_wait();
    char typed[kTypedLineLimit + 2];
    ssize_t got = read_retrying(console.input_handle, typed, sizeof typed);
    if (got <= 0) return std::nullopt;
    std::size_t end = 0;
    while (end < static_cast<std::size_t>(got) && end < kTypedLineLimit && typed[end] != '\r' &&
           typed[end] != '\n') {
      ++end;
    }
    line.assign(typed, end);
    return line;
  }
  for (;;) {
    char c;
    if (take_byte(console, c) != Fill::Ready) return std::nullopt;
    if (c == '\n') return line;
    if (c == '\r') {
      // CR LF is one line end; when the CR is the last byte at hand, the LF
      // is not waited for but dropped when it comes.
      if (console.next > console.last) {
        console.skip_lf = true;
      } else if (console.input[static_cast<std::size_t>(console.next)] == '\n') {
        ++console.next;
      }
      return line;
    }
    if (line.size() < kTypedLineLimit) line += c;
  }
}

}  // namespace recio
