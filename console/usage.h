// What the console program says outside its dialogue: --help and --version,
// and the hint that follows a report when the record file it could not read
// is one of the networks' files, which shindo-batch reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace console {

// The text of `shindo --help` and `shindo --version`, for argv[1]; nullopt
// for any other first argument (the results file's name) or none.
//   "--version" → "shindo 2.0.0\n"
//   "--help"    → "Usage: shindo [RESULTS-FILE]\n..." naming shindo-batch and the manual pages
//   "out.txt"   → nullopt
[[nodiscard]] std::optional<std::string> usage_text(std::string_view first_argument);

// Whether the first bytes of a file are a K-NET/KiK-net component file or a
// JMA CSV file by their first line.
//   "Origin Time       2008/06/14 08:43:00\n..." → true;  "SITE CODE= EA0..." → true
//   "0.00 1 2 3\n" → false
[[nodiscard]] bool looks_like_network_file(std::string_view head);

// The line added after a report of a failed read of the record file when
// the file looks like a network file (looks_like_network_file).
inline constexpr std::string_view kNetworkFileHint =
    "- this looks like a K-NET, KiK-net or JMA CSV file: shindo-batch reads those (man shindo-batch)\r\n";

// Makes the reports of this run end with kNetworkFileHint when the report is
// of a READ of the record file and that file looks like a network file;
// every other report, and every run without one, keeps its bytes.
void add_network_file_hint();

}  // namespace console
