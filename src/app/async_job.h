#pragma once
// One job at a time worked on its own thread while the window stays
// responsive: what the job reports is handed to the window's thread in the
// order it was reported, its result arrives there too, and the window can
// ask it to stop. The run, the check and any other long task use it.

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

namespace lucidra::app {

class AsyncJob : public QObject {
  Q_OBJECT

 public:
  // What the work sees on its worker thread.
  class Context {
   public:
    explicit Context(AsyncJob& job) : job_(job) {}
    // Polled between blocks of work; true once the window asked to stop.
    bool stop_requested() const { return job_.stop_.load(); }
    // Runs `call` on the window's thread, after every call posted before
    // it; dropped when the job has been abandoned (stop_and_wait).
    void post(std::function<void()> call) const;

   private:
    AsyncJob& job_;
  };
  // Runs on the worker; returns what the window's thread does at the end,
  // while the job still counts as running (finished() follows).
  using Work = std::function<std::function<void()>(const Context&)>;

  explicit AsyncJob(QObject* parent = nullptr) : QObject(parent) {}
  // Stops a job still working and waits for its thread.
  ~AsyncJob() override;
  AsyncJob(const AsyncJob&) = delete;
  AsyncJob& operator=(const AsyncJob&) = delete;

  // Starts `work` on a worker thread. Returns false, and starts nothing,
  // while a job works.
  bool start(Work work);
  // From start() until the job's ending has run on the window's thread.
  bool running() const { return active_; }
  // Asks the job to stop at its next poll.
  void request_stop() { stop_.store(true); }
  // Whether stopping was asked for: an ending that finds it so drops its
  // result (work that cannot poll, such as reading one file, ends anyway).
  bool stop_requested() const { return stop_.load(); }
  // Stops a working job and waits for its thread; neither its posted calls
  // still queued nor its ending run (the window is going away).
  void stop_and_wait();

 signals:
  // A started job has ended and its ending has run.
  void finished();

 private:
  void complete(const std::function<void()>& ending);

  std::thread worker_;
  std::atomic<bool> stop_{false};
  bool active_ = false;
  // Counts the jobs started, so that calls queued by an abandoned job are
  // told from the current one's.
  unsigned generation_ = 0;
};

}  // namespace lucidra::app
