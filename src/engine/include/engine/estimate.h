#pragma once
// Size and time a run of N rays is expected to take, as the window shows it.

#include <cstdint>

#include "base/flux_unit.h"
#include "engine/settings.h"

namespace lucidra {

// The wavelengths a run's rays carry, as far as its file's size depends on
// them: none, a spectrum's, or one line's (whose text in LightTools text
// can be much shorter than a drawn wavelength's).
struct RayWavelengths {
  bool spectral = false;
  double lineNm = 0;  // the line's wavelength; 0: a spectrum's, over the visible
};

struct OutputEstimate {
  std::int64_t sizeMb = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;
};

// The figures the window has always shown, made for a text ray file.
OutputEstimate estimate_output(std::int32_t rayCount);

// The same for a run writing `format`: a binary file's size is its header
// and 28 bytes for each of the N + 1 rays (TM-25 leaves out rays of zero
// flux, so its figure is the most the file can take), in megabytes of 10^6
// bytes truncated as the text figure is; the time and every text format's
// figures are those above. With a wavelength on every ray the size is
// ray_file_bytes' for the spectral layout, text formats' included.
OutputEstimate estimate_output(std::int32_t rayCount, OutputFormat format);
OutputEstimate estimate_output(std::int32_t rayCount, OutputFormat format, const RayWavelengths& wavelengths);

// The bytes of the file a run of `rayCount` (N, so N + 1 rays) writes in
// `format` with a source flux of `flux` in `unit`: header, rays and trailer,
// laid out for rays with a wavelength when `wavelengths.spectral` (a format
// without a place for one, which such a run refuses, gives its plain size).
// Exact for a binary format (for TM-25, which leaves out rays of zero flux,
// the most it can take); a text format's lines are measured on sample rays
// of an emitter whose half-width is `size` mm, so the figure is within a
// fraction of a percent.
std::uint64_t ray_file_bytes(OutputFormat format, std::int32_t rayCount, double flux, FluxUnit unit,
                             RayWavelengths wavelengths, double size = 1.0);

}  // namespace lucidra
