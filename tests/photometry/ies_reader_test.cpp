#include "photometry/ies_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "photometry/photometric_error.h"
#include "photometry/photometric_import.h"
#include "photometry_test_support.h"

namespace lucidra::testing {
namespace {

PhotometricImport import_ies(const std::string& text) {
  return import_photometric_text(text, "t.ies", PhotometricFormat::Ies);
}

TEST(IesReader, EveryEditionGivesTheLawScaledByItsFactors) {
  struct Case {
    std::string formatLine;
    std::string factors;  // ballast factor, second field, input watts
    std::string expectedVersion;
    double expectedScale;  // multiplier 1 here; the second field counts before 2002 only
  };
  const Case cases[] = {
      {"", "1 1 10", "LM-63-1986 (no format line)", 1.0},
      {"", "0.5 0.8 10", "LM-63-1986 (no format line)", 0.4},
      {"IESNA91", "1 0.5 10", "IESNA91", 0.5},
      {"IESNA:LM-63-1995", "0.8 0.5 10", "IESNA:LM-63-1995", 0.4},
      {"IESNA:LM-63-2002", "0.8 7 10", "IESNA:LM-63-2002", 0.8},
      {"IES:LM-63-2019", "1 1.10000 10", "IES:LM-63-2019", 1.0},
  };
  const auto vertical = steps(0, 90, 10);
  for (const Case& c : cases) {
    const auto law = [](double g, double) { return 1000 * cos_deg(g); };
    const PhotometricImport r = import_ies(ies_text(c.formatLine, vertical, {0}, law, c.factors));
    EXPECT_EQ(r.versionText, c.expectedVersion);
    EXPECT_EQ(r.format, PhotometricFormat::Ies);
    const auto expected = [&](double t) { return c.expectedScale * 1000 * cos_deg(t); };
    expect_table(r.longitudinal, vertical, expected, 1e-9, c.expectedVersion + " L");
    expect_table(r.transversal, vertical, expected, 1e-9, c.expectedVersion + " T");
    EXPECT_NEAR(r.peakCandela, c.expectedScale * 1000, 1e-9);
    ASSERT_TRUE(r.statedLumens.has_value());
    EXPECT_EQ(*r.statedLumens, 1000.0);  // 2 lamps of 500 lm, not scaled
  }
}

TEST(IesReader, ValuesMaySpreadOverLinesWithCommasTabsAndBlankLines) {
  const std::string text =
      "IESNA:LM-63-2002\r[TEST] spread\rTILT=NONE\r"
      "1,-1,\t2.0\n3 1 1.0 2\n\n0 0 0 1 1 10 0,45,\n 90\n\n0\n100\t50,\n\n   10\n";
  const PhotometricImport r = import_ies(text);
  expect_table(
      r.longitudinal, {0, 45, 90}, [](double t) { return t == 0    ? 200
                                                         : t == 45 ? 100
                                                                   : 20; }, 1e-12, "L");
  EXPECT_FALSE(r.statedLumens.has_value());
  EXPECT_NE(std::find(r.notes.begin(), r.notes.end(),
                      "Absolute photometry (lumens per lamp -1): the file states no lamp lumens"),
            r.notes.end());
  EXPECT_NE(std::find(r.notes.begin(), r.notes.end(), "Candela values multiplied by the candela multiplier 2"),
            r.notes.end());
}

TEST(IesReader, TiltIncludeIsReadAndReported) {
  const std::string text =
      "IESNA:LM-63-2002\r\nTILT=INCLUDE\r\n1\r\n3\r\n0 45 90\r\n1 0.9 0.8\r\n"
      "1 1000 1 2 1 1 2 0 0 0\r\n1 1 10\r\n0 90\r\n0\r\n100 0\r\n";
  const PhotometricImport r = import_ies(text);
  EXPECT_EQ(r.longitudinal.candela, (std::vector<double>{100, 0}));
  EXPECT_EQ(r.notes.front(),
            "TILT=INCLUDE: lamp-to-luminaire geometry 1, 3 tilt angles from 0 to 90 degrees; the tilt factors "
            "apply only to a tilted luminaire and are not applied to the tables");
}

TEST(IesReader, TextAfterTheLastValueIsNoted) {
  const std::string good = "TILT=NONE\n1 1000 1 2 1 1 2 0 0 0\n1 1 10\n0 90\n0\n100 0\n";
  const auto has_note = [](const PhotometricImport& r) {
    for (const auto& n : r.notes) {
      if (n.find("Text after the last candela value") != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_FALSE(has_note(import_ies(good + "\n  \n")));
  EXPECT_TRUE(has_note(import_ies(good + "\n7 8\n")));
  const auto notes = import_ies(good + "junk").notes;
  EXPECT_NE(std::find(notes.begin(), notes.end(), "Text after the last candela value (line 6) was ignored"),
            notes.end());
}

TEST(IesReader, RefusesMalformedFilesNamingLineAndField) {
  // A good file; each case replaces one piece of it.
  const std::string head = "IESNA:LM-63-2002\n[TEST] x\nTILT=NONE\n";
  const std::string header = "1 1000 1 3 1 1 2 0 0 0\n";
  const std::string factors = "1 1 10\n";
  const std::string angles = "0 45 90\n0\n";
  const std::string values = "100 70 0\n";
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"", "t.ies line 1, TILT line: the file is empty"},
      {"IESNA:LM-63-2002\n[TEST] x\n",
       "t.ies line 2, TILT line: the file has no TILT= line; an IES file states its "
       "tilt data (TILT=NONE or TILT=INCLUDE) before its numbers"},
      {"IIES",
       "t.ies line 1, TILT line: the file has no TILT= line; an IES file states its tilt data (TILT=NONE or "
       "TILT=INCLUDE) before its numbers"},
      {"IESNA:LM-63-2002\nTILT=lamp.tlt\n" + header,
       "t.ies line 2, TILT: TILT=lamp.tlt names a separate tilt file, which import does not read; copy its data into "
       "this file with TILT=INCLUDE, or use TILT=NONE"},
      {"TILT=\n" + header, "t.ies line 1, TILT: TILT= names no tilt data; use TILT=NONE or TILT=INCLUDE"},
      {"TILT=INCLUDE\n4 1\n", "t.ies line 2, lamp-to-luminaire geometry: 4 is out of range; it must be from 1 to 3"},
      {"TILT=INCLUDE\n1 2 0 90 1\n",
       "t.ies line 2, tilt multiplying factor 2 of 2: the file ends here; the value is missing"},
      {"TILT=INCLUDE\n1 2 0 90 1 -1\n", "t.ies line 2, tilt multiplying factor 2 of 2: -1 is negative"},
      {head + "1 1000 1 3 1 2 2 0 0 0\n" + factors + angles + values,
       "t.ies line 4, photometric type: type B photometry is not supported; only type C (vertical angles from the "
       "luminaire's axis, planes around it) can be imported"},
      {head + "1 1000 1 3 1 3 2 0 0 0\n" + factors + angles + values,
       "t.ies line 4, photometric type: type A photometry is not supported; only type C (vertical angles from the "
       "luminaire's axis, planes around it) can be imported"},
      {head + "1 1000 1 3 1 0 2 0 0 0\n", "t.ies line 4, photometric type: 0 is out of range; it must be from 1 to 3"},
      {head + "0 1000 1 3 1 1 2 0 0 0\n",
       "t.ies line 4, number of lamps: 0 is out of range; it must be from 1 to 2147483647"},
      {head + "1 0 1 3 1 1 2 0 0 0\n",
       "t.ies line 4, lumens per lamp: 0 must be positive, or -1 for absolute photometry"},
      {head + "1 1000 0 3 1 1 2 0 0 0\n", "t.ies line 4, candela multiplier: 0 must be positive"},
      {head + "1 1000 1 -3 1 1 2 0 0 0\n",
       "t.ies line 4, number of vertical angles: -3 is out of range; it must be from 2 to 100000"},
      {head + "1 1000 1 2.5 1 1 2 0 0 0\n", "t.ies line 4, number of vertical angles: '2.5' is not a whole number"},
      {head + "1 1000 1 3 0 1 2 0 0 0\n",
       "t.ies line 4, number of horizontal angles: 0 is out of range; it must be from 1 to 100000"},
      {head + "1 1000 1 3 1 1 3 0 0 0\n", "t.ies line 4, units type: 3 is out of range; it must be from 1 to 2"},
      {head + "1 1000 1 3 1 1 2 0 x 0\n", "t.ies line 4, length: 'x' is not a number"},
      {head + header, "t.ies line 4, ballast factor: the file ends here; the value is missing"},
      {head + header + "0 1 10\n", "t.ies line 5, ballast factor: 0 must be positive"},
      {"IESNA:LM-63-1995\nTILT=NONE\n" + header + "1 0 10\n",
       "t.ies line 4, ballast-lamp photometric factor: 0 must be positive"},
      {head + header + factors + "0 90 45\n",
       "t.ies line 6, vertical angle 3 of 3: 45 does not follow 90; the angles must ascend"},
      {head + "1 1000 1 4 1 1 2 0 0 0\n" + factors + "0 45 45 90\n",
       "t.ies line 6, vertical angle 3 of 4: 45 repeats the angle before it; the angles must ascend"},
      {head + "1 1000 1 4 1 1 2 0 0 0\n" + factors + "0 45 45.000001 90\n",
       "t.ies line 6, vertical angle 3 of 4: 45 repeats the angle before it; the angles must ascend"},
      {head + "1 1000 1 3 3 1 2 0 0 0\n" + factors + "0 45 90\n0 90 90\n",
       "t.ies line 7, horizontal angle 3 of 3: 90 repeats the angle before it; the angles must ascend"},
      {head + "1 1000 1 3 3 1 2 0 0 0\n" + factors + "0 45 90\n0 180 90\n",
       "t.ies line 7, horizontal angle 3 of 3: 90 does not follow 180; the angles must ascend"},
      {head + header + factors + "0 30 60\n0\n",
       "t.ies line 6, vertical angles: they run from 0 to 60 degrees; type C photometry runs from 0 to 90, 0 to 180 "
       "or 90 to 180"},
      {head + "1 1000 1 3 2 1 2 0 0 0\n" + factors + "0 45 90\n0 45\n",
       "t.ies line 7, horizontal angles: they run from 0 to 45 degrees; type C photometry has one plane, or runs from "
       "0 to 90, 0 to 180, 90 to 270 or 0 to 360"},
      {head + header + factors + angles + "100 70\n",
       "t.ies line 8, candela value 3 of 3 at horizontal angle 0: the file ends after 2 of the 3 candela values"},
      {head + header + factors + angles + "100 7O 0\n",
       "t.ies line 8, candela value 2 of 3 at horizontal angle 0: '7O' is not a number"},
      {head + header + factors + angles + "100 nan 0\n",
       "t.ies line 8, candela value 2 of 3 at horizontal angle 0: 'nan' is not a number"},
      {head + header + factors + angles + "100 -5 0\n",
       "t.ies line 8, candela value 2 of 3 at horizontal angle 0: -5 is negative"},
      {head + "1 1000 1e10 3 1 1 2 0 0 0\n" + factors + angles + "1e5 100001 0\n",
       "t.ies line 8, candela value 2 of 3 at horizontal angle 0: 100001 times the multipliers is more than 1e+15 cd, "
       "beyond any luminaire"},
  };
  for (const Case& c : cases) {
    try {
      import_ies(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const PhotometricError& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.text;
    }
  }
}

}  // namespace
}  // namespace lucidra::testing
