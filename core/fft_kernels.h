// The instruction-set choice of the transform's butterflies: the SSE2 kernel
// every x86-64 processor runs, and the AVX kernel taken where the processor
// has it. Both give the same bits; this header lets a caller (the tests) pick.
#pragma once

#include <cstdint>
#include <span>

#include "core/complex.h"

namespace shindo::core {

enum class ButterflyKernel { Sse2, Avx };

// Whether this processor (and its operating system) runs AVX instructions,
// as the run-time's processor model, set at program start, tells.
bool avx_available();

// transform_together with the butterflies of `kernel`. ButterflyKernel::Avx
// needs avx_available().
void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                        ButterflyKernel kernel);

}  // namespace shindo::core
