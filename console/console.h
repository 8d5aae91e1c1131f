// Console lines of the run: small helpers that issue one list-directed output
// statement on the console for the common line shapes.
#pragma once

#include <string_view>

namespace console {

// Adds a text item to the output statement being built.
void write_text(std::string_view text);

// One output statement without items: an empty console line.
void console_empty_line();

// One console line holding just `text`.
void console_text_line(std::string_view text);

}  // namespace console
