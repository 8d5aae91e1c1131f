// Synthetic files in the networks' formats for tests: K-NET/KiK-net
// component files and JMA CSV files built from given samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace shindo::testing {

// One K-NET/KiK-net component file. `max_acc` empty: the header gets the peak
// of |count - mean| x scale with three decimals, as the network writes it.
struct KnetFileContent {
  std::string station = "TST001";
  std::string frequency = "100Hz";
  std::string duration;  // empty: the number of counts / 100, for 100 Hz
  std::string direction = "N-S";
  std::int64_t scale_numerator = 3920;
  std::int64_t scale_denominator = 6182761;
  std::string max_acc;
  std::vector<std::int64_t> counts;
};

// The whole file: 17 header lines, then the counts 8 to a line, LF ends.
std::string knet_text(const KnetFileContent& content);

// A JMA CSV file (CR LF ends) with the station name given in Shift_JIS bytes
// and one "ns,ew,ud" line per sample, the values written as given.
struct JmaCsvContent {
  std::string code = "ABC";
  std::string name_shift_jis = "\x93\x8C\x8B\x9E";  // 東京
  std::string latitude = "35.6000";
  std::string longitude = "139.7000";
  std::string rate = "100Hz ";
  std::vector<std::string> lines;  // "0.001,-0.002,0.003"
};
std::string jma_csv_text(const JmaCsvContent& content);

}  // namespace shindo::testing
