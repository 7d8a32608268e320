#pragma once
// One generation run: converted settings in, a ray file and a report out.
// The run asks nothing and shows nothing; whoever starts it (the window, the
// command line, a test) watches it through a RunObserver and presents the
// report in its own way.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "distributions/distribution_plot.h"
#include "engine/settings.h"
#include "photometry/spectrum.h"

namespace lucidra {

struct ProcessRandomState;

enum class RunPhase {
  Flux,     // the tables are read; the flux phase runs when the source flux is considered
  Writing,  // rays are being written
};

enum class ChartSeries { Longitudinal = 1, Transversal = 2 };

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The points of a table the run has read: (X[k], Y[k]) for k = 1 .. n - 1.
  virtual void table_points(ChartSeries series, const std::vector<PlotPoint>& points) {
    (void)series;
    (void)points;
  }
  virtual void phase_started(RunPhase phase) { (void)phase; }
  // The 0..1000 gauge position, reported when it moves, with the rays (or
  // flux samples) done so far.
  virtual void progress(std::int64_t gaugePosition, std::int64_t itemsDone) {
    (void)gaugePosition;
    (void)itemsDone;
  }
  // Polled between blocks of rays; true stops the run.
  virtual bool stop_requested() { return false; }
};

enum class RunOutcome {
  Refused,      // a front end refused the run (LightTools or ASAP)
  Cancelled,    // a front end's confirmation was declined
  PointLimit,   // a distribution file has more than 450 points: the file holds the header only
  Failed,       // an error ended the run; the previous file is as it was
  Interrupted,  // the observer asked the run to stop; the previous file is as it was
  LowFlux,      // written, but the obtained flux is below 1.0
  Succeeded,    // written; obtained flux at least 1.0
};

struct RunReport {
  RunOutcome outcome = RunOutcome::Failed;
  // Failed, Interrupted: what went wrong and what became of the file.
  // PointLimit: the notice naming the table.
  std::string message;
  double obtainedFlux = 0.0;
  double fluxDivisor = 0.0;
  std::int64_t raysWritten = 0;
  // With a spectrum: the flux in watts and lumens, the luminous efficacy of
  // radiation and the colour (spectral_summary); empty without one.
  std::string spectrumSummary;
};

// Performs one run against the process-wide random state.
RunReport generate(const GenerationSettings& settings, RunObserver& observer);
// The same against an explicit random state (tests use a fresh one to act as
// a new process).
RunReport generate(const GenerationSettings& settings, RunObserver& observer, ProcessRandomState& randomState);

// The texts a run's outcome is shown with.
inline constexpr const char* kSuccessNotice = " Source File Created Succesfully!!! ";
inline constexpr const char* kLowFluxNotice = "GENERATION ERROR!!! \n PLEASE REGENERATE!!! ";

// Refuses (UserError naming the format) a format with no place for a
// wavelength, as a run with a spectrum and the estimate of one do.
void refuse_format_without_wavelength(OutputFormat format);

// The run's spectrum: the file's, or the one line; none without either.
// Throws SpectrumError (naming the file and line).
std::optional<Spectrum> read_run_spectrum(const GenerationSettings& settings);

}  // namespace lucidra
