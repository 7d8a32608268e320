#pragma once
// A front end that records everything a run shows and answers the
// confirmation as told, so tests can check whole runs.

#include <cstdint>
#include <string>
#include <vector>

#include "app/desktop_services.h"
#include "app/run_front_end.h"

namespace lucidra::app::test {

class RecordingFrontEnd : public RunFrontEnd {
 public:
  RecordingFrontEnd(GenerationSettings runSettings, SettingTexts runTexts)
      : settings(std::move(runSettings)), texts(std::move(runTexts)) {}

  GenerationSettings settings;
  SettingTexts texts;
  DialogButton answer = DialogButton::Yes;
  std::int64_t clock = 1700000000;
  std::int64_t stopAfterPolls = -1;  // ask to stop at this poll (-1: never)

  std::vector<std::string> events;  // everything, in order
  std::vector<std::int64_t> gaugePositions;
  std::vector<std::string> notices;
  std::vector<std::string> errors;
  std::string obtainedFluxText;
  int seriesPoints[3] = {0, 0, 0};
  int beeps = 0;

  PreparedRun read_run() override {
    events.push_back("read settings");
    return {settings, texts};
  }
  bool confirm(std::string_view caption, std::string_view question) override {
    events.push_back("box " + std::string(caption) + "|" + std::string(question));
    return answer == DialogButton::Yes;
  }
  void show_notice(std::string_view text) override {
    events.push_back("notice " + std::string(text));
    notices.emplace_back(text);
  }
  void show_error(std::string_view text) override {
    events.push_back("error " + std::string(text));
    errors.emplace_back(text);
  }
  void clear_for_run() override {
    gaugePositions.push_back(0);
    for (const char* event : {"pictures hidden", "chart hidden", "repaint"}) events.emplace_back(event);
    for (const ChartSeries series : {ChartSeries::Longitudinal, ChartSeries::Transversal}) {
      events.push_back("clear series " + std::to_string(static_cast<int>(series)));
      seriesPoints[static_cast<int>(series)] = 0;
    }
  }
  void set_status_text(std::string_view text) override { events.push_back("status " + std::string(text)); }
  void set_gauge_position(std::int64_t position) override { gaugePositions.push_back(position); }
  void set_gauge_visible(bool visible) override { events.push_back(visible ? "gauge shown" : "gauge hidden"); }
  void add_table_points(ChartSeries series, const std::vector<PlotPoint>& points) override {
    seriesPoints[static_cast<int>(series)] += static_cast<int>(points.size());
  }
  void set_obtained_flux_text(std::string_view text) override {
    events.push_back("flux " + std::string(text));
    obtainedFluxText = text;
  }
  void beep(int frequencyHz, int durationMs) override {
    ++beeps;
    events.push_back("beep " + std::to_string(frequencyHz) + " " + std::to_string(durationMs));
  }
  void show_idle(OutputFormat format) override {
    events.push_back("picture " + std::to_string(static_cast<int>(format)));
    set_gauge_visible(false);
    set_status_text("");
  }
  std::int64_t clock_seconds() override { return clock; }
  bool stop_requested() override { return stopAfterPolls >= 0 && ++polls > stopAfterPolls; }

  std::int64_t polls = 0;
};

}  // namespace lucidra::app::test
