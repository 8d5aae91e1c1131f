#include "recio/errors.h"

namespace recio {

namespace {

std::string_view statement_name(StatementKind kind) {
  switch (kind) {
    case StatementKind::Open: return "OPEN";
    case StatementKind::Close: return "CLOSE";
    case StatementKind::Read: return "READ";
    case StatementKind::Write: return "WRITE";
  }
  return {};
}

// "\r\nrun-time error " with the letter and number of the error.
std::string report_start(char letter, int number) {
  std::string text = "\r\nrun-time error ";
  text += letter;
  text += std::to_string(number);
  return text;
}

}  // namespace

std::string math_message(MathError error, std::string_view function) {
  std::string message;
  if (!function.empty()) {
    message = function;
    message += ": ";
  }
  message += error_message(error);
  return message;
}

std::string run_error_report(RunError error, StatementKind kind, std::string_view file_name) {
  std::string text = report_start('F', error_number(error));
  text += ": ";
  text += statement_name(kind);
  text += '(';
  text += file_name;
  text += ")\r\n- ";
  text += error_message(error);
  text += "\r\n";
  return text;
}

std::string math_error_report(MathError error, std::string_view function) {
  std::string text = report_start('M', error_number(error));
  text += ": MATH\r\n- ";
  text += math_message(error, function);
  text += "\r\n";
  return text;
}

}  // namespace recio
