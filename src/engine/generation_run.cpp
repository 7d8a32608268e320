#include "engine/generation_run.h"

#include <algorithm>
#include <charconv>
#include <thread>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "distributions/distribution_file.h"
#include "distributions/number_text.h"
#include "sampling/level_lookup.h"
#include "base/user_error.h"
#include "engine/parallel_phases.h"
#include "engine/writing_phase.h"
#include "output/ray_file.h"
#include "random/park_miller.h"
#include "random/random_state.h"
#include "sampling/ray_sampler.h"

namespace lucidra {
namespace {

constexpr const char* kRunCaption = "Lucidra";
constexpr const char* kAsapRefusal = " ASAP is not supported in this version of Lucidra";
constexpr const char* kLightToolsRefusal = " LightTools is not supported in this version of Lucidra";
constexpr const char* kConfirmation =
    " Begin generation of Source File? \n\n Existing file will be overritten!!!";
constexpr const char* kFluxStatus = "Calculation Flux...";
constexpr const char* kWritingStatus = "Writing to file...";
constexpr const char* kLongitudinalLimit =
    "  ERROR: \n Decrease number of points \n in longitidual file \n Maximum is 450";
constexpr const char* kTransversalLimit =
    "  ERROR: \n Decrease number of points \n in transversal file \n Maximum is 450";
constexpr const char* kSuccessNotice = " Source File Created Succesfully!!! ";
constexpr const char* kFailureNotice = "GENERATION ERROR!!! \n PLEASE REGENERATE!!! ";

constexpr std::int32_t kMaxPoints = 450;
constexpr double kSuccessThreshold = 1.0;
constexpr std::int32_t kUniformStartSeed = 10;
constexpr std::int32_t kSobolStartSeed = 100;

// Reports gauge positions to the front end only when the shown position moves.
class Gauge {
 public:
  explicit Gauge(RunFrontEnd& frontEnd) : frontEnd_(frontEnd) {}
  void set(std::int64_t position) {
    if (position > 1000) position = 1000;
    if (position < 0) position = 0;
    if (position == shown_) return;
    shown_ = position;
    frontEnd_.set_gauge_position(position);
  }
  // Every position the sequential loop would set for counters first..last,
  // where the position is base + span * counter / n: only the changes.
  void sweep(std::int64_t first, std::int64_t last, std::int64_t base, std::int64_t span, std::int64_t n) {
    std::int64_t s = first;
    while (s <= last) {
      const std::int64_t position = base + span * s / n;
      set(position);
      if (position >= 1000) return;
      const std::int64_t nextStep = ((position - base + 1) * n + span - 1) / span;
      s = std::max(s + 1, nextStep);
    }
  }
  void reset() {
    shown_ = 0;
    frontEnd_.set_gauge_position(0);
  }

 private:
  RunFrontEnd& frontEnd_;
  std::int64_t shown_ = 0;
};

struct SequentialDraws {
  SobolState& sobolState;
  RuntimeGenerator& runtime;
  int dimension;
  std::int32_t sobolSeed;
  std::int32_t uniformSeed;

  void sobol(float* q) { i4_sobol(dimension, sobolSeed, q, sobolState); }
  bool sobol_exhausted() const { return sobolSeed >= kSobolSeedLimit; }
  std::int32_t uniform(std::int32_t a, std::int32_t b) { return uniform_int(a, b, uniformSeed); }
  std::int32_t below(std::int32_t k) { return random_below(runtime, k); }
  std::int64_t below_wide(std::int64_t k) { return random_below_wide(runtime, k); }
};

std::string fixed6(double value, char separator) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == '.') c = separator;
  }
  return text;
}

// Refuses tables a run cannot work with before anything is written.
void check_table(const AngularDistribution& table, const std::string& fileName) {
  if (table.count < 1) {
    throw UserError("Distribution file " + fileName +
                    " has no value on its first line; a run needs at least one abscissa");
  }
  if (table.intensityCount < table.count) {
    throw UserError("Distribution file " + fileName + " has " + std::to_string(table.count) +
                    " values on its first line but only " + std::to_string(table.intensityCount) +
                    " on its third line");
  }
}

void refill_series(RunFrontEnd& frontEnd, ChartSeries series, const AngularDistribution& table) {
  const int n = table.stored_count();
  for (int k = 1; k <= n - 1; ++k) {
    frontEnd.add_series_point(series, table.angle[k], table.intensity[k], kColourRed);
  }
}

double checked_na(const GenerationSettings& settings) {
  double na = parse_real(settings.numericalAperture, settings.fieldDecimalSeparator);
  // The NA field lets through texts that equal 1 in single precision.
  if (na > 1 && static_cast<float>(na) == 1.0f) na = 1;
  if (!(na >= 0 && na <= 1)) {
    throw UserError("NA '" + settings.numericalAperture + "' must lie between 0 and 1");
  }
  return na;
}

// theta max for every sample and ray of the run.
double cap_angle(const GenerationSettings& settings, const AngularDistribution& longitudinal,
                 const AngularDistribution& transversal) {
  if (settings.angularType == AngularType::Lambertian || settings.angularType == AngularType::Uniform) {
    return std::asin(checked_na(settings));
  }
  const long double lastL = longitudinal.angle[longitudinal.stored_count()] * sampling::kPi * sampling::kInv180;
  const long double lastT = transversal.angle[transversal.stored_count()] * sampling::kPi * sampling::kInv180;
  return static_cast<double>(lastL > lastT ? lastL : lastT);
}

// trunc(v) for an arc bound, refusing grids too fine to count in 62 bits.
std::int64_t arc_bound(double scaled, const char* what, double value) {
  if (!(std::fabs(scaled) < 4.6e18)) {
    char shown[32];
    std::snprintf(shown, sizeof shown, "%g", value);
    throw UserError(std::string("Arc ") + what + " " + shown + " mm is too large to sample on the 1e-9 mm grid");
  }
  return static_cast<std::int64_t>(scaled);
}

bool fits_int32(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

RunReport run_generation(RunFrontEnd& frontEnd) {
  return run_generation(frontEnd, process_random_state());
}

RunReport run_generation(RunFrontEnd& ui, ProcessRandomState& randomState, EngineMode mode) {
  RunReport report;
  const OutputFormat selected = ui.selected_format();
  if (selected == OutputFormat::Asap || selected == OutputFormat::LightTools) {
    ui.message_box(kRunCaption, selected == OutputFormat::Asap ? kAsapRefusal : kLightToolsRefusal,
                   message_flags::Ok | message_flags::IconInformation);
    report.outcome = RunOutcome::Refused;
    return report;
  }
  if (ui.message_box(kRunCaption, kConfirmation, message_flags::YesNo | message_flags::IconExclamation) !=
      DialogButton::Yes) {
    report.outcome = RunOutcome::Cancelled;
    return report;
  }

  const GenerationSettings settings = ui.read_settings();
  Gauge gauge(ui);
  std::unique_ptr<RayFileWriter> writer;
  WritingPhaseResult phase;
  try {
    gauge.reset();
    ui.hide_format_pictures();
    ui.hide_chart();
    ui.repaint_window();

    randomState.runtime.seed(ui.clock_seconds());

    ui.clear_series(ChartSeries::Longitudinal);
    ui.clear_series(ChartSeries::Transversal);
    const AngularDistribution longitudinal =
        read_distribution_file(settings.longitudinalFile, settings.fileDecimalSeparator);
    check_table(longitudinal, settings.longitudinalFile);
    if (!settings.legacySampling) check_linear_table(longitudinal, settings.longitudinalFile);
    refill_series(ui, ChartSeries::Longitudinal, longitudinal);
    const AngularDistribution transversal =
        read_distribution_file(settings.transversalFile, settings.fileDecimalSeparator);
    check_table(transversal, settings.transversalFile);
    if (!settings.legacySampling) check_linear_table(transversal, settings.transversalFile);
    refill_series(ui, ChartSeries::Transversal, transversal);

    const std::int64_t n = settings.rayCount;
    if (n < 1) {
      throw UserError("Number of Rays must be at least 1 (it is " + std::to_string(n) + ")");
    }
    if (settings.considerSourceFlux && settings.sourceFlux == 0) {
      throw UserError("Source Flux must not be 0 when \"Consider Sorce Flux\" is checked");
    }
    ui.set_gauge_visible(true);
    ui.set_status_text(kFluxStatus);

    writer = std::make_unique<RayFileWriter>(settings.outputPath);
    report.fileOpened = true;
    writer->write(settings.outputFormat == OutputFormat::TracePro ? tracepro_header({longitudinal.angle[1], longitudinal.angle[5], longitudinal.angle[14]})
                                                                  : zemax_header(settings.rayCount));

    if (longitudinal.count > kMaxPoints || transversal.count > kMaxPoints) {
      writer->close();  // the file keeps its header
      ui.show_notice(longitudinal.count > kMaxPoints ? kLongitudinalLimit : kTransversalLimit);
      ui.show_format_picture(settings.outputFormat);
      ui.set_gauge_visible(false);
      ui.set_status_text("");
      report.outcome = RunOutcome::PointLimit;
      return report;
    }

    double weightSum = 0;
    // The linear rule reads a descending table in ascending order, so its
    // extents (cap angle, arc radius and length) are its largest abscissae.
    const LookupRule rule = settings.legacySampling ? LookupRule::Legacy : LookupRule::Linear;
    const AngularDistribution runLongitudinal =
        settings.legacySampling ? longitudinal : ascending_table(longitudinal);
    const AngularDistribution runTransversal = settings.legacySampling ? transversal : ascending_table(transversal);
    const LevelLookup longitudinalLookup(runLongitudinal, LevelKind::Longitudinal, rule);
    const LevelLookup transversalLookup(runTransversal, LevelKind::Transversal, rule);
    SamplingPlan plan;
    plan.ledMode = settings.ledMode;
    plan.algorithm = settings.randomAlgorithm;
    plan.angularType = settings.angularType;
    plan.planeShape = settings.planeShape;
    plan.squareShape = settings.squareShape;
    plan.doubleSide = settings.doubleSide;
    plan.balance = settings.balance;
    plan.legacySampling = settings.legacySampling;
    plan.extentAboutZ = settings.extentAboutZ;
    plan.sourceFlux = settings.sourceFlux;
    plan.rayCount = n;
    plan.uniformFlux = static_cast<double>(settings.sourceFlux) / static_cast<double>(n + 1);
    plan.longitudinal = &longitudinalLookup;
    plan.transversal = &transversalLookup;
    plan.sizeX = parse_real(settings.sizeX, settings.fieldDecimalSeparator);
    plan.sizeY = parse_real(settings.sizeY, settings.fieldDecimalSeparator);
    if (settings.planeShape == PlaneShape::Elliptical) {
      plan.semiAxisX = plan.sizeX * 0.5;
      plan.semiAxisY = plan.sizeY * 0.5;
    }
    if (!plan.ledMode) {
      plan.arcRadius = runTransversal.angle[runTransversal.stored_count()];
      plan.arcLength = runLongitudinal.angle[runLongitudinal.stored_count()];
      plan.radiusBound = arc_bound(2 * sampling::kResolution * plan.arcRadius, "radius", plan.arcRadius);
      plan.lengthBound = arc_bound(sampling::kResolution * plan.arcLength, "length", plan.arcLength);
      plan.radiusBoundWide = !fits_int32(plan.radiusBound);
      plan.lengthBoundWide = !fits_int32(plan.lengthBound);
      plan.azimuthBound = static_cast<std::int32_t>(sampling::kResolution * settings.extentAboutZ * sampling::kInv360);
      plan.elevationSpan = sampling::kPi - (settings.arcMarginADeg + settings.arcMarginBDeg) * sampling::kPi * sampling::kInv180;
      plan.elevationStart = settings.arcMarginBDeg * sampling::kPi * sampling::kInv180 - sampling::kHalfPi;
    }

    const bool sequential = mode == EngineMode::Sequential;
    const unsigned threads =
        settings.threads != 0 ? settings.threads : std::max(1u, std::thread::hardware_concurrency());
    const bool usesSobol = plan.algorithm == RandomAlgorithm::Sobol;
    const int dimension = plan.sobol_dimension();
    SequentialDraws draws{randomState.sobol, randomState.runtime, dimension, kSobolStartSeed, kUniformStartSeed};
    std::int32_t sobolStart = kSobolStartSeed;
    Levels levels;
    bool capReady = false;
    auto prepare_cap = [&] {
      if (capReady || !plan.ledMode) return;
      plan.capAngle = cap_angle(settings, runLongitudinal, runTransversal);
      plan.oneMinusCosCap = 1 - std::cos(plan.capAngle);
      capReady = true;
    };
    PhaseHooks hooks;
    hooks.stopRequested = [&] { return ui.stop_requested(); };

    if (settings.considerSourceFlux) {
      sobolStart = random_below(randomState.runtime, 100) + 1;
      random_below(randomState.runtime, 100);
      draws.sobolSeed = sobolStart;
      prepare_cap();
      if (sequential) {
        for (std::int64_t i = 1; i <= n + 1; ++i) {
          gauge.set(500 * i / n);
          weightSum += flux_sample_weight(plan, draws, levels);
          if ((i & 0xFFFF) == 0 && ui.stop_requested()) {
            throw RunInterrupted("Generation interrupted during the flux calculation");
          }
        }
      } else {
        PhaseStart start;
        start.uniformSeed = kUniformStartSeed;
        start.runtime = randomState.runtime;
        if (usesSobol) start.sobol = sobol_begin_pass(dimension, sobolStart, randomState.sobol);
        start.sobolTable = &randomState.sobol;
        hooks.progressRange = [&](std::int64_t first, std::int64_t last) { gauge.sweep(first, last, 0, 500, n); };
        PhaseEnd end;
        weightSum = flux_phase_parallel(plan, start, levels, threads, hooks, end);
        if (end.lastSobolSeed >= 0) {
          sobol_end_pass(dimension, start.sobol, static_cast<std::int32_t>(end.lastSobolSeed), randomState.sobol);
        }
        randomState.runtime = end.runtime;
        draws.uniformSeed = end.uniformSeed;
      }
    }

    const double divisor = settings.considerSourceFlux
                               ? weightSum / settings.sourceFlux
                               : static_cast<double>(random_below(randomState.runtime,
                                                                  static_cast<std::int32_t>(n)));
    plan.fluxDivisor = divisor;
    report.fluxDivisor = divisor;

    ui.set_status_text(kWritingStatus);
    const std::int64_t base = settings.considerSourceFlux ? 500 : 0;
    const std::int64_t span = settings.considerSourceFlux ? 500 : 1000;
    draws.sobolSeed = sobolStart;
    gauge.set(base + span * 2 / n);
    try {
      prepare_cap();  // the first ray needs the cap angle before its flux
    } catch (const UserError&) {
      // The first attempt has already drawn its Sobol point when it needs the
      // aperture; later runs of this process depend on that.
      if (usesSobol) {
        float q[3];
        std::int32_t seed = sobolStart;
        i4_sobol(dimension, seed, q, randomState.sobol);
      }
      throw;
    }
    if (flux_uses_divisor(plan) && (divisor == 0 || !std::isfinite(divisor))) {
      throw UserError("The flux divisor is " + fixed6(divisor, '.') +
                      ", so the ray flux cannot be computed; generate again" +
                      (settings.considerSourceFlux ? " with other distribution files"
                                                   : " (the divisor is drawn at random; "
                                                     "with 1 ray it is always 0)"));
    }

    if (sequential) {
      write_rays_sequential(
          plan, draws, levels, *writer, [&](std::int64_t s) { gauge.set(base + span * s / n); },
          [&] { return ui.stop_requested(); }, phase);
    } else {
      PhaseStart start;
      start.uniformSeed = draws.uniformSeed;
      start.runtime = randomState.runtime;
      if (usesSobol) start.sobol = sobol_begin_pass(dimension, sobolStart, randomState.sobol);
      start.sobolTable = &randomState.sobol;
      hooks.progressRange = [&](std::int64_t first, std::int64_t last) { gauge.sweep(first, last, base, span, n); };
      PhaseEnd end;
      try {
        writing_phase_parallel(plan, start, levels, *writer, threads, hooks, phase, end);
      } catch (...) {
        if (end.lastSobolSeed >= 0) {
          sobol_end_pass(dimension, start.sobol, static_cast<std::int32_t>(end.lastSobolSeed), randomState.sobol);
        }
        throw;
      }
      if (end.lastSobolSeed >= 0) {
        sobol_end_pass(dimension, start.sobol, static_cast<std::int32_t>(end.lastSobolSeed), randomState.sobol);
      }
    }
    report.obtainedFlux = phase.obtainedFlux;

    ui.set_obtained_flux_text(fixed6(report.obtainedFlux, settings.fieldDecimalSeparator));
    writer->close();
    report.raysWritten = phase.raysWritten;
    if (settings.notifyEnd) ui.beep(3000, 300);
    const bool success = report.obtainedFlux >= kSuccessThreshold;
    ui.show_notice(success ? kSuccessNotice : kFailureNotice);
    ui.show_format_picture(settings.outputFormat);
    ui.set_gauge_visible(false);
    ui.set_status_text("");
    report.outcome = success ? RunOutcome::Succeeded : RunOutcome::LowFlux;
    return report;
  } catch (const UserError& error) {
    const bool interrupted = dynamic_cast<const RunInterrupted*>(&error) != nullptr;
    const std::int64_t written = phase.raysWritten;
    std::string message = error.what();
    if (writer && writer->is_open()) {
      try {
        writer->close();
      } catch (const UserError&) {
        // The first failure is the one to report.
      }
      message += "\nThe ray file " + settings.outputPath + " is incomplete: " + std::to_string(written) +
                 " of " + std::to_string(static_cast<std::int64_t>(settings.rayCount) + 1) +
                 " rays were written.";
    } else if (report.fileOpened) {
      // The file was given up after a failed write or close: some rays may
      // not have reached it.
      message += "\nThe ray file " + settings.outputPath + " is incomplete.";
    }
    report.outcome = interrupted ? RunOutcome::Interrupted : RunOutcome::Failed;
    report.message = message;
    report.raysWritten = written;
    ui.show_error(message);
    return report;
  }
}

}  // namespace lucidra
