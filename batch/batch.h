// The batch program shindo-batch: its options, the walk over the paths it is
// given and the grouping of component files into records, the computation of
// many records in parallel with bounded memory, the table (CSV or JSON Lines)
// and the files it writes (exported console input, filtered wave and level
// table), each written under a temporary name and renamed when complete.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "pictures/pictures.h"
#include "readers/readers.h"
#include "shindo/intensity.h"

namespace batch {

enum class TableFormat { csv, json };

struct Options {
  std::vector<std::string> paths;
  TableFormat format = TableFormat::csv;
  std::optional<std::string> export_directory;
  std::optional<std::string> output_directory;
  unsigned jobs = 1;
  readers::Offset offset = readers::Offset::remove_mean;
  bool help = false;
  // The running intensity: --running adds each record's strongest window;
  // --follow PATH ("-": standard input) reads one record as a live stream,
  // the console program's text or, with --dt S, three components a line.
  bool running = false;
  double window = shindo::kDefaultWindowSeconds;  // s
  double step = shindo::kDefaultStepSeconds;      // s
  std::optional<std::string> follow;
  std::optional<float> follow_dt;
};

// A command line that cannot be carried out; the program ends with status 2.
struct UsageError {
  std::string message;
};

// The options after the program name.
//   {"--format", "json", "-j", "4", "d"} → json, 4 jobs, paths {"d"}
//   {"--jobs", "0", "d"}                  → UsageError{"--jobs needs a whole number from 1 to 256: \"0\""}
std::variant<Options, UsageError> parse_options(std::span<const std::string_view> arguments,
                                                unsigned default_jobs);

// The text of --help.
std::string_view help_text();

// One row of the table: a record computed, or what stopped it.
struct Row {
  std::string record;
  std::string format;
  std::string station;
  std::optional<double> latitude, longitude;
  std::size_t samples = 0;
  std::optional<float> dt, pga;  // set once the record was read
  bool computed = false;         // amax .. class hold values
  float amax = 0.0f, a0 = 0.0f, intensity = 0.0f;
  std::int32_t reported = 0;  // tenths
  std::string intensity_class;
  std::string error;
  // --running: the strongest intensity of a window and the time at the
  // window's end (s from the record's start), when a window was computed.
  std::optional<float> running_max;
  std::optional<double> running_max_time;
};

// The table: a header row and one line per row, CSV (RFC 4180 quoting) or
// JSON Lines (absent values null). With `running`, the columns running_max
// and running_max_time come before error.
std::string csv_header(bool running = false);
std::string csv_line(const Row& row, bool running = false);
std::string json_line(const Row& row, bool running = false);

// The peak of the vector of the three components (gal):
// max over samples of sqrt(a1² + a2² + a3²) in double, rounded once.
float peak_vector(const readers::Record& record);

// The record as the console program's input text, one sample a line
// "time a1 a2 a3\n": each value the shortest text that the console program's reading
// reads back as the same float, time I = float((I-1) * dt) so that the first
// two times give dt exactly.
std::string export_text(const readers::Record& record);

// The bytes wave1_dat and a0tau_dat of a console run hold: records of two
// E12.4 fields ended by CR LF; time I = float((I-1) * dt) and the filtered
// vector acceleration; each level and its exceedance time.
std::string wave_text(const shindo::Intensity& intensity);
std::string level_table_text(const shindo::Intensity& intensity);

// Runs the whole batch; writes the table to standard output, the summary
// and progress to standard error, and gives the exit status: 0 every record
// computed, 1 any failed.
int run(const Options& options);

// Writes all of `text` to the descriptor; false when it cannot.
bool write_out(int fd, const std::string& text);

// ---------------------------------------------------------------------------
// The running intensity

// The table of steps (DIR/<record>.running.csv and --follow): time at the
// window's end, intensity, reported, class, and the fault of a window that
// was not computed:
//   "time,intensity,reported,class,error\n"
//   "61,5.1593127,5.1,5+,\n"
//   "3,,,,log10 of 0: no level lasts more than 0.299 s (intensity)\n"
std::string running_header();
std::string running_line(const shindo::RunningStep& step, float dt);

// A record's running intensity with the window and step of `options`: the
// strongest computed window and its time, the table of steps when asked, or
// why the window or step was refused for this record's interval.
struct RunningOfRecord {
  std::optional<float> strongest;
  double strongest_time = 0.0;
  std::string table;
  std::vector<shindo::pictures::RunningPoint> points;  // when the table is asked, for the picture
  std::string refusal;
};
RunningOfRecord running_of_record(const shindo::Record& record, const Options& options, bool with_table);

// --follow: reads options.follow until its end, writing the table of steps
// to standard output, each row as soon as its step is computed. Gives the
// exit status: 0 at the end of the stream, 1 when a line is not a sample or
// the input or output fails (rows written so far stay), 2 when the window
// or step is refused for the stream's interval.
int follow(const Options& options);

}  // namespace batch
