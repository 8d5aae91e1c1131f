// Writing numbers as text.
#include "numtext/writing.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "numtext/reading.h"
#include "numtext/real_digits.h"

namespace numtext {

namespace {

template <class Real>
std::string shortest_of(Real value) {
  std::array<char, 64> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (error != std::errc{}) return "?";
  return std::string(buffer.data(), end);
}

// One E12.4 field as the console program's formatted records hold it:
// right-justified, twelve asterisks when the value does not fit.
void append_e12_4(std::string& out, float value) {
  constexpr int kWidth = 12;
  const RealField field{RealForm::E, kWidth, 4, 2, 0, false, Precision::Single};
  const RealText text = format_real(static_cast<double>(value), field);
  if (text.overflow || text.length > kWidth) {
    out.append(kWidth, '*');
    return;
  }
  out.append(static_cast<std::size_t>(kWidth - text.length), ' ');
  out.append(text.text, static_cast<std::size_t>(text.length));
}

}  // namespace

std::string shortest_text(float value) { return shortest_of(value); }
std::string shortest_text(double value) { return shortest_of(value); }

void append_fixed(std::string& out, double value, int decimals) {
  // Most texts are coordinates and labels: scaled to an integer, rounded
  // half away from zero and written as digits, which is several times faster
  // than a general conversion. Larger values and more decimals take that.
  constexpr std::array<double, 7> kScale = {1, 10, 100, 1000, 10000, 100000, 1000000};
  if (decimals >= 0 && decimals < static_cast<int>(kScale.size()) && std::fabs(value) < 1e12) {
    const double scaled = value * kScale[static_cast<std::size_t>(decimals)];
    auto magnitude = static_cast<unsigned long long>(std::floor(std::fabs(scaled) + 0.5));
    std::array<char, 32> digits{};
    char* first = digits.data() + digits.size();
    for (int i = 0; i < decimals; ++i, magnitude /= 10) *--first = static_cast<char>('0' + magnitude % 10);
    if (decimals > 0) *--first = '.';
    do {
      *--first = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    const bool zero = std::floor(std::fabs(scaled) + 0.5) == 0.0;
    if (scaled < 0.0 && !zero) *--first = '-';
    out.append(first, static_cast<std::size_t>(digits.data() + digits.size() - first));
    return;
  }
  std::array<char, 512> buffer{};
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  if (error != std::errc{}) {
    out += '?';
    return;
  }
  const std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  const bool negative_zero = text.starts_with('-') && text.find_first_not_of("-0.") == std::string_view::npos;
  out += negative_zero ? text.substr(1) : text;
}

std::string fixed_text(double value, int decimals) {
  std::string text;
  append_fixed(text, value, decimals);
  return text;
}

// Read back through read_real: the shortest text, else 9 significant
// digits (always enough for a float read straight), else 17 (enough for one
// read through double).
void append_console_number(std::string& out, float value) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string_view shortest(text, static_cast<std::size_t>(result.ptr - text));
  const auto reads_back = [&](std::string_view candidate) {
    const RealReading back = read_real(candidate);
    return back.error == ReadError::none && std::bit_cast<std::uint32_t>(back.value) == std::bit_cast<std::uint32_t>(value);
  };
  if (reads_back(shortest)) {
    out += shortest;
    return;
  }
  for (int digits : {9, 17}) {
    const int length = std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (reads_back(std::string_view(text, static_cast<std::size_t>(length))) || digits == 17) {
      out.append(text, static_cast<std::size_t>(length));
      return;
    }
  }
}

std::string reported_text(std::int32_t tenths) {
  const long long value = tenths;
  const long long magnitude = std::llabs(value);
  return (value < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::string seconds_text(double seconds, float dt) {
  // The decimals that show the interval as it was written (0.01f: 2), at most 9.
  int decimals = 0;
  char text[64];
  for (; decimals < 9; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(dt));
    if (std::strtof(text, nullptr) == dt) break;
  }
  std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  std::string shown(text);
  if (shown.find('.') != std::string::npos) {
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.') shown.pop_back();
  }
  return shown;
}

void append_e12_4_pair(std::string& out, float first, float second) {
  append_e12_4(out, first);
  append_e12_4(out, second);
  out += "\r\n";
}

}  // namespace numtext
