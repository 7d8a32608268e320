// Photometric runs from the whole solid: asymmetric and square-optic
// luminaires pass the check against their own solid and fail against the
// two-plane reduction; an uplight comes out the same from either gamma form;
// --flip turns it over; the rays carry the luminaire's flux.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/far_field.h"
#include "engine/run_fixture.h"
#include "photometry/photometric_import.h"
#include "photometry/photometric_solid.h"
#include "photometry/photometry_test_support.h"
#include "sampling/angular_law.h"

namespace lucidra::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

class PhotometricRunTest : public RunTest {
 protected:
  GenerationSettings photometric(const std::string& file) const {
    GenerationSettings s = led_settings();
    s.legacySampling = false;
    s.photometricFile = file;
    s.fluxFromPhotometricFile = true;
    s.fluxUnit = FluxUnit::Lumen;
    s.rayCount = 200000;
    return s;
  }
};

TEST_F(PhotometricRunTest, TheSolidPassesAndTheTwoPlaneReductionFails) {
  // A road light: most light toward C = 0 (the street), little behind.
  const auto road = [](double g, double c) {
    const double street = 0.5 + 0.5 * std::cos(c * kPi / 180);
    return 1000 * std::pow(std::max(0.0, cos_deg(g)), 0.5) * (0.1 + 0.9 * street * street) *
           (1 + 2 * std::sin(g * kPi / 180) * street);
  };
  // A square optic: the diagonals (C45, C135, ...) are wider than the mean
  // of C0 and C90.
  const auto square = [](double g, double c) {
    const double diagonal = std::fabs(std::sin(2 * c * kPi / 180));
    return 1000 * std::pow(cos_deg(g), 4 - 3 * diagonal);
  };
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"road light", ies_text("IESNA:LM-63-2002", steps(0, 90, 5), steps(0, 345, 15), road)},
      {"square optic", ies_text("IESNA:LM-63-2002", steps(0, 90, 5), steps(0, 90, 15), square)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.write("luminaire.ies", c.text);
    const GenerationSettings s = photometric(file);
    const RunReport report = run(s);
    ASSERT_EQ(report.outcome, RunOutcome::Succeeded) << report.message;
    const PhotometricSolid solid = photometric_solid_file(file);
    EXPECT_NEAR(report.obtainedFlux, solid.flux_lm(), 1e-6 * solid.flux_lm()) << "the luminaire's flux";
    if (std::string(c.name) == "road light") {
      // C = 0 is +x: the street side's light goes toward +x, symmetric in y.
      double dx = 0, dy = 0;
      const auto rays = parse_rays(ray_lines(read_bytes(output), 1));
      for (const ParsedRay& r : rays) {
        dx += r.v[3];
        dy += r.v[4];
      }
      EXPECT_GT(dx / static_cast<double>(rays.size()), 0.1);
      EXPECT_NEAR(dy / static_cast<double>(rays.size()), 0, 0.005);
    }
    const IntensityLaw own(s);
    EXPECT_EQ(own.views().size(), 9u);
    const FarFieldResult passed = check_ray_file(output, RayFileKind::Auto, own, {});
    EXPECT_TRUE(passed.passed) << far_field_report(passed);

    // The two planes averaged and blended, judged in the same C-plane views.
    const PhotometricImport planes = import_photometric_file(file);
    LawFrame frame{kPi / 2, 2 * kPi, 0};
    auto reduced = std::make_shared<TwoTableLaw>(
        frame, LinearTable(planes.longitudinal.angleDeg, planes.longitudinal.candela),
        LinearTable(planes.transversal.angleDeg, planes.transversal.candela), "two planes");
    const FarFieldResult failed =
        check_ray_file(output, RayFileKind::Auto, IntensityLaw(reduced, c_plane_views(), 5), {});
    EXPECT_FALSE(failed.passed) << far_field_report(failed);
  }
}

TEST_F(PhotometricRunTest, AnUplightIsTheSameFromEitherGammaFormAndFlipTurnsItOver) {
  // Light between gamma 95 and 180 (toward -z), as 0-180 and as 90-180.
  const auto up = [](double g, double c) {
    return g < 95 ? 0.0 : 500 * std::pow(-cos_deg(g), 2) * (1 + 0.3 * std::cos(c * kPi / 180));
  };
  const std::string full = dir.write("full.ies", ies_text("IESNA:LM-63-2002", steps(0, 180, 5), steps(0, 180, 30), up));
  const std::string half =
      dir.write("half.ies", ies_text("IESNA:LM-63-2002", steps(90, 180, 5), steps(0, 180, 30), up));
  std::vector<std::vector<ParsedRay>> sets;
  for (const std::string& file : {full, half}) {
    GenerationSettings s = photometric(file);
    s.rayCount = 20000;
    ASSERT_EQ(run(s).outcome, RunOutcome::Succeeded);
    sets.push_back(parse_rays(ray_lines(read_bytes(output), 1)));
  }
  ASSERT_EQ(sets[0].size(), sets[1].size());
  for (std::size_t i = 0; i < sets[0].size(); ++i) {
    for (int k = 0; k < 7; ++k) {
      ASSERT_NEAR(sets[0][i].v[k], sets[1][i].v[k], 1e-5 * std::max(1.0, std::fabs(sets[0][i].v[k])))
          << "ray " << i << " value " << k;
    }
    ASSERT_LT(sets[0][i].v[5], 0) << "an uplight written 0-180 shines toward -z";
  }
  // Turned over: toward +z, and still its own solid's law.
  GenerationSettings flipped = photometric(half);
  flipped.flipSolid = true;
  ASSERT_EQ(run(flipped).outcome, RunOutcome::Succeeded);
  for (const ParsedRay& r : parse_rays(ray_lines(read_bytes(output), 1))) ASSERT_GT(r.v[5], 0);
  const FarFieldResult checked = check_ray_file(output, RayFileKind::Auto, IntensityLaw(flipped), {});
  EXPECT_TRUE(checked.passed) << far_field_report(checked);
  EXPECT_NEAR(checked.expectedBackwardShare, 0, 1e-9);

  // The unturned file judged over the whole sphere: all of it backwards.
  GenerationSettings plain = photometric(full);
  ASSERT_EQ(run(plain).outcome, RunOutcome::Succeeded);
  const FarFieldResult backwards = check_ray_file(output, RayFileKind::Auto, IntensityLaw(plain), {});
  EXPECT_TRUE(backwards.passed) << far_field_report(backwards);
  EXPECT_NEAR(backwards.expectedBackwardShare, 1, 1e-9);
}

TEST_F(PhotometricRunTest, RefusalsNameTheConflict) {
  const std::string file = dir.write(
      "l.ies", ies_text("IESNA:LM-63-2002", steps(0, 90, 10), {0}, [](double g, double) { return 100 * cos_deg(g); }));
  struct Case {
    const char* name;
    void (*set)(GenerationSettings&);
    const char* message;
  };
  const Case cases[] = {
      {"double side", [](GenerationSettings& s) { s.doubleSide = true; }, "Double side mirrors a one-sided emitter"},
      {"square", [](GenerationSettings& s) { s.squareShape = true; }, "Square shape combines two distribution tables"},
      {"flip without a file",
       [](GenerationSettings& s) {
         s.photometricFile.clear();
         s.fluxFromPhotometricFile = false;
         s.flipSolid = true;
       },
       "Flip turns a photometric solid over"},
  };
  for (const Case& c : cases) {
    GenerationSettings s = photometric(file);
    c.set(s);
    const RunReport report = run(s);
    EXPECT_EQ(report.outcome, RunOutcome::Failed) << c.name;
    EXPECT_NE(report.message.find(c.message), std::string::npos) << c.name << ": " << report.message;
  }
}

}  // namespace
}  // namespace lucidra::testing
