#include "random/sobol.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>

#include <array>
#include <vector>

namespace lucidra {
namespace {

using Point3 = std::array<float, 3>;

Point3 next3(std::int32_t seed, SobolState& state) {
  Point3 q{};
  i4_sobol(3, seed, q.data(), state);
  return q;
}

TEST(Sobol, BitHelpers) {
  const std::pair<std::int32_t, std::int32_t> lowestZero[] = {{0, 1}, {1, 2}, {2, 1}, {3, 3}, {5, 2}, {7, 4}};
  for (auto [n, bit] : lowestZero) EXPECT_EQ(lowest_zero_bit(n), bit) << n;
  const std::pair<std::int32_t, std::int32_t> highestOne[] = {{0, 0},           {1, 1},  {2, 2},        {3, 2},
                                                              {1073741823, 30}, {-1, 0}, {INT32_MIN, 0}};
  for (auto [n, bit] : highestOne) EXPECT_EQ(highest_one_bit(n), bit) << n;
}

TEST(Sobol, DirectionTableForThreeDimensions) {
  SobolState s;
  next3(0, s);
  const std::array<std::int32_t, 5> row1 = {536870912, 805306368, 671088640, 1006632960, 570425344};
  const std::array<std::int32_t, 5> row2 = {536870912, 268435456, 939524096, 738197504, 436207616};
  const std::array<std::int32_t, 3> row0 = {536870912, 268435456, 134217728};
  for (int j = 0; j < 5; ++j) {
    EXPECT_EQ(s.direction_numbers[1][j], row1[j]) << j;
    EXPECT_EQ(s.direction_numbers[2][j], row2[j]) << j;
  }
  for (int j = 0; j < 3; ++j) EXPECT_EQ(s.direction_numbers[0][j], row0[j]) << j;
  EXPECT_EQ(s.unit_scale, 9.313225746e-10f);
  EXPECT_EQ(s.MAXCOL, 30);
  EXPECT_EQ(s.dim_in_use, 3);
}

TEST(Sobol, RegularPointsFromAConsistentState) {
  const Point3 expected[] = {{0, 0, 0},
                             {0.5, 0.5, 0.5},
                             {0.75, 0.25, 0.75},
                             {0.25, 0.75, 0.25},
                             {0.375, 0.375, 0.625},
                             {0.875, 0.875, 0.125},
                             {0.625, 0.125, 0.375},
                             {0.125, 0.625, 0.875}};
  SobolState s;
  next3(0, s);
  for (std::int32_t seed = 0; seed < 8; ++seed) {
    std::int32_t in = seed;
    Point3 q{};
    i4_sobol(3, in, q.data(), s);
    EXPECT_EQ(q, expected[seed]) << "seed " << seed;
    EXPECT_EQ(in, seed + 1);
  }
}

TEST(Sobol, FirstCallsOfANewProcessGetTheHalfShiftedPoints) {
  {
    SobolState s;
    EXPECT_EQ(next3(1, s), (Point3{0, 0, 0}));
    EXPECT_EQ(next3(2, s), (Point3{0.25, 0.75, 0.25}));
    EXPECT_EQ(next3(3, s), (Point3{0.75, 0.25, 0.75}));
    EXPECT_EQ(next3(4, s), (Point3{0.875, 0.875, 0.125}));
  }
  {
    SobolState s;
    EXPECT_EQ(next3(5, s), (Point3{0.375, 0.375, 0.625}));
    EXPECT_EQ(next3(5, s), (Point3{0.875, 0.875, 0.125}));
  }
  {
    SobolState s;
    std::array<float, 2> q{};
    std::int32_t seed = 100;
    i4_sobol(2, seed, q.data(), s);
    EXPECT_EQ(q, (std::array<float, 2>{0.9140625f, 0.7578125f}));
    i4_sobol(2, seed, q.data(), s);
    EXPECT_EQ(q, (std::array<float, 2>{0.4140625f, 0.2578125f}));
    seed = 100;
    i4_sobol(2, seed, q.data(), s);
    EXPECT_EQ(q, (std::array<float, 2>{0.4140625f, 0.2578125f}));
    i4_sobol(2, seed, q.data(), s);
    EXPECT_EQ(q, (std::array<float, 2>{0.9140625f, 0.7578125f}));
  }
}

TEST(Sobol, NegativeSeedIsTreatedAsZero) {
  SobolState s;
  std::int32_t seed = -7;
  Point3 q{1, 1, 1};
  i4_sobol(3, seed, q.data(), s);
  EXPECT_EQ(q, (Point3{0, 0, 0}));
  EXPECT_EQ(seed, 1);
}

TEST(Sobol, DirectCoordinatesMatchTheSequence) {
  SobolState s;
  next3(0, s);
  std::int32_t seed = 0;
  for (int i = 0; i < 5000; ++i) {
    Point3 q{};
    const std::int32_t current = seed;
    i4_sobol(3, seed, q.data(), s);
    for (int d = 0; d < 3; ++d) {
      ASSERT_EQ(static_cast<float>(sobol_integer_coordinate(s, d, current)) * s.unit_scale, q[d])
          << "seed " << current << " dim " << d;
    }
  }
}

TEST(Sobol, EachPointIsAloneInItsElementaryInterval) {
  // The first 2^k points of every two-dimensional projection put one point in
  // each cell of a 2^a by 2^b grid with a + b = k.
  SobolState s;
  std::vector<std::array<float, 2>> points(256);
  for (std::int32_t i = 0; i < 256; ++i) {
    std::int32_t seed = i;
    i4_sobol(2, seed, points[static_cast<std::size_t>(i)].data(), s);
  }
  for (int a = 0; a <= 8; ++a) {
    const int b = 8 - a;
    std::vector<int> cells(256, 0);
    for (const auto& p : points) {
      const int cx = static_cast<int>(p[0] * (1 << a));
      const int cy = static_cast<int>(p[1] * (1 << b));
      ++cells[static_cast<std::size_t>(cx * (1 << b) + cy)];
    }
    for (int c : cells) ASSERT_EQ(c, 1) << "grid " << a << "/" << b;
  }
}

TEST(SobolDeathTest, FatalReports) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto call = [](std::int32_t dim, std::int32_t seed) {
    dup2(2, 1);  // the reports go to standard output; let the matcher see them
    SobolState s;
    std::array<float, 41> q{};
    i4_sobol(dim, seed, q.data(), s);
  };
  EXPECT_EXIT(call(1, 0), ::testing::ExitedWithCode(1),
              "I4_SOBOL - Fatal error!\n  The spatial dimension DIM_NUM should satisfy:\n    2 <= DIM_NUM <= 40\n"
              "  But this input value is DIM_NUM = 1");
  EXPECT_EXIT(call(41, 0), ::testing::ExitedWithCode(1), "DIM_NUM = 41");
  const auto consecutive = [] {
    dup2(2, 1);
    SobolState s;
    std::array<float, 2> q{};
    std::int32_t seed = 0;
    i4_sobol(2, seed, q.data(), s);
    seed = 1073741823;
    s.previous_seed = 1073741822;  // arrive by the next consecutive call
    i4_sobol(2, seed, q.data(), s);
  };
  EXPECT_EXIT(consecutive(), ::testing::ExitedWithCode(2),
              "I4_SOBOL - Fatal error!\n  The value of SEED seems to be too large!\n  SEED =   1073741823\n"
              "  MAXCOL = 30\n  L =      31");
  // A forward jump past the last column is refused before it steps through it.
  EXPECT_EXIT(call(2, 1073741824), ::testing::ExitedWithCode(2), "SEED =   1073741824\n  MAXCOL = 30\n  L =      31");
  EXPECT_EXIT(call(2, INT32_MAX), ::testing::ExitedWithCode(2), "SEED =   2147483647");

  // A program's own handler receives the same report and status; the process
  // ends even when the handler returns.
  const auto own_handler = [&](bool returns) {
    // One line, so that the pattern needs no newline on any platform.
    set_sobol_fatal_handler(returns ? +[](const std::string& report, int) {
      std::string line = report;
      std::replace(line.begin(), line.end(), '\n', ' ');
      std::fprintf(stderr, "seen: %s", line.c_str());
    }
                                    : +[](const std::string& report, int status) {
                                        std::string line = report;
                                        std::replace(line.begin(), line.end(), '\n', ' ');
                                        std::fprintf(stderr, "window: %s", line.c_str());
                                        std::exit(status + 10);
                                      });
    call(41, 0);
  };
  EXPECT_EXIT(own_handler(false), ::testing::ExitedWithCode(11), "window:  I4_SOBOL - Fatal error!.*DIM_NUM = 41");
  EXPECT_EXIT(own_handler(true), ::testing::ExitedWithCode(1), "seen: .*DIM_NUM = 41");
}

}  // namespace
}  // namespace lucidra
