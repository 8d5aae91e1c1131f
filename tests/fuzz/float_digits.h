// The 17-digit decimal form of a float by exact integer arithmetic fitted to
// the float exponent range: fast enough to check every float bit pattern, and
// independent of the generator it checks.
#pragma once

#include <cstdint>

#include "numtext/real_digits.h"

namespace shindo::fuzzing {

// The decimal digits of the float with these bits, widened to double: the
// first 18 significant digits exactly, rounded half up by the 18th to 17.
// Zero and the values that are not finite take the forms of the slow
// reference.
numtext::DecimalDigits float_decimal_digits(std::uint32_t bits);

}  // namespace shindo::fuzzing
