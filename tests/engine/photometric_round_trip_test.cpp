// Photometric files through the whole product: import, generate, check.
// A Lambertian luminaire comes out Lambertian; an asymmetric one gives two
// different planes, and the check tells them apart.
#include <gtest/gtest.h>

#include "engine/far_field.h"
#include "engine/run_fixture.h"
#include "photometry/photometric_import.h"
#include "photometry/photometry_test_support.h"

namespace lucidra::testing {
namespace {

TEST_F(RunTest, ImportGenerateCheckRoundTrips) {
  const auto cosine = [](double g, double) { return 1000 * cos_deg(g); };
  // C0 (and C180) fall as cos, C90 (and C270) as cos^3: a beam narrower
  // across than along.
  const auto asymmetric = [](double g, double c) {
    const double along = 1000 * cos_deg(g), across = 1000 * std::pow(cos_deg(g), 3);
    const double s = std::sin(c * std::numbers::pi / 180);
    return along + (across - along) * s * s;
  };
  struct Case {
    const char* name;
    std::string file;
    bool planesDiffer;
  };
  const Case cases[] = {
      {"Lambertian, one plane", ies_text("IESNA:LM-63-2002", steps(0, 90, 5), {0}, cosine), false},
      {"asymmetric, 0-360", ies_text("IESNA:LM-63-2002", steps(0, 90, 5), steps(0, 330, 30), asymmetric), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ies = dir.write("luminaire.ies", c.file);
    const PhotometricImport imported = import_photometric_file(ies);
    const std::string l = dir.write("l.txt", distribution_file_text(imported.longitudinal, "C0-C180", '.'));
    const std::string t = dir.write("t.txt", distribution_file_text(imported.transversal, "C90-C270", '.'));
    EXPECT_EQ(imported.longitudinal.candela != imported.transversal.candela, c.planesDiffer);

    for (const bool direct : {false, true}) {
      GenerationSettings s = led_settings();
      s.legacySampling = false;
      s.rayCount = 300000;
      if (direct) {
        s.photometricFile = ies;  // generate --photometric: no files written
      } else {
        s.longitudinalFile = l;
        s.transversalFile = t;
      }
      const RunReport report = run(s);
      ASSERT_TRUE(report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) << report.message;
      const FarFieldResult own = check_ray_file(output, RayFileKind::Auto, IntensityLaw(s), FarFieldOptions{});
      EXPECT_TRUE(own.passed) << far_field_report(own);
      // Against the planes swapped: the same law for a symmetric luminaire,
      // a failure for an asymmetric one.
      GenerationSettings swapped = s;
      swapped.photometricFile.clear();
      swapped.longitudinalFile = t;
      swapped.transversalFile = l;
      const FarFieldResult other = check_ray_file(output, RayFileKind::Auto, IntensityLaw(swapped), FarFieldOptions{});
      EXPECT_EQ(other.passed, !c.planesDiffer) << far_field_report(other);
    }
  }
}

}  // namespace
}  // namespace lucidra::testing
