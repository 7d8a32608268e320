#include "sampling/direction_sampler.h"

#include <algorithm>
#include <cmath>

#include "base/user_error.h"
#include "sampling/linear_density.h"

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Enough rows for 0.1 degree over the whole sphere, with the breaks.
constexpr std::size_t kMaxRows = 4000;
constexpr std::size_t kMaxColumns = 1000;

// [lo, hi] cut at the breaks inside it and into pieces at most `step` wide.
std::vector<double> edges_of(double lo, double hi, std::vector<double> breaks, double step, std::size_t most) {
  breaks.push_back(lo);
  breaks.push_back(hi);
  std::sort(breaks.begin(), breaks.end());
  std::vector<double> nodes;
  for (double b : breaks) {
    if (b < lo || b > hi) continue;
    if (nodes.empty() || b - nodes.back() > 1e-12) nodes.push_back(b);
  }
  // A coarser step when the breaks alone would pass the limit.
  const double span = hi - lo;
  if (span / step + static_cast<double>(nodes.size()) > static_cast<double>(most)) {
    step = span / static_cast<double>(most > nodes.size() ? most - nodes.size() : 1);
  }
  std::vector<double> edges;
  for (std::size_t i = 0; i + 1 < nodes.size(); ++i) {
    const double a = nodes[i], b = nodes[i + 1];
    const int pieces = std::max(1, static_cast<int>(std::ceil((b - a) / step - 1e-9)));
    for (int k = 0; k < pieces; ++k) edges.push_back(a + (b - a) * k / pieces);
  }
  edges.push_back(nodes.back());
  return edges;
}

}  // namespace

DirectionSampler::DirectionSampler(const AngularLaw& law) {
  // The polar range that can hold light: the forward cap, and its mirror
  // when part of the flux goes backwards.
  const double cap = std::clamp(law.cap_angle(), 0.0, kPi);
  const bool mirrored = law.mirrored_share() > 0;
  const double thetaHi = mirrored ? kPi : cap;
  const std::vector<double> thetaEdges = edges_of(0, thetaHi, law.polar_breaks(), law.polar_step(), kMaxRows);
  rowU_.reserve(thetaEdges.size());
  for (auto it = thetaEdges.rbegin(); it != thetaEdges.rend(); ++it) rowU_.push_back(std::cos(*it));
  rowU_.front() = std::cos(thetaHi);
  rowU_.back() = 1;

  const double extent = std::clamp(law.extent(), 0.0, 2 * kPi);
  columnPhi_ = law.depends_on_azimuth() ? edges_of(0, extent, law.azimuth_breaks(), law.azimuth_step(), kMaxColumns)
                                        : std::vector<double>{0, extent};

  const std::size_t nodes = columnPhi_.size();
  const std::size_t rowCount = rowU_.size() - 1;
  lower_.assign(rowCount * nodes, 0);
  upper_.assign(rowCount * nodes, 0);
  lowerCumulative_.assign(rowCount * nodes, 0);
  upperCumulative_.assign(rowCount * nodes, 0);
  rowCumulative_.assign(rowCount + 1, 0);

  // The azimuth of node j, nudged inside the extent at its two ends.
  const double phiNudge = 1e-12 * std::max(extent, 1e-9);
  const auto node_phi = [&](std::size_t j) {
    if (j == 0) return columnPhi_[0] + phiNudge;
    if (j + 1 == nodes) return columnPhi_[j] - phiNudge;
    return columnPhi_[j];
  };
  for (std::size_t r = 0; r < rowCount; ++r) {
    const double thetaLower = std::acos(std::clamp(rowU_[r], -1.0, 1.0));  // larger theta
    const double thetaUpper = std::acos(std::clamp(rowU_[r + 1], -1.0, 1.0));
    const double nudge = 1e-12 * (thetaLower - thetaUpper);
    double* lo = &lower_[r * nodes];
    double* hi = &upper_[r * nodes];
    double* loSum = &lowerCumulative_[r * nodes];
    double* hiSum = &upperCumulative_[r * nodes];
    for (std::size_t j = 0; j < nodes; ++j) {
      const double phi = node_phi(j);
      lo[j] = std::max(0.0, law.at(thetaLower - nudge, phi));
      hi[j] = std::max(0.0, law.at(thetaUpper + nudge, phi));
      if (!std::isfinite(lo[j]) || !std::isfinite(hi[j])) {
        throw UserError("The angular law is not a finite number at theta " + std::to_string(thetaUpper * 180 / kPi) +
                        " deg; check its tables");
      }
      if (j > 0) {
        const double width = columnPhi_[j] - columnPhi_[j - 1];
        loSum[j] = loSum[j - 1] + 0.5 * width * (lo[j - 1] + lo[j]);
        hiSum[j] = hiSum[j - 1] + 0.5 * width * (hi[j - 1] + hi[j]);
      }
    }
    const double mass = 0.5 * (rowU_[r + 1] - rowU_[r]) * (loSum[nodes - 1] + hiSum[nodes - 1]);
    rowCumulative_[r + 1] = rowCumulative_[r] + mass;
  }
  if (!(total() > 0) || !std::isfinite(total())) {
    throw UserError("The angular law (" + law.description() + ") sends no light in any direction");
  }

  guide_.resize(2 * rowCount + 1);
  std::size_t r = 0;
  for (std::size_t k = 0; k < guide_.size(); ++k) {
    const double target = total() * static_cast<double>(k) / static_cast<double>(guide_.size());
    while (r + 1 < rowCount && rowCumulative_[r + 1] <= target) ++r;
    guide_[k] = static_cast<std::uint32_t>(r);
  }
}

std::size_t DirectionSampler::row_of(double target) const noexcept {
  const auto k =
      std::min(guide_.size() - 1, static_cast<std::size_t>(target / total() * static_cast<double>(guide_.size())));
  std::size_t r = guide_[k];
  const std::size_t last = rowU_.size() - 2;
  while (r < last && rowCumulative_[r + 1] <= target) ++r;
  return r;
}

void DirectionSampler::sample(double q0, double q1, double& cosTheta, double& phi) const noexcept {
  const std::size_t nodes = columnPhi_.size();
  const double target = q0 * total();
  const std::size_t r = row_of(target);
  const double du = rowU_[r + 1] - rowU_[r];
  const double* loSum = &lowerCumulative_[r * nodes];
  const double* hiSum = &upperCumulative_[r * nodes];
  const double a = loSum[nodes - 1], b = hiSum[nodes - 1];
  const double s = invert_linear_density(a, b, (target - rowCumulative_[r]) / du);
  cosTheta = std::min(1.0, rowU_[r] + s * du);

  if (nodes == 2) {
    // One column: the law is flat in phi within the extent.
    phi = columnPhi_[0] + q1 * (columnPhi_[1] - columnPhi_[0]);
    return;
  }
  const double t = 1 - s;
  const double columnTarget = q1 * (t * a + s * b);
  // The last node j with cumulative(j) <= target, cumulative being linear in s.
  std::size_t lo = 0, hi = nodes - 1;
  while (hi - lo > 1) {
    const std::size_t mid = (lo + hi) / 2;
    if (t * loSum[mid] + s * hiSum[mid] <= columnTarget) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  const std::size_t j = lo;
  const double* lower = &lower_[r * nodes];
  const double* upper = &upper_[r * nodes];
  const double v0 = t * lower[j] + s * upper[j];
  const double v1 = t * lower[j + 1] + s * upper[j + 1];
  const double width = columnPhi_[j + 1] - columnPhi_[j];
  const double before = t * loSum[j] + s * hiSum[j];
  phi = columnPhi_[j] + width * invert_linear_density(v0, v1, (columnTarget - before) / width);
}

}  // namespace lucidra
