// Formatted output: a format text compiled into descriptors, and format
// control pairing the items of a statement with its edit descriptors (E and
// D fields of real values), ending a record at the end of the format.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "recio/record_output.h"

namespace recio {

enum class FormatNodeKind {
  GroupOpen,    // "(" of an inner group, with its repeat count
  GroupClose,   // ")" of an inner group
  RealEdit,     // E or D edit descriptor: repeat, w, d, e
  OtherEdit,    // a data edit descriptor that takes no real value here
  Unsupported,  // a descriptor of the format language this layer does not carry out
  SyntaxError,  // the place where the text stopped being a format
  End           // the ")" that closes the format
};

struct FormatNode {
  FormatNodeKind kind;
  int repeat = 1;
  char letter = 'E';
  int w = 0;
  int d = 0;
  int e = 2;
};

// Compiles `format` (length -1: up to its NUL) from its opening parenthesis to
// the one that closes it; what follows is never examined.
std::vector<FormatNode> compile_format(std::string_view format);

// Lays the items out into records under the format; the caller ends the last
// record.
void lay_out_formatted(RecordState& state, const char* format, std::int32_t format_length,
                       const std::vector<OutputItem>& items);

}  // namespace recio
