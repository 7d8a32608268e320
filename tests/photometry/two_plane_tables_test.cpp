#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "photometry/import_files.h"
#include "photometry/photometric_error.h"
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
    std::function<double(double)> f;         // of gamma
    std::function<double(double)> fOfTheta;  // the same along the table's angle
    double integral;                         // of f(gamma) sin(gamma) over the range
    double a, b;                             // the law's planes
    double expectedL, expectedT;             // what the tables hold (x f)
    HorizontalSymmetry symmetry;
    std::vector<std::string> planesUsed;  // checked when given
  };
  const Case cases[] = {
      {"rotational",
       steps(0, 90, 1),
       {0},
       cosine,
       cosine,
       0.5,
       500,
       500,
       500,
       500,
       HorizontalSymmetry::Rotational,
       {"C0: the single plane C0", "C180: the single plane C0", "C90: the single plane C0",
        "C270: the single plane C0"}},
      {"quadrant",
       steps(0, 90, 1),
       {0, 30, 60, 90},
       cosine,
       cosine,
       0.5,
       1000,
       400,
       1000,
       400,
       HorizontalSymmetry::Quadrant,
       {"C0: measured", "C180: by symmetry from C0", "C90: measured", "C270: by symmetry from C90"}},
      {"C0-C180",
       steps(0, 90, 1),
       steps(0, 180, 45),
       cosine,
       cosine,
       0.5,
       1000,
       400,
       1000,
       400,
       HorizontalSymmetry::PlaneC0C180,
       {}},
      {"C90-C270",
       steps(0, 90, 1),
       steps(90, 270, 45),
       cosine,
       cosine,
       0.5,
       1000,
       400,
       1000,
       400,
       HorizontalSymmetry::PlaneC90C270,
       {"C0: by symmetry from C180", "C180: measured", "C90: measured", "C270: measured"}},
      {"C0-C360",
       steps(0, 90, 1),
       steps(0, 360, 45),
       cosine,
       cosine,
       0.5,
       1000,
       400,
       1000,
       400,
       HorizontalSymmetry::None,
       {}},
      {"C90 and C270 not measured",
       steps(0, 90, 1),
       steps(0, 300, 60),
       cosine,
       cosine,
       0.5,
       1000,
       400,
       1000,
       0.25 * 1000 + 0.75 * 400,
       HorizontalSymmetry::None,
       {"C0: measured", "C180: measured", "C90: interpolated between C60 and C120",
        "C270: interpolated between C240 and C300"}},
      {"gamma 0-180",
       steps(0, 180, 2),
       {0, 30, 60, 90},
       fullSphere,
       fullSphere,
       2,
       1000,
       400,
       1000,
       400,
       HorizontalSymmetry::Quadrant,
       {}},
      {"gamma 90-180 mirrored",
       steps(90, 180, 1),
       {0, 30, 60, 90},
       upward,
       cosine,
       0.5,
       1000,
       400,
       1000,
       400,
       HorizontalSymmetry::Quadrant,
       {}},
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
    expect_table(
        r.longitudinal, thetas, [&](double t) { return c.expectedL * c.fOfTheta(t); }, 1e-9, c.name + " L");
    expect_table(
        r.transversal, thetas, [&](double t) { return c.expectedT * c.fOfTheta(t); }, 1e-9, c.name + " T");
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

// Planes of unequal values at unequal gaps (C0, C120, C200, C300): the
// planes the tables need are interpolated at 3/4 and 7/10 of a gap, never
// midway, so swapped weights show (C90 at gamma 0 would be 475, not 625).
TEST(TwoPlaneTables, InterpolatesMissingPlanesBetweenUnequalNeighbours) {
  const auto law = [](double g, double c) {
    if (c == 0) return g == 0 ? 400.0 : g == 30 ? 300.0 : 0.0;
    if (c == 120) return g == 0 ? 700.0 : g == 30 ? 100.0 : 0.0;
    if (c == 200) return 100.0;
    return 0.0;
  };
  const PhotometricImport r = import_ies(ies_text("IESNA:LM-63-2002", {0, 30, 90}, {0, 120, 200, 300}, law));
  EXPECT_EQ(r.planesUsed, (std::vector<std::string>{"C0: measured", "C180: interpolated between C120 and C200",
                                                    "C90: interpolated between C0 and C120",
                                                    "C270: interpolated between C200 and C300"}));
  // C180 = 0.25 C120 + 0.75 C200 = 250, 100, 75; the table is its mean with C0.
  const auto by_angle = [](double a, double b, double c) {
    return [=](double t) { return t == 0 ? a : t == 30 ? b : c; };
  };
  expect_table(r.longitudinal, {0, 30, 90}, by_angle(325, 200, 37.5), 1e-9, "C0-C180");
  // C90 = 0.25 C0 + 0.75 C120 = 625, 150, 0; C270 = 0.3 C200 + 0.7 C300 = 30.
  expect_table(r.transversal, {0, 30, 90}, by_angle(327.5, 90, 15), 1e-9, "C90-C270");
}

TEST(TwoPlaneTables, FluxNoteComparesTheBlendWithAllPlanes) {
  const auto law = [](double g, double c) {
    const double c2 = cos_deg(c) * cos_deg(c);
    return cos_deg(g) * (1000 * c2 + 400 * (1 - c2));
  };
  const PhotometricImport symmetric = import_ies(ies_text("IESNA:LM-63-2002", steps(0, 90, 1), {0}, law));
  EXPECT_EQ(symmetric.notes.back(), "Two-plane model: the tables blended by cos^2(phi) carry " +
                                        short_number(symmetric.fluxLm) + " lm of the " +
                                        short_number(symmetric.fluxLm) +
                                        " lm integrated from all planes (+0 %); the light between the planes "
                                        "is represented only through that blend");
  // Without C90: the tables hold 550 where the law has 400, (1000 + 550) / (1000 + 400) - 1 = +10.7 %.
  const PhotometricImport interpolated =
      import_ies(ies_text("IESNA:LM-63-2002", steps(0, 90, 1), steps(0, 300, 60), law));
  EXPECT_NE(interpolated.notes.back().find(" lm integrated from all planes (+10.7 %)"), std::string::npos)
      << interpolated.notes.back();
}

TEST(TwoPlaneTables, HalvesThatDifferAreAveragedAndReported) {
  // C0 1000 cos, C180 600 cos, C90 and C270 800 cos.
  const auto law = [](double g, double c) { return cos_deg(g) * (800 + 200 * cos_deg(c)); };
  const auto vertical = steps(0, 90, 10);
  const PhotometricImport r = import_ies(ies_text("IESNA:LM-63-2002", vertical, steps(0, 180, 45), law));
  expect_table(
      r.longitudinal, vertical, [](double t) { return 800 * cos_deg(t); }, 1e-9, "L");
  expect_table(
      r.transversal, vertical, [](double t) { return 800 * cos_deg(t); }, 1e-9, "T");
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
              c180 < 950)
        << c180;
  }
}

TEST(TwoPlaneTables, MoreThan450AnglesAreResampledEvenly) {
  const auto law = [](double g, double) { return 1000 * (1 + cos_deg(g)); };
  const PhotometricImport r = import_ies(ies_text("IESNA:LM-63-2002", steps(0, 180, 0.25), {0}, law));
  std::vector<double> even;
  for (int k = 0; k < 450; ++k) even.push_back(180.0 * k / 449);
  expect_table(
      r.longitudinal, even, [](double t) { return 1000 * (1 + cos_deg(t)); }, 1e-2, "L");
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
  const PhotometricImport r = import_photometric_file(std::string(LUCIDRA_EXAMPLES_DIR) + "/lambertian_led.ies");
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
  const PhotometricImport r = import_photometric_file(std::string(LUCIDRA_EXAMPLES_DIR) + "/lambertian_led.ies");
  EXPECT_EQ(r.versionText, "IESNA:LM-63-2002");
  EXPECT_EQ(r.symmetryText, symmetry_text(HorizontalSymmetry::Rotational));
  expect_table(
      r.longitudinal, steps(0, 90, 5), [](double t) { return 955 * cos_deg(t); }, 0.05, "example");
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
  // Without a telling name, a file that is neither format says so, not
  // what a EULUMDAT reader would trip over.
  const struct {
    std::string text, path;
  } neither[] = {
      {"0 5 10 20 40 \r\n\r\n100 80 50 10 0 \r\n", "narrow.txt"},  // a distribution table
      {"Maker\r\n4\r\n", "lamp.txt"},                              // a type indicator beyond 3
      {"Maker\r\n", "lamp"},                                       // no second line
  };
  for (const auto& n : neither) {
    try {
      detect_photometric_format(n.text, n.path);
      ADD_FAILURE() << n.path << " was taken for a photometric file";
    } catch (const PhotometricError& e) {
      EXPECT_EQ(std::string(e.what()), n.path +
                                           " is not an IES or EULUMDAT file: it has no TILT= line, and its second "
                                           "line is not a EULUMDAT type indicator (0 to 3)");
    }
  }
}

TEST(PhotometricImportFile, RefusesWhatCannotBeRead) {
  for (const std::string& path :
       {std::string("/nonexistent/lamp.ies"), std::string(), std::string(LUCIDRA_EXAMPLES_DIR)}) {
    try {
      import_photometric_file(path);
      ADD_FAILURE() << path;
    } catch (const FileReadError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
  }
}

// The summary's flux line: the intensities' flux (the luminaire's) beside
// what the header claims, the lamp flux never shown as the luminaire's; a
// note when the claim is more than 2 % off.
TEST(ImportSummary, ShowsTheLuminairesFluxBesideWhatTheHeaderClaims) {
  const auto flux_line = [](const PhotometricImport& r, const std::string& path) {
    const std::string summary = import_summary(r, path, imported_table_files(r, path, "", '.'));
    const std::size_t at = summary.find("  flux:");
    return summary.substr(at, summary.find('\n', at) - at);
  };
  const auto claim_note = [](const PhotometricImport& r) {
    for (const std::string& n : r.notes) {
      if (n.rfind("The intensities give", 0) == 0) return n;
    }
    return std::string();
  };
  const auto lambertian = [](double g, double) { return 955 * cos_deg(g); };
  const PhotometricImport ies = import_ies(ies_text("IESNA:LM-63-2002", steps(0, 90, 5), {0}, lambertian));
  const std::string iesFlux = short_number(ies.fluxLm);
  EXPECT_EQ(flux_line(ies, "a.ies"), "  flux:        " + iesFlux +
                                         " lm from the intensities (the luminaire's); the header states 2 lamps x 500 "
                                         "lm = 1000 lm of lamps");
  EXPECT_EQ(claim_note(ies), "The intensities give " + iesFlux + " lm, " +
                                 short_number(std::round((ies.fluxLm / 1000 - 1) * 1000) / 10) +
                                 " % above the 1000 lm of lamps the header states (2 x 500 lm): the luminaire emits "
                                 "what its intensities give");

  const PhotometricImport absolute = import_ies("TILT=NONE\n1 -1 1 2 1 1 2 0 0 0\n1 1 10\n0 90\n0\n100 0\n");
  EXPECT_EQ(flux_line(absolute, "b.ies"), "  flux:        " + short_number(absolute.fluxLm) +
                                              " lm from the intensities (the luminaire's); the header states no lamp "
                                              "lumens (absolute photometry)");
  EXPECT_EQ(claim_note(absolute), "");

  // Isotropic over gamma 0-90: 2 pi x 2 cd per cd/klm (2000 lm of lamps).
  struct LdtCase {
    std::string ratio;
    double cdPerKlm;
    std::string fluxLine, note;
  };
  const double matching = 1600 / (4 * kPi);  // 2000 lm x 80 % = 1600 lm
  const LdtCase cases[] = {
      {"80", matching,
       " lm from the intensities (the luminaire's); the header states a lamp flux of 2000 lm and a light output ratio "
       "of 80 %, so 1600 lm from the luminaire",
       ""},
      {"78,5", matching,
       " lm from the intensities (the luminaire's); the header states a lamp flux of 2000 lm and a light output ratio "
       "of 78.5 %, so 1570 lm from the luminaire",
       ""},
      {"50", matching,
       " lm from the intensities (the luminaire's); the header states a lamp flux of 2000 lm and a light output ratio "
       "of 50 %, so 1000 lm from the luminaire",
       "The intensities give 1600 lm, 60 % above the 1000 lm of the header's lamp flux (2000 lm) times its light "
       "output ratio (50 %): the intensities and the header disagree; the luminaire emits what its intensities give"},
      {"0", matching,
       " lm from the intensities (the luminaire's); the header states a lamp flux of 2000 lm and no light output ratio",
       ""},
  };
  for (const LdtCase& c : cases) {
    Ldt f;
    f.isym = 1;
    f.lightOutputRatio = c.ratio;
    const PhotometricImport r = import_photometric_text(ldt_text(f, {0}, [&](double, double) { return c.cdPerKlm; }),
                                                        "t.ldt", PhotometricFormat::Eulumdat);
    EXPECT_NEAR(r.fluxLm, 1600, 1e-9);
    EXPECT_EQ(flux_line(r, "c.ldt"), "  flux:        1600" + c.fluxLine) << c.ratio;
    EXPECT_EQ(claim_note(r), c.note) << c.ratio;
  }
}

TEST(ImportSummary, NotesSayWhichWayTheLightGoes) {
  struct Case {
    std::vector<double> vertical;
    std::function<double(double)> ofGamma;
    std::string note;
  };
  const std::string start = "As a photometric source (gamma 0 along +z, gamma 180 along -z), the light goes ";
  const Case cases[] = {
      {steps(0, 90, 10), [](double g) { return cos_deg(g); },
       start + "toward +z: 100 % of the flux at gamma below 90 degrees"},
      {steps(90, 180, 10), [](double g) { return std::max(0.0, -cos_deg(g)); },
       start + "toward -z: 100 % of the flux at gamma above 90 degrees; a flipped solid turns it toward +z"},
      {steps(0, 180, 10), [](double) { return 1.0; },
       start + "both ways: 50 % of the flux toward +z (gamma below 90 degrees), 50 % toward -z"},
      // 1 to gamma 90, falling linearly to 0 at 120: the spill past 90 is
      // 0.5 - ((sin 120 - 1) / (pi / 6) + 0.5) = 0.2559 of the 1 + 0.2559.
      {steps(0, 180, 30), [](double g) { return g <= 90 ? 1.0 : 0.0; },
       start + "both ways: 79.6 % of the flux toward +z (gamma below 90 degrees), 20.4 % toward -z"},
  };
  for (const Case& c : cases) {
    const PhotometricImport r =
        import_ies(ies_text("IESNA:LM-63-2002", c.vertical, {0}, [&](double g, double) { return c.ofGamma(g); }));
    EXPECT_NE(std::find(r.notes.begin(), r.notes.end(), c.note), r.notes.end()) << c.note;
  }
}

}  // namespace
}  // namespace lucidra::testing
