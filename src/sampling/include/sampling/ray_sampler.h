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
//   void sobol_unit(double* q);                 next Sobol point, double coordinates
//   double unit();                              seeded uniform draw in (0, 1)
//
// Three samplings share the draws' interface:
//   equal flux (the default): the start point and the direction are one
//     point of the unit hypercube mapped through the law's inverse
//     cumulative distribution, every ray carrying the source flux / (N + 1);
//   weighted: the same point mapped evenly over the law's support, the law
//     in each ray's flux, normalised over the run to the source flux;
//   legacy: version 3.5's arithmetic, byte for byte.
// The first two take a fixed number of draws per ray, so a ray's draws
// follow from its index alone.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/ray_record.h"
#include "photometry/spectrum.h"
#include "sampling/angular_law.h"
#include "sampling/arc_source.h"
#include "sampling/direction_sampler.h"
#include "sampling/level_lookup.h"
#include "sampling/sampling_constants.h"
#include "sampling/sampling_types.h"
#include "sampling/sin_cos.h"

namespace lucidra {

enum class SamplingMode { EqualFlux, Weighted, Legacy };

// Everything a ray needs that stays fixed for the whole run.
struct SamplingPlan {
  SamplingMode mode = SamplingMode::EqualFlux;
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
  double arcRadius = 0;          // last abscissa of the transversal table
  double arcLength = 0;          // last abscissa of the longitudinal table
  std::int64_t radiusBound = 0;  // trunc(2e9 R)
  std::int64_t lengthBound = 0;  // trunc(1e9 L)
  bool radiusBoundWide = false;  // the bound does not fit 32 bits
  bool lengthBoundWide = false;
  std::int32_t azimuthBound = 0;   // trunc(1e9 * extent / 360)
  long double elevationSpan = 0;   // pi - (A + B) pi / 180
  long double elevationStart = 0;  // B pi / 180 - pi / 2

  double fluxDivisor = 0;  // K

  const LevelLookup* longitudinal = nullptr;
  const LevelLookup* transversal = nullptr;

  // Equal-flux and weighted sampling.
  const AngularLaw* law = nullptr;               // LED mode
  const DirectionSampler* directions = nullptr;  // LED mode, equal flux
  const ArcSource* arc = nullptr;                // arc mode
  // The source's spectrum: each ray's wavelength from one more coordinate
  // of its point (nullptr: no wavelength, the point as without it).
  const Spectrum* spectrum = nullptr;
  double rayFlux = 0;  // equal flux: source flux / (N + 1)
  // Weighted LED rays: cos theta even over these intervals (the forward
  // cap, and its mirror when part of the flux goes backwards).
  double weightedU[2][2] = {{0, 0}, {0, 0}};
  int weightedIntervals = 0;
  double extentRadians = 0;

  bool modern() const { return mode != SamplingMode::Legacy; }
  // Dimension of the Sobol points: legacy 2 in LED mode and 3 in arc mode;
  // otherwise 4 in LED mode (direction, then start point) and 5 in arc
  // mode (start point, then direction); one more, the last, for the
  // wavelength when there is a spectrum.
  int sobol_dimension() const {
    if (modern()) return (ledMode ? 4 : 5) + (spectrum != nullptr ? 1 : 0);
    return ledMode ? 2 : 3;
  }
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
  return (scaled - draws.below(static_cast<std::int32_t>(plan.radiusBound))) * sampling::kInvResolution;
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

// (x, y) of the unit disk for a point of the unit square, by Shirley and
// Chiu's concentric map ("A Low Distortion Map Between Disk and Square",
// 1997): area-preserving and continuous, so an even point set stays even.
// The map's radius and angle: (x, y) = r (cos angle, sin angle). Both
// branches' values by selection, not by a jump that a random point would
// mispredict half the time, so a loop of these vectorises.
inline void concentric_polar(double a, double b, double& r, double& angle) {
  a = 2 * a - 1;
  b = 2 * b - 1;
  const bool wide = std::fabs(a) > std::fabs(b);
  const double ratio = (wide ? b : a) / (wide ? a : b);
  const double slope = (sampling::kPi / 4) * ratio;
  const bool centre = a == 0 && b == 0;
  r = centre ? 0.0 : (wide ? a : b);
  angle = centre ? 0.0 : (wide ? slope : sampling::kHalfPi - slope);
}

// concentric_polar of n points, the same bits as n calls: two at a time in
// a 128-bit vector where the processor has SSE2 (every x86-64), each lane
// taking the scalar steps with its choices as selections. GCC compiles the
// scalar choice of the wider coordinate to a jump, which random points
// mispredict half the time.
inline void concentric_polar_n(std::size_t n, const double* a, const double* b, double* r, double* angle) {
  std::size_t i = 0;
#if defined(__GNUC__) && defined(__SSE2__)
  using Pair = double __attribute__((vector_size(16)));
  using Bits = std::int64_t __attribute__((vector_size(16)));
  constexpr std::int64_t kMagnitude = 0x7FFFFFFFFFFFFFFF;
  const Pair zero = {0.0, 0.0};
  for (; i + 2 <= n; i += 2) {
    Pair va, vb;
    std::memcpy(&va, a + i, sizeof va);
    std::memcpy(&vb, b + i, sizeof vb);
    va = 2 * va - 1;
    vb = 2 * vb - 1;
    const Pair absA = std::bit_cast<Pair>(std::bit_cast<Bits>(va) & kMagnitude);
    const Pair absB = std::bit_cast<Pair>(std::bit_cast<Bits>(vb) & kMagnitude);
    const Bits wide = absA > absB;
    const Pair ratio = (wide ? vb : va) / (wide ? va : vb);
    const Pair slope = (sampling::kPi / 4) * ratio;
    const Bits centre = (va == zero) & (vb == zero);
    const Pair vr = centre ? zero : (wide ? va : vb);
    const Pair vangle = centre ? zero : (wide ? slope : sampling::kHalfPi - slope);
    std::memcpy(r + i, &vr, sizeof vr);
    std::memcpy(angle + i, &vangle, sizeof vangle);
  }
#endif
  for (; i < n; ++i) concentric_polar(a[i], b[i], r[i], angle[i]);
}

inline void concentric_disk(double a, double b, double& x, double& y) {
  double r = 0, angle = 0;
  concentric_polar(a, b, r, angle);
  double s = 0, c = 1;
  sin_cos(angle, s, c);
  x = r * c;
  y = r * s;
}

// The point of the unit hypercube a ray of the equal-flux or weighted
// sampling is made from.
template <class Draws>
void unit_point(const SamplingPlan& plan, Draws& draws, double* q) {
  if (plan.algorithm == RandomAlgorithm::Sobol) {
    draws.sobol_unit(q);
    return;
  }
  const int n = plan.sobol_dimension();
  for (int d = 0; d < n; ++d) q[d] = draws.unit();
}

// The points of n rays (n <= kBatch), coordinate d of point i in
// q[d][i], so that each step of a batch reads its coordinate as one array:
// with seeded uniform draws all of them at once where the source can (see
// uniform01_n), Sobol points straight into the columns where it can.
template <class Draws>
void unit_points(const SamplingPlan& plan, Draws& draws, double (*q)[DirectionSampler::kBatch], std::size_t n) {
  const auto dimension = static_cast<std::size_t>(plan.sobol_dimension());
  if (plan.algorithm == RandomAlgorithm::Sobol) {
    if constexpr (requires { draws.sobol_columns(n, q); }) {
      draws.sobol_columns(n, q);
      return;
    }
    double point[6];
    for (std::size_t i = 0; i < n; ++i) {
      draws.sobol_unit(point);
      for (std::size_t d = 0; d < dimension; ++d) q[d][i] = point[d];
    }
    return;
  }
  if constexpr (requires(double* out) { draws.units(n, out); }) {
    double all[DirectionSampler::kBatch * 6];
    draws.units(n * dimension, all);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t d = 0; d < dimension; ++d) q[d][i] = all[i * dimension + d];
    }
    return;
  }
  double point[6];
  for (std::size_t i = 0; i < n; ++i) {
    unit_point(plan, draws, point);
    for (std::size_t d = 0; d < dimension; ++d) q[d][i] = point[d];
  }
}

// cos theta of a weighted ray: q spread evenly over the support's intervals.
inline double weighted_cos(const SamplingPlan& plan, double q) {
  const double first = plan.weightedU[0][1] - plan.weightedU[0][0];
  const double total = plan.weightedIntervals > 1 ? first + plan.weightedU[1][1] - plan.weightedU[1][0] : first;
  if (!(total > 0)) {
    // A collimated beam (a cap of zero width): half the rays along each
    // side the law uses, their weights give the shares.
    return plan.weightedIntervals > 1 && q >= 0.5 ? plan.weightedU[1][0] : plan.weightedU[0][1];
  }
  const double at = q * total;
  if (plan.weightedIntervals > 1 && at >= first)
    return std::min(plan.weightedU[1][1], plan.weightedU[1][0] + (at - first));
  return std::min(plan.weightedU[0][1], plan.weightedU[0][0] + at);
}

// One ray of the equal-flux or weighted sampling; returns the ray's weight
// (1 for equal flux), whose share of the run's sum is its share of the flux.
// The weights of the flux phase need no wavelength (its coordinate is
// still drawn, so that both phases take the same points).
template <class Draws>
double modern_ray(const SamplingPlan& plan, Draws& draws, RayRecord& ray, bool withWavelength = true) {
  double q[6] = {0, 0, 0, 0, 0, 0};
  unit_point(plan, draws, q);
  // The wavelength is drawn apart from the flux: equal-flux rays stay equal,
  // and the spectrum's shape is in how many rays fall at each wavelength.
  // First, so that its square root and division overlap the direction's work.
  if (plan.spectrum != nullptr && withWavelength)
    ray.wavelength = plan.spectrum->wavelength_at(q[plan.ledMode ? 4 : 5]);
  const bool weighted = plan.mode == SamplingMode::Weighted;
  double weight = 1;
  if (!plan.ledMode) {
    if (weighted) {
      plan.arc->even_point(q[0], q[1], q[2], ray.x, ray.y, ray.z);
      weight = plan.arc->radiance(ray.x, ray.y, ray.z);
    } else {
      plan.arc->proportional_point(q[0], q[1], q[2], ray.x, ray.y, ray.z);
    }
    plan.arc->direction(q[3], q[4], ray.dx, ray.dy, ray.dz);
  } else {
    if (plan.planeShape == PlaneShape::Elliptical) {
      double a = 0, b = 0;
      concentric_disk(q[2], q[3], a, b);
      ray.x = plan.semiAxisX * a;
      ray.y = plan.semiAxisY * b;
    } else {
      ray.x = plan.sizeX * (0.5 - q[2]);
      ray.y = plan.sizeY * (0.5 - q[3]);
    }
    ray.z = 0;
    double cosTheta = 1, phi = 0;
    if (weighted) {
      cosTheta = weighted_cos(plan, q[0]);
      phi = plan.extentRadians * q[1];
    } else {
      plan.directions->sample(q[0], q[1], cosTheta, phi);
    }
    double sinPhi = 0, cosPhi = 1;
    sin_cos(phi, sinPhi, cosPhi);
    const double sinSquared = (1 - cosTheta) * (1 + cosTheta);
    const double sinTheta = std::sqrt(sinSquared > 0 ? sinSquared : 0.0);
    ray.dx = sinTheta * sinPhi;
    ray.dy = sinTheta * cosPhi;
    ray.dz = cosTheta;
    if (weighted) weight = plan.law->at(std::acos(cosTheta), phi);
  }
  ray.flux = weighted ? weight / plan.fluxDivisor : plan.rayFlux;
  return weight;
}

// The next n rays of the equal-flux or weighted sampling, the same as n
// calls of modern_ray, their draws taken in the same order. Equal-flux LED
// rays go through the sampler a batch at a time (see
// DirectionSampler::sample_batch), so the dependent square roots and
// divisions of one ray overlap with those of the next.
template <class Draws>
void modern_arc_rays(const SamplingPlan& plan, Draws& draws, RayRecord* rays, std::size_t n) {
  constexpr std::size_t kBatch = ArcSource::kBatch;
  // Start point (z, radius, angle), direction (elevation, azimuth), then
  // the wavelength, as modern_ray takes them.
  double q[6][kBatch];
  double x[kBatch], y[kBatch], z[kBatch], dx[kBatch], dy[kBatch], dz[kBatch], nm[kBatch];
  unit_points(plan, draws, q, n);
  plan.arc->proportional_points(n, q[0], q[1], q[2], x, y, z);
  plan.arc->directions(n, q[3], q[4], dx, dy, dz);
  if (plan.spectrum != nullptr) plan.spectrum->wavelengths_at(q[5], nm, n);
  for (std::size_t i = 0; i < n; ++i) {
    RayRecord& ray = rays[i];
    if (plan.spectrum != nullptr) ray.wavelength = nm[i];
    ray.x = x[i];
    ray.y = y[i];
    ray.z = z[i];
    ray.dx = dx[i];
    ray.dy = dy[i];
    ray.dz = dz[i];
    ray.flux = plan.rayFlux;
  }
}

template <class Draws>
void modern_rays(const SamplingPlan& plan, Draws& draws, RayRecord* rays, std::size_t n) {
  constexpr std::size_t kBatch = DirectionSampler::kBatch;
  static_assert(ArcSource::kBatch == kBatch);
  if (!plan.ledMode && plan.mode != SamplingMode::Weighted && n <= kBatch) {
    modern_arc_rays(plan, draws, rays, n);
    return;
  }
  if (!plan.ledMode || plan.mode == SamplingMode::Weighted || n > kBatch) {
    for (std::size_t i = 0; i < n; ++i) modern_ray(plan, draws, rays[i]);
    return;
  }
  double q[6][kBatch];
  double cosTheta[kBatch], phi[kBatch];
  unit_points(plan, draws, q, n);
  // As modern_ray: the wavelength from the coordinate after the direction's
  // and the start point's, the batch's at once; into the records with the
  // rest of each ray.
  const bool spectral = plan.spectrum != nullptr;
  double nm[kBatch];
  if (spectral) plan.spectrum->wavelengths_at(q[4], nm, n);
  plan.directions->sample_batch(n, q[0], q[1], cosTheta, phi);
  // The sines and cosines of the batch two at a time (sin_cos_n), the
  // ellipse's angles with them.
  const bool ellipse = plan.planeShape == PlaneShape::Elliptical;
  double angle[2 * kBatch] = {}, sine[2 * kBatch], cosine[2 * kBatch], radius[kBatch];
  for (std::size_t i = 0; i < n; ++i) angle[i] = phi[i];
  if (ellipse) concentric_polar_n(n, q[2], q[3], radius, angle + n);
  sin_cos_n(ellipse ? 2 * n : n, angle, sine, cosine);
  // sin theta in a pass of its own, two square roots an instruction; the
  // records are filled after.
  double sinTheta[kBatch];
  sine_from_cosine_n(n, cosTheta, sinTheta);
  for (std::size_t i = 0; i < n; ++i) {
    RayRecord& ray = rays[i];
    if (ellipse) {
      ray.x = plan.semiAxisX * (radius[i] * cosine[n + i]);
      ray.y = plan.semiAxisY * (radius[i] * sine[n + i]);
    } else {
      ray.x = plan.sizeX * (0.5 - q[2][i]);
      ray.y = plan.sizeY * (0.5 - q[3][i]);
    }
    ray.z = 0;
    ray.dx = sinTheta[i] * sine[i];
    ray.dy = sinTheta[i] * cosine[i];
    ray.dz = cosTheta[i];
    ray.flux = plan.rayFlux;
    if (spectral) ray.wavelength = nm[i];
  }
}

}  // namespace detail

// One sample of the flux phase; returns its weight.
template <class Draws>
double flux_sample_weight(const SamplingPlan& plan, Draws& draws, Levels& levels) {
  if (plan.modern()) {
    RayRecord ray;
    return detail::modern_ray(plan, draws, ray, false);
  }
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
    const double theta = std::acos(cosTheta);
    const double degrees = detail::polar_degrees(theta);
    plan.longitudinal->update(std::fabs(degrees), levels.longitudinal);
    plan.transversal->update(std::fabs(degrees), levels.transversal);
    switch (plan.angularType) {
      case AngularType::Uniform: return plan.uniformFlux;
      case AngularType::Lambertian: return std::cos(theta);
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
  if (plan.modern()) return plan.mode == SamplingMode::Weighted;
  if (!plan.ledMode) return true;
  if (plan.squareShape && plan.planeShape == PlaneShape::Rectangular) return false;
  return plan.angularType != AngularType::Uniform;
}

// One attempt of the writing phase. Returns false when an elliptical emitter
// rejects the start point: nothing of the attempt is kept, but its draws are
// spent.
template <class Draws>
bool ray_attempt(const SamplingPlan& plan, Draws& draws, Levels& levels, RayRecord& ray) {
  if (plan.modern()) {
    detail::modern_ray(plan, draws, ray);
    return true;
  }
  if (!plan.ledMode) {
    // Version 3.5's arc: a start point in the square around the cylinder,
    // extended-precision elevation and C library sines.
    detail::arc_start_point(plan, draws, ray.x, ray.y, ray.z);
    const std::int32_t m = draws.below(plan.azimuthBound);
    const double psi = sampling::kTwoPi * m / sampling::kResolution;
    const std::int32_t n = draws.below(sampling::kResolutionInt);
    const auto elevation = static_cast<double>(n * plan.elevationSpan / sampling::kResolution + plan.elevationStart);
    ray.dz = std::sin(elevation);
    ray.dx = std::cos(elevation) * std::sin(psi);
    ray.dy = std::cos(elevation) * std::cos(psi);
    const double rho = std::sqrt(ray.x * ray.x + ray.y * ray.y);
    plan.longitudinal->update(ray.z, levels.longitudinal);
    plan.transversal->update(rho, levels.transversal);
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

  // Version 3.5's arithmetic, kept to reproduce its files byte for byte.
  const double theta = std::acos(drawnCos);
  const double sinTheta = std::sin(theta);
  const double cosTheta = std::cos(theta);
  ray.dx = sinTheta * std::sin(phi);
  ray.dy = sinTheta * std::cos(phi);
  ray.dz = cosTheta;
  if (plan.doubleSide) {
    // Version 3.5 drew 0..100 and reversed when b >= r: (b + 1)/101 of the
    // rays.
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
    case AngularType::Uniform: ray.flux = plan.uniformFlux; break;
    case AngularType::Lambertian: ray.flux = cosTheta / plan.fluxDivisor; break;
    case AngularType::UserDefined:
    case AngularType::Gaussian: {
      const double s = std::sin(phi + sampling::kHalfPi);
      ray.flux = (((levels.transversal - levels.longitudinal) * s) * s + levels.longitudinal) / plan.fluxDivisor;
      break;
    }
  }
  return true;
}

}  // namespace lucidra
