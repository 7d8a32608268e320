#include "random/park_miller.h"

namespace lucidra {

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
