#include "random/runtime_generator.h"

#include <gtest/gtest.h>

namespace lucidra {
namespace {

TEST(RuntimeGenerator, SeedAndStepFollowTheRecurrence) {
  RuntimeGenerator g;
  g.seed(1700000000);
  const std::uint64_t seeded = (1700000000ull * 22695477ull + 1ull) & 0xFFFFFFFFull;
  EXPECT_EQ(g.state, seeded);
  const std::uint64_t next = seeded * 1486058704437ull + 1ull;
  EXPECT_EQ(g.next(), static_cast<std::int32_t>((next >> 32) & 0x7FFFFFFF));
  EXPECT_EQ(g.state, next);

  RuntimeGenerator negative;
  negative.seed(-1);  // a clock before 1970 still seeds within 32 bits
  EXPECT_LE(negative.state, 0xFFFFFFFFull);
}

TEST(RuntimeGenerator, RandomBelow) {
  RuntimeGenerator g;
  g.seed(42);
  const std::uint64_t before = g.state;
  EXPECT_EQ(random_below(g, 0), 0);
  EXPECT_EQ(g.state, before) << "k = 0 makes no draw";
  EXPECT_EQ(random_below(g, 1), 0);
  EXPECT_NE(g.state, before) << "k = 1 draws";

  RuntimeGenerator a, b;
  a.seed(7);
  b.seed(7);
  for (int i = 0; i < 10000; ++i) {
    const std::int32_t x = b.next();
    const std::int32_t v = random_below(a, 101);
    ASSERT_EQ(v, x % 101);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 101);
  }
  for (int i = 0; i < 1000; ++i) {
    const std::int32_t v = random_below(a, -7);  // remainder takes the sign of the draw
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 7);
  }
}

TEST(RuntimeGenerator, SkipMatchesStepping) {
  RuntimeGenerator stepped;
  stepped.seed(123);
  for (std::uint64_t n = 0; n < 3000; ++n) {
    RuntimeGenerator jumped;
    jumped.seed(123);
    jumped.skip(n);
    ASSERT_EQ(jumped.state, stepped.state) << n;
    stepped.next();
  }
}

TEST(RuntimeGenerator, WideDrawCoversBoundsBeyond32Bits) {
  RuntimeGenerator g;
  g.seed(5);
  const std::int64_t bound = 4000000000ll;
  bool above32 = false;
  for (int i = 0; i < 10000; ++i) {
    const std::int64_t v = random_below_wide(g, bound);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, bound);
    above32 = above32 || v > INT32_MAX;
  }
  EXPECT_TRUE(above32);
}

}  // namespace
}  // namespace lucidra
