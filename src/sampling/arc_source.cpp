#include "sampling/arc_source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "base/user_error.h"
#include "sampling/sin_cos.h"

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;
// Radial nodes: E(rho) rho is quadratic where E is linear; 2000 pieces keep
// its linear interpolation within 1e-7 of the peak.
constexpr int kRadialPieces = 2000;

std::string mm(double v) {
  char text[48];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// The table's abscissae inside (lo, hi), with lo and hi, ascending.
std::vector<double> nodes_within(const LinearTable& table, double lo, double hi) {
  std::vector<double> nodes{lo, hi};
  for (double x : table.x()) {
    if (x > lo && x < hi) nodes.push_back(x);
  }
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  return nodes;
}

}  // namespace

ArcSource::ArcSource(LinearTable axial, LinearTable radial, double marginADeg, double marginBDeg, double extentDeg)
    : axial_(std::move(axial)), radial_(std::move(radial)) {
  length_ = axial_.last_x();
  radius_ = radial_.last_x();
  if (!(length_ > 0) || !(radius_ > 0)) {
    throw UserError("Arc mode needs a positive length and radius (the last abscissae of the two tables are " +
                    mm(length_) + " mm and " + mm(radius_) + " mm)");
  }
  std::vector<double> z = nodes_within(axial_, 0, length_);
  std::vector<double> f;
  for (std::size_t i = 0; i < z.size(); ++i) {
    // The value just inside each piece's end, so a table that stops with a
    // non-zero value keeps it up to its last abscissa.
    f.push_back(axial_(i + 1 == z.size() ? z[i] - 1e-12 * length_ : z[i]));
  }
  axialDensity_ = LinearDensity(z, f);

  std::vector<double> rho = nodes_within(radial_, 0, radius_);
  std::vector<double> fine;
  for (std::size_t i = 0; i + 1 < rho.size(); ++i) {
    const double a = rho[i], b = rho[i + 1];
    const int pieces = std::max(1, static_cast<int>(std::ceil((b - a) / radius_ * kRadialPieces)));
    for (int k = 0; k < pieces; ++k) fine.push_back(a + (b - a) * k / pieces);
  }
  fine.push_back(radius_);
  std::vector<double> weight;
  for (std::size_t i = 0; i < fine.size(); ++i) {
    const double r = i + 1 == fine.size() ? fine[i] - 1e-12 * radius_ : fine[i];
    weight.push_back(radial_(r) * r);
  }
  radialDensity_ = LinearDensity(fine, weight);
  if (!(axialDensity_.total() > 0) || !(radialDensity_.total() > 0)) {
    throw UserError("Arc mode: the two tables carry no light over the cylinder (F(z) E(rho) is 0 everywhere)");
  }

  // Elevation from -90 + B to 90 - A degrees.
  sinLow_ = std::sin((marginBDeg - 90) * kDeg);
  sinHigh_ = std::sin((90 - marginADeg) * kDeg);
  if (!(sinHigh_ > sinLow_)) {
    throw UserError("Arc mode: the elevation margins A and B leave no direction to emit in (A + B is " +
                    mm(marginADeg + marginBDeg) + " degrees)");
  }
  extent_ = std::clamp(extentDeg, 0.0, 360.0) * kDeg;
}

void ArcSource::proportional_point(double qz, double qr, double qa, double& x, double& y, double& z) const {
  z = axialDensity_.quantile(qz);
  const double rho = radialDensity_.quantile(qr);
  double s = 0, c = 1;
  sin_cos(2 * kPi * qa, s, c);
  x = rho * c;
  y = rho * s;
}

void ArcSource::proportional_points(std::size_t n, const double* qz, const double* qr, const double* qa, double* x,
                                    double* y, double* z) const noexcept {
  double rho[kBatch], angle[kBatch] = {}, s[kBatch], c[kBatch];
  axialDensity_.quantiles(n, qz, z);
  radialDensity_.quantiles(n, qr, rho);
  for (std::size_t i = 0; i < n; ++i) angle[i] = 2 * kPi * qa[i];
  sin_cos_n(n, angle, s, c);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = rho[i] * c[i];
    y[i] = rho[i] * s[i];
  }
}

void ArcSource::even_point(double qz, double qr, double qa, double& x, double& y, double& z) const {
  z = qz * length_;
  const double rho = radius_ * std::sqrt(qr);
  double s = 0, c = 1;
  sin_cos(2 * kPi * qa, s, c);
  x = rho * c;
  y = rho * s;
}

double ArcSource::radiance(double x, double y, double z) const {
  const double rho = std::sqrt(x * x + y * y);
  if (rho > radius_ || z < 0 || z > length_) return 0;
  return axial_(z) * radial_(rho);
}

void ArcSource::direction(double qe, double qp, double& dx, double& dy, double& dz) const {
  dz = sinLow_ + qe * (sinHigh_ - sinLow_);
  const double across = std::sqrt(std::max(0.0, (1 - dz) * (1 + dz)));
  double s = 0, c = 1;
  sin_cos(extent_ * qp, s, c);
  dx = across * s;
  dy = across * c;
}

void ArcSource::directions(std::size_t n, const double* qe, const double* qp, double* dx, double* dy,
                           double* dz) const noexcept {
  double angle[kBatch] = {}, across[kBatch], s[kBatch], c[kBatch];
  for (std::size_t i = 0; i < n; ++i) {
    dz[i] = sinLow_ + qe[i] * (sinHigh_ - sinLow_);
    angle[i] = extent_ * qp[i];
  }
  sine_from_cosine_n(n, dz, across);
  sin_cos_n(n, angle, s, c);
  for (std::size_t i = 0; i < n; ++i) {
    dx[i] = across[i] * s[i];
    dy[i] = across[i] * c[i];
  }
}

}  // namespace lucidra
