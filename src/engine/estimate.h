#pragma once
// Size and time a run of N rays is expected to take, as the window shows it.

#include <cstdint>

namespace lucidra {

struct OutputEstimate {
  std::int64_t sizeMb = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;
};

OutputEstimate estimate_output(std::int32_t rayCount);

}  // namespace lucidra
