#pragma once
// The sum of one value added again and again, bit for bit as the additions
// one after another give it, in a few steps. Equal-flux rays all carry the
// same flux, and a run adds the fluxes in file order (the header's total,
// the summary's): one dependent addition a ray is a chain the processor
// cannot overlap, on the one thread that commits the file.

#include <cmath>
#include <cstdint>

namespace lucidra {

// What `for (count times) sum += value;` leaves in `sum`, in round-to-nearest
// double precision.
//
// Within one binade [2^(e-1), 2^e) every double is a multiple of the same
// unit u, so x + value rounds to x + d with the same d for every x there:
// value rounded to a multiple of u. A tie (value an odd multiple of u / 2)
// rounds to the even neighbour, so after the first addition of the binade
// the sums are even multiples of u and d is again the same for all of them.
// So two additions one at a time give d, a jump adds as many d as keep the
// sum clear of the binade's end, and the last few go one at a time again.
// Subnormal sums, a sum below zero and a value that is not a positive finite
// number are added one at a time.
inline double add_repeatedly(double sum, double value, std::uint64_t count) noexcept {
  constexpr double kSmallest = 0x1p-960;  // far above the subnormals
  const bool plain = value > 0 && std::isfinite(value);
  while (count > 0) {
    if (!plain || !(sum >= kSmallest) || !std::isfinite(sum) || count < 3) {
      sum += value;
      --count;
      continue;
    }
    int exponent = 0;
    std::frexp(sum, &exponent);
    const double top = std::ldexp(1.0, exponent);  // where the next binade starts
    const double unit = std::ldexp(1.0, exponent - 53);
    const double first = sum + value;
    const double second = first + value;
    count -= 2;
    sum = second;
    if (!(second < top)) continue;       // the binade ends here: go on in the next
    const double step = second - first;  // exact: both are multiples of unit below top
    if (step == 0) return second;        // value is below half a unit: nothing more changes
    // Every sum x of the jump has x + value below top - 4 units, so it
    // rounds inside the binade.
    const double room = std::floor((top - 4 * unit - value - second) / step) - 1;
    if (!(room >= 1)) continue;
    const double jumps = std::fmin(room, static_cast<double>(count));
    sum = second + jumps * step;  // exact: a multiple of unit below top
    count -= static_cast<std::uint64_t>(jumps);
  }
  return sum;
}

}  // namespace lucidra
