#include "recio/scanner.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <system_error>

#include "numtext/reading.h"
#include "recio/host.h"
#include "recio/report.h"
#include "recio/statement.h"
#include "recio/units.h"

namespace recio {

namespace {

constexpr char kCtrlZ = 0x1A;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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

ssize_t read_retrying(int fd, char* buffer, std::size_t count) {
  for (;;) {
    ssize_t got = host().read(fd, buffer, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

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

enum class ScanMode { Plain, Quoted, Paired };

// The statement being executed, from begin_read to its end.
struct InputStatement {
  std::int32_t designator = 0;
  UnitRecord* unit = nullptr;
  bool opened = false;
  int status = 0;
  bool has_end_branch = false;
  char last_separator = ',';
  int repeat_left = 0;
  char value_text[numtext::kLongestNumber] = {};
  std::size_t value_length = 0;  // characters of the value, also of a quoted one
  ScanMode scan_mode = ScanMode::Plain;
  char quote_char = '\'';
  bool record_consumed = false;
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
constexpr int kStopped = -1;

void fail(InputStatement& s, RunError error) {
  s.status = raise_error(error, StatementKind::Read, s.unit->name, s.has_end_branch);
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

void put_back(InputStatement& s) { --s.unit->next; }

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
  s.last_separator = ',';
  s.repeat_left = 0;
  s.record_consumed = false;
  return true;
}

// Only a character item takes the characters as they come: a real item keeps
// its value until the text is converted (and refused), also when the file
// ends inside the quotes.
void store_quoted(InputStatement& s, const Destination& destination, char c) {
  if (!destination.real && s.value_length < destination.size) {
    destination.bytes[s.value_length] = c;
  }
  if (s.value_length < numtext::kLongestNumber) s.value_text[s.value_length] = c;
  ++s.value_length;
}

// The repeat count in the value text: a plain decimal integer above 0, or
// the failure.
std::optional<RunError> repeat_count(const InputStatement& s, int& count) {
  if (s.value_length == 0) return RunError::RepeatCountDigits;
  std::int64_t value = 0;
  for (std::size_t i = 0; i < s.value_length; ++i) {
    if (!is_digit(s.value_text[i])) return RunError::RepeatCountDigits;
    value = value * 10 + (s.value_text[i] - '0');
    if (value > INT32_MAX) return RunError::RepeatCountRange;
  }
  if (value == 0) return RunError::RepeatZero;
  count = static_cast<int>(value);
  return std::nullopt;
}

// The characters that end an unquoted value.
constexpr std::array<bool, 256> kEndsPlainValue = [] {
  std::array<bool, 256> ends{};
  for (const char c : {' ', '\t', '\r', '\n', ',', '/', '*'}) ends[static_cast<unsigned char>(c)] = true;
  return ends;
}();

// Inside an unquoted value, the characters up to the next one that can end
// it are taken straight from the buffer, as the byte-by-byte scan would.
void take_plain_run(InputStatement& s) {
  UnitRecord& unit = *s.unit;
  if (unit.skip_lf) return;
  const char* input = unit.input.data();
  int next = unit.next;
  const int last = unit.last;
  std::size_t length = s.value_length;
  while (next <= last && length < numtext::kLongestNumber) {
    const char c = input[next];
    if (kEndsPlainValue[static_cast<unsigned char>(c)]) break;
    s.value_text[length++] = c;
    ++next;
  }
  unit.next = next;
  s.value_length = length;
}

// Scans the next value of the statement into value_text (a quoted value also
// straight into the destination); false when the statement has stopped.
bool scan_value(InputStatement& s, const Destination& destination) {
  s.record_consumed = false;
  s.value_length = 0;
  s.scan_mode = ScanMode::Plain;
  // A count was given for this value (also a count of 1): from then on a
  // separator ends a null value instead of being skipped.
  bool count_given = false;
  for (;;) {
    int c = next_char(s);
    if (c == kStopped) return false;
    bool record_end = false;
    if (c == '\r' || c == '\n') {
      put_back(s);
      if (!next_record(s)) return false;
      if (s.scan_mode == ScanMode::Quoted) {
        // A quoted value goes on after the first character of the next record.
        if (next_char(s) == kStopped) return false;
        continue;
      }
      record_end = true;
      c = ' ';
    }
    if (s.scan_mode == ScanMode::Quoted) {
      if (c == s.quote_char) {
        int after = next_char(s);
        if (after == kStopped) return false;
        if (after != s.quote_char) {
          s.last_separator = static_cast<char>(after);
          if (after == '\n') put_back(s);
          return true;
        }
      }
      store_quoted(s, destination, static_cast<char>(c));
      continue;
    }
    switch (c) {
      case ' ':
      case '\t':
        if ((s.value_length == 0 && !count_given) || s.scan_mode == ScanMode::Paired) continue;
        s.last_separator = ' ';
        s.record_consumed = record_end;
        return true;
      case '(':
        if (s.value_length == 0) {
          s.scan_mode = ScanMode::Paired;
          continue;
        }
        break;
      case ')':
        if (s.scan_mode == ScanMode::Paired) {
          s.last_separator = ' ';
          return true;
        }
        break;
      case '\'':
      case '"':
        if (s.value_length == 0) {
          s.scan_mode = ScanMode::Quoted;
          s.quote_char = static_cast<char>(c);
          continue;
        }
        break;
      case '*': {
        if (count_given) {
          fail(s, RunError::RepeatTwice);
          return false;
        }
        int count = 0;
        if (const std::optional<RunError> failure = repeat_count(s, count)) {
          fail(s, *failure);
          return false;
        }
        s.repeat_left = count - 1;
        s.value_length = 0;
        count_given = true;
        continue;
      }
      case ',':
        if (s.value_length == 0 && s.last_separator == ' ' && !count_given) {
          // The comma belongs to the blanks before it.
          s.last_separator = ',';
          continue;
        }
        if (s.scan_mode != ScanMode::Paired) {
          s.last_separator = ',';
          return true;
        }
        break;  // inside a pair the comma is part of the value
      case '/':
        s.last_separator = '/';
        return true;
      default: break;
    }
    if (s.value_length == numtext::kLongestNumber) {
      fail(s, RunError::RealSyntax);
      return false;
    }
    s.value_text[s.value_length++] = static_cast<char>(c);
    if (s.scan_mode == ScanMode::Plain) take_plain_run(s);
  }
}

void store_character(const InputStatement& s, const Destination& destination, bool repeated) {
  std::size_t filled = 0;
  if (s.scan_mode == ScanMode::Quoted && !repeated) {
    // The scan already put the characters in.
    filled = s.value_length < destination.size ? s.value_length : destination.size;
  } else {
    std::size_t kept = s.value_length < numtext::kLongestNumber ? s.value_length : numtext::kLongestNumber;
    filled = kept < destination.size ? kept : destination.size;
    std::memcpy(destination.bytes, s.value_text, filled);
  }
  std::memset(destination.bytes + filled, ' ', destination.size - filled);
}

void store_value(InputStatement& s, const Destination& destination, bool repeated) {
  if (!destination.real) {
    store_character(s, destination, repeated);
    return;
  }
  if (s.scan_mode != ScanMode::Plain) {
    fail(s, RunError::QuotedNumeric);
    return;
  }
  const numtext::RealReading reading = numtext::read_real(std::string_view(s.value_text, s.value_length));
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
  // A pending repetition is still delivered after a "/" that ended its value.
  if (s.last_separator == '/' && s.repeat_left == 0) return 0;
  const bool repeated = s.repeat_left > 0;
  if (repeated) {
    --s.repeat_left;
  } else if (!scan_value(s, destination)) {
    return s.status;
  }
  if (s.value_length > 0) store_value(s, destination, repeated);
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
  s.last_separator = ',';
  s.repeat_left = 0;
  s.value_length = 0;
  s.scan_mode = ScanMode::Plain;
  s.record_consumed = false;
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
  // The statement leaves the record in which its last value ended; a
  // repetition still pending is dropped.
  if (!s.record_consumed) next_record(s);
  s.repeat_left = 0;
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
