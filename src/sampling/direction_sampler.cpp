// The row step's four-double vectors live only inside the AVX2 function
// below, where the kernels they pass through are always inlined, so no call
// with the AVX argument ABI exists and GCC's note about it (-Wpsabi) does
// not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#include "sampling/direction_sampler.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/user_error.h"
#include "sampling/linear_density.h"

#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
#include <immintrin.h>
#endif

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

#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
// The rows' tables, for the vector form of the row step.
struct RowTables {
  const double* u;           // cos theta at the row edges
  const double* cumulative;  // mass below each row edge
  const double* lower;       // each row's integral over phi at its edges
  const double* upper;
  const std::uint32_t* guide;
  std::size_t guideSize;
  std::size_t last;  // the last row
  double total;
};

// table[index[lane]] of four lanes.
[[gnu::target("avx2")]] inline __m256d lanes_at(const double* table, const std::size_t* index) noexcept {
  return _mm256_setr_pd(table[index[0]], table[index[1]], table[index[2]], table[index[3]]);
}

// The row step of sample_batch four points at a time with AVX2 (not FMA):
// each point's target and guide entry, the first step of row_at, then its
// share of the row and cos theta, with the scalar steps in each lane. The
// tables are read lane by lane (the processor's gathers are slower). A
// point whose row takes a further step is marked in `unsettled` (its
// results to be taken again). Returns how many points it did.
[[gnu::target("avx2")]] std::size_t rows_four(std::size_t n, const double* q0, const RowTables& t, std::size_t* row,
                                              double* s, double* cosTheta, std::uint64_t& unsettled) noexcept {
  using Double4 = double __attribute__((vector_size(32)));
  const __m256d total = _mm256_set1_pd(t.total);
  const __m256d guideSize = _mm256_set1_pd(static_cast<double>(t.guideSize));
  const __m256d lastEntry = _mm256_set1_pd(static_cast<double>(t.guideSize - 1));
  const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0);
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256d target = _mm256_mul_pd(_mm256_loadu_pd(q0 + i), total);
    // min(guide size - 1, (size_t)place), the minimum first (both are
    // monotonic) so that the conversion stays within 32 bits.
    const __m256d place =
        _mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(_mm256_div_pd(target, total), guideSize), zero), lastEntry);
    alignas(16) std::int32_t entry[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(entry), _mm256_cvttpd_epi32(place));
    alignas(32) double targets[4];
    _mm256_store_pd(targets, target);
    std::size_t r[4];
    for (int lane = 0; lane < 4; ++lane) {
      std::size_t k = t.guide[entry[lane]];
      const double goal = targets[lane];
      k += static_cast<std::size_t>(k < t.last && t.cumulative[k < t.last ? k + 1 : t.last] <= goal);
      unsettled |= static_cast<std::uint64_t>(k < t.last && t.cumulative[k < t.last ? k + 1 : t.last] <= goal)
                   << (i + static_cast<std::size_t>(lane));
      row[i + static_cast<std::size_t>(lane)] = k;
      r[lane] = k;
    }
    // The vectors straight from the tables (filling an array lane by lane
    // and loading it whole would stall on the stores).
    const __m256d v0 = lanes_at(t.u, r), height = _mm256_sub_pd(lanes_at(t.u + 1, r), v0);
    const Double4 mass = _mm256_div_pd(_mm256_sub_pd(target, lanes_at(t.cumulative, r)), height);
    const Double4 a = lanes_at(t.lower, r), b = lanes_at(t.upper, r);
    const Double4 root = _mm256_sqrt_pd(detail::linear_density_radicand(a, b, mass));
    const __m256d share = detail::linear_density_share(a, mass, root);
    _mm256_storeu_pd(s + i, share);
    _mm256_storeu_pd(cosTheta + i, _mm256_min_pd(_mm256_add_pd(v0, _mm256_mul_pd(share, height)), one));
  }
  return i;
}
#endif

}  // namespace

DirectionSampler::DirectionSampler(const AngularLaw& law) {
  // The polar range that can hold light: the forward cap, and its mirror
  // when part of the flux goes backwards.
  const double cap = std::clamp(law.cap_angle(), 0.0, kPi);
  const bool mirrored = law.mirrored_share() > 0;
  if (!(cap > 0)) {
    collimated_ = true;
    collimatedBack_ = law.mirrored_share();
    collimatedExtent_ = std::clamp(law.extent(), 0.0, 2 * kPi);
    return;
  }
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
  nodes_.assign(rowCount * nodes, Node{0, 0, 0, 0});
  columnGuideSize_ = std::clamp<std::size_t>(std::bit_ceil(2 * (nodes - 1)), 32, 1024);
  rowCumulative_.assign(rowCount + 1, 0);

  // The azimuth of node j, nudged inside the extent at its two ends.
  const double phiNudge = 1e-12 * std::max(extent, 1e-9);
  const auto node_phi = [&](std::size_t j) {
    if (j == 0) return columnPhi_[0] + phiNudge;
    if (j + 1 == nodes) return columnPhi_[j] - phiNudge;
    return columnPhi_[j];
  };
  std::vector<double> phis(nodes), lowerValues(nodes), upperValues(nodes);
  for (std::size_t j = 0; j < nodes; ++j) phis[j] = node_phi(j);
  for (std::size_t r = 0; r < rowCount; ++r) {
    const double thetaLower = std::acos(std::clamp(rowU_[r], -1.0, 1.0));  // larger theta
    const double thetaUpper = std::acos(std::clamp(rowU_[r + 1], -1.0, 1.0));
    const double nudge = 1e-12 * (thetaLower - thetaUpper);
    law.row_at(thetaLower - nudge, phis.data(), nodes, lowerValues.data());
    law.row_at(thetaUpper + nudge, phis.data(), nodes, upperValues.data());
    Node* row = &nodes_[r * nodes];
    for (std::size_t j = 0; j < nodes; ++j) {
      Node& n = row[j];
      n.lower = std::max(0.0, lowerValues[j]);
      n.upper = std::max(0.0, upperValues[j]);
      if (!std::isfinite(n.lower) || !std::isfinite(n.upper)) {
        throw UserError("The angular law is not a finite number at theta " + std::to_string(thetaUpper * 180 / kPi) +
                        " deg; check its tables");
      }
      if (j > 0) {
        const double width = columnPhi_[j] - columnPhi_[j - 1];
        n.lowerCumulative = row[j - 1].lowerCumulative + 0.5 * width * (row[j - 1].lower + n.lower);
        n.upperCumulative = row[j - 1].upperCumulative + 0.5 * width * (row[j - 1].upper + n.upper);
      }
    }
    const double mass =
        0.5 * (rowU_[r + 1] - rowU_[r]) * (row[nodes - 1].lowerCumulative + row[nodes - 1].upperCumulative);
    rowCumulative_[r + 1] = rowCumulative_[r] + mass;
    rowLower_.push_back(row[nodes - 1].lowerCumulative);
    rowUpper_.push_back(row[nodes - 1].upperCumulative);
    // Each edge's guide, then the smaller of the two, which is all a
    // search reads: one entry, one cache line.
    std::vector<std::uint16_t> edgeGuide[2];
    for (int edge = 0; edge < 2; ++edge) {
      const double whole = edge == 0 ? rowLower_.back() : rowUpper_.back();
      std::size_t j = 0;
      for (std::size_t k = 0; k < columnGuideSize_; ++k) {
        const double limit = whole * static_cast<double>(k) / static_cast<double>(columnGuideSize_);
        const auto cumulative = [&](std::size_t i) {
          return edge == 0 ? row[i].lowerCumulative : row[i].upperCumulative;
        };
        while (j + 2 < nodes && cumulative(j + 1) <= limit) ++j;
        edgeGuide[edge].push_back(static_cast<std::uint16_t>(j));
      }
    }
    for (std::size_t k = 0; k < columnGuideSize_; ++k) {
      columnGuide_.push_back(std::min(edgeGuide[0][k], edgeGuide[1][k]));
    }
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

// Inlined into the batch loops, so that the divisions of different points
// overlap (the compiler's own choice was a call a point).
[[gnu::always_inline]] inline std::size_t DirectionSampler::row_of(double target) const noexcept {
  return row_at(target / total() * static_cast<double>(guide_.size()), target);
}

// The row from the target's place in the guide (target / total * guide
// size, which the batches compute for all their points at once).
[[gnu::always_inline]] inline std::size_t DirectionSampler::row_at(double place, double target) const noexcept {
  const auto k = std::min(guide_.size() - 1, static_cast<std::size_t>(place));
  std::size_t r = guide_[k];
  const std::size_t last = rowU_.size() - 2;
  // The first step without a branch (as good as random for a point, so a
  // branch would be mispredicted often), then any further ones.
  r += static_cast<std::size_t>(r < last && rowCumulative_[r < last ? r + 1 : last] <= target);
  while (r < last && rowCumulative_[r + 1] <= target) ++r;
  return r;
}

void DirectionSampler::sample(double q0, double q1, double& cosTheta, double& phi) const noexcept {
  if (collimated_) {
    cosTheta = q0 < collimatedBack_ ? -1.0 : 1.0;
    phi = q1 * collimatedExtent_;
    return;
  }
  const std::size_t nodes = columnPhi_.size();
  const double target = q0 * total();
  const std::size_t r = row_of(target);
  const double du = rowU_[r + 1] - rowU_[r];
  const Node* row = &nodes_[r * nodes];
  const double a = rowLower_[r], b = rowUpper_[r];
  const double s = invert_linear_density(a, b, (target - rowCumulative_[r]) / du);
  cosTheta = std::min(1.0, rowU_[r] + s * du);

  if (nodes == 2) {
    // One column: the law is flat in phi within the extent.
    phi = columnPhi_[0] + q1 * (columnPhi_[1] - columnPhi_[0]);
    return;
  }
  const double t = 1 - s;
  const double columnTarget = q1 * (t * a + s * b);
  // The last node j with cumulative(j) <= target, cumulative being linear
  // in s: from the guides' start, a walk forward.
  const auto k = std::min(columnGuideSize_ - 1, static_cast<std::size_t>(q1 * static_cast<double>(columnGuideSize_)));
  std::size_t j = columnGuide_[columnGuideSize_ * r + k];
  while (j + 2 < nodes && t * row[j + 1].lowerCumulative + s * row[j + 1].upperCumulative <= columnTarget) ++j;
  const double v0 = t * row[j].lower + s * row[j].upper;
  const double v1 = t * row[j + 1].lower + s * row[j + 1].upper;
  const double width = columnPhi_[j + 1] - columnPhi_[j];
  const double before = t * row[j].lowerCumulative + s * row[j].upperCumulative;
  phi = columnPhi_[j] + width * invert_linear_density(v0, v1, (columnTarget - before) / width);
}

// The rows of points first .. n - 1 of a batch: each point's row, its share
// s of the row's mass and cos theta, every step for all of them before the
// next.
void DirectionSampler::rows_of(std::size_t first, std::size_t n, const double* q0, std::size_t* row, double* s,
                               double* cosTheta) const noexcept {
  double target[kBatch], place[kBatch], mass[kBatch], height[kBatch], lower[kBatch], upper[kBatch];
  for (std::size_t i = first; i < n; ++i) target[i] = q0[i] * total();
  for (std::size_t i = first; i < n; ++i) place[i] = target[i] / total() * static_cast<double>(guide_.size());
  for (std::size_t i = first; i < n; ++i) {
    const std::size_t r = row_at(place[i], target[i]);
    row[i] = r;
    mass[i] = target[i] - rowCumulative_[r];
    height[i] = rowU_[r + 1] - rowU_[r];
    lower[i] = rowLower_[r];
    upper[i] = rowUpper_[r];
  }
  for (std::size_t i = first; i < n; ++i) mass[i] /= height[i];
  invert_linear_density_n(n - first, lower + first, upper + first, mass + first, s + first);
  for (std::size_t i = first; i < n; ++i) {
    const std::size_t r = row[i];
    cosTheta[i] = std::min(1.0, rowU_[r] + s[i] * (rowU_[r + 1] - rowU_[r]));
  }
}

void DirectionSampler::sample_batch(std::size_t n, const double* q0, const double* q1, double* cosTheta,
                                    double* phi) const noexcept {
  const std::size_t nodes = columnPhi_.size();
  if (collimated_ || n > kBatch) {
    for (std::size_t i = 0; i < n; ++i) sample(q0[i], q1[i], cosTheta[i], phi[i]);
    return;
  }
  std::size_t row[kBatch], column[kBatch];
  double s[kBatch];
  std::size_t first = 0;
#if defined(LUCIDRA_LINEAR_DENSITY_WIDE)
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  if (avx2) {
    const RowTables tables{rowU_.data(),  rowCumulative_.data(), rowLower_.data(), rowUpper_.data(),
                           guide_.data(), guide_.size(),         rowU_.size() - 2, total()};
    std::uint64_t unsettled = 0;
    first = rows_four(n, q0, tables, row, s, cosTheta, unsettled);
    for (; unsettled != 0; unsettled &= unsettled - 1) {
      const auto i = static_cast<std::size_t>(std::countr_zero(unsettled));
      rows_of(i, i + 1, q0, row, s, cosTheta);
    }
  }
#endif
  rows_of(first, n, q0, row, s, cosTheta);
  if (nodes == 2) {
    // One column: phi even over the extent.
    for (std::size_t i = 0; i < n; ++i) phi[i] = columnPhi_[0] + q1[i] * (columnPhi_[1] - columnPhi_[0]);
    return;
  }
  // Where the walk to each point's column starts; the nodes there are
  // fetched while the targets are taken.
  double mass[kBatch], columnTarget[kBatch], lower[kBatch], upper[kBatch];
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t r = row[i];
    const auto k =
        std::min(columnGuideSize_ - 1, static_cast<std::size_t>(q1[i] * static_cast<double>(columnGuideSize_)));
    column[i] = columnGuide_[columnGuideSize_ * r + k];
#if defined(__GNUC__)
    __builtin_prefetch(&nodes_[r * nodes + column[i]]);
    __builtin_prefetch(&nodes_[r * nodes + column[i] + 1]);
#endif
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t r = row[i];
    columnTarget[i] = q1[i] * ((1 - s[i]) * rowLower_[r] + s[i] * rowUpper_[r]);
  }
  // The column of each point (as in sample()) and its mass within it.
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t r = row[i];
    const Node* nodesOfRow = &nodes_[r * nodes];
    const double t = 1 - s[i];
    std::size_t j = column[i];
    const auto beyond = [&](std::size_t at) {
      return t * nodesOfRow[at + 1].lowerCumulative + s[i] * nodesOfRow[at + 1].upperCumulative <= columnTarget[i];
    };
    // The first step without a branch, as for the rows.
    j += static_cast<std::size_t>(j + 2 < nodes && beyond(j + 2 < nodes ? j : nodes - 2));
    while (j + 2 < nodes && beyond(j)) ++j;
    column[i] = j;
    const double width = columnPhi_[j + 1] - columnPhi_[j];
    const double before = t * nodesOfRow[j].lowerCumulative + s[i] * nodesOfRow[j].upperCumulative;
    mass[i] = (columnTarget[i] - before) / width;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const Node* nodesOfRow = &nodes_[row[i] * nodes];
    const std::size_t j = column[i];
    const double t = 1 - s[i];
    lower[i] = t * nodesOfRow[j].lower + s[i] * nodesOfRow[j].upper;
    upper[i] = t * nodesOfRow[j + 1].lower + s[i] * nodesOfRow[j + 1].upper;
  }
  double within[kBatch];
  invert_linear_density_n(n, lower, upper, mass, within);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = column[i];
    const double width = columnPhi_[j + 1] - columnPhi_[j];
    phi[i] = columnPhi_[j] + width * within[i];
  }
}

}  // namespace lucidra
