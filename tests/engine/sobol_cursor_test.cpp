// A worker's Sobol points taken a batch at a time into columns are the
// points taken one at a time.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "engine/parallel_phases.h"

namespace lucidra::testing {
namespace {

TEST(SobolCursor, ColumnsHoldThePointsTakenOneByOne) {
  struct Case {
    int dimension;           // 4 to 6 take the vector path, the others the general one
    std::int64_t startSeed;  // past 2^k - 1 the step takes a new bit column
    std::size_t batches[3];  // batch lengths in turn
  };
  const Case cases[] = {
      {4, 1, {64, 64, 7}},
      {5, 1000, {1, 63, 64}},
      {6, 1023, {64, 3, 64}},
      {5, (std::int64_t{1} << 20) - 5, {10, 64, 64}},
      {6, kSobolSeedLimit - 70, {64, 6, 1}},
      {3, 17, {64, 5, 33}},
      {7, 3, {2, 64, 64}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dimension " + std::to_string(c.dimension) + ", seed " + std::to_string(c.startSeed));
    SobolState table;
    sobol_prepare(c.dimension, table);
    SobolPass pass;
    pass.offset[1] = 0x155;  // a pass offset in some dimensions
    pass.offset[3] = 0x2AAAAAAA;
    SobolCursor columns(table, c.dimension, pass, c.startSeed);
    SobolCursor single(table, c.dimension, pass, c.startSeed);
    for (const std::size_t n : c.batches) {
      double q[6][DirectionSampler::kBatch] = {};
      double(*wide)[DirectionSampler::kBatch] = q;
      double extra[8][DirectionSampler::kBatch] = {};
      if (c.dimension > 6) wide = extra;
      columns.next_columns(n, wide);
      for (std::size_t i = 0; i < n; ++i) {
        double point[SobolCursor::kMaxDimension] = {};
        single.next_unit(point);
        for (int d = 0; d < c.dimension; ++d) {
          ASSERT_EQ(std::bit_cast<std::uint64_t>(wide[d][i]), std::bit_cast<std::uint64_t>(point[d]))
              << "point " << i << ", dimension " << d;
        }
      }
      ASSERT_EQ(columns.seed(), single.seed());
    }
  }
}

}  // namespace
}  // namespace lucidra::testing
