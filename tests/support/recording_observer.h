#pragma once
// An observer that records what a run reports and asks it to stop when
// told, so tests can check whole runs.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/generation_run.h"

namespace lucidra::testing {

class RecordingObserver : public RunObserver {
 public:
  std::int64_t stopAfterPolls = -1;  // ask to stop at this poll (-1: never)

  std::vector<std::string> events;  // tables read and phases, in order
  std::vector<std::int64_t> gaugePositions;
  int seriesPoints[3] = {0, 0, 0};
  std::int64_t polls = 0;

  void table_points(ChartSeries series, const std::vector<PlotPoint>& points) override {
    events.push_back("points " + std::to_string(static_cast<int>(series)));
    seriesPoints[static_cast<int>(series)] = static_cast<int>(points.size());
  }
  void phase_started(RunPhase phase) override {
    events.push_back(phase == RunPhase::Flux ? "phase flux" : "phase writing");
  }
  void progress(std::int64_t gaugePosition, std::int64_t) override { gaugePositions.push_back(gaugePosition); }
  bool stop_requested() override { return stopAfterPolls >= 0 && ++polls > stopAfterPolls; }
};

}  // namespace lucidra::testing
