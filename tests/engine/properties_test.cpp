// Properties every ray of a run must have, over runs of thousands of rays.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "engine/run_fixture.h"

namespace lucidra::testing {
namespace {

constexpr double kPrinted = 2e-6;  // seven significant digits in the file

struct PropertyCase {
  const char* name;
  std::function<void(GenerationSettings&)> setup;
  std::function<void(const ParsedRay&)> each;
  std::function<void(const std::vector<ParsedRay>&)> whole;
};

TEST_F(RunTest, PropertiesOfEveryRay) {
  const std::string sixty = dir.write("sixty.txt", distribution_text({0, 30, 60}, {100, 80, 40}));
  const std::string eighty = dir.write("eighty.txt", distribution_text({0, 40, 80}, {100, 70, 30}));
  const std::string arcR = dir.write("arc_r.txt", distribution_text({0, 0.25, 0.5}, {100, 90, 10}));
  const std::string arcL = dir.write("arc_l.txt", distribution_text({0, 1, 2}, {50, 100, 50}));
  const std::string wideR = dir.write("wide_r.txt", distribution_text({0, 1, 2}, {100, 90, 10}));
  const std::string wideL = dir.write("wide_l.txt", distribution_text({0, 1.5, 3}, {50, 100, 50}));
  const auto unit = [](const ParsedRay& r) {
    const double norm = r.v[3] * r.v[3] + r.v[4] * r.v[4] + r.v[5] * r.v[5];
    ASSERT_NEAR(norm, 1.0, 4 * kPrinted);
  };
  const std::vector<PropertyCase> cases = {
      {"rectangle 2 x 1",
       [](GenerationSettings& s) {
         s.sizeXmm = 2;
         s.sizeYmm = 1;
       },
       [&](const ParsedRay& r) {
         unit(r);
         ASSERT_LE(std::fabs(r.v[0]), 1.0);
         ASSERT_LE(std::fabs(r.v[1]), 0.5);
         ASSERT_EQ(r.v[2], 0.0);
         ASSERT_GE(r.v[5], 0.0);
       },
       nullptr},
      {"ellipse 2 x 1, uniform algorithm",
       [](GenerationSettings& s) {
         s.sizeXmm = 2;
         s.sizeYmm = 1;
         s.planeShape = PlaneShape::Elliptical;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
       },
       [&](const ParsedRay& r) {
         unit(r);
         ASSERT_LE(r.v[0] * r.v[0] + r.v[1] * r.v[1] / 0.25, 1.0 + 4 * kPrinted);
       },
       nullptr},
      {"degenerate ellipse of width 0",
       [](GenerationSettings& s) {
         s.sizeXmm = 0;
         s.sizeYmm = 1;
         s.planeShape = PlaneShape::Elliptical;
       },
       [&](const ParsedRay& r) {
         ASSERT_EQ(r.v[0], 0.0);
         ASSERT_LE(std::fabs(r.v[1]), 0.5);
       },
       nullptr},
      {"extent 90", [](GenerationSettings& s) { s.extentAboutZ = 90; },
       [&](const ParsedRay& r) {
         unit(r);
         ASSERT_GE(r.v[3], 0.0);
         ASSERT_GE(r.v[4], 0.0);
       },
       nullptr},
      {"extent 0, uniform algorithm",
       [](GenerationSettings& s) {
         s.extentAboutZ = 0;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
       },
       [&](const ParsedRay& r) { ASSERT_EQ(r.v[3], 0.0); }, nullptr},
      {"NA 0 points every ray along the axis",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Lambertian;
         s.numericalAperture = 0;
       },
       [&](const ParsedRay& r) {
         ASSERT_EQ(std::fabs(r.v[3]), 0.0);
         ASSERT_EQ(r.v[5], 1.0);
       },
       nullptr},
      {"user defined cap follows the larger last angle",
       [&](GenerationSettings& s) {
         s.longitudinalFile = sixty;
         s.transversalFile = eighty;
       },
       [&](const ParsedRay& r) { ASSERT_GE(r.v[5], std::cos(80 * M_PI / 180) - kPrinted); },
       [&](const std::vector<ParsedRay>& rays) {
         int beyondSixty = 0;
         for (const auto& r : rays) beyondSixty += r.v[5] < std::cos(60 * M_PI / 180) ? 1 : 0;
         EXPECT_GT(beyondSixty, 0) << "the cap is 80 degrees, not 60";
       }},
      {"uniform angular type sums to the source flux",
       [](GenerationSettings& s) {
         s.angularType = AngularType::Uniform;
         s.numericalAperture = 0.5;
       },
       [&](const ParsedRay& r) {
         unit(r);
         ASSERT_GE(r.v[5], std::cos(std::asin(0.5)) - kPrinted);
       },
       [](const std::vector<ParsedRay>& rays) {
         double sum = 0;
         for (const auto& r : rays) sum += r.v[6];
         EXPECT_NEAR(sum, 3500.0, 0.01);
       }},
      {"double side at balance 50 reverses about 51 in 101",
       [](GenerationSettings& s) {
         s.doubleSide = true;
         s.balance = 50;
       },
       [&](const ParsedRay& r) { unit(r); },
       [](const std::vector<ParsedRay>& rays) {
         double reversed = 0;
         for (const auto& r : rays) reversed += r.v[5] < 0 ? 1 : 0;
         EXPECT_NEAR(reversed / static_cast<double>(rays.size()), 51.0 / 101, 0.03);
       }},
      {"double side at balance 100 reverses every ray",
       [](GenerationSettings& s) {
         s.doubleSide = true;
         s.balance = 100;
         s.numericalAperture = 0.9;
         s.angularType = AngularType::Lambertian;
       },
       [&](const ParsedRay& r) { ASSERT_LT(r.v[5], 0.0); }, nullptr},
      {"square shape writes sqrt(F E), undivided", [](GenerationSettings& s) { s.squareShape = true; },
       [&](const ParsedRay& r) { ASSERT_LE(r.v[6], 100.0 + kPrinted); }, nullptr},
      {"arc mode, Sobol, R 0.5, L 2",
       [&](GenerationSettings& s) {
         s.ledMode = false;
         s.longitudinalFile = arcL;
         s.transversalFile = arcR;
       },
       [&](const ParsedRay& r) {
         unit(r);
         ASSERT_GT(r.v[0], -0.5);
         ASSERT_LE(r.v[0], 0.5);
         ASSERT_GT(r.v[1], -0.5);
         ASSERT_LE(r.v[1], 0.5);
         ASSERT_GE(r.v[2], 0.0);
         ASSERT_LT(r.v[2], 2.0);
       },
       nullptr},
      {"arc mode, Uniform, beyond the 32-bit grid (R 2, L 3)",
       [&](GenerationSettings& s) {
         s.ledMode = false;
         s.randomAlgorithm = RandomAlgorithm::Uniform;
         s.longitudinalFile = wideL;
         s.transversalFile = wideR;
       },
       [&](const ParsedRay& r) {
         unit(r);
         ASSERT_GT(r.v[0], -2.0);
         ASSERT_LE(r.v[0], 2.0);
         ASSERT_GE(r.v[2], 0.0);
         ASSERT_LT(r.v[2], 3.0);
       },
       [](const std::vector<ParsedRay>& rays) {
         int far = 0, deep = 0;
         for (const auto& r : rays) {
           far += std::fabs(r.v[0]) > 1.5 ? 1 : 0;
           deep += r.v[2] > 2.5 ? 1 : 0;
         }
         EXPECT_GT(far, 0) << "the whole radius range is drawn";
         EXPECT_GT(deep, 0) << "the whole length is drawn";
       }},
  };
  for (const PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    GenerationSettings s = led_settings();
    s.rayCount = 5000;
    s.considerSourceFlux = true;
    c.setup(s);
    const RunReport report = run(s);
    ASSERT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
    const auto lines = ray_lines(read_bytes(output), 1);
    ASSERT_EQ(lines.size(), 5001u);
    const auto rays = parse_rays(lines);
    for (const auto& r : rays) {
      c.each(r);
      if (::testing::Test::HasFatalFailure()) return;
    }
    if (c.whole) c.whole(rays);
  }
}

}  // namespace
}  // namespace lucidra::testing
