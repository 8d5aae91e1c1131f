// An eight-sample record at 0.05 s and what a whole run on it writes to the
// results file, shared by the tests that run the program from end to end.
#pragma once

namespace shindo::testing {

inline constexpr const char* kSmallRecord =
    "0.00 -70.4536 -247.0000 58.0452\n"
    "0.05 108.6746 197.1317 104.8621\n"
    "0.10 312.0000 158.1146 -12.9844\n"
    "0.15 57.7694 -202.7072 -112.1048\n"
    "0.20 2.0555 -134.6558 -138.0000\n"
    "0.25 115.6991 233.3542 -26.9589\n"
    "0.30 -33.7297 218.4471 46.2279\n"
    "0.35 -97.6126 -216.2670 17.4444\n";

inline constexpr const char* kSmallResults =
    "  A0 (gal) =      73.404480\r\n  Shindo   =       4.674445\r\n";

}  // namespace shindo::testing
