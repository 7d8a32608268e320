#include "sampling/photometric_law.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

LawFrame frame_of(const PhotometricSolid& solid, double extentRadians) {
  LawFrame frame;
  frame.capAngle = std::clamp(solid.gammaDeg.back(), 0.0, 180.0) * kDeg;
  frame.extent = std::clamp(extentRadians, 0.0, 2 * kPi);
  return frame;
}

}  // namespace

PhotometricLaw::PhotometricLaw(PhotometricSolid solid, double extentRadians, std::string source)
    : AngularLaw(frame_of(solid, extentRadians)), solid_(std::move(solid)), source_(std::move(source)) {}

double PhotometricLaw::azimuth_of_plane(double cDegrees) {
  double phi = std::fmod(90 - cDegrees, 360.0);
  if (phi < 0) phi += 360;
  return phi * kDeg;
}

double PhotometricLaw::forward(double theta, double phi) const {
  return solid_.candela_at(90 - phi / kDeg, theta / kDeg);
}

std::vector<double> PhotometricLaw::forward_polar_breaks() const {
  std::vector<double> out;
  for (double g : solid_.gammaDeg) out.push_back(g * kDeg);
  return out;
}

// Columns at the planes make the interpolation in C exact (it is linear in
// C between planes).
std::vector<double> PhotometricLaw::azimuth_breaks() const {
  std::vector<double> out;
  for (double c : solid_.cDeg) out.push_back(azimuth_of_plane(c));
  return out;
}

// Linear in gamma between the grid's angles; linear in cos theta over half
// a degree differs from that by a few 1e-5 of the peak.
double PhotometricLaw::polar_step() const { return 0.5 * kDeg; }
double PhotometricLaw::azimuth_step() const { return 2 * kPi; }
bool PhotometricLaw::depends_on_azimuth() const { return solid_.cDeg.size() > 1; }

std::string PhotometricLaw::description() const {
  return "photometric solid of " + source_ + " (bilinear in C and gamma), " + frame_description(frame());
}

}  // namespace lucidra
