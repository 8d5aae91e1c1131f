// The networks' own files: K-NET/KiK-net component files and JMA CSV files.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "readers/readers.h"
#include "numtext/reading.h"
#include "numtext/writing.h"

namespace readers {

namespace {

// Lines of a text, numbered from 1, without their LF or CR LF ends.
struct Lines {
  std::string_view text;
  std::size_t at = 0;
  std::size_t number = 0;

  bool next(std::string_view& line) {
    if (at >= text.size()) return false;
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    ++number;
    return true;
  }
};

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// When `line` starts with `label`, compared without blanks, periods and case,
// the rest of the line after it, trimmed; nullopt otherwise.
//   ("Depth (km)        8", "Depth. (km)") → "8"
std::optional<std::string_view> value_after_label(std::string_view line, std::string_view label) {
  const auto ignored = [](char c) { return c == ' ' || c == '\t' || c == '.'; };
  std::size_t i = 0;
  for (char expected : label) {
    if (ignored(expected)) continue;
    while (i < line.size() && ignored(line[i])) ++i;
    if (i == line.size() || lower(line[i]) != lower(expected)) return std::nullopt;
    ++i;
  }
  // The period of a label that ends in one.
  if (label.ends_with('.') && i < line.size() && line[i] == '.') ++i;
  return trimmed(line.substr(i));
}

// A decimal number filling the whole (trimmed) text.
std::optional<double> number_of(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown(text.substr(0, kShown));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  }
  return "\"" + shown + (text.size() > kShown ? "...\"" : "\"");
}

// Shift_JIS (with the Windows additions) to UTF-8; a byte that starts no
// character becomes U+FFFD.
std::string utf8_from_shift_jis(std::string_view text) {
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) converter = iconv_open("UTF-8", "SHIFT_JIS");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(text);
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  while (in_left > 0) {
    char* to = buffer;
    std::size_t to_left = sizeof buffer;
    const std::size_t done = iconv(converter, &in, &in_left, &to, &to_left);
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";
      ++in;
      --in_left;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(converter);
  return out;
}

// The K-NET/KiK-net header labels, in the order of the header lines.
enum KnetLabel {
  kOriginTime, kLatitude, kLongitude, kDepth, kMagnitude, kStationCode, kStationLatitude,
  kStationLongitude, kStationHeight, kRecordTime, kSamplingFrequency, kDuration, kDirection,
  kScaleFactor, kMaxAcceleration, kLastCorrection, kMemo, kHeaderLines
};
constexpr std::string_view kKnetLabels[kHeaderLines] = {
    "Origin Time", "Lat.", "Long.", "Depth. (km)", "Mag.", "Station Code", "Station Lat.",
    "Station Long.", "Station Height(m)", "Record Time", "Sampling Freq(Hz)", "Duration Time(s)",
    "Dir.", "Scale Factor", "Max. Acc. (gal)", "Last Correction", "Memo."};

constexpr std::size_t kCountsPerLine = 8;
constexpr std::ptrdiff_t kCountDigits = 12;

// The sample count Duration x frequency, when it is a whole number.
std::optional<std::size_t> expected_samples(double duration, double frequency) {
  const double product = duration * frequency;
  const double whole = std::round(product);
  if (!(whole >= 1.0) || whole > 1e9 || std::fabs(product - whole) > 1e-6 * whole) return std::nullopt;
  return static_cast<std::size_t>(whole);
}

// The number of decimals written after the point.
int decimals_of(std::string_view text) {
  const std::size_t point = text.find('.');
  return point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

// The JMA CSV sample lines as the agency writes them, "-0.018,0.000,-0.017"
// and the line end, are read in one pass over their bytes. Numbers of at most
// 15 digits without an exponent are exact in double, and so is every power of
// ten up to 10^15: their quotient, one correctly rounded division, is the
// double numtext::read_real reads, and its float the float it reads.
constexpr int kPlainDigits = 15;
constexpr std::array<double, kPlainDigits + 1> kPowersOfTen = [] {
  std::array<double, kPlainDigits + 1> powers{};
  double power = 1.0;
  for (double& entry : powers) {
    entry = power;
    power *= 10.0;
  }
  return powers;
}();

// A plain decimal at `at`: an optional sign, then 1 to 15 digits with at most
// one point, and its float; returns where it ends, or nullptr when the text
// there is no such number (read_real may still read it).
//   "-0.018,..." → -0.018f, pointing at ","
const char* plain_decimal(const char* at, const char* end, float& value) {
  const bool negative = at < end && *at == '-';
  if (at < end && (*at == '-' || *at == '+')) ++at;
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fraction = 0;
  bool point = false;
  for (; at < end; ++at) {
    const unsigned digit = static_cast<unsigned char>(*at) - static_cast<unsigned>('0');
    if (digit <= 9) {
      mantissa = mantissa * 10 + digit;
      ++digits;
      fraction += point ? 1 : 0;
    } else if (*at == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > kPlainDigits) return nullptr;
  const double exact = static_cast<double>(mantissa) / kPowersOfTen[fraction];
  value = static_cast<float>(negative ? -exact : exact);
  return at;
}

// The three values of a sample line made of plain decimals "a,b,c" and
// nothing else, with its LF or CR LF end (or the end of the text); returns
// the text after the line, or nullptr when the line is anything else, which
// the general reading then takes line by line.
//   "-0.018,0.000,-0.017\r\n..." → {-0.018f, 0.0f, -0.017f}
const char* plain_sample_line(const char* at, const char* end, float (&values)[3]) {
  for (int c = 0; c < 3; ++c) {
    at = plain_decimal(at, end, values[c]);
    if (at == nullptr) return nullptr;
    if (c < 2) {
      if (at == end || *at != ',') return nullptr;
      ++at;
    }
  }
  if (at < end && *at == '\r') ++at;
  if (at == end) return at;
  return *at == '\n' ? at + 1 : nullptr;
}

// The accelerations float((double(count) - mean) * numerator / denominator)
// written to `samples`, two at a time: each lane does the one-sample formula's
// operations in the same order with the same roundings, so the bits are the
// same. Returns the largest |a|, or nullopt when an acceleration is not a
// finite float.
//   ({-2, 0, 2}, 0, 3, 2) → {-3, 0, 3}, peak 3
std::optional<float> scale_counts(const std::vector<std::int64_t>& counts, double mean, double numerator,
                                  double denominator, float* samples) {
  using Counts2 = std::int64_t __attribute__((vector_size(16)));
  using Doubles2 = double __attribute__((vector_size(16)));
  using Floats2 = float __attribute__((vector_size(8)));
  using Bits2 = std::uint32_t __attribute__((vector_size(8)));
  using Mask2 = std::int32_t __attribute__((vector_size(8)));
  constexpr float kLargest = std::numeric_limits<float>::max();
  const std::size_t pairs = counts.size() / 2;
  Floats2 peaks = {0.0f, 0.0f};
  Mask2 finite = {-1, -1};
  for (std::size_t i = 0; i < pairs; ++i) {
    Counts2 two;
    std::memcpy(&two, counts.data() + 2 * i, sizeof two);
    const Doubles2 wide = (__builtin_convertvector(two, Doubles2) - mean) * numerator / denominator;
    const Floats2 a = __builtin_convertvector(wide, Floats2);
    std::memcpy(samples + 2 * i, &a, sizeof a);
    const auto magnitude = std::bit_cast<Floats2>(std::bit_cast<Bits2>(a) & Bits2{0x7FFFFFFF, 0x7FFFFFFF});
    finite &= magnitude <= Floats2{kLargest, kLargest};  // false for an infinity and a NaN
    peaks = peaks < magnitude ? magnitude : peaks;
  }
  bool all_finite = finite[0] != 0 && finite[1] != 0;
  float peak = std::max(peaks[0], peaks[1]);
  for (std::size_t i = 2 * pairs; i < counts.size(); ++i) {
    samples[i] = static_cast<float>((static_cast<double>(counts[i]) - mean) * numerator / denominator);
    all_finite = all_finite && std::isfinite(samples[i]);
    peak = std::max(peak, std::fabs(samples[i]));
  }
  if (!all_finite) return std::nullopt;
  return peak;
}

}  // namespace

std::string_view format_name(Format format) {
  switch (format) {
    case Format::knet: return "knet";
    case Format::kiknet: return "kiknet";
    case Format::jma_csv: return "jma-csv";
    case Format::console_text: return "text";
  }
  return "?";
}

std::string error_text(const Error& error) {
  std::string text = error.file;
  if (error.line > 0) text += ":" + std::to_string(error.line);
  return text + ": " + error.message;
}

Result<KnetFile> read_knet_file(std::string_view file, std::string_view text) {
  KnetFile result;
  result.file = std::string(file);
  Metadata& meta = result.metadata;
  Component& component = meta.components[0];
  component.file = result.file;
  const auto fail = [&](std::size_t line, std::string message) -> Result<KnetFile> {
    return Error{result.file, line, std::move(message)};
  };

  Lines lines{text};
  std::string_view values[kHeaderLines];
  for (int label = 0; label < kHeaderLines; ++label) {
    std::string_view line;
    if (!lines.next(line)) return fail(0, "the header ends after " + std::to_string(label) + " of 17 lines");
    const std::optional<std::string_view> value = value_after_label(line, kKnetLabels[label]);
    if (!value) {
      return fail(lines.number, "expected the header line \"" + std::string(kKnetLabels[label]) + "\", found " +
                                    quoted(line));
    }
    values[label] = *value;
  }
  const auto header_number = [&](int label) { return number_of(values[label]); };
  const auto bad_value = [&](int label) {
    return fail(static_cast<std::size_t>(label) + 1,
                "bad " + std::string(kKnetLabels[label]) + " value " + quoted(values[label]));
  };

  meta.origin_time = std::string(values[kOriginTime]);
  meta.epicentre_latitude = header_number(kLatitude);
  meta.epicentre_longitude = header_number(kLongitude);
  meta.epicentre_depth = header_number(kDepth);
  meta.magnitude = header_number(kMagnitude);
  meta.station_code = std::string(values[kStationCode]);
  if (meta.station_code.empty()) return bad_value(kStationCode);
  meta.station_latitude = header_number(kStationLatitude);
  meta.station_longitude = header_number(kStationLongitude);
  meta.station_height = header_number(kStationHeight);
  meta.record_time = std::string(values[kRecordTime]);
  meta.last_correction = std::string(values[kLastCorrection]);

  std::string_view frequency_text = values[kSamplingFrequency];
  if (frequency_text.size() >= 2 && lower(frequency_text[frequency_text.size() - 2]) == 'h' &&
      lower(frequency_text.back()) == 'z') {
    frequency_text.remove_suffix(2);
  }
  const std::optional<double> frequency = number_of(frequency_text);
  if (!frequency || !(*frequency > 0.0)) return bad_value(kSamplingFrequency);
  meta.sampling_frequency = *frequency;
  const std::optional<double> duration = number_of(values[kDuration]);
  if (!duration || !(*duration > 0.0)) return bad_value(kDuration);
  result.duration = *duration;
  const std::optional<std::size_t> samples = expected_samples(*duration, *frequency);
  if (!samples) return bad_value(kDuration);

  component.direction = std::string(values[kDirection]);
  // "N(gal)/D"
  const std::string_view scale = values[kScaleFactor];
  const std::size_t unit = scale.find("(gal)/");
  if (unit == std::string_view::npos) return bad_value(kScaleFactor);
  const std::optional<double> numerator = number_of(scale.substr(0, unit));
  const std::optional<double> denominator = number_of(scale.substr(unit + 6));
  if (!numerator || !denominator || !(*denominator != 0.0)) return bad_value(kScaleFactor);
  component.scale_numerator = *numerator;
  component.scale_denominator = *denominator;
  component.header_peak = number_of(values[kMaxAcceleration]);
  component.header_peak_text = std::string(values[kMaxAcceleration]);

  // The counts. Room is reserved only for as many as the text can hold (each takes a digit and a blank
  // or line end), so that a header's duration never sizes more than the data confirm.
  result.counts.reserve(std::min(*samples, text.size() / 2 + 1));
  // One pass over the rest of the text: a line's end (its LF, the CR just before it, or the end of the
  // text) is met on the way rather than looked for first.
  const char* const text_end = text.data() + text.size();
  const auto line_ends = [text_end](const char* at) {
    return at == text_end || *at == '\n' || (*at == '\r' && (at + 1 == text_end || at[1] == '\n'));
  };
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const char* at = text.data() + std::min(lines.at, text.size());
  std::size_t line_number = lines.number;
  std::size_t short_line = 0;  // a line with fewer than 8 counts, which must be the last
  while (at < text_end) {
    ++line_number;
    std::size_t on_line = 0;
    for (;;) {
      while (at < text_end && blank(*at)) ++at;
      if (line_ends(at)) break;
      // A signed decimal integer of at most 12 digits, up to a blank or the line end.
      const char* token = at;
      const bool negative = *at == '-';
      if (*at == '-' || *at == '+') ++at;
      const char* digits = at;
      std::int64_t count = 0;
      while (at < text_end && static_cast<unsigned>(*at - '0') <= 9 && at - digits < kCountDigits) {
        count = count * 10 + (*at - '0');
        ++at;
      }
      if (at == digits || (!(at < text_end && blank(*at)) && !line_ends(at))) {
        while (!line_ends(at) && !blank(*at)) ++at;
        return fail(line_number, "not an integer count: " + quoted(std::string_view(token, static_cast<std::size_t>(at - token))));
      }
      if (short_line != 0) {
        return fail(short_line, "a line of fewer than 8 counts before the last line of counts");
      }
      result.counts.push_back(negative ? -count : count);
      ++on_line;
    }
    if (on_line > kCountsPerLine) return fail(line_number, "more than 8 counts on a line");
    if (on_line > 0 && on_line < kCountsPerLine) short_line = line_number;
    // Past the line end: a CR LF, an LF, or a CR that ends the text.
    if (at < text_end && *at == '\r') ++at;
    if (at < text_end) ++at;
  }
  if (result.counts.size() != *samples) {
    return fail(0, std::to_string(result.counts.size()) + " counts where Duration x frequency gives " +
                       std::to_string(*samples) + (result.counts.size() < *samples ? " (the file is cut short)" : ""));
  }
  return result;
}

Result<Record> join_knet_record(std::string_view name, Format format, std::span<const KnetFile, 3> files,
                                Offset offset) {
  Record record;
  record.name = std::string(name);
  record.format = format;
  record.metadata = files[0].metadata;
  const KnetFile& first = files[0];
  for (std::size_t c = 1; c < 3; ++c) {
    const KnetFile& other = files[c];
    const auto mismatch = [&](const std::string& what, const std::string& a, const std::string& b) {
      return Error{other.file, 0, what + " " + b + " differs from " + a + " of " + first.file};
    };
    if (other.metadata.station_code != first.metadata.station_code) {
      return mismatch("station", first.metadata.station_code, other.metadata.station_code);
    }
    if (other.metadata.sampling_frequency != first.metadata.sampling_frequency) {
      return mismatch("sampling frequency", numtext::shortest_text(first.metadata.sampling_frequency),
                      numtext::shortest_text(other.metadata.sampling_frequency));
    }
    if (other.counts.size() != first.counts.size()) {
      return mismatch("sample count", std::to_string(first.counts.size()), std::to_string(other.counts.size()));
    }
  }
  // The interval must be a float above 0: a frequency of 1e-40 Hz or 1e300 Hz
  // gives none.
  const float dt = static_cast<float>(1.0 / first.metadata.sampling_frequency);
  if (!std::isfinite(dt) || !(dt > 0.0f)) {
    return Error{first.file, 0, "the sampling frequency " + numtext::shortest_text(first.metadata.sampling_frequency) +
                                    " Hz gives no single-precision sampling interval"};
  }
  std::vector<float>* targets[3] = {&record.acc1, &record.acc2, &record.acc3};
  for (std::size_t c = 0; c < 3; ++c) {
    const KnetFile& source = files[c];
    Component component = source.metadata.components[0];
    const double numerator = component.scale_numerator;
    const double denominator = component.scale_denominator;
    double mean = 0.0;
    if (offset == Offset::remove_mean && !source.counts.empty()) {
      // Counts have at most 12 digits; a sum of 128 bits cannot overflow for any length that fits memory.
      __extension__ using Sum = __int128;
      Sum sum = 0;
      for (std::int64_t count : source.counts) sum += count;
      mean = static_cast<double>(sum) / static_cast<double>(source.counts.size());
    }
    std::vector<float>& target = *targets[c];
    target.resize(source.counts.size());
    const std::optional<float> peak = scale_counts(source.counts, mean, numerator, denominator, target.data());
    if (!peak) {
      return Error{source.file, 0, "the scale factor " + numtext::shortest_text(numerator) + "/" +
                                       numtext::shortest_text(denominator) +
                                       " gives accelerations beyond the single-precision range"};
    }
    component.offset = mean * numerator / denominator;
    if (offset == Offset::remove_mean && component.header_peak) {
      // The header's peak is printed rounded: the record's must round to it.
      const double unit = std::pow(10.0, -decimals_of(component.header_peak_text));
      if (std::fabs(static_cast<double>(*peak) - *component.header_peak) > 0.5 * unit * (1.0 + 1e-6)) {
        char shown[64];
        std::snprintf(shown, sizeof shown, "%.*f", decimals_of(component.header_peak_text),
                      static_cast<double>(*peak));
        record.warnings.push_back(source.file + ": Max. Acc. " + component.header_peak_text +
                                  " gal in the header, " + shown + " gal in the record");
      }
    }
    record.metadata.components[c] = std::move(component);
  }
  record.dt = dt;
  return record;
}

Result<Record> read_jma_csv(std::string_view file, std::string_view bytes) {
  Record record;
  record.name = std::string(file);
  record.format = Format::jma_csv;
  Metadata& meta = record.metadata;
  const auto fail = [&](std::size_t line, std::string message) -> Result<Record> {
    return Error{std::string(file), line, std::move(message)};
  };
  Lines lines{bytes};
  std::string_view line;
  // A line without the empty fields a spreadsheet adds at its end: "NS,EW,UD,,,,," → "NS,EW,UD".
  const auto next = [&lines](std::string_view& read) {
    if (!lines.next(read)) return false;
    while (!read.empty() && (read.back() == ',' || read.back() == ' ' || read.back() == '\t')) read.remove_suffix(1);
    return true;
  };

  // SITE CODE= CCCname   ,lat,lon,depth,magnitude,origin day,...
  if (!next(line)) return fail(0, "an empty file");
  if (!line.starts_with("SITE CODE=")) return fail(1, "expected \"SITE CODE=\", found " + quoted(line));
  std::string_view rest = line.substr(10);
  if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const std::size_t comma = rest.find(',');
  const std::string_view code_and_name = rest.substr(0, comma);
  if (code_and_name.size() < 3) return fail(1, "no 3-character station code after \"SITE CODE=\"");
  meta.station_code = std::string(code_and_name.substr(0, 3));
  meta.station_name = utf8_from_shift_jis(trimmed(code_and_name.substr(3)));
  if (comma != std::string_view::npos) {
    std::optional<double> origin_day;
    std::optional<double>* epicentre[] = {&meta.epicentre_latitude, &meta.epicentre_longitude,
                                          &meta.epicentre_depth, &meta.magnitude, &origin_day};
    std::string_view fields = rest.substr(comma + 1);
    for (std::optional<double>* target : epicentre) {
      const std::size_t end = fields.find(',');
      *target = number_of(fields.substr(0, end));
      if (end == std::string_view::npos) break;
      fields.remove_prefix(end + 1);
    }
    if (origin_day) meta.origin_time = header_time_of_day_number(*origin_day);
  }

  const auto header = [&](std::string_view label) -> std::optional<std::string_view> {
    if (!next(line)) return std::nullopt;
    return value_after_label(line, label);
  };
  const auto missing = [&](std::string_view label) {
    return fail(lines.number, "expected \"" + std::string(label) + "\", found " + quoted(line));
  };
  const std::optional<std::string_view> latitude = header("LAT.=");
  if (!latitude) return missing("LAT.=");
  const std::optional<std::string_view> longitude = header("LON.=");
  if (!longitude) return missing("LON.=");
  meta.station_latitude = number_of(*latitude);
  meta.station_longitude = number_of(*longitude);
  if (!meta.station_latitude || !meta.station_longitude) return fail(lines.number, "bad station position");
  if (*meta.station_latitude == 0.0 && *meta.station_longitude == 0.0) {
    meta.station_latitude.reset();
    meta.station_longitude.reset();
  }
  std::optional<std::string_view> rate = header("SAMPLING RATE=");
  if (!rate) return missing("SAMPLING RATE=");
  std::string_view rate_text = *rate;
  if (rate_text.size() >= 2 && lower(rate_text[rate_text.size() - 2]) == 'h' && lower(rate_text.back()) == 'z') {
    rate_text.remove_suffix(2);
  }
  const std::optional<double> frequency = number_of(rate_text);
  if (!frequency || !(*frequency > 0.0)) return fail(lines.number, "bad sampling rate " + quoted(*rate));
  meta.sampling_frequency = *frequency;
  const std::optional<std::string_view> unit = header("UNIT =");
  if (!unit) return missing("UNIT =");
  if (!unit->starts_with("gal")) return fail(lines.number, "unit " + quoted(*unit) + " is not gal");
  const std::optional<std::string_view> initial = header("INITIAL TIME =");
  if (!initial) return missing("INITIAL TIME =");
  {
    // "yyyy mm dd hh mm ss" → "yyyy/mm/dd hh:mm:ss"
    std::string time;
    std::string_view fields = *initial;
    const char separators[] = {'/', '/', ' ', ':', ':'};
    for (int field = 0; field < 6; ++field) {
      fields = trimmed(fields);
      const std::size_t end = std::min(fields.find(' '), fields.size());
      if (end == 0) return fail(lines.number, "bad initial time " + quoted(*initial));
      time += fields.substr(0, end);
      if (field < 5) time += separators[field];
      fields.remove_prefix(end);
    }
    meta.record_time = time;
  }
  if (!next(line) || trimmed(line) != "NS,EW,UD") return missing("NS,EW,UD");
  meta.components[0].direction = "NS";
  meta.components[1].direction = "EW";
  meta.components[2].direction = "UD";
  for (Component& component : meta.components) component.file = std::string(file);

  std::vector<float>* targets[3] = {&record.acc1, &record.acc2, &record.acc3};
  for (std::vector<float>* target : targets) target->reserve(bytes.size() / 20);
  // Plain lines' values gather here and join the components a few hundred at a time.
  constexpr std::size_t kGathered = 256;
  float gathered[3][kGathered];
  std::size_t held = 0;
  const auto append_gathered = [&] {
    for (int c = 0; c < 3; ++c) targets[c]->insert(targets[c]->end(), gathered[c], gathered[c] + held);
    held = 0;
  };
  const char* const bytes_end = bytes.data() + bytes.size();
  for (;;) {
    if (lines.at < bytes.size()) {
      float values[3];
      if (const char* after = plain_sample_line(bytes.data() + lines.at, bytes_end, values)) {
        for (int c = 0; c < 3; ++c) gathered[c][held] = values[c];
        if (++held == kGathered) append_gathered();
        lines.at = static_cast<std::size_t>(after - bytes.data());
        ++lines.number;
        continue;
      }
    }
    if (held > 0) append_gathered();
    if (!next(line)) break;
    if (trimmed(line).empty()) continue;
    std::string_view fields = line;
    for (int c = 0; c < 3; ++c) {
      const std::size_t end = fields.find(',');
      if ((c < 2) == (end == std::string_view::npos)) {
        return fail(lines.number, "a sample line needs three values NS,EW,UD: " + quoted(line));
      }
      const std::string_view value = trimmed(fields.substr(0, end));
      const numtext::RealReading conversion = numtext::read_real(value);
      if (value.empty() || conversion.error != numtext::ReadError::none) return fail(lines.number, "not a number: " + quoted(value));
      targets[c]->push_back(conversion.value);
      if (end != std::string_view::npos) fields.remove_prefix(end + 1);
    }
  }
  if (record.acc1.empty()) return fail(0, "no samples");
  record.dt = static_cast<float>(1.0 / *frequency);
  return record;
}

}  // namespace readers
