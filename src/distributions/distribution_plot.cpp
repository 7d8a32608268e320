#include "distributions/distribution_plot.h"

#include <algorithm>

namespace lucidra {

std::vector<PlotPoint> distribution_plot_points(const AngularDistribution& distribution, bool tailPoints) {
  const std::size_t n = static_cast<std::size_t>(std::max(distribution.stored_count(), 0));
  std::vector<PlotPoint> points;
  points.reserve(n + 1);
  // The last pair is left out of the curve; the tail points, when asked for,
  // drop it to zero and run on ten units further.
  for (std::size_t i = 1; i < n; ++i) {
    points.push_back({distribution.angle[i], distribution.intensity[i]});
  }
  if (tailPoints && n > 0) {
    points.push_back({distribution.angle[n], 0.0});
    points.push_back({distribution.angle[n] + 10.0, 0.0});
  }
  return points;
}

void insert_plot_point(std::vector<PlotPoint>& series, PlotPoint point) {
  const auto position = std::upper_bound(series.begin(), series.end(), point.x,
                                         [](double x, const PlotPoint& existing) { return x < existing.x; });
  series.insert(position, point);
}

}  // namespace lucidra
