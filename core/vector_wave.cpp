#include "core/vector_wave.h"

#include <cmath>

namespace shindo::core {

float vector_sample(float re1, float re2, float re3, float DUR) {
  const float a1 = static_cast<float>(static_cast<double>(re1) / DUR);
  const float a2 = static_cast<float>(static_cast<double>(re2) / DUR);
  const float a3 = static_cast<float>(static_cast<double>(re3) / DUR);
  // A sum of squares has no negative root to fault on.
  return static_cast<float>(
      std::sqrt((static_cast<double>(a3) * a3 + static_cast<double>(a2) * a2) + static_cast<double>(a1) * a1));
}

}  // namespace shindo::core
