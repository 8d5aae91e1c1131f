#include "recio/run_end.h"

#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <string>

#include "recio/host.h"
#include "recio/statement.h"
#include "recio/units.h"

namespace recio {

namespace {

struct ErrorText {
  int number;
  std::string_view message;
};

// One fixed sentence per F number.
constexpr ErrorText kErrorTexts[] = {
    {err::kIntegerOverflow, "integer overflow in a repeat count"},
    {err::kIntegerSyntax, "invalid integer in a repeat count"},
    {err::kRealExponentTooLarge, "exponent too large in a real value"},
    {err::kRealSyntax, "invalid real value in input"},
    {err::kRealOutOfRange, "real value out of range"},
    {err::kDeviceAccess, "direct or unformatted access to a device"},
    {err::kFormatDescriptor, "format edit descriptor does not fit the item"},
    {err::kReconnectKind, "unit reconnected to its file with another kind"},
    {err::kKeepScratch, "a scratch file cannot be kept"},
    {err::kScratchNamed, "a scratch file cannot have a name"},
    {err::kIntegerRange, "repeat count out of range"},
    {err::kIntegerDigits, "repeat count is not a decimal integer"},
    {err::kUnknownStatus, "unknown status"},
    {err::kBadUnit, "unit number out of range"},
    {err::kDeleteRefused, "file could not be deleted"},
    {err::kReadAfterEnd, "read after the end of file"},
    {err::kLineTooLong, "console line too long"},
    {err::kInvalidOpen, "invalid file name or open request"},
    {err::kAlreadyConnected, "file already connected to another unit"},
    {err::kAccessRefused, "access to the file refused"},
    {err::kFileExists, "file already exists"},
    {err::kFileNotFound, "file not found"},
    {err::kTooManyFiles, "too many open files"},
    {err::kNoFreeUnit, "too many units connected"},
    {err::kOverwritesInput, "file was read as input in this run and would be overwritten"},
    {err::kReadFailed, "read error"},
    {err::kEndOfFile, "end of file encountered"},
    {err::kRepeatZero, "repeat count of zero"},
    {err::kRepeatTwice, "repeat count applied twice"},
    {err::kQuotedNumeric, "quoted or parenthesised value for a numeric item"},
    {err::kComplexNoComma, "complex value without a comma"},
    {err::kLogicalSyntax, "invalid logical value in input"},
    {err::kItemTooWide, "item too wide for a record"},
    {err::kWriteFailed, "write error"},
    {err::kFormatSyntax, "syntax error in format"},
    {err::kFormatUnsupported, "format edit descriptor not supported"},
    {err::kNoTempName, "no temporary file name could be made"},
};

std::string_view statement_text(StatementKind kind) {
  switch (kind) {
    case StatementKind::None: return ": (";
    case StatementKind::Close: return ": CLOSE(";
    case StatementKind::Write: return ": WRITE(";
    case StatementKind::Endfile: return ": ENDFILE(";
    case StatementKind::Inquire: return ": INQUIRE(";
    case StatementKind::Locking: return ": LOCKING(";
    case StatementKind::Open: return ": OPEN(";
    case StatementKind::Read: return ": READ(";
    case StatementKind::Rewind: return ": REWIND(";
    case StatementKind::Backspace: return ": BACKSPACE(";
    case StatementKind::Eof: return ": EOF(";
    case StatementKind::Debug: return ": $DEBUG\r\n- ";
    case StatementKind::Allocate: return ": ALLOCATE\r\n- ";
    case StatementKind::Deallocate: return ": DEALLOCATE\r\n- ";
    case StatementKind::ThreadStart: return ": BEGINTHREAD\r\n- ";
    case StatementKind::Math: return ": MATH\r\n- ";
    case StatementKind::General: return "\r\n- ";
  }
  return "\r\n- ";
}

bool is_unit_statement(StatementKind kind) {
  return kind >= StatementKind::None && kind <= StatementKind::Eof;
}

// Set once the end-of-run closing has begun; a failure inside it ends the
// process without a second closing.
bool closing_done = false;
int chosen_status = 0;

[[noreturn]] void report(char letter, int number, StatementKind kind, std::string_view file_name,
                         std::string_view message) {
  std::string text = "\r\nrun-time error ";
  text += letter;
  text += std::to_string(number);
  text += statement_text(kind);
  if (is_unit_statement(kind)) {
    text += file_name;
    text += message.empty() ? ")\r\n" : ")\r\n- ";
  }
  text += message;
  text += "\r\n";
  write_to_handle(2, text.data(), text.size());
  end_of_run(1);
}

[[noreturn]] void trap_handler(int, siginfo_t* info, void*) {
  fedisableexcept(FE_ALL_EXCEPT);
  feclearexcept(FE_ALL_EXCEPT);
  int number = err::kFpInvalid;
  std::string_view kind = "invalid";
  switch (info->si_code) {
    case FPE_FLTDIV:
    case FPE_INTDIV: number = err::kFpDivideByZero; kind = "divide by zero"; break;
    case FPE_FLTOVF: number = err::kFpOverflow; kind = "overflow"; break;
    case FPE_FLTUND: number = err::kFpUnderflow; kind = "underflow"; break;
    case FPE_FLTRES: number = err::kFpInexact; kind = "inexact"; break;
    default: break;
  }
  std::string message = "floating-point error: ";
  message += kind;
  raise_math_error(number, message);
}

}  // namespace

std::string_view error_message(int number) {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.number == number) return entry.message;
  }
  return {};
}

int raise_error(int number, StatementKind kind, std::string_view file_name, bool end_branch) {
  if (end_branch && (number == err::kEndOfFile || number == err::kReadAfterEnd)) return -1;
  report('F', number, kind, file_name, error_message(number));
}

void raise_math_error(int number, std::string_view message) {
  report('M', number, StatementKind::Math, {}, message);
}

void end_of_run(int exit_status) {
  if (closing_done) {
    // A failure during the closing: it was reported, so the run fails.
    host().exit(exit_status > chosen_status ? exit_status : chosen_status);
    std::abort();  // the host's exit does not return
  }
  closing_done = true;
  chosen_status = exit_status;
  UnitTable& table = unit_table();
  for (std::size_t slot = 0; slot < table.slots.size(); ++slot) {
    if (table.slots[slot].record) close_slot(slot, std::nullopt);
  }
  if (console_output_unit().line_open) write_console("\r\n");
  release_console_output();
  host().exit(exit_status);
  std::abort();
}

void stop(const char* text, std::int32_t length, int exit_status) {
  if (console_output_unit().line_open) write_console("\r\n");
  if (text == nullptr) {
    write_console("Stop - Program terminated.\r\n");
  } else {
    write_console(std::string_view(text, length < 0 ? 0 : static_cast<std::size_t>(length)));
    write_console("\r\n");
  }
  end_of_run(exit_status);
}

void enable_floating_point_traps() {
  struct sigaction action = {};
  action.sa_sigaction = trap_handler;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

}  // namespace recio

namespace recio {

void start_run(int argc, char** argv) {
  create_console_units(argc, argv);
  std::atexit([] { end_of_run(0); });
  enable_floating_point_traps();
}

}  // namespace recio
