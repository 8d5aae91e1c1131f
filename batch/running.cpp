#include "batch/running.h"

#include "batch/table.h"

namespace batch {

RunningOfRecord running_of_record(const shindo::Record& record, const Options& options, bool with_table) {
  RunningOfRecord running;
  const shindo::RunningSettings settings{record.dt, options.window, options.step};
  shindo::RunningStart start = shindo::start_running(settings);
  if (!start.stream) {
    running.refusal = shindo::refusal_text(start.refusal, settings);
    return running;
  }
  if (with_table) running.table = running_header();
  const auto take = [&running, &record, with_table](const shindo::RunningStep& step) {
    if (with_table) {
      running.table += running_line(step, record.dt);
      running.points.push_back({step.time, step.result.shindo, step.result.fault == shindo::Fault::none});
    }
    if (step.result.fault != shindo::Fault::none) return;
    if (!running.strongest || step.result.shindo > running.strongest->intensity) {
      running.strongest = shindo::pictures::StrongestWindow{step.result.shindo, step.time};
    }
  };
  // The record's intensity was computed: its components have one length.
  static_cast<void>(start.stream->feed(record, take));
  start.stream->finish(take);
  return running;
}

}  // namespace batch
