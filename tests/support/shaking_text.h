// A record in the console program's text for the batch program's tests: a
// decaying shaking of `samples` lines "time a1 a2 a3" at 0.01 s, its
// frequency set by `seed`.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>

namespace shindo::testing {

inline std::string console_text(std::size_t samples, int seed) {
  std::string text;
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) * 0.01;
    const double a = 100.0 * std::sin(t * (5.0 + seed)) * std::exp(-t / 4.0);
    text += std::to_string(t) + " " + std::to_string(a) + " " + std::to_string(0.7 * a) + " " +
            std::to_string(-0.3 * a) + "\n";
  }
  return text;
}

}  // namespace shindo::testing
