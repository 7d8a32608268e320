#pragma once
// An LED's angular law: its intensity toward every direction of the sphere,
// up to a scale. Each law (Lambertian, Uniform, the two measured tables,
// Square, a photometric solid) is one class here or beside it; the run
// samples it (DirectionSampler), `check` compares a ray set with it and the
// chart draws it, all through this interface.
//
// Directions: theta is the polar angle from +z (0..pi, radians); phi the
// azimuth measured from +y toward +x, so a direction is
// (sin theta sin phi, sin theta cos phi, cos theta). The x-z plane (where
// the first table applies) is phi = 90 and 270 degrees.

#include <memory>
#include <string>
#include <vector>

namespace lucidra {

// Where a law emits: its forward cap and azimuth extent, and the share of
// the flux double-sided emission mirrors into the back hemisphere.
struct LawFrame {
  double capAngle = 0;   // theta max of the forward law, radians (0..pi)
  double extent = 0;     // azimuth extent from phi = 0, radians (0..2 pi)
  double backShare = 0;  // 0..1: the law is (1 - b) f(theta) + b f(pi - theta)
};

class AngularLaw {
 public:
  explicit AngularLaw(const LawFrame& frame) : frame_(frame) {}
  virtual ~AngularLaw() = default;
  AngularLaw(const AngularLaw&) = delete;
  AngularLaw& operator=(const AngularLaw&) = delete;

  // The whole law: the forward law within the cap and the extent, and its
  // mirror image for double-sided emission.
  double at(double theta, double phi) const;
  // at(theta, phi[i]) for each of the n azimuths, the same bits: one polar
  // angle's row of a sampler's grid, whose tables a law looks up once.
  void row_at(double theta, const double* phi, std::size_t n, double* out) const;

  double cap_angle() const { return frame_.capAngle; }
  double extent() const { return frame_.extent; }
  double mirrored_share() const { return frame_.backShare; }
  // The share of the flux going backwards (theta > 90 degrees): the
  // mirrored share for a cap within the front hemisphere, and whatever a
  // cap past 90 degrees sends there.
  double backward_share() const;

  // Polar angles (radians, 0..pi) where at() may kink or jump: table
  // abscissae, the cap, the equator and their mirrors. Grids and
  // quadratures put a node there.
  std::vector<double> polar_breaks() const;
  // Azimuths (radians, within the extent) where the law kinks.
  virtual std::vector<double> azimuth_breaks() const { return {}; }
  // The widest polar and azimuth steps over which linear interpolation of
  // the law (in cos theta and phi) is close to exact.
  virtual double polar_step() const = 0;
  virtual double azimuth_step() const = 0;
  virtual bool depends_on_azimuth() const = 0;
  virtual std::string description() const = 0;

 protected:
  // The forward law for theta within the cap and phi within the extent.
  virtual double forward(double theta, double phi) const = 0;
  // forward(theta, phi[i]) for each of the n azimuths (in [0, 2 pi)).
  virtual void forward_row(double theta, const double* phi, std::size_t n, double* out) const {
    for (std::size_t i = 0; i < n; ++i) out[i] = forward(theta, phi[i]);
  }
  // Polar angles (radians) where the forward law kinks, inside the cap.
  virtual std::vector<double> forward_polar_breaks() const { return {}; }
  const LawFrame& frame() const { return frame_; }

 private:
  double forward_or_zero(double theta, double phi) const;
  LawFrame frame_;
};

// An ascending table interpolated linearly: its first value below its first
// abscissa, 0 beyond its last (as the chart draws it).
class LinearTable {
 public:
  LinearTable() = default;
  LinearTable(std::vector<double> x, std::vector<double> y);
  double operator()(double v) const;
  const std::vector<double>& x() const { return x_; }
  const std::vector<double>& y() const { return y_; }
  bool empty() const { return x_.empty(); }
  double last_x() const { return x_.empty() ? 0 : x_.back(); }

 private:
  std::vector<double> x_, y_;
};

// cos theta, over the cap.
class LambertianLaw final : public AngularLaw {
 public:
  explicit LambertianLaw(const LawFrame& frame) : AngularLaw(frame) {}
  double polar_step() const override;
  double azimuth_step() const override;
  bool depends_on_azimuth() const override { return false; }
  std::string description() const override;

 protected:
  double forward(double theta, double phi) const override;
};

// The same intensity toward every direction of the cap.
class UniformLaw final : public AngularLaw {
 public:
  explicit UniformLaw(const LawFrame& frame) : AngularLaw(frame) {}
  double polar_step() const override;
  double azimuth_step() const override;
  bool depends_on_azimuth() const override { return false; }
  std::string description() const override;

 protected:
  double forward(double theta, double phi) const override;
};

// A law made from the two measured tables: the first (`-L`, in the x-z
// plane) and the second (`-T`, in the y-z plane). Tables are linear in
// theta; linear in cos theta over half a degree differs from that by a few
// 1e-5 of the peak (more only in the first half degree about the axis,
// which holds a negligible solid angle).
class TablePairLaw : public AngularLaw {
 public:
  TablePairLaw(const LawFrame& frame, LinearTable first, LinearTable second, std::string source);
  double polar_step() const override;
  bool depends_on_azimuth() const override { return true; }

 protected:
  LinearTable first_, second_;
  std::string source_;  // the files, for the description
};

// F (the first table) and E (the second) at the polar angle in degrees,
// blended between the planes as F + (E - F) cos^2 phi.
class TwoTableLaw final : public TablePairLaw {
 public:
  using TablePairLaw::TablePairLaw;
  double azimuth_step() const override;
  bool depends_on_azimuth() const override;
  std::string description() const override;

 protected:
  double forward(double theta, double phi) const override;
  void forward_row(double theta, const double* phi, std::size_t n, double* out) const override;
  std::vector<double> forward_polar_breaks() const override;
};

// Square: a separable law I = L(theta_x) T(theta_y) / I0, theta_x the angle
// of the direction's projection in the x-z plane (where the first table
// applies, as for the two-table law), theta_y in the y-z plane, I0 the
// on-axis value. Forward hemisphere only.
class SquareLaw final : public TablePairLaw {
 public:
  SquareLaw(const LawFrame& frame, LinearTable first, LinearTable second, std::string source);
  double azimuth_step() const override;
  std::string description() const override;
  // theta max of the law's support: where both projections stay within
  // their tables.
  static double support_cap(const LinearTable& first, const LinearTable& second);

 protected:
  double forward(double theta, double phi) const override;

 private:
  double onAxis_ = 1;
};

// Version 3.5's Square shape as its files show it: sqrt(L(|cos phi| theta)
// T(|sin phi| theta)) with theta in degrees. Only legacy sampling draws it;
// `check` keeps comparing such files with it.
class LegacySquareLaw final : public TablePairLaw {
 public:
  using TablePairLaw::TablePairLaw;
  double azimuth_step() const override;
  std::string description() const override;

 protected:
  double forward(double theta, double phi) const override;
};

// Arc mode's directions: every point of the arc radiates evenly in all
// directions between the elevation margins, so the far field is the same
// intensity from theta = A to 180 degrees - B (within the extent), whatever
// the profiles along and across the arc.
class ArcBandLaw final : public AngularLaw {
 public:
  ArcBandLaw(double marginADeg, double marginBDeg, double extentRadians);
  double polar_step() const override;
  double azimuth_step() const override;
  bool depends_on_azimuth() const override { return false; }
  std::string description() const override;

 protected:
  double forward(double theta, double phi) const override;
  std::vector<double> forward_polar_breaks() const override;

 private:
  double thetaFrom_ = 0;
};

// "cap 60 deg, extent 360 deg, double side, 30 % backwards": the frame's
// part of a law's description.
std::string frame_description(const LawFrame& frame);

}  // namespace lucidra
