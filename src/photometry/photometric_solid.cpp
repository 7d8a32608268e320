#include "photometry/photometric_solid.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "photometry/circle_planes.h"
#include "photometry/photometric_error.h"
#include "photometry/photometric_import.h"
#include "photometry/text_cursor.h"

namespace lucidra {

namespace {

constexpr double kDegree = std::numbers::pi / 180;

// The polar integral of one plane's linear interpolant, restricted to
// [fromDeg, toDeg]: the segments inside whole, the two cut at the ends with
// the interpolated value there.
double polar_integral_between(const std::vector<double>& gammaDeg, const double* candela, double fromDeg,
                              double toDeg) {
  double sum = 0;
  for (std::size_t k = 0; k + 1 < gammaDeg.size(); ++k) {
    const double g0 = gammaDeg[k], g1 = gammaDeg[k + 1];
    const double a = std::max(g0, fromDeg), b = std::min(g1, toDeg);
    if (!(b > a)) continue;
    const auto at = [&](double g) { return candela[k] + (candela[k + 1] - candela[k]) * (g - g0) / (g1 - g0); };
    const double ia = a == g0 ? candela[k] : at(a);
    const double ib = b == g1 ? candela[k + 1] : at(b);
    sum += detail::polar_segment(a * kDegree, b * kDegree, ia, ib);
  }
  return sum;
}

std::string percent_text(double share) { return short_number(std::round(share * 1000) / 10 + 0.0) + " %"; }

}  // namespace

double PhotometricSolid::candela_at(double cDegrees, double gammaDegrees) const {
  if (!std::isfinite(cDegrees) || !(gammaDegrees >= gammaDeg.front() && gammaDegrees <= gammaDeg.back())) return 0;
  const std::size_t m = gammaDeg.size();
  const auto above = std::upper_bound(gammaDeg.begin(), gammaDeg.end(), gammaDegrees);
  const std::size_t g1 = std::min(static_cast<std::size_t>(above - gammaDeg.begin()), m - 1), g0 = g1 - 1;
  const double t = (gammaDegrees - gammaDeg[g0]) / (gammaDeg[g1] - gammaDeg[g0]);
  const auto along_gamma = [&](std::size_t plane) {
    return (1 - t) * candela[plane * m + g0] + t * candela[plane * m + g1];
  };
  const std::size_t n = cDeg.size();
  if (n == 1) return std::max(0.0, along_gamma(0));
  double c = std::fmod(cDegrees, 360.0);
  if (c < 0) c += 360.0;
  if (c >= 360.0) c = 0;  // -tiny + 360 rounds to 360
  const std::size_t j = static_cast<std::size_t>(std::upper_bound(cDeg.begin(), cDeg.end(), c) - cDeg.begin()) - 1;
  const double next = j + 1 < n ? cDeg[j + 1] : 360.0;
  const double u = (c - cDeg[j]) / (next - cDeg[j]);
  return std::max(0.0, (1 - u) * along_gamma(j) + u * along_gamma((j + 1) % n));
}

double PhotometricSolid::peak_candela() const {
  return candela.empty() ? 0.0 : *std::max_element(candela.begin(), candela.end());
}

double PhotometricSolid::flux_lm() const { return flux_lm_between(0, 180); }

double PhotometricSolid::flux_lm_between(double gammaFromDeg, double gammaToDeg) const {
  const std::size_t n = cDeg.size(), m = gammaDeg.size();
  if (n == 1) return 2 * std::numbers::pi * polar_integral_between(gammaDeg, candela.data(), gammaFromDeg, gammaToDeg);
  // Bilinear in C, each plane weighs half the C gap to either neighbour.
  double sum = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const double next = j + 1 < n ? cDeg[j + 1] : 360.0;
    const double previous = j > 0 ? cDeg[j - 1] : cDeg[n - 1] - 360.0;
    const double weight = 0.5 * (next - previous) * kDegree;
    sum += weight * polar_integral_between(gammaDeg, candela.data() + j * m, gammaFromDeg, gammaToDeg);
  }
  return sum;
}

PhotometricSolid PhotometricSolid::flipped() const {
  const std::size_t n = cDeg.size(), m = gammaDeg.size();
  PhotometricSolid f;
  f.gammaDeg.reserve(m);
  for (std::size_t g = m; g-- > 0;) f.gammaDeg.push_back(180.0 - gammaDeg[g]);
  f.cDeg.reserve(n);
  f.cDeg.push_back(0.0);
  for (std::size_t j = n; j-- > 1;) f.cDeg.push_back(360.0 - cDeg[j]);
  f.candela.reserve(candela.size());
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t from = j == 0 ? 0 : n - j;
    for (std::size_t g = 0; g < m; ++g) f.candela.push_back(candela[from * m + (m - 1 - g)]);
  }
  return f;
}

PhotometricSolid photometric_solid(const PhotometricData& data) {
  const std::string name = data.sourceName.empty() ? std::string("the photometric file") : data.sourceName;
  if (data.verticalDeg.size() < 2 || data.candela.size() != data.horizontalDeg.size() || data.candela.empty()) {
    throw PhotometricError(name + ": the file holds no complete grid of intensities");
  }
  PhotometricSolid solid;
  solid.gammaDeg = data.verticalDeg;
  const std::size_t m = data.verticalDeg.size();
  const std::vector<detail::CirclePlane> circle = detail::full_circle(data);
  if (data.symmetry == HorizontalSymmetry::Rotational || circle.size() == 1) {
    solid.cDeg = {0.0};
    solid.candela = *circle.front().candela;
  } else {
    // The circle starts at C0; when no plane lies there, the one the
    // bilinear rule gives between the last plane and the first.
    if (circle.front().cDeg > detail::kSameAngle) {
      const detail::CirclePlane& lo = circle.back();
      const detail::CirclePlane& hi = circle.front();
      const double u = (360.0 - lo.cDeg) / (360.0 - lo.cDeg + hi.cDeg);
      solid.cDeg.push_back(0.0);
      for (std::size_t g = 0; g < m; ++g) solid.candela.push_back((1 - u) * (*lo.candela)[g] + u * (*hi.candela)[g]);
    }
    for (const detail::CirclePlane& p : circle) {
      solid.cDeg.push_back(solid.cDeg.empty() ? 0.0 : p.cDeg);
      solid.candela.insert(solid.candela.end(), p.candela->begin(), p.candela->end());
    }
  }
  const double flux = solid.flux_lm();
  if (!(solid.peak_candela() > 0) || !(flux > 0)) {
    throw PhotometricError(name + ": every intensity is zero; the file describes no light to draw rays from");
  }
  return solid;
}

PhotometricSolid photometric_solid_file(const std::string& path) {
  return photometric_solid(read_photometric_file(path));
}

std::string light_direction_note(const PhotometricSolid& solid) {
  const double total = solid.flux_lm();
  if (!(total > 0)) return "The file holds no light";
  const double up = solid.flux_lm_between(0, 90) / total, down = solid.flux_lm_between(90, 180) / total;
  const std::string start = "As a photometric source (gamma 0 along +z, gamma 180 along -z), ";
  if (up >= 0.995)
    return start + "the light goes toward +z: " + percent_text(up) + " of the flux at gamma below 90 degrees";
  if (down >= 0.995) {
    return start + "the light goes toward -z: " + percent_text(down) +
           " of the flux at gamma above 90 degrees; a flipped solid turns it toward +z";
  }
  return start + "the light goes both ways: " + percent_text(up) + " of the flux toward +z (gamma below 90 degrees), " +
         percent_text(down) + " toward -z";
}

}  // namespace lucidra
