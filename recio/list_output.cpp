#include "recio/list_output.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "recio/formatted.h"
#include "recio/host.h"
#include "numtext/real_digits.h"
#include "recio/run_end.h"
#include "recio/statement.h"

namespace recio {

namespace {

// The statement being built between begin_write and end_write.
struct OutputStatement {
  std::int32_t unit = 0;
  const char* format = nullptr;
  std::int32_t format_length = 0;
  std::vector<OutputItem> items;
};

// Constant-initialised, so that reaching it needs no guard.
constinit OutputStatement current_statement;

OutputStatement& statement() { return current_statement; }

constexpr int kLineWidth = 79;

// Writes the placed characters of a console unit's buffer. The first piece of
// a record gets line control: its first character is consumed and replaced by
// the bytes that end the previous line and position the new one.
void write_console_piece(UnitRecord& unit) {
  if (unit.position == 0) return;
  const char* bytes = unit.output.data();
  std::size_t count = unit.position;
  unit.position = 0;
  unit.buffer_dirty = false;
  bool written = true;
  if (!unit.record_started) {
    unit.record_started = true;
    std::string_view control;
    switch (bytes[0]) {
      case '0': control = unit.line_open ? "\r\n\r\n" : "\r\n"; break;
      case '1': control = "\r\n\f\r \r"; break;
      case '+': control = "\r"; break;
      default: control = unit.line_open ? "\r\n" : ""; break;
    }
    ++bytes;
    --count;
    if (!control.empty()) written = write_to_handle(unit.handle, control.data(), control.size());
  }
  if (written && count > 0) written = write_to_handle(unit.handle, bytes, count);
  if (!written) raise_error(err::kWriteFailed, StatementKind::Write, unit.name);
}

void write_out(UnitRecord& unit) {
  if (unit.kind == UnitKind::Console) {
    write_console_piece(unit);
  } else {
    write_piece(unit);
  }
}

// Places a value's text right-justified in `columns` columns, starting a new
// record first when the value does not fit on the current line.
void place_value(RecordState& state, const char* text, int length, int columns) {
  if (state.needs_separator) ++columns;
  state.needs_separator = true;
  state.pending_blanks += columns - length;
  if (columns < state.line_room) {
    emit_wide_text(state, length, text);
    state.line_room -= columns;
    return;
  }
  if (columns >= kLineWidth) raise_error(err::kItemTooWide, StatementKind::Write, state.unit->name);
  int item_blanks = state.pending_blanks;
  state.pending_blanks = 0;
  end_record(state);
  state.line_room = kLineWidth;
  state.pending_blanks = item_blanks;
  emit_text(state, length, text);
  state.line_room -= columns;
}

void place_text(RecordState& state, const char* text, int length) {
  if (state.pending_blanks != 1) state.pending_blanks = 0;
  while (length >= state.line_room) {
    int part = state.line_room;
    emit_text(state, part, text);
    text += part;
    length -= part;
    end_record(state);
    state.line_room = kLineWidth;
    state.pending_blanks = 1;
  }
  emit_text(state, length, text);
  state.line_room -= length;
  state.needs_separator = false;
}

void lay_out_list(RecordState& state, const std::vector<OutputItem>& items) {
  state.pending_blanks = 1;
  state.line_room = kLineWidth;
  state.needs_separator = false;
  for (const OutputItem& item : items) {
    switch (item.kind) {
      case ItemKind::Integer: {
        char text[kWideText] = {};
        place_value(state, text, integer_text(item.integer, text), 11);
        break;
      }
      case ItemKind::Real: {
        numtext::RealText real = numtext::format_real(static_cast<double>(item.real), numtext::kListSingle);
        place_value(state, real.text, real.length, numtext::kListSingle.w);
        break;
      }
      case ItemKind::Character:
        place_text(state, item.text, std::max(item.length, 0));
        break;
    }
  }
}

}  // namespace

int integer_text(std::int32_t value, char* text) {
  char digits[12];
  int count = 0;
  std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  int length = 0;
  if (value < 0) text[length++] = '-';
  while (count > 0) text[length++] = digits[--count];
  return length;
}

void emit_text(RecordState& state, int count, const char* text) {
  UnitRecord& unit = *state.unit;
  int total = state.pending_blanks + count;
  state.record_columns += total;
  if (total > 0 && static_cast<std::size_t>(total) <= unit.capacity() - unit.position) {
    // All of it fits the buffer.
    char* at = unit.output.data() + unit.position;
    std::memset(at, ' ', static_cast<std::size_t>(state.pending_blanks));
    std::memcpy(at + state.pending_blanks, text, static_cast<std::size_t>(count));
    state.pending_blanks = 0;
    unit.position += static_cast<std::size_t>(total);
    unit.buffer_dirty = true;
    return;
  }
  while (total > 0) {
    std::size_t room = unit.capacity() - unit.position;
    if (room == 0) {
      write_out(unit);
      continue;
    }
    std::size_t placed;
    if (state.pending_blanks > 0) {
      placed = std::min(room, static_cast<std::size_t>(state.pending_blanks));
      std::memset(unit.output.data() + unit.position, ' ', placed);
      state.pending_blanks -= static_cast<int>(placed);
    } else {
      placed = std::min(room, static_cast<std::size_t>(total));
      std::memcpy(unit.output.data() + unit.position, text, placed);
      text += placed;
    }
    unit.position += placed;
    total -= static_cast<int>(placed);
    unit.buffer_dirty = true;
  }
}

static_assert(sizeof(numtext::RealText::text) >= kWideText);

void emit_wide_text(RecordState& state, int count, const char* text) {
  UnitRecord& unit = *state.unit;
  constexpr int kBlankRun = 16;
  if (state.pending_blanks > kBlankRun || count > kWideText ||
      unit.capacity() - unit.position < static_cast<std::size_t>(kBlankRun + kWideText)) {
    emit_text(state, count, text);
    return;
  }
  // Sixteen blanks and the whole text buffer: what lies beyond the text is
  // overwritten by what comes next, or never written out.
  char* at = unit.output.data() + unit.position;
  std::memset(at, ' ', kBlankRun);
  std::memcpy(at + state.pending_blanks, text, kWideText);
  const int total = state.pending_blanks + count;
  state.record_columns += total;
  state.pending_blanks = 0;
  unit.position += static_cast<std::size_t>(total);
  if (total > 0) unit.buffer_dirty = true;
}

void end_record(RecordState& state) {
  UnitRecord& unit = *state.unit;
  if (unit.kind == UnitKind::Console) {
    if (state.record_columns == 0) {
      state.pending_blanks = 0;
      emit_text(state, 1, " ");
    }
    write_console_piece(unit);
    unit.line_open = true;
    unit.record_started = false;
  } else {
    emit_text(state, 2, "\r\n");
  }
  state.record_columns = 0;
}

void begin_write(std::int32_t unit, const char* format, std::int32_t format_length) {
  if ((unit < -32767 || unit > 32767) && unit != kConsoleOutput) {
    raise_error(err::kBadUnit, StatementKind::Write, "");
  }
  OutputStatement& current = statement();
  current.unit = unit;
  current.format = format;
  current.format_length = format_length;
  current.items.clear();
}

namespace {

// The item is filled in place: a whole item built apart and copied in would
// be read back before its parts have reached memory.
OutputItem& new_item(ItemKind kind) {
  OutputItem& item = statement().items.emplace_back();
  item.kind = kind;
  return item;
}

}  // namespace

void write_integer(std::int32_t value) { new_item(ItemKind::Integer).integer = value; }

void write_real(float value) { new_item(ItemKind::Real).real = value; }

void write_character(const char* text, std::int32_t length) {
  OutputItem& item = new_item(ItemKind::Character);
  item.text = text;
  item.length = length;
}

void end_write() {
  OutputStatement& current = statement();
  RecordState state;
  state.unit = &resolve_unit(current.unit, Direction::Output, StatementKind::Write);
  begin_output(*state.unit);
  if (current.format == nullptr) {
    lay_out_list(state, current.items);
  } else {
    lay_out_formatted(state, current.format, current.format_length, current.items);
  }
  end_record(state);
}

}  // namespace recio
