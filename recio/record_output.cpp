#include "recio/record_output.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "numtext/real_digits.h"
#include "recio/report.h"

namespace recio {

namespace {

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
  if (!written) raise_error(RunError::WriteFailed, StatementKind::Write, unit.name);
}

void write_out(UnitRecord& unit) {
  if (unit.kind == UnitKind::Console) {
    write_console_piece(unit);
  } else {
    write_piece(unit);
  }
}

}  // namespace

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

}  // namespace recio
