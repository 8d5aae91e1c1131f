#include "numtext/list_scanner.h"

#include <cstdint>

namespace numtext {

static_assert(kLongestNumber == 260, "the message of ScanError::value_too_long names the limit");

std::string_view scan_error_text(ScanError error) noexcept {
  switch (error) {
    case ScanError::none: return "";
    case ScanError::repeat_not_integer: return "a repeat count that is not a whole number";
    case ScanError::repeat_too_large: return "repeat count too large";
    case ScanError::repeat_zero: return "a repeat count of zero";
    case ScanError::repeat_twice: return "a value with two repeat counts";
    case ScanError::value_too_long: return "a value longer than 260 characters";
  }
  return "";
}

// The text before a "*" is the repeat count: a plain decimal integer above 0.
ScanError ListScanner::start_repetition() noexcept {
  if (length_ == 0) return ScanError::repeat_not_integer;
  std::int64_t count = 0;
  for (std::size_t i = 0; i < length_; ++i) {
    const char d = text_[i];
    if (d < '0' || d > '9') return ScanError::repeat_not_integer;
    count = count * 10 + (d - '0');
    if (count > INT32_MAX) return ScanError::repeat_too_large;
  }
  if (count == 0) return ScanError::repeat_zero;
  repeat_left_ = static_cast<int>(count) - 1;
  length_ = 0;
  return ScanError::none;
}

}  // namespace numtext
