// A CSV table read back for checks: the header row names the columns.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace shindo::testing {

// The rows after the header as cells by column name (RFC 4180 fields:
// quotes, doubled quotes, commas and line ends inside quotes).
//   "a,b\n1,\"x,y\"\n" → {{{"a", "1"}, {"b", "x,y"}}}
std::vector<std::map<std::string, std::string>> parse_csv(const std::string& text);

}  // namespace shindo::testing
