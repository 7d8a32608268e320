#pragma once
// One generation run, from the button press to the final notice.

#include <cstdint>
#include <string>

#include "engine/front_end.h"
#include "engine/settings.h"

namespace lucidra {

struct ProcessRandomState;

enum class RunOutcome {
  Refused,        // LightTools or ASAP selected: only the refusal message
  Cancelled,      // No at the confirmation
  PointLimit,     // a distribution file has more than 450 points
  Failed,         // an error ended the run (shown through show_error)
  Interrupted,    // the front end asked the run to stop
  LowFlux,        // written, but the obtained flux is below 1.0
  Succeeded,      // written; obtained flux at least 1.0
};

struct RunReport {
  RunOutcome outcome = RunOutcome::Cancelled;
  std::string message;           // the error text for Failed / Interrupted
  double obtainedFlux = 0.0;
  double fluxDivisor = 0.0;
  std::int64_t raysWritten = 0;
  bool fileOpened = false;       // the output file was created or emptied
};

// How the flux and writing phases are computed: on every core, or one ray
// after another (the reference the parallel engine must match byte for byte).
enum class EngineMode { Parallel, Sequential };

// Performs one run against the process-wide random state.
RunReport run_generation(RunFrontEnd& frontEnd);
// The same against an explicit random state (tests use a fresh one to act as
// a new process).
RunReport run_generation(RunFrontEnd& frontEnd, ProcessRandomState& randomState,
                         EngineMode mode = EngineMode::Parallel);

}  // namespace lucidra
