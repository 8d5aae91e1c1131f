// The run: its start (the console units, the way reports end the run, the
// closing at process exit and the floating-point traps of the run's own
// arithmetic), STOP, and its end (the closing of every unit). start_run and
// stop are the console program's calls (statement.h).
#pragma once

namespace recio {

// The console units from the command line, the file-name request read at the
// console, and reports that end the run with its closing: start_run without
// the closing at process exit and the traps (what a test of a run starts with).
void begin_run(int argc, char** argv);

// The end-of-run closing (at most once: every connection closed, an open
// console line ended, held console output written), then process exit with
// `exit_status`. A failure reported during the closing ends the process at
// once with the larger of the two statuses.
[[noreturn]] void end_of_run(int exit_status);

// Turns on the traps for invalid operation, division by zero and overflow and
// installs their report: 1.0 / 0.0 then ends the run with
// "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n".
// Called by start_run.
void enable_floating_point_traps();

}  // namespace recio
