#pragma once
// What a run will write and how long it will take, as the window shows it
// before the run, and its speed while it works. Toolkit-free.

#include <cstdint>
#include <optional>
#include <string>

#include "base/flux_unit.h"
#include "output/ray_format.h"

namespace lucidra::app {

// The size of the file a run of `rayCount` (N, so N + 1 rays) writes in
// `format`, with a wavelength on every ray when `spectral` (a spectrum's or
// a line's: they differ only in LightTools text, by a few percent): header,
// rays and trailer. Exact for a binary format (for TM-25, which leaves out rays of
// zero flux, the most it can take); a text format's lines are measured on
// sample rays of an emitter of `size` mm, so the figure is within a fraction
// of a percent (the engine's ray_file_bytes).
std::uint64_t estimated_file_bytes(OutputFormat format, std::int32_t rayCount, double flux, FluxUnit unit,
                                   bool spectral, double size = 1.0);

// The time a run of `rays` takes at `raysPerSecond` measured on this
// machine, as a range: runs vary with the disk and the other programs.
struct SecondsRange {
  double low = 0;
  double high = 0;
};
SecondsRange run_time_range(std::int64_t rays, double raysPerSecond);

// "30 001": a count grouped by thousands with blanks.
std::string format_count(std::uint64_t count);
// "0.03 MB", "2.41 MB", "1 234 MB" (10^6 bytes).
std::string format_megabytes(std::uint64_t bytes);
// "under 1 s", "2–4 s", "1–3 min", "1.2–2.3 h".
std::string format_seconds_range(SecondsRange range);
// While a run works: "1 234 567 rays/s, 12 s left" (the time left once the
// rate is known).
std::string format_progress(double raysPerSecond, std::optional<double> secondsLeft);

}  // namespace lucidra::app
