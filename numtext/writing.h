// Writing numbers as text: the shortest text of a value, fixed-point text
// for pictures, the text the console program reads back to the same float,
// the reported intensity, times, and the two-field E12.4 records of the
// console program's files. All of it independent of the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace numtext {

// The shortest text that a correctly rounding reader reads back as the same
// value: 0.01f → "0.01", 125.9082f → "125.9082", 1e-05f → "1e-05",
// 40.6363 (double) → "40.6363".
[[nodiscard]] std::string shortest_text(float value);
[[nodiscard]] std::string shortest_text(double value);

// Fixed-point text with `decimals` digits after the point, rounded half away
// from zero; -0 is written as 0.
//   (73.40448, 2) → "73.40",  (-0.001, 1) → "0.0",  (2.25, 1) → "2.3"
[[nodiscard]] std::string fixed_text(double value, int decimals);
// The same text appended to `out`, for the many coordinates of a picture.
void append_fixed(std::string& out, double value, int decimals);

// Appends a text that read_real (the console program's reading) reads back
// as `value`: the shortest one, else 9 significant digits, else 17.
//   0.01f → "0.01",  -247.0f → "-247"
void append_console_number(std::string& out, float value);

// A reported intensity in tenths with one decimal: 51 → "5.1", -1 → "-0.1",
// 0 → "0.0".
[[nodiscard]] std::string reported_text(std::int32_t tenths);

// A time that is a whole number of intervals `dt`, with as many decimals as
// the interval needs, trailing zeros dropped (a float interval leaves n * dt
// a little off the decimal time):
//   (4800 * 0.01f, 0.01f) → "48" (not 47.99999893),  (0.995, 0.005f) → "0.995"
[[nodiscard]] std::string seconds_text(double seconds, float dt);

// The time of sample I, counted from 1, as the console program's files give
// it: (I - 1) * dt in double, rounded once.  (1, 0.01f) → 0.0f, (3, 0.01f) → 0.02f
[[nodiscard]] constexpr float sample_time(std::int64_t I, float dt) noexcept {
  return static_cast<float>(static_cast<double>(I - 1) * static_cast<double>(dt));
}

// Appends one record of two E12.4 fields ended by CR LF, as the console
// program's files wave1_dat and a0tau_dat hold them; a value that does not
// fit its field is twelve asterisks.
//   (0.01f, 125.9082f) → "  0.1000E-01  0.1259E+03\r\n"
void append_e12_4_pair(std::string& out, float first, float second);

}  // namespace numtext
