// A deliberately straightforward writer of the same ray file: one ray after
// another, fprintf per line, level lookups by scanning every segment. It is
// the baseline the benchmark measures against and an independent check that
// the engine's files are right.
//
//   reference_writer out=FILE L=FILE T=FILE n=N clock=T [flux=W] [consider]
//                    [algorithm=sobol|uniform] [angular=lambertian|uniform|user|gaussian]
//                    [na=X] [extent=DEG] [shape=rect|ellipse] [sx=MM] [sy=MM]
//                    [double] [balance=B] [square] [arc] [format=zemax|tracepro]

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "distributions/distribution_file.h"
#include "random/park_miller.h"
#include "random/runtime_generator.h"
#include "random/sobol.h"
#include "sampling/level_lookup.h"

using namespace lucidra;

namespace {

constexpr long double kInvPi = 0.318309886183790671537767526745028724L;
constexpr double kPi = 3.14159265358979323846;

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> a;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto eq = arg.find('=');
    a[arg.substr(0, eq)] = eq == std::string::npos ? "1" : arg.substr(eq + 1);
  }
  const auto get = [&](const char* k, const char* d) { return a.count(k) ? a[k] : std::string(d); };
  const long long n = std::atoll(get("n", "30000").c_str());
  const int sourceFlux = std::atoi(get("flux", "3500").c_str());
  const bool consider = a.count("consider") != 0;
  const bool sobol = get("algorithm", "sobol") == "sobol";
  const std::string angular = get("angular", "user");
  const double na = std::atof(get("na", "0").c_str());
  const int extent = std::atoi(get("extent", "360").c_str());
  const bool ellipse = get("shape", "rect") == "ellipse";
  const double sx = std::atof(get("sx", "0.00001").c_str());
  const double sy = std::atof(get("sy", "0.00001").c_str());
  const bool doubleSide = a.count("double") != 0;
  const int balance = std::atoi(get("balance", "50").c_str());
  const bool square = a.count("square") != 0;
  const bool led = a.count("arc") == 0;
  const AngularDistribution L = read_distribution_file(get("L", ""), '.');
  const AngularDistribution T = read_distribution_file(get("T", ""), '.');
  const int nL = L.count, nT = T.count;

  RuntimeGenerator runtime;
  runtime.seed(std::atoll(get("clock", "0").c_str()));
  std::FILE* out = std::fopen(get("out", "").c_str(), "wb");
  if (out == nullptr) return 1;
  if (get("format", "zemax") == "zemax") std::fprintf(out, "%lld 4 \r\n", n);

  double F = 0, E = 0;
  const auto levelF = [&](double v) { scan_level(L, LevelKind::Longitudinal, v, F); };
  const auto levelE = [&](double v) { scan_level(T, LevelKind::Transversal, v, E); };
  const double capUser = std::max(L.angle[nL] * kPi * (1.0L / 180), T.angle[nT] * kPi * (1.0L / 180));
  const double cap = (angular == "lambertian" || angular == "uniform") ? std::asin(na) : capUser;
  const double R = T.angle[nT], Len = L.angle[nL];
  const int dim = led ? 2 : 3;
  std::int32_t useed = 10;
  std::int32_t sobolStart = 100;
  float q[3];
  double weights = 0;

  const auto arcPoint = [&](double& x, double& y, double& z) {
    if (sobol) {
      x = R + q[0] * (-2.0) * R;
      y = R + q[1] * (-2.0) * R;
      z = q[2] * Len;
    } else {
      const auto kT = static_cast<std::int32_t>(2 * 1e9 * R);
      x = (1e9 * R - random_below(runtime, kT)) * (1.0 / 1e9);
      y = (1e9 * R - random_below(runtime, kT)) * (1.0 / 1e9);
      z = random_below(runtime, static_cast<std::int32_t>(1e9 * Len)) * (1.0 / 1e9);
    }
  };

  if (consider) {
    sobolStart = random_below(runtime, 100) + 1;
    random_below(runtime, 100);
    std::int32_t seed = sobolStart;
    for (long long i = 1; i <= n + 1; ++i) {
      if (sobol) i4_sobol(dim, seed, q);
      if (led) {
        double phi, theta;
        if (sobol) {
          uniform_int(0, 1000000000, useed);
          uniform_int(0, 1000000000, useed);
          phi = extent * (kPi / 180) * q[1];
          theta = std::acos(1 - (1 - std::cos(cap)) * q[0]);
        } else {
          uniform_int(0, 1000000000, useed);
          uniform_int(0, 1000000000, useed);
          phi = uniform_int(1, 1000000000, useed) * (extent * (kPi / 180)) / 1e9;
          theta = std::acos(1 - uniform_int(1, 1000000000, useed) * (1 - std::cos(cap)) / 1e9);
        }
        const auto deg = static_cast<double>(theta * 180.0f * kInvPi);
        levelF(std::fabs(deg));
        levelE(std::fabs(deg));
        if (angular == "uniform")
          weights += static_cast<double>(sourceFlux) / (n + 1);
        else if (angular == "lambertian")
          weights += std::cos(theta);
        else {
          const double s = std::sin(phi + kPi / 2);
          weights += ((E - F) * s) * s + F;
        }
      } else {
        double x, y, z;
        arcPoint(x, y, z);
        levelF(z);
        levelE(std::sqrt(x * x + y * y));
        weights += std::sqrt(E * F);
      }
    }
  }
  const double K = consider ? weights / sourceFlux : random_below(runtime, static_cast<std::int32_t>(n));

  std::int32_t seed = sobolStart;
  double obtained = 0;
  for (long long s = 2; s <= n + 2;) {
    double x, y, z = 0, dx, dy, dz, flux;
    if (led) {
      if (sobol) i4_sobol(dim, seed, q);
      x = sx * 0.5 - sx * uniform_int(0, 1000000000, useed) / 1e9;
      y = sy * 0.5 - sy * uniform_int(0, 1000000000, useed) / 1e9;
      double phi, theta;
      if (sobol) {
        phi = extent * (kPi / 180) * q[1];
        theta = std::acos(1 - (1 - std::cos(cap)) * q[0]);
      } else {
        phi = (extent * (kPi / 180)) * uniform_int(1, 1000000000, useed) / 1e9;
        theta = std::acos(1 - uniform_int(1, 1000000000, useed) * (1 - std::cos(cap)) / 1e9);
      }
      if (ellipse && (x * x) / (sx * 0.5 * sx * 0.5) + (y * y) / (sy * 0.5 * sy * 0.5) > 1) continue;
      dx = std::sin(theta) * std::sin(phi);
      dy = std::sin(theta) * std::cos(phi);
      dz = std::cos(theta);
      if (doubleSide && std::abs(balance) >= random_below(runtime, 101)) dz = -std::cos(theta);
      const auto deg = static_cast<double>(theta * 180.0f * kInvPi);
      levelF(std::fabs(deg));
      levelE(std::fabs(deg));
      if (square && !ellipse) {
        levelF(std::fabs(std::cos(phi) * deg));
        levelE(std::fabs(std::sin(phi) * deg));
        flux = std::sqrt(F * E);
      } else if (angular == "uniform") {
        flux = static_cast<double>(sourceFlux) / (n + 1);
      } else if (angular == "lambertian") {
        flux = std::cos(theta) / K;
      } else {
        const double sn = std::sin(phi + kPi / 2);
        flux = (((E - F) * sn) * sn + F) / K;
      }
    } else {
      if (sobol) i4_sobol(dim, seed, q);
      arcPoint(x, y, z);
      const double psi = 2 * kPi * random_below(runtime, static_cast<std::int32_t>(1e9 * extent * (1.0L / 360))) / 1e9;
      const double c = static_cast<double>(random_below(runtime, 1000000000) * (kPi - 0 * kPi * (1.0L / 180)) / 1e9 +
                                           (0 * kPi * (1.0L / 180) - kPi / 2));
      dz = std::sin(c);
      dx = std::cos(c) * std::sin(psi);
      dy = std::cos(c) * std::cos(psi);
      levelF(z);
      levelE(std::sqrt(x * x + y * y));
      flux = std::sqrt(E * F) / K;
    }
    std::fprintf(out, "%e %e %e %e %e %e %e\r\n", x, y, z, dx, dy, dz, flux);
    obtained += flux;
    ++s;
  }
  std::fclose(out);
  std::printf("obtained flux: %.6f\n", obtained);
  return 0;
}
