// The floating-point environment of one computation: round to nearest, every
// trap masked and every flag clear while it runs, the caller's environment
// (rounding, trap settings and raised flags) given back at its end. Faults
// are read from the flags the arithmetic raises.
#pragma once

#include <cfenv>

#include "shindo/compute.h"

namespace shindo::core {

// While it lives, the thread runs in the default environment.
struct DefaultEnvironment {
  std::fenv_t saved;
  DefaultEnvironment() {
    std::fegetenv(&saved);
    std::fesetenv(FE_DFL_ENV);
  }
  ~DefaultEnvironment() { std::fesetenv(&saved); }
  DefaultEnvironment(const DefaultEnvironment&) = delete;
  DefaultEnvironment& operator=(const DefaultEnvironment&) = delete;
};

// Makes the stores through `data` complete before the flags are read: the
// compiler may not move the arithmetic that produces them past this point.
inline void settle_stores(const void* data) { asm volatile("" : : "g"(data) : "memory"); }

// The same for a value that may be held in a register.
template <class Value>
inline void settle(Value& value) {
  asm volatile("" : "+m"(value));
}

// The fault a trapping run would have stopped at, from the flags raised
// since the environment was set: overflow, division by zero or invalid
// operation, or none. When several are raised within one stage, the first
// one raised is named. With finite operands an invalid operation needs an
// infinity, which an overflow or a division by zero produced before it; and
// within a stage, an infinity from a division by zero (DOM) only meets
// products and quotients that give infinities without a new flag, so an
// overflow raised with it was raised earlier.
Fault raised_fault();

}  // namespace shindo::core
