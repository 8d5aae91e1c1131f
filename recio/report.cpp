#include "recio/report.h"

#include <cstdlib>

#include "recio/host.h"

namespace recio {

namespace {

void write_and_exit(std::string_view report) {
  write_all(2, report.data(), report.size());
  host().exit(1);
}

constinit ReportEnding report_ending = write_and_exit;

[[noreturn]] void end_with(std::string_view report) {
  report_ending(report);
  std::abort();  // an ending does not return
}

}  // namespace

int raise_error(RunError error, StatementKind kind, std::string_view file_name, bool end_branch) {
  if (end_branch && (error == RunError::EndOfFile || error == RunError::ReadAfterEnd)) return -1;
  end_with(run_error_report(error, kind, file_name));
}

void raise_math_error(MathError error, std::string_view function) {
  end_with(math_error_report(error, function));
}

void set_report_ending(ReportEnding ending) { report_ending = ending; }

}  // namespace recio
