#include "photometry/eulumdat_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "photometry/photometric_error.h"
#include "photometry/photometric_import.h"
#include "photometry/photometric_solid.h"
#include "photometry_test_support.h"

namespace lucidra::testing {
namespace {

PhotometricImport import_ldt(const std::string& text) {
  return import_photometric_text(text, "t.ldt", PhotometricFormat::Eulumdat);
}

TEST(EulumdatReader, EverySymmetryGivesTheLawInCandela) {
  struct Case {
    int isym;
    std::vector<double> storedPlanes;
    double a, b;  // cd/klm in C0/C180 and C90/C270
    std::vector<std::string> planesUsed;
  };
  const Case cases[] = {
      {0, steps(0, 315, 45), 300, 100, {"C0: measured", "C180: measured", "C90: measured", "C270: measured"}},
      {1,
       {0},
       300,
       300,
       {"C0: the single plane C0", "C180: the single plane C0", "C90: the single plane C0",
        "C270: the single plane C0"}},
      {2,
       steps(0, 180, 45),
       300,
       100,
       {"C0: measured", "C180: measured", "C90: measured", "C270: by symmetry from C90"}},
      {3,
       steps(90, 270, 45),
       300,
       100,
       {"C0: by symmetry from C180", "C180: measured", "C90: measured", "C270: measured"}},
      {4,
       steps(0, 90, 45),
       300,
       100,
       {"C0: measured", "C180: by symmetry from C0", "C90: measured", "C270: by symmetry from C90"}},
  };
  for (const Case& c : cases) {
    Ldt f;
    f.isym = c.isym;
    const auto law = [&](double g, double cDeg) {
      return cos_deg(g) * (c.a * cos_deg(cDeg) * cos_deg(cDeg) + c.b * (1 - cos_deg(cDeg) * cos_deg(cDeg)));
    };
    const PhotometricImport r = import_ldt(ldt_text(f, c.storedPlanes, law));
    const std::string what = "Isym " + std::to_string(c.isym);
    EXPECT_EQ(r.versionText, "EULUMDAT") << what;
    EXPECT_EQ(r.planesUsed, c.planesUsed) << what;
    // 2000 lm of lamp flux: cd = 2 x cd/klm.
    expect_table(
        r.longitudinal, f.gammas, [&](double t) { return 2 * c.a * cos_deg(t); }, 1e-9, what + " L");
    expect_table(
        r.transversal, f.gammas, [&](double t) { return 2 * c.b * cos_deg(t); }, 1e-9, what + " T");
    EXPECT_EQ(r.statedLumens, 2000.0) << what;
    EXPECT_EQ(r.horizontalCount, c.storedPlanes.size()) << what;
  }
}

// Light above 90 degrees (an uplight's) in both gamma forms: read, kept in
// the two tables (mirrored for 90-180 only) and in the solid toward -z.
TEST(EulumdatReader, GammaBeyond90IsReadInBothForms) {
  const auto law = [](double g, double c) { return std::max(0.0, -cos_deg(g)) * (200 + 100 * cos_deg(2 * c)); };
  struct Case {
    std::vector<double> gammas;
    std::vector<double> tableAngles;
    std::function<double(double)> tableLaw;  // the C0-C180 table along its angle
  };
  const Case cases[] = {
      {steps(0, 180, 10), steps(0, 180, 10), [](double t) { return std::max(0.0, -cos_deg(t)) * 600; }},
      {steps(90, 180, 5), steps(0, 90, 5), [](double t) { return cos_deg(t) * 600; }},  // mirrored: theta = 180 - gamma
  };
  for (const Case& c : cases) {
    Ldt f;
    f.isym = 4;
    f.gammas = c.gammas;
    const std::string text = ldt_text(f, steps(0, 90, 45), law);
    const std::string what = "gamma from " + number(c.gammas.front());
    const PhotometricImport r = import_ldt(text);
    EXPECT_EQ(r.verticalFromDeg, c.gammas.front()) << what;
    EXPECT_EQ(r.verticalToDeg, 180) << what;
    EXPECT_EQ(r.peakCandela, 600) << what;  // 2000 lm: 2 x 300 cd/klm at gamma 180
    expect_table(r.longitudinal, c.tableAngles, c.tableLaw, 1e-9, what);
    const PhotometricSolid solid = photometric_solid(read_photometric_text(text, "t.ldt", PhotometricFormat::Eulumdat));
    EXPECT_NEAR(solid.candela_at(0, 180), 600, 1e-9) << what;
    EXPECT_NEAR(solid.candela_at(90, 150), 2 * 100 * cos_deg(30), 1e-9) << what;
    EXPECT_EQ(solid.candela_at(0, 30), 0) << what;
  }
}

TEST(EulumdatReader, ConversionFactorAndFurtherLampSetsAreNoted) {
  Ldt f;
  f.isym = 1;
  f.conversion = "1,5";
  f.lampSets = 2;
  f.flux = "1000.0";
  const PhotometricImport r = import_ldt(ldt_text(f, {0}, [](double g, double) { return 100 * cos_deg(g); }));
  expect_table(
      r.longitudinal, f.gammas, [](double t) { return 150 * cos_deg(t); }, 1e-9, "scaled");
  EXPECT_EQ(r.notes[0],
            "Intensities converted from cd/klm with the lamp flux 1000 lm of lamp set 1 (the file lists 2 lamp sets)");
  EXPECT_EQ(r.notes[1], "Intensities multiplied by the conversion factor 1.5");
}

TEST(EulumdatReader, RefusesMalformedFilesNamingLineAndField) {
  const auto law = [](double g, double) { return 100 * cos_deg(g); };
  const auto replace_line = [](std::string text, int line, const std::string& with) {
    std::size_t start = 0;
    for (int k = 1; k < line; ++k) start = text.find("\r\n", start) + 2;
    return text.replace(start, text.find("\r\n", start) - start, with);
  };
  Ldt rotational;
  rotational.isym = 1;
  const std::string good = ldt_text(rotational, {0}, law);
  Ldt quadrant;
  quadrant.isym = 4;
  quadrant.cAngles = steps(0, 300, 60);  // six planes: not a multiple of four
  Ldt noC180;
  noC180.isym = 2;
  noC180.cAngles = steps(0, 350, 50);
  Ldt shortGamma;
  shortGamma.gammas = steps(0, 80, 10);
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"", "t.ldt line 1, company identification: the file ends before this line"},
      {"Maker", "t.ldt line 2, type indicator Ityp: the file ends before this line"},
      {good.substr(0, 18), "t.ldt line 3, symmetry indicator Isym: the file ends before this line"},
      {replace_line(good, 3, "5"), "t.ldt line 3, symmetry indicator Isym: 5 is out of range; it must be from 0 to 4"},
      {replace_line(good, 2, "x"), "t.ldt line 2, type indicator Ityp: 'x' is not a whole number"},
      {replace_line(good, 4, ""),
       "t.ldt line 4, number of C planes Mc: the line is empty; a whole number belongs here"},
      {replace_line(good, 4, "0"), "t.ldt line 4, number of C planes Mc: 0 is out of range; it must be from 1 to 3600"},
      {replace_line(good, 6, "-19"),
       "t.ldt line 6, number of gamma angles Ng: -19 is out of range; it must be from 2 to 100000"},
      {replace_line(good, 24, "0"), "t.ldt line 24, conversion factor for intensities: 0 must be positive"},
      {replace_line(good, 26, "0"), "t.ldt line 26, number of lamp sets: 0 is out of range; it must be from 1 to 1000"},
      {replace_line(good, 29, "0"), "t.ldt line 29, lamp set 1, total lamp flux: 0 lm must be positive"},
      {replace_line(good, 35, "half"), "t.ldt line 35, direct ratio 3 of 10: 'half' is not a number"},
      {replace_line(good, 45, "30"), "t.ldt line 45, C angle 3 of 8: 30 does not follow 45; the angles must ascend"},
      {replace_line(good, 45, "45"),
       "t.ldt line 45, C angle 3 of 8: 45 repeats the angle before it; the angles must ascend"},
      {replace_line(good, 53, "10"),
       "t.ldt line 53, gamma angle 3 of 10: 10 repeats the angle before it; the angles must ascend"},
      {replace_line(good, 53, "5"), "t.ldt line 53, gamma angle 3 of 10: 5 does not follow 10; the angles must ascend"},
      {replace_line(good, 50, "400"), "t.ldt line 50, C angle 8 of 8: 400 is outside 0 to 360 degrees"},
      {ldt_text(quadrant, {0, 60}, law),
       "t.ldt line 4, number of C planes Mc: 6 is not a multiple of 4, which symmetry indicator 4 needs"},
      {ldt_text(noC180, {0, 50, 100, 150, 200}, law),
       "t.ldt line 3, symmetry indicator Isym: 2 stores the planes C0 to C180, but the C angles do not hold 5 planes "
       "from C0 to C180"},
      {ldt_text(shortGamma, steps(0, 315, 45), law),
       "t.ldt line 59, gamma angles: they run from 0 to 80 degrees; the import needs 0 to 90, 0 to 180 or 90 to 180"},
      {good.substr(0, good.rfind("\r\n", good.size() - 3) + 2),
       "t.ldt line 70, intensity 10 of 10 in plane C0: the file ends before this line"},
      {replace_line(good, 62, "-1"), "t.ldt line 62, intensity 2 of 10 in plane C0: -1 cd/klm is negative"},
      {replace_line(good, 62, "6e14"),
       "t.ldt line 62, intensity 2 of 10 in plane C0: 6e+14 cd/klm is more than 1e+15 cd "
       "with the lamp flux, beyond any luminaire"},
  };
  for (const Case& c : cases) {
    try {
      import_ldt(c.text);
      ADD_FAILURE() << "accepted, expected: " << c.message;
    } catch (const PhotometricError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

}  // namespace
}  // namespace lucidra::testing
