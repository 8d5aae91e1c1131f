#include <charconv>
#include <cstdint>
#include <cmath>
#include <string>

#include "batch/options.h"

namespace batch {

namespace {

constexpr unsigned kMostJobs = 256;

// The whole text as a finite number: "0.5" → 0.5; "inf", "1x", "" → nullopt.
std::optional<double> finite_number(std::string_view text) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A number of seconds that is finite and above 0: "0.5" → 0.5; "0", "-1", "x" → nullopt.
std::optional<double> positive_seconds(std::string_view text) {
  const std::optional<double> seconds = finite_number(text);
  if (!seconds || *seconds <= 0.0) return std::nullopt;
  return seconds;
}

// What the option's value was, for a message: `: "1.5"`, or nothing when it had none.
std::string quoted(const std::optional<std::string_view>& text) {
  return text ? ": \"" + std::string(*text) + "\"" : "";
}

// A size in bytes, with K, M or G for KiB, MiB, GiB: "512M" → 536870912;
// nullopt when it is not one or beyond the range of sizes.
std::optional<std::size_t> size_of(std::string_view text) {
  std::size_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  const std::string_view unit = text.substr(static_cast<std::size_t>(end - text.data()));
  int shift = 0;
  if (unit == "K" || unit == "k") {
    shift = 10;
  } else if (unit == "M" || unit == "m") {
    shift = 20;
  } else if (unit == "G" || unit == "g") {
    shift = 30;
  } else if (!unit.empty()) {
    return std::nullopt;
  }
  if (value > (SIZE_MAX >> shift)) return std::nullopt;
  return value << shift;
}

}  // namespace

std::string_view help_text() {
  return "Usage: shindo-batch [OPTIONS] PATH...\n"
         "       shindo-batch --follow PATH [--window S] [--step S] [--dt S]\n"
         "Computes the JMA instrumental seismic intensity of many strong-motion records.\n"
         "\n"
         "PATH is a record file, a directory (walked recursively) or an archive\n"
         "(.tar, .tar.gz, .tgz; .gz files are read decompressed). Formats: K-NET\n"
         "(X.NS, X.EW, X.UD), KiK-net (X.NS1..UD1, X.NS2..UD2), JMA CSV, and the\n"
         "console program's input text (time and three components per sample).\n"
         "Beside the intensity, each row holds the ground-motion values: peak\n"
         "acceleration (gal) and velocity (cm/s) of each component and of the\n"
         "horizontal vector, the SI value, the largest long-period absolute velocity\n"
         "response (cm/s), its period (s) and the long-period ground-motion class.\n"
         "\n"
         "Options:\n"
         "  --format csv|json  table as CSV with a header row (default) or JSON Lines\n"
         "  --export DIR       write each record as the console program's input text,\n"
         "                     DIR/<record>.txt (KiK-net: DIR/<record>, a name shindo reads)\n"
         "  --output DIR       write DIR/<record>.wave.txt and DIR/<record>.a0tau.txt,\n"
         "                     the console program's wave1_dat and a0tau_dat, the\n"
         "                     picture DIR/<record>.svg and the page DIR/report.html\n"
         "  -j, --jobs N       records computed in parallel (default: the number of cores)\n"
         "  --memory-limit SIZE\n"
         "                     bytes of records' files held at once, in total\n"
         "                     (default 1G; K, M, G for KiB, MiB, GiB; at least 1M)\n"
         "  --keep-offset      keep the offset of K-NET/KiK-net counts (default: subtract\n"
         "                     each component's mean)\n"
         "  --running          add each record's strongest running intensity (columns\n"
         "                     running_max, running_max_time: s from the record's start,\n"
         "                     running_max_clock: its clock time when the record says)\n"
         "                     with --output also DIR/<record>.running.csv, one row a step,\n"
         "                     and the running intensity in DIR/<record>.svg\n"
         "  --window S         running window length in seconds (default 60)\n"
         "  --step S           running step in seconds (default 1), at least one sample\n"
         "  --follow PATH      read one record as a live stream (- : standard input) and\n"
         "                     write a row for each step as soon as it is computed (CSV,\n"
         "                     or JSON Lines with --format json); a stored JMA CSV file\n"
         "                     or one K-NET/KiK-net component file (its record) is\n"
         "                     replayed as a stream\n"
         "  --dt S             with --follow: lines of three components sampled at S s\n"
         "                     (default: the console program's text, time first)\n"
         "  -v, --verbose      list every file skipped as no record\n"
         "  --damping H        damping ratio of the response spectra, in (0, 1) (default\n"
         "                     0.05); the SI value and the long-period class keep theirs\n"
         "  --highpass HZ      high-pass corner before the velocity and the spectra\n"
         "                     (default 0.1; 0: the record as given), below the Nyquist\n"
         "                     frequency 1/(2 dt) of every record\n"
         "  --spectra          with --output: DIR/<record>.spectra.csv, the response\n"
         "                     spectra of the two horizontal components, one row a period\n"
         "  -h, --help         show this help and exit\n"
         "\n"
         "Exit status: 0 every record computed, 1 any record failed, 2 usage error,\n"
         "128+N stopped by signal N (SIGINT, SIGTERM, SIGHUP: the rows of the records\n"
         "finished are written, their files placed, no temporary file is left).\n";
}

std::variant<Options, UsageError> parse_options(std::span<const std::string_view> arguments,
                                                unsigned default_jobs) {
  Options options;
  options.jobs = default_jobs == 0 ? 1 : std::min(default_jobs, kMostJobs);
  bool only_paths = false;
  std::string window_or_step;  // the option given, for a message
  std::string ground_option;   // --damping, --highpass or --spectra, for a message
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    if (only_paths || argument == "-" || !argument.starts_with("-")) {
      options.paths.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      only_paths = true;
      continue;
    }
    // "--name=value" or "--name value"
    std::string_view name = argument;
    std::optional<std::string_view> value;
    if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    } else if (argument.starts_with("-j") && argument.size() > 2) {  // "-j4"
      name = "-j";
      value = argument.substr(2);
    }
    const auto take_value = [&]() -> std::optional<std::string_view> {
      if (value) return value;
      if (i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };
    const auto needs = [&](std::string_view what) {
      return UsageError{std::string(name) + " needs " + std::string(what)};
    };
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if ((name == "-v" || name == "--verbose") && !value) {
      options.verbose = true;
    } else if (name == "--keep-offset" && !value) {
      options.offset = readers::Offset::keep;
    } else if (name == "--format") {
      const std::optional<std::string_view> format = take_value();
      if (format == "csv") {
        options.format = TableFormat::csv;
      } else if (format == "json") {
        options.format = TableFormat::json;
      } else {
        return needs("csv or json");
      }
    } else if (name == "--export" || name == "--output") {
      const std::optional<std::string_view> directory = take_value();
      if (!directory || directory->empty()) return needs("a directory");
      (name == "--export" ? options.export_directory : options.output_directory) = std::string(*directory);
    } else if (name == "-j" || name == "--jobs") {
      const std::optional<std::string_view> text = take_value();
      unsigned jobs = 0;
      if (!text) return needs("a whole number from 1 to 256");
      const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), jobs);
      if (ec != std::errc() || end != text->data() + text->size() || jobs == 0 || jobs > kMostJobs) {
        return needs("a whole number from 1 to 256: \"" + std::string(*text) + "\"");
      }
      options.jobs = jobs;
    } else if (name == "--memory-limit") {
      const std::optional<std::string_view> text = take_value();
      const std::optional<std::size_t> size = text ? size_of(*text) : std::nullopt;
      if (!size || *size < kLeastMemoryLimit) {
        return needs("a size of at least 1M (K, M, G for KiB, MiB, GiB)" +
                     (text ? ": \"" + std::string(*text) + "\"" : ""));
      }
      options.memory_limit = *size;
    } else if (name == "--running" && !value) {
      options.running = true;
    } else if (name == "--window" || name == "--step" || name == "--dt") {
      const std::optional<std::string_view> text = take_value();
      const std::optional<double> seconds = text ? positive_seconds(*text) : std::nullopt;
      if (!seconds) return needs("a positive number of seconds" + (text ? ": \"" + std::string(*text) + "\"" : ""));
      if (name == "--dt") {
        options.follow_dt = static_cast<float>(*seconds);
      } else {
        (name == "--window" ? options.window : options.step) = *seconds;
        window_or_step = std::string(name);
      }
    } else if (name == "--damping") {
      const std::optional<std::string_view> text = take_value();
      const std::optional<double> damping = text ? finite_number(*text) : std::nullopt;
      if (!damping || !(*damping > 0.0 && *damping < 1.0)) {
        return needs("a damping ratio between 0 and 1 (both excluded), such as 0.05" + quoted(text));
      }
      options.damping = *damping;
      ground_option = std::string(name);
    } else if (name == "--highpass") {
      const std::optional<std::string_view> text = take_value();
      const std::optional<double> corner = text ? finite_number(*text) : std::nullopt;
      if (!corner || *corner < 0.0) return needs("a corner frequency in Hz, 0 or more (0: no filter)" + quoted(text));
      options.highpass_hz = *corner;
      ground_option = std::string(name);
    } else if (name == "--spectra" && !value) {
      options.spectra = true;
      ground_option = std::string(name);
    } else if (name == "--follow") {
      const std::optional<std::string_view> path = take_value();
      if (!path || path->empty()) return needs("a path, - for standard input");
      options.follow = std::string(*path);
    } else {
      return UsageError{"unknown option " + std::string(argument)};
    }
  }
  if (options.help) return options;
  if (options.follow) {
    if (!options.paths.empty()) return UsageError{"--follow reads one stream: no PATH besides it"};
    if (options.export_directory || options.output_directory) {
      return UsageError{"--follow writes its rows to standard output: no --export or --output"};
    }
    if (!ground_option.empty()) return UsageError{ground_option + " belongs to the table of records, not to --follow"};
    return options;
  }
  if (options.follow_dt) return UsageError{"--dt belongs to --follow"};
  if (!window_or_step.empty() && !options.running) return UsageError{window_or_step + " needs --running or --follow"};
  if (options.spectra && !options.output_directory) {
    return UsageError{"--spectra writes DIR/<record>.spectra.csv: it needs --output DIR"};
  }
  if (options.paths.empty()) return UsageError{"no PATH given"};
  return options;
}

}  // namespace batch
