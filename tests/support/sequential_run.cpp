#include "support/sequential_run.h"

#include <algorithm>
#include <optional>

#include "base/user_error.h"
#include "engine/run_setup.h"
#include "engine/writing_phase.h"
#include "output/ray_file.h"
#include "random/park_miller.h"

namespace lucidra::testing {
namespace {

struct SequentialDraws {
  SobolState& sobolState;
  RuntimeGenerator& runtime;
  int dimension;
  std::int32_t sobolSeed;
  std::int32_t uniformSeed;

  void sobol(float* q) { i4_sobol(dimension, sobolSeed, q, sobolState); }
  // The equal-flux and weighted samplings' point: computed from its seed
  // alone, from the Gray code, not stepped as the workers step it.
  void sobol_unit(double* q) {
    for (int d = 0; d < dimension; ++d) {
      q[d] = static_cast<double>(sobol_integer_coordinate(sobolState, d, sobolSeed)) / 1073741824.0;
    }
    ++sobolSeed;
  }
  double unit() { return uniform01(uniformSeed); }
  std::int32_t uniform(std::int32_t a, std::int32_t b) { return uniform_int(a, b, uniformSeed); }
  std::int32_t below(std::int32_t k) { return random_below(runtime, k); }
  std::int64_t below_wide(std::int64_t k) { return random_below_wide(runtime, k); }
};

}  // namespace

RunReport sequential_run(const GenerationSettings& settings, RunObserver& observer, ProcessRandomState& state) {
  RunReport report;
  std::optional<RayFileWriter> writer;
  std::int64_t written = 0;
  std::int64_t shown = 0;
  const auto gauge = [&](std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, 1000);
    if (position == shown) return;
    shown = position;
    observer.progress(position, 0);
  };
  const std::int64_t n = settings.rayCount;
  try {
    observer.progress(0, 0);
    state.runtime.seed(settings.clockSeconds);
    const auto tables = read_run_tables(settings, &observer);
    check_run_settings(settings);
    SamplingPlan plan = make_sampling_plan(settings, *tables);
    observer.phase_started(RunPhase::Flux);
    writer.emplace(settings.outputPath);
    writer->write(settings.outputFormat == OutputFormat::TracePro
                      ? tracepro_header({tables->longitudinal.angle[1], tables->longitudinal.angle[5],
                                         tables->longitudinal.angle[14]})
                      : zemax_header(settings.rayCount));
    if (!tables->point_limit_notice().empty()) {
      writer->commit();
      report.outcome = RunOutcome::PointLimit;
      report.message = tables->point_limit_notice();
      return report;
    }

    if (plan.modern()) {
      // Every ray from its own index, from a fresh start.
      SobolState table;
      if (plan.algorithm == RandomAlgorithm::Sobol) sobol_prepare(plan.sobol_dimension(), table);
      Levels unused;
      if (plan.mode == SamplingMode::Weighted) {
        SequentialDraws weights{table, state.runtime, plan.sobol_dimension(), kEqualFluxSobolStart,
                                equal_flux_uniform_seed(settings.clockSeconds)};
        double sum = 0;
        for (std::int64_t i = 0; i <= n; ++i) sum += flux_sample_weight(plan, weights, unused);
        plan.fluxDivisor = sum / plan.sourceFlux;
        report.fluxDivisor = plan.fluxDivisor;
      }
      SequentialDraws fresh{table, state.runtime, plan.sobol_dimension(), kEqualFluxSobolStart,
                            equal_flux_uniform_seed(settings.clockSeconds)};
      observer.phase_started(RunPhase::Writing);
      RayRecord ray;
      for (std::int64_t i = 0; i <= n; ++i) {
        ray_attempt(plan, fresh, unused, ray);
        if (!is_finite_ray(ray)) refuse_non_finite_ray(i + 1);
        writer->write_ray(ray);
        report.obtainedFlux += ray.flux;
        ++written;
      }
      writer->commit();
      report.raysWritten = written;
      report.outcome = RunOutcome::Succeeded;
      return report;
    }
    SequentialDraws draws{state.sobol, state.runtime, plan.sobol_dimension(), kSobolStartSeed, kUniformStartSeed};
    std::int32_t sobolStart = kSobolStartSeed;
    Levels levels;
    double weightSum = 0;
    if (settings.considerSourceFlux) {
      sobolStart = random_below(state.runtime, 100) + 1;
      random_below(state.runtime, 100);
      draws.sobolSeed = sobolStart;
      for (std::int64_t i = 1; i <= n + 1; ++i) {
        gauge(500 * i / n);
        weightSum += flux_sample_weight(plan, draws, levels);
      }
    }
    const double divisor = settings.considerSourceFlux
                               ? weightSum / settings.sourceFlux
                               : static_cast<double>(random_below(state.runtime, static_cast<std::int32_t>(n)));
    plan.fluxDivisor = divisor;
    report.fluxDivisor = divisor;

    observer.phase_started(RunPhase::Writing);
    const std::int64_t base = settings.considerSourceFlux ? 500 : 0;
    const std::int64_t span = settings.considerSourceFlux ? 500 : 1000;
    draws.sobolSeed = sobolStart;
    gauge(base + span * 2 / n);
    if (flux_uses_divisor(plan)) {
      const std::string refusal = divisor_refusal(divisor, settings.considerSourceFlux);
      if (!refusal.empty()) throw UserError(refusal);
    }
    RayRecord ray;
    for (std::int64_t s = 2; s <= n + 2;) {
      gauge(base + span * s / n);
      if (plan.algorithm == RandomAlgorithm::Sobol && draws.sobolSeed >= kSobolSeedLimit) refuse_exhausted(s - 2);
      if (!ray_attempt(plan, draws, levels, ray)) continue;
      if (!is_finite_ray(ray)) refuse_non_finite_ray(s - 1);
      writer->write_ray(ray);
      report.obtainedFlux += ray.flux;
      ++written;
      ++s;
      if ((s & 0xFFFF) == 0 && observer.stop_requested()) throw RunInterrupted("Generation interrupted");
    }
    writer->commit();
    report.raysWritten = written;
    report.outcome = report.obtainedFlux >= 1.0 ? RunOutcome::Succeeded : RunOutcome::LowFlux;
    return report;
  } catch (const UserError& error) {
    report.outcome = dynamic_cast<const RunInterrupted*>(&error) ? RunOutcome::Interrupted : RunOutcome::Failed;
    report.message = error.what();
    report.raysWritten = written;
    if (writer) {
      writer->discard();
      report.message += output_fate(*writer, written, n + 1);
    }
    return report;
  }
}

}  // namespace lucidra::testing
