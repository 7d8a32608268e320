#pragma once
// What the command line shows while a run works: an optional progress bar
// on stderr, and Ctrl-C as the stop request.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "engine/generation_run.h"

namespace lucidra::cli {

class ConsoleObserver : public RunObserver {
 public:
  ConsoleObserver(bool progressBar, const std::atomic<bool>* stopFlag)
      : progressBar_(progressBar), stopFlag_(stopFlag) {}
  ~ConsoleObserver() override { end_bar(); }
  ConsoleObserver(const ConsoleObserver&) = delete;
  ConsoleObserver& operator=(const ConsoleObserver&) = delete;

  void phase_started(RunPhase phase) override;
  void progress(std::int64_t gaugePosition, std::int64_t itemsDone) override;
  bool stop_requested() override { return stopFlag_ != nullptr && stopFlag_->load(std::memory_order_relaxed); }

  // Ends the bar's line so that a message starts on its own.
  void end_bar();

  // "1.25 M rays/s, 0:42 left": the rate since the phase started and the
  // time the rest takes at that rate; empty until there is a rate.
  static std::string rate_text(std::int64_t rays, double seconds, std::int64_t gaugePosition);

 private:
  void draw_bar();

  bool progressBar_;
  const std::atomic<bool>* stopFlag_;
  std::string status_;
  std::int64_t percent_ = -1;
  std::int64_t position_ = 0;  // 0..1000
  std::int64_t rays_ = 0;      // done in this phase
  std::chrono::steady_clock::time_point phaseStart_;
  bool barShown_ = false;
};

}  // namespace lucidra::cli
