#pragma once
// What a run started from the window shows, and where: the window
// implements this seam, and the window's tests record through it. The run
// itself (engine/generation_run.h) shows nothing; run_from_window() asks,
// converts, runs and shows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/generation_run.h"
#include "engine/settings.h"
#include "engine/settings_text.h"

namespace lucidra {

// What a confirmed run works with.
struct PreparedRun {
  GenerationSettings settings;
  SettingTexts texts;
};

class RunFrontEnd {
 public:
  virtual ~RunFrontEnd() = default;

  // Every setting of the run, read when GENERATE is pressed; the texts are
  // converted by the run with the window's separator.
  virtual PreparedRun read_run() = 0;

  // A yes/no question with a warning; true when the user says yes.
  virtual bool confirm(std::string_view caption, std::string_view question) = 0;
  // A plain notice: OK button, the application title as caption.
  virtual void show_notice(std::string_view text) = 0;
  // The error display for an error that ended the run.
  virtual void show_error(std::string_view text) = 0;

  // The window made ready for a run: the gauge back to 0, the banners and
  // the chart hidden, both curves emptied, all repainted at once.
  virtual void clear_for_run() = 0;
  // The status label, repainted at once.
  virtual void set_status_text(std::string_view text) = 0;
  // The 0..1000 gauge. The run reports a position only when it changes.
  virtual void set_gauge_position(std::int64_t position) = 0;
  virtual void set_gauge_visible(bool visible) = 0;
  // A distribution table's points as the run read them, for the chart.
  virtual void add_table_points(ChartSeries series, const std::vector<PlotPoint>& points) = 0;
  virtual void set_obtained_flux_text(std::string_view text) = 0;
  virtual void beep(int frequencyHz, int durationMs) = 0;
  // Idle again after a run: the banner of `format`, no gauge, no status.
  virtual void show_idle(OutputFormat format) = 0;

  // Current calendar time in whole seconds; seeds the runtime generator.
  virtual std::int64_t clock_seconds() = 0;
  // Polled between blocks of rays; true stops the run.
  virtual bool stop_requested() { return false; }
};

// A run from GENERATE: the format refusals, the confirmation, the settings
// read and converted, then the run with the status, gauge and chart kept
// current, and its notices, beep and error display. The same three steps
// below, one after the other on the calling thread.
RunReport run_from_window(RunFrontEnd& ui);
RunReport run_from_window(RunFrontEnd& ui, ProcessRandomState& randomState);

// Step 1, on the window's thread: the refusals, the confirmation, the texts
// converted, the clock read, and the displays reset for the run. Returns
// nothing when no run is to start; `report` then says why (and an error has
// been shown).
std::optional<PreparedRun> prepare_window_run(RunFrontEnd& ui, RunReport& report);

// The question before a run: the count, flux, format and file it writes
// (version 3.5's words under legacy sampling).
std::string run_confirmation(const GenerationSettings& settings);

// Step 2: what the engine reports during the run, shown through `ui`. A front
// end that runs the engine on another thread hands each call over to the
// window's thread and makes it there.
class WindowRunObserver : public RunObserver {
 public:
  explicit WindowRunObserver(RunFrontEnd& ui) : ui_(ui) {}
  void table_points(ChartSeries series, const std::vector<PlotPoint>& points) override;
  void phase_started(RunPhase phase) override;
  void progress(std::int64_t gaugePosition, std::int64_t itemsDone) override;
  bool stop_requested() override { return ui_.stop_requested(); }

 private:
  RunFrontEnd& ui_;
  bool started_ = false;
};

// Step 3, on the window's thread: the notices, beep and error display of the
// finished run, and the window back to idle (status cleared, gauge hidden,
// the target's banner shown) whatever the outcome.
void show_run_report(RunFrontEnd& ui, const PreparedRun& run, const RunReport& report);

}  // namespace lucidra
