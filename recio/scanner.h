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

// Longest line the file-name request of an implicit connection takes.
inline constexpr std::size_t kTypedLineLimit = 260;

// One line typed at the console for the file-name request of an implicit
// connection (at most 260 characters, its line end not included); nullopt
// when standard input is exhausted or cannot be read.
std::optional<std::string> read_typed_line(UnitRecord& console);

}  // namespace recio
