#include "cli/console_front_end.h"

#include <cstdio>
#include <string>

namespace lucidra::cli {

void ConsoleObserver::phase_started(RunPhase phase) {
  status_ = phase == RunPhase::Flux ? "Calculation Flux..." : "Writing to file...";
  phaseStart_ = std::chrono::steady_clock::now();
  position_ = 0;
  rays_ = 0;
  // A phase shows its bar as it starts: the first percent of a billion rays
  // can take seconds.
  if (progressBar_) draw_bar();
}

void ConsoleObserver::progress(std::int64_t gaugePosition, std::int64_t itemsDone) {
  position_ = gaugePosition;
  rays_ = itemsDone;
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
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - phaseStart_).count();
  // The rate is padded so that a shorter line overwrites a longer one.
  std::fprintf(stderr, "\r[%s] %3lld%% %-20s %-28s", bar.c_str(), static_cast<long long>(percent), status_.c_str(),
               rate_text(rays_, seconds, position_).c_str());
  std::fflush(stderr);
  barShown_ = true;
}

std::string ConsoleObserver::rate_text(std::int64_t rays, double seconds, std::int64_t gaugePosition) {
  if (rays <= 0 || !(seconds > 0) || gaugePosition <= 0) return {};
  const double rate = static_cast<double>(rays) / seconds;
  char text[64];
  if (rate >= 1e6) {
    std::snprintf(text, sizeof text, "%.2f M rays/s", rate / 1e6);
  } else if (rate >= 1e3) {
    std::snprintf(text, sizeof text, "%.1f k rays/s", rate / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.0f rays/s", rate);
  }
  // The gauge runs to 1000 over the phase: what is left takes its share
  // of the time spent so far.
  const double left = seconds * static_cast<double>(1000 - gaugePosition) / static_cast<double>(gaugePosition);
  const auto whole = static_cast<long long>(left + 0.5);
  char eta[48];
  if (whole >= 3600) {
    std::snprintf(eta, sizeof eta, ", %lld:%02lld:%02lld left", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(eta, sizeof eta, ", %lld:%02lld left", whole / 60, whole % 60);
  }
  return std::string(text) + eta;
}

void ConsoleObserver::end_bar() {
  if (!barShown_) return;
  std::fputc('\n', stderr);
  barShown_ = false;
}

}  // namespace lucidra::cli
