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

// The eight doubles' lanes of a compare as four 32-bit lanes (all ones or
// zero), for the node indices.
[[gnu::target("avx2")]] inline __m128i narrow_mask(__m256d mask) noexcept {
  const __m256i picked =
      _mm256_permutevar8x32_epi32(_mm256_castpd_si256(mask), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
  return _mm256_castsi256_si128(picked);
}

// The quantiles of four shares at a time: the interval of each from its
// guide entry, one step forward and the test that it holds the target, then
// the inversion four lanes wide. The lanes that fail the test are left to
// the caller (bit i of `unsettled`); every other lane takes the scalar
// steps of quantile(). The nodes are read lane by lane and turned into
// vectors: the processor's gather instructions took longer here.
[[gnu::target("avx2")]] std::size_t quantiles_four(std::size_t n, const double* q, double* out, const double* nodes,
                                                   std::size_t size, const std::uint32_t* guide, std::size_t guideSize,
                                                   double total, std::uint64_t& unsettled) noexcept {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d vTotal = _mm256_set1_pd(total);
  const __m256d vGuide = _mm256_set1_pd(static_cast<double>(guideSize));
  const __m256d lastEntry = _mm256_set1_pd(static_cast<double>(guideSize - 1));
  const __m128i one = _mm_set1_epi32(1);
  const __m128i last = _mm_set1_epi32(static_cast<int>(size - 1));
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256d share = _mm256_loadu_pd(q + i);
    const __m256d target = _mm256_mul_pd(share, vTotal);
    // min(size - 1, (size_t)(max(0, q) * size)), the minimum taken first
    // (both are monotonic) so that the conversion stays within 32 bits.
    const __m256d place = _mm256_min_pd(_mm256_mul_pd(_mm256_max_pd(share, zero), vGuide), lastEntry);
    alignas(16) int entry[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(entry), _mm256_cvttpd_epi32(place));
    const auto size32 = static_cast<std::uint32_t>(size);
    std::uint32_t start[4];
    for (int lane = 0; lane < 4; ++lane) start[lane] = guide[entry[lane]];
    // From registers: a load of the four stores just made would stall.
    __m128i k = _mm_setr_epi32(static_cast<int>(start[0]), static_cast<int>(start[1]), static_cast<int>(start[2]),
                               static_cast<int>(start[3]));
    // One step forward where the node's cumulative is still at or below the
    // target (k < size; the node read is kept inside the table).
    const auto cumulative = [&](int lane) { return nodes[3 * std::min(start[lane], size32 - 1)]; };
    const __m256d atK = _mm256_setr_pd(cumulative(0), cumulative(1), cumulative(2), cumulative(3));
    const __m128i below = _mm_and_si128(_mm_cmplt_epi32(k, _mm_add_epi32(last, one)),
                                        narrow_mask(_mm256_cmp_pd(atK, target, _CMP_LE_OQ)));
    k = _mm_sub_epi32(k, below);  // below is -1 where the step is taken
    // Settled: k inside [1, size - 1] and cumulative(k - 1) <= target < cumulative(k).
    const __m128i inside = _mm_max_epi32(_mm_min_epi32(k, last), one);
    const __m128i upper = _mm_add_epi32(inside, _mm_add_epi32(inside, inside));
    const __m128i lower = _mm_sub_epi32(upper, _mm_set1_epi32(3));
    // Nodes k - 1 and k of each lane, six doubles side by side, in two
    // loads a lane, turned into one vector a field.
    alignas(16) int at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), lower);
    __m256d first[4], second[4];  // (c0, x0, p0, c1), (p0, c1, x1, p1)
    for (int lane = 0; lane < 4; ++lane) {
      first[lane] = _mm256_loadu_pd(nodes + at[lane]);
      second[lane] = _mm256_loadu_pd(nodes + at[lane] + 2);
    }
    const __m256d f01lo = _mm256_unpacklo_pd(first[0], first[1]), f01hi = _mm256_unpackhi_pd(first[0], first[1]);
    const __m256d f23lo = _mm256_unpacklo_pd(first[2], first[3]), f23hi = _mm256_unpackhi_pd(first[2], first[3]);
    const __m256d s01lo = _mm256_unpacklo_pd(second[0], second[1]), s01hi = _mm256_unpackhi_pd(second[0], second[1]);
    const __m256d s23lo = _mm256_unpacklo_pd(second[2], second[3]), s23hi = _mm256_unpackhi_pd(second[2], second[3]);
    const __m256d cumulativeBefore = _mm256_permute2f128_pd(f01lo, f23lo, 0x20);
    const __m256d p0 = _mm256_permute2f128_pd(f01lo, f23lo, 0x31);
    const __m256d x0 = _mm256_permute2f128_pd(f01hi, f23hi, 0x20);
    const __m256d cumulativeAt = _mm256_permute2f128_pd(f01hi, f23hi, 0x31);
    const __m256d x1 = _mm256_permute2f128_pd(s01lo, s23lo, 0x31);
    const __m256d p1 = _mm256_permute2f128_pd(s01hi, s23hi, 0x31);
    const __m256d held = _mm256_and_pd(_mm256_cmp_pd(cumulativeBefore, target, _CMP_LE_OQ),
                                       _mm256_cmp_pd(target, cumulativeAt, _CMP_LT_OQ));
    const int settled = _mm256_movemask_pd(held) & _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(k, inside)));
    unsettled |= static_cast<std::uint64_t>(~settled & 0xF) << i;
    // The inversion of quantile(): node k - 1 to node k.
    const __m256d width = _mm256_sub_pd(x1, x0);
    const __m256d mass = _mm256_div_pd(_mm256_sub_pd(target, cumulativeBefore), width);
    const Double4 a = p0, b = p1, m = mass;
    const Double4 root = _mm256_sqrt_pd(linear_density_radicand(a, b, m));
    const Double4 s = linear_density_share(a, m, root);
    _mm256_storeu_pd(out + i, _mm256_add_pd(x0, _mm256_mul_pd(width, s)));
  }
  return i;
}

}  // namespace

std::size_t linear_density_quantiles_wide(std::size_t n, const double* q, double* out, const double* nodes,
                                          std::size_t size, const std::uint32_t* guide, std::size_t guideSize,
                                          double total, std::uint64_t& unsettled) noexcept {
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  return avx2 ? quantiles_four(n, q, out, nodes, size, guide, guideSize, total, unsettled) : 0;
}

std::size_t invert_linear_density_wide(std::size_t n, const double* a, const double* b, const double* mass,
                                       double* s) noexcept {
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  return avx2 ? invert_four(n, a, b, mass, s) : 0;
}
#endif

}  // namespace lucidra::detail
