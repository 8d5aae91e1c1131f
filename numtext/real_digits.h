// Real-number text: the decimal digits of a real value (DecimalDigits) and
// their placement into the list form or an edit form (RealField). Digits and
// layout are kept apart: decimal_digits() generates, format_real() places.
#pragma once

#include <cstdint>
#include <string>

namespace numtext {

// The value is 0.d1d2d3... times 10 to the power exp10. The placement works
// from `significand`; `digits` is its text.
struct DecimalDigits {
  char sign = ' ';       // '-' or ' '
  int exp10 = 0;
  char digits[18] = {};  // 1 to 17 digits, NUL-terminated; d1 not 0 and no trailing zeros
  int count = 0;         // number of digits ("0" for zero, with exp10 0 and a blank sign)
  std::uint64_t significand = 0;  // d1...d17 as one integer, trailing zeros included (0 for zero)
  bool finite = true;
  const char* special = "";  // not finite: "1#INF", "1#IND", "1#QNAN" or "1#SNAN"
};

enum class RealForm { List, E, D };
enum class Precision { Single, Double };

struct RealField {
  RealForm form = RealForm::List;
  int w = 15;
  int d = 6;
  int e = 2;
  int k = 0;
  bool plus_sign = false;
  Precision precision = Precision::Single;
};

// The list-form requests.
inline constexpr RealField kListSingle{RealForm::List, 15, 6, 2, 0, false, Precision::Single};
inline constexpr RealField kListDouble{RealForm::List, 24, 15, 3, 0, false, Precision::Double};

// The value's 17 significant digits: the exact decimal expansion cut to 18
// digits and rounded half up by the 18th.
DecimalDigits decimal_digits(double value);

// The text of `value` for `field`, without leading blanks, NUL-terminated.
// `overflow` is set (and the text is empty) when the exponent needs more
// digits than allowed, when an edit form's scale factor k lies outside
// -d..d+1, or when the text would not fit `text`; the caller then fills the
// field with asterisks.
struct RealText {
  char text[64];
  int length = 0;
  bool overflow = false;
};
RealText format_real(double value, const RealField& field);

}  // namespace numtext
