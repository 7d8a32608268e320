#pragma once
// The writing phase: N + 1 accepted rays, each written as soon as it is drawn.

#include <cmath>
#include <cstdint>
#include <string>

#include "base/user_error.h"
#include "output/ray_file.h"
#include "sampling/ray_sampler.h"

namespace lucidra {

// The front end asked the run to stop.
class RunInterrupted : public UserError {
 public:
  using UserError::UserError;
};

struct WritingPhaseResult {
  std::int64_t raysWritten = 0;
  double obtainedFlux = 0;  // the written flux values, added in writing order
};

inline bool is_finite_ray(const RayRecord& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z) && std::isfinite(r.dx) &&
         std::isfinite(r.dy) && std::isfinite(r.dz) && std::isfinite(r.flux);
}

[[noreturn]] inline void refuse_non_finite_ray(std::int64_t rayNumber) {
  throw UserError("Ray " + std::to_string(rayNumber) +
                  " is not a finite number; check the sizes and the distribution files");
}

// Attempts s = 2 .. N + 2 (a rejected attempt repeats its s); `progress(s)`
// runs before every attempt and `stop()` is polled every 65536 rays.
template <class Draws, class Progress, class Stop>
void write_rays_sequential(const SamplingPlan& plan, Draws& draws, Levels& levels,
                           RayFileWriter& writer, Progress&& progress, Stop&& stop,
                           WritingPhaseResult& result) {
  const std::int64_t last = plan.rayCount + 2;
  RayRecord ray;
  for (std::int64_t s = 2; s <= last;) {
    progress(s);
    if (plan.algorithm == RandomAlgorithm::Sobol && draws.sobol_exhausted()) {
      throw UserError("The quasi-random (Sobol) sequence is exhausted after " + std::to_string(s - 2) +
                      " rays of an elliptical emitter; use fewer rays or the pseudo-random (Uniform) algorithm");
    }
    if (!ray_attempt(plan, draws, levels, ray)) continue;
    if (!is_finite_ray(ray)) refuse_non_finite_ray(s - 1);
    writer.write_ray(ray);
    result.obtainedFlux += ray.flux;
    ++result.raysWritten;
    ++s;
    if ((s & 0xFFFF) == 0 && stop()) throw RunInterrupted("Generation interrupted");
  }
}

}  // namespace lucidra
