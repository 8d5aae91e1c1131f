// Record names and the recognition of formats from names and first bytes.
#include <string>

#include "readers/readers.h"

namespace readers {

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool starts_like_number(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

// The first bytes are text: no NUL, no control characters other than tab,
// CR, LF and Ctrl-Z, no bytes above ASCII.
bool plain_text(std::string_view head) {
  for (char c : head) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x7f || (byte < 0x20 && c != '\t' && c != '\r' && c != '\n' && byte != 0x1a)) return false;
  }
  return true;
}

}  // namespace

std::optional<KnetName> knet_name(std::string_view path) {
  const std::size_t slash = path.find_last_of("/:");
  const std::size_t point = path.rfind('.');
  if (point == std::string_view::npos || (slash != std::string_view::npos && point < slash) ||
      point == (slash == std::string_view::npos ? 0 : slash + 1)) {
    return std::nullopt;
  }
  const std::string_view extension = path.substr(point + 1);
  if (extension.size() != 2 && extension.size() != 3) return std::nullopt;
  const std::string letters{upper(extension[0]), upper(extension[1])};
  KnetName name;
  if (letters == "NS") {
    name.component = 0;
  } else if (letters == "EW") {
    name.component = 1;
  } else if (letters == "UD") {
    name.component = 2;
  } else {
    return std::nullopt;
  }
  name.record = std::string(path.substr(0, point));
  if (extension.size() == 3) {
    if (extension[2] != '1' && extension[2] != '2') return std::nullopt;
    name.format = Format::kiknet;
    name.record += '.';
    name.record += extension[2];
  }
  return name;
}

std::optional<Format> detect_format(std::string_view path, std::string_view head) {
  std::string_view first_line = head.substr(0, head.find('\n'));
  if (const std::optional<KnetName> name = knet_name(path); name && first_line.starts_with("Origin Time")) {
    return name->format;
  }
  if (first_line.starts_with("SITE CODE=")) return Format::jma_csv;
  if (!plain_text(head)) return std::nullopt;
  for (char c : head) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    return starts_like_number(c) ? std::optional<Format>(Format::console_text) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace readers
