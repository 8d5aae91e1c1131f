// The run-time error report that ends a failing run, read back from standard
// error: its letter and number, the statement, the file name of a unit
// statement and the message, each checked against the forms the program
// defines for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace shindo::fuzzing {

struct Report {
  char letter = 'F';      // 'F' for input/output failures, 'M' for mathematical ones
  int number = 0;         // 6000 plus the code
  std::string statement;  // "OPEN", "READ", "WRITE", "CLOSE" or "MATH"
  std::string file_name;  // the unit's file, for the unit statements
  std::string message;
};

// `text` read as exactly one report; without one, `problem` says what is wrong.
struct ReportCheck {
  std::optional<Report> report;
  std::string problem;
};
ReportCheck check_report(std::string_view text);

}  // namespace shindo::fuzzing
