#include "console/console.h"

#include <cstdint>

#include "recio/statement.h"

namespace console {

void write_text(std::string_view text) {
  recio::write_character(text.data(), static_cast<std::int32_t>(text.size()));
}

void console_empty_line() {
  recio::begin_write(recio::kConsoleOutput);
  recio::end_write();
}

void console_text_line(std::string_view text) {
  recio::begin_write(recio::kConsoleOutput);
  write_text(text);
  recio::end_write();
}

}  // namespace console
