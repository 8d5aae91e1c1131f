// The instruction-set choice of the transform's butterflies: the portable
// kernel (plain C++), the SSE2 kernel every x86-64 processor runs, and the
// AVX and AVX-512 kernels taken where the processor has them. All give the
// same bits; this header lets a caller (the tests) pick one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/complex.h"
#include "core/fft.h"

namespace shindo::core {

enum class ButterflyKernel { Portable, Sse2, Avx, Avx512 };

// Whether this processor (and its operating system) runs AVX instructions,
// as the run-time's processor model, set at program start, tells.
[[nodiscard]] bool avx_available();

// The same for the AVX-512 foundation instructions.
[[nodiscard]] bool avx512_available();

// The kernel the transforms use: the widest the processor has (AVX-512,
// AVX, else SSE2). The environment variable SHINDO_TRANSFORM_KERNEL, read
// once at the first transform of the process, narrows the choice:
// "portable" takes the plain C++ kernel, "sse2" and "avx" no wider one than
// named (a kernel the processor lacks is never taken). The bits are the same
// whichever runs; only the time differs.
//   unset on an AVX processor without AVX-512 -> ButterflyKernel::Avx
//   SHINDO_TRANSFORM_KERNEL=portable -> ButterflyKernel::Portable
[[nodiscard]] ButterflyKernel preferred_kernel();

// transform_together with the butterflies of `kernel`. ButterflyKernel::Avx
// needs avx_available(), ButterflyKernel::Avx512 avx512_available() too.
void transform_together(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                        ButterflyKernel kernel);

// transform_stages with the butterflies of `kernel`.
void transform_stages(std::int32_t N, std::span<ComplexFloat* const> arrays, std::int32_t IND,
                      std::optional<float> scale, ButterflyKernel kernel, Packed packed = Packed::in_order);

// pack_real and pack_hermitian as `kernel` takes them.
[[nodiscard]] Packed pack_real(std::int32_t N, std::span<const float> samples, ComplexFloat* X,
                               ButterflyKernel kernel);
[[nodiscard]] Packed pack_hermitian(std::int32_t N, std::span<const ComplexFloat> lower,
                                    std::span<const float> factors, ComplexFloat* X, ButterflyKernel kernel);

}  // namespace shindo::core
