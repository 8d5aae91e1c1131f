// Record output, the level shared by list-directed and formatted output: the
// items of an output statement, placing text into a unit's buffer (and the
// buffer's pieces onto its handle), and ending a record by the unit's kind.
#pragma once

#include <cstdint>

#include "recio/units.h"

namespace recio {

enum class ItemKind { Integer, Real, Character };

// One item of an output statement, captured at its call.
struct OutputItem {
  ItemKind kind;
  std::int32_t integer;
  float real;
  const char* text;
  std::int32_t length;
};

// The layout state of the statement being executed.
struct RecordState {
  UnitRecord* unit = nullptr;
  int pending_blanks = 0;   // blanks still to be placed before the next text
  int record_columns = 0;   // characters placed into the current record
  int line_room = 79;       // columns left on the current list-directed line
  bool needs_separator = false;  // a value was placed since the record or the last text began
};

// Places the pending blanks, then `count` characters of `text`, into the
// unit's buffer, writing full buffers out as pieces of the record.
void emit_text(RecordState& state, int count, const char* text);

// Text read from a buffer of at least kWideText bytes, `count` of them at
// most kWideText: placed as emit_text places it, with copies of a fixed size
// when the unit's buffer has room for them.
inline constexpr int kWideText = 32;
void emit_wide_text(RecordState& state, int count, const char* text);

// Ends the current record: on the console with its line control, in a file
// with CR LF.
void end_record(RecordState& state);

}  // namespace recio
