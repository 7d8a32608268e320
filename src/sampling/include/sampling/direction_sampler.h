#pragma once
// Directions drawn in proportion to an angular law, so that every ray
// carries the same flux.
//
// The law is tabulated once per run on a grid of rows in cos theta and
// columns in phi (a node at every break of the law, rows at most its polar
// step apart and columns its azimuth step) and taken as bilinear in
// (cos theta, phi) within each cell; as dOmega = d(cos theta) dphi, that
// piecewise-bilinear function is the density itself. A point (q0, q1) of the
// unit square goes through its inverse cumulative distribution: q0 picks
// cos theta from the marginal (a row, then the linear density within it),
// q1 picks phi from the conditional at that cos theta (a column, then the
// linear density within it). The map is monotone in each coordinate, so a
// quasi-random point set keeps its even spread in the directions, and no
// point is rejected or wasted outside the law's support.
//
// Each row's values are taken just inside the row, so a law that jumps at
// a node (the cap's edge, the equator between the two sides) keeps its jump.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sampling/angular_law.h"

namespace lucidra {

class DirectionSampler {
 public:
  DirectionSampler() = default;
  // Throws UserError when the law carries no light over its support.
  explicit DirectionSampler(const AngularLaw& law);

  // The direction for a point of the unit square: cos theta and phi
  // (radians, from +y toward +x).
  void sample(double q0, double q1, double& cosTheta, double& phi) const noexcept;
  // The same for n <= kBatch points at once, with the very arithmetic of
  // sample() for each: each step is taken for every point before the next
  // step, so the square roots and divisions of different points overlap
  // instead of waiting on each other.
  static constexpr std::size_t kBatch = 64;
  void sample_batch(std::size_t n, const double* q0, const double* q1, double* cosTheta, double* phi) const noexcept;

  // The integral of the tabulated law over the sphere (in the law's units
  // times steradians).
  double total() const {
    if (collimated_) return 1;
    return rowCumulative_.empty() ? 0 : rowCumulative_.back();
  }
  std::size_t rows() const { return rowU_.empty() ? 0 : rowU_.size() - 1; }
  std::size_t columns() const { return columnPhi_.size() - 1; }

 private:
  std::size_t row_of(double target) const noexcept;
  std::size_t row_at(double place, double target) const noexcept;
  void rows_of(std::size_t first, std::size_t n, const double* q0, std::size_t* row, double* s,
               double* cosTheta) const noexcept;

  // A cap of zero width (NA 0): a collimated beam along the axis, the
  // mirrored share of it along -z.
  bool collimated_ = false;
  double collimatedBack_ = 0;
  double collimatedExtent_ = 0;
  std::vector<double> rowU_;           // cos theta at the row edges, ascending
  std::vector<double> columnPhi_;      // phi at the column edges, ascending
  std::vector<double> rowCumulative_;  // mass below each row edge
  // Per row r and column node j (stride columns + 1): the law at the row's
  // lower and upper cos theta edge, and its integral over phi from the
  // first node to node j at those edges. Side by side, so that the search
  // over a row's nodes reads few cache lines.
  struct Node {
    double lowerCumulative, upperCumulative;
    double lower, upper;
  };
  std::vector<Node> nodes_;
  // Per row: its integral over phi at the lower and upper edge.
  std::vector<double> rowLower_, rowUpper_;
  // Per row, columnGuideSize_ entries: of the last nodes whose cumulative
  // share at the lower and at the upper edge is at most k /
  // columnGuideSize_, the smaller. That is a node at or before the one
  // sought at any cos theta within the row, so the search is a short walk
  // over neighbouring nodes: with about two entries a column it rarely
  // takes a step.
  std::size_t columnGuideSize_ = 32;
  std::vector<std::uint16_t> columnGuide_;
  // Rows by where their mass starts: guide_[k] is the row holding the
  // fraction k / guide size of the total, a start for the search.
  std::vector<std::uint32_t> guide_;
};

}  // namespace lucidra
