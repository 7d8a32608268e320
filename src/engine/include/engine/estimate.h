#pragma once
// Size and time a run of N rays is expected to take, as the window shows it.

#include <cstdint>

#include "engine/settings.h"

namespace lucidra {

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
// figures are those above.
OutputEstimate estimate_output(std::int32_t rayCount, OutputFormat format);

}  // namespace lucidra
