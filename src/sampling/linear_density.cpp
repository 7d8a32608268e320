// The kernel takes four-double vectors only inside the AVX2 function below,
// where it is always inlined, so no call with the AVX argument ABI exists
// and GCC's note about that ABI (-Wpsabi) does not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#include "sampling/linear_density.h"

#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
#include <immintrin.h>
#endif

namespace lucidra::detail {

#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
namespace {

using Double4 = double __attribute__((vector_size(32)));

// Compiled for AVX2 but not FMA: every multiply and add stays a separate,
// rounded step, so the lanes keep the bits of invert_linear_density.
[[gnu::target("avx2")]] std::size_t invert_four(std::size_t n, const double* a, const double* b, const double* mass,
                                                double* s) noexcept {
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    Double4 va, vb, vm;
    std::memcpy(&va, a + i, sizeof va);
    std::memcpy(&vb, b + i, sizeof vb);
    std::memcpy(&vm, mass + i, sizeof vm);
    const Double4 root = _mm256_sqrt_pd(linear_density_radicand(va, vb, vm));
    const Double4 share = linear_density_share(va, vm, root);
    std::memcpy(s + i, &share, sizeof share);
  }
  return i;
}

}  // namespace

std::size_t invert_linear_density_wide(std::size_t n, const double* a, const double* b, const double* mass,
                                       double* s) noexcept {
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  return avx2 ? invert_four(n, a, b, mass, s) : 0;
}
#endif

}  // namespace lucidra::detail
