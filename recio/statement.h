// The statement interface of the record I/O layer: every console line, file
// record and read of the computation is one statement issued through these
// calls (a begin call naming a unit, one call per item, an end call), plus the
// OPEN, CLOSE and STOP operations and the start of the run. The header
// includes nothing of the layer, and the files that carry the calls out
// include it: the output statements list_output.cpp, the input statements
// scanner.cpp, OPEN and CLOSE units.cpp, the start of the run and STOP run.cpp.
#pragma once

#include <cstdint>

namespace recio {

// Reserved unit designators of the console.
inline constexpr std::int32_t kConsoleOutput = -34000;
inline constexpr std::int32_t kConsoleInput = -33000;

// Prepares the layer before the program's first statement: the console
// unit(s), the command-line arguments for implicit connections, the
// floating-point traps, the end-of-run closing and the reports that end the
// run with it (run.h).
void start_run(int argc, char** argv);

// Output statement. `format` is absent (nullptr) for list-directed output;
// otherwise it is the format text and `format_length` its length in
// characters, -1 meaning up to its terminating NUL.
void begin_write(std::int32_t unit, const char* format = nullptr, std::int32_t format_length = 0);
void write_integer(std::int32_t value);
void write_real(float value);
void write_character(const char* text, std::int32_t length);
void end_write();

// Input statement. Each item call and end_read return the statement's status:
// 0 while it runs normally, -1 once its end-of-file branch has been taken
// (only with `end_branch`); the caller then leaves the statement at once.
void begin_read(std::int32_t unit, bool end_branch);
int read_real(float* address);
int read_character(char* address, std::int32_t length);
int end_read();

// OPEN and CLOSE. Texts come with their lengths; a status of length 0 is absent.
void open_unit(std::int32_t unit, const char* file, std::int32_t file_length, const char* status,
               std::int32_t status_length);
void close_unit(std::int32_t unit, const char* status = nullptr, std::int32_t status_length = 0);

// STOP: ends the open console line, writes the stop message (or `text`) and
// ends the run with exit status `exit_status` (0 for a normal stop).
[[noreturn]] void stop(const char* text = nullptr, std::int32_t length = 0, int exit_status = 0);

}  // namespace recio
