#include "app/run_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/estimate.h"

namespace lucidra::app {

namespace {

// A run is rarely faster than the rate it last showed, and may be up to
// twice as slow when the disk or other programs are busy.
constexpr double kFastest = 0.8;
constexpr double kSlowest = 2.0;

std::string grouped(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ' ';
    text += digits[i];
  }
  return text;
}

std::string number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

std::string format_count(std::uint64_t count) { return grouped(count); }

std::uint64_t estimated_file_bytes(OutputFormat format, std::int32_t rayCount, double flux, FluxUnit unit,
                                   bool spectral, double size) {
  return ray_file_bytes(format, rayCount, flux, unit, RayWavelengths{spectral, 0.0}, size);
}

SecondsRange run_time_range(std::int64_t rays, double raysPerSecond) {
  if (!(raysPerSecond > 0)) return {};
  const double seconds = static_cast<double>(rays) / raysPerSecond;
  return {seconds * kFastest, seconds * kSlowest};
}

std::string format_megabytes(std::uint64_t bytes) {
  const double megabytes = static_cast<double>(bytes) / 1e6;
  if (megabytes < 10) return number(megabytes, 2) + " MB";
  if (megabytes < 1000) return number(megabytes, 1) + " MB";
  return grouped(static_cast<std::uint64_t>(std::llround(megabytes))) + " MB";
}

std::string format_seconds_range(SecondsRange range) {
  if (range.high < 1) return "under 1 s";
  const auto span = [&range](double unit, const char* name) {
    const double low = std::floor(range.low / unit);
    const double high = std::max(std::ceil(range.high / unit), low + 1);
    return number(low, 0) + "–" + number(high, 0) + " " + name;
  };
  if (range.high < 120) return span(1, "s");
  if (range.high < 7200) return span(60, "min");
  return number(range.low / 3600, 1) + "–" + number(range.high / 3600, 1) + " h";
}

std::string format_progress(double raysPerSecond, std::optional<double> secondsLeft) {
  std::string text = grouped(static_cast<std::uint64_t>(std::llround(std::max(raysPerSecond, 0.0)))) + " rays/s";
  if (secondsLeft) {
    const double left = std::max(*secondsLeft, 0.0);
    text += left < 120 ? ", " + number(std::ceil(left), 0) + " s left"
                       : ", " + number(std::ceil(left / 60), 0) + " min left";
  }
  return text;
}

}  // namespace lucidra::app
