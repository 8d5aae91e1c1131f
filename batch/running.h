// A record's running intensity in the batch program: its strongest window
// for the record's row and, when asked, the table of its steps and the
// points of its picture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/options.h"
#include "pictures/pictures.h"
#include "shindo/intensity.h"

namespace batch {

// A record's running intensity with the window and step of `options`: the
// strongest computed window, the table of steps when asked, or why the
// window or step was refused for this record's interval.
struct RunningOfRecord {
  std::optional<shindo::pictures::StrongestWindow> strongest;  // none when no window was computed
  std::string table;                                   // when asked: running_header() and a line a step
  std::vector<shindo::pictures::RunningPoint> points;  // when asked, for the picture
  std::string refusal;
};

//   70 s at 0.01 s, window 60 s, step 1 s, with_table → strongest: the highest
//   computed step and the time at its window's end; table: running_header()
//   and one running_line a step; points: one a step
//   a step shorter than the interval → refusal only
[[nodiscard]] RunningOfRecord running_of_record(const shindo::Record& record, const Options& options,
                                                bool with_table);

}  // namespace batch
