// The one sentence that tells a person why a computation stopped: the fault
// and the stage it happened in. The record's picture, the batch program's
// table, its running intensity and --follow all say it this way.
#pragma once

#include <shindo/intensity.h>

#include <string>

namespace shindo::pictures {

// The fault's text and, in parentheses, the stage's name:
//   (Fault::log10_singularity, Stage::intensity)
//     → "log10 of 0: no level lasts more than 0.299 s (intensity)"
[[nodiscard]] std::string describe_fault(Fault fault, Stage stage);

}  // namespace shindo::pictures
