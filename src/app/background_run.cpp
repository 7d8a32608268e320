#include "app/background_run.h"

#include <QMetaObject>

namespace lucidra::app {

// Runs on the worker: each report becomes a call queued to the window's
// thread (queued calls to one receiver keep their order), and "stop?" reads
// the flag the window sets.
class BackgroundRun::PostingObserver : public RunObserver {
 public:
  explicit PostingObserver(BackgroundRun& owner) : owner_(owner) {}

  void table_points(ChartSeries series, const std::vector<PlotPoint>& points) override {
    post([series, points](WindowRunObserver& display) { display.table_points(series, points); });
  }
  void phase_started(RunPhase phase) override {
    post([phase](WindowRunObserver& display) { display.phase_started(phase); });
  }
  void progress(std::int64_t gaugePosition, std::int64_t itemsDone) override {
    post([gaugePosition, itemsDone](WindowRunObserver& display) {
      display.progress(gaugePosition, itemsDone);
    });
  }
  bool stop_requested() override { return owner_.stop_.load(); }

 private:
  template <typename Call>
  void post(Call call) {
    BackgroundRun* owner = &owner_;
    QMetaObject::invokeMethod(
        owner,
        [owner, call] {
          if (owner->active_ && owner->display_) call(*owner->display_);
        },
        Qt::QueuedConnection);
  }

  BackgroundRun& owner_;
};

BackgroundRun::BackgroundRun(RunFrontEnd& ui, QObject* parent) : QObject(parent), ui_(ui) {}

BackgroundRun::~BackgroundRun() { stop_and_wait(); }

bool BackgroundRun::start() {
  if (active_ || worker_.joinable()) return false;
  report_ = RunReport{};
  prepared_ = prepare_window_run(ui_, report_);
  if (!prepared_) return false;
  stop_.store(false);
  display_.emplace(ui_);
  active_ = true;
  worker_ = std::thread([this, settings = prepared_->settings] {
    PostingObserver observer(*this);
    const RunReport report = generate(settings, observer);
    QMetaObject::invokeMethod(this, [this, report] { complete(report); }, Qt::QueuedConnection);
  });
  return true;
}

void BackgroundRun::complete(const RunReport& report) {
  if (worker_.joinable()) worker_.join();
  if (!active_) return;  // abandoned by stop_and_wait
  report_ = report;
  show_run_report(ui_, *prepared_, report_);
  active_ = false;
  display_.reset();
  emit finished();
}

void BackgroundRun::stop_and_wait() {
  stop_.store(true);
  if (worker_.joinable()) worker_.join();
  active_ = false;
  display_.reset();
}

}  // namespace lucidra::app
