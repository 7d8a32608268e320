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
