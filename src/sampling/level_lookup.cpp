#include "sampling/level_lookup.h"

#include <algorithm>
#include <cstdio>

#include "base/user_error.h"

namespace lucidra {

LevelLookup::LevelLookup(const AngularDistribution& table, LevelKind kind, LookupRule rule) : kind_(kind), rule_(rule) {
  const int n = table.stored_count();
  x_.assign(table.angle.begin(), table.angle.begin() + n + 1);
  y_.assign(table.intensity.begin(), table.intensity.begin() + n + 1);
  if (n >= 1) {
    firstX_ = x_[1];
    firstY_ = y_[1];
    lastX_ = x_[static_cast<std::size_t>(n)];
  }
  if (n < 2) return;
  breakpoints_.assign(x_.begin() + 1, x_.end());
  std::sort(breakpoints_.begin(), breakpoints_.end());
  breakpoints_.erase(std::unique(breakpoints_.begin(), breakpoints_.end()), breakpoints_.end());
  intervalSegment_.assign(breakpoints_.size(), 0);
  // Segment k covers every elementary interval (a, b] with X[k] <= a and
  // b <= X[k+1]; later segments overwrite earlier ones, as the scan would.
  for (int k = 1; k < n; ++k) {
    const double lo = x_[k], hi = x_[k + 1];
    if (!(lo < hi)) continue;
    const auto first = std::lower_bound(breakpoints_.begin(), breakpoints_.end(), lo) - breakpoints_.begin();
    const auto last = std::lower_bound(breakpoints_.begin(), breakpoints_.end(), hi) - breakpoints_.begin();
    for (auto i = first; i < last; ++i) intervalSegment_[static_cast<std::size_t>(i)] = k;
  }
  // Two buckets per breakpoint over the abscissa range, when that range is a
  // finite, positive number.
  const std::size_t points = breakpoints_.size();
  const double range = breakpoints_.back() - breakpoints_.front();
  const std::size_t buckets = 2 * points;
  const double scale = static_cast<double>(buckets) / range;
  if (std::isfinite(range) && range > 0 && std::isfinite(scale) && scale > 0) {
    bucketScale_ = scale;
    bucketStart_.resize(buckets + 1);
    for (std::size_t b = 0; b < buckets; ++b) {
      const double edge = breakpoints_.front() + static_cast<double>(b) / scale;
      const auto it = std::lower_bound(breakpoints_.begin(), breakpoints_.end(), edge);
      bucketStart_[b] = std::min(static_cast<std::size_t>(it - breakpoints_.begin()), points - 1);
    }
    bucketStart_[buckets] = points - 1;
  }
}

void scan_level(const AngularDistribution& table, LevelKind kind, double v, double& level) noexcept {
  const int n = table.stored_count();
  const auto& x = table.angle;
  const auto& y = table.intensity;
  for (int k = 1; k < n; ++k) {
    if (!(x[k] < v && v <= x[k + 1])) continue;
    const double t = (v - x[k]) / (x[k + 1] - x[k]);
    if (kind == LevelKind::Longitudinal) {
      level = y[k] >= y[k + 1] ? abs_trunc(y[k + 1] + (y[k] - y[k + 1]) * t) : abs_trunc(y[k] + (y[k + 1] - y[k]) * t);
    } else {
      level = y[k] >= y[k + 1] ? abs_trunc(y[k] - y[k + 1]) * t + y[k + 1] : abs_trunc(y[k + 1] - y[k]) * t + y[k];
    }
  }
}

AngularDistribution ascending_table(const AngularDistribution& table) {
  const int n = table.stored_count();
  bool descending = n >= 2;
  for (int k = 1; k < n && descending; ++k) descending = table.angle[k] > table.angle[k + 1];
  if (!descending) return table;
  AngularDistribution reversed = table;
  std::reverse(reversed.angle.begin() + 1, reversed.angle.begin() + n + 1);
  std::reverse(reversed.intensity.begin() + 1, reversed.intensity.begin() + n + 1);
  return reversed;
}

namespace {

std::string shown(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

void check_linear_table(const AngularDistribution& table, const std::string& fileName) {
  const int n = table.stored_count();
  for (int k = 1; k <= n; ++k) {
    if (table.intensity[k] < 0) {
      throw UserError("Distribution file " + fileName + " has the negative intensity " + shown(table.intensity[k]) +
                      " at " + shown(table.angle[k]) + "; intensities must be 0 or more");
    }
  }
  if (n < 2) return;
  const bool ascending = table.angle[1] < table.angle[2];
  for (int k = 1; k < n; ++k) {
    const double a = table.angle[k], b = table.angle[k + 1];
    if (ascending ? a < b : a > b) continue;
    throw UserError("Distribution file " + fileName + " has the abscissae " + shown(a) + " and " + shown(b) +
                    " at positions " + std::to_string(k) + " and " + std::to_string(k + 1) +
                    "; they must be strictly ascending or strictly descending");
  }
}

}  // namespace lucidra
