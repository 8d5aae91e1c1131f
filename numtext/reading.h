// Reading a number the way the console program reads a real item. Every
// layer that turns text into samples (the console program's record input,
// the readers, the live stream) reads through this one function, so that a
// text gives the same float bits wherever it is read.
#pragma once

#include <cstddef>
#include <string_view>

namespace numtext {

// Longest text read as a number; a longer one is not a number.
inline constexpr std::size_t kLongestNumber = 260;

// Why a text is not a real number of single precision.
enum class ReadError {
  none,
  not_a_number,        // not the form of a number
  exponent_too_large,  // beyond the range of double precision
  out_of_range,        // beyond the range of single precision (about 3.4E38)
};

// A sentence part for a person: ReadError::out_of_range →
// "value outside the single-precision range"; ReadError::none → "".
[[nodiscard]] std::string_view read_error_text(ReadError error) noexcept;

// The value of a text, or why it has none.
struct RealReading {
  float value = 0.0f;
  ReadError error = ReadError::none;
  double wide = 0.0;  // the correctly rounded double that `value` was rounded from
};

// Reads `text` (no blanks around it): an optional sign, digits with at most
// one point, then optionally an exponent written E, D, e or d followed by an
// optionally signed integer, or a sign and an integer alone. The value is
// the correctly rounded double, then rounded to float.
//   "12"      → 12.0f          "-.25"  → -0.25f
//   "1.5E-3"  → 0.0015f        "1.5-3" → 0.0015f       "1.5D-3" → 0.0015f
//   "1e400"   → exponent_too_large      "1e39" → out_of_range
//   "1e-400"  → 0.0f                    "12a"  → not_a_number
[[nodiscard]] RealReading read_real(std::string_view text) noexcept;

}  // namespace numtext
