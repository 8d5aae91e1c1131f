// The complex value of the computation's work arrays: a pair of floats, real
// part first.
#pragma once

namespace shindo::core {

struct ComplexFloat {
  float re;
  float im;
};

}  // namespace shindo::core
