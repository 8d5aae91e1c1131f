// A slow, exact reference for the decimal digits of a real value: the full
// decimal expansion of a double by digit-string arithmetic, and the 17-digit
// form cut from it. Used to check decimal_digits() in tests and fuzzing.
#pragma once

#include <string>

#include "recio/realtext.h"

namespace recio::testing {

// A finite value as sign, 0.digits times 10 to the power exp10, with every
// significant digit of its exact value and no trailing zeros; zero is "0"
// with exp10 0.
struct ExactDecimal {
  bool negative = false;
  std::string digits;
  int exp10 = 0;
};

ExactDecimal exact_decimal(double value);

// The decimal digits of any value, built from exact_decimal(): the expansion
// cut to 18 digits and rounded half up to 17 by the 18th.
DecimalDigits reference_decimal_digits(double value);

}  // namespace recio::testing
