#pragma once
// The command line's front end of a run: no questions asked (the run is
// confirmed by being started), messages on the standard streams, an optional
// progress bar on stderr, and Ctrl-C as the stop request.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/front_end.h"

namespace lucidra::cli {

class ConsoleFrontEnd : public RunFrontEnd {
 public:
  ConsoleFrontEnd(GenerationSettings settings, std::int64_t clockSeconds, bool progressBar,
                  const std::atomic<bool>* stopFlag)
      : settings_(std::move(settings)), clock_(clockSeconds), progressBar_(progressBar), stopFlag_(stopFlag) {}

  OutputFormat selected_format() override { return settings_.outputFormat; }
  GenerationSettings read_settings() override { return settings_; }
  DialogButton message_box(std::string_view caption, std::string_view text, unsigned flags) override;
  void show_notice(std::string_view text) override;
  void show_error(std::string_view text) override;
  void set_status_text(std::string_view text) override;
  void set_gauge_position(std::int64_t position) override;
  void set_gauge_visible(bool visible) override;
  void show_format_picture(OutputFormat) override {}
  void hide_format_pictures() override {}
  void hide_chart() override {}
  void repaint_window() override {}
  void clear_series(ChartSeries) override {}
  void add_series_point(ChartSeries, double, double, std::uint32_t) override {}
  void set_obtained_flux_text(std::string_view text) override { obtainedFluxText_ = text; }
  void beep(int, int) override {}
  std::int64_t clock_seconds() override { return clock_; }
  bool stop_requested() override { return stopFlag_ != nullptr && stopFlag_->load(std::memory_order_relaxed); }

  const std::string& obtained_flux_text() const { return obtainedFluxText_; }

 private:
  void draw_bar();
  void end_bar();

  GenerationSettings settings_;
  std::int64_t clock_;
  bool progressBar_;
  const std::atomic<bool>* stopFlag_;
  std::string status_;
  std::string obtainedFluxText_;
  std::int64_t percent_ = -1;
  bool barShown_ = false;
};

}  // namespace lucidra::cli
