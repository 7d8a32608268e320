#include "distributions/distribution_plot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lucidra {
namespace {

AngularDistribution make_distribution(const std::vector<double>& angles, const std::vector<double>& intensities) {
  AngularDistribution d;
  d.count = static_cast<std::int32_t>(angles.size());
  d.intensityCount = static_cast<std::int32_t>(intensities.size());
  for (std::size_t i = 0; i < angles.size() && i < kDistributionCapacity; ++i) d.angle[i + 1] = angles[i];
  for (std::size_t i = 0; i < intensities.size() && i < kDistributionCapacity; ++i) {
    d.intensity[i + 1] = intensities[i];
  }
  return d;
}

std::vector<std::pair<double, double>> as_pairs(const std::vector<PlotPoint>& points) {
  std::vector<std::pair<double, double>> pairs;
  for (const PlotPoint& p : points) pairs.emplace_back(p.x, p.y);
  return pairs;
}

struct PlotCase {
  std::string name;
  std::vector<double> angles;
  std::vector<double> intensities;
  bool tailPoints;
  std::vector<std::pair<double, double>> expected;
};

TEST(DistributionPlotPoints, LeavesOutTheLastPairAndAddsTheTail) {
  const PlotCase cases[] = {
      {"five values", {0, 10, 20, 30, 40}, {100, 90, 60, 30, 5}, false, {{0, 100}, {10, 90}, {20, 60}, {30, 30}}},
      {"five values with tail",
       {0, 10, 20, 30, 40},
       {100, 90, 60, 30, 5},
       true,
       {{0, 100}, {10, 90}, {20, 60}, {30, 30}, {40, 0}, {50, 0}}},
      {"single value", {7.5}, {100}, false, {}},
      {"single value with tail", {7.5}, {100}, true, {{7.5, 0}, {17.5, 0}}},
      {"no value", {}, {}, false, {}},
      {"no value with tail", {}, {}, true, {}},
      {"descending, file order kept", {40, 30, 20}, {1, 2, 3}, true, {{40, 1}, {30, 2}, {20, 0}, {30, 0}}},
      {"short intensity line", {0, 1, 2}, {9}, false, {{0, 9}, {1, 0}}},
  };
  for (const PlotCase& c : cases) {
    const AngularDistribution d = make_distribution(c.angles, c.intensities);
    EXPECT_EQ(as_pairs(distribution_plot_points(d, c.tailPoints)), c.expected) << c.name;
  }
}

TEST(DistributionPlotPoints, LongLineUsesTheStoredValuesOnly) {
  AngularDistribution d;
  d.count = 600;
  for (int i = 1; i <= kDistributionCapacity; ++i) {
    d.angle[static_cast<std::size_t>(i)] = i;
    d.intensity[static_cast<std::size_t>(i)] = 1;
  }
  const std::vector<PlotPoint> points = distribution_plot_points(d, true);
  ASSERT_EQ(points.size(), static_cast<std::size_t>(kDistributionCapacity - 1 + 2));
  EXPECT_EQ(points[kDistributionCapacity - 2].x, 498.0);
  EXPECT_EQ(points[kDistributionCapacity - 1].x, 499.0);
  EXPECT_EQ(points[kDistributionCapacity - 1].y, 0.0);
  EXPECT_EQ(points[kDistributionCapacity].x, 509.0);
}

struct InsertCase {
  std::string name;
  std::vector<std::pair<double, double>> added;
  std::vector<std::pair<double, double>> expected;
};

TEST(InsertPlotPoint, KeepsAscendingAbscissaAndArrivalOrderForTies) {
  const InsertCase cases[] = {
      {"ascending", {{0, 1}, {1, 2}, {2, 3}}, {{0, 1}, {1, 2}, {2, 3}}},
      {"descending", {{30, 1}, {20, 2}, {10, 3}, {0, 4}}, {{0, 4}, {10, 3}, {20, 2}, {30, 1}}},
      {"descending with tail", {{40, 1}, {30, 2}, {20, 0}, {30, 0}}, {{20, 0}, {30, 2}, {30, 0}, {40, 1}}},
      {"equal abscissae", {{5, 1}, {5, 2}, {0, 9}, {5, 3}}, {{0, 9}, {5, 1}, {5, 2}, {5, 3}}},
      {"negative and mixed", {{0, 1}, {-10, 2}, {10, 3}, {-5, 4}}, {{-10, 2}, {-5, 4}, {0, 1}, {10, 3}}},
  };
  for (const InsertCase& c : cases) {
    std::vector<PlotPoint> series;
    for (const auto& [x, y] : c.added) insert_plot_point(series, {x, y});
    EXPECT_EQ(as_pairs(series), c.expected) << c.name;
  }
}

TEST(InsertPlotPoint, SeriesFromAFileIsSortedForEveryPoint) {
  const AngularDistribution d = make_distribution({50, 5, 45, 5, 0, 90, 20, 20, 60}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  std::vector<PlotPoint> series;
  for (const PlotPoint& p : distribution_plot_points(d, true)) insert_plot_point(series, p);
  ASSERT_EQ(series.size(), 10u);
  for (std::size_t i = 1; i < series.size(); ++i) {
    EXPECT_LE(series[i - 1].x, series[i].x) << "point " << i;
  }
}

}  // namespace
}  // namespace lucidra
