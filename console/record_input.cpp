#include "console/record_input.h"

#include "console/console.h"
#include "console/storage.h"
#include "recio/statement.h"

namespace console {

namespace {

constexpr std::int32_t kRecordUnit = 11;

// The four places one record is read into.
struct RecordItems {
  float* time;
  float* acc1;
  float* acc2;
  float* acc3;
};

// Reads one record with an end-of-file branch; false when the branch was
// taken, wherever in the record the end of the file fell.
bool read_record(const RecordItems& items) {
  recio::begin_read(kRecordUnit, true);
  return recio::read_real(items.time) == 0 && recio::read_real(items.acc1) == 0 &&
         recio::read_real(items.acc2) == 0 && recio::read_real(items.acc3) == 0 &&
         recio::end_read() == 0;
}

void echo_record(const RecordItems& items) {
  recio::begin_write(recio::kConsoleOutput);
  recio::write_real(*items.time);
  recio::write_real(*items.acc1);
  recio::write_real(*items.acc2);
  recio::write_real(*items.acc3);
  recio::end_write();
}

}  // namespace

void read_acceleration_record() {
  recio::open_unit(kRecordUnit, file_name, kFileNameLength, "OLD", 3);
  // Records beyond the capacity of the arrays pass through here.
  float scratch[4] = {};
  std::int32_t record_number = 0;
  for (;;) {
    ++record_number;
    const std::int32_t at = record_number - 1;
    const RecordItems items =
        record_number <= kSampleCapacity
            ? RecordItems{&sample_times[at], &acceleration_1[at], &acceleration_2[at], &acceleration_3[at]}
            : RecordItems{&scratch[0], &scratch[1], &scratch[2], &scratch[3]};
    if (!read_record(items)) break;
    echo_record(items);
  }
  recio::close_unit(kRecordUnit);
  sample_count = record_number - 1;
  // Only the first two times count, whatever the sample count is; elements that no record
  // filled still hold their initial zero.
  sampling_interval =
      static_cast<float>(static_cast<double>(sample_times[1]) - static_cast<double>(sample_times[0]));

  recio::begin_write(recio::kConsoleOutput);
  write_text(" nt, dt=");
  recio::write_integer(sample_count);
  recio::write_real(sampling_interval);
  recio::end_write();
}

void stop_when_too_long() {
  if (sample_count <= kLongestRecord) return;
  console_text_line(" NT>2**15 !!!!!");
  // Nothing was computed: the run ends as a failure.
  recio::stop(nullptr, 0, 1);
}

}  // namespace console
