#include "app/background_check.h"

#include <exception>
#include <utility>

namespace lucidra::app {

BackgroundCheck::BackgroundCheck(QObject* parent) : QObject(parent) {}

BackgroundCheck::~BackgroundCheck() { stop_and_wait(); }

bool BackgroundCheck::start(std::string path, std::shared_ptr<const IntensityLaw> law) {
  if (active_ || worker_.joinable()) return false;
  result_.reset();
  error_.clear();
  stopped_ = false;
  stop_.store(false);
  active_ = true;
  worker_ = std::thread([this, path = std::move(path), law = std::move(law)] {
    Outcome outcome;
    FarFieldOptions options;
    options.stopRequested = [this] { return stop_.load(); };
    try {
      outcome.result = check_ray_file(path, RayFileKind::Auto, *law, options);
    } catch (const CheckStopped&) {
      outcome.stopped = true;
    } catch (const std::exception& e) {
      outcome.error = e.what();
    }
    QMetaObject::invokeMethod(
        this, [this, outcome = std::move(outcome)]() mutable { complete(std::move(outcome)); },
        Qt::QueuedConnection);
  });
  return true;
}

void BackgroundCheck::complete(Outcome outcome) {
  if (worker_.joinable()) worker_.join();
  if (!active_) return;  // abandoned by stop_and_wait
  result_ = std::move(outcome.result);
  error_ = std::move(outcome.error);
  stopped_ = outcome.stopped;
  active_ = false;
  emit finished();
}

void BackgroundCheck::stop_and_wait() {
  stop_.store(true);
  if (worker_.joinable()) worker_.join();
  active_ = false;
}

}  // namespace lucidra::app
