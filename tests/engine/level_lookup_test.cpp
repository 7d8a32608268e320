#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "sampling/level_lookup.h"

namespace lucidra {
namespace {

AngularDistribution table(std::vector<double> x, std::vector<double> y) {
  AngularDistribution d;
  d.count = static_cast<std::int32_t>(x.size());
  d.intensityCount = static_cast<std::int32_t>(y.size());
  for (std::size_t i = 0; i < x.size(); ++i) d.angle[i + 1] = x[i];
  for (std::size_t i = 0; i < y.size(); ++i) d.intensity[i + 1] = y[i];
  return d;
}

TEST(LevelLookup, GoldenValues) {
  struct Case {
    std::vector<double> y;
    LevelKind kind;
    double v, before, expected;
  };
  const Case cases[] = {
      {{100, 50}, LevelKind::Longitudinal, 2.5, -1, 62},  // falling segment, from its lower end
      {{50, 100}, LevelKind::Longitudinal, 2.5, -1, 62},
      {{100, 50}, LevelKind::Longitudinal, 0, 7, 7},          // at the first abscissa: unchanged
      {{100, 50}, LevelKind::Longitudinal, 10.5, 7, 7},       // beyond the last: unchanged
      {{100, 50}, LevelKind::Longitudinal, 10, 7, 100},       // the segment includes its upper end
      {{100, 50.5}, LevelKind::Transversal, 2.5, -1, 62.75},  // only the difference is truncated
      {{50.5, 100}, LevelKind::Transversal, 2.5, -1, 62.75},
  };
  for (const Case& c : cases) {
    const AngularDistribution d = table({0, 10}, c.y);
    const LevelLookup lookup(d, c.kind);
    double level = c.before;
    lookup.update(c.v, level);
    EXPECT_EQ(level, c.expected) << "v " << c.v;
    double scanned = c.before;
    scan_level(d, c.kind, c.v, scanned);
    EXPECT_EQ(scanned, c.expected) << "v " << c.v;
  }
}

TEST(LevelLookup, AgreesWithTheFullScanOnAnyTable) {
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> coord(-5, 95), value(-20, 120);
  std::uniform_int_distribution<int> size(0, 40), pick(0, 3);
  for (int t = 0; t < 400; ++t) {
    const int n = size(rng);
    std::vector<double> x, y;
    double at = coord(rng);
    for (int i = 0; i < n; ++i) {
      // Mix ascending runs, repeats and reversals, as hand-edited files have.
      switch (pick(rng)) {
        case 0: at += 1; break;
        case 1: break;
        case 2: at = coord(rng); break;
        default: at -= 2; break;
      }
      x.push_back(std::round(at * 4) / 4);
      y.push_back(value(rng));
    }
    const AngularDistribution d = table(x, y);
    for (const LevelKind kind : {LevelKind::Longitudinal, LevelKind::Transversal}) {
      const LevelLookup lookup(d, kind);
      double fast = -3, slow = -3;
      for (int i = 0; i < 400; ++i) {
        const double v = i % 5 == 0 && !x.empty() ? x[static_cast<std::size_t>(i) % x.size()] : coord(rng);
        lookup.update(v, fast);
        scan_level(d, kind, v, slow);
        ASSERT_EQ(fast, slow) << "table " << t << " v " << v;
      }
    }
  }
}

TEST(LevelLookup, AgreesWithTheFullScanOnExtremeAbscissae) {
  const std::vector<std::vector<double>> tables = {
      {-1e308, 0, 1e308},           // the range overflows: no buckets
      {0, 1e-300, 2e-300, 3e-300},  // a range near the smallest doubles
      {0, 0, 0, 1},                 // repeated abscissae
      {5, 4, 3, 2, 1},              // descending only: no segment matches
      {0, 90, 0.5, 89.5, 1, 89},    // segments nested in each other
  };
  for (const auto& x : tables) {
    std::vector<double> y(x.size());
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = 10.0 * static_cast<double>(i) + 3.5;
    const AngularDistribution d = table(x, y);
    std::vector<double> probes = {-1e308, -1, 0, 1e-300, 1.5e-300, 2e-300, 0.25, 1, 2.5, 45, 89.75, 90, 1e308};
    for (double v : x) {
      probes.push_back(v);
      probes.push_back(std::nextafter(v, -INFINITY));
      probes.push_back(std::nextafter(v, INFINITY));
    }
    for (const LevelKind kind : {LevelKind::Longitudinal, LevelKind::Transversal}) {
      const LevelLookup lookup(d, kind);
      for (double v : probes) {
        double fast = -3, slow = -3;
        lookup.update(v, fast);
        scan_level(d, kind, v, slow);
        ASSERT_EQ(fast, slow) << "first abscissa " << x[0] << " v " << v;
      }
    }
  }
}

TEST(LevelLookup, HugeIntensitiesSaturateInsteadOfOverflowing) {
  const AngularDistribution d = table({0, 10}, {1e300, -1e300});
  const LevelLookup lookup(d, LevelKind::Longitudinal);
  double level = 0;
  lookup.update(5, level);
  EXPECT_TRUE(std::isfinite(level));
  EXPECT_EQ(trunc_to_int32(std::nan("")), 0);
  EXPECT_EQ(trunc_to_int32(-3.9), -3);
  EXPECT_EQ(abs_trunc(-1e20), 2147483648.0);
}

}  // namespace
}  // namespace lucidra

namespace lucidra {
namespace {

TEST(LinearLookup, InterpolatesEveryRayOnItsOwn) {
  struct Case {
    std::vector<double> x, y;
    double v, expected;
  };
  const Case cases[] = {
      {{0, 45, 90}, {100, 70, 0}, 0, 100},    // falling segment starts at Y[1]
      {{0, 45, 90}, {100, 70, 0}, 22.5, 85},  // halfway down, not up from the lower end
      {{0, 45, 90}, {100, 70, 0}, 45, 70},    // both ends of a segment included
      {{0, 45, 90}, {100, 70, 0}, 67.5, 35},
      {{0, 45, 90}, {100, 70, 0}, 90, 0},
      {{0, 10}, {1, 0.5}, 2.5, 0.875},  // tables normalised to 1: no truncation
      {{0, 10}, {100, 50.5}, 2.5, 87.625},
      {{5, 40}, {0.8, 0.2}, 2, 0.8},         // below the first abscissa: Y[1]
      {{5, 40}, {0.8, 0.2}, 40.0000001, 0},  // beyond the last: nothing
      {{5, 40}, {0.8, 0.2}, 89, 0},
      {{30}, {7}, 30, 7},  // one point: Y[1] up to X[1], 0 beyond
      {{30}, {7}, 0, 7},
      {{30}, {7}, 30.5, 0},
      {{0, 20, 40, 60}, {40, 100, 100, 10}, 10, 70},  // batwing: rising, flat, falling
      {{0, 20, 40, 60}, {40, 100, 100, 10}, 50, 55},
  };
  for (const Case& c : cases) {
    const LevelLookup lookup(table(c.x, c.y), LevelKind::Longitudinal, LookupRule::Linear);
    double level = -1;
    lookup.update(c.v, level);
    EXPECT_DOUBLE_EQ(level, c.expected) << "v " << c.v;
    // The transversal table follows the same rule.
    const LevelLookup transversal(table(c.x, c.y), LevelKind::Transversal, LookupRule::Linear);
    EXPECT_DOUBLE_EQ(transversal.value(c.v), c.expected) << "v " << c.v;
  }
}

// The Linear rule by a full scan, the reference the fast search must match
// bit for bit.
double scanned_linear(const std::vector<double>& x, const std::vector<double>& y, double v) {
  if (!(v > x.front())) return v <= x.front() ? y.front() : v;
  if (v > x.back()) return 0;
  for (std::size_t k = 0; k + 1 < x.size(); ++k) {
    if (x[k] < v && v <= x[k + 1]) return y[k] + (y[k + 1] - y[k]) * ((v - x[k]) / (x[k + 1] - x[k]));
  }
  return -1;
}

TEST(LinearLookup, AgreesWithTheFullScanOnAnySpacing) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0, 1);
  std::uniform_int_distribution<int> size(2, 60), spacing(0, 3);
  for (int t = 0; t < 300; ++t) {
    const int n = size(rng);
    const double scale = std::pow(10.0, static_cast<double>(t % 9) - 4);  // 1e-4 .. 1e4
    std::vector<double> x, y;
    double at = (unit(rng) - 0.5) * scale;
    for (int i = 0; i < n; ++i) {
      // Even steps, clusters of close points, long gaps and steps of one ulp.
      switch (spacing(rng)) {
        case 0: at += scale / 10; break;
        case 1: at += scale * 1e-6 * (1 + unit(rng)); break;
        case 2: at += scale * (1 + 10 * unit(rng)); break;
        default: at = std::nextafter(at, INFINITY); break;
      }
      x.push_back(at);
      y.push_back(100 * unit(rng));
    }
    const LevelLookup lookup(table(x, y), LevelKind::Longitudinal, LookupRule::Linear);
    std::vector<double> probes = {x.front() - scale, x.back() + scale};
    for (double v : x) {
      probes.push_back(v);
      probes.push_back(std::nextafter(v, -INFINITY));
      probes.push_back(std::nextafter(v, INFINITY));
    }
    for (int i = 0; i < 200; ++i) probes.push_back(x.front() + (x.back() - x.front()) * unit(rng));
    // A second table on the same grid: the pair lookup must give each
    // table's own value, bit for bit.
    std::vector<double> y2;
    for (int i = 0; i < n; ++i) y2.push_back(100 * unit(rng));
    const LevelLookup other(table(x, y2), LevelKind::Transversal, LookupRule::Linear);
    ASSERT_TRUE(lookup.shares_abscissae_with(other));
    probes.push_back(NAN);
    for (double v : probes) {
      if (!std::isnan(v)) {
        ASSERT_EQ(lookup.value(v), scanned_linear(x, y, v)) << "table " << t << " v " << v;
      }
      double a = 0, b = 0;
      LevelLookup::value_pair(lookup, other, v, a, b);
      const double wantA = lookup.value(v), wantB = other.value(v);
      ASSERT_TRUE(a == wantA || (std::isnan(a) && std::isnan(wantA))) << "table " << t << " v " << v;
      ASSERT_TRUE(b == wantB || (std::isnan(b) && std::isnan(wantB))) << "table " << t << " v " << v;
    }
  }
}

TEST(LinearLookup, OnlyTablesOnOneGridShareTheirLookup) {
  const auto lookup = [](std::vector<double> x, LookupRule rule) {
    return LevelLookup(table(x, std::vector<double>(x.size(), 1.0)), LevelKind::Longitudinal, rule);
  };
  struct Case {
    std::vector<double> a, b;
    LookupRule rule;
    bool shared;
  };
  const Case cases[] = {
      {{0, 45, 90}, {0, 45, 90}, LookupRule::Linear, true},
      {{0, 45, 90}, {0, 45, 89.5}, LookupRule::Linear, false},    // last angle differs
      {{0, 45, 90}, {0, 30, 60, 90}, LookupRule::Linear, false},  // more points
      {{0, 45, 90}, {0, 45, 90}, LookupRule::Legacy, false},      // legacy levels stay per table
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lookup(c.a, c.rule).shares_abscissae_with(lookup(c.b, c.rule)), c.shared)
        << c.a.size() << " vs " << c.b.size() << " points, last " << c.b.back();
  }
}

TEST(LinearLookup, DescendingTablesReadAscendingAndBadTablesAreRefused) {
  const AngularDistribution descending = ascending_table(table({90, 45, 0}, {0, 70, 100}));
  EXPECT_EQ(descending.angle[1], 0);
  EXPECT_EQ(descending.intensity[1], 100);
  EXPECT_EQ(descending.angle[3], 90);
  const LevelLookup lookup(descending, LevelKind::Longitudinal, LookupRule::Linear);
  EXPECT_DOUBLE_EQ(lookup.value(22.5), 85);
  EXPECT_NO_THROW(check_linear_table(table({90, 45, 0}, {0, 70, 100}), "d.txt"));

  struct Refusal {
    std::vector<double> x, y;
    const char* message;
  };
  const Refusal refusals[] = {
      {{0, 10, 10},
       {1, 1, 1},
       "Distribution file d.txt has the abscissae 10 and 10 at positions 2 and 3; they must be strictly "
       "ascending or strictly descending"},
      {{0, 20, 10},
       {1, 1, 1},
       "Distribution file d.txt has the abscissae 20 and 10 at positions 2 and 3; they must be strictly "
       "ascending or strictly descending"},
      {{30, 20, 25},
       {1, 1, 1},
       "Distribution file d.txt has the abscissae 20 and 25 at positions 2 and 3; they must be strictly "
       "ascending or strictly descending"},
      {{0, 10},
       {1, -0.5},
       "Distribution file d.txt has the negative intensity -0.5 at 10; intensities must be 0 or more"},
  };
  for (const Refusal& r : refusals) {
    try {
      check_linear_table(table(r.x, r.y), "d.txt");
      ADD_FAILURE() << "accepted " << r.message;
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), r.message);
    }
  }
}

}  // namespace
}  // namespace lucidra
