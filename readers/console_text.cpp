// The console program's acceleration file read from memory with the rules of
// its free-format input statement: one statement of four real items per
// sample, repeated until the end of the file.
#include <algorithm>
#include <string>
#include <variant>

#include "numtext/list_scanner.h"
#include "numtext/reading.h"
#include "readers/readers.h"

namespace readers {

namespace {

using numtext::ItemKind;

// Where a scan of a text stands, for the line of a failure.
std::size_t line_of(std::string_view text, std::size_t taken) {
  const std::size_t where = taken > 0 ? taken - 1 : 0;
  std::size_t line = 1;
  for (std::size_t i = 0; i < where && i < text.size(); ++i) line += text[i] == '\n' ? 1 : 0;
  return line;
}

// What the scanner cannot scan, in words.
std::string scan_failure(const numtext::ListScanner& values) {
  std::string message(numtext::scan_error_text(values.error()));
  if (values.error() == numtext::ScanError::repeat_not_integer) {
    message += ": \"" + std::string(values.text()) + "*\"";
  }
  return message;
}

// The number a scanned value holds (as float and in double), or why it holds none.
std::variant<numtext::RealReading, std::string> real_reading(const numtext::ListScanner& values) {
  if (values.form() != numtext::ValueForm::plain) return std::string("a quoted value where a number is wanted");
  const numtext::RealReading conversion = numtext::read_real(values.text());
  if (conversion.error != numtext::ReadError::none) {
    return std::string(numtext::read_error_text(conversion.error)) + ": \"" + std::string(values.text()) + "\"";
  }
  return conversion;
}

std::variant<float, std::string> real_value(const numtext::ListScanner& values) {
  std::variant<numtext::RealReading, std::string> reading = real_reading(values);
  if (std::string* message = std::get_if<std::string>(&reading)) return std::move(*message);
  return std::get<numtext::RealReading>(reading).value;
}

// The line of successive places in a text, counted as the places move on.
struct LineCounter {
  std::size_t at = 0;
  std::size_t line = 1;

  std::size_t line_of(std::string_view text, std::size_t taken) {
    const std::size_t where = std::min(taken > 0 ? taken - 1 : 0, text.size());
    for (; at < where; ++at) line += text[at] == '\n' ? 1 : 0;
    return line;
  }
};

// The console program's statements over one text: four real items per
// statement, each statement leaving the record its last value ended in.
struct SampleScan {
  SampleScan(std::string_view file_name, std::string_view file_text)
      : file(file_name), text(file_text), source(file_text) {}

  std::string_view file;
  std::string_view text;
  numtext::TextSource source;
  numtext::ListScanner values;
  std::optional<Error> error;
  LineCounter lines;

  // How a statement ended: all four items read, the end of the file (the
  // statement takes its end-of-file branch), or a failure.
  enum class Outcome { sample, end_of_file, failed };

  Outcome fail(std::string message) {
    error = Error{std::string(file), line_of(text, source.taken()), std::move(message)};
    return Outcome::failed;
  }

  // One statement: four items into `items` (which keep the values a null
  // value leaves them), then the record is left. `time` follows the first
  // item in double and records its line.
  Outcome read_sample(float (&items)[4], SampleTime& time) {
    values.begin();
    for (float& item : items) {
      switch (values.next_item(source)) {
        case ItemKind::value: {
          const std::variant<numtext::RealReading, std::string> value = real_reading(values);
          if (const std::string* message = std::get_if<std::string>(&value)) return fail(*message);
          const numtext::RealReading& reading = std::get<numtext::RealReading>(value);
          item = reading.value;
          if (&item == &items[0]) {
            time.wide = reading.wide;
            time.line = lines.line_of(text, source.taken());
          }
          break;
        }
        case ItemKind::input_ended: return Outcome::end_of_file;
        case ItemKind::failed: return fail(scan_failure(values));
        case ItemKind::null:
        case ItemKind::list_ended: break;
      }
    }
    return values.end(source) ? Outcome::sample : Outcome::end_of_file;
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
  SampleScan scan{file, text};

  Record record;
  record.name = std::string(file);
  record.format = Format::console_text;
  float first_time = 0.0f;
  float second_time = 0.0f;
  for (std::size_t sample = 0;; ++sample) {
    // A fresh sample's items hold 0.0; the console program keeps them in
    // zeroed storage.
    float items[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    SampleTime time;
    const SampleScan::Outcome outcome = scan.read_sample(items, time);
    // Values stored before the end of the file stay in the storage of the
    // first two times, which the interval is taken from.
    if (sample == 0) first_time = items[0];
    if (sample == 1) second_time = items[0];
    if (outcome == SampleScan::Outcome::failed) return *scan.error;
    if (outcome == SampleScan::Outcome::end_of_file) break;
    record.acc1.push_back(items[1]);
    record.acc2.push_back(items[2]);
    record.acc3.push_back(items[3]);
    time.value = items[0];
    if (time.line == 0) time.line = scan.lines.line_of(text, scan.source.taken());  // a null time: 0
    record.times.push_back(time);
  }
  if (record.acc1.empty()) return Error{std::string(file), 0, "no complete sample (time and three components)"};
  record.dt = static_cast<float>(static_cast<double>(second_time) - static_cast<double>(first_time));
  for (Component& component : record.metadata.components) component.file = std::string(file);
  record.metadata.components[0].direction = "1";
  record.metadata.components[1].direction = "2";
  record.metadata.components[2].direction = "3";
  return record;
}

Result<LineValues> read_console_line(std::string_view file, std::size_t line_number, std::string_view line,
                                     std::size_t limit) {
  const auto failure = [&](std::string message) { return Error{std::string(file), line_number, std::move(message)}; };
  numtext::TextSource source(line);
  numtext::ListScanner values;
  values.begin();
  LineValues read;
  for (;;) {
    const ItemKind item = values.next_item(source);
    if (item == ItemKind::failed) return failure(scan_failure(values));
    if (item == ItemKind::input_ended && values.form() != numtext::ValueForm::plain) {
      return failure("a quoted value where a number is wanted");  // its quote or pair never closed
    }
    if (item != ItemKind::value && item != ItemKind::null) return read;
    if (read.values.size() == limit) {
      read.more = true;
      return read;
    }
    if (item == ItemKind::null) {
      read.values.emplace_back();
      continue;
    }
    const std::variant<float, std::string> value = real_value(values);
    if (const std::string* message = std::get_if<std::string>(&value)) return failure(*message);
    read.values.emplace_back(std::get<float>(value));
  }
}

}  // namespace readers
