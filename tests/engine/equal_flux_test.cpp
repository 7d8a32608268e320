// Equal-flux and weighted runs: every law passes the far-field check, the
// fluxes add up to the source flux whatever the seed, equal-flux rays all
// carry the same flux, every thread count writes the same bytes, arc mode
// follows its profiles, and equal-flux rays make quieter illuminance maps.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/far_field.h"
#include "engine/run_fixture.h"
#include "sampling/ray_sampler.h"

namespace lucidra::testing {
namespace {

constexpr double kPi180 = 3.14159265358979323846 / 180;

class EqualFluxTest : public RunTest {
 protected:
  GenerationSettings modern_settings() const {
    GenerationSettings s = led_settings();
    s.legacySampling = false;
    s.sizeXmm = 1;
    s.sizeYmm = 1;
    s.sourceFlux = 0.35;
    s.outputFormat = OutputFormat::Zemax;
    return s;
  }

  std::vector<ParsedRay> rays_of(const std::string& path) { return parse_rays(ray_lines(read_bytes(path), 1)); }
};

TEST_F(EqualFluxTest, EveryLawPassesTheCheckAndCarriesTheSourceFlux) {
  struct Case {
    const char* what;
    std::function<void(GenerationSettings&)> set;
  };
  const Case cases[] = {
      {"two tables", [](GenerationSettings&) {}},
      {"lambertian",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Lambertian;
         s.numericalAperture = 1;
       }},
      {"uniform with NA and extent",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Uniform;
         s.numericalAperture = 0.6;
         s.extentAboutZ = 270;
       }},
      {"double side 0",
       [](GenerationSettings& s) {
         s.doubleSide = true;
         s.balance = 0;
       }},
      {"double side 30",
       [](GenerationSettings& s) {
         s.doubleSide = true;
         s.balance = 30;
       }},
      {"double side 100",
       [](GenerationSettings& s) {
         s.doubleSide = true;
         s.balance = 100;
       }},
      {"ellipse",
       [](GenerationSettings& s) {
         s.planeShape = PlaneShape::Elliptical;
         s.sizeXmm = 3;
       }},
      {"square", [](GenerationSettings& s) { s.squareShape = true; }},
      {"pseudo-random", [](GenerationSettings& s) { s.randomAlgorithm = RandomAlgorithm::Uniform; }},
  };
  for (const bool weighted : {false, true}) {
    for (const Case& c : cases) {
      GenerationSettings s = modern_settings();
      s.weightedSampling = weighted;
      s.rayCount = 100000;
      c.set(s);
      const RunReport report = run(s);
      const std::string label = std::string(c.what) + (weighted ? ", weighted" : ", equal flux");
      ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << label << ": " << report.message;
      const std::vector<ParsedRay> rays = rays_of(s.outputPath);
      ASSERT_EQ(rays.size(), 100001u) << label;
      double sum = 0;
      for (const ParsedRay& r : rays) {
        sum += r.v[6];
        if (!weighted) {
          ASSERT_EQ(r.v[6], rays.front().v[6]) << label << ": every ray carries the same flux";
        }
      }
      EXPECT_NEAR(sum, 0.35, 0.35e-6) << label;
      if (!weighted) {
        EXPECT_NEAR(rays.front().v[6], 0.35 / 100001, 0.35 / 100001 * 1e-6) << label;
      }
      FarFieldOptions options;
      options.minRays = 200;
      const FarFieldResult checked = check_ray_file(s.outputPath, RayFileKind::Auto, IntensityLaw(s), options);
      EXPECT_TRUE(checked.passed) << label << "\n" << far_field_report(checked);
      if (s.doubleSide && !weighted) {
        // Decided by the point's first coordinate: the quasi-random
        // sequence spreads it evenly, so the count is b/100 of the rays.
        std::size_t back = 0;
        for (const ParsedRay& r : rays) back += r.v[5] < 0 ? 1 : 0;
        EXPECT_NEAR(static_cast<double>(back), s.balance / 100.0 * 100001, 3) << label;
      }
    }
  }
}

TEST_F(EqualFluxTest, CheckFailsTheWrongLaw) {
  // The example's rays judged against the tables swapped: the planes differ.
  GenerationSettings s = modern_settings();
  s.rayCount = 100000;
  ASSERT_EQ(run(s).outcome, RunOutcome::Succeeded);
  GenerationSettings swapped = s;
  std::swap(swapped.longitudinalFile, swapped.transversalFile);
  const FarFieldResult checked = check_ray_file(s.outputPath, RayFileKind::Auto, IntensityLaw(swapped), {});
  EXPECT_FALSE(checked.passed);
}

TEST_F(EqualFluxTest, TheTotalIsTheSourceFluxForAnySeedAndNoGenerationError) {
  for (const std::int64_t seed : {std::int64_t{1700000000}, std::int64_t{1}, std::int64_t{987654321}}) {
    for (const bool weighted : {false, true}) {
      GenerationSettings s = modern_settings();
      s.clockSeconds = seed;
      s.weightedSampling = weighted;
      s.rayCount = 999;
      s.sourceFlux = 0.72;  // under 1 W: no "GENERATION ERROR" for a small total
      const RunReport report = run(s);
      ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << report.message;
      EXPECT_NEAR(report.obtainedFlux, 0.72, 0.72e-9) << "seed " << seed;
      double sum = 0;
      for (const ParsedRay& r : rays_of(s.outputPath)) sum += r.v[6];
      EXPECT_NEAR(sum, 0.72, 0.72e-6) << "seed " << seed << (weighted ? " weighted" : "");
    }
  }
}

TEST_F(EqualFluxTest, SameBytesOnEveryThreadCountAndOneRayAfterAnother) {
  struct Case {
    const char* what;
    std::function<void(GenerationSettings&)> set;
  };
  const Case cases[] = {
      {"equal flux", [](GenerationSettings&) {}},
      {"weighted, pseudo-random",
       [](GenerationSettings& s) {
         s.weightedSampling = true;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
       }},
      {"ellipse, double side",
       [](GenerationSettings& s) {
         s.planeShape = PlaneShape::Elliptical;
         s.doubleSide = true;
       }},
      {"arc", [](GenerationSettings& s) { s.ledMode = false; }},
      {"arc, weighted",
       [](GenerationSettings& s) {
         s.ledMode = false;
         s.weightedSampling = true;
       }},
  };
  for (const Case& c : cases) {
    GenerationSettings s = modern_settings();
    s.rayCount = 40000;  // more than two chunks of 16384
    c.set(s);
    std::string reference;
    {
      ProcessRandomState fresh;
      RecordingObserver observer;
      ASSERT_EQ(sequential_run(s, observer, fresh).outcome, RunOutcome::Succeeded) << c.what;
      reference = read_bytes(s.outputPath);
    }
    for (const unsigned threads : {1u, 2u, 3u}) {
      s.threads = threads;
      ASSERT_EQ(run(s).outcome, RunOutcome::Succeeded) << c.what;
      EXPECT_TRUE(read_bytes(s.outputPath) == reference) << c.what << ", " << threads << " threads";
    }
  }
}

TEST_F(EqualFluxTest, ArcStartPointsLieInTheCylinderInProportionToTheProfiles) {
  // Along z (mm): F rises linearly from 0 at 0 to 1 at 4; across: E even
  // up to a radius of 1 mm.
  GenerationSettings s = modern_settings();
  s.ledMode = false;
  s.longitudinalFile = dir.write("axial.txt", distribution_text({0, 4}, {0, 1}));
  s.transversalFile = dir.write("radial.txt", distribution_text({0, 1}, {1, 1}));
  s.rayCount = 40000;
  ASSERT_EQ(run(s).outcome, RunOutcome::Succeeded);
  const auto rays = rays_of(s.outputPath);
  std::vector<double> zShare(4, 0);
  double isotropic = 0;
  for (const ParsedRay& r : rays) {
    ASSERT_LE(std::hypot(r.v[0], r.v[1]), 1 + 1e-6);
    ASSERT_GE(r.v[2], 0);
    ASSERT_LE(r.v[2], 4 + 1e-6);
    zShare[static_cast<std::size_t>(std::min(3.0, r.v[2]))] += 1.0 / static_cast<double>(rays.size());
    isotropic += r.v[5] > 0.5 ? 1 : 0;  // even in dz over [-1, 1]: a quarter above 0.5
  }
  // F = z / 4: the share of [k, k + 1] is ((k + 1)^2 - k^2) / 16.
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(zShare[static_cast<std::size_t>(k)], (2 * k + 1) / 16.0, 1e-3) << k;
  EXPECT_NEAR(isotropic / static_cast<double>(rays.size()), 0.25, 1e-3);
}

TEST_F(EqualFluxTest, EqualFluxRaysMakeQuieterIlluminanceMaps) {
  // A narrow LED (full width at half maximum about 10 degrees), pseudo-
  // random draws. The Monte-Carlo variance of a 50 x 50 illuminance map at
  // 100 mm, from the rays themselves: sum over bins of sum f^2 - (sum f)^2 / N.
  const std::string narrowBeam =
      dir.write("beam.txt", distribution_text({0, 2, 5, 8, 12, 20, 40}, {100, 95, 50, 20, 5, 1, 0}));
  double variance[2] = {0, 0};
  for (const bool weighted : {false, true}) {
    GenerationSettings s = modern_settings();
    s.longitudinalFile = s.transversalFile = narrowBeam;
    s.randomAlgorithm = RandomAlgorithm::Uniform;
    s.weightedSampling = weighted;
    s.rayCount = 100000;
    ASSERT_EQ(run(s).outcome, RunOutcome::Succeeded);
    std::vector<double> sum(2500, 0), sum2(2500, 0);
    const auto rays = rays_of(s.outputPath);
    for (const ParsedRay& r : rays) {
      if (r.v[5] <= 0) continue;
      const double t = 100 / r.v[5];
      const double x = r.v[0] + t * r.v[3], y = r.v[1] + t * r.v[4];
      const int i = static_cast<int>(std::floor((x + 25) / 1)), j = static_cast<int>(std::floor((y + 25) / 1));
      if (i < 0 || j < 0 || i >= 50 || j >= 50) continue;
      sum[static_cast<std::size_t>(i * 50 + j)] += r.v[6];
      sum2[static_cast<std::size_t>(i * 50 + j)] += r.v[6] * r.v[6];
    }
    for (std::size_t b = 0; b < sum.size(); ++b) {
      variance[weighted ? 1 : 0] += sum2[b] - sum[b] * sum[b] / static_cast<double>(rays.size());
    }
  }
  EXPECT_GT(variance[1], 2.5 * variance[0]) << "weighted " << variance[1] << ", equal flux " << variance[0];
}

}  // namespace
}  // namespace lucidra::testing

namespace lucidra::testing {
namespace {

TEST_F(EqualFluxTest, NaZeroIsACollimatedBeamOnBothSides) {
  // Lambertian or Uniform with NA 0: every ray along the axis, the
  // balance's share of the flux along -z, in both samplings.
  for (const bool weighted : {false, true}) {
    GenerationSettings s = modern_settings();
    s.angularType = AngularType::Lambertian;
    s.numericalAperture = 0;
    s.doubleSide = true;
    s.balance = 30;
    s.weightedSampling = weighted;
    s.rayCount = 9999;
    const RunReport report = run(s);
    ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << report.message;
    double back = 0, total = 0;
    for (const ParsedRay& r : rays_of(s.outputPath)) {
      ASSERT_EQ(std::fabs(r.v[5]), 1.0);
      total += r.v[6];
      back += r.v[5] < 0 ? r.v[6] : 0;
    }
    EXPECT_NEAR(back / total, 0.3, 1e-3) << (weighted ? "weighted" : "equal flux");
  }
}

}  // namespace
}  // namespace lucidra::testing

namespace lucidra::testing {
namespace {

TEST_F(EqualFluxTest, ArcDirectionsPassTheCheckAndVersion35sFail) {
  // Even in every direction between the margins: the equal-flux and the
  // weighted rays follow it; version 3.5's elevation, even in angle, puts
  // 1/sin(theta) too much light toward the poles.
  for (const SamplingMode mode : {SamplingMode::EqualFlux, SamplingMode::Weighted, SamplingMode::Legacy}) {
    GenerationSettings s = modern_settings();
    s.ledMode = false;
    s.arcMarginADeg = 10;
    s.arcMarginBDeg = 30;
    s.weightedSampling = mode == SamplingMode::Weighted;
    s.legacySampling = mode == SamplingMode::Legacy;
    s.rayCount = 200000;
    const RunReport report = run(s);
    ASSERT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
    const FarFieldResult checked = check_ray_file(s.outputPath, RayFileKind::Auto, IntensityLaw(s), {});
    EXPECT_EQ(checked.passed, mode != SamplingMode::Legacy) << far_field_report(checked);
    // theta from 10 to 150 degrees: (cos 90 - cos 150) / (cos 10 - cos 150) of it backwards.
    const double share = (0 - std::cos(150 * kPi180)) / (std::cos(10 * kPi180) - std::cos(150 * kPi180));
    EXPECT_NEAR(checked.expectedBackwardShare, share, 1e-4);
  }
}

}  // namespace
}  // namespace lucidra::testing
