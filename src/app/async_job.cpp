#include "app/async_job.h"

#include <utility>

namespace lucidra::app {

void AsyncJob::Context::post(std::function<void()> call) const {
  AsyncJob* job = &job_;
  const unsigned generation = job->generation_;
  // Queued calls to one receiver keep their order.
  QMetaObject::invokeMethod(
      job,
      [job, generation, call = std::move(call)] {
        if (job->active_ && job->generation_ == generation) call();
      },
      Qt::QueuedConnection);
}

AsyncJob::~AsyncJob() { stop_and_wait(); }

bool AsyncJob::start(Work work) {
  if (active_ || worker_.joinable()) return false;
  stop_.store(false);
  active_ = true;
  ++generation_;
  const unsigned generation = generation_;
  worker_ = std::thread([this, generation, work = std::move(work)] {
    const Context context(*this);
    std::function<void()> ending = work(context);
    QMetaObject::invokeMethod(
        this,
        [this, generation, ending = std::move(ending)] {
          if (generation_ == generation) complete(ending);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void AsyncJob::complete(const std::function<void()>& ending) {
  if (worker_.joinable()) worker_.join();
  if (!active_) return;  // abandoned by stop_and_wait
  if (ending) ending();
  active_ = false;
  emit finished();
}

void AsyncJob::stop_and_wait() {
  stop_.store(true);
  if (worker_.joinable()) worker_.join();
  active_ = false;
}

}  // namespace lucidra::app
