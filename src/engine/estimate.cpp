#include "engine/estimate.h"

#include <cmath>

#include "output/ray_format.h"

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
  estimate.seconds = static_cast<std::int64_t>(std::trunc(std::fmod(static_cast<double>(seconds), kMinuteLength)));
  return estimate;
}

OutputEstimate estimate_output(std::int32_t rayCount, OutputFormat format) {
  OutputEstimate estimate = estimate_output(rayCount);
  const RayFormat& f = ray_format(format);
  // A text format's size is the measured text figure; a binary one's is
  // exact: header, 28 bytes a ray, trailer.
  if (!f.binary) return estimate;
  const std::uint64_t rays = static_cast<std::uint64_t>(rayCount < 0 ? 0 : rayCount) + 1;
  estimate.sizeMb =
      static_cast<std::int64_t>((f.fixedHeaderBytes + rays * f.recordBytes + f.trailer.size()) / 1000000u);
  return estimate;
}

}  // namespace lucidra
