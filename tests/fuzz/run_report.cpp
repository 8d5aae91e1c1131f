#include "tests/fuzz/run_report.h"

#include "recio/errors.h"

namespace shindo::fuzzing {
namespace {

constexpr std::string_view kStart = "\r\nrun-time error ";
constexpr std::string_view kUnitStatements[] = {"OPEN", "READ", "WRITE", "CLOSE"};

struct MathText {
  int number;
  std::string_view text;
};

// The conditions a math intrinsic reports after its name.
constexpr MathText kConditions[] = {
    {6201, "DOMAIN error"}, {6202, "SING error"}, {6203, "OVERFLOW error"}, {6205, "TLOSS error"}};
constexpr std::string_view kIntrinsics[] = {"sqrt", "log10", "exp", "cexp"};

// The kinds of a floating-point trap of the computation's own arithmetic.
constexpr MathText kTraps[] = {{6101, "invalid"},        {6102, "denormal"},      {6103, "divide by zero"},
                               {6104, "overflow"},       {6105, "underflow"},     {6106, "inexact"},
                               {6108, "square root"},    {6110, "stack overflow"}, {6111, "stack underflow"}};

bool is_math_message(int number, std::string_view message) {
  constexpr std::string_view kTrapStart = "floating-point error: ";
  if (message.starts_with(kTrapStart)) {
    message.remove_prefix(kTrapStart.size());
    for (const MathText& trap : kTraps) {
      if (trap.number == number && trap.text == message) return true;
    }
    return false;
  }
  for (std::string_view name : kIntrinsics) {
    if (!message.starts_with(name) || message.substr(name.size(), 2) != ": ") continue;
    const std::string_view condition = message.substr(name.size() + 2);
    for (const MathText& known : kConditions) {
      if (known.number == number && known.text == condition) return true;
    }
  }
  return false;
}

// The message of the run-time error numbered `number`; empty when none is.
std::string_view run_error_message(int number) {
  for (const auto& row : recio::kRunErrors) {
    if (row.number == number) return row.message;
  }
  return {};
}

ReportCheck problem(std::string what) { return {std::nullopt, std::move(what)}; }

}  // namespace

ReportCheck check_report(std::string_view text) {
  if (!text.starts_with(kStart)) return problem("does not begin with CR LF and \"run-time error \"");
  std::string_view rest = text.substr(kStart.size());
  if (rest.size() < 5 || (rest[0] != 'F' && rest[0] != 'M') || rest[1] != '6') {
    return problem("no letter F or M with a number 6xxx");
  }
  Report report;
  report.letter = rest[0];
  for (std::size_t i = 1; i < 5; ++i) {
    if (rest[i] < '0' || rest[i] > '9') return problem("the number is not four digits");
    report.number = report.number * 10 + (rest[i] - '0');
  }
  rest.remove_prefix(5);
  if (!rest.ends_with("\r\n")) return problem("does not end with CR LF");
  rest.remove_suffix(2);

  if (report.letter == 'M') {
    constexpr std::string_view kMath = ": MATH\r\n- ";
    if (!rest.starts_with(kMath)) return problem("an M number without \": MATH\"");
    report.statement = "MATH";
    report.message = rest.substr(kMath.size());
    if (!is_math_message(report.number, report.message)) {
      return problem("M" + std::to_string(report.number) + " with the message \"" + report.message + "\"");
    }
    return {report, {}};
  }

  for (std::string_view statement : kUnitStatements) {
    const std::string opening = ": " + std::string(statement) + "(";
    if (rest.starts_with(opening)) {
      report.statement = statement;
      rest.remove_prefix(opening.size());
      break;
    }
  }
  if (report.statement.empty()) return problem("no unit statement after the number");
  const std::string_view message = run_error_message(report.number);
  if (message.empty()) return problem("F" + std::to_string(report.number) + " has no message");
  const std::string tail = ")\r\n- " + std::string(message);
  if (!rest.ends_with(tail)) return problem("the message is not the one of F" + std::to_string(report.number));
  report.file_name = rest.substr(0, rest.size() - tail.size());
  report.message = message;
  if (report.file_name.find_first_of("\r\n") != std::string::npos) {
    return problem("the file name holds a line end");
  }
  return {report, {}};
}

}  // namespace shindo::fuzzing
