// The mathematical functions of the computation, in double precision. Where
// the console program reports a MATH condition (the square root of a negative
// value, the logarithm of a value that is not positive) the function gives
// the fault as a value instead.
#pragma once

#include "core/complex.h"
#include "shindo/compute.h"

namespace shindo::core {

// A function value, or the fault that stopped it (then `value` is 0).
struct MathValue {
  double value = 0.0;
  Fault fault = Fault::none;
};

// sqrt(x); Fault::sqrt_domain for x < 0.
MathValue checked_sqrt(double x);

// log10(x); Fault::log10_singularity for +0 and -0, Fault::log10_domain below 0.
MathValue checked_log10(double x);

// exp(x) of an argument that is never positive here (the low cut's -(2f)^3
// once f is known to be positive): its result lies in (0, 1], and an
// argument so negative that it underflows gives 0 silently.
double exponential(double x);

// exp(i angle) rounded to floats, for |angle| <= pi (the twiddle factors of
// a transform): cos and sin in double precision, each rounded once.
ComplexFloat unit_exponential(float angle);

}  // namespace shindo::core
