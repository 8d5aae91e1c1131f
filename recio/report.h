// Reports: a failed statement or computation is reported on standard error
// and ends the run. How the report is written and the run ended is the run's
// own (run.h installs it at its start); before that, a report is written at
// once and the process ends with exit status 1.
#pragma once

#include <string_view>

#include "recio/errors.h"

namespace recio {

// Reports a run-time error of a unit statement and ends the run with exit
// status 1; an end-of-file condition (EndOfFile, ReadAfterEnd) of a statement
// with an end-of-file branch is not reported: -1 is returned instead.
// raise_error(RunError::FileNotFound, StatementKind::Open, "x.dat") writes
// "\r\nrun-time error F6416: OPEN(x.dat)\r\n- file not found\r\n".
int raise_error(RunError error, StatementKind kind, std::string_view file_name,
                bool end_branch = false);

// Reports a mathematical error and ends the run with exit status 1:
// raise_math_error(MathError::Domain, "sqrt") writes
// "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n".
[[noreturn]] void raise_math_error(MathError error, std::string_view function = {});

// Writes a report's bytes and ends the run with exit status 1; never returns.
using ReportEnding = void (*)(std::string_view report);

// Makes every later report end the run with `ending`.
void set_report_ending(ReportEnding ending);

}  // namespace recio
