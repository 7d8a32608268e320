#include "cli/console_front_end.h"

#include <cstdio>

namespace lucidra::cli {

void ConsoleObserver::phase_started(RunPhase phase) {
  status_ = phase == RunPhase::Flux ? "Calculation Flux..." : "Writing to file...";
  // A phase shows its bar as it starts: the first percent of a billion rays
  // can take seconds.
  if (progressBar_) draw_bar();
}

void ConsoleObserver::progress(std::int64_t gaugePosition, std::int64_t) {
  const std::int64_t percent = gaugePosition / 10;
  if (percent == percent_) return;
  percent_ = percent;
  if (progressBar_ && !status_.empty()) draw_bar();
}

void ConsoleObserver::draw_bar() {
  constexpr int kWidth = 40;
  const std::int64_t percent = percent_ < 0 ? 0 : percent_;
  const int filled = static_cast<int>(percent * kWidth / 100);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), ' ');
  std::fprintf(stderr, "\r[%s] %3lld%% %-20s", bar.c_str(), static_cast<long long>(percent), status_.c_str());
  std::fflush(stderr);
  barShown_ = true;
}

void ConsoleObserver::end_bar() {
  if (!barShown_) return;
  std::fputc('\n', stderr);
  barShown_ = false;
}

}  // namespace lucidra::cli
