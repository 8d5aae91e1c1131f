#include "core/fp_environment.h"

namespace shindo::core {

Fault raised_fault() {
  const int raised = std::fetestexcept(FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID);
  if ((raised & FE_OVERFLOW) != 0) return Fault::overflow;
  if ((raised & FE_DIVBYZERO) != 0) return Fault::divide_by_zero;
  if ((raised & FE_INVALID) != 0) return Fault::invalid;
  return Fault::none;
}

}  // namespace shindo::core
