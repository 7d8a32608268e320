// The angular laws against hand-computed values, the direction sampler
// against the closed-form inverses it must reproduce, and the arc source.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/user_error.h"
#include "sampling/angular_law.h"
#include "sampling/arc_source.h"
#include "sampling/direction_sampler.h"
#include "sampling/linear_density.h"
#include "sampling/ray_sampler.h"

namespace lucidra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

LawFrame frame(double capDeg, double extentDeg = 360, double back = 0) {
  return LawFrame{capDeg * kDeg, extentDeg * kDeg, back};
}

// A row of a sampler's grid gives the bits of the single values, for the
// laws with a row of their own and those without, across the cap, the
// extent, the mirror of a double-sided emitter and azimuths to be wrapped.
TEST(AngularLaw, RowsGiveTheBitsOfSingleValues) {
  const LinearTable f({0, 20, 60, 80}, {100, 60, 40, 5}), e({0, 30, 60}, {10, 12, 0});
  const TwoTableLaw twoTables(frame(70), f, e, "test");
  const TwoTableLaw twoTablesBothSides(frame(80, 200, 0.3), f, e, "test");
  const SquareLaw square(frame(SquareLaw::support_cap(f, e) / kDeg), f, e, "test");
  const LambertianLaw lambertian(frame(90, 360, 0.25));
  const UniformLaw uniform(frame(60, 90));
  const AngularLaw* laws[] = {&twoTables, &twoTablesBothSides, &square, &lambertian, &uniform};
  std::vector<double> phi;
  for (double deg = -30; deg <= 400; deg += 7.3) phi.push_back(deg * kDeg);
  std::vector<double> row(phi.size());
  for (const AngularLaw* law : laws) {
    for (double thetaDeg = 0; thetaDeg <= 180; thetaDeg += 4.9) {
      law->row_at(thetaDeg * kDeg, phi.data(), phi.size(), row.data());
      for (std::size_t i = 0; i < phi.size(); ++i) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(row[i]), std::bit_cast<std::uint64_t>(law->at(thetaDeg * kDeg, phi[i])))
            << law->description() << ", theta " << thetaDeg << ", phi " << phi[i] / kDeg;
      }
    }
  }
}

TEST(AngularLaw, ValuesAgainstHandComputedOnes) {
  // F falls from 100 at 0 to 40 at 60 degrees; E is 10 up to 30 and 0 at 60.
  const LinearTable f({0, 60}, {100, 40}), e({0, 30, 60}, {10, 10, 0});
  const TwoTableLaw twoTables(frame(60), f, e, "test");
  const SquareLaw square(frame(SquareLaw::support_cap(f, e) / kDeg), f, e, "test");
  const LambertianLaw lambertian(frame(90, 360, 0.25));
  const UniformLaw uniform(frame(60, 90));
  // The direction at theta 30 deg, phi 60 deg: tan(theta_x) = tan 30 sin 60,
  // tan(theta_y) = tan 30 cos 60.
  const double thetaX = std::atan(std::tan(30 * kDeg) * std::sin(60 * kDeg)) / kDeg;
  const double thetaY = std::atan(std::tan(30 * kDeg) * std::cos(60 * kDeg)) / kDeg;
  struct Case {
    const char* what;
    const AngularLaw* law;
    double thetaDeg, phiDeg, expected;
  };
  const Case cases[] = {
      {"F in the x-z plane", &twoTables, 30, 90, 70},
      {"E in the y-z plane", &twoTables, 30, 0, 10},
      {"blend at 60 deg: F + (E - F) cos^2", &twoTables, 30, 60, 70 + (10 - 70) * 0.25},
      {"beyond the cap", &twoTables, 61, 90, 0},
      {"square: L(theta_x) T(theta_y) / I0", &square, 30, 60,
       (100 - thetaX) * (thetaY <= 30 ? 10 : 10 - (thetaY - 30) / 3) / std::sqrt(100.0 * 10.0)},
      {"square on the axis", &square, 0, 0, std::sqrt(100.0 * 10.0)},
      {"lambertian forward, 3/4 of it", &lambertian, 60, 10, 0.75 * 0.5},
      {"lambertian mirrored, 1/4 of it", &lambertian, 120, 10, 0.25 * 0.5},
      {"uniform within the extent", &uniform, 20, 80, 1},
      {"uniform beyond the extent", &uniform, 20, 100, 0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(c.law->at(c.thetaDeg * kDeg, c.phiDeg * kDeg), c.expected, 1e-9) << c.what;
  }
  EXPECT_NEAR(lambertian.backward_share(), 0.25, 1e-6);
  // A cap past 90 degrees sends part of a one-sided law backwards: uniform
  // over a 120-degree cap, (cos 90 - cos 120) / (1 - cos 120) = 1/3.
  EXPECT_NEAR(UniformLaw(frame(120)).backward_share(), 1.0 / 3, 1e-6);
}

TEST(DirectionSampler, ReproducesTheClosedFormInverses) {
  struct Case {
    const char* what;
    std::shared_ptr<AngularLaw> law;
    std::function<double(double)> cosTheta;  // of q0
  };
  const double cosCap = std::cos(40 * kDeg);
  const Case cases[] = {
      // Density u on [0, 1]: u = sqrt(q).
      {"lambertian hemisphere", std::make_shared<LambertianLaw>(frame(90)), [](double q) { return std::sqrt(q); }},
      // Even in u over [cos 40, 1].
      {"uniform 40-degree cap", std::make_shared<UniformLaw>(frame(40)),
       [&](double q) { return cosCap + q * (1 - cosCap); }},
      // A quarter mirrored backwards: the back first, density |u| b there.
      {"lambertian, double side 25 %", std::make_shared<LambertianLaw>(frame(90, 360, 0.25)),
       [](double q) { return q < 0.25 ? -std::sqrt(1 - q / 0.25) : std::sqrt((q - 0.25) / 0.75); }},
  };
  for (const Case& c : cases) {
    const DirectionSampler sampler(*c.law);
    for (double q0 : {0.001, 0.1, 0.2, 0.3, 0.5, 0.77, 0.999}) {
      for (double q1 : {0.0, 0.25, 0.9}) {
        double u = 0, phi = 0;
        sampler.sample(q0, q1, u, phi);
        EXPECT_NEAR(u, c.cosTheta(q0), 1e-9) << c.what << " q0 " << q0;
        EXPECT_NEAR(phi, 2 * kPi * q1, 1e-9) << c.what << " q1 " << q1;
      }
    }
  }
}

TEST(DirectionSampler, SharesOfAnAsymmetricLawMatchItsIntegrals) {
  // A stratified grid of points of the unit square must fall into each
  // (theta, phi) cell with the cell's share of the law's integral.
  const LinearTable f({0, 20, 50}, {100, 80, 0}), e({0, 10, 30}, {100, 30, 0});
  const TwoTableLaw law(frame(50), f, e, "test");
  const DirectionSampler sampler(law);
  constexpr int kGrid = 600, kTheta = 10, kPhi = 8;
  std::vector<double> counted(kTheta * kPhi, 0), expected(kTheta * kPhi, 0);
  for (int i = 0; i < kGrid; ++i) {
    for (int j = 0; j < kGrid; ++j) {
      double u = 0, phi = 0;
      sampler.sample((i + 0.5) / kGrid, (j + 0.5) / kGrid, u, phi);
      const int t = std::min(kTheta - 1, static_cast<int>(std::acos(u) / (50 * kDeg) * kTheta));
      const int p = std::min(kPhi - 1, static_cast<int>(phi / (2 * kPi) * kPhi));
      counted[static_cast<std::size_t>(t * kPhi + p)] += 1.0 / (kGrid * kGrid);
    }
  }
  double total = 0;
  for (int t = 0; t < kTheta; ++t) {
    for (int p = 0; p < kPhi; ++p) {
      double sum = 0;
      for (int a = 0; a < 40; ++a) {
        for (int b = 0; b < 40; ++b) {
          const double theta = (t + (a + 0.5) / 40) * 5 * kDeg, phi = (p + (b + 0.5) / 40) * kPi / 4;
          sum += law.at(theta, phi) * std::sin(theta);
        }
      }
      expected[static_cast<std::size_t>(t * kPhi + p)] = sum;
      total += sum;
    }
  }
  for (std::size_t k = 0; k < counted.size(); ++k) {
    EXPECT_NEAR(counted[k], expected[k] / total, 2e-3) << "theta cell " << k / kPhi << ", phi cell " << k % kPhi;
  }
}

// A batch of points gives, bit for bit, the directions of one point at a
// time, for every kind of law: the ray files do not depend on how the rays
// were grouped.
TEST(DirectionSampler, BatchesGiveTheSameBitsAsSinglePoints) {
  const LinearTable f({0, 20, 50}, {100, 80, 0}), e({0, 10, 30}, {100, 30, 0});
  const TwoTableLaw twoTables(frame(50, 360, 0.3), f, e, "test");
  const SquareLaw square(frame(SquareLaw::support_cap(f, e) / kDeg), f, e, "test");
  const LambertianLaw lambertian(frame(70, 180));
  const UniformLaw collimated(frame(0, 360, 0.5));
  for (const AngularLaw* law : std::vector<const AngularLaw*>{&twoTables, &square, &lambertian, &collimated}) {
    SCOPED_TRACE(law->description());
    const DirectionSampler sampler(*law);
    double q0[DirectionSampler::kBatch], q1[DirectionSampler::kBatch];
    double u[DirectionSampler::kBatch], phi[DirectionSampler::kBatch];
    std::uint32_t state = 12345;
    const auto next = [&] {
      state = state * 1664525u + 1013904223u;
      return static_cast<double>(state >> 2) / 1073741824.0;
    };
    for (int round = 0; round < 500; ++round) {
      const std::size_t n = 1 + static_cast<std::size_t>(round) % DirectionSampler::kBatch;
      for (std::size_t i = 0; i < n; ++i) {
        q0[i] = round == 0 && i == 0 ? 0.0 : next();
        q1[i] = round == 0 && i == 0 ? 1.0 - 1e-12 : next();
      }
      sampler.sample_batch(n, q0, q1, u, phi);
      for (std::size_t i = 0; i < n; ++i) {
        double u1 = 0, phi1 = 0;
        sampler.sample(q0[i], q1[i], u1, phi1);
        ASSERT_EQ(u[i], u1) << "point " << q0[i] << ", " << q1[i];
        ASSERT_EQ(phi[i], phi1) << "point " << q0[i] << ", " << q1[i];
      }
    }
  }
}

// The guided quantile of a piecewise-linear density against the plain
// search it replaces (the first node whose cumulative exceeds the target),
// at the ends, on the nodes' own cumulatives and across intervals without
// mass, where an off-by-one lands in the wrong interval.
TEST(LinearDensity, GuidedQuantileMatchesAFullSearch) {
  std::vector<std::vector<double>> xs{{0, 1}, {0, 0.5, 0.6, 2, 2.1, 5}, {-1, 0, 1, 2, 3}};
  std::vector<std::vector<double>> ps{{3, 3}, {0, 4, 0, 0, 7, 1}, {1, 0, 0, 0, 1}};
  // A measured profile's size, with dark stretches and uneven steps.
  xs.emplace_back();
  ps.emplace_back();
  for (int i = 0; i <= 180; ++i) {
    xs.back().push_back(i * 0.01 + (i % 7) * 1e-4);
    ps.back().push_back(i % 40 < 6 ? 0.0 : std::fabs(std::sin(i * 0.05)) * 100);
  }
  for (std::size_t c = 0; c < xs.size(); ++c) {
    SCOPED_TRACE("density " + std::to_string(c));
    const std::vector<double>& x = xs[c];
    const std::vector<double>& p = ps[c];
    const LinearDensity density(x, p);
    std::vector<double> cumulative(x.size(), 0);
    for (std::size_t i = 1; i < x.size(); ++i)
      cumulative[i] = cumulative[i - 1] + 0.5 * (p[i - 1] + p[i]) * (x[i] - x[i - 1]);
    const auto reference = [&](double q) {
      const double target = q * cumulative.back();
      auto k =
          static_cast<std::size_t>(std::upper_bound(cumulative.begin(), cumulative.end(), target) - cumulative.begin());
      k = std::clamp<std::size_t>(k, 1, x.size() - 1);
      while (k + 1 < x.size() && cumulative[k] - cumulative[k - 1] <= 0) ++k;
      const double width = x[k] - x[k - 1];
      return x[k - 1] + width * invert_linear_density(p[k - 1], p[k], (target - cumulative[k - 1]) / width);
    };
    std::vector<double> qs{0.0, 1.0, 0.5, 1e-300, 1 - 1e-16, 1.5, -0.25};
    for (double c2 : cumulative) qs.push_back(c2 / cumulative.back());
    for (int i = 0; i < 2000; ++i) qs.push_back((i + 0.37) / 2000);
    for (double q : qs) EXPECT_EQ(density.quantile(q), reference(q)) << "q = " << q;
    // The batched form, in batches of every size, gives the same bits.
    std::size_t n = 1;
    for (std::size_t first = 0; first < qs.size(); first += n, n = n % LinearDensity::kBatch + 1) {
      const std::size_t count = std::min(n, qs.size() - first);
      double out[LinearDensity::kBatch];
      density.quantiles(count, &qs[first], out);
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(out[i], reference(qs[first + i])) << "q = " << qs[first + i];
    }
  }
}

// The two-at-a-time inversion against the single one, bit for bit: even
// and sloped densities, a zero end, mass at and past the whole, a negative
// discriminant (clamped to 0), a zero denominator, NaN, and odd counts.
TEST(LinearDensity, InversionsTwoAtATimeGiveTheBitsOfSingleOnes) {
  const double nan = std::nan("");
  std::vector<double> a = {1, 0, 5, 2, 0, 3, 1e-300, 4, nan, 1, 0.5, 7};
  std::vector<double> b = {1, 6, 0, 2, 0, 1, 2, 4, 1, nan, 0.25, 0};
  std::vector<double> m = {0.5, 0.2, 2.5, 2, 0, 3, 1, -1, 0.1, 0.3, 0.375, 4};
  std::uint32_t state = 99;
  for (int i = 0; i < 500; ++i) {
    state = state * 1664525u + 1013904223u;
    a.push_back((state >> 8) % 1000 / 100.0);
    b.push_back((state >> 18) % 1000 / 100.0);
    m.push_back(0.5 * (a.back() + b.back()) * ((state & 255) / 255.0));
  }
  const auto same = [](double x, double y) {
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y) || (std::isnan(x) && std::isnan(y));
  };
  for (const std::size_t first : {std::size_t{0}, std::size_t{1}}) {
    const std::size_t n = a.size() - first;
    std::vector<double> s(n);
    invert_linear_density_n(n, &a[first], &b[first], &m[first], s.data());
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = first + i;
      const double one = invert_linear_density(a[k], b[k], m[k]);
      EXPECT_TRUE(same(s[i], one)) << "a " << a[k] << " b " << b[k] << " mass " << m[k] << ": " << s[i] << " vs "
                                   << one;
    }
  }
}

TEST(DirectionSampler, RefusesALawWithoutLight) {
  const LinearTable zero({0, 90}, {0, 0});
  const TwoTableLaw dark(frame(90), zero, zero, "dark");
  EXPECT_THROW(DirectionSampler{dark}, UserError);
}

TEST(ArcSource, PointsAndDirectionsFollowTheProfiles) {
  // F rises from 1 at z = 0 to 3 at z = 10 mm; E is even up to R = 2 mm.
  const ArcSource arc(LinearTable({0, 10}, {1, 3}), LinearTable({0, 2}, {5, 5}), 30, 60, 360);
  for (double q : {0.01, 0.3, 0.5, 0.9}) {
    double x = 0, y = 0, z = 0;
    arc.proportional_point(q, q, 0.125, x, y, z);
    // z + z^2 / 10 = 20 q; rho = R sqrt(q) for an even E.
    EXPECT_NEAR(z, (-1 + std::sqrt(1 + 8 * q)) / 0.2, 1e-9) << q;
    EXPECT_NEAR(std::hypot(x, y), 2 * std::sqrt(q), 1e-6) << q;
    EXPECT_NEAR(std::atan2(y, x), kPi / 4, 1e-9);
    arc.even_point(q, q, 0.5, x, y, z);
    EXPECT_NEAR(z, 10 * q, 1e-12);
    EXPECT_NEAR(std::hypot(x, y), 2 * std::sqrt(q), 1e-12);
    EXPECT_NEAR(arc.radiance(x, y, z), (1 + 0.2 * z) * 5, 1e-9);
    double dx = 0, dy = 0, dz = 0;
    arc.direction(q, 0.25, dx, dy, dz);
    // Even in the sine of the elevation between -30 and 60 degrees.
    EXPECT_NEAR(dz, -0.5 + q * (std::sin(60 * kDeg) + 0.5), 1e-12);
    EXPECT_NEAR(dx * dx + dy * dy + dz * dz, 1, 1e-12);
  }
  EXPECT_EQ(arc.radiance(2.5, 0, 5), 0) << "outside the cylinder";
  EXPECT_THROW(ArcSource(LinearTable({0, 10}, {0, 0}), LinearTable({0, 2}, {5, 5}), 0, 0, 360), UserError);
  EXPECT_THROW(ArcSource(LinearTable({0, 10}, {1, 1}), LinearTable({0, 2}, {5, 5}), 100, 80, 360), UserError);
}

// Batched start points and directions take the very arithmetic of single
// ones, at the cylinder's ends and axis, and across a radial profile with a
// dark ring.
TEST(ArcSource, BatchesGiveTheSameBitsAsSingleRays) {
  const ArcSource arc(LinearTable({0, 1, 4, 10}, {0, 2, 2, 0.5}), LinearTable({0, 0.5, 1, 1.5}, {9, 0, 0, 4}), 0, 0,
                      270);
  std::uint32_t state = 777;
  const auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 2) / 1073741824.0;
  };
  constexpr std::size_t kBatch = ArcSource::kBatch;
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = 1 + static_cast<std::size_t>(round) % kBatch;
    double qz[kBatch], qr[kBatch], qa[kBatch], x[kBatch], y[kBatch], z[kBatch];
    for (std::size_t i = 0; i < n; ++i) {
      qz[i] = next();
      qr[i] = next();
      qa[i] = next();
    }
    if (round == 0) {
      qz[0] = qr[0] = qa[0] = 0;
      qz[1 % n] = qr[1 % n] = 1 - 1e-12;
    }
    arc.proportional_points(n, qz, qr, qa, x, y, z);
    for (std::size_t i = 0; i < n; ++i) {
      double x1 = 0, y1 = 0, z1 = 0;
      arc.proportional_point(qz[i], qr[i], qa[i], x1, y1, z1);
      ASSERT_EQ(x[i], x1) << "point " << qz[i] << ", " << qr[i] << ", " << qa[i];
      ASSERT_EQ(y[i], y1) << "point " << qz[i] << ", " << qr[i] << ", " << qa[i];
      ASSERT_EQ(z[i], z1) << "point " << qz[i] << ", " << qr[i] << ", " << qa[i];
    }
    // The directions from two of the coordinates, the same way.
    double dx[kBatch], dy[kBatch], dz[kBatch];
    arc.directions(n, qz, qa, dx, dy, dz);
    for (std::size_t i = 0; i < n; ++i) {
      double dx1 = 0, dy1 = 0, dz1 = 0;
      arc.direction(qz[i], qa[i], dx1, dy1, dz1);
      ASSERT_EQ(dx[i], dx1) << "direction " << qz[i] << ", " << qa[i];
      ASSERT_EQ(dy[i], dy1) << "direction " << qz[i] << ", " << qa[i];
      ASSERT_EQ(dz[i], dz1) << "direction " << qz[i] << ", " << qa[i];
    }
  }
}

TEST(ConcentricDisk, MapsTheSquareOntoTheDisk) {
  struct Case {
    double a, b, x, y;
  };
  for (const Case c :
       {Case{0.5, 0.5, 0, 0}, Case{1, 0.5, 1, 0}, Case{0.75, 0.5, 0.5, 0}, Case{0.5, 0, 0, -1}, Case{0, 0.5, -1, 0}}) {
    double x = 9, y = 9;
    detail::concentric_disk(c.a, c.b, x, y);
    EXPECT_NEAR(x, c.x, 1e-12) << c.a << " " << c.b;
    EXPECT_NEAR(y, c.y, 1e-12) << c.a << " " << c.b;
  }
  // Area preserving: a quarter of an even grid lands within radius 1/2.
  int inside = 0;
  for (int i = 0; i < 200; ++i) {
    for (int j = 0; j < 200; ++j) {
      double x = 0, y = 0;
      detail::concentric_disk((i + 0.5) / 200, (j + 0.5) / 200, x, y);
      ASSERT_LE(x * x + y * y, 1 + 1e-12);
      inside += x * x + y * y < 0.25 ? 1 : 0;
    }
  }
  EXPECT_NEAR(inside / 40000.0, 0.25, 0.005);
}

// The two-at-a-time map against the single one, bit for bit: the centre,
// the diagonals (|a| = |b|), the edges, either coordinate the wider one,
// and odd counts.
TEST(ConcentricDisk, PairsGiveTheBitsOfSingleMaps) {
  std::vector<double> a = {0.5, 0.75, 0.25, 1, 0, 0.5, 0.5, 1 - 0x1p-30, 0x1p-30, 0.6, 0.5};
  std::vector<double> b = {0.5, 0.75, 0.75, 0, 1, 0, 1, 0.5, 0.5, 0.1, 0.5 + 0x1p-40};
  for (int i = 0; i < 301; ++i) {
    a.push_back(std::fmod(0.61803398875 * i, 1.0));
    b.push_back(std::fmod(0.41421356237 * i + 0.3, 1.0));
  }
  for (const std::size_t first : {std::size_t{0}, std::size_t{1}}) {
    const std::size_t n = a.size() - first;
    std::vector<double> r(n), angle(n);
    detail::concentric_polar_n(n, &a[first], &b[first], r.data(), angle.data());
    for (std::size_t i = 0; i < n; ++i) {
      double r1 = 9, angle1 = 9;
      detail::concentric_polar(a[first + i], b[first + i], r1, angle1);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(r[i]), std::bit_cast<std::uint64_t>(r1))
          << a[first + i] << " " << b[first + i];
      ASSERT_EQ(std::bit_cast<std::uint64_t>(angle[i]), std::bit_cast<std::uint64_t>(angle1))
          << a[first + i] << " " << b[first + i];
    }
  }
}

}  // namespace
}  // namespace lucidra
