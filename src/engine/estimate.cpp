#include "engine/estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

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
// The source flux the command line's estimate assumes (generate's default):
// only a text line's length depends on it, and hardly.
constexpr double kDefaultSourceFlux = 3500;

// Text lines are measured on this many sample rays.
constexpr int kSampleRays = 4096;

// The mean length of a text line over sample rays: start points spread over
// the emitter, directions over the forward hemisphere, the equal flux each,
// wavelengths over the visible or the one line's (a line's length depends on
// them only in LightTools text, which writes the shortest exact form).
double mean_line_bytes(RayEncoder encoder, double flux, double size, double lineNm) {
  std::mt19937 generator(20240611u);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::array<char, kMaxRayLineLength> line{};
  double total = 0;
  for (int i = 0; i < kSampleRays; ++i) {
    RayRecord ray;
    ray.x = unit(generator) * size;
    ray.y = unit(generator) * size;
    double dx = unit(generator), dy = unit(generator), dz = std::abs(unit(generator));
    const double length = std::max(std::sqrt(dx * dx + dy * dy + dz * dz), 1e-12);
    ray.dx = dx / length;
    ray.dy = dy / length;
    ray.dz = dz / length;
    ray.flux = flux;
    const double spread = 550 + 150 * unit(generator);
    ray.wavelength = lineNm > 0 ? lineNm : spread;
    total += static_cast<double>(encoder(ray, line.data()) - line.data());
  }
  return total / kSampleRays;
}

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
  return estimate_output(rayCount, format, RayWavelengths{});
}

OutputEstimate estimate_output(std::int32_t rayCount, OutputFormat format, const RayWavelengths& wavelengths) {
  OutputEstimate estimate = estimate_output(rayCount);
  // A text format's size without a spectrum is the measured text figure;
  // a binary one's is exact: header, a record a ray, trailer. The spectral
  // layouts are the file's own (a text line's column measured).
  if (!ray_format(format).binary && !wavelengths.spectral) return estimate;
  estimate.sizeMb = static_cast<std::int64_t>(
      ray_file_bytes(format, rayCount, kDefaultSourceFlux, FluxUnit::Watt, wavelengths) / 1000000u);
  return estimate;
}

std::uint64_t ray_file_bytes(OutputFormat id, std::int32_t rayCount, double flux, FluxUnit unit,
                             RayWavelengths wavelengths, double size) {
  const RayFormat& format = ray_format(id);
  const SpectralLayout layout = spectral_layout(id, unit);
  const bool withWavelength = wavelengths.spectral && layout.encoder != nullptr;
  const std::uint64_t rays = static_cast<std::uint64_t>(std::max(rayCount, 0)) + 1;
  HeaderFacts facts;
  facts.fluxUnit = unit;
  facts.rayCount = rayCount;
  facts.spectral.spectral = withWavelength;
  const std::uint64_t header = format.header != nullptr ? format.header(facts, rays, flux).size() : 0;
  const RayEncoder encoder = withWavelength ? layout.encoder : format.encoder;
  const std::size_t recordBytes = withWavelength ? layout.recordBytes : format.recordBytes;
  const double perRay = format.binary
                            ? static_cast<double>(recordBytes)
                            : mean_line_bytes(encoder, flux / static_cast<double>(rays), size, wavelengths.lineNm);
  return header + static_cast<std::uint64_t>(std::llround(perRay * static_cast<double>(rays))) + format.trailer.size();
}

}  // namespace lucidra
