#pragma once

#include <cstdint>
// Constants of the ray model, with the precision each one has always had in
// the ray files: some are doubles, some extended (long double has the 64-bit
// significand on x86-64), some single.

namespace lucidra::sampling {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kHalfPi = kPi / 2;
inline constexpr double kTwoPi = 2 * kPi;
inline constexpr double kPiOver180 = kPi / 180;
inline constexpr long double kInvPi = 0.318309886183790671537767526745028724L;
inline constexpr long double kInv180 = 1.0L / 180;
inline constexpr long double kInv360 = 1.0L / 360;
inline constexpr float kDegreesPerHalfTurn = 180.0f;
// Integer draws for coordinates and angles are taken on a grid of 10^9 steps.
inline constexpr double kResolution = 1000000000.0;
inline constexpr std::int32_t kResolutionInt = 1000000000;
inline constexpr double kInvResolution = 1.0 / kResolution;

}  // namespace lucidra::sampling
