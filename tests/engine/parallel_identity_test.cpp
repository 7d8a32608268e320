// The parallel engine writes exactly the bytes of the sequential one, for
// every thread count and every kind of run.
#include <gtest/gtest.h>

#include <functional>

#include "engine/parallel_phases.h"
#include "engine/run_fixture.h"

namespace lucidra::testing {
namespace {

struct IdentityCase {
  const char* name;
  std::function<void(GenerationSettings&)> setup;
};

TEST_F(RunTest, ParallelRunsWriteTheSequentialBytes) {
  // Tables that match only part of the polar range make levels persist over
  // long stretches, across chunk borders.
  const std::string tiny = dir.write("tiny.txt", distribution_text({0, 1}, {100, 80}));
  const std::string full = dir.write("full.txt", distribution_text({0, 30, 60, 90}, {100, 90, 40, 0}));
  const std::string bumpy =
      dir.write("bumpy.txt", distribution_text({0, 20, 10, 45, 40, 70}, {5, 90, 30, 60, 10, 100}));
  const std::string arcR = dir.write("arc_r.txt", distribution_text({0, 0.3, 0.6}, {100, 90, 10}));
  const std::string arcL = dir.write("arc_l.txt", distribution_text({0, 1, 2}, {50, 100, 50}));
  const std::string wideR = dir.write("wide_r.txt", distribution_text({0, 1, 2}, {100, 90, 10}));
  const std::string wideL = dir.write("wide_l.txt", distribution_text({0, 1.5, 3}, {50, 100, 50}));
  const auto sobol = [](GenerationSettings& s) { s.randomAlgorithm = RandomAlgorithm::Sobol; };
  const auto uniform = [](GenerationSettings& s) { s.randomAlgorithm = RandomAlgorithm::Uniform; };
  const std::vector<IdentityCase> cases = {
      {"user defined, Sobol", sobol},
      {"user defined, Uniform", uniform},
      {"user defined with a level that rarely matches",
       [&](GenerationSettings& s) {
         s.longitudinalFile = tiny;
         s.transversalFile = full;
       }},
      {"gaussian, unordered abscissae, flux phase",
       [&](GenerationSettings& s) {
         s.angularType = AngularType::Gaussian;
         s.longitudinalFile = bumpy;
         s.considerSourceFlux = true;
       }},
      {"lambertian, NA 1, flux phase",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Lambertian;
         s.numericalAperture = 1;
         s.considerSourceFlux = true;
       }},
      {"uniform angular type, ellipse, double side, Uniform algorithm",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Uniform;
         s.numericalAperture = 0.8;
         s.planeShape = PlaneShape::Elliptical;
         s.doubleSide = true;
         s.balance = 30;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
       }},
      {"lambertian, ellipse, double side, Sobol, flux phase",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Lambertian;
         s.numericalAperture = 0.9;
         s.planeShape = PlaneShape::Elliptical;
         s.doubleSide = true;
         s.considerSourceFlux = true;
         s.sizeYmm = 1;
       }},
      {"square shape with levels persisting",
       [&](GenerationSettings& s) {
         s.squareShape = true;
         s.longitudinalFile = tiny;
         s.transversalFile = full;
         s.doubleSide = true;
       }},
      {"square shape on an ellipse is radial",
       [](GenerationSettings& s) {
         s.squareShape = true;
         s.planeShape = PlaneShape::Elliptical;
       }},
      {"extent 90, Uniform algorithm",
       [](GenerationSettings& s) {
         s.extentAboutZ = 90;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
       }},
      {"arc mode, Sobol, flux phase",
       [&](GenerationSettings& s) {
         s.ledMode = false;
         s.longitudinalFile = arcL;
         s.transversalFile = arcR;
         s.considerSourceFlux = true;
       }},
      {"arc mode, Uniform, extent 0",
       [&](GenerationSettings& s) {
         s.ledMode = false;
         s.longitudinalFile = arcL;
         s.transversalFile = arcR;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
         s.extentAboutZ = 0;
       }},
      {"arc mode, Uniform, beyond the 32-bit grid, flux phase, margins",
       [&](GenerationSettings& s) {
         s.ledMode = false;
         s.longitudinalFile = wideL;
         s.transversalFile = wideR;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
         s.considerSourceFlux = true;
         s.arcMarginADeg = 10;
         s.arcMarginBDeg = 20;
       }},
  };
  // Both sampling rules; the linear one refuses unordered abscissae.
  for (const bool legacy : {true, false}) {
    for (const IdentityCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (legacy ? ", legacy sampling" : ", linear sampling"));
      GenerationSettings s = led_settings();
      s.rayCount = 70001;
      c.setup(s);
      s.legacySampling = legacy;
      if (!legacy && s.longitudinalFile == bumpy) continue;
      // Two runs per process: the second starts from the Sobol state the first left.
      std::string expected[2];
      RunReport expectedReport[2];
      {
        ProcessRandomState fresh;
        for (int r = 0; r < 2; ++r) {
          RecordingObserver observer;
          expectedReport[r] = sequential_run(s, observer, fresh);
          ASSERT_NE(expectedReport[r].outcome, RunOutcome::Failed) << expectedReport[r].message;
          expected[r] = read_bytes(output);
        }
      }
      for (unsigned threads : {1u, 2u, 3u}) {
        s.threads = threads;
        ProcessRandomState fresh;
        for (int r = 0; r < 2; ++r) {
          RecordingObserver observer;
          const RunReport report = generate(s, observer, fresh);
          EXPECT_EQ(report.outcome, expectedReport[r].outcome) << threads << " threads, run " << r;
          EXPECT_EQ(report.obtainedFlux, expectedReport[r].obtainedFlux) << threads << " threads, run " << r;
          EXPECT_EQ(report.fluxDivisor, expectedReport[r].fluxDivisor) << threads << " threads, run " << r;
          EXPECT_TRUE(read_bytes(output) == expected[r]) << threads << " threads, run " << r;
        }
      }
    }
  }
}

TEST_F(RunTest, ParallelGaugeShowsTheSequentialPositions) {
  for (const bool flux : {false, true}) {
    GenerationSettings s = led_settings();
    s.rayCount = 123457;
    s.considerSourceFlux = flux;
    s.planeShape = PlaneShape::Elliptical;
    std::vector<std::int64_t> positions[2];
    for (int m = 0; m < 2; ++m) {
      ProcessRandomState fresh;
      RecordingObserver observer;
      if (m == 0) {
        sequential_run(s, observer, fresh);
      } else {
        generate(s, observer, fresh);
      }
      positions[m] = observer.gaugePositions;
    }
    EXPECT_EQ(positions[0], positions[1]) << "flux phase " << flux;
    EXPECT_EQ(positions[0].back(), 1000);
  }
}

}  // namespace
}  // namespace lucidra::testing

namespace lucidra::testing {
namespace {

TEST_F(RunTest, SobolExhaustionStopsWithAMessageInsteadOfEndingTheProcess) {
  AngularDistribution table;
  table.count = table.intensityCount = 2;
  table.angle[2] = 90;
  table.intensity[1] = table.intensity[2] = 50;
  const LevelLookup lookup(table, LevelKind::Longitudinal);
  SamplingPlan plan;
  plan.mode = SamplingMode::Legacy;  // only version 3.5's ellipse rejects attempts
  plan.legacySampling = true;
  plan.planeShape = PlaneShape::Elliptical;
  plan.sizeX = plan.sizeY = 2;
  plan.semiAxisX = plan.semiAxisY = 1;
  plan.angularType = AngularType::Uniform;
  plan.rayCount = 1000;
  plan.longitudinal = plan.transversal = &lookup;
  ProcessRandomState randomState;
  PhaseStart start;
  start.uniformSeed = 10;
  start.sobol = sobol_begin_pass(2, kSobolSeedLimit - 500, randomState.sobol);
  start.sobolTable = &randomState.sobol;
  PhaseHooks hooks;
  hooks.progressRange = [](std::int64_t, std::int64_t) {};
  RayFileWriter writer(output);
  WritingPhaseResult result;
  PhaseEnd end;
  Levels levels;
  try {
    writing_phase(plan, start, levels, writer, 2, hooks, result, end);
    ADD_FAILURE() << "no error";
  } catch (const UserError& e) {
    EXPECT_EQ(std::string(e.what()), "The quasi-random (Sobol) sequence is exhausted after " +
                                         std::to_string(result.raysWritten) +
                                         " rays of an elliptical emitter; use fewer rays or the pseudo-random "
                                         "(Uniform) algorithm");
  }
  EXPECT_GT(result.raysWritten, 300);
  EXPECT_LT(result.raysWritten, 500);
  EXPECT_EQ(end.lastSobolSeed, kSobolSeedLimit - 1);
}

}  // namespace
}  // namespace lucidra::testing
