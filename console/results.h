// The console run's output of a computed intensity: the console lines from
// the transform size to Shindo, the files wave1_dat and a0tau_dat and the
// results on unit 10, written from the result of the computing core up to
// the point where its computation stopped, then the MATH report of its fault.
#pragma once

#include <string_view>

#include "shindo/intensity.h"

namespace recio {
enum class MathError;  // recio/errors.h
}

namespace console {

// The run-time error report of a fault of the computation: the mathematical
// error the console program reports, after the name of the function that
// found it when there is one.
struct MathReport {
  shindo::Fault fault;
  recio::MathError error;
  std::string_view function;
};

// The report of `fault`; none for a fault the console's records never give
// (the refusals of the input stage) or for no fault.
const MathReport* math_report(shindo::Fault fault);

// Writes everything the run shows of `result`; a fault ends the run with its
// report at the point where the computation stopped.
void write_results(const shindo::Intensity& result);

}  // namespace console
