// The console program's acceleration file read from memory with the rules of
// its free-format input statement: one statement of four real items per
// sample, repeated until the end of the file.
#include <cstdint>
#include <string>

#include "readers/readers.h"
#include "numtext/reading.h"

namespace readers {

namespace {

// Numbers of the failures the console program reports; the messages say the
// same in words.
enum class Mode { plain, quoted, paired };

// The scan of one text. The text is read as if it ended in a line end, as the
// console program ends a last line that has none.
struct Scan {
  std::string_view text;
  bool virtual_line_end = false;
  std::size_t at = 0;

  // Statement state.
  char last_separator = ',';
  int repeat_left = 0;
  std::string value;
  Mode mode = Mode::plain;
  char quote = '\'';
  bool record_consumed = false;

  std::optional<Error> error;
  std::string_view file;

  std::size_t size() const { return text.size() + (virtual_line_end ? 1 : 0); }
  bool at_end() const { return at >= size(); }
  char peek_at(std::size_t i) const { return i < text.size() ? text[i] : '\n'; }
  // The next character; -1 at the end of the text.
  int next() { return at_end() ? -1 : static_cast<unsigned char>(peek_at(at++)); }

  std::size_t line_of(std::size_t position) const {
    std::size_t line = 1;
    for (std::size_t i = 0; i < position && i < text.size(); ++i) line += text[i] == '\n' ? 1 : 0;
    return line;
  }
  void fail(std::string message) {
    const std::size_t where = at > 0 ? at - 1 : 0;
    error = Error{std::string(file), line_of(where), std::move(message)};
  }

  // Leaves the record up to and including its LF; false at the end of the text.
  bool next_record() {
    for (;;) {
      const int c = next();
      if (c < 0) return false;
      if (c == '\n') return true;
    }
  }

  // Result of scan_value: a value (maybe null) was scanned, the file ended
  // (the statement takes its end-of-file branch), or a failure.
  enum class Outcome { value, end_of_file, failed };

  Outcome scan_value() {
    record_consumed = false;
    value.clear();
    mode = Mode::plain;
    bool count_given = false;
    for (;;) {
      int c = next();
      if (c < 0) return Outcome::end_of_file;
      bool record_end = false;
      if (c == '\r' || c == '\n') {
        --at;
        if (!next_record()) return Outcome::end_of_file;
        if (mode == Mode::quoted) {
          // A quoted value goes on after the first character of the next record.
          if (next() < 0) return Outcome::end_of_file;
          continue;
        }
        record_end = true;
        c = ' ';
      }
      if (mode == Mode::quoted) {
        if (c == quote) {
          const int after = next();
          if (after < 0) return Outcome::end_of_file;
          if (after != quote) {
            last_separator = static_cast<char>(after);
            if (after == '\n') --at;
            return Outcome::value;
          }
        }
        value += static_cast<char>(c);
        continue;
      }
      switch (c) {
        case ' ':
        case '\t':
          if ((value.empty() && !count_given) || mode == Mode::paired) continue;
          last_separator = ' ';
          record_consumed = record_end;
          return Outcome::value;
        case '(':
          if (value.empty()) {
            mode = Mode::paired;
            continue;
          }
          break;
        case ')':
          if (mode == Mode::paired) {
            last_separator = ' ';
            return Outcome::value;
          }
          break;
        case '\'':
        case '"':
          if (value.empty()) {
            mode = Mode::quoted;
            quote = static_cast<char>(c);
            continue;
          }
          break;
        case '*': {
          if (count_given) {
            fail("a value with two repeat counts");
            return Outcome::failed;
          }
          std::int64_t count = 0;
          bool digits = !value.empty();
          for (char d : value) {
            if (d < '0' || d > '9') {
              digits = false;
              break;
            }
            count = count * 10 + (d - '0');
            if (count > INT32_MAX) {
              fail("repeat count too large");
              return Outcome::failed;
            }
          }
          if (!digits) {
            fail("a repeat count that is not a whole number: \"" + value + "*\"");
            return Outcome::failed;
          }
          if (count == 0) {
            fail("a repeat count of zero");
            return Outcome::failed;
          }
          repeat_left = static_cast<int>(count) - 1;
          value.clear();
          count_given = true;
          continue;
        }
        case ',':
          if (value.empty() && last_separator == ' ' && !count_given) {
            // The comma belongs to the blanks before it.
            last_separator = ',';
            continue;
          }
          if (mode != Mode::paired) {
            last_separator = ',';
            return Outcome::value;
          }
          break;  // inside a pair the comma is part of the value
        case '/':
          last_separator = '/';
          return Outcome::value;
        default: break;
      }
      if (value.size() == numtext::kLongestNumber) {
        fail("a value longer than " + std::to_string(numtext::kLongestNumber) + " characters");
        return Outcome::failed;
      }
      value += static_cast<char>(c);
    }
  }

  // Stores the scanned value (if any) into `item`.
  bool store(float& item) {
    if (value.empty()) return true;
    if (mode != Mode::plain) {
      fail("a quoted value where a number is wanted");
      return false;
    }
    const numtext::RealReading conversion = numtext::read_real(value);
    if (conversion.error != numtext::ReadError::none) {
      fail(std::string(numtext::read_error_text(conversion.error)) + ": \"" + value + "\"");
      return false;
    }
    item = conversion.value;
    return true;
  }

  // One item of the statement.
  Outcome read_item(float& item) {
    // A pending repetition is still delivered after a "/" that ended its value.
    if (last_separator == '/' && repeat_left == 0) return Outcome::value;
    if (repeat_left > 0) {
      --repeat_left;
    } else {
      const Outcome outcome = scan_value();
      if (outcome != Outcome::value) return outcome;
    }
    return store(item) ? Outcome::value : Outcome::failed;
  }

  // One statement: four items into `items` (which keep the values a null
  // value leaves them), then the record is left.
  Outcome read_sample(float (&items)[4]) {
    last_separator = ',';
    repeat_left = 0;
    record_consumed = false;
    for (float& item : items) {
      const Outcome outcome = read_item(item);
      if (outcome != Outcome::value) return outcome;
    }
    if (!record_consumed && !next_record()) return Outcome::end_of_file;
    repeat_left = 0;
    return Outcome::value;
  }
};

// The number of values on each line, for the three-column check: tokens
// between blanks, tabs and commas, up to a "/".
bool every_line_holds_three_values(std::string_view text) {
  bool any = false;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(from, end - from);
    from = end + 1;
    if (const std::size_t slash = line.find('/'); slash != std::string_view::npos) line = line.substr(0, slash);
    int tokens = 0;
    bool in_token = false;
    for (char c : line) {
      const bool separator = c == ' ' || c == '\t' || c == ',' || c == '\r';
      if (!separator && !in_token) ++tokens;
      in_token = !separator;
    }
    if (tokens == 0) continue;
    if (tokens != 3) return false;
    any = true;
  }
  return any;
}

}  // namespace

Result<Record> read_console_text(std::string_view file, std::string_view text) {
  if (every_line_holds_three_values(text)) {
    return Error{std::string(file), 1,
                 "each line holds three values: the console input needs four per sample "
                 "(time and three components)"};
  }
  Scan scan;
  scan.text = text;
  scan.virtual_line_end = !text.empty() && text.back() != '\n';
  scan.file = file;

  Record record;
  record.name = std::string(file);
  record.format = Format::console_text;
  float first_time = 0.0f;
  float second_time = 0.0f;
  for (std::size_t sample = 0;; ++sample) {
    // A fresh sample's items hold 0.0; the console program keeps them in
    // zeroed storage.
    float items[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const Scan::Outcome outcome = scan.read_sample(items);
    // Values stored before the end of the file stay in the storage of the
    // first two times, which the interval is taken from.
    if (sample == 0) first_time = items[0];
    if (sample == 1) second_time = items[0];
    if (outcome == Scan::Outcome::failed) return *scan.error;
    if (outcome == Scan::Outcome::end_of_file) break;
    record.acc1.push_back(items[1]);
    record.acc2.push_back(items[2]);
    record.acc3.push_back(items[3]);
  }
  if (record.acc1.empty()) return Error{std::string(file), 0, "no complete sample (time and three components)"};
  record.dt = static_cast<float>(static_cast<double>(second_time) - static_cast<double>(first_time));
  for (Component& component : record.metadata.components) component.file = std::string(file);
  record.metadata.components[0].direction = "1";
  record.metadata.components[1].direction = "2";
  record.metadata.components[2].direction = "3";
  return record;
}

}  // namespace readers
