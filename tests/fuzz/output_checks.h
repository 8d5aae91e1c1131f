// What the fuzz targets of the batch program's table and of the pictures
// demand of their text: strict UTF-8, one CSV record of a given number of
// fields, one JSON value, and well-formed XML markup.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace shindo::fuzzing {

[[noreturn]] inline void output_finding(const std::string& what, std::string_view text) {
  std::fprintf(stderr, "\n*** output: %s\n%.*s\n", what.c_str(), static_cast<int>(std::min<std::size_t>(text.size(), 2000)),
               text.data());
  std::abort();
}

// True when `text` is UTF-8 as RFC 3629 has it: no overlong form, no
// surrogate, nothing beyond U+10FFFF.
inline bool is_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 1;
    char32_t code = lead;
    if (lead >= 0x80) {
      if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu;
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u;
      } else {
        return false;
      }
      if (i + length > text.size()) return false;
      for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return false;
        code = (code << 6) | (byte(i + k) & 0x3Fu);
      }
      const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    }
    i += length;
  }
  return true;
}

// The fields of one CSV record (RFC 4180) that fills `line` up to its final
// LF; a finding when it is not one.
inline std::vector<std::string> csv_fields(std::string_view line) {
  if (line.empty() || line.back() != '\n') output_finding("a CSV line without its LF", line);
  std::vector<std::string> fields(1);
  std::size_t i = 0;
  const std::size_t end = line.size() - 1;
  while (i < end) {
    if (line[i] == '"' && fields.back().empty()) {
      ++i;
      for (;;) {
        if (i >= end) output_finding("an unclosed quoted CSV field", line);
        if (line[i] == '"') {
          if (i + 1 < end && line[i + 1] == '"') {
            fields.back() += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        fields.back() += line[i++];
      }
      if (i < end && line[i] != ',') output_finding("text after a quoted CSV field", line);
    } else if (line[i] == ',') {
      fields.emplace_back();
      ++i;
    } else {
      if (line[i] == '"' || line[i] == '\n' || line[i] == '\r') output_finding("a bare quote or line end in CSV", line);
      fields.back() += line[i++];
    }
  }
  return fields;
}

// A JSON text (RFC 8259) of exactly one value; a finding names what is wrong.
class JsonCheck {
 public:
  explicit JsonCheck(std::string_view text) : text_(text) {
    if (!is_utf8(text)) output_finding("JSON that is not UTF-8", text);
    value(0);
    blanks();
    if (at_ != text_.size()) fail("text after the value");
  }

 private:
  [[noreturn]] void fail(const char* what) { output_finding(std::string("JSON: ") + what, text_); }
  char peek() { return at_ < text_.size() ? text_[at_] : '\0'; }
  void blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) ++at_;
  }
  void expect(char c) {
    if (peek() != c) fail("an unexpected character");
    ++at_;
  }
  void word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) fail("an unknown word");
    at_ += w.size();
  }
  void string() {
    expect('"');
    for (;;) {
      if (at_ >= text_.size()) fail("an unclosed string");
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return;
      if (c < 0x20) fail("a raw control character in a string");
      if (c != '\\') continue;
      const char e = peek();
      ++at_;
      if (e == 'u') {
        for (int k = 0; k < 4; ++k, ++at_) {
          if (!std::isxdigit(static_cast<unsigned char>(peek()))) fail("a bad \\u escape");
        }
      } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos || e == '\0') {
        fail("a bad escape");
      }
    }
  }
  void number() {
    if (peek() == '-') ++at_;
    if (peek() == '0') {
      ++at_;
    } else if (peek() >= '1' && peek() <= '9') {
      while (std::isdigit(static_cast<unsigned char>(peek()))) ++at_;
    } else {
      fail("not a number");
    }
    if (peek() == '.') {
      ++at_;
      if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("no digit after the point");
      while (std::isdigit(static_cast<unsigned char>(peek()))) ++at_;
    }
    if (peek() == 'e' || peek() == 'E') {
      ++at_;
      if (peek() == '+' || peek() == '-') ++at_;
      if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("no digit in the exponent");
      while (std::isdigit(static_cast<unsigned char>(peek()))) ++at_;
    }
  }
  void value(int depth) {
    if (depth > 64) fail("nested too deep");
    blanks();
    switch (peek()) {
      case '{':
        ++at_;
        blanks();
        if (peek() == '}') {
          ++at_;
          return;
        }
        for (;;) {
          blanks();
          string();
          blanks();
          expect(':');
          value(depth + 1);
          blanks();
          if (peek() == '}') {
            ++at_;
            return;
          }
          expect(',');
        }
      case '[':
        ++at_;
        blanks();
        if (peek() == ']') {
          ++at_;
          return;
        }
        for (;;) {
          value(depth + 1);
          blanks();
          if (peek() == ']') {
            ++at_;
            return;
          }
          expect(',');
        }
      case '"': string(); return;
      case 't': word("true"); return;
      case 'f': word("false"); return;
      case 'n': word("null"); return;
      default: number();
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

// Well-formed XML as far as markup goes: valid UTF-8 without the control
// characters XML forbids, every element closed in order (or empty), quoted
// attribute values, every '&' an entity, no '<' in text or attributes.
inline void check_markup(std::string_view text) {
  if (!is_utf8(text)) output_finding("markup that is not UTF-8", text);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') output_finding("a control character in markup", text);
  }
  std::vector<std::string_view> open;
  std::size_t i = 0;
  const auto entity = [&](std::size_t at) {
    const std::size_t end = text.find(';', at);
    if (end == std::string_view::npos || end - at > 10 || end == at + 1) output_finding("a bare '&'", text.substr(at));
    const std::string_view name = text.substr(at + 1, end - at - 1);
    if (name[0] == '#') {
      const bool hex = name.size() > 1 && name[1] == 'x';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      if (digits.empty()) output_finding("an empty character reference", text.substr(at));
      for (const char d : digits) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(d)) : std::isdigit(static_cast<unsigned char>(d)))) {
          output_finding("a bad character reference", text.substr(at));
        }
      }
    } else if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos") {
      output_finding("an entity XML does not know", text.substr(at));
    }
    return end + 1;
  };
  while (i < text.size()) {
    if (text[i] == '&') {
      i = entity(i);
      continue;
    }
    if (text[i] != '<') {
      ++i;
      continue;
    }
    if (text.substr(i, 4) == "<!--") {
      const std::size_t end = text.find("-->", i + 4);
      if (end == std::string_view::npos) output_finding("an unclosed comment", text.substr(i));
      i = end + 3;
      continue;
    }
    if (text.substr(i, 2) == "<!" || text.substr(i, 2) == "<?") {
      const std::size_t end = text.find('>', i);
      if (end == std::string_view::npos) output_finding("an unclosed declaration", text.substr(i));
      i = end + 1;
      continue;
    }
    const bool closing = text.substr(i, 2) == "</";
    std::size_t k = i + (closing ? 2 : 1);
    const std::size_t name_start = k;
    while (k < text.size() && (std::isalnum(static_cast<unsigned char>(text[k])) || text[k] == '-' || text[k] == ':' || text[k] == '_')) ++k;
    const std::string_view name = text.substr(name_start, k - name_start);
    if (name.empty()) output_finding("a tag without a name", text.substr(i));
    // Attributes: name="value" or name='value'.
    for (;;) {
      while (k < text.size() && std::isspace(static_cast<unsigned char>(text[k]))) ++k;
      if (k >= text.size()) output_finding("an unclosed tag", text.substr(i));
      if (text[k] == '>' || text.substr(k, 2) == "/>") break;
      if (closing) output_finding("attributes on a closing tag", text.substr(i));
      while (k < text.size() && text[k] != '=' && !std::isspace(static_cast<unsigned char>(text[k])) && text[k] != '>') ++k;
      if (k >= text.size() || text[k] != '=') output_finding("an attribute without a value", text.substr(i));
      ++k;
      if (k >= text.size() || (text[k] != '"' && text[k] != '\'')) output_finding("an unquoted attribute", text.substr(i));
      const char quote = text[k++];
      while (k < text.size() && text[k] != quote) {
        if (text[k] == '<') output_finding("a '<' in an attribute", text.substr(i));
        k = text[k] == '&' ? entity(k) : k + 1;
      }
      if (k >= text.size()) output_finding("an unclosed attribute value", text.substr(i));
      ++k;
    }
    const bool empty = text[k] == '/';
    i = k + (empty ? 2 : 1);
    if (closing) {
      if (open.empty() || open.back() != name) output_finding("a closing tag that closes nothing open", text.substr(name_start - 2));
      open.pop_back();
    } else if (!empty) {
      open.push_back(name);
    }
  }
  if (!open.empty()) output_finding("an element left open: " + std::string(open.back()), text.substr(0, 0));
}

}  // namespace shindo::fuzzing
