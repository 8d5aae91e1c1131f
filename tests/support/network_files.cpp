#include "tests/support/network_files.h"

#include <cmath>
#include <cstdio>

namespace shindo::testing {

namespace {

std::string header_line(const std::string& label, const std::string& value) {
  std::string line = label;
  line.resize(18, ' ');
  return line + value + "\n";
}

}  // namespace

std::string knet_text(const KnetFileSpec& spec) {
  std::string max_acc = spec.max_acc;
  if (max_acc.empty()) {
    double sum = 0.0;
    for (std::int64_t count : spec.counts) sum += static_cast<double>(count);
    const double mean = spec.counts.empty() ? 0.0 : sum / static_cast<double>(spec.counts.size());
    double peak = 0.0;
    for (std::int64_t count : spec.counts) {
      peak = std::fmax(peak, std::fabs((static_cast<double>(count) - mean) * static_cast<double>(spec.scale_numerator) /
                                       static_cast<double>(spec.scale_denominator)));
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", peak);
    max_acc = text;
  }
  std::string duration = spec.duration;
  if (duration.empty()) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(spec.counts.size()) / 100.0);
    duration = text;
  }
  std::string text = header_line("Origin Time", "2008/06/14 08:43:00") + header_line("Lat.", "39.028") +
                     header_line("Long.", "140.880") + header_line("Depth. (km)", "8") +
                     header_line("Mag.", "7.2") + header_line("Station Code", spec.station) +
                     header_line("Station Lat.", "40.6363") + header_line("Station Long.", "139.9284") +
                     header_line("Station Height(m)", "42") + header_line("Record Time", "2008/06/14 08:44:18") +
                     header_line("Sampling Freq(Hz)", spec.frequency) + header_line("Duration Time(s)", duration) +
                     header_line("Dir.", spec.direction) +
                     header_line("Scale Factor", std::to_string(spec.scale_numerator) + "(gal)/" +
                                                     std::to_string(spec.scale_denominator)) +
                     header_line("Max. Acc. (gal)", max_acc) + header_line("Last Correction", "2008/06/14 08:44:03") +
                     header_line("Memo.", "");
  for (std::size_t i = 0; i < spec.counts.size(); ++i) {
    char field[32];
    std::snprintf(field, sizeof field, "%9lld", static_cast<long long>(spec.counts[i]));
    text += field;
    if (i % 8 == 7 || i + 1 == spec.counts.size()) text += " \n";
  }
  return text;
}

std::string jma_csv_text(const JmaCsvSpec& spec) {
  std::string text = "SITE CODE= " + spec.code + spec.name_shift_jis +
                     "          ,35.2733,133.3483,  9,7.3,36805.5627072,  3.62,  6.15\r\n" + " LAT.=   " +
                     spec.latitude + "\r\n LON.=  " + spec.longitude + "\r\n SAMPLING RATE= " + spec.rate +
                     "\r\n UNIT  = gal(cm/s/s)\r\nINITIAL TIME = 2000 10 06 13 30 10\r\n NS,EW,UD\r\n";
  for (const std::string& line : spec.lines) text += line + "\r\n";
  return text;
}

}  // namespace shindo::testing
