#include "tests/support/csv_table.h"

namespace shindo::testing {

std::vector<std::map<std::string, std::string>> parse_csv(const std::string& text) {
  std::vector<std::vector<std::string>> lines(1);
  std::string cell;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      lines.back().push_back(cell);
      cell.clear();
    } else if (c == '\n') {
      lines.back().push_back(cell);
      cell.clear();
      lines.emplace_back();
    } else {
      cell += c;
    }
  }
  lines.pop_back();
  std::vector<std::map<std::string, std::string>> rows;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    std::map<std::string, std::string> row;
    for (std::size_t c = 0; c < lines[0].size() && c < lines[r].size(); ++c) row[lines[0][c]] = lines[r][c];
    rows.push_back(row);
  }
  return rows;
}

}  // namespace shindo::testing
