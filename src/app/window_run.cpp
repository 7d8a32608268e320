// A run started from the window: what it asks and what it shows, around the
// engine's run, in the order the window has always shown it.

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/run_front_end.h"
#include "base/user_error.h"
#include "random/random_state.h"

namespace lucidra {
namespace {

constexpr const char* kRunCaption = "Lucidra";
constexpr const char* kConfirmation = " Begin generation of Source File? \n\n Existing file will be overritten!!!";
constexpr const char* kFluxStatus = "Calculation Flux...";
constexpr const char* kWritingStatus = "Writing to file...";

std::string fixed6(double value, char separator) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == '.') c = separator;
  }
  return text;
}

}  // namespace

void WindowRunObserver::table_points(ChartSeries series, const std::vector<PlotPoint>& points) {
  ui_.add_table_points(series, points);
}

void WindowRunObserver::phase_started(RunPhase phase) {
  if (phase == RunPhase::Flux) {
    ui_.set_gauge_visible(true);
    ui_.set_status_text(kFluxStatus);
  } else {
    ui_.set_status_text(kWritingStatus);
  }
}

void WindowRunObserver::progress(std::int64_t gaugePosition, std::int64_t) {
  if (started_) ui_.set_gauge_position(gaugePosition);
  started_ = true;  // the first report is the reset, shown before the run
}

std::string run_confirmation(const GenerationSettings& settings) {
  // Version 3.5's question, word for word, under legacy sampling.
  if (settings.legacySampling) return kConfirmation;
  // "Write 1 000 001 rays, 1200 lm, TM-25, to /path/led.TM25RAY?": what is
  // about to be written, where, in which format.
  const std::string digits = std::to_string(static_cast<std::int64_t>(settings.rayCount) + 1);
  std::string count;  // grouped by thousands with blanks
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) count += ' ';
    count += digits[i];
  }
  char flux[64];
  std::snprintf(flux, sizeof flux, "%g", settings.sourceFlux);
  const RayFormat& format = ray_format(settings.outputFormat);
  // The full path: a name typed without a folder lands in the working
  // folder, which the user may not have in mind.
  std::string path = settings.outputPath;
  if (path != "-") {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (!error) path = absolute.string();
  }
  const char* sampling = settings.weightedSampling ? "weighted sampling" : "equal-flux sampling";
  // With a spectrum every ray carries a wavelength: the question says whose.
  std::string spectrum;
  if (!settings.spectrumFile.empty()) {
    spectrum = ", wavelengths from " + settings.spectrumFile;
  } else if (settings.wavelengthNm != 0) {
    char nm[64];
    std::snprintf(nm, sizeof nm, "%g", settings.wavelengthNm);
    spectrum = std::string(", wavelength ") + nm + " nm";
  }
  return "Write " + count + " rays, " + flux + " " + flux_unit_symbol(settings.fluxUnit) + ", " +
         std::string(format.displayName) + (format.experimental ? " (experimental)" : "") + ", " + sampling + spectrum +
         ", to " + path + "?\n\n Existing file will be overritten!!!";
}

RunReport run_from_window(RunFrontEnd& ui) { return run_from_window(ui, process_random_state()); }

RunReport run_from_window(RunFrontEnd& ui, ProcessRandomState& randomState) {
  RunReport report;
  const std::optional<PreparedRun> run = prepare_window_run(ui, report);
  if (!run) return report;
  WindowRunObserver observer(ui);
  report = generate(run->settings, observer, randomState);
  show_run_report(ui, *run, report);
  return report;
}

std::optional<PreparedRun> prepare_window_run(RunFrontEnd& ui, RunReport& report) {
  PreparedRun run = ui.read_run();
  if (!ui.confirm(kRunCaption, run_confirmation(run.settings))) {
    report.outcome = RunOutcome::Cancelled;
    return std::nullopt;
  }

  try {
    apply_setting_texts(run.settings, run.texts);
  } catch (const UserError& error) {
    // Nothing has been touched: a text that is not a number stops the run
    // before any file is read or written.
    report.outcome = RunOutcome::Failed;
    report.message = error.what();
    ui.show_error(report.message);
    return std::nullopt;
  }
  run.settings.clockSeconds = ui.clock_seconds();

  ui.clear_for_run();
  return run;
}

void show_run_report(RunFrontEnd& ui, const PreparedRun& run, const RunReport& report) {
  const GenerationSettings& settings = run.settings;
  switch (report.outcome) {
    case RunOutcome::Succeeded:
    case RunOutcome::LowFlux:
      ui.set_obtained_flux_text(fixed6(report.obtainedFlux, run.texts.decimalSeparator));
      if (settings.notifyEnd) ui.beep(3000, 300);
      ui.show_notice(report.outcome == RunOutcome::Succeeded ? kSuccessNotice : kLowFluxNotice);
      break;
    case RunOutcome::PointLimit: ui.show_notice(report.message); break;
    case RunOutcome::Interrupted:
      // The user asked for it: a notice, not an error, saying what became of the file.
      ui.show_notice(report.message);
      break;
    case RunOutcome::Failed:
    case RunOutcome::Refused:
    case RunOutcome::Cancelled: ui.show_error(report.message); break;
  }
  // Idle again, as before the run, so that nothing of a run that ended stays
  // drawn under the next banner.
  ui.show_idle(settings.outputFormat);
}

}  // namespace lucidra
