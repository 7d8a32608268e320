#pragma once
// What the command line shows while a run works: an optional progress bar
// on stderr, and Ctrl-C as the stop request.

#include <atomic>
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

 private:
  void draw_bar();

  bool progressBar_;
  const std::atomic<bool>* stopFlag_;
  std::string status_;
  std::int64_t percent_ = -1;
  bool barShown_ = false;
};

}  // namespace lucidra::cli
