#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/run_fixture.h"

namespace lucidra::testing {
namespace {

const char* const kConfirm = "box Lucidra| Begin generation of Source File? \n\n Existing file will be overritten!!!|52";

TEST_F(RunTest, GoldenFirstRayLineOfANewProcess) {
  GenerationSettings s = led_settings();
  s.angularType = AngularType::Uniform;
  s.numericalAperture = "1";
  RecordingFrontEnd ui(s);
  const RunReport report = run(ui);
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
  EXPECT_EQ(ui.obtainedFluxText.substr(0, 4), "3500");
  EXPECT_NEAR(report.obtainedFlux, 3500.0, 1e-6);
  EXPECT_EQ(ui.notices, std::vector<std::string>{" Source File Created Succesfully!!! "});
}

TEST_F(RunTest, UniformAlgorithmSpendsTwoDrawsOnTheDirection) {
  GenerationSettings s = led_settings();
  s.randomAlgorithm = RandomAlgorithm::Uniform;
  s.angularType = AngularType::Uniform;
  s.numericalAperture = "1";
  s.rayCount = 10;
  RecordingFrontEnd ui(s);
  ASSERT_EQ(run(ui).outcome, RunOutcome::Succeeded);
  const auto rays = parse_rays(ray_lines(read_bytes(output), 1));
  EXPECT_NEAR(rays[0].v[0], 0.999843474, 1e-6);
  EXPECT_NEAR(rays[0].v[1], 0.369244224, 1e-6);
  EXPECT_NEAR(rays[1].v[0], 0.344655232, 1e-6);
  EXPECT_NEAR(rays[1].v[1], 0.620816288, 1e-6);
}

TEST_F(RunTest, RefusedFormatsAndNoLeaveEverythingAlone) {
  struct Case {
    OutputFormat format;
    DialogButton answer;
    std::vector<std::string> events;
    RunOutcome outcome;
  };
  const Case cases[] = {
      {OutputFormat::Asap, DialogButton::Yes, {"box Lucidra| ASAP is not supported in this version of Lucidra|64"},
       RunOutcome::Refused},
      {OutputFormat::LightTools, DialogButton::Yes,
       {"box Lucidra| LightTools is not supported in this version of Lucidra|64"}, RunOutcome::Refused},
      {OutputFormat::Zemax, DialogButton::No, {kConfirm}, RunOutcome::Cancelled},
  };
  for (const Case& c : cases) {
    dir.write("ray.dat", "previous content");
    GenerationSettings s = led_settings();
    s.outputFormat = c.format;
    RecordingFrontEnd ui(s);
    ui.answer = c.answer;
    EXPECT_EQ(run(ui).outcome, c.outcome);
    EXPECT_EQ(ui.events, c.events);
    EXPECT_TRUE(ui.gaugePositions.empty());
    EXPECT_EQ(read_bytes(output), "previous content");
  }
}

TEST_F(RunTest, MessagesGaugeAndDisplaysOfASmallRun) {
  struct Case {
    bool considerFlux;
    std::vector<std::int64_t> gauge;
  };
  // N = 4: the flux phase sets 500 i / 4 for i = 1..5, the writing phase
  // base + span s / 4 for s = 2..6; the gauge reports only changes, clamped.
  const Case cases[] = {
      {false, {0, 500, 750, 1000}},
      {true, {0, 125, 250, 375, 500, 625, 750, 875, 1000}},
  };
  for (const Case& c : cases) {
    GenerationSettings s = led_settings();
    s.rayCount = 4;
    s.considerSourceFlux = c.considerFlux;
    s.angularType = AngularType::Uniform;
    s.notifyEnd = true;
    RecordingFrontEnd ui(s);
    ASSERT_EQ(run(ui).outcome, RunOutcome::Succeeded);
    EXPECT_EQ(ui.gaugePositions, c.gauge) << "consider flux " << c.considerFlux;
    const std::vector<std::string> expected = {kConfirm,
                                               "read settings",
                                               "pictures hidden",
                                               "chart hidden",
                                               "repaint",
                                               "clear series 1",
                                               "clear series 2",
                                               "gauge shown",
                                               "status Calculation Flux...",
                                               "status Writing to file...",
                                               "flux 3500.000000",
                                               "beep 3000 300",
                                               "notice  Source File Created Succesfully!!! ",
                                               "picture 1",
                                               "gauge hidden",
                                               "status "};
    EXPECT_EQ(ui.events, expected);
    EXPECT_EQ(ui.seriesPoints[1], 3);  // n - 1 points per table
    EXPECT_EQ(ui.seriesPoints[2], 3);
    EXPECT_EQ(ui.lastColour, kColourRed);
    EXPECT_EQ(ray_lines(read_bytes(output), 1).size(), 5u);
  }
}

TEST_F(RunTest, ConsideredFluxSumsToTheSourceFluxFromTheSecondRunOn) {
  GenerationSettings s = led_settings();
  s.considerSourceFlux = true;
  s.angularType = AngularType::Lambertian;
  s.numericalAperture = "1";
  s.rayCount = 20000;
  RecordingFrontEnd first(s);
  const RunReport r1 = run(first);
  RecordingFrontEnd second(s);
  const RunReport r2 = run(second);
  ASSERT_EQ(r2.outcome, RunOutcome::Succeeded);
  EXPECT_NEAR(r2.obtainedFlux, 3500.0, 1e-6);
  // The first flux phase of a process drew the half-shifted Sobol points.
  EXPECT_GT(std::fabs(r1.obtainedFlux - 3500.0), 1e-3);

  s.angularType = AngularType::Uniform;
  s.rayCount = 30000;
  RecordingFrontEnd uniform(s);
  const RunReport r3 = run(uniform);
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
    RecordingFrontEnd ui(s);
    const RunReport report = run(ui);
    if (c.outcome == RunOutcome::PointLimit) {
      EXPECT_EQ(report.outcome, RunOutcome::PointLimit);
      EXPECT_EQ(ui.notices, std::vector<std::string>{c.notice});
      EXPECT_EQ(ray_lines(read_bytes(output), 0).size(), 6u) << "header only";
      EXPECT_EQ(ui.events.back(), "status ");
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
      {shortValues, 10, "Distribution file " + shortValues + " has 3 values on its first line but only 2 on its third line"},
      {noValue, 10, "Distribution file " + noValue + " has no value on its first line; a run needs at least one abscissa"},
      {twoLines, 10, "List index out of bounds (2)"},
      {notNumber, 10, "'ten' is not a valid floating point value"},
      {lambertian, 0, "Number of Rays must be at least 1 (it is 0)"},
  };
  for (const Case& c : cases) {
    dir.write("ray.dat", "keep me");
    GenerationSettings s = led_settings();
    s.longitudinalFile = c.longitudinal;
    s.rayCount = c.rays;
    RecordingFrontEnd ui(s);
    const RunReport report = run(ui);
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    EXPECT_EQ(ui.errors, std::vector<std::string>{c.error});
    EXPECT_FALSE(report.fileOpened);
    EXPECT_EQ(read_bytes(output), "keep me");
    EXPECT_TRUE(ui.notices.empty());
  }
}

TEST_F(RunTest, ErrorsAfterTheOutputIsOpenedSaySoAndCloseIt) {
  struct Case {
    std::string sizeX, na;
    AngularType type;
    std::int32_t rays;
    std::string error;
  };
  const Case cases[] = {
      {"abc", "0", AngularType::UserDefined, 5, "'abc' is not a valid floating point value"},
      {"2", "x", AngularType::Lambertian, 5, "'x' is not a valid floating point value"},
      {"2", "1", AngularType::Lambertian, 1,
       "The flux divisor is 0.000000, so the ray flux cannot be computed; generate again (the divisor is drawn "
       "at random; with 1 ray it is always 0)"},
  };
  for (const Case& c : cases) {
    GenerationSettings s = led_settings();
    s.sizeX = c.sizeX;
    s.numericalAperture = c.na;
    s.angularType = c.type;
    s.rayCount = c.rays;
    RecordingFrontEnd ui(s);
    const RunReport report = run(ui);
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], c.error + "\nThe ray file " + output + " is incomplete: 0 of " +
                                std::to_string(c.rays + 1) + " rays were written.");
    EXPECT_EQ(read_bytes(output), std::to_string(c.rays) + " 4 \r\n");
    EXPECT_TRUE(ui.notices.empty());
  }
}

TEST_F(RunTest, OneRayWithoutFluxPhaseWorksWhenNothingIsDividedByK) {
  GenerationSettings s = led_settings();
  s.rayCount = 1;
  s.angularType = AngularType::Uniform;
  RecordingFrontEnd ui(s);
  const RunReport report = run(ui);
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
    RecordingFrontEnd ui(s);
    const RunReport report = run(ui);
    double expected = 0;
    for (int i = 0; i <= c.rays; ++i) expected += static_cast<double>(c.flux) / (c.rays + 1);
    EXPECT_EQ(report.obtainedFlux, expected);
    EXPECT_EQ(report.outcome, expected >= 1.0 ? RunOutcome::Succeeded : RunOutcome::LowFlux);
    EXPECT_EQ(ui.notices.back(), expected >= 1.0 ? " Source File Created Succesfully!!! "
                                                 : "GENERATION ERROR!!! \n PLEASE REGENERATE!!! ");
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
    GenerationSettings s = led_settings();
    s.outputPath = c.path;
    s.angularType = AngularType::Uniform;
    RecordingFrontEnd ui(s);
    const RunReport report = run(ui);
    EXPECT_EQ(report.outcome, RunOutcome::Failed) << c.path;
    ASSERT_EQ(ui.errors.size(), 1u) << c.path;
    EXPECT_EQ(ui.errors[0].rfind(c.start, 0), 0u) << ui.errors[0];
    EXPECT_NE(ui.errors[0].find(c.path), std::string::npos) << ui.errors[0];
    EXPECT_TRUE(ui.notices.empty()) << "no success reported";
  }
}

TEST_F(RunTest, StopRequestEndsTheRunAndClosesTheFile) {
  GenerationSettings s = led_settings();
  s.angularType = AngularType::Uniform;
  s.rayCount = 300000;
  RecordingFrontEnd ui(s);
  ui.stopAfterPolls = 1;
  const RunReport report = run(ui);
  EXPECT_EQ(report.outcome, RunOutcome::Interrupted);
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0].rfind("Generation interrupted\nThe ray file ", 0), 0u) << ui.errors[0];
  const auto lines = ray_lines(read_bytes(output), 1);
  EXPECT_EQ(static_cast<std::int64_t>(lines.size()), report.raysWritten);
  EXPECT_LT(report.raysWritten, 300001);
}

TEST_F(RunTest, SameClockSameFile) {
  GenerationSettings s = led_settings();
  s.doubleSide = true;
  s.rayCount = 2000;
  std::string files[2];
  for (auto& f : files) {
    ProcessRandomState fresh;
    RecordingFrontEnd ui(s);
    run_generation(ui, fresh);
    f = read_bytes(output);
  }
  EXPECT_EQ(files[0], files[1]);
}

}  // namespace
}  // namespace lucidra::testing
