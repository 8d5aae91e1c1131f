#include "recio/formatted.h"

#include <cstring>
#include <string>

#include "numtext/real_digits.h"
#include "recio/report.h"

namespace recio {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The format text with blanks removed and letters in upper case; quoted
// strings are kept as they stand.
std::string normalise(std::string_view format) {
  std::string text;
  char quote = 0;
  for (char c : format) {
    if (quote != 0) {
      text += c;
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
      text += c;
    } else if (c != ' ' && c != '\t') {
      text += upper(c);
    }
  }
  return text;
}

struct FormatReader {
  const std::string& text;
  std::size_t at = 0;

  bool done() const { return at >= text.size(); }
  char peek() const { return done() ? '\0' : text[at]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at;
    return true;
  }
  // A decimal number, or -1 when none stands here.
  int number() {
    if (!is_digit(peek())) return -1;
    long value = 0;
    while (is_digit(peek())) {
      value = value * 10 + (text[at++] - '0');
      if (value > 32767) value = 32767;
    }
    return static_cast<int>(value);
  }
};

// Reads "w.d" and an optional "Ee" into `node`; false when the text does not
// hold them.
bool read_real_edit(FormatReader& reader, FormatNode& node) {
  node.w = reader.number();
  if (node.w <= 0 || !reader.take('.')) return false;
  node.d = reader.number();
  if (node.d < 0) return false;
  if (reader.take('E')) {
    node.e = reader.number();
    if (node.e <= 0) return false;
  }
  return true;
}

void skip_optional_width(FormatReader& reader) {
  reader.number();
  if (reader.take('.')) reader.number();
  if (reader.take('E')) reader.number();
}

struct CompiledFormat {
  std::string text;
  std::vector<FormatNode> nodes;
  std::size_t reversion = 0;  // where control starts again when the format is used up
};

CompiledFormat& compiled(std::string_view format) {
  static CompiledFormat cache;
  if (cache.nodes.empty() || cache.text != format) {
    cache.text = std::string(format);
    cache.nodes = compile_format(format);
    cache.reversion = 0;
    int depth = 0;
    for (std::size_t i = 0; i < cache.nodes.size(); ++i) {
      if (cache.nodes[i].kind == FormatNodeKind::GroupOpen && depth++ == 0) cache.reversion = i;
      if (cache.nodes[i].kind == FormatNodeKind::GroupClose) --depth;
    }
  }
  return cache;
}

struct GroupLevel {
  std::size_t open;
  int remaining;
};

// Format control over the compiled nodes.
struct FormatControl {
  const CompiledFormat& format;
  RecordState& state;
  std::size_t at = 0;
  int repeats_left = 0;
  std::size_t current = 0;
  std::vector<GroupLevel> groups;
  bool used_since_start = false;

  [[noreturn]] void fail(RunError error) {
    raise_error(error, StatementKind::Write, state.unit->name);
    __builtin_unreachable();
  }

  // The descriptor for the next item, or (without an item) nothing once
  // control stops; ends records at the end of the format while items wait.
  const FormatNode* next(bool have_item) {
    if (repeats_left > 0) {
      if (!have_item) return nullptr;
      --repeats_left;
      return &format.nodes[current];
    }
    for (;;) {
      const FormatNode& node = format.nodes[at];
      switch (node.kind) {
        case FormatNodeKind::RealEdit:
        case FormatNodeKind::OtherEdit:
          if (!have_item) return nullptr;
          current = at++;
          repeats_left = node.repeat - 1;
          used_since_start = true;
          return &node;
        case FormatNodeKind::GroupOpen:
          groups.push_back({at, node.repeat - 1});
          ++at;
          break;
        case FormatNodeKind::GroupClose:
          if (groups.back().remaining > 0) {
            --groups.back().remaining;
            at = groups.back().open + 1;
          } else {
            groups.pop_back();
            ++at;
          }
          break;
        case FormatNodeKind::End:
          if (!have_item) return nullptr;
          // A format without a data edit descriptor can take no item.
          if (!used_since_start) fail(RunError::FormatSyntax);
          end_record(state);
          groups.clear();
          at = format.reversion;
          used_since_start = false;
          break;
        case FormatNodeKind::Unsupported:
          fail(RunError::FormatUnsupported);
        case FormatNodeKind::SyntaxError:
          fail(RunError::FormatSyntax);
      }
    }
  }
};

void place_field(RecordState& state, const FormatNode& node, float value) {
  numtext::RealField field;
  field.form = node.letter == 'D' ? numtext::RealForm::D : numtext::RealForm::E;
  field.w = node.w;
  field.d = node.d;
  field.e = node.e;
  numtext::RealText text = numtext::format_real(static_cast<double>(value), field);
  if (text.overflow || text.length > node.w) {
    std::string stars(static_cast<std::size_t>(node.w), '*');
    emit_text(state, node.w, stars.data());
    return;
  }
  state.pending_blanks += node.w - text.length;
  emit_wide_text(state, text.length, text.text);
}

}  // namespace

namespace {

FormatNode* add_node(std::vector<FormatNode>& nodes, FormatNodeKind kind, int repeat = 1) {
  FormatNode node{kind};
  node.repeat = repeat;
  nodes.push_back(node);
  return &nodes.back();
}

// Adds the node of the edit or control descriptor `c`, its letter already
// taken, with its repeat count; false when the format's syntax ends there.
bool add_descriptor(FormatReader& reader, char c, int repeat, std::vector<FormatNode>& nodes) {
  switch (c) {
    case 'E':
    case 'D': {
      if (c == 'E' && (reader.take('N') || reader.take('S'))) {
        skip_optional_width(reader);
        add_node(nodes, FormatNodeKind::Unsupported);
        return true;
      }
      FormatNode* node = add_node(nodes, FormatNodeKind::RealEdit, repeat);
      node->letter = c;
      if (read_real_edit(reader, *node)) return true;
      node->kind = FormatNodeKind::SyntaxError;
      return false;
    }
    case 'F':
    case 'G':
      skip_optional_width(reader);
      add_node(nodes, FormatNodeKind::Unsupported);
      return true;
    case 'B':
      if (reader.take('N') || reader.take('Z')) {
        add_node(nodes, FormatNodeKind::Unsupported);
        return true;
      }
      [[fallthrough]];
    case 'I':
    case 'O':
    case 'Z':
    case 'L':
    case 'A':
      skip_optional_width(reader);
      add_node(nodes, FormatNodeKind::OtherEdit, repeat);
      return true;
    case 'T':
      if (!reader.take('L')) reader.take('R');
      reader.number();
      add_node(nodes, FormatNodeKind::Unsupported);
      return true;
    case 'S':
      if (!reader.take('P')) reader.take('S');
      add_node(nodes, FormatNodeKind::Unsupported);
      return true;
    case 'H':
      reader.at += static_cast<std::size_t>(repeat);
      add_node(nodes, FormatNodeKind::Unsupported);
      return true;
    case '\'':
    case '"':
      while (!reader.done()) {
        if (reader.text[reader.at++] == c && !reader.take(c)) break;
      }
      add_node(nodes, FormatNodeKind::Unsupported);
      return true;
    case 'X':
    case 'P':
    case '/':
    case ':':
    case '$':
    case '\\':
      add_node(nodes, FormatNodeKind::Unsupported);
      return true;
    default:
      add_node(nodes, FormatNodeKind::SyntaxError);
      return false;
  }
}

}  // namespace

std::vector<FormatNode> compile_format(std::string_view format) {
  std::string text = normalise(format);
  FormatReader reader{text};
  std::vector<FormatNode> nodes;
  if (!reader.take('(')) {
    add_node(nodes, FormatNodeKind::SyntaxError);
    return nodes;
  }
  int depth = 0;
  for (;;) {
    if (reader.done()) {
      add_node(nodes, FormatNodeKind::SyntaxError);
      return nodes;
    }
    if (reader.take(',')) continue;
    int count = reader.number();
    int repeat = count < 0 ? 1 : count;
    char c = reader.peek();
    if (count == 0 && c != 'P' && c != 'X') {
      add_node(nodes, FormatNodeKind::SyntaxError);
      return nodes;
    }
    ++reader.at;
    if (c == '(') {
      add_node(nodes, FormatNodeKind::GroupOpen, repeat);
      ++depth;
    } else if (c == ')') {
      if (depth == 0) {
        add_node(nodes, FormatNodeKind::End);
        return nodes;
      }
      add_node(nodes, FormatNodeKind::GroupClose);
      --depth;
    } else if (!add_descriptor(reader, c, repeat, nodes)) {
      return nodes;
    }
  }
}

void lay_out_formatted(RecordState& state, const char* format, std::int32_t format_length,
                       const std::vector<OutputItem>& items) {
  std::string_view text(format, format_length < 0 ? std::strlen(format)
                                                  : static_cast<std::size_t>(format_length));
  const CompiledFormat& compiled_format = compiled(text);
  FormatControl control{compiled_format, state, 0, 0, 0, {}, false};
  state.pending_blanks = 0;
  for (const OutputItem& item : items) {
    const FormatNode* node = control.next(true);
    if (node->kind != FormatNodeKind::RealEdit || item.kind != ItemKind::Real) {
      control.fail(RunError::FormatDescriptor);
    }
    place_field(state, *node, item.real);
  }
  control.next(false);
}

}  // namespace recio
