#pragma once
// A generation run drawn one ray after another in the plainest way, with
// the process's Sobol generator stepping call by call: the reference the
// engine's pipeline must match byte for byte on any number of threads.

#include "engine/generation_run.h"
#include "random/random_state.h"

namespace lucidra::testing {

RunReport sequential_run(const GenerationSettings& settings, RunObserver& observer, ProcessRandomState& state);

}  // namespace lucidra::testing
