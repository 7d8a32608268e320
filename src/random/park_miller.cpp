// The chains' four-lane vectors live only inside the AVX2 function below,
// so no call with the AVX argument ABI exists and GCC's note about it
// (-Wpsabi) does not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#include "random/park_miller.h"

#if defined(LUCIDRA_PARK_MILLER_WIDE)
#include <immintrin.h>
#endif

namespace lucidra {

#if defined(LUCIDRA_PARK_MILLER_WIDE)
namespace detail {
namespace {

// One step of four chains: x * 16807^8 mod (2^31 - 1), folded at bit 31
// and reduced once, as uniform01 and uniform01_n do it.
[[gnu::target("avx2")]] inline __m256i eight_steps(__m256i x) noexcept {
  constexpr auto kModulus = static_cast<std::int64_t>(kParkMillerModulus);
  constexpr std::int64_t kEightSteps = 1457850878;  // 16807^8 mod (2^31 - 1)
  const __m256i product = _mm256_mul_epu32(x, _mm256_set1_epi64x(kEightSteps));
  const __m256i modulus = _mm256_set1_epi64x(kModulus);
  const __m256i folded = _mm256_add_epi64(_mm256_and_si256(product, modulus), _mm256_srli_epi64(product, 31));
  const __m256i over = _mm256_cmpgt_epi64(folded, _mm256_set1_epi64x(kModulus - 1));
  return _mm256_sub_epi64(folded, _mm256_and_si256(over, modulus));
}

// The four chains' seeds as draws: each seed's 32 bits converted and scaled.
[[gnu::target("avx2")]] inline void store_draws(__m256i x, double* out) noexcept {
  const __m256i low = _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
  const __m256d draws =
      _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(low)), _mm256_set1_pd(kParkMillerScale));
  _mm256_storeu_pd(out, draws);
}

[[gnu::target("avx2")]] std::size_t uniform01_eight(std::int32_t& seed, std::size_t n, double* out) noexcept {
  alignas(32) std::int64_t chain[8];
  for (std::size_t k = 0; k < 8; ++k) {
    out[k] = uniform01(seed);
    chain[k] = seed;
  }
  __m256i first = _mm256_load_si256(reinterpret_cast<const __m256i*>(chain));
  __m256i second = _mm256_load_si256(reinterpret_cast<const __m256i*>(chain + 4));
  const std::size_t whole = n - n % 8;
  for (std::size_t i = 8; i < whole; i += 8) {
    first = eight_steps(first);
    second = eight_steps(second);
    store_draws(first, out + i);
    store_draws(second, out + i + 4);
  }
  seed = static_cast<std::int32_t>(_mm256_extract_epi64(second, 3));
  return whole;
}

}  // namespace

std::size_t uniform01_wide(std::int32_t& seed, std::size_t n, double* out) noexcept {
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  return avx2 ? uniform01_eight(seed, n, out) : 0;
}

}  // namespace detail
#endif

std::int32_t park_miller_skip(std::int32_t seed, std::uint64_t draws) noexcept {
  if (draws == 0) return seed;
  if (seed < 0) {
    uniform01(seed);
    --draws;
  }
  // seed * 16807^draws mod (2^31 - 1), by square-and-multiply.
  constexpr std::uint64_t m = static_cast<std::uint64_t>(kParkMillerModulus);
  std::uint64_t result = static_cast<std::uint64_t>(seed) % m;
  std::uint64_t factor = static_cast<std::uint64_t>(kParkMillerMultiplier);
  while (draws != 0) {
    if (draws & 1u) result = result * factor % m;
    factor = factor * factor % m;
    draws >>= 1u;
  }
  return static_cast<std::int32_t>(result);
}

}  // namespace lucidra
