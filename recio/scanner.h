// Input scanner: the free-format (list-directed) input statement: values
// scanned from records with their separators, repeat counts, null values and
// quoting, converted to real or character items; the record advance by unit
// kind; the end-of-file branch. The statement calls are in statement.h.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "recio/units.h"

namespace recio {

// Longest unquoted value a statement scans; a longer one is not a value.
inline constexpr std::size_t kValueCapacity = 260;

// Longest line the file-name request of an implicit connection takes.
inline constexpr std::size_t kTypedLineLimit = 260;

// One line typed at the console for the file-name request of an implicit
// connection (at most 260 characters, its line end not included); nullopt
// when standard input is exhausted or cannot be read.
std::optional<std::string> read_typed_line(UnitRecord& console);

// The text of a real item converted to single precision: `error` is 0 and
// `value` holds the number, or `error` is the number of the failure (6103
// not a number, 6102 exponent too large for double precision, 6104 outside
// the single-precision range). Texts longer than kValueCapacity are not
// numbers.
struct RealConversion {
  float value = 0.0f;
  int error = 0;
};
RealConversion convert_real(std::string_view text);

}  // namespace recio
