#include "engine/estimate.h"

#include <cmath>

#include "output/binary_ray_file.h"

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

OutputEstimate estimate_output(std::int32_t rayCount, OutputFormat format) {
  OutputEstimate estimate = estimate_output(rayCount);
  std::uint64_t header = 0;
  switch (format) {
    case OutputFormat::ZemaxBinary: header = kZemaxHeaderBytes; break;
    case OutputFormat::Tm25: header = kTm25HeaderBytes; break;
    case OutputFormat::TracePro:
    case OutputFormat::Zemax:
    case OutputFormat::LightTools:
    case OutputFormat::Asap: return estimate;
  }
  const std::uint64_t rays = static_cast<std::uint64_t>(rayCount < 0 ? 0 : rayCount) + 1;
  estimate.sizeMb = static_cast<std::int64_t>((header + rays * kBinaryRecordBytes) / 1000000u);
  return estimate;
}

}  // namespace lucidra
