#pragma once
// The random state that outlives generation runs: the Sobol generator's
// table and position, and the clock-seeded runtime generator.

#include "random/runtime_generator.h"
#include "random/sobol.h"

namespace lucidra {

struct ProcessRandomState {
  SobolState sobol;
  RuntimeGenerator runtime;
};

// The one instance of the process.
ProcessRandomState& process_random_state() noexcept;

}  // namespace lucidra
