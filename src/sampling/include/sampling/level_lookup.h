#pragma once
// The run's two distribution tables as level lookups, the cap angle and the
// radial weight.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "distributions/distribution_file.h"

namespace lucidra {

// Truncation toward zero to a signed 32-bit integer, saturating at the ends
// of the range (NaN gives 0), so no intensity can make the conversion overflow.
inline std::int32_t trunc_to_int32(double v) noexcept {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

inline double abs_trunc(double v) noexcept {
  const std::int64_t t = trunc_to_int32(v);
  return static_cast<double>(t < 0 ? -t : t);
}

enum class LevelKind { Longitudinal, Transversal };

// How a table turns an abscissa into a level.
//  Linear: the table interpolated linearly in double precision, Y[1] below
//    its first abscissa and 0 beyond its last; every ray gets its own value.
//  Legacy: version 3.5's rule, integer truncation and interpolation measured
//    from the lower end of a segment, a level that keeps its previous value
//    where no segment matches. Kept to reproduce that version's ray files.
enum class LookupRule { Linear, Legacy };

// Finds the segment of a table that an abscissa falls in, with the result of
// scanning every segment k (X[k] < v <= X[k+1]) in order and keeping the last
// match, but in O(log n): the sorted distinct abscissae cut the line into
// elementary intervals, and each interval knows its last matching segment.
// Tables need not be ascending.
//
// With the Linear rule the table must have strictly ascending abscissae (the
// run puts a descending table in ascending order and refuses any other).
class LevelLookup {
 public:
  LevelLookup() = default;
  LevelLookup(const AngularDistribution& table, LevelKind kind, LookupRule rule = LookupRule::Legacy);

  // Linear: sets `level` to the table's value at v. Legacy: updates `level`
  // when v falls in a segment and leaves it unchanged otherwise.
  void update(double v, double& level) const noexcept {
    if (rule_ == LookupRule::Linear) {
      level = value(v);
      return;
    }
    const int k = segment_of(v);
    if (k > 0) level = interpolate(k, v);
  }

  // The Linear rule's value at v.
  double value(double v) const noexcept {
    if (!(v > firstX_)) return v <= firstX_ ? firstY_ : v;  // NaN stays NaN
    if (v > lastX_) return 0;
    const int k = ascending_segment_of(v);
    const double x0 = x_[k], x1 = x_[k + 1], y0 = y_[k], y1 = y_[k + 1];
    return y0 + (y1 - y0) * ((v - x0) / (x1 - x0));
  }

  // The Linear rule's values of two tables with the same abscissae at the
  // same v, as value() gives them: measured tables usually share one grid of
  // angles, and then the segment and the fraction along it are found once.
  static void value_pair(const LevelLookup& a, const LevelLookup& b, double v, double& va, double& vb) noexcept {
    if (!(v > a.firstX_)) {
      va = v <= a.firstX_ ? a.firstY_ : v;
      vb = v <= b.firstX_ ? b.firstY_ : v;
      return;
    }
    if (v > a.lastX_) {
      va = vb = 0;
      return;
    }
    const int k = a.ascending_segment_of(v);
    const double x0 = a.x_[k], x1 = a.x_[k + 1];
    const double t = (v - x0) / (x1 - x0);
    const double ya = a.y_[k], yb = b.y_[k];
    va = ya + (a.y_[k + 1] - ya) * t;
    vb = yb + (b.y_[k + 1] - yb) * t;
  }

  // Whether value_pair may serve this table and `other`: both use the
  // Linear rule on the same abscissae.
  bool shares_abscissae_with(const LevelLookup& other) const noexcept {
    return rule_ == LookupRule::Linear && other.rule_ == LookupRule::Linear && x_.size() == other.x_.size() &&
           std::equal(x_.begin() + (x_.empty() ? 0 : 1), x_.end(), other.x_.begin() + (x_.empty() ? 0 : 1));
  }

  // The last segment k (1-based) with X[k] < v <= X[k+1], or 0 for none.
  int segment_of(double v) const noexcept {
    const std::size_t n = breakpoints_.size();
    if (n < 2 || !(v > breakpoints_.front()) || v > breakpoints_.back()) return 0;
    const double* bp = breakpoints_.data();
    // First breakpoint not below v: a bucket of the abscissa range narrows
    // the search to a few breakpoints; the two walks make the answer exact
    // whatever the rounding of the bucket arithmetic.
    std::size_t first = 0, last = n - 1;
    if (!bucketStart_.empty()) {
      const double f = (v - bp[0]) * bucketScale_;
      const std::size_t buckets = bucketStart_.size() - 1;
      const std::size_t b = f < static_cast<double>(buckets) ? static_cast<std::size_t>(f) : buckets - 1;
      first = bucketStart_[b];
      last = bucketStart_[b + 1];
    }
    std::size_t len = last - first + 1;
    const double* base = bp + first;
    while (len > 1) {
      const std::size_t half = len / 2;
      base = (base[half - 1] < v) ? base + half : base;
      len -= half;
    }
    auto upper = static_cast<std::size_t>(base - bp);
    while (upper > 0 && bp[upper - 1] >= v) --upper;
    while (bp[upper] < v) ++upper;
    return intervalSegment_[upper - 1];
  }

  // segment_of for a strictly ascending table (the Linear rule's) and
  // X[1] < v <= X[n]: the breakpoints are then X[1..n] in order, and the
  // segment is the index of the first breakpoint not below v. A bucket
  // holds at most one breakpoint of an evenly spaced table, so one
  // branch-free step nearly always lands on it; the walks make the answer
  // exact for any spacing and any rounding of the bucket arithmetic.
  int ascending_segment_of(double v) const noexcept {
    if (bucketStart_.empty()) return segment_of(v);
    const double* bp = breakpoints_.data();
    const double f = (v - bp[0]) * bucketScale_;
    const std::size_t buckets = bucketStart_.size() - 1;
    const std::size_t b = f < static_cast<double>(buckets) ? static_cast<std::size_t>(f) : buckets - 1;
    std::size_t upper = bucketStart_[b];
    upper += bp[upper] < v ? 1 : 0;
    while (bp[upper] < v) ++upper;
    while (upper > 1 && bp[upper - 1] >= v) --upper;
    return static_cast<int>(upper);
  }

  double interpolate(int k, double v) const noexcept {
    const double x0 = x_[k], x1 = x_[k + 1], y0 = y_[k], y1 = y_[k + 1];
    const double t = (v - x0) / (x1 - x0);
    if (kind_ == LevelKind::Longitudinal) {
      return y0 >= y1 ? abs_trunc(y1 + (y0 - y1) * t) : abs_trunc(y0 + (y1 - y0) * t);
    }
    return y0 >= y1 ? abs_trunc(y0 - y1) * t + y1 : abs_trunc(y1 - y0) * t + y0;
  }

 private:
  LevelKind kind_ = LevelKind::Longitudinal;
  LookupRule rule_ = LookupRule::Legacy;
  double firstX_ = 0, firstY_ = 0, lastX_ = 0;  // Linear rule's ends
  std::vector<double> x_, y_;                   // slots 1..n as in the file
  std::vector<double> breakpoints_;             // sorted distinct abscissae
  std::vector<int> intervalSegment_;            // per (bp[i], bp[i+1]]: last segment or 0
  std::vector<std::size_t> bucketStart_;        // first breakpoint of each bucket, and n - 1
  double bucketScale_ = 0;                      // buckets per unit of abscissa
};

// The straightforward scan, kept as the reference the lookup must agree with.
void scan_level(const AngularDistribution& table, LevelKind kind, double v, double& level) noexcept;

// The table with its abscissae ascending: a descending table is reversed,
// anything else is returned as it is.
AngularDistribution ascending_table(const AngularDistribution& table);

// Refuses, before anything is written, a table the Linear rule cannot
// interpolate: abscissae neither strictly ascending nor strictly descending,
// or a negative intensity. The message names the file and the values.
void check_linear_table(const AngularDistribution& table, const std::string& fileName);

}  // namespace lucidra
