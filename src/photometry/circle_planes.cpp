#include "photometry/circle_planes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lucidra::detail {

double wrap_degrees(double c) {
  c = std::fmod(c, 360.0);
  if (c < 0) c += 360.0;
  return c > 360.0 - kSameAngle ? 0.0 : c;
}

std::vector<CirclePlane> full_circle(const PhotometricData& data) {
  std::vector<CirclePlane> planes;
  for (std::size_t i = 0; i < data.horizontalDeg.size(); ++i) {
    const double c = data.horizontalDeg[i];
    const auto add = [&](double at, bool measured) {
      planes.push_back({wrap_degrees(at), &data.candela[i], measured, c});
    };
    add(c, true);
    switch (data.symmetry) {
      case HorizontalSymmetry::Quadrant:
        add(180 - c, false);
        add(180 + c, false);
        add(360 - c, false);
        break;
      case HorizontalSymmetry::PlaneC0C180: add(360 - c, false); break;
      case HorizontalSymmetry::PlaneC90C270: add(180 - c, false); break;
      case HorizontalSymmetry::Rotational:
      case HorizontalSymmetry::None: break;
    }
  }
  std::stable_sort(planes.begin(), planes.end(), [](const CirclePlane& a, const CirclePlane& b) {
    return a.cDeg < b.cDeg || (a.cDeg == b.cDeg && a.measured && !b.measured);
  });
  std::vector<CirclePlane> unique;
  for (const CirclePlane& p : planes) {
    if (unique.empty() || p.cDeg - unique.back().cDeg > kSameAngle) unique.push_back(p);
  }
  // The last plane may sit just below 360 and so on C0.
  if (unique.size() > 1 && 360.0 - unique.back().cDeg < kSameAngle) unique.pop_back();
  return unique;
}

double polar_segment(double a, double b, double ia, double ib) {
  if (b - a < 1e-6) {
    // Too narrow for the closed form's division: the trapezoid is exact enough.
    return 0.5 * (ia * std::sin(a) + ib * std::sin(b)) * (b - a);
  }
  // The integral of (g - a) sin g is sin g - (g - a) cos g, so the segment gives
  // ia (cos a - cos b) + (ib - ia) ((sin b - sin a) / (b - a) - cos b).
  return ia * (std::cos(a) - std::cos(b)) + (ib - ia) * ((std::sin(b) - std::sin(a)) / (b - a) - std::cos(b));
}

double polar_integral(const std::vector<double>& gammaDeg, const std::vector<double>& candela) {
  constexpr double kDegree = std::numbers::pi / 180;
  double sum = 0;
  for (std::size_t k = 0; k + 1 < gammaDeg.size(); ++k) {
    sum += polar_segment(gammaDeg[k] * kDegree, gammaDeg[k + 1] * kDegree, candela[k], candela[k + 1]);
  }
  return sum;
}

}  // namespace lucidra::detail
