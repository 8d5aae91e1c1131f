#include "console/run.h"

#include <span>

#include "console/console.h"
#include "console/record_input.h"
#include "console/results.h"
#include "console/storage.h"
#include "recio/statement.h"
#include "shindo/intensity.h"

namespace console {

namespace {

void write_banner() {
  console_empty_line();
  console_empty_line();
  console_text_line("Calculation of Shindo");
  console_text_line("------------------------------------------------");
  console_empty_line();
}

void read_file_name() {
  console_text_line("Enter acceleration file name:");
  recio::begin_read(recio::kConsoleInput, false);
  recio::read_character(file_name, kFileNameLength);
  recio::end_read();
}

// The closing message, then one reply that only holds the run until the user
// answers.
void close_dialogue() {
  console_empty_line();
  console_text_line("Data are stored in fort.11 and fort.11");
  recio::begin_read(recio::kConsoleInput, false);
  recio::read_real(&closing_reply);
  recio::end_read();
}

}  // namespace

void run() {
  write_banner();
  read_file_name();
  read_acceleration_record();
  stop_when_too_long();
  const auto samples = static_cast<std::size_t>(sample_count);
  write_results(shindo::compute_intensity({std::span<const float>(acceleration_1).first(samples),
                                           std::span<const float>(acceleration_2).first(samples),
                                           std::span<const float>(acceleration_3).first(samples),
                                           sampling_interval}));
  close_dialogue();
  recio::stop();
}

}  // namespace console
