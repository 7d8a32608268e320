#pragma once
// The points the distribution chart shows for one file.

#include <vector>

#include "distributions/distribution_file.h"

namespace lucidra {

struct PlotPoint {
  double x = 0;
  double y = 0;
};

// Points (angle[i], intensity[i]) for i = 1 .. n - 1 in file order; with
// `tailPoints`, then (angle[n], 0) and (angle[n] + 10, 0) (none for n = 0).
std::vector<PlotPoint> distribution_plot_points(const AngularDistribution& distribution, bool tailPoints);

// Inserts `point` right after the last point whose abscissa is not larger than
// its own, keeping `series` in ascending abscissa order (equal abscissae keep
// the order in which they were added).
void insert_plot_point(std::vector<PlotPoint>& series, PlotPoint point);

}  // namespace lucidra
