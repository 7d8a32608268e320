#pragma once
// What a run settles before its first ray: the tables read and checked, and
// the plan every ray follows. Shared by the run and by the one-ray-after-
// another reference the tests compare it with.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "distributions/distribution_file.h"
#include "engine/generation_run.h"
#include "engine/settings.h"
#include "output/ray_file.h"
#include "photometry/spectrum.h"
#include "sampling/angular_law.h"
#include "sampling/arc_source.h"
#include "sampling/direction_sampler.h"
#include "sampling/level_lookup.h"
#include "sampling/ray_sampler.h"

namespace lucidra {

inline constexpr std::int32_t kMaxTablePoints = 450;
inline constexpr std::int32_t kUniformStartSeed = 10;
inline constexpr std::int32_t kSobolStartSeed = 100;
// Where the equal-flux and weighted samplings start the Sobol sequence.
inline constexpr std::int32_t kEqualFluxSobolStart = 1;
// Their pseudo-random draws start from the run's clock, so that runs with
// different clock seeds are independent sets (a user can then estimate the
// noise of a result from a few of them); the same seed gives the same file.
inline std::int32_t equal_flux_uniform_seed(std::int64_t clockSeconds) {
  constexpr std::int64_t kStates = 2147483646;  // 1 .. 2^31 - 2
  const std::int64_t r = clockSeconds % kStates;
  return static_cast<std::int32_t>(1 + (r < 0 ? r + kStates : r));
}

struct RunTables {
  AngularDistribution longitudinal, transversal;        // as the files hold them
  AngularDistribution runLongitudinal, runTransversal;  // as the lookups read them
  LevelLookup longitudinalLookup, transversalLookup;
  // Equal-flux and weighted sampling: the law (LED mode) and its sampler,
  // or the arc source.
  std::unique_ptr<AngularLaw> law;
  std::unique_ptr<DirectionSampler> directions;
  std::unique_ptr<ArcSource> arc;
  // The rays' total flux: the settings', or a photometric file's own.
  double sourceFlux = 0;
  // The spectrum every ray's wavelength is drawn from, if any.
  std::optional<Spectrum> spectrum;

  // The notice of a table over the point limit, or empty.
  std::string point_limit_notice() const;
};

// The run's two tables as read: from the two distribution files, or from
// the two planes of a photometric file. Refuses what a run cannot use
// (the linear rule's order and sign checks unless legacy sampling is on),
// naming the file. Throws UserError.
struct TablePair {
  AngularDistribution longitudinal, transversal;
  std::string longitudinalName, transversalName;  // for messages and reports
};
TablePair read_table_pair(const GenerationSettings& settings);

// Whether the run draws from a photometric file's whole solid (LED mode,
// User Defined, not legacy); otherwise the file's two planes stand in for
// the tables.
bool uses_photometric_solid(const GenerationSettings& settings);

// How the run's rays are drawn: legacy, weighted or (by default) equal flux.
SamplingMode sampling_mode(const GenerationSettings& settings);

// The angular law a run with these settings emits (LED mode), from its
// tables (ascending, as `ascending_table` gives them; unused by
// Lambertian and Uniform). Legacy settings give the law their files were
// compared with. Throws UserError for settings that describe no law.
std::unique_ptr<AngularLaw> make_angular_law(const GenerationSettings& settings,
                                             const AngularDistribution& longitudinal,
                                             const AngularDistribution& transversal, const std::string& source);

// Refuses settings no run can use: no rays, a considered source flux of 0,
// a format that is not written (LightTools, ASAP), an NA outside 0..1.
// Throws UserError.
void check_run_settings(const GenerationSettings& settings);

// Reads both distribution files, longitudinal first, and refuses what a run
// cannot use. `observer` receives each table's chart points once it is read.
// Throws UserError naming the file.
std::unique_ptr<RunTables> read_run_tables(const GenerationSettings& settings, RunObserver* observer);

// Everything a ray needs that stays fixed for the run, but the divisor K.
SamplingPlan make_sampling_plan(const GenerationSettings& settings, const RunTables& tables);

// Why the flux cannot be divided by K (0 or not finite), or empty.
std::string divisor_refusal(double divisor, bool considered);

// What became of the output of a run that stopped after opening it: a
// replaced file is unchanged, a new one was not created, a device or pipe
// holds the rays written so far.
std::string output_fate(const RayFileWriter& writer, std::int64_t written, std::int64_t wanted);

}  // namespace lucidra
