#include "recio/run.h"

#include <cfenv>
#include <csignal>
#include <cstdlib>

#include "recio/host.h"
#include "recio/report.h"
#include "recio/scanner.h"
#include "recio/statement.h"
#include "recio/units.h"

namespace recio {

namespace {

// Set once the end-of-run closing has begun; a failure inside it ends the
// process without a second closing.
bool closing_done = false;
int chosen_status = 0;

// A report follows whatever the run has written before it, then the run ends.
void write_and_end_run(std::string_view report) {
  write_to_handle(2, report.data(), report.size());
  end_of_run(1);
}

[[noreturn]] void trap_handler(int, siginfo_t* info, void*) {
  fedisableexcept(FE_ALL_EXCEPT);
  feclearexcept(FE_ALL_EXCEPT);
  MathError error = MathError::FpInvalid;
  switch (info->si_code) {
    case FPE_FLTDIV:
    case FPE_INTDIV: error = MathError::FpDivideByZero; break;
    case FPE_FLTOVF: error = MathError::FpOverflow; break;
    case FPE_FLTUND: error = MathError::FpUnderflow; break;
    case FPE_FLTRES: error = MathError::FpInexact; break;
    default: break;
  }
  raise_math_error(error);
}

}  // namespace

void begin_run(int argc, char** argv) {
  create_console_units(argc, argv, read_typed_line);
  set_report_ending(write_and_end_run);
}

void start_run(int argc, char** argv) {
  begin_run(argc, argv);
  std::atexit([] { end_of_run(0); });
  enable_floating_point_traps();
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
  end_open_console_line();
  release_console_output();
  host().exit(exit_status);
  std::abort();
}

void stop(const char* text, std::int32_t length, int exit_status) {
  end_open_console_line();
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
