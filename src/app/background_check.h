#pragma once
// The far-field check of the last ray file, worked on its own thread: a file
// of 10^8 rays takes seconds to read, and the window must answer meanwhile.
// The outcome is handed back to the window's thread.

#include <QObject>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/far_field.h"

namespace lucidra::app {

class BackgroundCheck : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundCheck(QObject* parent = nullptr);
  // Stops a check still working and waits for its thread.
  ~BackgroundCheck() override;
  BackgroundCheck(const BackgroundCheck&) = delete;
  BackgroundCheck& operator=(const BackgroundCheck&) = delete;

  // Starts reading `path` and comparing it with `law`. Returns false, and
  // starts nothing, while a check works.
  bool start(std::string path, std::shared_ptr<const IntensityLaw> law);
  // From start() until finished() has been emitted.
  bool running() const { return active_; }
  // Asks the check to stop before its next block of rays.
  void request_stop() { stop_.store(true); }
  // Stops a working check and waits for its thread; finished() is not
  // emitted (the window is going away).
  void stop_and_wait();

  // After finished(): the comparison, or the reason there is none (empty
  // when the check was stopped).
  const std::optional<FarFieldResult>& result() const { return result_; }
  const std::string& error() const { return error_; }
  bool stopped() const { return stopped_; }

 signals:
  void finished();

 private:
  struct Outcome {
    std::optional<FarFieldResult> result;
    std::string error;
    bool stopped = false;
  };
  void complete(Outcome outcome);

  std::thread worker_;
  std::atomic<bool> stop_{false};
  bool active_ = false;
  std::optional<FarFieldResult> result_;
  std::string error_;
  bool stopped_ = false;
};

}  // namespace lucidra::app
