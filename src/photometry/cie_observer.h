#pragma once
// The CIE 1931 standard colorimetric observer (2 degree) at 1 nm from 360 nm
// to 830 nm (cie1931_table.cpp cites the standard). Its y-bar is the photopic
// luminous efficiency V(lambda) that turns watts into lumens with 683 lm/W.

#include <array>
#include <cstddef>

namespace lucidra {

inline constexpr int kCieFirstNm = 360;
inline constexpr int kCieLastNm = 830;
inline constexpr std::size_t kCieObserverPoints = kCieLastNm - kCieFirstNm + 1;
// Maximum luminous efficacy of radiation for photopic vision (lm/W), at 555 nm.
inline constexpr double kMaxLuminousEfficacy = 683.0;

struct CieColourMatch {
  double x = 0, y = 0, z = 0;
};

extern const std::array<CieColourMatch, kCieObserverPoints> kCie1931Observer;

// The colour-matching functions at `nm`, linear between the 1 nm values and
// zero outside 360..830 nm.
CieColourMatch cie_colour_match(double nm) noexcept;
// V(lambda): the y-bar of cie_colour_match.
inline double photopic_efficiency(double nm) noexcept { return cie_colour_match(nm).y; }

}  // namespace lucidra
