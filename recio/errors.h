// Errors of the record I/O runtime: the run-time errors (F numbers) of the
// statements, the mathematical errors (M numbers) of the computation, each
// with its number and fixed message in one table, and the text of the report
// that shows one. The two number spaces are apart: F6103 and M6103 are
// different errors, and only the letter of a report tells which it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace recio {

// The statement a run-time error report names, with the file of its unit.
enum class StatementKind { Open, Close, Read, Write };

// The run-time errors of the statements (F numbers).
enum class RunError {
  RealExponentTooLarge,
  RealSyntax,
  RealOutOfRange,
  FormatDescriptor,
  KeepScratch,
  ScratchNamed,
  RepeatCountRange,
  RepeatCountDigits,
  UnknownStatus,
  BadUnit,
  DeleteRefused,
  ReadAfterEnd,
  LineTooLong,
  InvalidOpen,
  AlreadyConnected,
  AccessRefused,
  FileExists,
  FileNotFound,
  TooManyFiles,
  NoFreeUnit,
  OverwritesInput,
  ReadFailed,
  EndOfFile,
  RepeatZero,
  RepeatTwice,
  QuotedNumeric,
  ItemTooWide,
  WriteFailed,
  FormatSyntax,
  FormatUnsupported,
  NoTempName,
};

// The mathematical errors (M numbers): a floating-point trap of the
// computation's arithmetic, or a condition of a checked mathematical function
// (its message follows the function's name).
enum class MathError {
  FpInvalid,
  FpDivideByZero,
  FpOverflow,
  FpUnderflow,
  FpInexact,
  Domain,
  Singularity,
};

template <typename Error>
struct ErrorEntry {
  Error error;
  int number;
  std::string_view message;
};

// One row per error, in the order of the enumeration.
inline constexpr ErrorEntry<RunError> kRunErrors[] = {
    {RunError::RealExponentTooLarge, 6102, "exponent too large in a real value"},
    {RunError::RealSyntax, 6103, "invalid real value in input"},
    {RunError::RealOutOfRange, 6104, "real value out of range"},
    {RunError::FormatDescriptor, 6206, "format edit descriptor does not fit the item"},
    {RunError::KeepScratch, 6300, "a scratch file cannot be kept"},
    {RunError::ScratchNamed, 6301, "a scratch file cannot have a name"},
    {RunError::RepeatCountRange, 6302, "repeat count out of range"},
    {RunError::RepeatCountDigits, 6303, "repeat count is not a decimal integer"},
    {RunError::UnknownStatus, 6304, "unknown status"},
    {RunError::BadUnit, 6314, "unit number out of range"},
    {RunError::DeleteRefused, 6404, "file could not be deleted"},
    {RunError::ReadAfterEnd, 6405, "read after the end of file"},
    {RunError::LineTooLong, 6407, "console line too long"},
    {RunError::InvalidOpen, 6412, "invalid file name or open request"},
    {RunError::AlreadyConnected, 6413, "file already connected to another unit"},
    {RunError::AccessRefused, 6414, "access to the file refused"},
    {RunError::FileExists, 6415, "file already exists"},
    {RunError::FileNotFound, 6416, "file not found"},
    {RunError::TooManyFiles, 6417, "too many open files"},
    {RunError::NoFreeUnit, 6418, "too many units connected"},
    {RunError::OverwritesInput, 6419, "file was read as input in this run and would be overwritten"},
    {RunError::ReadFailed, 6500, "read error"},
    {RunError::EndOfFile, 6501, "end of file encountered"},
    {RunError::RepeatZero, 6502, "repeat count of zero"},
    {RunError::RepeatTwice, 6503, "repeat count applied twice"},
    {RunError::QuotedNumeric, 6504, "quoted or parenthesised value for a numeric item"},
    {RunError::ItemTooWide, 6602, "item too wide for a record"},
    {RunError::WriteFailed, 6605, "write error"},
    {RunError::FormatSyntax, 6606, "syntax error in format"},
    {RunError::FormatUnsupported, 6607, "format edit descriptor not supported"},
    {RunError::NoTempName, 6701, "no temporary file name could be made"},
};

inline constexpr ErrorEntry<MathError> kMathErrors[] = {
    {MathError::FpInvalid, 6101, "floating-point error: invalid"},
    {MathError::FpDivideByZero, 6103, "floating-point error: divide by zero"},
    {MathError::FpOverflow, 6104, "floating-point error: overflow"},
    {MathError::FpUnderflow, 6105, "floating-point error: underflow"},
    {MathError::FpInexact, 6106, "floating-point error: inexact"},
    {MathError::Domain, 6201, "DOMAIN error"},
    {MathError::Singularity, 6202, "SING error"},
};

template <typename Error, std::size_t N>
constexpr bool in_enumeration_order(const ErrorEntry<Error> (&table)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(table[i].error) != i) return false;
  }
  return true;
}
static_assert(in_enumeration_order(kRunErrors) && in_enumeration_order(kMathErrors));

// The error's row: error_number(RunError::FileNotFound) -> 6416,
// error_message(MathError::Singularity) -> "SING error".
[[nodiscard]] constexpr const ErrorEntry<RunError>& error_entry(RunError error) {
  return kRunErrors[static_cast<std::size_t>(error)];
}
[[nodiscard]] constexpr const ErrorEntry<MathError>& error_entry(MathError error) {
  return kMathErrors[static_cast<std::size_t>(error)];
}
[[nodiscard]] constexpr int error_number(RunError error) { return error_entry(error).number; }
[[nodiscard]] constexpr int error_number(MathError error) { return error_entry(error).number; }
[[nodiscard]] constexpr std::string_view error_message(RunError error) { return error_entry(error).message; }
[[nodiscard]] constexpr std::string_view error_message(MathError error) { return error_entry(error).message; }

// The message of a mathematical error, after the name of the function that
// found it when there is one: (Domain, "sqrt") -> "sqrt: DOMAIN error",
// (FpOverflow, "") -> "floating-point error: overflow".
[[nodiscard]] std::string math_message(MathError error, std::string_view function);

// The report of a run-time error of a unit statement, as standard error shows
// it: (FileNotFound, Open, "x.dat") ->
// "\r\nrun-time error F6416: OPEN(x.dat)\r\n- file not found\r\n".
[[nodiscard]] std::string run_error_report(RunError error, StatementKind kind,
                                           std::string_view file_name);

// The report of a mathematical error: (Singularity, "log10") ->
// "\r\nrun-time error M6202: MATH\r\n- log10: SING error\r\n".
[[nodiscard]] std::string math_error_report(MathError error, std::string_view function);

}  // namespace recio
