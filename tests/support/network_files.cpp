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

std::string knet_text(const KnetFileContent& content) {
  std::string max_acc = content.max_acc;
  if (max_acc.empty()) {
    double sum = 0.0;
    for (std::int64_t count : content.counts) sum += static_cast<double>(count);
    const double mean = content.counts.empty() ? 0.0 : sum / static_cast<double>(content.counts.size());
    double peak = 0.0;
    for (std::int64_t count : content.counts) {
      peak = std::fmax(peak, std::fabs((static_cast<double>(count) - mean) * static_cast<double>(content.scale_numerator) /
                                       static_cast<double>(content.scale_denominator)));
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", peak);
    max_acc = text;
  }
  std::string duration = content.duration;
  if (duration.empty()) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(content.counts.size()) / 100.0);
    duration = text;
  }
  std::string text = header_line("Origin Time", "2008/06/14 08:43:00") + header_line("Lat.", "39.028") +
                     header_line("Long.", "140.880") + header_line("Depth. (km)", "8") +
                     header_line("Mag.", "7.2") + header_line("Station Code", content.station) +
                     header_line("Station Lat.", "40.6363") + header_line("Station Long.", "139.9284") +
                     header_line("Station Height(m)", "42") + header_line("Record Time", "2008/06/14 08:44:18") +
                     header_line("Sampling Freq(Hz)", content.frequency) + header_line("Duration Time(s)", duration) +
                     header_line("Dir.", content.direction) +
                     header_line("Scale Factor", std::to_string(content.scale_numerator) + "(gal)/" +
                                                     std::to_string(content.scale_denominator)) +
                     header_line("Max. Acc. (gal)", max_acc) + header_line("Last Correction", "2008/06/14 08:44:03") +
                     header_line("Memo.", "");
  for (std::size_t i = 0; i < content.counts.size(); ++i) {
    char field[32];
    std::snprintf(field, sizeof field, "%9lld", static_cast<long long>(content.counts[i]));
    text += field;
    if (i % 8 == 7 || i + 1 == content.counts.size()) text += " \n";
  }
  return text;
}

std::string jma_csv_text(const JmaCsvContent& content) {
  std::string text = "SITE CODE= " + content.code + content.name_shift_jis +
                     "          ,35.2733,133.3483,  9,7.3,36805.5627072,  3.62,  6.15\r\n" + " LAT.=   " +
                     content.latitude + "\r\n LON.=  " + content.longitude + "\r\n SAMPLING RATE= " + content.rate +
                     "\r\n UNIT  = gal(cm/s/s)\r\nINITIAL TIME = 2000 10 06 13 30 10\r\n NS,EW,UD\r\n";
  for (const std::string& line : content.lines) text += line + "\r\n";
  return text;
}

}  // namespace shindo::testing
