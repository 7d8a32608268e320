#include "photometry/photometric_solid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "base/user_error.h"
#include "photometry/import_files.h"
#include "photometry/photometric_error.h"
#include "photometry/photometric_import.h"
#include "photometry_test_support.h"

namespace lucidra::testing {
namespace {

constexpr double kPi = std::numbers::pi;

PhotometricSolid ies_solid(const std::vector<double>& vertical, const std::vector<double>& horizontal, const Law& law,
                           const std::string& factors = "1 1 10") {
  return photometric_solid(read_photometric_text(ies_text("IESNA:LM-63-2002", vertical, horizontal, law, factors),
                                                 "t.ies", PhotometricFormat::Ies));
}

PhotometricSolid ldt_solid(const Ldt& f, const std::vector<double>& storedPlanes, const Law& law) {
  return photometric_solid(read_photometric_text(ldt_text(f, storedPlanes, law), "t.ldt", PhotometricFormat::Eulumdat));
}

// Every (C, gamma) of a grid finer than any file's, C past both ends of the circle.
template <typename Check>
void for_dense_grid(Check check) {
  for (double c = -30; c <= 390; c += 7) {
    for (double g = 0; g <= 180; g += 2.5) check(c, g);
  }
}

void expect_same_solid(const PhotometricSolid& a, const PhotometricSolid& b, const std::string& what) {
  const double tolerance = 1e-9 * std::max(1.0, a.peak_candela());
  int shown = 0;
  for_dense_grid([&](double c, double g) {
    if (std::fabs(a.candela_at(c, g) - b.candela_at(c, g)) > tolerance && shown++ < 5) {
      ADD_FAILURE() << what << " at C " << c << " gamma " << g << ": " << a.candela_at(c, g) << " against "
                    << b.candela_at(c, g);
    }
  });
  EXPECT_NEAR(a.flux_lm(), b.flux_lm(), 1e-9 * b.flux_lm()) << what;
}

// Four planes of unequal values and gaps (C0, C120, C200, C300; gamma 0, 30,
// 90): every interpolated value below is worked out by hand, none of them
// midway, so swapped weights in either direction give other numbers.
TEST(PhotometricSolid, CandelaAtIsBilinearBetweenUnequalPlanes) {
  const auto law = [](double g, double c) {
    if (c == 0) return g == 0 ? 400.0 : g == 30 ? 300.0 : 0.0;
    if (c == 120) return g == 0 ? 700.0 : g == 30 ? 100.0 : 0.0;
    if (c == 200) return 100.0;
    return 0.0;
  };
  const PhotometricSolid s = ies_solid({0, 30, 90}, {0, 120, 200, 300}, law);
  EXPECT_EQ(s.cDeg, (std::vector<double>{0, 120, 200, 300}));
  EXPECT_EQ(s.gammaDeg, (std::vector<double>{0, 30, 90}));
  struct Case {
    double c, g, expected;
  };
  const Case cases[] = {
      {90, 0, 625},      // 0.25 x 400 + 0.75 x 700 (swapped: 475)
      {30, 20, 325},     // C0 333.33 and C120 300 at gamma 20, weighed 0.75 and 0.25
      {160, 90, 50},     // midway between C120 (0) and C200 (100) at gamma 90
      {180, 60, 87.5},   // C120 50 and C200 100 at gamma 60, weighed 0.25 and 0.75
      {330, 0, 200},     // wraps: C300 (0) to C360 = C0 (400)
      {345, 60, 112.5},  // C300 0, C0 150 at gamma 60, weighed 0.25 and 0.75
      {-15, 60, 112.5},  // the same direction
      {705, 60, 112.5},  // and again, two turns on
      {200, 90, 100},    // on a grid point
      {0, 0, 400},
      {200, 90.5, 0},  // past the last gamma: no light
      {90, -1, 0},
      {std::numeric_limits<double>::quiet_NaN(), 10, 0},
      {10, std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(s.candela_at(c.c, c.g), c.expected, 1e-9) << "C " << c.c << " gamma " << c.g;
  }
  EXPECT_EQ(s.peak_candela(), 700);
}

// Planes that leave out C0 (EULUMDAT Isym 0 from C30, IES C90-C270 without
// C180): the solid starts with the C0 plane the bilinear rule gives, which
// changes neither a value nor the flux.
TEST(PhotometricSolid, ACircleWithoutC0GetsItByInterpolation) {
  const auto law = [](double g, double c) { return cos_deg(g) * (c == 330 ? 400.0 : c == 30 ? 100.0 : 200.0); };
  Ldt f;
  f.isym = 0;
  f.flux = "1000";
  f.cAngles = steps(30, 330, 60);
  const PhotometricSolid s = ldt_solid(f, f.cAngles, law);
  EXPECT_EQ(s.cDeg, (std::vector<double>{0, 30, 90, 150, 210, 270, 330}));
  EXPECT_NEAR(s.candela_at(0, 0), 250, 1e-9);  // midway between C330 (400) and C30 (100)
  EXPECT_NEAR(s.candela_at(10, 60), 0.5 * (400 / 3.0 + 100 * 2 / 3.0), 1e-9);  // 2/3 from C330 to C30, cos 60
  EXPECT_NEAR(s.candela_at(340, 0), 350, 1e-9);
  // The flux of the six planes alone: each weighs 60 degrees.
  const double polar =
      ies_solid(steps(0, 90, 10), {0}, [](double g, double) { return cos_deg(g); }).flux_lm() / (2 * kPi);
  EXPECT_NEAR(s.flux_lm(), 60 * kPi / 180 * (400 + 100 + 4 * 200) * polar, 1e-9 * s.flux_lm());

  const auto sides = [](double g, double c) { return cos_deg(g) * (c == 90 ? 300.0 : c == 135 ? 200.0 : 100.0); };
  const PhotometricSolid noC180 = ies_solid(steps(0, 90, 10), {90, 135, 225, 270}, sides);
  EXPECT_EQ(noC180.cDeg, (std::vector<double>{0, 45, 90, 135, 225, 270, 315}));
  EXPECT_NEAR(noC180.candela_at(0, 0), 150, 1e-9);    // midway between C315 (C225's image) and C45 (C135's)
  EXPECT_NEAR(noC180.candela_at(180, 0), 150, 1e-9);  // midway between C135 and C225
}

// Flux of the interpolant against closed forms.
TEST(PhotometricSolid, FluxIsTheExactIntegralOfTheInterpolant) {
  const auto iso = [](double, double) { return 1.0; };
  struct Case {
    std::string name;
    std::vector<double> vertical, horizontal;
    Law law;
    double from, to;  // gamma range of flux_lm_between; 0..180 is flux_lm
    double expected, relativeTolerance;
  };
  const Case cases[] = {
      {"isotropic 1 cd", {0, 180}, {0}, iso, 0, 180, 4 * kPi, 1e-12},
      {"isotropic, gamma 0-90", {0, 90}, {0}, iso, 0, 180, 2 * kPi, 1e-12},
      {"isotropic, gamma 90-180", {90, 180}, {0}, iso, 0, 180, 2 * kPi, 1e-12},
      {"isotropic, split at 45 and 135", {0, 180}, {0}, iso, 45, 135, 2 * kPi * std::sqrt(2.0), 1e-12},
      // I linear from 1000 at gamma 0 to 0 at 90: 2 pi 1000 (1 - 2 / pi).
      {"linear ramp",
       {0, 90},
       {0},
       [](double g, double) { return 1000 * (1 - g / 90); },
       0,
       180,
       2 * kPi * 1000 * (1 - 2 / kPi),
       1e-12},
      // I = gamma (degrees), cut at 90 inside the cell 0..100: 2 pi (180 / pi) [sin g - g cos g] to pi / 2.
      {"cut inside a cell", {0, 100, 180}, {0}, [](double g, double) { return g; }, 0, 90, 360, 1e-12},
      {"Lambertian 955 cos",
       steps(0, 90, 0.5),
       {0},
       [](double g, double) { return 955 * cos_deg(g); },
       0,
       180,
       kPi * 955,
       1e-5},
      // 3 cd at C0 falling to 0 at C60 and rising from C200 back to C360:
      // 330 degree-candela around the circle, times 2 for the polar integral.
      {"unequal C gaps",
       {0, 180},
       {0, 60, 200},
       [](double, double c) { return c == 0 ? 3.0 : 0.0; },
       0,
       180,
       330 * kPi / 180 * 2,
       1e-12},
  };
  for (const Case& c : cases) {
    const PhotometricSolid s = ies_solid(c.vertical, c.horizontal, c.law);
    const double flux = c.from == 0 && c.to == 180 ? s.flux_lm() : s.flux_lm_between(c.from, c.to);
    EXPECT_NEAR(flux, c.expected, c.relativeTolerance * c.expected) << c.name;
  }
}

// The same luminaire in every symmetry form of both formats: each law has
// exactly the symmetry its forms claim (no more), so a plane mirrored to the
// wrong side shows.
TEST(PhotometricSolid, EverySymmetryFormOfBothFormatsGivesTheSameSolid) {
  const auto polar = [](double g) { return 1.5 + cos_deg(g) + 0.4 * cos_deg(2 * g); };
  struct Case {
    std::string name;
    std::function<double(double)> ofC;
    std::vector<std::vector<double>> iesPlanes;  // each an IES file's horizontal angles
    int isym;                                    // the EULUMDAT form
    std::vector<double> ldtPlanes;
  };
  const Case cases[] = {
      {"rotational", [](double) { return 1.0; }, {{0}, {90}}, 1, {0}},
      {"quadrant",
       [](double c) { return 2 + cos_deg(2 * c) + 0.3 * cos_deg(4 * c); },
       {steps(0, 90, 30)},
       4,
       steps(0, 90, 30)},
      {"about C0-C180",
       [](double c) { return 2 + cos_deg(c) + 0.5 * cos_deg(2 * c); },
       {steps(0, 180, 30)},
       2,
       steps(0, 180, 30)},
      {"about C90-C270",
       [](double c) { return 2 + std::sin(c * kPi / 180) + 0.5 * cos_deg(2 * c); },
       {steps(90, 270, 30)},
       3,
       steps(90, 270, 30)},
  };
  for (const Case& c : cases) {
    const auto law = [&](double g, double cDeg) { return 100 * polar(g) * c.ofC(cDeg); };
    // The reference: every plane of the circle measured.
    const PhotometricSolid reference = ies_solid(steps(0, 180, 15), steps(0, 330, 30), law);
    std::vector<PhotometricSolid> forms;
    for (const auto& planes : c.iesPlanes) forms.push_back(ies_solid(steps(0, 180, 15), planes, law));
    forms.push_back(ies_solid(steps(0, 180, 15), steps(0, 360, 30), law));  // C360 repeats C0
    Ldt f;
    f.flux = "1000";  // cd = cd/klm
    f.gammas = steps(0, 180, 15);
    f.cAngles = steps(0, 330, 30);
    f.isym = 0;
    forms.push_back(ldt_solid(f, f.cAngles, law));
    f.isym = c.isym;
    forms.push_back(ldt_solid(f, c.ldtPlanes, law));
    for (std::size_t k = 0; k < forms.size(); ++k) {
      expect_same_solid(forms[k], reference, c.name + " form " + std::to_string(k));
      EXPECT_EQ(forms[k].cDeg.front(), 0) << c.name;
    }
  }
}

// A luminaire that sends its light toward -z, written with gamma 0-180 and
// with gamma 90-180, in both formats: one solid, its light toward -z.
TEST(PhotometricSolid, UplightIsTheSameInBothGammaForms) {
  const auto law = [](double g, double c) { return std::max(0.0, -cos_deg(g)) * (800 + 300 * cos_deg(c)); };
  const auto planes = steps(0, 180, 45);
  const PhotometricSolid full = ies_solid(steps(0, 180, 10), planes, law);
  Ldt f;
  f.flux = "1000";
  f.isym = 2;
  f.cAngles = steps(0, 315, 45);
  std::vector<PhotometricSolid> forms{ies_solid(steps(90, 180, 10), planes, law)};
  f.gammas = steps(0, 180, 10);
  forms.push_back(ldt_solid(f, planes, law));
  f.gammas = steps(90, 180, 10);
  forms.push_back(ldt_solid(f, planes, law));
  for (std::size_t k = 0; k < forms.size(); ++k) expect_same_solid(forms[k], full, "form " + std::to_string(k));
  EXPECT_NEAR(full.candela_at(0, 180), 1100, 1e-9);  // the beam along -z, not mirrored to +z
  EXPECT_EQ(full.candela_at(0, 0), 0);
  EXPECT_NEAR(full.flux_lm_between(90, 180), full.flux_lm(), 1e-12 * full.flux_lm());
  EXPECT_EQ(light_direction_note(forms[0]),
            "As a photometric source (gamma 0 along +z, gamma 180 along -z), the light goes toward -z: 100 % of the "
            "flux at gamma above 90 degrees; a flipped solid turns it toward +z");
}

// Light mostly toward C0 (a road light's street side), and a square optic
// whose diagonal is brighter than either axis: the solid keeps what the two
// averaged planes lose.
TEST(PhotometricSolid, KeepsAsymmetryAndDiagonalsTheTwoTablesAverage) {
  const auto vertical = steps(0, 90, 5);
  const auto street = [](double g, double c) { return cos_deg(g) * (1000 + 900 * cos_deg(c)); };
  const PhotometricSolid road = ies_solid(vertical, steps(0, 360, 22.5), street);
  const auto square = [](double g, double c) {
    const double s2 = std::sin(2 * c * kPi / 180);
    return cos_deg(g) * 500 * (1 + 0.8 * s2 * s2);
  };
  const PhotometricSolid optic = ies_solid(vertical, steps(0, 90, 22.5), square);
  for (double g : vertical) {
    EXPECT_NEAR(road.candela_at(0, g), 1900 * cos_deg(g), 1e-9) << g;
    EXPECT_NEAR(road.candela_at(180, g), 100 * cos_deg(g), 1e-9) << g;
    for (double c : {45.0, 135.0, 225.0, 315.0}) EXPECT_NEAR(optic.candela_at(c, g), 900 * cos_deg(g), 1e-9) << g;
    EXPECT_NEAR(optic.candela_at(0, g), 500 * cos_deg(g), 1e-9) << g;
  }
  // The share toward C0's half (|C| < 90): 1000 pi + 900 T of 2000 pi, T the
  // half-circle integral of cos C interpolated linearly between the planes.
  const double t = kPi / 8 * (1 + 2 * (cos_deg(22.5) + cos_deg(45) + cos_deg(67.5)));
  double towardC0 = 0, total = 0;
  for (double c = 0.25; c < 360; c += 0.5) {
    for (double g = 0.25; g < 90; g += 0.5) {
      const double w = road.candela_at(c, g) * std::sin(g * kPi / 180);
      total += w;
      if (std::cos(c * kPi / 180) > 0) towardC0 += w;
    }
  }
  EXPECT_NEAR(towardC0 / total, (1000 * kPi + 900 * t) / (2000 * kPi), 1e-4);
  EXPECT_GT(towardC0 / total, 0.78);
}

TEST(PhotometricSolid, FlippedTurnsTheSolidOverAboutX) {
  const auto law = [](double g, double c) { return (1.2 + cos_deg(g)) * (3 + cos_deg(c) + std::sin(c * kPi / 180)); };
  const PhotometricSolid s = ies_solid({0, 20, 65, 90, 140, 180}, {0, 40, 130, 200, 290}, law);
  const PhotometricSolid f = s.flipped();
  EXPECT_EQ(f.cDeg, (std::vector<double>{0, 70, 160, 230, 320}));
  EXPECT_EQ(f.gammaDeg, (std::vector<double>{0, 40, 90, 115, 160, 180}));
  int shown = 0;
  for_dense_grid([&](double c, double g) {
    // (x, y, z) -> (x, -y, -z): the direction (C, gamma) shows what was at (-C, 180 - gamma).
    if (std::fabs(f.candela_at(c, g) - s.candela_at(-c, 180 - g)) > 1e-9 && shown++ < 5) {
      ADD_FAILURE() << "C " << c << " gamma " << g;
    }
  });
  EXPECT_NEAR(f.flux_lm(), s.flux_lm(), 1e-12 * s.flux_lm());
  EXPECT_NEAR(f.flux_lm_between(0, 90), s.flux_lm_between(90, 180), 1e-12 * s.flux_lm());
  expect_same_solid(f.flipped(), s, "flipped twice");
  // A downlight flipped lies where the same luminaire written as an uplight does.
  const auto down = [](double g, double c) { return cos_deg(g) * (2 + cos_deg(c)); };
  const auto up = [](double g, double c) { return std::max(0.0, -cos_deg(g)) * (2 + cos_deg(c)); };
  expect_same_solid(ies_solid(steps(0, 90, 10), steps(0, 180, 30), down).flipped(),
                    ies_solid(steps(90, 180, 10), steps(0, 180, 30), up), "downlight flipped");
}

// The solid is in candela: IES values times the multiplier and ballast
// factors, EULUMDAT cd/klm times the lamp flux over 1000 times the conversion factor.
TEST(PhotometricSolid, HoldsAbsoluteCandela) {
  const auto law = [](double g, double) { return 100 * cos_deg(g); };
  const std::string ies = "TILT=NONE\n2 500 3 2 1 1 2 0 0 0\n0.5 1 10\n0 90\n0\n100 0\n";
  const PhotometricSolid fromIes = photometric_solid(read_photometric_text(ies, "t.ies", PhotometricFormat::Ies));
  EXPECT_EQ(fromIes.candela_at(0, 0), 150);  // 100 x 3 x 0.5
  Ldt f;
  f.isym = 1;
  f.flux = "20000";
  f.conversion = "1.5";
  EXPECT_NEAR(ldt_solid(f, {0}, law).candela_at(77, 0), 100 * 20 * 1.5, 1e-9);
}

TEST(PhotometricSolid, RefusesAFileWithoutLightAndFilesThatCannotBeRead) {
  try {
    ies_solid(steps(0, 90, 45), {0, 90}, [](double, double) { return 0.0; });
    ADD_FAILURE() << "a file without light accepted";
  } catch (const PhotometricError& e) {
    EXPECT_EQ(std::string(e.what()), "t.ies: every intensity is zero; the file describes no light to draw rays from");
  }
  try {
    photometric_solid_file("/nonexistent/lamp.ldt");
    ADD_FAILURE() << "a missing file read";
  } catch (const FileReadError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file /nonexistent/lamp.ldt");
  }
  const PhotometricSolid example = photometric_solid_file(std::string(LUCIDRA_EXAMPLES_DIR) + "/lambertian_led.ies");
  EXPECT_NEAR(example.flux_lm(), kPi * 955, 0.005 * kPi * 955);
}

// A file past the size limit is refused before it is read through, by the
// import and by the solid alike; one just inside it is read.
TEST(PhotometricFileSize, AFileOver64MBIsRefusedWithItsMessage) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("lucidra-size-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  const std::string big = (dir / "big.ies").string();
  {
    std::ofstream out(big, std::ios::binary);
    out << "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 1000 1 2 1 1 2 0 0 0\r\n1 1 10\r\n0 90\r\n0\r\n100 0\r\n";
  }
  // Zero bytes after the values are only noted: the file stays valid, only its size grows.
  std::filesystem::resize_file(big, (std::uintmax_t{64} << 20));
  EXPECT_EQ(import_photometric_file(big).peakCandela, 100);
  std::filesystem::resize_file(big, (std::uintmax_t{64} << 20) + 1);
  const std::string message = "File " + big + " is too large for a photometric file (more than 64 MB)";
  try {
    import_photometric_file(big);
    ADD_FAILURE() << "import read an oversized file";
  } catch (const FileReadError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
  try {
    photometric_solid_file(big);
    ADD_FAILURE() << "the solid read an oversized file";
  } catch (const FileReadError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lucidra::testing
