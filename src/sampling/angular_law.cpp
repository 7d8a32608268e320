#include "sampling/angular_law.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

std::string shown(const char* pattern, double v) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, v);
  return text;
}

double wrap_azimuth(double phi) {
  phi = std::fmod(phi, 2 * kPi);
  return phi < 0 ? phi + 2 * kPi : phi;
}

}  // namespace

double AngularLaw::forward_or_zero(double theta, double phi) const {
  if (theta < 0 || theta > frame_.capAngle * (1 + 1e-12)) return 0;
  phi = wrap_azimuth(phi);
  if (frame_.extent < 2 * kPi && phi > frame_.extent) return 0;
  return forward(theta, phi);
}

double AngularLaw::at(double theta, double phi) const {
  const double b = frame_.backShare;
  double value = 0;
  if (b < 1) value += (1 - b) * forward_or_zero(theta, phi);
  if (b > 0) value += b * forward_or_zero(kPi - theta, phi);
  return value;
}

void AngularLaw::row_at(double theta, const double* phi, std::size_t n, double* out) const {
  // As at() and forward_or_zero() for each azimuth, in the same order.
  std::vector<double> wrapped(n), part(n);
  for (std::size_t i = 0; i < n; ++i) wrapped[i] = wrap_azimuth(phi[i]);
  const auto add = [&](double polar, double share) {
    if (polar < 0 || polar > frame_.capAngle * (1 + 1e-12)) {
      std::fill(part.begin(), part.end(), 0.0);
    } else {
      forward_row(polar, wrapped.data(), n, part.data());
      for (std::size_t i = 0; i < n; ++i) {
        if (frame_.extent < 2 * kPi && wrapped[i] > frame_.extent) part[i] = 0;
      }
    }
    for (std::size_t i = 0; i < n; ++i) out[i] += share * part[i];
  };
  std::fill_n(out, n, 0.0);
  const double b = frame_.backShare;
  if (b < 1) add(theta, 1 - b);
  if (b > 0) add(kPi - theta, b);
}

double AngularLaw::backward_share() const {
  // The law integrated over each hemisphere with the midpoint rule on a
  // grid that has a node at every break: exact enough for a share that
  // `check` compares within a tolerance of 1 %.
  std::vector<double> edges = polar_breaks();
  edges.push_back(0);
  edges.push_back(kPi);
  std::sort(edges.begin(), edges.end());
  const int azimuths = depends_on_azimuth() ? 180 : 1;
  double front = 0, back = 0;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const double a = edges[i], b = edges[i + 1];
    if (b - a <= 0) continue;
    const int pieces = std::max(1, static_cast<int>(std::ceil((b - a) / (0.05 * kDeg))));
    for (int k = 0; k < pieces; ++k) {
      const double t0 = a + (b - a) * k / pieces, t1 = a + (b - a) * (k + 1) / pieces;
      const double theta = 0.5 * (t0 + t1);
      double sum = 0;
      for (int j = 0; j < azimuths; ++j) sum += at(theta, 2 * kPi * (j + 0.5) / azimuths);
      const double mass = sum * (std::cos(t0) - std::cos(t1));
      (theta > kPi / 2 ? back : front) += mass;
    }
  }
  // A cap of zero width has no intensity to integrate: its light is a beam
  // along the axis and, with double side, one along its mirror, split as
  // the mirrored share says.
  return front + back > 0 ? back / (front + back) : frame_.backShare;
}

std::vector<double> AngularLaw::polar_breaks() const {
  std::vector<double> out;
  const auto add = [&](double t) {
    if (t >= 0 && t <= kPi) out.push_back(t);
  };
  std::vector<double> forwardBreaks = forward_polar_breaks();
  forwardBreaks.push_back(frame_.capAngle);
  for (double t : forwardBreaks) {
    if (t > frame_.capAngle) continue;
    if (frame_.backShare < 1) add(t);
    if (frame_.backShare > 0) add(kPi - t);
  }
  add(kPi / 2);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

LinearTable::LinearTable(std::vector<double> x, std::vector<double> y) : x_(std::move(x)), y_(std::move(y)) {}

double LinearTable::operator()(double v) const {
  if (x_.empty()) return 0;
  if (v <= x_.front()) return y_.front();
  if (v > x_.back()) return 0;
  const auto k = static_cast<std::size_t>(std::upper_bound(x_.begin(), x_.end(), v) - x_.begin());
  if (k >= x_.size()) return y_.back();
  const double t = (v - x_[k - 1]) / (x_[k] - x_[k - 1]);
  return y_[k - 1] + (y_[k] - y_[k - 1]) * t;
}

std::string frame_description(const LawFrame& frame) {
  std::string text =
      "cap " + shown("%.4g", frame.capAngle / kDeg) + " deg, extent " + shown("%.4g", frame.extent / kDeg) + " deg";
  if (frame.backShare > 0) text += ", double side, " + shown("%g", 100 * frame.backShare) + " % backwards";
  return text;
}

// Lambertian and Uniform are linear in cos theta and flat in phi: their
// interpolation is exact on any grid.
double LambertianLaw::forward(double theta, double) const { return std::cos(theta); }
double LambertianLaw::polar_step() const { return kPi; }
double LambertianLaw::azimuth_step() const { return 2 * kPi; }
std::string LambertianLaw::description() const { return "Lambertian, " + frame_description(frame()); }

double UniformLaw::forward(double, double) const { return 1; }
double UniformLaw::polar_step() const { return kPi; }
double UniformLaw::azimuth_step() const { return 2 * kPi; }
std::string UniformLaw::description() const { return "Uniform, " + frame_description(frame()); }

TablePairLaw::TablePairLaw(const LawFrame& frame, LinearTable first, LinearTable second, std::string source)
    : AngularLaw(frame), first_(std::move(first)), second_(std::move(second)), source_(std::move(source)) {}

double TablePairLaw::polar_step() const { return 0.5 * kDeg; }

double TwoTableLaw::forward(double theta, double phi) const {
  const double degrees = theta / kDeg;
  const double f = first_(degrees), e = second_(degrees);
  const double c = std::cos(phi);
  return f + (e - f) * c * c;
}

void TwoTableLaw::forward_row(double theta, const double* phi, std::size_t n, double* out) const {
  const double degrees = theta / kDeg;
  const double f = first_(degrees), e = second_(degrees);
  for (std::size_t i = 0; i < n; ++i) {
    const double c = std::cos(phi[i]);
    out[i] = f + (e - f) * c * c;
  }
}

std::vector<double> TwoTableLaw::forward_polar_breaks() const {
  std::vector<double> out;
  for (const LinearTable* t : {&first_, &second_}) {
    for (double x : t->x()) out.push_back(x * kDeg);
  }
  return out;
}

// cos^2 phi between nodes 3 degrees apart: within 7e-4 of |E - F|.
double TwoTableLaw::azimuth_step() const { return 3 * kDeg; }
bool TwoTableLaw::depends_on_azimuth() const { return first_.x() != second_.x() || first_.y() != second_.y(); }
std::string TwoTableLaw::description() const { return "User Defined (" + source_ + "), " + frame_description(frame()); }

SquareLaw::SquareLaw(const LawFrame& frame, LinearTable first, LinearTable second, std::string source)
    : TablePairLaw(frame, std::move(first), std::move(second), std::move(source)) {
  const double l0 = first_(0), t0 = second_(0);
  onAxis_ = l0 > 0 && t0 > 0 ? std::sqrt(l0 * t0) : 1;
}

double SquareLaw::support_cap(const LinearTable& first, const LinearTable& second) {
  const double lx = first.last_x(), ty = second.last_x();
  if (lx >= 90 || ty >= 90) return kPi / 2;
  const double a = std::tan(lx * kDeg), b = std::tan(ty * kDeg);
  return std::atan(std::sqrt(a * a + b * b));
}

double SquareLaw::forward(double theta, double phi) const {
  if (theta >= kPi / 2) return 0;
  const double s = std::sin(theta), c = std::cos(theta);
  const double dx = s * std::sin(phi), dy = s * std::cos(phi);
  const double thetaX = std::atan2(std::fabs(dx), c) / kDeg;
  const double thetaY = std::atan2(std::fabs(dy), c) / kDeg;
  return first_(thetaX) * second_(thetaY) / onAxis_;
}

double SquareLaw::azimuth_step() const { return 2 * kDeg; }
std::string SquareLaw::description() const {
  return "Square, L(theta_x) T(theta_y) (" + source_ + "), " + frame_description(frame());
}

double LegacySquareLaw::forward(double theta, double phi) const {
  const double degrees = theta / kDeg;
  const double a = std::fabs(std::cos(phi) * degrees), b = std::fabs(std::sin(phi) * degrees);
  return std::sqrt(first_(a) * second_(b));
}

double LegacySquareLaw::azimuth_step() const { return 1 * kDeg; }
std::string LegacySquareLaw::description() const {
  return "Square shape of the two tables (" + source_ + "), " + frame_description(frame());
}

ArcBandLaw::ArcBandLaw(double marginADeg, double marginBDeg, double extentRadians)
    : AngularLaw(LawFrame{std::clamp(180 - marginBDeg, 0.0, 180.0) * kDeg, std::clamp(extentRadians, 0.0, 2 * kPi), 0}),
      thetaFrom_(std::clamp(marginADeg, 0.0, 180.0) * kDeg) {}

double ArcBandLaw::forward(double theta, double) const { return theta >= thetaFrom_ ? 1 : 0; }
std::vector<double> ArcBandLaw::forward_polar_breaks() const { return {thetaFrom_}; }
double ArcBandLaw::polar_step() const { return kPi; }
double ArcBandLaw::azimuth_step() const { return 2 * kPi; }
std::string ArcBandLaw::description() const {
  return "arc, even in every direction from theta " + shown("%.4g", thetaFrom_ / kDeg) + " deg, " +
         frame_description(frame());
}

}  // namespace lucidra
