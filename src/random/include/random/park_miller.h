#pragma once
// The seeded uniform generator: Park-Miller "minimal standard" (multiplier
// 16807, modulus 2^31 - 1) computed with Schrage's factorisation, so that
// every intermediate fits a signed 32-bit integer. The caller owns the seed.

#include <cstddef>
#include <cstdint>

namespace lucidra {

inline constexpr std::int32_t kParkMillerMultiplier = 16807;
inline constexpr std::int32_t kParkMillerModulus = 2147483647;
inline constexpr std::int32_t kSchrageQuotient = 127773;  // modulus div multiplier
inline constexpr std::int32_t kSchrageRemainder = 2836;   // modulus mod multiplier
// Slightly above 2^-31, so a draw never reaches 1 but can come within 5e-10 of it.
inline constexpr double kParkMillerScale = 4.656612875e-10;

// One step by Schrage's factorisation: the generator's defining arithmetic,
// which also gives every negative seed its meaning.
inline std::int32_t schrage_step(std::int32_t seed) noexcept {
  const std::int32_t k = seed / kSchrageQuotient;
  seed = kParkMillerMultiplier * (seed - k * kSchrageQuotient) - k * kSchrageRemainder;
  if (seed < 0) seed += kParkMillerModulus;
  return seed;
}

// Advances `seed` once and returns it scaled into (0, 1). Seed 0 stays 0;
// a negative seed maps into 1 .. 2^31 - 2 after one draw.
inline double uniform01(std::int32_t& seed) noexcept {
  if (seed >= 0) {
    // For 0 <= seed <= 2^31 - 1 Schrage's step is seed * 16807 mod (2^31 - 1).
    // Folding the 46-bit product at bit 31 (2^31 = 1 modulo 2^31 - 1) gives
    // that without the division, which dominated a ray's draws.
    constexpr auto kModulus = static_cast<std::uint64_t>(kParkMillerModulus);
    const std::uint64_t product = static_cast<std::uint64_t>(seed) * kParkMillerMultiplier;
    std::uint64_t folded = (product & kModulus) + (product >> 31);
    if (folded >= kModulus) folded -= kModulus;
    seed = static_cast<std::int32_t>(folded);
  } else {
    seed = schrage_step(seed);
  }
  return seed * kParkMillerScale;
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define LUCIDRA_PARK_MILLER_WIDE 1
namespace detail {
// The first draws of uniform01_n with AVX2 where the processor has it, for
// a seed in 1 .. 2^31 - 3 and n >= 16: eight chains in two vectors, each
// stepping by 16807^8 mod (2^31 - 1). Returns how many it drew (a multiple
// of eight; 0 without AVX2) and leaves `seed` after the last of them.
// Windows is left out as for the other vector paths.
std::size_t uniform01_wide(std::int32_t& seed, std::size_t n, double* out) noexcept;
}  // namespace detail
#endif

// n draws of uniform01 into `out`, the same values and the same final seed.
// The draws go round four chains that each step by 16807^4 mod (2^31 - 1),
// so that four multiplications are under way at once instead of each
// waiting on the last.
inline void uniform01_n(std::int32_t& seed, std::size_t n, double* out) noexcept {
  constexpr auto kModulus = static_cast<std::uint64_t>(kParkMillerModulus);
  constexpr std::size_t kChains = 4;
  // Exact for a seed in 1 .. 2^31 - 2, where no step gives 0 (the modulus is
  // prime): the product is below 2^62, and as the multiplier is below the
  // modulus one fold and one subtraction reduce it.
  constexpr std::uint64_t kFourSteps = 984943658;  // 16807^4 mod (2^31 - 1)
  if (n < 2 * kChains || seed <= 0 || seed >= kParkMillerModulus - 1) {
    for (std::size_t i = 0; i < n; ++i) out[i] = uniform01(seed);
    return;
  }
#if defined(LUCIDRA_PARK_MILLER_WIDE)
  if (n >= 4 * kChains) {
    const std::size_t done = detail::uniform01_wide(seed, n, out);
    out += done;
    n -= done;
    if (n < 2 * kChains || seed >= kParkMillerModulus - 1) {
      for (std::size_t i = 0; i < n; ++i) out[i] = uniform01(seed);
      return;
    }
  }
#endif
  std::uint64_t chain[kChains];
  for (std::size_t k = 0; k < kChains; ++k) {
    out[k] = uniform01(seed);
    chain[k] = static_cast<std::uint64_t>(seed);
  }
  const std::size_t whole = n - n % kChains;
  std::size_t i = kChains;
  for (; i < whole; i += kChains) {
    for (std::size_t k = 0; k < kChains; ++k) {
      const std::uint64_t product = chain[k] * kFourSteps;
      std::uint64_t folded = (product & kModulus) + (product >> 31);
      if (folded >= kModulus) folded -= kModulus;
      chain[k] = folded;
      out[i + k] = static_cast<std::int32_t>(folded) * kParkMillerScale;
    }
  }
  seed = static_cast<std::int32_t>(chain[kChains - 1]);
  for (; i < n; ++i) out[i] = uniform01(seed);
}

// An integer between min(a, b) and max(a, b) inclusive. The scaled draw is
// rounded to single precision before truncation; above 2^24 the results lie
// on the float grid, exactly as the ray files have always shown them.
inline std::int32_t uniform_int(std::int32_t a, std::int32_t b, std::int32_t& seed) noexcept {
  const std::int32_t lo = a < b ? a : b;
  const std::int32_t hi = a < b ? b : a;
  const double r = uniform01(seed);
  const float t =
      static_cast<float>(r * (static_cast<double>(hi) - static_cast<double>(lo) + 1.0) + static_cast<double>(lo));
  auto v = static_cast<std::int64_t>(t);
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return static_cast<std::int32_t>(v);
}

// The seed `draws` draws after `seed` (for a valid or zero seed; a negative
// seed is first advanced by one ordinary draw by the caller).
std::int32_t park_miller_skip(std::int32_t seed, std::uint64_t draws) noexcept;

}  // namespace lucidra
