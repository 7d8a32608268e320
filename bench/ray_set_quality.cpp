// How much each ray of a ray file is worth to a ray tracer: the effective
// sample size (sum f)^2 / sum f^2 as a share of the rays, the share of the
// rays that together carry 1 % of the flux, the rays of zero flux, and the
// Monte-Carlo variance of an illuminance map on a screen at a distance,
// estimated from the rays themselves (per bin: sum f^2 - (sum f)^2 / N, over
// the square of the total flux). Equal-flux and weighted files of the same
// law and the same N compare directly.
//
//   ray_set_quality RAYFILE [DISTANCE_MM=100] [BINS=50] [HALF_WIDTH_MM=50]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/user_error.h"
#include "output/ray_file_reader.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ray_set_quality RAYFILE [DISTANCE_MM=100] [BINS=50] [HALF_WIDTH_MM=50]\n");
    return 2;
  }
  const std::string path = argv[1];
  const double distance = argc > 2 ? std::atof(argv[2]) : 100;
  const int bins = argc > 3 ? std::atoi(argv[3]) : 50;
  const double half = argc > 4 ? std::atof(argv[4]) : 50;
  if (!(distance > 0) || bins < 1 || !(half > 0)) {
    std::fprintf(stderr, "ray_set_quality: distance, bins and half width must be positive\n");
    return 2;
  }
  std::vector<double> fluxes;
  std::vector<double> sum(static_cast<std::size_t>(bins * bins), 0), sum2(sum.size(), 0);
  try {
    // Each block is copied on its worker and taken in on this thread, in
    // file order.
    lucidra::read_ray_file(
        path, lucidra::RayFileKind::Auto, 2,
        [](const lucidra::RayRecord* rays, std::size_t n) -> std::shared_ptr<void> {
          return std::make_shared<std::vector<lucidra::RayRecord>>(rays, rays + n);
        },
        [&](std::shared_ptr<void> block) {
          for (const lucidra::RayRecord& r : *static_cast<const std::vector<lucidra::RayRecord>*>(block.get())) {
            fluxes.push_back(r.flux);
            if (r.dz <= 0) continue;
            const double t = (distance - r.z) / r.dz;
            const double x = r.x + t * r.dx, y = r.y + t * r.dy;
            const double fx = (x + half) / (2 * half) * bins, fy = (y + half) / (2 * half) * bins;
            if (!(fx >= 0 && fy >= 0 && fx < bins && fy < bins)) continue;
            const auto b = static_cast<std::size_t>(static_cast<int>(fx) * bins + static_cast<int>(fy));
            sum[b] += r.flux;
            sum2[b] += r.flux * r.flux;
          }
        });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ray_set_quality: %s\n", error.what());
    return 1;
  }
  const auto n = static_cast<double>(fluxes.size());
  double total = 0, squares = 0;
  std::size_t zero = 0;
  for (double f : fluxes) {
    total += f;
    squares += f * f;
    zero += f == 0 ? 1 : 0;
  }
  std::sort(fluxes.begin(), fluxes.end());
  double carried = 0;
  std::size_t dim = 0;
  while (dim < fluxes.size() && carried + fluxes[dim] <= 0.01 * total) carried += fluxes[dim++];
  double variance = 0;
  for (std::size_t b = 0; b < sum.size(); ++b) variance += sum2[b] - sum[b] * sum[b] / n;
  std::printf("%s: %.0f rays, total flux %.9g\n", path.c_str(), n, total);
  std::printf("  effective sample size: %.1f %% of the rays\n", 100 * total * total / squares / n);
  std::printf("  rays carrying together 1 %% of the flux: %.1f %%; rays of zero flux: %.1f %%\n",
              100 * static_cast<double>(dim) / n, 100 * static_cast<double>(zero) / n);
  std::printf("  illuminance map %dx%d over +/-%g mm at %g mm: relative variance %.4g\n", bins, bins, half, distance,
              variance / (total * total));
  return 0;
}
