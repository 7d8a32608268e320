#pragma once
// A generation run started from the window, worked on its own thread so that
// the window stays responsive: the questions and the final notices happen on
// the window's thread, and everything the engine reports while it works is
// handed over to the window's thread in the order it was reported.

#include <QObject>
#include <atomic>
#include <optional>
#include <thread>

#include "app/run_front_end.h"

namespace lucidra::app {

class BackgroundRun : public QObject {
  Q_OBJECT

 public:
  // `ui` must outlive this object.
  explicit BackgroundRun(RunFrontEnd& ui, QObject* parent = nullptr);
  // Stops a run still working and waits for its thread.
  ~BackgroundRun() override;
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Asks, converts and resets the displays on this thread, then starts the
  // engine on a worker thread. Returns false when no run started; report()
  // then says why. Never starts a second run while one works.
  bool start();
  // From start() until the final notices have been shown.
  bool running() const { return active_; }
  // Asks the run to stop at its next poll; the engine leaves the previous
  // file as it was.
  void request_stop() { stop_.store(true); }
  // Stops a working run and waits for its thread; its final notices are
  // not shown (the window is going away).
  void stop_and_wait();

  const RunReport& report() const { return report_; }
  // The run's settings, converted; valid once a run has started.
  const std::optional<PreparedRun>& prepared() const { return prepared_; }

 signals:
  // A started run has ended and its notices have been shown.
  void finished();

 private:
  class PostingObserver;
  void complete(const RunReport& report);

  RunFrontEnd& ui_;
  std::optional<PreparedRun> prepared_;
  std::optional<WindowRunObserver> display_;
  RunReport report_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  bool active_ = false;
};

}  // namespace lucidra::app
