// The kernels take and return four-double vectors by value; they are always
// inlined into the AVX2 function below, so no call with the AVX argument
// ABI exists and GCC's note about that ABI (-Wpsabi) does not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#include "sampling/sin_cos.h"

namespace lucidra::detail {

#if defined(LUCIDRA_SIN_COS_WIDE)
namespace {

// Compiled for AVX2 but not FMA: every multiply and add stays a separate,
// rounded step, so the lanes keep the bits of sin_cos.
[[gnu::target("avx2")]] std::size_t sin_cos_four(std::size_t n, const double* x, double* s, double* c) noexcept {
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    if (all_reducible<4>(x + i)) {
      sin_cos_lanes<Double4, Bits4>(x + i, s + i, c + i);
    } else {
      for (std::size_t k = i; k < i + 4; ++k) sin_cos(x[k], s[k], c[k]);
    }
  }
  return i;
}

}  // namespace

std::size_t sin_cos_wide(std::size_t n, const double* x, double* s, double* c) noexcept {
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  return avx2 ? sin_cos_four(n, x, s, c) : 0;
}
#endif

}  // namespace lucidra::detail
