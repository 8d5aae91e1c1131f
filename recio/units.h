// Units: the table of connections between unit numbers and files, the console
// units that exist from the start of the run, OPEN and CLOSE, implicit
// connection (with the file-name request on the console), truncation at the
// first output, and the unit buffers' way to their OS handles.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "recio/errors.h"

namespace recio {

enum class UnitKind { Console, SequentialFormatted };
enum class Direction { Input, Output };
enum class Disposition { Keep, Delete };

inline constexpr std::size_t kConsoleBufferSize = 132;
// A file is read and written in pieces of this size: each piece is one system
// call, and the bytes are the same whatever the size.
inline constexpr std::size_t kFileBufferSize = 65536;
// Held console output is written before it would exceed this size.
inline constexpr std::size_t kHeldConsoleLimit = 65536;
inline constexpr std::size_t kMaxFileName = 259;

// Device and inode: the same file under any of its names.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// One connection. Input and output keep separate buffers so that a console
// line typed ahead is never overwritten by console output.
struct UnitRecord {
  std::int32_t number = 0;  // the unit number; the console codes for the console units
  std::string name;         // as connected, blanks trimmed; "CON" for the console units
  int handle = -1;          // output handle (and input handle of a file)
  int input_handle = -1;    // handle read by input statements
  UnitKind kind = UnitKind::SequentialFormatted;
  bool interactive = false;  // a console whose standard input is a terminal

  // Input side: bytes [next, last] of `input` are unread.
  std::vector<char> input;
  int next = 0;
  int last = -1;
  bool at_end = false;
  bool skip_lf = false;  // a console line ended by CR: a following LF belongs to it

  // Output side: `position` characters of `output` are placed.
  std::vector<char> output;
  std::size_t position = 0;
  bool buffer_dirty = false;
  bool record_started = false;
  bool line_open = false;  // console: a record is shown whose line is not yet ended

  bool writing = false;  // output statements since the last input
  bool delete_on_close = false;
  Disposition close_disposition = Disposition::Keep;
  std::int64_t file_offset = 0;  // OS position after the bytes read into the buffer or written
  FileIdentity identity;         // to find the same file on two units
  bool read_by_input = false;    // an input statement has read this file

  std::size_t capacity() const { return output.size(); }
};

struct UnitSlot {
  std::int32_t number = 0;
  std::unique_ptr<UnitRecord> record;  // null: the slot is free
};

// Reads one line typed at the console (its line end not included); nullopt
// when standard input is exhausted or cannot be read. The input statements
// provide it (read_typed_line in scanner.h).
using TypedLineReader = std::optional<std::string> (*)(UnitRecord& console);

struct UnitTable {
  std::array<UnitSlot, 61> slots;
  UnitRecord console;                        // serves input, and output when interactive
  std::optional<UnitRecord> console_output;  // exists when stdin or stdout is not a terminal
  std::vector<std::string> arguments;        // the command line, program name first
  std::size_t next_argument = 1;
  std::string file_name_buffer;  // the name being connected, shown by OPEN reports
  // Standard output is not a terminal: console output is held in
  // `held_console_output` and written in large pieces (write_to_handle).
  bool hold_console_output = false;
  std::string held_console_output;
  // A write to standard output has failed and been reported: the end of the
  // run writes nothing more there, so that the failure is reported once.
  bool standard_output_failed = false;
  // The files that input statements have read in this run: an implicit
  // connection for output never writes over one of them.
  std::vector<FileIdentity> files_read;
  // Reads the answer to the file-name request of an implicit connection;
  // absent, no answer can be typed.
  TypedLineReader read_typed_line = nullptr;
};

// The run's unit table: an object of the program, so that every statement
// reaches it without an initialisation guard.
extern UnitTable the_unit_table;
inline UnitTable& unit_table() { return the_unit_table; }

// Creates the console unit(s) from the command line and the terminal state of
// standard input and output, with `read_typed_line` for the file-name request;
// a second call starts afresh (used by tests).
void create_console_units(int argc, char** argv, TypedLineReader read_typed_line = nullptr);

// The unit that console output and the line flag of the console live on.
UnitRecord& console_output_unit();

// The record of a console designation or of a unit number, connecting an
// unconnected unit implicitly (status "OLD" for input, "UNKNOWN" for output).
// `kind` names the statement in a report of a failed connection.
UnitRecord& resolve_unit(std::int32_t unit, Direction direction, StatementKind kind);

// The connected record of a unit number, or null.
UnitRecord* find_unit(std::int32_t unit);

// Called when an output statement starts on a unit: a file that is not yet
// writing is truncated at the first byte not consumed by input.
void begin_output(UnitRecord& unit);

// Writes the placed characters of the output buffer to the handle as one
// piece and empties the buffer; a failed or short write is reported (WRITE).
void write_piece(UnitRecord& unit);

// Writes bytes to an OS handle, in the order the program produces them.
// Bytes for a standard output that is not a terminal are held and written in
// large pieces; whatever is held goes out before any byte for another handle,
// so that every stream, standard error included, receives its bytes in the
// same order as with one write each. False when a write fails.
bool write_to_handle(int handle, const char* bytes, std::size_t count);

// Writes out the held console output; done before every console read, every
// report and the end of the run. A failure is reported as a WRITE on CON.
void release_console_output();

// Done before a console read that may wait for the user: the held console
// output is shown, and every record already written to a file unit goes out
// to its file, so that an interrupt during the wait loses none of them. A
// file write that fails here keeps its bytes for the end of the run, which
// writes them again and reports a failure then.
void prepare_console_wait();

// Writes bytes to the console output handle directly (line ends, the stop
// message, the file-name request); a failure is reported as a WRITE on CON.
void write_console(std::string_view bytes);

// Ends an open console line with CR LF, leaving the flag set.
void end_open_console_line();

// Closes the connection in slot order position `slot` with `disposition` (or
// its own when absent), as CLOSE and the end of the run do.
void close_slot(std::size_t slot, std::optional<Disposition> disposition);

}  // namespace recio
