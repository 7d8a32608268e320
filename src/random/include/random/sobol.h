#pragma once
// The Sobol low-discrepancy sequence (Bratley and Fox, ACM TOMS Algorithm
// 659): 30-bit direction numbers, points in Gray-code order, 2 to 40
// dimensions, single-precision coordinates in [0, 1).

#include <array>
#include <cstdint>
#include <string>

namespace lucidra {

inline constexpr int SOBOL_MAX_DIM = 40;
inline constexpr int SOBOL_MAX_BITS = 30;
// The first SEED whose point needs a 31st bit column.
inline constexpr std::int32_t kSobolSeedLimit = 1073741823;

struct SobolState {
  bool ready = false;
  std::int32_t dim_in_use = 0;
  std::int32_t previous_seed = 0;
  std::int32_t MAXCOL = 0;
  float unit_scale = 0.0f;
  std::array<std::int32_t, SOBOL_MAX_DIM> last_point{};
  std::array<std::array<std::int32_t, SOBOL_MAX_BITS>, SOBOL_MAX_DIM> direction_numbers{};
};

// Primitive polynomials and initial direction numbers, one row per dimension.
extern const std::array<std::int32_t, SOBOL_MAX_DIM> sobol_polynomials;
extern const std::array<std::array<std::int32_t, 8>, SOBOL_MAX_DIM> sobol_initial_numbers;

// 1-based position of the highest 1 bit (0 for n <= 0).
std::int32_t highest_one_bit(std::int32_t n) noexcept;
// 1-based position of the lowest 0 bit.
std::int32_t lowest_zero_bit(std::int32_t n) noexcept;

// What i4_sobol does with a fatal report (its text, and the exit status 1
// or 2): by default it prints the report on standard output and ends the
// process with that status. A program may put its own handler in place (to
// show the report in a window, say); the process still ends if it returns.
using SobolFatalHandler = void (*)(const std::string& report, int status);
SobolFatalHandler sobol_fatal_handler();
// Installs `handler` (nullptr: the default) and returns the previous one.
SobolFatalHandler set_sobol_fatal_handler(SobolFatalHandler handler);

// Fills quasi[0 .. dim_num - 1] with the point for `seed` and leaves `seed`
// one above its (clamped) value. A dimension outside 2..40 or a seed beyond
// the 30 bit columns prints the fatal report on standard output and ends the
// process (status 1 or 2); a generation run never asks for either.
void i4_sobol(std::int32_t dim_num, std::int32_t& seed, float quasi[], SobolState& state);
// The same with the process-wide state.
void i4_sobol(std::int32_t dim_num, std::int32_t& seed, float quasi[]);

// Builds the direction table for `dim_num` when i4_sobol would (first call, or
// another dimension); same fatal report for a dimension outside 2..40.
void sobol_prepare(std::int32_t dim_num, SobolState& state);

// A pass of consecutive i4_sobol calls, computed without stepping: every
// point of the pass is the regular point of its seed XOR a fixed offset (zero,
// or the half shift a fresh process's first pass carries).
struct SobolPass {
  std::array<std::int32_t, SOBOL_MAX_DIM> offset{};
  std::int32_t startSeed = 0;
};
// What the first call of a pass at `startSeed` (1 .. kSobolSeedLimit - 1)
// would make of `state`; builds the table as that call would.
SobolPass sobol_begin_pass(std::int32_t dim_num, std::int32_t startSeed, SobolState& state);
// Leaves `state` as consecutive calls up to `lastSeed` would have left it.
void sobol_end_pass(std::int32_t dim_num, const SobolPass& pass, std::int32_t lastSeed, SobolState& state);

// The process-wide state that i4_sobol without a state argument uses.
SobolState& process_sobol_state() noexcept;

// The integer coordinate of the regular point for `seed` in dimension `row`
// of a built state: the XOR of the direction numbers picked by the Gray code
// of `seed`. Lets a worker start anywhere in the sequence.
inline std::int32_t sobol_integer_coordinate(const SobolState& state, int row, std::int64_t seed) noexcept {
  auto gray = static_cast<std::uint64_t>(seed ^ (seed >> 1));
  std::int32_t value = 0;
  for (int column = 0; gray != 0 && column < SOBOL_MAX_BITS; ++column, gray >>= 1u) {
    if (gray & 1u) value ^= state.direction_numbers[row][column];
  }
  return value;
}

}  // namespace lucidra
