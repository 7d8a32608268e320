#include "random/runtime_generator.h"

#include <ctime>

namespace lucidra {

void RuntimeGenerator::skip(std::uint64_t draws) noexcept {
  // Compose the affine map s -> a*s + c with itself (mod 2^64).
  std::uint64_t accMul = 1, accAdd = 0;
  std::uint64_t mul = kRuntimeMultiplier, add = 1;
  while (draws != 0) {
    if (draws & 1u) {
      accMul *= mul;
      accAdd = accAdd * mul + add;
    }
    add = (mul + 1) * add;
    mul *= mul;
    draws >>= 1u;
  }
  state = accMul * state + accAdd;
}

void seed_from_clock(RuntimeGenerator& generator) { generator.seed(static_cast<std::int64_t>(std::time(nullptr))); }

}  // namespace lucidra
