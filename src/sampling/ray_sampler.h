#pragma once
// One flux sample or one ray attempt: the start point, the direction and the
// flux, with every random draw taken in the order the ray files depend on.
//
// The draws come from a `Draws` source so that the sequential run and the
// workers of a parallel run share this one definition of a ray:
//   void sobol(float* q);                       next Sobol point
//   std::int32_t uniform(std::int32_t a, std::int32_t b);   seeded uniform_int
//   std::int32_t below(std::int32_t k);         runtime random_below
//   std::int64_t below_wide(std::int64_t k);    runtime draw below a 64-bit bound

#include <cmath>
#include <cstdint>

#include "base/ray_record.h"
#include "sampling/level_lookup.h"
#include "sampling/sampling_constants.h"
#include "sampling/sampling_types.h"
#include "sampling/sin_cos.h"

namespace lucidra {

// Everything a ray needs that stays fixed for the whole run.
struct SamplingPlan {
  bool ledMode = true;
  RandomAlgorithm algorithm = RandomAlgorithm::Sobol;
  AngularType angularType = AngularType::UserDefined;
  PlaneShape planeShape = PlaneShape::Rectangular;
  bool squareShape = false;
  bool doubleSide = false;
  std::int32_t balance = 50;
  bool legacySampling = false;  // version 3.5's arithmetic, levels and double-side share
  std::int32_t extentAboutZ = 360;
  double sourceFlux = 3500;
  std::int64_t rayCount = 30000;

  // LED mode.
  double sizeX = 0, sizeY = 0;
  double semiAxisX = 0, semiAxisY = 0;
  double capAngle = 0;        // theta max, radians
  double oneMinusCosCap = 0;  // 1 - cos(theta max)
  double uniformFlux = 0;     // sourceFlux / (N + 1)

  // Arc mode.
  double arcRadius = 0;       // last abscissa of the transversal table
  double arcLength = 0;       // last abscissa of the longitudinal table
  std::int64_t radiusBound = 0;   // trunc(2e9 R)
  std::int64_t lengthBound = 0;   // trunc(1e9 L)
  bool radiusBoundWide = false;   // the bound does not fit 32 bits
  bool lengthBoundWide = false;
  std::int32_t azimuthBound = 0;  // trunc(1e9 * extent / 360)
  long double elevationSpan = 0;  // pi - (A + B) pi / 180
  long double elevationStart = 0; // B pi / 180 - pi / 2

  double fluxDivisor = 0;     // K

  const LevelLookup* longitudinal = nullptr;
  const LevelLookup* transversal = nullptr;
  bool tablesShareAbscissae = false;  // both Linear on one grid: value_pair serves

  // Dimension of the Sobol points: 2 in LED mode, 3 in arc mode.
  int sobol_dimension() const { return ledMode ? 2 : 3; }
};

struct Levels {
  double longitudinal = 0;  // F
  double transversal = 0;   // E
};

namespace detail {

inline double polar_degrees(double theta) {
  return static_cast<double>(theta * sampling::kDegreesPerHalfTurn * sampling::kInvPi);
}

// x or y of an arc start point: (1e9 R - draw) / 1e9 on the 1e-9 grid.
template <class Draws>
double arc_cross_coordinate(const SamplingPlan& plan, Draws& draws) {
  const double scaled = sampling::kResolution * plan.arcRadius;
  if (plan.radiusBoundWide) {
    const std::int64_t bound = plan.radiusBound < 0 ? -plan.radiusBound : plan.radiusBound;
    return (scaled - static_cast<double>(draws.below_wide(bound))) * sampling::kInvResolution;
  }
  return (scaled - draws.below(static_cast<std::int32_t>(plan.radiusBound))) *
         sampling::kInvResolution;
}

template <class Draws>
double arc_axial_coordinate(const SamplingPlan& plan, Draws& draws) {
  if (plan.lengthBoundWide) {
    const std::int64_t bound = plan.lengthBound < 0 ? -plan.lengthBound : plan.lengthBound;
    return static_cast<double>(draws.below_wide(bound)) * sampling::kInvResolution;
  }
  return draws.below(static_cast<std::int32_t>(plan.lengthBound)) * sampling::kInvResolution;
}

template <class Draws>
void arc_start_point(const SamplingPlan& plan, Draws& draws, double& x, double& y, double& z) {
  if (plan.algorithm == RandomAlgorithm::Sobol) {
    float q[3];
    draws.sobol(q);
    const double r = plan.arcRadius;
    x = r + q[0] * (-2.0) * r;
    y = r + q[1] * (-2.0) * r;
    z = q[2] * plan.arcLength;
  } else {
    x = arc_cross_coordinate(plan, draws);
    y = arc_cross_coordinate(plan, draws);
    z = arc_axial_coordinate(plan, draws);
  }
}

inline double ellipse_term(double v, double semiAxis) {
  // A zero axis makes the ellipse a segment: the coordinate along it is 0.
  return semiAxis == 0 ? 0.0 : (v * v) / (semiAxis * semiAxis);
}

// The default (linear) sampling's weight of a direction, from cos(theta)
// (uniform over [cos theta max, 1]) and the azimuth's sine and cosine:
// nothing of an earlier ray takes part, so the polar angle is worked out
// only where a table needs it.
inline double linear_weight(const SamplingPlan& plan, double cosTheta, double sinPhi, double cosPhi, bool square) {
  constexpr double kDegreesPerRadian = 57.295779513082320877;
  if (square) {
    const double degrees = std::acos(cosTheta) * kDegreesPerRadian;
    return std::sqrt(plan.longitudinal->value(std::fabs(cosPhi * degrees)) *
                     plan.transversal->value(std::fabs(sinPhi * degrees)));
  }
  switch (plan.angularType) {
    case AngularType::Uniform: return plan.uniformFlux;
    case AngularType::Lambertian: return cosTheta;
    case AngularType::UserDefined:
    case AngularType::Gaussian: {
      const double degrees = std::acos(cosTheta) * kDegreesPerRadian;
      double f = 0, e = 0;
      if (plan.tablesShareAbscissae) {
        LevelLookup::value_pair(*plan.longitudinal, *plan.transversal, degrees, f, e);
      } else {
        f = plan.longitudinal->value(degrees);
        e = plan.transversal->value(degrees);
      }
      return f + (e - f) * (cosPhi * cosPhi);
    }
  }
  return 0;
}

}  // namespace detail

// One sample of the flux phase; returns its weight.
template <class Draws>
double flux_sample_weight(const SamplingPlan& plan, Draws& draws, Levels& levels) {
  if (plan.ledMode) {
    double phi = 0, cosTheta = 1;
    if (plan.algorithm == RandomAlgorithm::Sobol) {
      float q[2];
      draws.sobol(q);
      draws.uniform(0, sampling::kResolutionInt);  // the start point's draws
      draws.uniform(0, sampling::kResolutionInt);
      phi = plan.extentAboutZ * sampling::kPiOver180 * q[1];
      cosTheta = 1 - plan.oneMinusCosCap * q[0];
    } else {
      draws.uniform(0, sampling::kResolutionInt);
      draws.uniform(0, sampling::kResolutionInt);
      const std::int32_t j3 = draws.uniform(1, sampling::kResolutionInt);
      phi = j3 * (plan.extentAboutZ * sampling::kPiOver180) / sampling::kResolution;
      const std::int32_t j4 = draws.uniform(1, sampling::kResolutionInt);
      cosTheta = 1 - j4 * plan.oneMinusCosCap / sampling::kResolution;
    }
    if (!plan.legacySampling) {
      double sinPhi = 0, cosPhi = 1;
      sin_cos(phi, sinPhi, cosPhi);
      return detail::linear_weight(plan, cosTheta, sinPhi, cosPhi, false);
    }
    const double theta = std::acos(cosTheta);
    const double degrees = detail::polar_degrees(theta);
    plan.longitudinal->update(std::fabs(degrees), levels.longitudinal);
    plan.transversal->update(std::fabs(degrees), levels.transversal);
    switch (plan.angularType) {
      case AngularType::Uniform:
        return plan.uniformFlux;
      case AngularType::Lambertian:
        return std::cos(theta);
      case AngularType::UserDefined:
      case AngularType::Gaussian: {
        const double s = std::sin(phi + sampling::kHalfPi);
        return ((levels.transversal - levels.longitudinal) * s) * s + levels.longitudinal;
      }
    }
    return 0;
  }
  double x = 0, y = 0, z = 0;
  detail::arc_start_point(plan, draws, x, y, z);
  const double r = std::sqrt(x * x + y * y);
  plan.longitudinal->update(z, levels.longitudinal);
  plan.transversal->update(r, levels.transversal);
  return std::sqrt(levels.transversal * levels.longitudinal);
}

// Whether the written flux of this plan's rays is divided by K.
inline bool flux_uses_divisor(const SamplingPlan& plan) {
  if (!plan.ledMode) return true;
  if (plan.squareShape && plan.planeShape == PlaneShape::Rectangular) return false;
  return plan.angularType != AngularType::Uniform;
}

// One attempt of the writing phase. Returns false when an elliptical emitter
// rejects the start point: nothing of the attempt is kept, but its draws are
// spent.
template <class Draws>
bool ray_attempt(const SamplingPlan& plan, Draws& draws, Levels& levels, RayRecord& ray) {
  if (!plan.ledMode) {
    detail::arc_start_point(plan, draws, ray.x, ray.y, ray.z);
    const std::int32_t m = draws.below(plan.azimuthBound);
    const double psi = sampling::kTwoPi * m / sampling::kResolution;
    const std::int32_t n = draws.below(sampling::kResolutionInt);
    if (plan.legacySampling) {
      // Version 3.5's extended-precision elevation and C library sines.
      const auto elevation = static_cast<double>(n * plan.elevationSpan / sampling::kResolution + plan.elevationStart);
      ray.dz = std::sin(elevation);
      ray.dx = std::cos(elevation) * std::sin(psi);
      ray.dy = std::cos(elevation) * std::cos(psi);
    } else {
      const double elevation = n * static_cast<double>(plan.elevationSpan) / sampling::kResolution +
                               static_cast<double>(plan.elevationStart);
      double sinElevation = 0, cosElevation = 1, sinPsi = 0, cosPsi = 1;
      sin_cos(elevation, sinElevation, cosElevation);
      sin_cos(psi, sinPsi, cosPsi);
      ray.dz = sinElevation;
      ray.dx = cosElevation * sinPsi;
      ray.dy = cosElevation * cosPsi;
    }
    const double rho = std::sqrt(ray.x * ray.x + ray.y * ray.y);
    if (plan.legacySampling) {
      plan.longitudinal->update(ray.z, levels.longitudinal);
      plan.transversal->update(rho, levels.transversal);
    } else {
      levels.longitudinal = plan.longitudinal->value(ray.z);
      levels.transversal = plan.transversal->value(rho);
    }
    ray.flux = std::sqrt(levels.transversal * levels.longitudinal) / plan.fluxDivisor;
    return true;
  }

  float q[2] = {0, 0};
  if (plan.algorithm == RandomAlgorithm::Sobol) draws.sobol(q);
  const std::int32_t j1 = draws.uniform(0, sampling::kResolutionInt);
  ray.x = plan.sizeX * 0.5 - plan.sizeX * j1 / sampling::kResolution;
  const std::int32_t j2 = draws.uniform(0, sampling::kResolutionInt);
  ray.y = plan.sizeY * 0.5 - plan.sizeY * j2 / sampling::kResolution;
  ray.z = 0;
  std::int32_t j3 = 0, j4 = 0;
  if (plan.algorithm == RandomAlgorithm::Uniform) {
    j3 = draws.uniform(1, sampling::kResolutionInt);
    j4 = draws.uniform(1, sampling::kResolutionInt);
  }
  // The default sampling takes its double-side draw on every attempt, kept
  // or not: where an attempt's draws start then follows from its number
  // alone, so workers need not count the attempts an ellipse kept before
  // theirs. Balance b reverses b/100 of the rays (none at 0, all at 100).
  bool reverse = false;
  if (plan.doubleSide && !plan.legacySampling) {
    const std::int32_t b = plan.balance < 0 ? -plan.balance : plan.balance;
    reverse = draws.below(100) < b;
  }
  if (plan.planeShape == PlaneShape::Elliptical &&
      detail::ellipse_term(ray.x, plan.semiAxisX) + detail::ellipse_term(ray.y, plan.semiAxisY) > 1) {
    return false;
  }
  // The angles follow from the draws alone, so a rejected attempt skips them.
  // The cosine of the polar angle is uniform over [cos theta max, 1].
  double phi = 0, drawnCos = 1;
  if (plan.algorithm == RandomAlgorithm::Sobol) {
    phi = plan.extentAboutZ * sampling::kPiOver180 * q[1];
    drawnCos = 1 - plan.oneMinusCosCap * q[0];
  } else {
    phi = (plan.extentAboutZ * sampling::kPiOver180) * j3 / sampling::kResolution;
    drawnCos = 1 - j4 * plan.oneMinusCosCap / sampling::kResolution;
  }

  if (!plan.legacySampling) {
    // The direction straight from the drawn cosine, without going through
    // the angle and back.
    double sinPhi = 0, cosPhi = 1;
    sin_cos(phi, sinPhi, cosPhi);
    // Clamped at 0 with a comparison, which compiles inline where fmax is a
    // library call; both give 0 for a negative or NaN square.
    const double sinSquared = (1 - drawnCos) * (1 + drawnCos);
    const double sinTheta = std::sqrt(sinSquared > 0 ? sinSquared : 0.0);
    ray.dx = sinTheta * sinPhi;
    ray.dy = sinTheta * cosPhi;
    ray.dz = reverse ? -drawnCos : drawnCos;
    const bool square = plan.squareShape && plan.planeShape == PlaneShape::Rectangular;
    const double weight = detail::linear_weight(plan, drawnCos, sinPhi, cosPhi, square);
    ray.flux = flux_uses_divisor(plan) ? weight / plan.fluxDivisor : weight;
    return true;
  }

  // Version 3.5's arithmetic, kept to reproduce its files byte for byte.
  const double theta = std::acos(drawnCos);
  const double sinTheta = std::sin(theta);
  const double cosTheta = std::cos(theta);
  ray.dx = sinTheta * std::sin(phi);
  ray.dy = sinTheta * std::cos(phi);
  ray.dz = cosTheta;
  if (plan.doubleSide) {
    // Version 3.5 drew 0..100 and reversed when b >= r: (b + 1)/101 of the
    // rays. The same single draw as the default's.
    const std::int32_t b = plan.balance < 0 ? -plan.balance : plan.balance;
    if (b >= draws.below(101)) ray.dz = -cosTheta;
  }

  const double degrees = detail::polar_degrees(theta);
  plan.longitudinal->update(std::fabs(degrees), levels.longitudinal);
  plan.transversal->update(std::fabs(degrees), levels.transversal);
  if (plan.squareShape && plan.planeShape == PlaneShape::Rectangular) {
    const double a = std::cos(phi) * degrees;
    const double b = std::sin(phi) * degrees;
    plan.longitudinal->update(std::fabs(a), levels.longitudinal);
    plan.transversal->update(std::fabs(b), levels.transversal);
    ray.flux = std::sqrt(levels.longitudinal * levels.transversal);
    return true;
  }
  switch (plan.angularType) {
    case AngularType::Uniform:
      ray.flux = plan.uniformFlux;
      break;
    case AngularType::Lambertian:
      ray.flux = cosTheta / plan.fluxDivisor;
      break;
    case AngularType::UserDefined:
    case AngularType::Gaussian: {
      const double s = std::sin(phi + sampling::kHalfPi);
      ray.flux = (((levels.transversal - levels.longitudinal) * s) * s + levels.longitudinal) /
                 plan.fluxDivisor;
      break;
    }
  }
  return true;
}


}  // namespace lucidra
