#pragma once
// The clock-seeded runtime generator: one process-wide 64-bit linear
// congruential state, reseeded from the calendar time at every run.

#include <cstdint>

namespace lucidra {

inline constexpr std::uint64_t kRuntimeMultiplier = 0x15A00004E35ull;  // 1486058704437
inline constexpr std::uint64_t kClockSeedMultiplier = 22695477u;

struct RuntimeGenerator {
  std::uint64_t state = 0;

  // state = (t * 22695477 + 1) mod 2^32.
  void seed(std::int64_t seconds) noexcept {
    state = (static_cast<std::uint64_t>(seconds) * kClockSeedMultiplier + 1u) & 0xFFFFFFFFull;
  }
  // Bits 32..62 of the next state: 0 .. 2^31 - 1.
  std::int32_t next() noexcept {
    state = state * kRuntimeMultiplier + 1u;
    return static_cast<std::int32_t>((state >> 32) & 0x7FFFFFFFu);
  }
  // Moves the state `draws` draws ahead in O(log draws).
  void skip(std::uint64_t draws) noexcept;
};

// 0 when k is 0 (no draw); otherwise one draw modulo k, in 0 .. |k| - 1.
inline std::int32_t random_below(RuntimeGenerator& generator, std::int32_t k) noexcept {
  if (k == 0) return 0;
  const std::int32_t x = generator.next();
  return x % k;
}

// A draw below a bound that does not fit 32 bits (1 <= k < 2^62): two draws
// give 62 random bits, reduced modulo k. Used only where the 32-bit bound
// would overflow.
inline std::int64_t random_below_wide(RuntimeGenerator& generator, std::int64_t k) noexcept {
  const auto high = static_cast<std::int64_t>(generator.next());
  const auto low = static_cast<std::int64_t>(generator.next());
  return ((high << 31) | low) % k;
}

// Reseeds `generator` from the current calendar time in whole seconds.
void seed_from_clock(RuntimeGenerator& generator);

}  // namespace lucidra
