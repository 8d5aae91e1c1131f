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
  recio::open_unit(kRecordUnit, FNAME, kFileNameLength, "OLD", 3);
  // Records beyond the capacity of the arrays pass through here.
  float scratch[4] = {};
  std::int32_t I = 0;
  for (;;) {
    ++I;
    const RecordItems items = I <= MAXPTS ? RecordItems{&TIME[I - 1], &ACC1[I - 1], &ACC2[I - 1],
                                                        &ACC3[I - 1]}
                                          : RecordItems{&scratch[0], &scratch[1], &scratch[2],
                                                        &scratch[3]};
    if (!read_record(items)) break;
    echo_record(items);
  }
  recio::close_unit(kRecordUnit);
  NT = I - 1;
  // Only the first two times count, whatever NT is; elements that no record
  // filled still hold their initial zero.
  DT = static_cast<float>(static_cast<double>(TIME[1]) - static_cast<double>(TIME[0]));

  recio::begin_write(recio::kConsoleOutput);
  write_text(" nt, dt=");
  recio::write_integer(NT);
  recio::write_real(DT);
  recio::end_write();
}

void stop_when_too_long() {
  if (NT <= kLongestRecord) return;
  console_text_line(" NT>2**15 !!!!!");
  // Nothing was computed: the run ends as a failure.
  recio::stop(nullptr, 0, 1);
}

}  // namespace console
