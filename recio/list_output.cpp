#include <algorithm>
#include <cstdint>
#include <vector>

#include "numtext/real_digits.h"
#include "recio/formatted.h"
#include "recio/record_output.h"
#include "recio/report.h"
#include "recio/statement.h"
#include "recio/units.h"

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

// The integer's list-directed text; returns its length.
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
  if (columns >= kLineWidth) {
    raise_error(RunError::ItemTooWide, StatementKind::Write, state.unit->name);
  }
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

// The item is filled in place: a whole item built apart and copied in would
// be read back before its parts have reached memory.
OutputItem& new_item(ItemKind kind) {
  OutputItem& item = statement().items.emplace_back();
  item.kind = kind;
  return item;
}

}  // namespace

void begin_write(std::int32_t unit, const char* format, std::int32_t format_length) {
  if ((unit < -32767 || unit > 32767) && unit != kConsoleOutput) {
    raise_error(RunError::BadUnit, StatementKind::Write, "");
  }
  OutputStatement& current = statement();
  current.unit = unit;
  current.format = format;
  current.format_length = format_length;
  current.items.clear();
}

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
