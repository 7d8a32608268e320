#pragma once
// A luminaire's whole photometric solid as the run's angular law: the
// intensity toward (theta, phi) is the solid's bilinear candela at
// gamma = theta and C = 90 degrees - phi (C is measured from +x toward +y,
// phi from +y toward +x).

#include <string>

#include "photometry/photometric_solid.h"
#include "sampling/angular_law.h"

namespace lucidra {

class PhotometricLaw final : public AngularLaw {
 public:
  // `extentRadians` limits the azimuths as for every law (2 pi: all).
  PhotometricLaw(PhotometricSolid solid, double extentRadians, std::string source);

  const PhotometricSolid& solid() const { return solid_; }
  std::vector<double> azimuth_breaks() const override;
  double polar_step() const override;
  double azimuth_step() const override;
  bool depends_on_azimuth() const override;
  std::string description() const override;

  // phi (radians, from +y toward +x) of the C-plane at `cDegrees`.
  static double azimuth_of_plane(double cDegrees);

 protected:
  double forward(double theta, double phi) const override;
  std::vector<double> forward_polar_breaks() const override;

 private:
  PhotometricSolid solid_;
  std::string source_;
};

}  // namespace lucidra
