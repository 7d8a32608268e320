#include "engine/estimate.h"

#include <cmath>

namespace lucidra {

namespace {

// Megabytes of ray file and seconds of generation per ray, as measured on the
// reference machine; both are stored as doubles, slightly off their decimal
// values, and the shown figures depend on that.
constexpr double kSizePerRayMb = 7.48e-5;
constexpr double kTimePerRaySeconds = 0.00015;
constexpr long double kMinutesPerSecond = 1.0L / 60.0L;
constexpr double kMinuteLength = 60.0;

}  // namespace

OutputEstimate estimate_output(std::int32_t rayCount) {
  // The products keep the 64-bit significand of x86 extended precision.
  const long double rays = static_cast<long double>(rayCount);
  OutputEstimate estimate;
  estimate.sizeMb = static_cast<std::int64_t>(std::trunc(rays * static_cast<long double>(kSizePerRayMb)));
  const long double seconds = rays * static_cast<long double>(kTimePerRaySeconds);
  estimate.minutes = static_cast<std::int64_t>(std::trunc(seconds * kMinutesPerSecond));
  estimate.seconds = static_cast<std::int64_t>(
      std::trunc(std::fmod(static_cast<double>(seconds), kMinuteLength)));
  return estimate;
}

}  // namespace lucidra
