// The one helper that works the window's long tasks on a worker thread:
// what the job posts arrives on the window's thread in order, the ending
// runs there while the job still counts as running, Stop reaches the work,
// and an abandoned job delivers nothing.

#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

#include "app/async_job.h"
#include "window_harness.h"

using namespace lucidra::app;

class AsyncJobTest : public QObject {
  Q_OBJECT

 private slots:
  void postsArriveInOrderOnTheWindowThread();
  void secondStartWhileWorkingIsRefused();
  void stopReachesTheWork();
  void abandonedJobDeliversNothing();
};

void AsyncJobTest::postsArriveInOrderOnTheWindowThread() {
  AsyncJob job;
  std::vector<int> seen;
  bool wrongThread = false;
  bool runningAtTheEnd = false;
  int finishedCount = 0;
  QObject::connect(&job, &AsyncJob::finished, [&] {
    ++finishedCount;
    QVERIFY(!job.running());
  });
  const auto* windowThread = QThread::currentThread();
  QVERIFY(job.start([&](const AsyncJob::Context& context) -> std::function<void()> {
    for (int i = 0; i < 1000; ++i) {
      context.post([&, i] {
        wrongThread = wrongThread || QThread::currentThread() != windowThread;
        seen.push_back(i);
      });
    }
    return [&] { runningAtTheEnd = job.running() && seen.size() == 1000; };
  }));
  QVERIFY(job.running());
  QVERIFY(QTest::qWaitFor([&] { return finishedCount > 0; }, 10000));
  QCOMPARE(finishedCount, 1);
  QCOMPARE(seen.size(), std::size_t{1000});
  for (int i = 0; i < 1000; ++i) QCOMPARE(seen[static_cast<std::size_t>(i)], i);
  QVERIFY(!wrongThread);
  QVERIFY(runningAtTheEnd);
  // A finished job can start again.
  QVERIFY(job.start([](const AsyncJob::Context&) { return std::function<void()>(); }));
  QVERIFY(QTest::qWaitFor([&] { return finishedCount == 2; }, 10000));
}

void AsyncJobTest::secondStartWhileWorkingIsRefused() {
  AsyncJob job;
  std::atomic<bool> release{false};
  int secondRan = 0;
  QVERIFY(job.start([&](const AsyncJob::Context&) {
    while (!release.load()) std::this_thread::yield();
    return std::function<void()>();
  }));
  QVERIFY(!job.start([&](const AsyncJob::Context&) {
    ++secondRan;
    return std::function<void()>();
  }));
  release.store(true);
  QVERIFY(QTest::qWaitFor([&] { return !job.running(); }, 10000));
  QCOMPARE(secondRan, 0);
}

void AsyncJobTest::stopReachesTheWork() {
  AsyncJob job;
  bool stoppedByRequest = false;
  QVERIFY(job.start([&](const AsyncJob::Context& context) {
    while (!context.stop_requested()) std::this_thread::yield();
    return std::function<void()>([&] { stoppedByRequest = true; });
  }));
  job.request_stop();
  QVERIFY(QTest::qWaitFor([&] { return !job.running(); }, 10000));
  QVERIFY(stoppedByRequest);
}

void AsyncJobTest::abandonedJobDeliversNothing() {
  AsyncJob job;
  int posted = 0;
  int endings = 0;
  int finishedCount = 0;
  QObject::connect(&job, &AsyncJob::finished, [&] { ++finishedCount; });
  QVERIFY(job.start([&](const AsyncJob::Context& context) {
    for (int i = 0; i < 10; ++i) context.post([&] { ++posted; });
    while (!context.stop_requested()) std::this_thread::yield();
    return std::function<void()>([&] { ++endings; });
  }));
  job.stop_and_wait();  // the window goes away before any queued call ran
  QVERIFY(!job.running());
  QTest::qWait(50);  // let the queued calls come up
  QCOMPARE(posted, 0);
  QCOMPARE(endings, 0);
  QCOMPARE(finishedCount, 0);
}

LUCIDRA_QT_TEST_MAIN(AsyncJobTest)
#include "async_job_test.moc"
