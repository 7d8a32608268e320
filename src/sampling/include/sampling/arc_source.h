#pragma once
// Arc mode: a glowing cylinder along +z, radius R (the second table's last
// abscissa) and length L (the first table's), whose radiance at a point is
// F(z) E(rho), F the first table along the axis and E the second across it
// (both in mm). Every point radiates isotropically, within the elevation
// margins and the azimuth extent, so directions and start points are drawn
// apart:
//   - start points inside the cylinder, in proportion to F(z) E(rho) over
//     its volume (equal-flux rays), or evenly with F(z) E(rho) in the flux
//     (weighted rays);
//   - directions even over the solid angle: the sine of the elevation even
//     between the margins' sines, the azimuth even over the extent.

#include <cstddef>

#include "sampling/angular_law.h"
#include "sampling/linear_density.h"

namespace lucidra {

class ArcSource {
 public:
  ArcSource() = default;
  // Angles in degrees: margins A (from the +z pole) and B (from the -z
  // pole), the azimuth extent. Throws UserError when F E carries no light.
  ArcSource(LinearTable axial, LinearTable radial, double marginADeg, double marginBDeg, double extentDeg);

  double radius() const { return radius_; }
  double length() const { return length_; }

  // A start point in proportion to F(z) E(rho), from three coordinates of
  // the unit cube.
  void proportional_point(double qz, double qr, double qa, double& x, double& y, double& z) const;
  // proportional_point() for n <= kBatch points at once, the same bits
  // for each: the searches and inversions of different points overlap.
  static constexpr std::size_t kBatch = LinearDensity::kBatch;
  void proportional_points(std::size_t n, const double* qz, const double* qr, const double* qa, double* x, double* y,
                           double* z) const noexcept;
  // A start point evenly over the cylinder's volume.
  void even_point(double qz, double qr, double qa, double& x, double& y, double& z) const;
  // F(z) E(rho) at a point.
  double radiance(double x, double y, double z) const;
  // A direction even over the emitted solid angle.
  void direction(double qe, double qp, double& dx, double& dy, double& dz) const;
  // direction() for n <= kBatch points at once, the same bits for each.
  void directions(std::size_t n, const double* qe, const double* qp, double* dx, double* dy, double* dz) const noexcept;

 private:
  LinearTable axial_, radial_;
  double radius_ = 0, length_ = 0;
  LinearDensity axialDensity_, radialDensity_;  // F(z); E(rho) rho
  double sinLow_ = -1, sinHigh_ = 1, extent_ = 0;
};

}  // namespace lucidra
