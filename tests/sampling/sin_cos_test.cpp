#include "sampling/sin_cos.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace lucidra {
namespace {

// Distance in units in the last place between two finite doubles.
std::uint64_t ulps_apart(double a, double b) {
  auto ordered = [](double v) {
    const auto bits = std::bit_cast<std::int64_t>(v);
    return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
  };
  const std::int64_t ia = ordered(a), ib = ordered(b);
  return ia > ib ? static_cast<std::uint64_t>(ia - ib) : static_cast<std::uint64_t>(ib - ia);
}

TEST(SinCos, WithinOneUlpOfTheCLibraryOverEveryRangeItServes) {
  std::mt19937_64 rng(11);
  std::vector<double> xs = {0.0, 1e-300, 5e-324, 1e-9, 0.5, 1.0, 3.0, 6.283185307179586, 7.0, 823549.0};
  // Directions (0 .. 2 pi and -pi/2 .. pi/2) and wider, to the reduction limit.
  for (const double range : {1.5707963267948966, 6.283185307179586, 100.0, 823549.0}) {
    std::uniform_real_distribution<double> pick(-range, range);
    for (int i = 0; i < 300000; ++i) xs.push_back(pick(rng));
  }
  // Near every multiple of pi/2 up to 10^4 quadrants, where the reduction
  // cancels most of the argument.
  for (int k = 1; k <= 10000; ++k) {
    double x = k * 1.5707963267948966;
    for (int step = 0; step < 3; ++step) x = std::nextafter(x, 0.0);
    for (int step = 0; step < 7; ++step, x = std::nextafter(x, INFINITY)) xs.push_back(x);
  }
  std::uint64_t worst = 0;
  for (const double x0 : xs) {
    for (const double x : {x0, -x0}) {
      double s = 2, c = 2;
      sin_cos(x, s, c);
      const std::uint64_t ds = ulps_apart(s, std::sin(x)), dc = ulps_apart(c, std::cos(x));
      ASSERT_LE(ds, 1u) << "sin " << x << " = " << s << ", C library " << std::sin(x);
      ASSERT_LE(dc, 1u) << "cos " << x << " = " << c << ", C library " << std::cos(x);
      worst = std::max({worst, ds, dc});
    }
  }
  EXPECT_LE(worst, 1u);
}

TEST(SinCos, SpecialArgumentsAndSigns) {
  struct Case {
    double x, sin, cos;
  };
  const Case cases[] = {
      {0.0, 0.0, 1.0},
      {1.5707963267948966, 1.0, 6.123233995736766e-17},
      {3.141592653589793, 1.2246467991473532e-16, -1.0},
      {4.71238898038469, -1.0, -1.8369701987210297e-16},
  };
  for (const Case& k : cases) {
    double s = 2, c = 2;
    sin_cos(k.x, s, c);
    EXPECT_EQ(s, k.sin) << k.x;
    EXPECT_EQ(c, k.cos) << k.x;
  }
  double s = 2, c = 2;
  sin_cos(-0.0, s, c);
  EXPECT_TRUE(s == 0 && std::signbit(s)) << "sin(-0) is -0";
  EXPECT_EQ(c, 1.0);
  const double inf = std::numeric_limits<double>::infinity();
  for (const double x : {std::nan(""), inf, -inf}) {
    sin_cos(x, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c)) << x;
  }
  // Beyond the reduction's range the C library answers, to the bit.
  sin_cos(1e22, s, c);
  EXPECT_EQ(s, std::sin(1e22));
  EXPECT_EQ(c, std::cos(1e22));
}

// The two-at-a-time form against single calls, bit for bit: every
// quadrant and sign, -0, the reduction's limit, values beyond it and
// non-finite ones beside a finite partner, and odd counts that leave one.
TEST(SinCos, BatchGivesTheBitsOfSingleCalls) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> xs = {0.0,
                            -0.0,
                            1e-300,
                            -5e-324,
                            0.7853981633974483,
                            1.5707963267948966,
                            -3.141592653589793,
                            4.71,
                            823549.0,
                            -823549.6645826427,
                            823549.7,
                            1e22,
                            std::nan(""),
                            inf,
                            -inf,
                            2.5};
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> pick(-20, 20);
  for (int i = 0; i < 20000; ++i) xs.push_back(pick(rng));
  const auto same = [](double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
  };
  for (std::size_t first = 0; first < 5; ++first) {
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7}, xs.size() - first}) {
      std::vector<double> s(n, 9), c(n, 9);
      sin_cos_n(n, xs.data() + first, s.data(), c.data());
      for (std::size_t i = 0; i < n; ++i) {
        const double x = xs[first + i];
        double s1 = 2, c1 = 2;
        sin_cos(x, s1, c1);
        ASSERT_TRUE(same(s[i], s1) || (std::isnan(s[i]) && std::isnan(s1))) << "sin " << x << ": " << s[i] << " " << s1;
        ASSERT_TRUE(same(c[i], c1) || (std::isnan(c[i]) && std::isnan(c1))) << "cos " << x << ": " << c[i] << " " << c1;
      }
    }
  }
}

}  // namespace
}  // namespace lucidra
