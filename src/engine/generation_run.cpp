#include "engine/generation_run.h"
#include "engine/input_guard.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "base/user_error.h"
#include "engine/parallel_phases.h"
#include "engine/run_setup.h"
#include "engine/writing_phase.h"
#include "lucidra/version.h"
#include "output/binary_ray_file.h"
#include "output/ray_file.h"
#include "photometry/photometric_import.h"
#include "photometry/photometric_solid.h"
#include "random/random_state.h"
#include "random/sobol.h"
#include "sampling/photometric_law.h"

namespace lucidra {
namespace {

constexpr const char* kLongitudinalLimit =
    "  ERROR: \n Decrease number of points \n in longitidual file \n Maximum is 450";
constexpr const char* kTransversalLimit =
    "  ERROR: \n Decrease number of points \n in transversal file \n Maximum is 450";
constexpr double kSuccessThreshold = 1.0;

// Reports gauge positions only when the shown position moves.
class ProgressMeter {
 public:
  explicit ProgressMeter(RunObserver& observer) : observer_(observer) {}
  void set(std::int64_t position, std::int64_t done) {
    position = std::clamp<std::int64_t>(position, 0, 1000);
    if (position == shown_) return;
    shown_ = position;
    observer_.progress(position, done);
  }
  // Every position a one-ray-after-another loop would set for the counters
  // first..last, where the position is base + span * counter / n: only the
  // changes.
  void sweep(std::int64_t first, std::int64_t last, std::int64_t base, std::int64_t span, std::int64_t n,
             std::int64_t counterOffset) {
    std::int64_t s = first;
    while (s <= last) {
      const std::int64_t position = base + span * s / n;
      set(position, s - counterOffset);
      if (position >= 1000) return;
      const std::int64_t nextStep = ((position - base + 1) * n + span - 1) / span;
      s = std::max(s + 1, nextStep);
    }
  }
  void reset() {
    shown_ = 0;
    observer_.progress(0, 0);
  }

 private:
  RunObserver& observer_;
  std::int64_t shown_ = 0;
};

std::string shown_number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
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

std::vector<PlotPoint> chart_points(const AngularDistribution& table) {
  std::vector<PlotPoint> points;
  const int n = table.stored_count();
  for (int k = 1; k <= n - 1; ++k) points.push_back({table.angle[k], table.intensity[k]});
  return points;
}

// theta max for every sample and ray of the run.
double cap_angle(const GenerationSettings& settings, const AngularDistribution& longitudinal,
                 const AngularDistribution& transversal) {
  if (settings.angularType == AngularType::Lambertian || settings.angularType == AngularType::Uniform) {
    return std::asin(settings.numericalAperture);
  }
  const long double lastL = longitudinal.angle[longitudinal.stored_count()] * sampling::kPi * sampling::kInv180;
  const long double lastT = transversal.angle[transversal.stored_count()] * sampling::kPi * sampling::kInv180;
  return static_cast<double>(lastL > lastT ? lastL : lastT);
}

// trunc(v) for an arc bound, refusing grids too fine to count in 62 bits.
std::int64_t arc_bound(double scaled, const char* what, double value) {
  if (!(std::fabs(scaled) < 4.6e18)) {
    throw UserError(std::string("Arc ") + what + " " + shown_number(value) +
                    " mm is too large to sample on the 1e-9 mm grid");
  }
  return static_cast<std::int64_t>(scaled);
}

bool fits_int32(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

std::string fixed6(double value) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

const char* angular_name(AngularType type) {
  switch (type) {
    case AngularType::Lambertian: return "Lambertian";
    case AngularType::Uniform: return "Uniform";
    case AngularType::UserDefined: return "User Defined";
    case AngularType::Gaussian: return "Gaussian";
  }
  return "?";
}

// A file's name without its folders, for the header texts.
std::string file_name_only(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The settings a binary header describes its rays with: short enough (under
// 100 bytes for the usual values) for the Zemax description.
std::string settings_summary(const GenerationSettings& s) {
  std::string text = s.ledMode ? "LED" : "arc";
  text += s.randomAlgorithm == RandomAlgorithm::Sobol ? ", Sobol" : ", Uniform";
  if (s.ledMode) {
    text += ", ";
    text += angular_name(s.angularType);
    if (s.angularType == AngularType::Lambertian || s.angularType == AngularType::Uniform) {
      text += " NA " + shown_number(s.numericalAperture);
    }
    text += ", " + shown_number(s.sizeXmm) + "x" + shown_number(s.sizeYmm) + " mm";
    text += s.planeShape == PlaneShape::Elliptical ? " ellipse" : " rect";
    if (s.doubleSide) text += ", double side " + std::to_string(s.balance);
  }
  text += ", " + std::to_string(static_cast<std::int64_t>(s.rayCount) + 1) + " rays";
  if (s.considerSourceFlux) text += ", " + shown_number(s.sourceFlux) + " " + flux_unit_symbol(s.fluxUnit);
  if (s.legacySampling) text += ", legacy";
  if (!s.spectrumFile.empty()) text += ", spectrum " + file_name_only(s.spectrumFile);
  if (s.spectrumFile.empty() && s.wavelengthNm != 0) text += ", " + shown_number(s.wavelengthNm) + " nm";
  return text;
}

// Writes the header of the run's format (see its entry in ray_format.cpp);
// a header that states the count or flux is written again at commit with
// what the file holds, where the output allows.
void begin_output(RayFileWriter& writer, const GenerationSettings& settings, const RunTables& tables,
                  std::uint64_t plannedRays) {
  const RayFormat& format = ray_format(settings.outputFormat);
  if (format.rewriteHeader && !writer.header_rewritable()) {
    // A pipe or a terminal: the header goes out before the rays.
    if (format.dropsZeroFlux) {
      throw UserError(std::string(format.displayName) + " ray file " + writer.path() + ": a " +
                      std::string(format.displayName) +
                      " header gives the number of rays, known only at the end of the run, so it "
                      "cannot be written to a pipe or a terminal; write it to a file");
    }
    if (format.fluxInHeader && settings.legacySampling) {
      throw UserError(std::string(format.displayName) + " ray file " + writer.path() + ": its header gives the " +
                      "total flux before the rays, and legacy sampling knows it only at the end of the run, so it "
                      "cannot be written to a pipe or a terminal; write it to a file, or leave legacy sampling");
    }
  }
  HeaderFacts facts;
  facts.fluxUnit = settings.fluxUnit;
  facts.rayCount = settings.rayCount;
  facts.traceProAngles = {tables.longitudinal.angle[1], tables.longitudinal.angle[5], tables.longitudinal.angle[14]};
  facts.description = "Lucidra LED " LUCIDRA_VERSION "; " + settings_summary(settings);
  if (format.id == OutputFormat::Tm25) {
    Tm25Texts& texts = facts.tm25;
    texts.lightSource = std::string(settings.ledMode ? "LED" : "Arc") + " source from " +
                        file_name_only(settings.longitudinalFile) + " and " + file_name_only(settings.transversalFile);
    texts.creator = "Lucidra LED " LUCIDRA_VERSION;
    texts.software = "Lucidra LED " LUCIDRA_VERSION " (simulation)";
    texts.information = settings_summary(settings);
    texts.dataReference = "Longitudinal distribution: " + settings.longitudinalFile +
                          "; transversal distribution: " + settings.transversalFile;
  }
  // The run's clock, not the moment of writing: every thread count and
  // every rewrite of the header give the same bytes.
  facts.createdUnixSeconds = settings.clockSeconds;
  if (tables.spectrum) {
    const Spectrum& spectrum = *tables.spectrum;
    facts.spectral.spectral = true;
    facts.spectral.lineNm = spectrum.is_line() ? spectrum.first_nm() : 0.0;
    facts.spectral.minNm = spectrum.first_nm();
    facts.spectral.maxNm = spectrum.last_nm();
    facts.spectral.lumensPerWatt = spectrum.luminous_efficacy();
  }
  if (!format.rewriteHeader) {
    writer.write(format.header(facts, plannedRays, 0));
    if (tables.spectrum) writer.set_text_encoder(spectral_layout(format.id, settings.fluxUnit).encoder);
    return;
  }
  RayFileWriter::Layout layout;
  layout.header = [facts, build = format.header](std::uint64_t records, double flux) {
    return build(facts, records, flux);
  };
  layout.encoder = format.encoder;
  layout.recordBytes = format.recordBytes;
  if (tables.spectrum) {
    const SpectralLayout spectral = spectral_layout(format.id, settings.fluxUnit);
    layout.encoder = spectral.encoder;
    layout.recordBytes = spectral.recordBytes;
    layout.fluxOffset = spectral.fluxOffset;
  }
  layout.countInHeader = format.countInHeader;
  layout.trailer = std::string(format.trailer);
  layout.plannedRecords = plannedRays;
  // Every mode but legacy sampling makes the rays add up to the source
  // flux, so a header written first can state it.
  layout.plannedFlux = tables.sourceFlux;  // the photometric file's own when it gives the flux
  writer.begin(std::move(layout));
}

// The equal-flux and weighted runs: every ray's draws follow from its index
// from a fresh start (a run does not depend on the runs before it in the
// same process), and the fluxes add up to the source flux.
void run_phases(const GenerationSettings& settings, SamplingPlan& plan, RayFileWriter& writer, unsigned threads,
                RunObserver& observer, ProgressMeter& gauge, RunReport& report, WritingPhaseResult& phase) {
  const std::int64_t n = settings.rayCount;
  SobolState sobolTable;
  PhaseStart start;
  start.uniformSeed = equal_flux_uniform_seed(settings.clockSeconds);
  if (plan.algorithm == RandomAlgorithm::Sobol) {
    sobol_prepare(plan.sobol_dimension(), sobolTable);
    // From the second point on: the first is the cube's corner, a grazing
    // ray at the very edge of the law's support.
    start.sobol.startSeed = kEqualFluxSobolStart;
  }
  start.sobolTable = &sobolTable;
  PhaseHooks hooks;
  hooks.stopRequested = [&] { return observer.stop_requested(); };
  Levels unused;
  const bool weighted = plan.mode == SamplingMode::Weighted;
  if (weighted) {
    // The same rays twice: first their weights, whose sum makes the total
    // the source flux, then the rays themselves.
    hooks.progressRange = [&](std::int64_t first, std::int64_t last) { gauge.sweep(first, last, 0, 500, n, 0); };
    PhaseEnd end;
    const double weightSum = flux_phase(plan, start, unused, threads, hooks, end);
    if (!(weightSum > 0) || !std::isfinite(weightSum)) {
      throw UserError(
          "No ray of this run carries light (the law is 0 at every direction drawn); use more rays or "
          "the equal-flux sampling");
    }
    plan.fluxDivisor = weightSum / plan.sourceFlux;
    report.fluxDivisor = plan.fluxDivisor;
  }
  observer.phase_started(RunPhase::Writing);
  const std::int64_t base = weighted ? 500 : 0;
  const std::int64_t span = weighted ? 500 : 1000;
  gauge.set(base + span * 2 / n, 0);
  hooks.progressRange = [&](std::int64_t first, std::int64_t last) { gauge.sweep(first, last, base, span, n, 1); };
  PhaseEnd end;
  writing_phase(plan, start, unused, writer, threads, hooks, phase, end);
  writer.set_line_flux(phase.obtainedFlux);  // a text header's flux
  writer.commit();
  report.obtainedFlux = phase.obtainedFlux;
  report.raysWritten = phase.raysWritten;
  report.outcome = RunOutcome::Succeeded;
}

}  // namespace

std::string RunTables::point_limit_notice() const {
  if (longitudinal.count > kMaxTablePoints) return kLongitudinalLimit;
  if (transversal.count > kMaxTablePoints) return kTransversalLimit;
  return {};
}

void check_run_settings(const GenerationSettings& settings) {
  if (settings.rayCount < 1) {
    throw UserError("Number of Rays must be at least 1 (it is " + std::to_string(settings.rayCount) + ")");
  }
  if (settings.flipSolid && settings.photometricFile.empty()) {
    throw UserError("Flip turns a photometric solid over; it needs a photometric file (--photometric FILE)");
  }
  if (!settings.legacySampling && !settings.fluxFromPhotometricFile) {
    if (!(settings.sourceFlux > 0) || !std::isfinite(settings.sourceFlux)) {
      throw UserError("Source Flux must be a positive number (it is " + shown_number(settings.sourceFlux) + " " +
                      flux_unit_symbol(settings.fluxUnit) + ")");
    }
    if (settings.randomAlgorithm == RandomAlgorithm::Sobol && settings.rayCount >= kSobolSeedLimit - 1) {
      throw UserError("Number of Rays " + std::to_string(settings.rayCount) +
                      " is more than the quasi-random (Sobol) sequence holds (" + std::to_string(kSobolSeedLimit - 2) +
                      " at most); use fewer rays or the pseudo-random (Uniform) algorithm");
    }
  }
  if (settings.considerSourceFlux && settings.sourceFlux == 0) {
    throw UserError("Source Flux must not be 0 when \"Consider Sorce Flux\" is checked");
  }
  if (settings.spectral()) {
    if (settings.legacySampling) {
      throw UserError(
          "A spectrum (--spectrum or --wavelength) needs the equal-flux or weighted sampling; legacy "
          "sampling writes the rays of version 3.5, which carry no wavelength");
    }
    if (!settings.spectrumFile.empty() && settings.wavelengthNm != 0) {
      throw UserError("Give either a spectrum file or a single wavelength, not both");
    }
    refuse_format_without_wavelength(settings.outputFormat);
  }
  if (settings.outputFormat == OutputFormat::Asap && settings.rayCount == INT32_MAX) {
    throw UserError("Number of Rays " + std::to_string(settings.rayCount) +
                    " is too many for an ASAP file, which counts its rays in 32 bits; use at most 2147483646");
  }
  if (settings.outputFormat == OutputFormat::Tm25 && settings.considerSourceFlux && settings.sourceFlux < 0) {
    throw UserError("Source Flux " + shown_number(settings.sourceFlux) +
                    " would give every ray a negative flux; a TM-25 ray file holds positive flux");
  }
  if (!(settings.numericalAperture >= 0 && settings.numericalAperture <= 1)) {
    throw UserError("NA " + shown_number(settings.numericalAperture) + " must lie between 0 and 1");
  }
}

namespace {

LinearTable linear_table_of(const AngularDistribution& ascending) {
  std::vector<double> x, y;
  for (int k = 1; k <= ascending.stored_count(); ++k) {
    x.push_back(ascending.angle[static_cast<std::size_t>(k)]);
    y.push_back(ascending.intensity[static_cast<std::size_t>(k)]);
  }
  return LinearTable(std::move(x), std::move(y));
}

AngularDistribution table_of(const PlaneTable& plane) {
  AngularDistribution table;
  const std::size_t n = std::min<std::size_t>(plane.angleDeg.size(), kDistributionCapacity);
  table.count = table.intensityCount = static_cast<std::int32_t>(n);
  for (std::size_t k = 0; k < n; ++k) {
    table.angle[k + 1] = plane.angleDeg[k];
    table.intensity[k + 1] = plane.candela[k];
  }
  return table;
}

}  // namespace

TablePair read_table_pair(const GenerationSettings& settings) {
  TablePair pair;
  if (!settings.photometricFile.empty()) {
    const PhotometricImport imported = import_photometric_file(settings.photometricFile);
    pair.longitudinal = table_of(imported.longitudinal);
    pair.transversal = table_of(imported.transversal);
    pair.longitudinalName = settings.photometricFile + " (C0-C180)";
    pair.transversalName = settings.photometricFile + " (C90-C270)";
  } else if (!run_reads_tables(settings) && settings.longitudinalFile.empty() && settings.transversalFile.empty()) {
    // A Lambertian or uniform LED without tables: a flat pair stands in
    // for the charts; the law never reads it.
    for (AngularDistribution* table : {&pair.longitudinal, &pair.transversal}) {
      table->count = table->intensityCount = 2;
      table->angle[1] = 0;
      table->angle[2] = 90;
      table->intensity[1] = table->intensity[2] = 1;
    }
    pair.longitudinalName = pair.transversalName = "(no table: the law needs none)";
  } else {
    // The longitudinal file is read and checked completely first.
    pair.longitudinalName = settings.longitudinalFile;
    pair.longitudinal = read_distribution_file(settings.longitudinalFile, settings.fileDecimalSeparator);
    check_table(pair.longitudinal, pair.longitudinalName);
    if (!settings.legacySampling) check_linear_table(pair.longitudinal, pair.longitudinalName);
    pair.transversalName = settings.transversalFile;
    pair.transversal = read_distribution_file(settings.transversalFile, settings.fileDecimalSeparator);
  }
  check_table(pair.longitudinal, pair.longitudinalName);
  check_table(pair.transversal, pair.transversalName);
  if (!settings.legacySampling) {
    check_linear_table(pair.longitudinal, pair.longitudinalName);
    check_linear_table(pair.transversal, pair.transversalName);
  }
  return pair;
}

std::unique_ptr<RunTables> read_run_tables(const GenerationSettings& settings, RunObserver* observer) {
  auto tables = std::make_unique<RunTables>();
  TablePair pair = read_table_pair(settings);
  tables->longitudinal = pair.longitudinal;
  tables->transversal = pair.transversal;
  if (observer != nullptr) {
    observer->table_points(ChartSeries::Longitudinal, chart_points(tables->longitudinal));
    observer->table_points(ChartSeries::Transversal, chart_points(tables->transversal));
  }
  // The linear rule reads a descending table in ascending order, so its
  // extents (cap angle, arc radius and length) are its largest abscissae.
  const LookupRule rule = settings.legacySampling ? LookupRule::Legacy : LookupRule::Linear;
  tables->runLongitudinal = settings.legacySampling ? tables->longitudinal : ascending_table(tables->longitudinal);
  tables->runTransversal = settings.legacySampling ? tables->transversal : ascending_table(tables->transversal);
  tables->longitudinalLookup = LevelLookup(tables->runLongitudinal, LevelKind::Longitudinal, rule);
  tables->transversalLookup = LevelLookup(tables->runTransversal, LevelKind::Transversal, rule);
  const SamplingMode mode = sampling_mode(settings);
  tables->sourceFlux = settings.sourceFlux;
  if (mode == SamplingMode::Legacy) return tables;
  tables->spectrum = read_run_spectrum(settings);
  if (settings.fluxFromPhotometricFile && !settings.photometricFile.empty() && !uses_photometric_solid(settings)) {
    tables->sourceFlux = photometric_solid_file(settings.photometricFile).flux_lm();
  }
  if (!settings.ledMode) {
    tables->arc =
        std::make_unique<ArcSource>(linear_table_of(tables->runLongitudinal), linear_table_of(tables->runTransversal),
                                    settings.arcMarginADeg, settings.arcMarginBDeg, settings.extentAboutZ);
    return tables;
  }
  const std::string source = settings.photometricFile.empty()
                                 ? "x-z plane " + pair.longitudinalName + ", y-z plane " + pair.transversalName
                                 : "x-z and y-z planes of " + settings.photometricFile;
  tables->law = make_angular_law(settings, tables->runLongitudinal, tables->runTransversal, source);
  if (const auto* photometric = dynamic_cast<const PhotometricLaw*>(tables->law.get())) {
    if (settings.fluxFromPhotometricFile) tables->sourceFlux = photometric->solid().flux_lm();
  }
  if (mode == SamplingMode::EqualFlux) tables->directions = std::make_unique<DirectionSampler>(*tables->law);
  return tables;
}

void refuse_format_without_wavelength(OutputFormat format) {
  // Every unit has the same layouts but for the order of TM-25's columns.
  if (!spectral_layout(format, FluxUnit::Watt).encoder) {
    throw UserError(std::string(ray_format(format).displayName) +
                    " ray files have no place for a wavelength; write a spectral ray set as Zemax binary, TM-25, "
                    "LightTools or text");
  }
}

std::optional<Spectrum> read_run_spectrum(const GenerationSettings& settings) {
  if (!settings.spectrumFile.empty()) return read_spectrum_file(settings.spectrumFile);
  if (settings.wavelengthNm != 0) return Spectrum::line(settings.wavelengthNm);
  return std::nullopt;
}

SamplingPlan make_sampling_plan(const GenerationSettings& settings, const RunTables& tables) {
  SamplingPlan plan;
  plan.spectrum = tables.spectrum ? &*tables.spectrum : nullptr;
  plan.mode = sampling_mode(settings);
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
  plan.rayCount = settings.rayCount;
  plan.uniformFlux = static_cast<double>(settings.sourceFlux) / static_cast<double>(plan.rayCount + 1);
  plan.longitudinal = &tables.longitudinalLookup;
  plan.transversal = &tables.transversalLookup;
  plan.law = tables.law.get();
  plan.directions = tables.directions.get();
  plan.arc = tables.arc.get();
  plan.sourceFlux = tables.sourceFlux;
  plan.rayFlux = tables.sourceFlux / static_cast<double>(plan.rayCount + 1);
  plan.extentRadians = std::clamp(settings.extentAboutZ, 0, 360) * sampling::kPiOver180;
  if (plan.law != nullptr) {
    // Weighted rays: cos theta even over the forward cap and, when part of
    // the flux goes backwards, its mirror; one interval where they meet.
    const double cosCap = std::cos(plan.law->cap_angle());
    const double back = plan.law->mirrored_share();
    if (back > 0 && back < 1 && cosCap <= 0) {
      plan.weightedU[0][0] = -1;
      plan.weightedU[0][1] = 1;
      plan.weightedIntervals = 1;
    } else {
      if (back < 1) {
        plan.weightedU[plan.weightedIntervals][0] = cosCap;
        plan.weightedU[plan.weightedIntervals][1] = 1;
        ++plan.weightedIntervals;
      }
      if (back > 0) {
        plan.weightedU[plan.weightedIntervals][0] = -1;
        plan.weightedU[plan.weightedIntervals][1] = -cosCap;
        ++plan.weightedIntervals;
      }
    }
  }
  plan.sizeX = settings.sizeXmm;
  plan.sizeY = settings.sizeYmm;
  if (settings.planeShape == PlaneShape::Elliptical) {
    plan.semiAxisX = plan.sizeX * 0.5;
    plan.semiAxisY = plan.sizeY * 0.5;
  }
  if (plan.ledMode) {
    plan.capAngle = cap_angle(settings, tables.runLongitudinal, tables.runTransversal);
    plan.oneMinusCosCap = 1 - std::cos(plan.capAngle);
  } else {
    const AngularDistribution& l = tables.runLongitudinal;
    const AngularDistribution& t = tables.runTransversal;
    plan.arcRadius = t.angle[static_cast<std::size_t>(t.stored_count())];
    plan.arcLength = l.angle[static_cast<std::size_t>(l.stored_count())];
    plan.radiusBound = arc_bound(2 * sampling::kResolution * plan.arcRadius, "radius", plan.arcRadius);
    plan.lengthBound = arc_bound(sampling::kResolution * plan.arcLength, "length", plan.arcLength);
    plan.radiusBoundWide = !fits_int32(plan.radiusBound);
    plan.lengthBoundWide = !fits_int32(plan.lengthBound);
    plan.azimuthBound = static_cast<std::int32_t>(sampling::kResolution * settings.extentAboutZ * sampling::kInv360);
    plan.elevationSpan =
        sampling::kPi - (settings.arcMarginADeg + settings.arcMarginBDeg) * sampling::kPi * sampling::kInv180;
    plan.elevationStart = settings.arcMarginBDeg * sampling::kPi * sampling::kInv180 - sampling::kHalfPi;
  }
  return plan;
}

std::string output_fate(const RayFileWriter& writer, std::int64_t written, std::int64_t wanted) {
  if (writer.direct()) {
    // Rays counted may not have reached a device that failed.
    if (writer.failed()) return "\nThe ray file " + writer.path() + " is incomplete.";
    return "\nThe ray file " + writer.path() + " is incomplete: " + std::to_string(written) + " of " +
           std::to_string(wanted) + " rays were written.";
  }
  if (writer.replaces_existing()) return "\nThe ray file " + writer.path() + " is unchanged.";
  return "\nThe ray file " + writer.path() + " was not created.";
}

std::string divisor_refusal(double divisor, bool considered) {
  if (divisor != 0 && std::isfinite(divisor)) return {};
  return "The flux divisor is " + fixed6(divisor) + ", so the ray flux cannot be computed; generate again" +
         (considered ? " with other distribution files"
                     : " (the divisor is drawn at random; with 1 ray it is always 0)");
}

RunReport generate(const GenerationSettings& settings, RunObserver& observer) {
  return generate(settings, observer, process_random_state());
}

RunReport generate(const GenerationSettings& settings, RunObserver& observer, ProcessRandomState& randomState) {
  RunReport report;
  ProgressMeter gauge(observer);
  std::optional<RayFileWriter> writer;
  WritingPhaseResult phase;
  const std::int64_t n = settings.rayCount;
  try {
    gauge.reset();
    refuse_output_over_input("ray file", settings.outputPath, run_input_files(settings));
    refuse_values_beyond_format(settings);
    randomState.runtime.seed(settings.clockSeconds);
    const std::unique_ptr<RunTables> tables = read_run_tables(settings, &observer);
    check_run_settings(settings);
    SamplingPlan plan = make_sampling_plan(settings, *tables);
    if (tables->spectrum) {
      if (settings.fluxUnit == FluxUnit::Lumen && !(tables->spectrum->luminous_efficacy() > 0)) {
        throw SpectrumError(
            "The spectrum has no power the eye sees (V(lambda) is 0 over it), so a flux in lumens "
            "has no radiant equivalent; give the flux in W");
      }
      report.spectrumSummary =
          spectral_summary(*tables->spectrum, tables->sourceFlux, settings.fluxUnit == FluxUnit::Lumen);
    }
    observer.phase_started(RunPhase::Flux);

    // Every input is checked: the output may be opened. A file is written
    // beside the one it replaces and put in its place only when complete.
    writer.emplace(settings.outputPath);
    const std::string limit = tables->point_limit_notice();
    begin_output(*writer, settings, *tables, limit.empty() ? static_cast<std::uint64_t>(n + 1) : 0);
    if (!limit.empty()) {
      writer->commit();  // the header alone is this run's file
      report.outcome = RunOutcome::PointLimit;
      report.message = limit;
      return report;
    }

    const unsigned threads =
        settings.threads != 0 ? settings.threads : std::max(1u, std::thread::hardware_concurrency());
    if (plan.modern()) {
      run_phases(settings, plan, *writer, threads, observer, gauge, report, phase);
      return report;
    }
    const bool usesSobol = plan.algorithm == RandomAlgorithm::Sobol;
    const int dimension = plan.sobol_dimension();
    std::int32_t sobolStart = kSobolStartSeed;
    std::int32_t uniformSeed = kUniformStartSeed;
    Levels levels;
    PhaseHooks hooks;
    hooks.stopRequested = [&] { return observer.stop_requested(); };
    const auto end_pass = [&](const PhaseStart& start, const PhaseEnd& end) {
      if (end.lastSobolSeed >= 0) {
        sobol_end_pass(dimension, start.sobol, static_cast<std::int32_t>(end.lastSobolSeed), randomState.sobol);
      }
    };

    double weightSum = 0;
    if (settings.considerSourceFlux) {
      sobolStart = random_below(randomState.runtime, 100) + 1;
      random_below(randomState.runtime, 100);
      PhaseStart start;
      start.uniformSeed = uniformSeed;
      start.runtime = randomState.runtime;
      if (usesSobol) start.sobol = sobol_begin_pass(dimension, sobolStart, randomState.sobol);
      start.sobolTable = &randomState.sobol;
      hooks.progressRange = [&](std::int64_t first, std::int64_t last) { gauge.sweep(first, last, 0, 500, n, 0); };
      PhaseEnd end;
      weightSum = flux_phase(plan, start, levels, threads, hooks, end);
      end_pass(start, end);
      randomState.runtime = end.runtime;
      uniformSeed = end.uniformSeed;
    }

    const double divisor = settings.considerSourceFlux
                               ? weightSum / settings.sourceFlux
                               : static_cast<double>(random_below(randomState.runtime, static_cast<std::int32_t>(n)));
    plan.fluxDivisor = divisor;
    report.fluxDivisor = divisor;

    observer.phase_started(RunPhase::Writing);
    const std::int64_t base = settings.considerSourceFlux ? 500 : 0;
    const std::int64_t span = settings.considerSourceFlux ? 500 : 1000;
    gauge.set(base + span * 2 / n, 0);
    if (flux_uses_divisor(plan)) {
      const std::string refusal = divisor_refusal(divisor, settings.considerSourceFlux);
      if (!refusal.empty()) throw UserError(refusal);
    }

    PhaseStart start;
    start.uniformSeed = uniformSeed;
    start.runtime = randomState.runtime;
    if (usesSobol) start.sobol = sobol_begin_pass(dimension, sobolStart, randomState.sobol);
    start.sobolTable = &randomState.sobol;
    hooks.progressRange = [&](std::int64_t first, std::int64_t last) { gauge.sweep(first, last, base, span, n, 1); };
    PhaseEnd end;
    try {
      writing_phase(plan, start, levels, *writer, threads, hooks, phase, end);
    } catch (...) {
      end_pass(start, end);
      throw;
    }
    end_pass(start, end);

    writer->set_line_flux(phase.obtainedFlux);  // a text header's flux
    writer->commit();
    report.obtainedFlux = phase.obtainedFlux;
    report.raysWritten = phase.raysWritten;
    report.outcome = report.obtainedFlux >= kSuccessThreshold ? RunOutcome::Succeeded : RunOutcome::LowFlux;
    return report;
  } catch (const UserError& error) {
    const bool interrupted = dynamic_cast<const RunInterrupted*>(&error) != nullptr;
    report.outcome = interrupted ? RunOutcome::Interrupted : RunOutcome::Failed;
    report.message = error.what();
    report.raysWritten = phase.raysWritten;
    if (writer) {
      writer->discard();
      report.message += output_fate(*writer, phase.raysWritten, n + 1);
    }
    return report;
  }
}

}  // namespace lucidra
