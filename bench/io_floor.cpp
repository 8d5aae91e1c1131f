// io_floor: the input and output that a run of shindo cannot avoid, and
// nothing else. It is the yardstick a run is timed against: it reads the same
// record file, converts every value, and writes as many bytes as a run does to
// the console and to the three output files, each through one large buffer.
//
//   io_floor RESULTS_FILE CONSOLE_BYTES WAVE_BYTES A0TAU_BYTES RESULTS_BYTES
//
// Standard input answers like the console of a run: its first line names the
// record file (what follows, the closing reply, is read and ignored). The
// record is read in 64 KiB pieces and every value is converted with strtof
// into static sample storage. Then CONSOLE_BYTES go to standard output,
// WAVE_BYTES to wave1_dat, A0TAU_BYTES to a0tau_dat and RESULTS_BYTES to
// RESULTS_FILE, all in the current directory, as one write per 64 KiB. The
// bytes themselves carry nothing: only their number matters.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr std::size_t kBlockSize = 65536;
constexpr std::size_t kValuesPerRecord = 4;
constexpr std::size_t kSampleCapacity = 33000;

char input_block[kBlockSize + 1];
char output_block[kBlockSize];
float samples[kSampleCapacity * kValuesPerRecord];
// The sum of the converted values, stored so that the conversions count.
volatile double converted_sum;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "io_floor: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// The record file name: the first line of standard input, without its line
// end and surrounding blanks.
std::string answered_file_name() {
  std::string answers;
  char piece[4096];
  for (;;) {
    const ssize_t got = read(0, piece, sizeof piece);
    if (got < 0) fail("standard input");
    if (got == 0) break;
    answers.append(piece, static_cast<std::size_t>(got));
    if (answers.find('\n') != std::string::npos) break;
  }
  std::string_view line(answers);
  line = line.substr(0, line.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  if (line.empty()) {
    errno = EINVAL;
    fail("no record file name on standard input");
  }
  return std::string(line);
}

// Converts every value of `text` (NUL-terminated, ending at a line end) into
// the sample storage; `stored` counts the values converted so far.
void convert_values(char* text, std::size_t& stored) {
  char* p = text;
  while (*p != '\0') {
    char* end = nullptr;
    const float value = std::strtof(p, &end);
    if (end == p) {
      ++p;  // a character that starts no value: a separator
      continue;
    }
    if (stored < kSampleCapacity * kValuesPerRecord) samples[stored] = value;
    ++stored;
    p = end;
  }
}

// Reads the record file in blocks, converting the complete lines of each and
// carrying a line cut by the block end over to the next block. Returns the
// number of values converted.
std::size_t read_record(const std::string& name) {
  const int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0) fail(name);
  std::size_t kept = 0;
  std::size_t stored = 0;
  for (;;) {
    const ssize_t got = read(fd, input_block + kept, kBlockSize - kept);
    if (got < 0) fail(name);
    const std::size_t filled = kept + static_cast<std::size_t>(got);
    std::size_t complete = filled;
    if (got > 0) {
      while (complete > 0 && input_block[complete - 1] != '\n') --complete;
      if (complete == 0 && filled == kBlockSize) {
        errno = EINVAL;
        fail(name + ": a line longer than the block");
      }
    }
    const char carried = input_block[complete];
    input_block[complete] = '\0';
    convert_values(input_block, stored);
    input_block[complete] = carried;
    if (got == 0) break;
    kept = filled - complete;
    std::memmove(input_block, input_block + complete, kept);
  }
  close(fd);
  return stored;
}

void write_bytes(int fd, std::size_t count, const std::string& what) {
  while (count > 0) {
    const std::size_t piece = count < kBlockSize ? count : kBlockSize;
    const ssize_t put = write(fd, output_block, piece);
    if (put <= 0) fail(what);
    count -= static_cast<std::size_t>(put);
  }
}

void write_file(const std::string& name, std::size_t count) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) fail(name);
  write_bytes(fd, count, name);
  if (close(fd) != 0) fail(name);
}

bool parse_count(const char* text, std::size_t& value) {
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t console_bytes = 0;
  std::size_t wave_bytes = 0;
  std::size_t a0tau_bytes = 0;
  std::size_t results_bytes = 0;
  if (argc != 6 || !parse_count(argv[2], console_bytes) || !parse_count(argv[3], wave_bytes) ||
      !parse_count(argv[4], a0tau_bytes) || !parse_count(argv[5], results_bytes)) {
    std::fprintf(stderr, "usage: %s RESULTS_FILE CONSOLE_BYTES WAVE_BYTES A0TAU_BYTES RESULTS_BYTES\n",
                 argv[0]);
    return 2;
  }
  std::memset(output_block, '.', sizeof output_block);

  const std::size_t values = read_record(answered_file_name());
  double sum = 0.0;
  for (std::size_t i = 0; i < values && i < kSampleCapacity * kValuesPerRecord; ++i) sum += samples[i];
  converted_sum = sum;

  write_bytes(1, console_bytes, "standard output");
  write_file("wave1_dat", wave_bytes);
  write_file("a0tau_dat", a0tau_bytes);
  write_file(argv[1], results_bytes);
  return 0;
}
