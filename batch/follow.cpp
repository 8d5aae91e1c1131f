#include "batch/follow.h"

#include <fcntl.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "batch/inputs.h"
#include "batch/output.h"
#include "batch/pipeline.h"
#include "batch/table.h"


namespace batch {

namespace {

// The longest line --follow takes; a sample's line is far shorter.
constexpr std::size_t kLongestLine = 4096;

constexpr std::string_view kSeparators = " \t\r,";

bool blank(std::string_view line) { return line.find_first_not_of(kSeparators) == std::string_view::npos; }

// The three components of a line "a1 a2 a3", read with the console
// program's list rules (blanks, tabs or commas between values).
std::variant<std::array<float, 3>, std::string> three_components(std::string_view line) {
  const readers::Result<readers::LineValues> read = readers::read_console_line("", 0, line, 3);
  if (const readers::Error* error = std::get_if<readers::Error>(&read)) return error->message;
  const readers::LineValues& line_values = std::get<readers::LineValues>(read);
  if (line_values.more) return std::string("more than three values: with --dt a line holds NS EW UD");
  std::array<float, 3> values{};
  for (std::size_t i = 0; i < 3; ++i) {
    if (i >= line_values.values.size() || !line_values.values[i]) {
      return std::string("fewer than three values: with --dt a line holds NS EW UD");
    }
    values[i] = *line_values.values[i];
  }
  return values;
}

// One record read a line at a time as it arrives and fed to a running
// intensity, each step's row written to standard output at once. Each line
// holds one whole sample; the console program's text gives the interval by
// its first two times, so its first sample waits for the second.
class Follower {
 public:
  Follower(const Options& options, std::string name) : options_(options), name_(std::move(name)) {}

  // Takes line `number` (without its line end); false when the stream stops
  // (see failure() and status()).
  bool take(std::string_view line, std::size_t number) {
    if (blank(line)) return true;
    if (options_.follow_dt) {
      if (!start(*options_.follow_dt)) return false;
      auto values = three_components(line);
      if (const std::string* message = std::get_if<std::string>(&values)) return stop(number, *message);
      const std::array<float, 3>& a = std::get<std::array<float, 3>>(values);
      return feed(std::span(&a[0], 1), std::span(&a[1], 1), std::span(&a[2], 1));
    }
    if (!stream_ && first_line_.empty()) {
      first_line_ = line;
      first_number_ = number;
      return true;
    }
    const std::string text = stream_ ? std::string(line) : first_line_ + "\n" + std::string(line);
    const readers::Result<readers::Record> read = readers::read_console_text(name_, text);
    if (const readers::Error* error = std::get_if<readers::Error>(&read)) {
      return stop(!stream_ && error->line <= 1 ? first_number_ : number, error->message);
    }
    const readers::Record& samples = std::get<readers::Record>(read);
    if (samples.acc1.size() != (stream_ ? 1u : 2u)) {
      return stop(number, "a line holds one whole sample: its time and three components");
    }
    if (!stream_) {
      // The interval from the first two times, read in double when the
      // times are too large for single precision to tell it.
      first_time_ = samples.times[0].wide;
      if (!start(readers::stream_interval(samples.times[0], samples.times[1]))) return false;
    } else if (std::optional<std::string> misplaced =
                   readers::misplaced_time(first_time_, samples_, samples.times[0].wide, stream_->dt())) {
      return stop(number, *misplaced);
    }
    samples_ += samples.acc1.size();
    return feed(samples.acc1, samples.acc2, samples.acc3);
  }

  // A whole record read from a file, replayed as a stream.
  bool replay(const readers::Record& record) {
    if (!start(record.dt)) return false;
    return feed(record.acc1, record.acc2, record.acc3);
  }

  // The end of the stream: its last, shorter step.
  bool finish() {
    if (!stream_ && !first_line_.empty()) {
      return stop(first_number_, "one sample only: the interval is the second sample's time minus the first's");
    }
    if (!stream_) return write_header();
    stream_->finish(write_row_);
    return !output_failed();
  }

  int status() const { return status_; }
  const std::string& failure() const { return failure_; }

 private:
  bool stop(std::size_t line, std::string message) {
    failure_ = readers::error_text(readers::Error{name_, line, std::move(message)});
    status_ = 1;
    return false;
  }

  bool start(float dt) {
    if (stream_) return true;
    const shindo::RunningSettings settings{dt, options_.window, options_.step};
    shindo::RunningStart started = shindo::start_running(settings);
    if (!started.stream) {
      failure_ = shindo::refusal_text(started.refusal, settings);
      status_ = 2;
      return false;
    }
    stream_.emplace(std::move(*started.stream));
    return write_header();
  }

  // The table's header, once the stream has started (or ended with no
  // sample); JSON Lines have none.
  bool write_header() {
    if (options_.format == TableFormat::csv) write_error_ = write_all(1, running_header());
    return !output_failed();
  }

  bool feed(std::span<const float> acc1, std::span<const float> acc2, std::span<const float> acc3) {
    // One sample of each component: the lengths agree, nothing is refused.
    static_cast<void>(stream_->feed({acc1, acc2, acc3}, write_row_));
    return !output_failed();
  }

  bool output_failed() {
    if (write_error_ == 0) return false;
    failure_ = std::string("cannot write standard output: ") + std::strerror(write_error_);
    status_ = 1;
    return true;
  }

  const Options& options_;
  std::string name_;
  std::optional<shindo::RunningIntensity> stream_;
  std::string first_line_;  // the first sample, until the second gives the interval
  std::size_t first_number_ = 0;
  double first_time_ = 0.0;  // in double, where every later time is measured from
  std::size_t samples_ = 0;  // taken so far
  int write_error_ = 0;
  std::function<void(const shindo::RunningStep&)> write_row_ = [this](const shindo::RunningStep& step) {
    const std::string row = options_.format == TableFormat::json ? running_json_line(step, stream_->dt())
                                                                 : running_line(step, stream_->dt());
    if (write_error_ == 0) write_error_ = write_all(1, row);
  };
  std::string failure_;
  int status_ = 0;
};

// The three component files of the K-NET/KiK-net record of which `path` is
// one, read and joined: "d/X.ns" → d/X.ns, d/X.ew, d/X.ud.
readers::Result<readers::Record> network_record(const std::string& path, const readers::KnetName& name,
                                                const Options& options) {
  const std::size_t point = path.rfind('.');
  const bool lower = path[point + 1] >= 'a' && path[point + 1] <= 'z';
  Job job;
  job.record = name.record;
  job.format = name.format;
  for (std::size_t c = 0; c < 3; ++c) {
    std::string letters = std::array<const char*, 3>{"NS", "EW", "UD"}[c];
    if (lower) {
      for (char& letter : letters) letter = static_cast<char>(letter - 'A' + 'a');
    }
    const std::string file = path.substr(0, point + 1) + letters + path.substr(point + 3);
    job.inputs.push_back(Input{file, file, false, {}});
  }
  ByteBudget budget(options.memory_limit);
  load_job(job, Holding{budget, {}});
  if (!job.error.empty()) return job_error(job.error);
  return read_record(job, options);
}

// The rest of a stream after `head`, to its end, or the reason it cannot be
// read: a read error, or more bytes than `limit`.
readers::Result<std::string> rest_of(const std::string& name, int fd, std::string head, std::size_t limit) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = read_some(fd, buffer, sizeof buffer);
    if (got < 0) return readers::Error{name, 0, std::strerror(errno)};
    if (got == 0) return head;
    if (static_cast<std::size_t>(got) > limit - std::min(limit, head.size())) {
      return readers::Error{name, 0, "larger than the memory limit of " + size_text(limit) + " (--memory-limit raises it)"};
    }
    head.append(buffer, static_cast<std::size_t>(got));
  }
}

// A stored record of the networks' formats, whole, or nullopt when the
// stream's first bytes are the console program's text (or none of these).
std::optional<readers::Result<readers::Record>> stored_record(const std::string& path, const std::string& name,
                                                              int fd, std::string& head, const Options& options) {
  const std::optional<readers::Format> format = readers::detect_format(path == "-" ? "" : path, head);
  if (format == readers::Format::knet || format == readers::Format::kiknet) {
    return network_record(path, *readers::knet_name(path), options);
  }
  if (format != readers::Format::jma_csv) return std::nullopt;
  readers::Result<std::string> bytes = rest_of(name, fd, std::move(head), options.memory_limit);
  if (const readers::Error* error = std::get_if<readers::Error>(&bytes)) return *error;
  return readers::read_jma_csv(name, std::get<std::string>(bytes));
}

}  // namespace

bool LineReader::give(const Take& take) {
  ++lines_;
  const bool going = take(line_);
  line_.clear();
  return going;
}

bool LineReader::feed(std::string_view piece, const Take& take) {
  if (too_long_) return false;
  while (!piece.empty()) {
    const std::size_t end = piece.find('\n');
    const std::string_view part = piece.substr(0, end);
    if (part.size() > longest_ - line_.size()) {
      too_long_ = true;
      return false;
    }
    line_.append(part);
    if (end == std::string_view::npos) return true;  // the line goes on in the next piece
    piece.remove_prefix(end + 1);
    if (!give(take)) return false;
  }
  return true;
}

bool LineReader::finish(const Take& take) {
  if (too_long_) return false;
  return line_.empty() || give(take);
}

int follow(const Options& options) {
  const std::string& path = *options.follow;
  const std::string name = path == "-" ? "standard input" : path;
  const int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    say("shindo-batch: " + shown(path) + ": " + std::strerror(errno) + "\n");
    return 1;
  }
  Follower follower(options, name);
  char buffer[65536];
  // The first bytes tell a stored record of the networks' formats, which is
  // read whole and replayed, from the console program's text, read a line
  // at a time as it arrives.
  std::string head;
  for (ssize_t got = 1; got > 0 && head.find('\n') == std::string::npos;) {
    got = read_some(fd, buffer, sizeof buffer);
    if (got < 0) {
      say("shindo-batch: " + shown(name) + ": " + std::strerror(errno) + "\n");
      return 1;
    }
    head.append(buffer, static_cast<std::size_t>(got));
  }
  if (std::optional<readers::Result<readers::Record>> stored = stored_record(path, name, fd, head, options)) {
    if (fd != 0) ::close(fd);
    if (const readers::Error* error = std::get_if<readers::Error>(&*stored)) {
      say("shindo-batch: " + shown(readers::error_text(*error)) + "\n");
      return 1;
    }
    if (!follower.replay(std::get<readers::Record>(*stored)) || !follower.finish()) {
      say("shindo-batch: " + shown(follower.failure()) + "\n");
      return follower.status();
    }
    return 0;
  }
  LineReader reader(kLongestLine);
  const LineReader::Take take = [&](std::string_view line) { return follower.take(line, reader.lines()); };
  bool ended = head.empty();
  bool going = ended ? reader.finish(take) : reader.feed(head, take);
  while (going && !ended) {
    const ssize_t got = read_some(fd, buffer, sizeof buffer);
    if (got < 0) {
      say("shindo-batch: " + shown(name) + ": " + std::strerror(errno) + "\n");
      return 1;
    }
    ended = got == 0;
    going = ended ? reader.finish(take) : reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)), take);
  }
  if (reader.too_long()) {
    say("shindo-batch: " + shown(name) + ":" + std::to_string(reader.lines() + 1) + ": a line longer than " +
        std::to_string(kLongestLine) + " characters\n");
    return 1;
  }
  if (going) going = follower.finish();
  if (fd != 0) ::close(fd);
  if (!going) {
    say("shindo-batch: " + shown(follower.failure()) + "\n");
    return follower.status();
  }
  return 0;
}

}  // namespace batch
