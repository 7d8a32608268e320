#include "sampling/ray_sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

namespace lucidra {
namespace {

// Hands out scripted draws and counts what was taken.
struct ScriptedDraws {
  std::deque<float> sobols;
  std::deque<std::int32_t> uniforms;
  std::deque<std::int64_t> runtimes;
  int sobolCalls = 0, uniformCalls = 0, runtimeCalls = 0;

  void sobol(float* q) {
    ++sobolCalls;
    for (int d = 0; d < 3 && !sobols.empty(); ++d) {
      q[d] = sobols.front();
      sobols.pop_front();
    }
  }
  void sobol_unit(double* q) {
    ++sobolCalls;
    for (int d = 0; d < 5 && !sobols.empty(); ++d) {
      q[d] = sobols.front();
      sobols.pop_front();
    }
  }
  double unit() {
    ++uniformCalls;
    const double v = static_cast<double>(uniforms.front()) * 1e-9;
    uniforms.pop_front();
    return v;
  }
  std::int32_t uniform(std::int32_t, std::int32_t) {
    ++uniformCalls;
    const std::int32_t v = uniforms.front();
    uniforms.pop_front();
    return v;
  }
  std::int32_t below(std::int32_t k) {
    if (k == 0) return 0;
    ++runtimeCalls;
    const auto v = static_cast<std::int32_t>(runtimes.front());
    runtimes.pop_front();
    return v;
  }
  std::int64_t below_wide(std::int64_t) {
    runtimeCalls += 2;
    const std::int64_t v = runtimes.front();
    runtimes.pop_front();
    return v;
  }
};

AngularDistribution table(std::vector<double> x, std::vector<double> y) {
  AngularDistribution d;
  d.count = d.intensityCount = static_cast<std::int32_t>(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    d.angle[i + 1] = x[i];
    d.intensity[i + 1] = y[i];
  }
  return d;
}

class SamplerTest : public ::testing::Test {
 protected:
  SamplerTest()
      : longitudinal(table({0, 90}, {100, 0}), LevelKind::Longitudinal),
        transversal(table({0, 90}, {50, 50}), LevelKind::Transversal) {
    plan.longitudinal = &longitudinal;
    plan.transversal = &transversal;
    plan.sizeX = plan.sizeY = 2;
    plan.fluxDivisor = 1;
    plan.algorithm = RandomAlgorithm::Uniform;
    plan.legacySampling = true;  // the lookups above follow version 3.5's rule
    plan.mode = SamplingMode::Legacy;
    set_cap(M_PI / 2);
  }
  void set_cap(double cap) {
    plan.capAngle = cap;
    plan.oneMinusCosCap = 1 - std::cos(cap);
  }
  // j3, j4 that give the wanted azimuth and polar angle (degrees) for extent 360, cap 90.
  static std::int32_t azimuth_draw(double deg) { return static_cast<std::int32_t>(std::lround(deg / 360 * 1e9)); }
  static std::int32_t polar_draw(double deg) {
    return static_cast<std::int32_t>(std::lround((1 - std::cos(deg * M_PI / 180)) * 1e9));
  }

  LevelLookup longitudinal, transversal;
  SamplingPlan plan;
};

TEST_F(SamplerTest, AzimuthIsMeasuredFromYTowardX) {
  struct Case {
    double phiDeg;
    double dx, dy;
  };
  for (const Case c : {Case{90, 0.5, 0}, Case{0, 0, 0.5}, Case{180, 0, -0.5}, Case{270, -0.5, 0}}) {
    ScriptedDraws d;
    d.uniforms = {0, 0, azimuth_draw(c.phiDeg), polar_draw(30)};
    RayRecord ray;
    Levels levels;
    ASSERT_TRUE(ray_attempt(plan, d, levels, ray));
    EXPECT_NEAR(ray.dx, c.dx, 1e-6) << c.phiDeg;
    EXPECT_NEAR(ray.dy, c.dy, 1e-6) << c.phiDeg;
    EXPECT_NEAR(ray.dz, 0.8660254, 1e-6) << c.phiDeg;
    EXPECT_EQ(ray.x, 1.0);  // j = 0 gives + half the size
    EXPECT_EQ(ray.y, 1.0);
  }
}

TEST_F(SamplerTest, SobolDirectionOfTheFirstPointOfAProcess) {
  plan.algorithm = RandomAlgorithm::Sobol;
  plan.angularType = AngularType::Uniform;
  ScriptedDraws d;
  d.sobols = {0.9140625f, 0.7578125f};
  d.uniforms = {78263, 315377888};
  Levels levels;
  RayRecord ray;
  ASSERT_TRUE(ray_attempt(plan, d, levels, ray));
  EXPECT_NEAR(ray.x, 0.999843474, 1e-12);
  EXPECT_NEAR(ray.y, 0.369244224, 1e-12);
  EXPECT_NEAR(ray.dx, -0.9951004, 1e-7);
  EXPECT_NEAR(ray.dy, 0.04888615, 1e-8);
  EXPECT_NEAR(ray.dz, 0.0859375, 1e-9);
  EXPECT_NEAR(std::acos(ray.dz) * 180 / M_PI, 85.0700631, 1e-6);
  EXPECT_EQ(d.uniformCalls, 2);
  EXPECT_EQ(d.sobolCalls, 1);
}

TEST_F(SamplerTest, RadialWeightAndSquareShape) {
  // F falls from 100 at 0 to 0 at 90 degrees; E is 50 everywhere.
  plan.angularType = AngularType::UserDefined;
  struct Case {
    double phiDeg, thetaDeg;
    bool square;
    double flux;
  };
  const Case cases[] = {
      {0, 30, false, 50},  // transversal level at phi = 0
      // The longitudinal level at phi = 90; on the falling segment the rise
      // is measured from its lower end: 0 + 100 * 30 / 90, truncated.
      {90, 30, false, 33},
      {45, 60, true, std::sqrt(std::trunc(100 * 60 * std::cos(M_PI / 4) / 90) * 50)},
  };
  for (const Case& c : cases) {
    plan.squareShape = c.square;
    ScriptedDraws d;
    d.uniforms = {0, 0, azimuth_draw(c.phiDeg), polar_draw(c.thetaDeg)};
    Levels levels;
    RayRecord ray;
    ASSERT_TRUE(ray_attempt(plan, d, levels, ray));
    EXPECT_NEAR(ray.flux, c.flux, 1e-6) << c.phiDeg << " " << c.thetaDeg;
  }
}

TEST_F(SamplerTest, DoubleSideBalanceAndRejection) {
  plan.doubleSide = true;
  // Version 3.5: r in 0..100 reverses when balance >= r, so (b + 1)/101 of
  // the rays.
  struct Case {
    std::int32_t balance;
    std::int64_t r;
    bool reversed;
  };
  const Case cases[] = {{30, 0, true}, {30, 30, true}, {30, 31, false}, {30, 100, false}, {0, 0, true}, {0, 1, false}};
  for (const Case& c : cases) {
    plan.balance = c.balance;
    ScriptedDraws d;
    d.uniforms = {500000000, 500000000, azimuth_draw(10), polar_draw(20)};
    d.runtimes = {c.r};
    Levels levels;
    RayRecord ray;
    ASSERT_TRUE(ray_attempt(plan, d, levels, ray));
    EXPECT_EQ(ray.dz < 0, c.reversed) << "balance " << c.balance << " r " << c.r;
    EXPECT_EQ(d.runtimeCalls, 1);
  }
  // A rejected attempt spends its point and direction draws but takes no
  // side draw.
  plan.planeShape = PlaneShape::Elliptical;
  plan.semiAxisX = plan.semiAxisY = 1;
  ScriptedDraws d;
  d.uniforms = {0, 0, 1, 1};  // the corner (1, 1) lies outside the ellipse
  d.runtimes = {0};
  Levels levels;
  RayRecord ray;
  EXPECT_FALSE(ray_attempt(plan, d, levels, ray));
  EXPECT_EQ(d.uniformCalls, 4);
  EXPECT_EQ(d.runtimeCalls, 0);
  // (1, 0) lies on it and is accepted.
  ScriptedDraws kept;
  kept.uniforms = {0, 500000000, 1, 1};
  kept.runtimes = {99};
  EXPECT_TRUE(ray_attempt(plan, kept, levels, ray));
  EXPECT_EQ(kept.runtimeCalls, 1);
}

TEST_F(SamplerTest, ArcModeDrawsAndZeroBounds) {
  plan.ledMode = false;
  plan.arcRadius = 1e-10;  // 2e9 R truncates to 0: no draw, x = y = R
  plan.arcLength = 2;
  plan.radiusBound = 0;
  plan.lengthBound = 2000000000;
  plan.azimuthBound = 0;
  plan.elevationSpan = M_PI;
  plan.elevationStart = -M_PI / 2;
  ScriptedDraws d;
  d.runtimes = {500000000, 750000000};
  Levels levels;
  RayRecord ray;
  ASSERT_TRUE(ray_attempt(plan, d, levels, ray));
  EXPECT_NEAR(ray.x, 1e-10, 1e-18);
  EXPECT_NEAR(ray.y, 1e-10, 1e-18);
  EXPECT_DOUBLE_EQ(ray.z, 0.5);
  EXPECT_EQ(d.runtimeCalls, 2) << "z and the elevation; no azimuth draw for extent 0";
  EXPECT_NEAR(ray.dz, std::sin(M_PI / 4), 1e-12);
  EXPECT_EQ(ray.dx, 0.0);
}

}  // namespace
}  // namespace lucidra
