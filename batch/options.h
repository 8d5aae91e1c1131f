// The command line of shindo-batch: its options, their checks and --help.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "readers/readers.h"
#include "shindo/ground_motion.h"
#include "shindo/intensity.h"

namespace batch {

enum class TableFormat { csv, json };

// The bytes of records' files held at once unless --memory-limit says
// otherwise, and the least it may say.
inline constexpr std::size_t kDefaultMemoryLimit = std::size_t{1} << 30;
inline constexpr std::size_t kLeastMemoryLimit = std::size_t{1} << 20;

struct Options {
  std::vector<std::string> paths;
  TableFormat format = TableFormat::csv;
  std::optional<std::string> export_directory;
  std::optional<std::string> output_directory;
  unsigned jobs = 1;
  // The bytes of records' files (decompressed) held at once, in total: those
  // waiting in an archive for their other components, queued and being
  // computed. A record whose files are larger is refused.
  std::size_t memory_limit = kDefaultMemoryLimit;
  readers::Offset offset = readers::Offset::remove_mean;
  bool help = false;
  bool verbose = false;  // list the files skipped as no record
  // The running intensity: --running adds each record's strongest window;
  // --follow PATH ("-": standard input) reads one record as a live stream,
  // the console program's text or, with --dt S, three components a line.
  bool running = false;
  double window = shindo::kDefaultWindowSeconds;  // s
  double step = shindo::kDefaultStepSeconds;      // s
  std::optional<std::string> follow;
  std::optional<float> follow_dt;
  // The ground-motion values: the damping of the response spectra, the
  // high-pass corner of the velocity (Hz, 0: none) and, with --spectra and
  // --output, each record's spectra in DIR/<record>.spectra.csv.
  double damping = shindo::kDefaultDamping;
  double highpass_hz = shindo::kDefaultHighpassHz;
  bool spectra = false;
};

// A command line that cannot be carried out; the program ends with status 2.
struct UsageError {
  std::string message;
};

// The options after the program name.
//   {"--format", "json", "-j", "4", "d"} → json, 4 jobs, paths {"d"}
//   {"--jobs", "0", "d"}                  → UsageError{"--jobs needs a whole number from 1 to 256: \"0\""}
//   {"--damping", "1", "d"}               → UsageError{"--damping needs a number between 0 and 1 (both excluded): \"1\""}
[[nodiscard]] std::variant<Options, UsageError> parse_options(std::span<const std::string_view> arguments,
                                                              unsigned default_jobs);

// The text of --help: "Usage: shindo-batch [OPTIONS] PATH...\n..."
[[nodiscard]] std::string_view help_text();

}  // namespace batch
