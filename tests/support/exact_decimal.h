// A slow, exact reference for the decimal digits of a real value: the full
// decimal expansion of a double by digit-string arithmetic, the 17-digit form
// cut from it, and the text composed from that form. Used to check
// decimal_digits() and format_real() in tests, fuzzing and the float sweep.
#pragma once

#include <string>

#include "numtext/real_digits.h"

namespace numtext::testing {

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

// The first part in which two digit forms differ, as "part: a / b", or ""
// when they are the same (the digits of a value that is not finite do not count).
std::string digits_difference(const DecimalDigits& a, const DecimalDigits& b);

// The text of a value, given by its 17-digit decimal form, in the list form
// or in the E or D edit form with scale factor 0: the digit counts of the
// form, rounding half up by the next digit with the carry through nines, the
// sign, the point and the exponent with its letter and width. `overflow` (and
// no text) when the exponent needs more digits than it is allowed. Edit forms
// with another scale factor throw std::invalid_argument.
struct ReferenceText {
  std::string text;
  bool overflow = false;
};
ReferenceText reference_real_text(const DecimalDigits& digits, const RealField& field);

}  // namespace numtext::testing
