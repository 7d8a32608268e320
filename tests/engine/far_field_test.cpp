// The far-field check: it passes ray sets that follow their law, fails ray
// sets with planted faults, and passes what generate writes by default while
// failing the version 3.5 sampling where that missed its tables.
#include "engine/far_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "engine/run_fixture.h"
#include "output/ray_format.h"

namespace lucidra::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

AngularDistribution make_table(const std::vector<double>& x, const std::vector<double>& y) {
  AngularDistribution d;
  d.count = d.intensityCount = static_cast<std::int32_t>(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    d.angle[i + 1] = x[i];
    d.intensity[i + 1] = y[i];
  }
  return d;
}

// Rays uniform over the hemisphere (or the cap), flux from `flux(theta, phi)`.
struct SyntheticSet {
  std::int64_t rays = 100000;
  double capDeg = 90;
  double backShare = 0;  // mirrored into dz < 0
  std::function<double(double theta, double phi)> flux;
  std::function<bool(const RayRecord&)> drop;  // a planted fault that loses rays
};

FarFieldBins bin_synthetic(const SyntheticSet& set, const FarFieldOptions& options) {
  FarFieldBins bins(options.binDeg, options.wedgeHalfDeg > 0 ? options.wedgeHalfDeg : 10);
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> u(0, 1);
  const double oneMinusCos = 1 - std::cos(set.capDeg * kPi / 180);
  std::vector<RayRecord> block;
  for (std::int64_t i = 0; i < set.rays; ++i) {
    const double theta = std::acos(1 - oneMinusCos * u(rng));
    const double phi = 2 * kPi * u(rng);
    RayRecord r{
        u(rng) - 0.5,    u(rng) - 0.5,        0, std::sin(theta) * std::sin(phi), std::sin(theta) * std::cos(phi),
        std::cos(theta), set.flux(theta, phi)};
    if (u(rng) < set.backShare) r.dz = -r.dz;
    if (set.drop && set.drop(r)) continue;
    block.push_back(r);
    if (block.size() == 65536) {
      bins.add(block.data(), block.size());
      block.clear();
    }
  }
  bins.add(block.data(), block.size());
  return bins;
}

TEST(FarFieldCheck, PassesFaithfulSetsAndFailsPlantedFaults) {
  const AngularDistribution wide = make_table({0, 20, 40, 60, 80, 90}, {100, 94, 77, 50, 17, 0});
  const AngularDistribution narrow = make_table({0, 10, 20, 40}, {100, 50, 10, 0});
  const auto table = [](const AngularDistribution& t, double deg) {
    const int n = t.stored_count();
    if (deg > t.angle[n]) return 0.0;
    for (int k = 1; k < n; ++k) {
      if (deg <= t.angle[k + 1]) {
        return t.intensity[k] +
               (t.intensity[k + 1] - t.intensity[k]) * (deg - t.angle[k]) / (t.angle[k + 1] - t.angle[k]);
      }
    }
    return t.intensity[n];
  };
  const auto user_defined = [&](const AngularDistribution& l, const AngularDistribution& t) {
    return [&, l, t](double theta, double phi) {
      const double deg = theta * 180 / kPi, f = table(l, deg), e = table(t, deg), c = std::cos(phi);
      return f + (e - f) * c * c;
    };
  };
  const auto in_xz_wedge = [](double phi) {
    const double d = std::fabs(std::remainder(phi - kPi / 2, kPi));
    return d <= 10 * kPi / 180;
  };
  GenerationSettings lambertian;
  lambertian.angularType = AngularType::Lambertian;
  lambertian.numericalAperture = 1;
  GenerationSettings userDefined;
  userDefined.angularType = AngularType::UserDefined;
  GenerationSettings doubleSided = lambertian;
  doubleSided.doubleSide = true;
  doubleSided.balance = 50;
  GenerationSettings collimated = lambertian;
  collimated.numericalAperture = 0;
  GenerationSettings collimatedBothSides = collimated;
  collimatedBothSides.doubleSide = true;
  collimatedBothSides.balance = 30;

  struct Case {
    const char* name;
    GenerationSettings settings;
    SyntheticSet set;
    double binDeg;
    bool passes;
  };
  const auto cosine = [](double theta, double) { return std::cos(theta); };
  const Case cases[] = {
      {"Lambertian, 10^4 rays", lambertian, {10000, 90, 0, cosine, nullptr}, 2, true},
      {"Lambertian, 10^6 rays", lambertian, {1000000, 90, 0, cosine, nullptr}, 2, true},
      {"cos^2 instead of cos",
       lambertian,
       {1000000, 90, 0, [](double theta, double) { return std::cos(theta) * std::cos(theta); }, nullptr},
       2,
       false},
      {"user defined, 10^6 rays", userDefined, {1000000, 90, 0, user_defined(wide, narrow), nullptr}, 2, true},
      {"planes swapped", userDefined, {1000000, 90, 0, user_defined(narrow, wide), nullptr}, 2, false},
      {"x-z plane 2 % off",
       userDefined,
       {10000000, 90, 0,
        [&, law = user_defined(wide, narrow)](double theta, double phi) {
          return law(theta, phi) * (in_xz_wedge(phi) ? 1.02 : 1.0);
        },
        nullptr},
       10,
       false},
      {"the same without the fault", userDefined, {10000000, 90, 0, user_defined(wide, narrow), nullptr}, 10, true},
      {"double side, balance 50", doubleSided, {1000000, 90, 0.5, cosine, nullptr}, 2, true},
      {"double side with the back hemisphere missing",
       doubleSided,
       {1000000, 90, 0.5, cosine, [](const RayRecord& r) { return r.dz < 0; }},
       2,
       false},
      {"rays beyond the cap",
       [&] {
         GenerationSettings s = lambertian;
         s.numericalAperture = 0.5;
         return s;
       }(),
       {1000000, 90, 0, cosine, nullptr},
       2,
       false},
      // NA 0: a collimated beam, every ray along the axis.
      {"collimated", collimated, {10000, 0, 0, cosine, nullptr}, 2, true},
      {"collimated, double side, balance 30", collimatedBothSides, {100000, 0, 0.3, cosine, nullptr}, 2, true},
      {"collimated law, rays spread over 5 degrees", collimated, {10000, 5, 0, cosine, nullptr}, 2, false},
      {"collimated, double side with the backward rays missing",
       collimatedBothSides,
       {100000, 0, 0.3, cosine, [](const RayRecord& r) { return r.dz < 0; }},
       2,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FarFieldOptions options;
    options.binDeg = c.binDeg;
    const IntensityLaw law(c.settings, wide, narrow);
    const FarFieldResult result = compare_far_field(bin_synthetic(c.set, options), law, options);
    EXPECT_EQ(result.passed, c.passes) << far_field_report(result);
    EXPECT_GT(result.scale, 0);
    // A collimated beam says how it was judged instead of a scale it has not.
    const bool collimatedLaw = c.settings.angularType == AngularType::Lambertian && c.settings.numericalAperture == 0;
    const std::string report = far_field_report(result);
    EXPECT_EQ(report.find("a collimated beam") != std::string::npos, collimatedLaw) << report;
    EXPECT_EQ(report.find("per unit of the law") != std::string::npos, !collimatedLaw) << report;
  }
}

TEST(FarFieldCheck, LawAveragesMatchClosedForms) {
  // Over a whole hemisphere of rays carrying cos(theta), the fitted expected
  // curve of every bin is the mean of cos over the bin's solid angle.
  GenerationSettings lambertian;
  lambertian.angularType = AngularType::Lambertian;
  lambertian.numericalAperture = 1;
  const IntensityLaw law(lambertian, {}, {});
  FarFieldOptions options;
  options.binDeg = 10;
  SyntheticSet set{200000, 90, 0, [](double theta, double) { return std::cos(theta); }, nullptr};
  const FarFieldResult result = compare_far_field(bin_synthetic(set, options), law, options);
  for (std::size_t v = 0; v < result.views.size(); ++v) {
    const auto& bins = result.views[v].bins;
    for (std::size_t b = 0; b < 9; ++b) {
      const double lo = bins[b].thetaLoDeg * kPi / 180, hi = bins[b].thetaHiDeg * kPi / 180;
      const double mean =
          0.5 * (std::cos(lo) * std::cos(lo) - std::cos(hi) * std::cos(hi)) / (std::cos(lo) - std::cos(hi));
      EXPECT_NEAR(bins[b].expected / result.scale, mean, 1e-9) << "view " << v << " bin " << b;
    }
    EXPECT_EQ(bins[12].expected, 0) << "nothing backwards";
  }
  // Too few rays to judge any bin is no pass.
  set.rays = 50;
  const FarFieldResult sparse = compare_far_field(bin_synthetic(set, options), law, options);
  EXPECT_FALSE(sparse.passed);
  EXPECT_EQ(far_field_verdict(sparse), "FAIL: no bin holds 100 rays; use more rays or wider bins");
}

// generate, then check against the run's own tables.
TEST_F(RunTest, GeneratedFilesPassTheirOwnLawAndLegacyFailsWhereItMissed) {
  const std::string normalised = dir.write("normalised.txt", distribution_text({0, 30, 60, 90}, {1, 0.87, 0.5, 0}));
  const std::string coarse = dir.write("coarse.txt", distribution_text({0, 45, 90}, {100, 70, 0}));
  const std::string batwing = dir.write("batwing.txt", distribution_text({0, 20, 40, 60, 75}, {40, 100, 100, 30, 0}));
  const std::string shorter = dir.write("shorter.txt", distribution_text({0, 20, 40}, {100, 60, 30}));
  const std::string descending = dir.write("descending.txt", distribution_text({90, 60, 30, 0}, {0, 50, 87, 100}));
  struct Case {
    const char* name;
    std::string longitudinal, transversal;
    RandomAlgorithm algorithm;
    bool considerFlux;
    bool legacyFails;  // whether version 3.5's sampling misses this law
  };
  const Case cases[] = {
      {"shipped-like tables, Sobol", lambertian, narrow, RandomAlgorithm::Sobol, false, true},
      {"normalised to 1, both planes, Sobol", normalised, normalised, RandomAlgorithm::Sobol, false, true},
      {"normalised to 1, Uniform, flux phase", normalised, normalised, RandomAlgorithm::Uniform, true, true},
      {"coarse 3-point table, Uniform", coarse, coarse, RandomAlgorithm::Uniform, false, true},
      {"batwing and coarse, Sobol, flux phase", batwing, coarse, RandomAlgorithm::Sobol, true, true},
      {"unequal ranges, Uniform", lambertian, shorter, RandomAlgorithm::Uniform, false, true},
      {"descending abscissae, Sobol", descending, lambertian, RandomAlgorithm::Sobol, false, false},
  };
  for (const Case& c : cases) {
    for (const bool legacy : {false, true}) {
      if (legacy && !c.legacyFails) continue;
      SCOPED_TRACE(std::string(c.name) + (legacy ? ", legacy sampling" : ""));
      GenerationSettings s = led_settings();
      s.legacySampling = legacy;
      s.rayCount = 200000;
      s.longitudinalFile = c.longitudinal;
      s.transversalFile = c.transversal;
      s.randomAlgorithm = c.algorithm;
      s.considerSourceFlux = c.considerFlux;
      const RunReport report = run(s);
      ASSERT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
      const FarFieldResult result = check_ray_file(output, RayFileKind::Auto, IntensityLaw(s), FarFieldOptions{});
      EXPECT_EQ(result.totals.rays, 200001);
      EXPECT_EQ(result.passed, !legacy) << far_field_report(result);
    }
  }
}

// A check asked to stop ends with CheckStopped however far it got, in text
// and binary files alike; one never asked reads every ray.
TEST_F(RunTest, CheckStopsWhenAskedBetweenBlocks) {
  for (const OutputFormat format : {OutputFormat::Zemax, OutputFormat::ZemaxBinary}) {
    GenerationSettings s = led_settings();
    s.outputFormat = format;
    s.rayCount = 300000;  // several blocks of the reader
    const RunReport report = run(s);
    ASSERT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
    const IntensityLaw law(s);
    for (const int stopAfter : {0, 1, 2, -1}) {  // polls answered "no" before the "yes"; -1: never
      int polls = 0;
      FarFieldOptions options;
      options.stopRequested = [&] { return stopAfter >= 0 && polls++ >= stopAfter; };
      if (stopAfter < 0) {
        EXPECT_EQ(check_ray_file(output, RayFileKind::Auto, law, options).totals.rays, 300001);
      } else {
        EXPECT_THROW(check_ray_file(output, RayFileKind::Auto, law, options), CheckStopped) << "after " << stopAfter;
        EXPECT_EQ(polls, stopAfter + 1) << "no poll after the stop";
      }
    }
  }
}

// The share read, as a check reports it: it starts at 0, never falls, ends
// at 1 once every ray is in, and passes through the middle of a large file
// in text and binary alike.
TEST_F(RunTest, CheckReportsTheShareReadUpToOne) {
  for (const OutputFormat format : {OutputFormat::Zemax, OutputFormat::ZemaxBinary}) {
    SCOPED_TRACE(ray_format(format).displayName);
    GenerationSettings s = led_settings();
    s.outputFormat = format;
    s.rayCount = 300000;  // several blocks of the reader
    const RunReport report = run(s);
    ASSERT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
    std::vector<double> shares;
    FarFieldOptions options;
    options.threads = 1;
    options.progress = [&](double share) { shares.push_back(share); };
    EXPECT_EQ(check_ray_file(output, RayFileKind::Auto, IntensityLaw(s), options).totals.rays, 300001);
    ASSERT_GE(shares.size(), 3u);
    EXPECT_EQ(shares.front(), 0);
    EXPECT_EQ(shares.back(), 1);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_TRUE(std::any_of(shares.begin(), shares.end(), [](double v) { return v > 0.2 && v < 0.99; }))
        << "no share between the start and the end";
    // A stopped check ends before 1.
    shares.clear();
    int polls = 0;
    options.stopRequested = [&] { return polls++ >= 2; };
    EXPECT_THROW(check_ray_file(output, RayFileKind::Auto, IntensityLaw(s), options), CheckStopped);
    ASSERT_FALSE(shares.empty());
    EXPECT_LT(shares.back(), 1);
  }
}

}  // namespace
}  // namespace lucidra::testing
