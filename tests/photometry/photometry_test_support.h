#pragma once
// Builders of photometric files from intensity laws, for the tests.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "photometry/photometric_import.h"

namespace lucidra::testing {

using Law = std::function<double(double gammaDeg, double cDeg)>;

inline double cos_deg(double deg) { return std::cos(deg * std::numbers::pi / 180); }

inline std::vector<double> steps(double from, double to, double step) {
  std::vector<double> v;
  for (double a = from; a <= to + 1e-9; a += step) v.push_back(a);
  return v;
}

inline std::string number(double v) {
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

// An IES file: the format line (none when empty), TILT=NONE, the header and
// the law's values, one plane per line.
inline std::string ies_text(const std::string& formatLine, const std::vector<double>& vertical,
                            const std::vector<double>& horizontal, const Law& law,
                            const std::string& factors = "1 1 10") {
  std::string t;
  if (!formatLine.empty()) t += formatLine + "\r\n[TEST] law\r\n[MANUFAC] Lucidra tests\r\n";
  t += "TILT=NONE\r\n2 500 1 " + std::to_string(vertical.size()) + " " + std::to_string(horizontal.size()) +
       " 1 2 0 0 0\r\n" + factors + "\r\n";
  for (double g : vertical) t += number(g) + " ";
  t += "\r\n";
  for (double c : horizontal) t += number(c) + " ";
  t += "\r\n";
  for (double c : horizontal) {
    for (double g : vertical) t += number(law(g, c)) + " ";
    t += "\r\n";
  }
  return t;
}

// The fields of an EULUMDAT file that the tests vary.
struct Ldt {
  int isym = 0;
  std::vector<double> cAngles = steps(0, 315, 45);
  std::vector<double> gammas = steps(0, 90, 10);
  std::string flux = "2000";
  std::string conversion = "1";
  int lampSets = 1;
  std::string lightOutputRatio = "80";
};

// Lines 1..42 and the angle lists; the C angles start on line 43 after one lamp set.
inline std::string ldt_head(const Ldt& f) {
  std::string t = "Lucidra tests\r\n1\r\n" + std::to_string(f.isym) + "\r\n" + std::to_string(f.cAngles.size()) +
                  "\r\n45\r\n" + std::to_string(f.gammas.size()) +
                  "\r\n10\r\nreport\r\nname\r\nnumber\r\nf.ldt\r\ndate\r\n";
  for (int k = 13; k <= 21; ++k) t += "0\r\n";
  t += "100\r\n" + f.lightOutputRatio + "\r\n" + f.conversion + "\r\n0\r\n" + std::to_string(f.lampSets) + "\r\n";
  for (int s = 0; s < f.lampSets; ++s)
    t += "1\r\nLED\r\n" + (s == 0 ? f.flux : std::string("999")) + "\r\n4000K\r\n80\r\n30\r\n";
  for (int k = 0; k < 10; ++k) t += "0,5\r\n";  // a decimal comma, as comma locales write
  for (double c : f.cAngles) t += number(c) + "\r\n";
  for (double g : f.gammas) t += number(g) + "\r\n";
  return t;
}

inline std::string ldt_text(const Ldt& f, const std::vector<double>& storedPlanes, const Law& law) {
  std::string t = ldt_head(f);
  for (double c : storedPlanes) {
    for (double g : f.gammas) t += number(law(g, c)) + "\r\n";
  }
  return t;
}

// Checks a table's angles and values against `expected(theta)`.
inline void expect_table(const PlaneTable& table, const std::vector<double>& angles,
                         const std::function<double(double)>& expected, double tolerance, const std::string& what) {
  ASSERT_EQ(table.angleDeg.size(), angles.size()) << what;
  ASSERT_EQ(table.candela.size(), angles.size()) << what;
  for (std::size_t k = 0; k < angles.size(); ++k) {
    EXPECT_NEAR(table.angleDeg[k], angles[k], 1e-9) << what << " angle " << k;
    EXPECT_NEAR(table.candela[k], expected(angles[k]), tolerance) << what << " at " << angles[k];
  }
}

}  // namespace lucidra::testing
