#include "random/park_miller.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace lucidra {
namespace {

TEST(ParkMiller, Uniform01FromSeedTenLeavesKnownSeedsAndValues) {
  const std::array<std::int32_t, 5> seeds = {168070, 677268843, 1194115201, 1259501992, 703671065};
  const std::array<double, 5> values = {7.8263692590e-05, 0.31537788, 0.55605322, 0.58650132, 0.32767237};
  std::int32_t seed = 10;
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const double r = uniform01(seed);
    EXPECT_EQ(seed, seeds[i]) << "draw " << i;
    EXPECT_NEAR(r, values[i], 5e-9) << "draw " << i;
    EXPECT_EQ(r, seeds[i] * 4.656612875e-10) << "draw " << i;
  }
}

TEST(ParkMiller, UniformIntGoldenSequences) {
  struct Case {
    std::int32_t a, b;
    std::array<std::int32_t, 5> expected;
  };
  const Case cases[] = {
      {0, 1000000000, {78263, 315377888, 556053248, 586501312, 327672384}},
      {1, 6, {1, 2, 4, 4, 2}},
      {6, 1, {1, 2, 4, 4, 2}},
  };
  for (const Case& c : cases) {
    std::int32_t seed = 10;
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(uniform_int(c.a, c.b, seed), c.expected[i]) << c.a << ".." << c.b << " draw " << i;
    }
  }
}

TEST(ParkMiller, SpecialSeeds) {
  std::int32_t zero = 0;
  EXPECT_EQ(uniform01(zero), 0.0);
  EXPECT_EQ(zero, 0);
  EXPECT_EQ(uniform_int(7, 3, zero), 3);  // min(a, b)
  EXPECT_EQ(zero, 0);

  std::int32_t negative = -5;
  uniform01(negative);
  EXPECT_EQ(negative, 2147399612);

  std::int32_t lowest = INT32_MIN;  // no intermediate overflows (UBSan watches)
  uniform01(lowest);
  EXPECT_GT(lowest, 0);

  std::int32_t seed = 10;
  EXPECT_EQ(uniform_int(42, 42, seed), 42);
  EXPECT_EQ(seed, 168070) << "a = b still advances the seed";
}

TEST(ParkMiller, UniformIntStaysInRangeOnTheFloatGrid) {
  std::int32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    const std::int32_t v = uniform_int(0, 1000000000, seed);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 1000000000);
    if (v >= (1 << 29)) {
      ASSERT_EQ(v % 64, 0) << v;
    } else if (v >= (1 << 28)) {
      ASSERT_EQ(v % 32, 0) << v;
    }
  }
}

TEST(ParkMiller, FastStepAgreesWithSchrageEverywhere) {
  // The ends of the seed range, the seeds whose products fold to exactly the
  // modulus, and a stride across the whole range.
  std::vector<std::int32_t> seeds = {0, 1, 2, 127772, 127773, 127774, 2147483645, 2147483646, 2147483647};
  for (std::int64_t s = 3; s < 2147483647; s += 7919) seeds.push_back(static_cast<std::int32_t>(s));
  for (const std::int32_t start : seeds) {
    std::int32_t fast = start;
    const double r = uniform01(fast);
    ASSERT_EQ(fast, schrage_step(start)) << "seed " << start;
    ASSERT_EQ(r, fast * kParkMillerScale) << "seed " << start;
  }
}

TEST(ParkMiller, SkipMatchesStepping) {
  for (const std::int32_t start : {10, 1, 2147483646, 987654321, -5}) {
    std::int32_t stepped = start;
    for (std::uint64_t n = 0; n <= 2000; ++n) {
      ASSERT_EQ(park_miller_skip(start, n), stepped) << "start " << start << " skip " << n;
      uniform01(stepped);
    }
  }
  // The period of the minimal standard generator is 2^31 - 2.
  EXPECT_EQ(park_miller_skip(10, 2147483646ull), 10);
}

// Many draws at once give the values and the final seed of as many single
// draws: from the seeds where it falls back to single steps (0, negative,
// the top of the range) and across the range, for counts below, at and past
// the point where the chains start, and every remainder after them.
TEST(ParkMiller, ManyDrawsAtOnceMatchSingleDraws) {
  std::vector<std::int32_t> seeds = {0, -1, -2147483647, 1, 2, 127773, 2147483645, 2147483646, 2147483647};
  for (std::int64_t s = 3; s < 2147483647; s += 104729) seeds.push_back(static_cast<std::int32_t>(s));
  for (const std::int32_t start : seeds) {
    for (const std::size_t n : {0, 1, 3, 7, 8, 9, 10, 11, 15, 16, 17, 23, 24, 31, 64, 97, 320}) {
      std::vector<double> many(n + 1, -1.0);
      std::int32_t batched = start, single = start;
      uniform01_n(batched, n, many.data());
      for (std::size_t i = 0; i < n; ++i) {
        const double one = uniform01(single);
        ASSERT_EQ(many[i], one) << "seed " << start << ", draw " << i << " of " << n;
      }
      EXPECT_EQ(batched, single) << "seed " << start << ", " << n << " draws";
      EXPECT_EQ(many[n], -1.0) << "wrote past the end";
    }
  }
}

}  // namespace
}  // namespace lucidra
