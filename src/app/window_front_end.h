#pragma once
// What a generation run started from the window shows, and where: message
// boxes through the window's services, the status label and the gauge
// painted at once (the run never yields to the event loop), the banners, the
// chart and the obtained-flux label.

#include "app/run_front_end.h"

namespace lucidra::app {

class TForm1;

class WindowFrontEnd : public RunFrontEnd {
 public:
  explicit WindowFrontEnd(TForm1& form) : form_(form) {}

  PreparedRun read_run() override;
  bool confirm(std::string_view caption, std::string_view question) override;
  void show_notice(std::string_view text) override;
  void show_error(std::string_view text) override;
  void clear_for_run() override;
  void set_status_text(std::string_view text) override;
  void set_gauge_position(std::int64_t position) override;
  void set_gauge_visible(bool visible) override;
  void add_table_points(ChartSeries series, const std::vector<PlotPoint>& points) override;
  void set_obtained_flux_text(std::string_view text) override;
  void beep(int frequencyHz, int durationMs) override;
  void show_idle(OutputFormat format) override;
  std::int64_t clock_seconds() override;

 private:
  TForm1& form_;
};

}  // namespace lucidra::app
