// The texts of the files the batch program writes.
#include <bit>
#include <charconv>
#include <cstdio>
#include <string>

#include "batch/batch.h"
#include "recio/realtext.h"
#include "recio/scanner.h"

namespace batch {

namespace {

// A text recio::convert_real reads back as `value`: the shortest one, else
// 9 significant digits (always enough for a float read straight), else 17
// (enough for one read through double).
void append_value(std::string& out, float value) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string_view shortest(text, static_cast<std::size_t>(result.ptr - text));
  const auto reads_back = [&](std::string_view candidate) {
    const recio::RealConversion back = recio::convert_real(candidate);
    return back.error == 0 && std::bit_cast<std::uint32_t>(back.value) == std::bit_cast<std::uint32_t>(value);
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

// One E12.4 field as the console program's formatted records hold it:
// right-justified, twelve asterisks when the value does not fit.
void append_e12_4(std::string& out, float value) {
  constexpr int kWidth = 12;
  const recio::RealField field{recio::RealForm::E, kWidth, 4, 2, 0, false, recio::Precision::Single};
  const recio::RealText text = recio::format_real(static_cast<double>(value), field);
  if (text.overflow || text.length > kWidth) {
    out.append(kWidth, '*');
    return;
  }
  out.append(static_cast<std::size_t>(kWidth - text.length), ' ');
  out.append(text.text, static_cast<std::size_t>(text.length));
}

void append_record(std::string& out, float first, float second) {
  append_e12_4(out, first);
  append_e12_4(out, second);
  out += "\r\n";
}

// Time of sample I (counted from 1): (I-1) * dt in double, rounded once.
float sample_time(std::size_t I, float dt) { return static_cast<float>(static_cast<double>(I - 1) * dt); }

}  // namespace

std::string export_text(const readers::Record& record) {
  std::string out;
  out.reserve(record.acc1.size() * 40);
  for (std::size_t i = 0; i < record.acc1.size(); ++i) {
    append_value(out, sample_time(i + 1, record.dt));
    out += ' ';
    append_value(out, record.acc1[i]);
    out += ' ';
    append_value(out, record.acc2[i]);
    out += ' ';
    append_value(out, record.acc3[i]);
    out += '\n';
  }
  return out;
}

std::string wave_text(const shindo::Intensity& intensity) {
  std::string out;
  out.reserve(intensity.wave.size() * 26);
  for (std::size_t i = 0; i < intensity.wave.size(); ++i) {
    append_record(out, sample_time(i + 1, intensity.dt), intensity.wave[i]);
  }
  return out;
}

std::string level_table_text(const shindo::Intensity& intensity) {
  std::string out;
  out.reserve(intensity.levels.size() * 26);
  for (const shindo::LevelRow& row : intensity.levels) append_record(out, row.level, row.duration);
  return out;
}

}  // namespace batch
