// The angular law and the sampler a run's settings describe.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/user_error.h"
#include "engine/run_setup.h"
#include "photometry/photometric_solid.h"
#include "sampling/photometric_law.h"

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

LinearTable linear_table(const AngularDistribution& table) {
  const AngularDistribution ascending = ascending_table(table);
  std::vector<double> x, y;
  const int n = ascending.stored_count();
  for (int k = 1; k <= n; ++k) {
    x.push_back(ascending.angle[static_cast<std::size_t>(k)]);
    y.push_back(ascending.intensity[static_cast<std::size_t>(k)]);
  }
  return LinearTable(std::move(x), std::move(y));
}

bool uses_tables(const GenerationSettings& s) {
  return s.angularType == AngularType::UserDefined || s.angularType == AngularType::Gaussian;
}

}  // namespace

bool uses_photometric_solid(const GenerationSettings& settings) {
  return !settings.photometricFile.empty() && !settings.legacySampling && settings.ledMode && uses_tables(settings);
}

SamplingMode sampling_mode(const GenerationSettings& settings) {
  if (settings.legacySampling) return SamplingMode::Legacy;
  return settings.weightedSampling ? SamplingMode::Weighted : SamplingMode::EqualFlux;
}

std::unique_ptr<AngularLaw> make_angular_law(const GenerationSettings& settings,
                                             const AngularDistribution& longitudinal,
                                             const AngularDistribution& transversal, const std::string& source) {
  if (!settings.ledMode) {
    throw UserError("Arc mode has no angular law: its rays leave every point of the arc evenly in all directions");
  }
  if (!(settings.numericalAperture >= 0 && settings.numericalAperture <= 1)) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", settings.numericalAperture);
    throw UserError(std::string("NA ") + text + " must lie between 0 and 1");
  }
  LawFrame frame;
  frame.extent = std::clamp(settings.extentAboutZ, 0, 360) * kDeg;
  const int balance = settings.balance < 0 ? -settings.balance : settings.balance;
  frame.backShare = settings.doubleSide ? std::min(balance, 100) / 100.0 : 0;
  const bool legacy = settings.legacySampling;
  if (uses_photometric_solid(settings)) {
    if (settings.doubleSide) {
      throw UserError("Double side mirrors a one-sided emitter; the photometric file " + settings.photometricFile +
                      " already gives the light in every direction: turn double side off (--flip turns the "
                      "solid over)");
    }
    if (settings.squareShape && settings.planeShape == PlaneShape::Rectangular) {
      throw UserError("Square shape combines two distribution tables; the photometric file " +
                      settings.photometricFile + " gives the whole solid: use Radial with it");
    }
    PhotometricSolid solid = photometric_solid_file(settings.photometricFile);
    std::string name = settings.photometricFile;
    if (settings.flipSolid) {
      solid = solid.flipped();
      name += ", turned over";
    }
    return std::make_unique<PhotometricLaw>(std::move(solid), frame.extent, name);
  }
  // Square shape applies to a rectangular emitter; version 3.5 applied it
  // to every angular type, the other samplings to the measured tables only.
  const bool square =
      settings.squareShape && settings.planeShape == PlaneShape::Rectangular && (legacy || uses_tables(settings));

  if (!square && (settings.angularType == AngularType::Lambertian || settings.angularType == AngularType::Uniform)) {
    frame.capAngle = std::asin(settings.numericalAperture);
    if (settings.angularType == AngularType::Lambertian) return std::make_unique<LambertianLaw>(frame);
    return std::make_unique<UniformLaw>(frame);
  }
  LinearTable first = linear_table(longitudinal), second = linear_table(transversal);
  if (square && legacy) {
    frame.capAngle = uses_tables(settings) ? std::min(std::max(first.last_x(), second.last_x()), 180.0) * kDeg
                                           : std::asin(settings.numericalAperture);
    return std::make_unique<LegacySquareLaw>(frame, std::move(first), std::move(second), source);
  }
  if (square) {
    frame.capAngle = SquareLaw::support_cap(first, second);
    return std::make_unique<SquareLaw>(frame, std::move(first), std::move(second), source);
  }
  frame.capAngle = std::min(std::max(first.last_x(), second.last_x()), 180.0) * kDeg;
  return std::make_unique<TwoTableLaw>(frame, std::move(first), std::move(second), source);
}

}  // namespace lucidra
