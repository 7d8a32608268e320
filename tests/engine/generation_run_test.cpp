#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/run_fixture.h"

namespace lucidra::testing {
namespace {

TEST_F(RunTest, GoldenFirstRayLineOfANewProcess) {
  GenerationSettings s = led_settings();
  s.angularType = AngularType::Uniform;
  s.numericalAperture = 1;
  const RunReport report = run(s);
  ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << report.message;
  const std::string bytes = read_bytes(output);
  ASSERT_EQ(bytes.substr(0, 10), "30000 4 \r\n");
  const auto lines = ray_lines(bytes, 1);
  ASSERT_EQ(lines.size(), 30001u);
  EXPECT_EQ(lines[0], "9.998435e-01 3.692442e-01 0.000000e+00 -9.951004e-01 4.888615e-02 8.593750e-02 1.166628e-01");
  // The second ray starts at the third and fourth uniform draws.
  const auto rays = parse_rays(lines);
  EXPECT_NEAR(rays[1].v[0], -0.112106496, 1e-6);
  EXPECT_NEAR(rays[1].v[1], -0.173002624, 1e-6);
  EXPECT_NEAR(report.obtainedFlux, 3500.0, 1e-6);
}

TEST_F(RunTest, UniformAlgorithmSpendsTwoDrawsOnTheDirection) {
  GenerationSettings s = led_settings();
  s.randomAlgorithm = RandomAlgorithm::Uniform;
  s.angularType = AngularType::Uniform;
  s.numericalAperture = 1;
  s.rayCount = 10;
  ASSERT_EQ(run(s).outcome, RunOutcome::Succeeded);
  const auto rays = parse_rays(ray_lines(read_bytes(output), 1));
  EXPECT_NEAR(rays[0].v[0], 0.999843474, 1e-6);
  EXPECT_NEAR(rays[0].v[1], 0.369244224, 1e-6);
  EXPECT_NEAR(rays[1].v[0], 0.344655232, 1e-6);
  EXPECT_NEAR(rays[1].v[1], 0.620816288, 1e-6);
}

TEST_F(RunTest, WhatTheObserverIsToldDuringASmallRun) {
  struct Case {
    bool considerFlux;
    std::vector<std::int64_t> gauge;
  };
  // N = 4: the flux phase sets 500 i / 4 for i = 1..5, the writing phase
  // base + span s / 4 for s = 2..6; the gauge reports only changes, clamped,
  // after the reset to 0.
  const Case cases[] = {
      {false, {0, 500, 750, 1000}},
      {true, {0, 125, 250, 375, 500, 625, 750, 875, 1000}},
  };
  for (const Case& c : cases) {
    GenerationSettings s = led_settings();
    s.rayCount = 4;
    s.considerSourceFlux = c.considerFlux;
    s.angularType = AngularType::Uniform;
    RecordingObserver observer;
    ASSERT_EQ(run(s, observer).outcome, RunOutcome::Succeeded);
    EXPECT_EQ(observer.gaugePositions, c.gauge) << "consider flux " << c.considerFlux;
    const std::vector<std::string> expected = {"points 1", "points 2", "phase flux", "phase writing"};
    EXPECT_EQ(observer.events, expected);
    EXPECT_EQ(observer.seriesPoints[1], 3);  // n - 1 points per table
    EXPECT_EQ(observer.seriesPoints[2], 3);
    EXPECT_EQ(ray_lines(read_bytes(output), 1).size(), 5u);
  }
}

TEST_F(RunTest, ConsideredFluxSumsToTheSourceFluxFromTheSecondRunOn) {
  GenerationSettings s = led_settings();
  s.considerSourceFlux = true;
  s.angularType = AngularType::Lambertian;
  s.numericalAperture = 1;
  s.rayCount = 20000;
  const RunReport r1 = run(s);
  const RunReport r2 = run(s);
  ASSERT_EQ(r2.outcome, RunOutcome::Succeeded);
  EXPECT_NEAR(r2.obtainedFlux, 3500.0, 1e-6);
  // The first flux phase of a process drew the half-shifted Sobol points.
  EXPECT_GT(std::fabs(r1.obtainedFlux - 3500.0), 1e-3);

  s.angularType = AngularType::Uniform;
  s.rayCount = 30000;
  const RunReport r3 = run(s);
  EXPECT_NEAR(r3.obtainedFlux, 3500.0, 1e-6);
  for (const auto& line : ray_lines(read_bytes(output), 1)) {
    ASSERT_EQ(line.substr(line.rfind(' ') + 1), "1.166628e-01");
  }
}

TEST_F(RunTest, PointLimitStopsAfterTheHeader) {
  std::vector<double> x450, y450, x451, y451;
  for (int i = 0; i < 451; ++i) {
    (i < 450 ? x450 : x451).push_back(i * 0.2);
    (i < 450 ? y450 : y451).push_back(50);
  }
  x451.insert(x451.begin(), x450.begin(), x450.end());
  y451.insert(y451.begin(), y450.begin(), y450.end());
  const std::string ok = dir.write("ok450.txt", distribution_text(x450, y450));
  const std::string big = dir.write("big451.txt", distribution_text(x451, y451));
  struct Case {
    std::string longitudinal, transversal;
    RunOutcome outcome;
    std::string notice;
  };
  const Case cases[] = {
      {ok, ok, RunOutcome::LowFlux, ""},
      {big, ok, RunOutcome::PointLimit,
       "  ERROR: \n Decrease number of points \n in longitidual file \n Maximum is 450"},
      {ok, big, RunOutcome::PointLimit,
       "  ERROR: \n Decrease number of points \n in transversal file \n Maximum is 450"},
      {big, big, RunOutcome::PointLimit,
       "  ERROR: \n Decrease number of points \n in longitidual file \n Maximum is 450"},
  };
  for (const Case& c : cases) {
    GenerationSettings s = led_settings();
    s.outputFormat = OutputFormat::TracePro;
    s.longitudinalFile = c.longitudinal;
    s.transversalFile = c.transversal;
    s.rayCount = 10;
    s.considerSourceFlux = true;
    s.sourceFlux = 5;
    dir.write("ray.dat", "previous content");
    const RunReport report = run(s);
    if (c.outcome == RunOutcome::PointLimit) {
      EXPECT_EQ(report.outcome, RunOutcome::PointLimit);
      EXPECT_EQ(report.message, c.notice);
      EXPECT_EQ(ray_lines(read_bytes(output), 0).size(), 6u) << "header only: that is this run's file";
    } else {
      EXPECT_NE(report.outcome, RunOutcome::PointLimit);
      EXPECT_EQ(ray_lines(read_bytes(output), 6).size(), 11u);
    }
  }
}

TEST_F(RunTest, ErrorsBeforeTheOutputIsOpenedLeaveItUntouched) {
  const std::string shortValues = dir.write("short.txt", "0 10 20 \r\n\r\n100 50 \r\n");
  const std::string noValue = dir.write("empty_first.txt", "\r\n\r\n100 \r\n");
  const std::string twoLines = dir.write("two_lines.txt", "0 10 \r\n\r\n");
  const std::string notNumber = dir.write("word.txt", "0 ten \r\n\r\n1 2 \r\n");
  struct Case {
    std::string longitudinal;
    std::int32_t rays;
    std::string error;
  };
  const Case cases[] = {
      {(dir.path() / "missing.txt").string(), 10, "Cannot open file " + (dir.path() / "missing.txt").string()},
      {shortValues, 10,
       "Distribution file " + shortValues + " has 3 values on its first line but only 2 on its third line"},
      {noValue, 10,
       "Distribution file " + noValue + " has no value on its first line; a run needs at least one abscissa"},
      {twoLines, 10, "List index out of bounds (2)\n(distribution file " + twoLines + ", line 3 is missing)"},
      {notNumber, 10,
       "'ten' is not a valid floating point value\n(distribution file " + notNumber + ", line 1, value 2)"},
      {lambertian, 0, "Number of Rays must be at least 1 (it is 0)"},
  };
  for (const Case& c : cases) {
    dir.write("ray.dat", "keep me");
    GenerationSettings s = led_settings();
    s.longitudinalFile = c.longitudinal;
    s.rayCount = c.rays;
    const RunReport report = run(s);
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    EXPECT_EQ(report.message, c.error);
    EXPECT_EQ(read_bytes(output), "keep me");
  }
}

// Whatever stops a run once its output is open, the previous file stays
// byte for byte as it was and no temporary file is left beside it.
TEST_F(RunTest, FailuresAfterTheOutputIsOpenedLeaveThePreviousFile) {
  const std::string divisor =
      "The flux divisor is 0.000000, so the ray flux cannot be computed; generate again (the divisor is drawn "
      "at random; with 1 ray it is always 0)";
  for (const bool existed : {true, false}) {
    std::filesystem::remove(output);
    if (existed) dir.write("ray.dat", "previous rays\r\n");
    GenerationSettings s = led_settings();
    s.angularType = AngularType::Lambertian;
    s.numericalAperture = 1;
    s.rayCount = 1;
    const RunReport report = run(s);
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    EXPECT_EQ(report.message,
              divisor + "\nThe ray file " + output + (existed ? " is unchanged." : " was not created."));
    EXPECT_EQ(std::filesystem::exists(output), existed);
    if (existed) {
      EXPECT_EQ(read_bytes(output), "previous rays\r\n");
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.path() != output ? 1 : 0;
    EXPECT_EQ(files, 2u) << "the two distribution files, no temporary file";
  }
}

TEST_F(RunTest, OneRayWithoutFluxPhaseWorksWhenNothingIsDividedByK) {
  GenerationSettings s = led_settings();
  s.rayCount = 1;
  s.angularType = AngularType::Uniform;
  const RunReport report = run(s);
  EXPECT_EQ(report.fluxDivisor, 0.0);
  EXPECT_EQ(report.outcome, RunOutcome::Succeeded);
  EXPECT_EQ(ray_lines(read_bytes(output), 1).size(), 2u);
}

TEST_F(RunTest, SuccessThresholdIsInclusive) {
  struct Case {
    std::int32_t flux, rays;
  };
  for (const Case c : {Case{1, 1}, Case{1, 2}, Case{1, 6}, Case{1, 9}, Case{2, 3}}) {
    GenerationSettings s = led_settings();
    s.angularType = AngularType::Uniform;
    s.sourceFlux = c.flux;
    s.rayCount = c.rays;
    const RunReport report = run(s);
    double expected = 0;
    for (int i = 0; i <= c.rays; ++i) expected += static_cast<double>(c.flux) / (c.rays + 1);
    EXPECT_EQ(report.obtainedFlux, expected);
    EXPECT_EQ(report.outcome, expected >= 1.0 ? RunOutcome::Succeeded : RunOutcome::LowFlux);
  }
}

TEST_F(RunTest, OutputThatCannotBeWrittenIsReported) {
  const std::string folder = (dir.path() / "sub").string();
  std::filesystem::create_directory(folder);
  struct Case {
    std::string path;
    std::string start;
  };
  const Case cases[] = {
      {(dir.path() / "missing" / "ray.dat").string(), "Cannot create ray file "},
      {folder, "Cannot create ray file "},
      {"/dev/full", "Cannot write ray file /dev/full"},
  };
  for (const Case& c : cases) {
#ifdef _WIN32
    if (c.path == "/dev/full") continue;  // a POSIX device
#endif
    GenerationSettings s = led_settings();
    s.outputPath = c.path;
    s.angularType = AngularType::Uniform;
    const RunReport report = run(s);
    EXPECT_EQ(report.outcome, RunOutcome::Failed) << c.path;
    EXPECT_EQ(report.message.rfind(c.start, 0), 0u) << report.message;
    EXPECT_NE(report.message.find(c.path), std::string::npos) << report.message;
  }
}

TEST_F(RunTest, StopRequestEndsTheRunAndKeepsThePreviousFile) {
  dir.write("ray.dat", "previous rays\r\n");
  GenerationSettings s = led_settings();
  s.angularType = AngularType::Uniform;
  s.rayCount = 300000;
  RecordingObserver observer;
  observer.stopAfterPolls = 1;
  const RunReport report = run(s, observer);
  EXPECT_EQ(report.outcome, RunOutcome::Interrupted);
  EXPECT_EQ(report.message, "Generation interrupted\nThe ray file " + output + " is unchanged.");
  EXPECT_EQ(read_bytes(output), "previous rays\r\n");
  EXPECT_LT(report.raysWritten, 300001);
}

TEST_F(RunTest, SameClockSameFile) {
  GenerationSettings s = led_settings();
  s.doubleSide = true;
  s.rayCount = 2000;
  std::string files[2];
  for (auto& f : files) {
    ProcessRandomState fresh;
    RecordingObserver observer;
    generate(s, observer, fresh);
    f = read_bytes(output);
  }
  EXPECT_EQ(files[0], files[1]);
}

}  // namespace
}  // namespace lucidra::testing
