#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "distributions/distribution_file.h"
#include "base/user_error.h"
#include "photometry/photometric_import.h"
#include "photometry/text_cursor.h"
#include "photometry_test_support.h"

namespace lucidra::testing {
namespace {

constexpr double kPi = std::numbers::pi;

PhotometricImport import_ies(const std::string& text) {
  return import_photometric_text(text, "t.ies", PhotometricFormat::Ies);
}

bool has_note_starting(const PhotometricImport& r, const std::string& start) {
  return std::any_of(r.notes.begin(), r.notes.end(), [&](const std::string& n) { return n.rfind(start, 0) == 0; });
}

// I = f(gamma) (A cos^2 C + B sin^2 C): A in the C0-C180 plane, B in C90-C270,
// symmetric about both, so every symmetry can hold it.
TEST(TwoPlaneTables, EverySymmetryAndVerticalRangeGivesTheLaw) {
  const auto cosine = [](double g) { return cos_deg(g); };
  const auto fullSphere = [](double g) { return 1 + cos_deg(g); };
  const auto upward = [](double g) { return std::max(0.0, -cos_deg(g)); };
  struct Case {
    std::string name;
    std::vector<double> vertical, horizontal;
    std::function<double(double)> f;     // of gamma
    std::function<double(double)> fOfTheta;  // the same along the table's angle
    double integral;                     // of f(gamma) sin(gamma) over the range
    double a, b;                         // the law's planes
    double expectedL, expectedT;         // what the tables hold (x f)
    HorizontalSymmetry symmetry;
    std::vector<std::string> planesUsed;  // checked when given
  };
  const Case cases[] = {
      {"rotational", steps(0, 90, 1), {0}, cosine, cosine, 0.5, 500, 500, 500, 500, HorizontalSymmetry::Rotational,
       {"C0: the single plane C0", "C180: the single plane C0", "C90: the single plane C0", "C270: the single plane C0"}},
      {"quadrant", steps(0, 90, 1), {0, 30, 60, 90}, cosine, cosine, 0.5, 1000, 400, 1000, 400,
       HorizontalSymmetry::Quadrant,
       {"C0: measured", "C180: by symmetry from C0", "C90: measured", "C270: by symmetry from C90"}},
      {"C0-C180", steps(0, 90, 1), steps(0, 180, 45), cosine, cosine, 0.5, 1000, 400, 1000, 400,
       HorizontalSymmetry::PlaneC0C180, {}},
      {"C90-C270", steps(0, 90, 1), steps(90, 270, 45), cosine, cosine, 0.5, 1000, 400, 1000, 400,
       HorizontalSymmetry::PlaneC90C270,
       {"C0: by symmetry from C180", "C180: measured", "C90: measured", "C270: measured"}},
      {"C0-C360", steps(0, 90, 1), steps(0, 360, 45), cosine, cosine, 0.5, 1000, 400, 1000, 400,
       HorizontalSymmetry::None, {}},
      {"C90 and C270 not measured", steps(0, 90, 1), steps(0, 300, 60), cosine, cosine, 0.5, 1000, 400, 1000,
       0.25 * 1000 + 0.75 * 400, HorizontalSymmetry::None,
       {"C0: measured", "C180: measured", "C90: interpolated between C60 and C120",
        "C270: interpolated between C240 and C300"}},
      {"gamma 0-180", steps(0, 180, 2), {0, 30, 60, 90}, fullSphere, fullSphere, 2, 1000, 400, 1000, 400,
       HorizontalSymmetry::Quadrant, {}},
      {"gamma 90-180 mirrored", steps(90, 180, 1), {0, 30, 60, 90}, upward, cosine, 0.5, 1000, 400, 1000, 400,
       HorizontalSymmetry::Quadrant, {}},
  };
  for (const Case& c : cases) {
    const auto law = [&](double g, double cDeg) {
      const double c2 = cos_deg(cDeg) * cos_deg(cDeg);
      return c.f(g) * (c.a * c2 + c.b * (1 - c2));
    };
    const PhotometricImport r = import_ies(ies_text("IESNA:LM-63-2002", c.vertical, c.horizontal, law));
    std::vector<double> thetas = c.vertical;
    if (c.vertical.front() == 90) {
      for (double& t : thetas) t = 180 - t;
      std::reverse(thetas.begin(), thetas.end());
    }
    expect_table(r.longitudinal, thetas, [&](double t) { return c.expectedL * c.fOfTheta(t); }, 1e-9, c.name + " L");
    expect_table(r.transversal, thetas, [&](double t) { return c.expectedT * c.fOfTheta(t); }, 1e-9, c.name + " T");
    EXPECT_EQ(r.symmetryText, symmetry_text(c.symmetry)) << c.name;
    if (!c.planesUsed.empty()) {
      EXPECT_EQ(r.planesUsed, c.planesUsed) << c.name;
    }
    EXPECT_EQ(r.verticalFromDeg, c.vertical.front()) << c.name;
    EXPECT_EQ(r.verticalToDeg, c.vertical.back()) << c.name;
    // The whole sphere holds pi (A + B) times the polar integral; the two
    // tables blended by cos^2 hold pi (L + T) times it.
    EXPECT_NEAR(r.fluxLm / (kPi * (c.a + c.b) * c.integral), 1, 1e-3) << c.name;
    EXPECT_NEAR(r.twoPlaneFluxLm / (kPi * (c.expectedL + c.expectedT) * c.integral), 1, 1e-3) << c.name;
    EXPECT_FALSE(has_note_starting(r, "C0 and C180 differ")) << c.name;
    EXPECT_EQ(has_note_starting(r, "Vertical angles 90-180 mirrored"), c.vertical.front() == 90) << c.name;
  }
}

TEST(TwoPlaneTables, FluxNoteComparesTheBlendWithAllPlanes) {
  const auto law = [](double g, double c) {
    const double c2 = cos_deg(c) * cos_deg(c);
    return cos_deg(g) * (1000 * c2 + 400 * (1 - c2));
  };
  const PhotometricImport symmetric = import_ies(ies_text("IESNA:LM-63-2002", steps(0, 90, 1), {0}, law));
  EXPECT_EQ(symmetric.notes.back(),
            "Two-plane model: the tables blended by cos^2(phi) carry " + short_number(symmetric.fluxLm) + " lm of the " +
                short_number(symmetric.fluxLm) + " lm integrated from all planes (+0 %); the light between the planes "
                "is represented only through that blend");
  // Without C90: the tables hold 550 where the law has 400, (1000 + 550) / (1000 + 400) - 1 = +10.7 %.
  const PhotometricImport interpolated = import_ies(ies_text("IESNA:LM-63-2002", steps(0, 90, 1), steps(0, 300, 60), law));
  EXPECT_NE(interpolated.notes.back().find(" lm integrated from all planes (+10.7 %)"), std::string::npos)
      << interpolated.notes.back();
}

TEST(TwoPlaneTables, HalvesThatDifferAreAveragedAndReported) {
  // C0 1000 cos, C180 600 cos, C90 and C270 800 cos.
  const auto law = [](double g, double c) { return cos_deg(g) * (800 + 200 * cos_deg(c)); };
  const auto vertical = steps(0, 90, 10);
  const PhotometricImport r = import_ies(ies_text("IESNA:LM-63-2002", vertical, steps(0, 180, 45), law));
  expect_table(r.longitudinal, vertical, [](double t) { return 800 * cos_deg(t); }, 1e-9, "L");
  expect_table(r.transversal, vertical, [](double t) { return 800 * cos_deg(t); }, 1e-9, "T");
  EXPECT_TRUE(std::find(r.notes.begin(), r.notes.end(),
                        "C0 and C180 differ by up to 40 % of their peak (at gamma 0 degrees): the luminaire is "
                        "asymmetric there, which the two-plane model cannot hold; the table holds the mean of the two "
                        "halves") != r.notes.end());
  EXPECT_FALSE(has_note_starting(r, "C90 and C270 differ"));
  // 5 % of the peak is still one plane; just above it is not.
  for (const double c180 : {950.0, 949.0}) {
    const auto nearly = [&](double g, double c) { return cos_deg(g) * (c == 180 ? c180 : 1000); };
    EXPECT_EQ(has_note_starting(import_ies(ies_text("IESNA:LM-63-2002", vertical, steps(0, 180, 90), nearly)),
                                "C0 and C180 differ"),
              c180 < 950) << c180;
  }
}

TEST(TwoPlaneTables, MoreThan450AnglesAreResampledEvenly) {
  const auto law = [](double g, double) { return 1000 * (1 + cos_deg(g)); };
  const PhotometricImport r = import_ies(ies_text("IESNA:LM-63-2002", steps(0, 180, 0.25), {0}, law));
  std::vector<double> even;
  for (int k = 0; k < 450; ++k) even.push_back(180.0 * k / 449);
  expect_table(r.longitudinal, even, [](double t) { return 1000 * (1 + cos_deg(t)); }, 1e-2, "L");
  EXPECT_EQ(r.transversal.angleDeg, r.longitudinal.angleDeg);
  EXPECT_EQ(r.verticalCount, 721u);
  EXPECT_EQ(r.notes.back(),
            "The 721 vertical angles were resampled evenly to 450 (every 0.400891 degrees), the most a distribution "
            "file may hold");
  // 450 angles stay as they are.
  const PhotometricImport kept = import_ies(ies_text("IESNA:LM-63-2002", even, {0}, law));
  EXPECT_EQ(kept.longitudinal.angleDeg, even);
  EXPECT_FALSE(has_note_starting(kept, "The 450"));
}

TEST(DistributionFileText, WritesTheProductsLayoutExactly) {
  const PlaneTable table{{0, 12.5, 90}, {1234567891, 984.807753012208, 1e-7}};
  EXPECT_EQ(distribution_file_text(table, "lamp.ies C0-C180", '.'),
            "0 12.5 90 \r\nlamp.ies C0-C180\r\n1.23456789e+09 984.807753 1e-07 \r\n");
  EXPECT_EQ(distribution_file_text(table, "two\r\nlines", ','),
            "0 12,5 90 \r\ntwo  lines\r\n1,23456789e+09 984,807753 1e-07 \r\n");
}

TEST(DistributionFileText, ReadsBackThroughTheRunsReader) {
  const PhotometricImport r =
      import_photometric_file(std::string(LUCIDRA_EXAMPLES_DIR) + "/lambertian_led.ies");
  for (const char separator : {'.', ','}) {
    for (const PlaneTable* table : {&r.longitudinal, &r.transversal}) {
      const AngularDistribution d = parse_distribution_text(distribution_file_text(*table, "x", separator), separator);
      ASSERT_EQ(d.count, static_cast<std::int32_t>(table->angleDeg.size()));
      ASSERT_EQ(d.intensityCount, d.count);
      for (std::size_t k = 0; k < table->angleDeg.size(); ++k) {
        EXPECT_NEAR(d.angle[k + 1], table->angleDeg[k], 1e-9 * (1 + table->angleDeg[k]));
        EXPECT_NEAR(d.intensity[k + 1], table->candela[k], 1e-8 * (1 + table->candela[k]));
      }
    }
  }
}

TEST(PhotometricImportFile, ReadsTheExampleLed) {
  const PhotometricImport r =
      import_photometric_file(std::string(LUCIDRA_EXAMPLES_DIR) + "/lambertian_led.ies");
  EXPECT_EQ(r.versionText, "IESNA:LM-63-2002");
  EXPECT_EQ(r.symmetryText, symmetry_text(HorizontalSymmetry::Rotational));
  expect_table(r.longitudinal, steps(0, 90, 5), [](double t) { return 955 * cos_deg(t); }, 0.05, "example");
  EXPECT_EQ(r.transversal.candela, r.longitudinal.candela);
  EXPECT_EQ(r.peakCandela, 955);
  EXPECT_EQ(r.statedLumens, 3000.0);
  EXPECT_NEAR(r.fluxLm, kPi * 955, 0.005 * kPi * 955);  // a Lambertian source: pi I0
}

TEST(PhotometricImportFile, ChoosesTheFormatByContentThenExtension) {
  struct Case {
    std::string firstLines, path;
    PhotometricFormat expected;
  };
  const Case cases[] = {
      {"IESNA:LM-63-2002\r\n", "lamp.ldt", PhotometricFormat::Ies},
      {"ies:lm-63-2019\n", "lamp", PhotometricFormat::Ies},
      {"Maker\r\n1\r\n", "dir.ldt/lamp.IES", PhotometricFormat::Ies},
      {"Maker\r\n1\r\n", "lamp.Ldt", PhotometricFormat::Eulumdat},
      {"label\nmore\n TILT = NONE\n", "lamp.txt", PhotometricFormat::Ies},
      {"Maker\r\n1\r\n2\r\n", "lamp.txt", PhotometricFormat::Eulumdat},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detect_photometric_format(c.firstLines, c.path), c.expected) << c.path;
  }
}

TEST(PhotometricImportFile, RefusesWhatCannotBeRead) {
  for (const std::string& path : {std::string("/nonexistent/lamp.ies"), std::string(), std::string(LUCIDRA_EXAMPLES_DIR)}) {
    try {
      import_photometric_file(path);
      ADD_FAILURE() << path;
    } catch (const FileReadError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
  }
}

}  // namespace
}  // namespace lucidra::testing
