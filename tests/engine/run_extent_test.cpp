// A run's own summary of the rays it wrote: the start points' bounds and the
// share going backwards, gathered while writing. It must match the file read
// back, be the same for any thread count (also where the last chunk was drawn
// beyond the rays needed, or rays were drawn again for a level), and keep
// the emitter's size and the double-sided balance.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "engine/run_fixture.h"
#include "output/ray_format_reader.h"

namespace lucidra::testing {
namespace {

// The text file's seven significant digits.
void expect_close(double got, double written, const char* what) {
  EXPECT_NEAR(got, written, 6e-7 * std::fabs(written) + 1e-12) << what;
}

struct ExtentCase {
  const char* name;
  bool legacy;
  PlaneShape shape;
  bool doubleSide;
  std::int32_t balance;
  std::int32_t rays;
  double expectedBackward;  // share of the rays
};

TEST_F(RunTest, ExtentOfTheRaysWritten) {
  const ExtentCase cases[] = {
      {"equal flux, double side 30 %", false, PlaneShape::Rectangular, true, 30, 100000, 0.30},
      {"equal flux, one side", false, PlaneShape::Elliptical, false, 50, 20000, 0.0},
      // Rejected attempts: the workers draw past the last ray needed.
      {"legacy, elliptical, double side 30 %", true, PlaneShape::Elliptical, true, 30, 60000, 31.0 / 101},
      // Levels unknown at a chunk's start: its first rays are drawn again.
      {"legacy, rectangular, one side", true, PlaneShape::Rectangular, false, 50, 60000, 0.0},
  };
  for (const ExtentCase& c : cases) {
    SCOPED_TRACE(c.name);
    GenerationSettings s = led_settings();
    s.legacySampling = c.legacy;
    s.planeShape = c.shape;
    s.doubleSide = c.doubleSide;
    s.balance = c.balance;
    s.rayCount = c.rays;
    s.sizeXmm = 2;
    s.sizeYmm = 1;
    s.threads = 3;
    const RunReport report = run(s);
    ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << report.message;
    const RayExtent& e = report.extent;
    EXPECT_EQ(e.rays, report.raysWritten);
    EXPECT_EQ(e.rays, std::int64_t{c.rays} + 1);

    // The file read back gives the same figures.
    const std::vector<RayRecord> rays = read_all_rays(s.outputPath);
    ASSERT_EQ(static_cast<std::int64_t>(rays.size()), e.rays);
    RayExtent fromFile;
    for (const RayRecord& r : rays) fromFile.add(r);
    EXPECT_EQ(fromFile.backwardRays, e.backwardRays);
    expect_close(e.backwardFlux, fromFile.backwardFlux, "backward flux");
    for (std::size_t k = 0; k < 3; ++k) {
      expect_close(e.lo[k], fromFile.lo[k], "lower bound");
      expect_close(e.hi[k], fromFile.hi[k], "upper bound");
    }

    // Within the emitter, and spread over most of it.
    EXPECT_GE(e.lo[0], -1.0);
    EXPECT_LE(e.hi[0], 1.0);
    EXPECT_GE(e.lo[1], -0.5);
    EXPECT_LE(e.hi[1], 0.5);
    EXPECT_GT(e.hi[0] - e.lo[0], 1.9);
    EXPECT_GT(e.hi[1] - e.lo[1], 0.95);

    // The double-sided balance, within five standard deviations.
    const double p = c.expectedBackward;
    const double sigma = std::sqrt(std::max(p * (1 - p), 1e-12) / static_cast<double>(e.rays));
    EXPECT_NEAR(e.backward_share(), p, 5 * sigma + 1e-12);
    if (!c.doubleSide) {
      EXPECT_EQ(e.backwardRays, 0);
    }

    // One worker draws the same rays in the same order: the same extent.
    const auto extent_with = [&s](unsigned threads) {
      s.threads = threads;
      ProcessRandomState fresh;
      RecordingObserver observer;
      return generate(s, observer, fresh).extent;
    };
    const RayExtent single = extent_with(1);
    const RayExtent threaded = extent_with(3);
    EXPECT_EQ(single.rays, threaded.rays);
    EXPECT_EQ(single.backwardRays, threaded.backwardRays);
    EXPECT_EQ(single.backwardFlux, threaded.backwardFlux);
    EXPECT_EQ(single.lo, threaded.lo);
    EXPECT_EQ(single.hi, threaded.hi);
  }
}

TEST(RayExtentTest, EmptyMergeAndShare) {
  RayExtent a;
  EXPECT_EQ(a.backward_share(), 0.0);
  EXPECT_GT(a.lo[0], a.hi[0]);  // no ray: an empty box
  a.add(RayRecord{1, -2, 0, 0, 0, 1, 0.5, 0});
  RayExtent b;
  b.add(RayRecord{-3, 4, 0.25, 0, 0.6, -0.8, 2, 0});
  b.add(RayRecord{0, 0, -1, 0, 0, -1, 1, 0});
  a.merge(b);
  EXPECT_EQ(a.rays, 3);
  EXPECT_EQ(a.backwardRays, 2);
  EXPECT_EQ(a.backwardFlux, 3.0);
  EXPECT_DOUBLE_EQ(a.backward_share(), 2.0 / 3);
  EXPECT_EQ(a.lo, (std::array<double, 3>{-3, -2, -1}));
  EXPECT_EQ(a.hi, (std::array<double, 3>{1, 4, 0.25}));

  // A batch at once, after a ray added alone: the same figures.
  const RayRecord batch[] = {{-3, 4, 0.25, 0, 0.6, -0.8, 2, 0}, {0, 0, -1, 0, 0, -1, 1, 0}};
  RayExtent c;
  c.add(RayRecord{1, -2, 0, 0, 0, 1, 0.5, 0});
  EXPECT_TRUE(c.add(batch, 2));
  EXPECT_TRUE(c.add(batch, 0));
  EXPECT_EQ(c.rays, a.rays);
  EXPECT_EQ(c.backwardRays, a.backwardRays);
  EXPECT_EQ(c.backwardFlux, a.backwardFlux);
  EXPECT_EQ(c.lo, a.lo);
  EXPECT_EQ(c.hi, a.hi);
}

// A batch's pass also tells whether every position, direction cosine and
// flux is a finite number (the wavelength is not one of them), and equal
// fluxes going backwards are summed in steps to the bits of one ray at a time.
TEST(RayExtentTest, BatchFindsNonFiniteNumbersAndSumsEqualFluxes) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int field = 0; field < 8; ++field) {
    for (const double bad : {inf, -inf, nan}) {
      std::vector<RayRecord> rays(64, RayRecord{0.5, -0.25, 0, 0.6, 0, -0.8, 0.3, 550});
      double* values[] = {&rays[37].x,  &rays[37].y,  &rays[37].z,    &rays[37].dx,
                          &rays[37].dy, &rays[37].dz, &rays[37].flux, &rays[37].wavelength};
      *values[field] = bad;
      RayExtent e;
      EXPECT_EQ(e.add(rays.data(), rays.size()), field == 7) << "field " << field << " value " << bad;
    }
  }

  // 64 rays of equal flux, every third one backwards, after rays of other
  // fluxes: the same sum, bit for bit, as one ray at a time.
  std::vector<RayRecord> rays;
  for (int i = 0; i < 64; ++i) rays.push_back(RayRecord{0, 0, 0, 0, 0.6, i % 3 == 0 ? -0.8 : 0.8, 0.1 / 3, 0});
  RayExtent stepwise, batched;
  for (const RayRecord start : {RayRecord{0, 0, 0, 0, 0, -1, 1e-3, 0}, RayRecord{0, 0, 0, 0, 0, -1, 7.0, 0}}) {
    stepwise.add(start);
    batched.add(start);
    for (const RayRecord& r : rays) stepwise.add(r);
    EXPECT_TRUE(batched.add(rays.data(), rays.size()));
    EXPECT_EQ(batched.backwardRays, stepwise.backwardRays);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(batched.backwardFlux), std::bit_cast<std::uint64_t>(stepwise.backwardFlux));
  }
  // One backward ray of another flux: the sum one ray at a time.
  rays[63].dz = -0.8;
  rays[63].flux = 0.2;
  for (const RayRecord& r : rays) stepwise.add(r);
  EXPECT_TRUE(batched.add(rays.data(), rays.size()));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(batched.backwardFlux), std::bit_cast<std::uint64_t>(stepwise.backwardFlux));
}

}  // namespace
}  // namespace lucidra::testing
