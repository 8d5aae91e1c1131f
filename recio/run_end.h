// Run end and errors: the end-of-run closing, the run-time error reports on
// standard error (one table from error number to message, and the MATH
// reports), and the floating-point traps of the console run's own arithmetic.
#pragma once

#include <cstdint>
#include <string_view>

namespace recio {

// The statement whose failure a report names; the unit statements (None to
// Eof) show the file name of their unit between parentheses.
enum class StatementKind {
  None, Close, Write, Endfile, Inquire, Locking, Open, Read, Rewind, Backspace, Eof,
  Debug, Allocate, Deallocate, ThreadStart, Math, General
};

// Error numbers of the layer (6000 plus a code).
namespace err {
inline constexpr int kFpInvalid = 6101, kFpDenormal = 6102, kFpDivideByZero = 6103,
                     kFpOverflow = 6104, kFpUnderflow = 6105, kFpInexact = 6106;
inline constexpr int kMathDomain = 6201, kMathSing = 6202, kMathOverflow = 6203,
                     kMathUnderflow = 6204, kMathTloss = 6205, kMathPloss = 6206;
inline constexpr int kIntegerOverflow = 6100, kIntegerSyntax = 6101, kRealExponentTooLarge = 6102,
                     kRealSyntax = 6103, kRealOutOfRange = 6104;
inline constexpr int kDeviceAccess = 6202, kFormatDescriptor = 6206, kReconnectKind = 6209;
inline constexpr int kKeepScratch = 6300, kScratchNamed = 6301, kIntegerRange = 6302,
                     kIntegerDigits = 6303, kUnknownStatus = 6304, kBadUnit = 6314;
inline constexpr int kDeleteRefused = 6404, kReadAfterEnd = 6405, kLineTooLong = 6407,
                     kInvalidOpen = 6412, kAlreadyConnected = 6413, kAccessRefused = 6414,
                     kFileExists = 6415, kFileNotFound = 6416, kTooManyFiles = 6417,
                     kNoFreeUnit = 6418, kOverwritesInput = 6419;
inline constexpr int kReadFailed = 6500, kEndOfFile = 6501, kRepeatZero = 6502,
                     kRepeatTwice = 6503, kQuotedNumeric = 6504, kComplexNoComma = 6506,
                     kLogicalSyntax = 6507, kItemTooWide = 6602, kWriteFailed = 6605,
                     kFormatSyntax = 6606, kFormatUnsupported = 6607,
                     kNoTempName = 6701;
}  // namespace err

// The fixed message of an F number; an empty view for a number without one.
std::string_view error_message(int number);

// Reports a failure of a statement and ends the run with exit status 1; for an
// end-of-file condition (6501, 6405) of a statement with an end-of-file branch
// it returns -1 instead. `file_name` is shown for unit statements.
int raise_error(int number, StatementKind kind, std::string_view file_name,
                bool end_branch = false);

// Reports a MATH failure: "run-time error M<number>: MATH", "- " and `message`.
[[noreturn]] void raise_math_error(int number, std::string_view message);

// The end-of-run closing (at most once), then process exit with `exit_status`.
[[noreturn]] void end_of_run(int exit_status);

// Turns on the traps for invalid operation, division by zero and overflow and
// installs their report (M6101, M6103, M6104). Called by start_run.
void enable_floating_point_traps();

}  // namespace recio
