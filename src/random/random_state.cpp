#include "random/random_state.h"

namespace lucidra {

ProcessRandomState& process_random_state() noexcept {
  static ProcessRandomState state;
  return state;
}

SobolState& process_sobol_state() noexcept { return process_random_state().sobol; }

}  // namespace lucidra
