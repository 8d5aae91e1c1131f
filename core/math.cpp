#include "core/math.h"

#include <cmath>

namespace shindo::core {

MathValue checked_sqrt(double x) {
  if (x < 0.0) return {0.0, Fault::sqrt_domain};
  return {std::sqrt(x), Fault::none};
}

MathValue checked_log10(double x) {
  if (x == 0.0) return {0.0, Fault::log10_singularity};
  if (x < 0.0) return {0.0, Fault::log10_domain};
  return {std::log10(x), Fault::none};
}

double exponential(double x) { return std::exp(x); }

ComplexFloat unit_exponential(float angle) {
  const double y = angle;
  return {static_cast<float>(std::cos(y)), static_cast<float>(std::sin(y))};
}

}  // namespace shindo::core
