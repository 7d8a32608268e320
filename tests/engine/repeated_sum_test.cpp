#include "base/repeated_sum.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace lucidra::testing {
namespace {

double one_at_a_time(double sum, double value, std::uint64_t count) {
  for (std::uint64_t i = 0; i < count; ++i) sum += value;
  return sum;
}

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// The steps give the bits of the additions one after another: across
// binades, for values whose rounding ties (single-precision fluxes summed
// in doubles, powers of two), values below half a unit of the sum, and the
// values and sums the steps leave to single additions.
TEST(AddRepeatedly, GivesTheBitsOfOneAdditionAfterAnother) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double sum, value;
    std::uint64_t count;
  };
  const Case cases[] = {
      {0, 3500.0 / 10000001, 10000001},                                 // equal-flux rays of a run
      {0, static_cast<double>(static_cast<float>(0.35 / 3)), 3000000},  // a header's float fluxes
      {0, static_cast<double>(1.0f / 3), 20000000},                     // ties once the sum passes 2^29 values
      {0, 0x1p-20, 5000000},                                            // a power of two: exact throughout
      {0x1p40, 0x1p-13, 1000000},                                       // value exactly half a unit: ties stay even
      {0x1p40 + 0x1p-12, 0x1p-13, 1000001},                             // the same from an odd sum
      {0x1p40, 0x1p-14, 1000},                                          // below half a unit: nothing changes
      {1e300, 1e300, 1000},                                             // overflows to infinity
      {0, 0, 100},
      {0.5, -0.125, 100},    // a negative value
      {-3, 0.1, 1000},       // a negative sum
      {0, 0x1p-1070, 1000},  // subnormal values
      {0, nan, 10},
      {0, inf, 10},
      {nan, 1, 10},
      {7, 1, 0},
      {7, 1, 1},
      {7, 1, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bits(add_repeatedly(c.sum, c.value, c.count)), bits(one_at_a_time(c.sum, c.value, c.count)))
        << c.sum << " + " << c.value << " x " << c.count;
  }

  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> mantissa(1, 2);
  std::uniform_int_distribution<int> exponent(-40, 40);
  std::uniform_int_distribution<std::uint64_t> count(0, 200000);
  for (int i = 0; i < 300; ++i) {
    double value = std::ldexp(mantissa(random), exponent(random));
    if (i % 3 == 0) value = static_cast<double>(static_cast<float>(value));  // 24 bits: ties
    const double sum = i % 2 == 0 ? 0.0 : std::ldexp(mantissa(random), exponent(random));
    const std::uint64_t n = count(random);
    ASSERT_EQ(bits(add_repeatedly(sum, value, n)), bits(one_at_a_time(sum, value, n)))
        << sum << " + " << value << " x " << n;
  }
}

}  // namespace
}  // namespace lucidra::testing
