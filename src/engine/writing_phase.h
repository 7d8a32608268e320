#pragma once
// What the writing phase reports and the rules every ray of it follows.

#include <cmath>
#include <cstdint>
#include <string>

#include "base/ray_extent.h"
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
  RayExtent extent;         // the written rays' start-point bounds and backward share
};

inline bool is_finite_ray(const RayRecord& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z) && std::isfinite(r.dx) && std::isfinite(r.dy) &&
         std::isfinite(r.dz) && std::isfinite(r.flux);
}

[[noreturn]] inline void refuse_non_finite_ray(std::int64_t rayNumber) {
  throw UserError("Ray " + std::to_string(rayNumber) +
                  " is not a finite number; check the sizes and the distribution files");
}

// An elliptical emitter rejects attempts, so a run can use up the Sobol
// sequence's seeds before it has N + 1 rays.
[[noreturn]] inline void refuse_exhausted(std::int64_t rays) {
  throw UserError("The quasi-random (Sobol) sequence is exhausted after " + std::to_string(rays) +
                  " rays of an elliptical emitter; use fewer rays or the pseudo-random (Uniform) algorithm");
}

}  // namespace lucidra
