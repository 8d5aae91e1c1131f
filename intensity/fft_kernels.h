// The instruction-set choice of the transform's butterflies: the SSE2 kernel
// every x86-64 processor runs, and the AVX kernel taken where the processor
// has it. Both give the same bits; this header lets a caller (the tests) pick.
#pragma once

#include <cstdint>
#include <span>

#include "recio/run_end.h"

namespace intensity {

enum class ButterflyKernel { Sse2, Avx };

// Whether this processor (and its operating system) runs AVX instructions;
// asked once and remembered.
bool avx_available();

// transform_together with the butterflies of `kernel`. ButterflyKernel::Avx
// needs avx_available().
void transform_together(std::int32_t N, std::span<recio::ComplexFloat* const> arrays, std::int32_t IND,
                        ButterflyKernel kernel);

}  // namespace intensity
