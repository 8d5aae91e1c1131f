// The building blocks shared by the record pictures and the report: escaped
// text, encoded links, class colours, round ticks and number texts.
#include "pictures/pictures.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace shindo::pictures {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence of a character XML allows at the
// start of `text`, or 0 when there is none.
std::size_t valid_sequence_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool overlong = code < smallest[length];
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  const bool not_a_character = code == 0xFFFE || code == 0xFFFF;
  if (overlong || surrogate || not_a_character || code > 0x10FFFF) return 0;
  return length;
}

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
};

std::optional<Rgb> parse_hex_colour(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  int parts[3] = {};
  for (int i = 0; i < 3; ++i) {
    const char* first = text.data() + 1 + 2 * i;
    const auto [end, error] = std::from_chars(first, first + 2, parts[i], 16);
    if (error != std::errc{} || end != first + 2) return std::nullopt;
  }
  return Rgb{parts[0], parts[1], parts[2]};
}

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
double relative_luminance(Rgb colour) {
  const auto linear = [](int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) + 0.0722 * linear(colour.blue);
}

// One step of 1, 2 or 5 x 10^k that divides `span` into about `target` parts.
double round_step(double span, int target) {
  const double raw = span / std::max(target, 1);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * magnitude >= raw * (1.0 - 1e-9)) return multiple * magnitude;
  }
  return 10.0 * magnitude;
}

}  // namespace

std::string valid_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = static_cast<unsigned char>(text[i]) < 0x80 ? 1 : valid_sequence_length(text.substr(i));
    if (length == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string escape_xml(std::string_view text) {
  const std::string valid = valid_utf8(text);
  std::string out;
  out.reserve(valid.size() + valid.size() / 8);
  for (const char ch : valid) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\t':
      case '\n':
      case '\r': out += ch; break;
      default:
        if (c < 0x20) {
          out += kReplacement;
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string percent_encode_path(std::string_view path) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const char ch : path) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~' || c == '/';
    if (unreserved) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0Fu];
    }
  }
  return out;
}

std::string_view class_colour(IntensityClass c) {
  // The agency's colour guide for its web pages; class 0 has no colour of its own.
  constexpr std::array<std::string_view, 10> kColours = {
      "#FFFFFF", "#F2F2FF", "#00AAFF", "#0041FF", "#FAE696",
      "#FFE600", "#FF9900", "#FF2800", "#A50021", "#B40068"};
  return kColours[static_cast<std::size_t>(c)];
}

std::string_view text_colour_on(std::string_view background) {
  const std::optional<Rgb> colour = parse_hex_colour(background);
  if (!colour) return "#000000";
  const double luminance = relative_luminance(*colour);
  const double contrast_with_black = (luminance + 0.05) / 0.05;
  const double contrast_with_white = 1.05 / (luminance + 0.05);
  return contrast_with_black >= contrast_with_white ? "#000000" : "#FFFFFF";
}

namespace {

// The multiples of `step` from low to high.
Ticks ticks_of_step(double low, double high, double step) {
  Ticks ticks;
  ticks.step = step;
  ticks.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(ticks.step) + 1e-9)));
  const auto first = static_cast<long long>(std::ceil(low / ticks.step - 1e-9));
  const auto last = static_cast<long long>(std::floor(high / ticks.step + 1e-9));
  for (long long k = first; k <= last; ++k) ticks.values.push_back(static_cast<double>(k) * ticks.step);
  return ticks;
}

}  // namespace

Ticks round_ticks(double low, double high, int target) {
  if (!std::isfinite(low) || !std::isfinite(high)) {
    low = 0.0;
    high = 1.0;
  }
  if (!(high > low)) high = low + (low == 0.0 ? 1.0 : std::fabs(low));
  return ticks_of_step(low, high, round_step(high - low, target));
}

Ticks ticks_up_to(double value, int target) {
  if (!(value > 0.0) || !std::isfinite(value)) value = 1.0;
  const double step = round_step(value, target);
  return ticks_of_step(0.0, std::ceil(value / step - 1e-9) * step, step);
}

}  // namespace shindo::pictures
