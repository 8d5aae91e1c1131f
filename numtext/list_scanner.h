// The free-format (list-directed) value scanner: the items of one input
// statement taken from a byte source with the console program's rules —
// blanks, tabs and commas between values, `r*value` and `r*` repeat counts,
// null values, quoted and parenthesised values, a `/` that ends the list, and
// values that go on over following records. Where the bytes come from, and
// what a record end is, belong to the source; the scanner holds no I/O and
// says what is wrong as a ScanError.
#pragma once

#include <concepts>
#include <cstddef>
#include <span>
#include <string_view>

#include "numtext/reading.h"

namespace numtext {

// Why the items of a list cannot be scanned further.
enum class ScanError {
  none,
  repeat_not_integer,  // "x*4", "*4": the count is not a plain decimal integer
  repeat_too_large,    // "99999999999*4": beyond 2147483647
  repeat_zero,         // "0*4"
  repeat_twice,        // "2*3*4"
  value_too_long,      // an unquoted value longer than kLongestNumber characters
};

// A sentence part for a person: ScanError::repeat_zero → "a repeat count of
// zero"; ScanError::none → "".
[[nodiscard]] std::string_view scan_error_text(ScanError error) noexcept;

// What next() of a byte source gives when it has no byte: the input ended,
// or the source failed and keeps the reason itself.
inline constexpr int kSourceEnded = -1;

// A byte source for the scanner:
//   next()        the next byte (0..255), or kSourceEnded;
//   put_back()    the byte next() gave last is given again by the next call;
//   next_record() leaves the current record (a record of a file up to and
//                 including its LF); false when the source ended.
// The scanner calls put_back() only right after a next() that gave a byte.
template <class Source>
concept ByteSource = requires(Source& source) {
  { source.next() } -> std::same_as<int>;
  source.put_back();
  { source.next_record() } -> std::same_as<bool>;
};

// The forms a value is written in.
enum class ValueForm { plain, quoted, paired };

// What the next item of a statement is.
enum class ItemKind {
  value,        // a value: text(), form(), repeated()
  null,         // a null value (",,", "r*", "''", "()"): the item keeps what it holds
  list_ended,   // a "/" ended the values: this item and the statement's later ones keep theirs
  input_ended,  // the source ended (or failed) before the item was complete
  failed,       // the text cannot be scanned: error()
};

// The scanner of one unit or text, carried from statement to statement.
// Constant-initialisable, so that a program-lifetime scanner needs no guard.
//   "1.5 2*7,,'ab' / 9" gives, item by item: value "1.5", value "7",
//   value "7" (repeated), null, value "ab" (quoted), list_ended, list_ended.
class ListScanner {
 public:
  // Starts a statement: no pending repetition, no "/" seen.
  void begin() noexcept {
    last_separator_ = ',';
    repeat_left_ = 0;
    record_consumed_ = false;
  }

  // The next item of the statement: the value still owed to a repeat count,
  // else the next value scanned. The characters of a quoted value are also
  // copied into `quoted_into` (up to its size) as they are scanned, so that
  // a character item longer than the kept text receives all of them.
  template <ByteSource Source>
  [[nodiscard]] ItemKind next_item(Source& source, std::span<char> quoted_into = {});

  // Ends the statement: leaves the record in which its last value ended,
  // unless the blank that ended that value was already its record end; a
  // repetition still owed is dropped. False when the source ended.
  template <ByteSource Source>
  [[nodiscard]] bool end(Source& source);

  // The value's text as kept: its first kLongestNumber characters.
  [[nodiscard]] std::string_view text() const noexcept {
    return {text_, length_ < kLongestNumber ? length_ : kLongestNumber};
  }
  // The value's characters, with those of a quoted value past the kept text.
  [[nodiscard]] std::size_t length() const noexcept { return length_; }
  // The value's form; after input_ended, that of the value the input ended
  // in (quoted or paired: its quote or pair was never closed).
  [[nodiscard]] ValueForm form() const noexcept { return form_; }
  // The last value or null was the repetition of one scanned before it.
  [[nodiscard]] bool repeated() const noexcept { return repeated_; }
  [[nodiscard]] ScanError error() const noexcept { return error_; }

 private:
  template <ByteSource Source>
  ItemKind scan_value(Source& source, std::span<char> quoted_into);
  template <ByteSource Source>
  bool take_plain_run(Source& source);
  ScanError start_repetition() noexcept;
  void keep_quoted(char c, std::span<char> quoted_into) noexcept {
    if (length_ < quoted_into.size()) quoted_into[length_] = c;
    if (length_ < kLongestNumber) text_[length_] = c;
    ++length_;
  }
  [[nodiscard]] ItemKind value_or_null() const noexcept {
    return length_ > 0 ? ItemKind::value : ItemKind::null;
  }
  static constexpr bool ends_plain_value(int c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '/' || c == '*';
  }

  char last_separator_ = ',';
  int repeat_left_ = 0;
  bool record_consumed_ = false;  // the value's closing blank was the record end
  bool repeated_ = false;
  char text_[kLongestNumber] = {};
  std::size_t length_ = 0;
  ValueForm form_ = ValueForm::plain;
  char quote_ = '\'';
  ScanError error_ = ScanError::none;
};

// A text in memory as a byte source: records end at LF, and a text whose
// last record has no LF reads as if it had one.
//   "1 2\n3" gives '1', ' ', '2', '\n', '3', '\n', then kSourceEnded.
class TextSource {
 public:
  explicit TextSource(std::string_view text) noexcept
      : text_(text), size_(text.size() + (!text.empty() && text.back() != '\n' ? 1 : 0)) {}

  [[nodiscard]] int next() noexcept {
    if (at_ >= size_) return kSourceEnded;
    const std::size_t i = at_++;
    return i < text_.size() ? static_cast<unsigned char>(text_[i]) : '\n';
  }
  void put_back() noexcept { --at_; }
  [[nodiscard]] bool next_record() noexcept {
    for (;;) {
      const int c = next();
      if (c == kSourceEnded) return false;
      if (c == '\n') return true;
    }
  }
  // Bytes taken so far.
  [[nodiscard]] std::size_t taken() const noexcept { return at_; }

 private:
  std::string_view text_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// ---------------------------------------------------------------------------
// The scanner's steps over any source

template <ByteSource Source>
ItemKind ListScanner::next_item(Source& source, std::span<char> quoted_into) {
  // A pending repetition is still delivered after a "/" that ended its value.
  if (last_separator_ == '/' && repeat_left_ == 0) return ItemKind::list_ended;
  repeated_ = repeat_left_ > 0;
  if (repeated_) {
    --repeat_left_;
    return value_or_null();
  }
  return scan_value(source, quoted_into);
}

template <ByteSource Source>
bool ListScanner::end(Source& source) {
  const bool going = record_consumed_ || source.next_record();
  repeat_left_ = 0;
  return going;
}

// Inside an unquoted value, the characters up to the next one that can end
// it, without the scan's other cases; the one that ends the run is put back.
template <ByteSource Source>
bool ListScanner::take_plain_run(Source& source) {
  while (length_ < kLongestNumber) {
    const int c = source.next();
    if (c == kSourceEnded) return false;
    if (ends_plain_value(c)) {
      source.put_back();
      return true;
    }
    text_[length_++] = static_cast<char>(c);
  }
  return true;
}

template <ByteSource Source>
ItemKind ListScanner::scan_value(Source& source, std::span<char> quoted_into) {
  record_consumed_ = false;
  length_ = 0;
  form_ = ValueForm::plain;
  // A count was given for this value (also a count of 1): from then on a
  // separator ends a null value instead of being skipped.
  bool count_given = false;
  for (;;) {
    int c = source.next();
    if (c == kSourceEnded) return ItemKind::input_ended;
    bool record_end = false;
    if (c == '\r' || c == '\n') {
      source.put_back();
      if (!source.next_record()) return ItemKind::input_ended;
      if (form_ == ValueForm::quoted) {
        // A quoted value goes on after the first character of the next record.
        if (source.next() == kSourceEnded) return ItemKind::input_ended;
        continue;
      }
      record_end = true;
      c = ' ';
    }
    if (form_ == ValueForm::quoted) {
      if (c == quote_) {
        const int after = source.next();
        if (after == kSourceEnded) return ItemKind::input_ended;
        if (after != quote_) {
          last_separator_ = static_cast<char>(after);
          if (after == '\n') source.put_back();
          return value_or_null();
        }
      }
      keep_quoted(static_cast<char>(c), quoted_into);
      continue;
    }
    switch (c) {
      case ' ':
      case '\t':
        if ((length_ == 0 && !count_given) || form_ == ValueForm::paired) continue;
        last_separator_ = ' ';
        record_consumed_ = record_end;
        return value_or_null();
      case '(':
        if (length_ == 0) {
          form_ = ValueForm::paired;
          continue;
        }
        break;
      case ')':
        if (form_ == ValueForm::paired) {
          last_separator_ = ' ';
          return value_or_null();
        }
        break;
      case '\'':
      case '"':
        if (length_ == 0) {
          form_ = ValueForm::quoted;
          quote_ = static_cast<char>(c);
          continue;
        }
        break;
      case '*':
        if (count_given) {
          error_ = ScanError::repeat_twice;
          return ItemKind::failed;
        }
        if ((error_ = start_repetition()) != ScanError::none) return ItemKind::failed;
        count_given = true;
        continue;
      case ',':
        if (length_ == 0 && last_separator_ == ' ' && !count_given) {
          // The comma belongs to the blanks before it.
          last_separator_ = ',';
          continue;
        }
        if (form_ != ValueForm::paired) {
          last_separator_ = ',';
          return value_or_null();
        }
        break;  // inside a pair the comma is part of the value
      case '/':
        last_separator_ = '/';
        // A "/" with nothing before it is no value: the list just ends.
        return length_ == 0 && !count_given ? ItemKind::list_ended : value_or_null();
      default: break;
    }
    if (length_ == kLongestNumber) {
      error_ = ScanError::value_too_long;
      return ItemKind::failed;
    }
    text_[length_++] = static_cast<char>(c);
    if (form_ == ValueForm::plain && !take_plain_run(source)) return ItemKind::input_ended;
  }
}

}  // namespace numtext
