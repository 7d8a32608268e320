// A run from the window works on its own thread: the window stays
// responsive, locks its settings, and Cancel, Escape or closing the window
// stop a long run quickly, leaving the previous ray file byte for byte.

#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "app/far_field_dialog.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

const QByteArray kPrevious("previous rays 1 2 3\r\n");

QByteArray thread_name(const QString& task) {
  QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
  return comm.open(QIODevice::ReadOnly) ? comm.readAll() : QByteArray();
}

// Threads of this process that carry the program's own name: the run's
// worker and the engine's workers do, Qt's own named helpers do not.
int thread_count() {
  const QByteArray program = thread_name(QString::number(QCoreApplication::applicationPid()));
  int count = 0;
  for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (thread_name(task) == program) ++count;
  }
  return count;
}

}  // namespace

class CancelRunTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void longRunStopsQuicklyAndKeepsThePreviousFile_data();
  void longRunStopsQuicklyAndKeepsThePreviousFile();
  void closingDuringARunAsksFirst();
  void checkWorksInTheBackgroundAndStops();
  void failedRunReturnsToIdle();

 private:
  // Starts a 10^7-ray run with the previous file in place and waits until it writes.
  void start_long_run();

  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void CancelRunTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  form_ = started_window(services_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void CancelRunTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

void CancelRunTest::start_long_run() {
  directory_->write("ray.dat", kPrevious);
  form_->CSpinEdit3->setValue(10000000);
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(form_->run_in_progress());
  QTest::qWait(200);
}

void CancelRunTest::longRunStopsQuicklyAndKeepsThePreviousFile_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("Cancel button") << "button";
  QTest::newRow("Escape") << "escape";
}

void CancelRunTest::longRunStopsQuicklyAndKeepsThePreviousFile() {
  QFETCH(QString, how);
  TForm1& f = *form_;
  const int threadsBefore = thread_count();
  start_long_run();

  // While it works: the window repaints and reports, nothing can be changed,
  // no second run can start, Cancel stands where Plot was.
  QVERIFY(thread_count() > threadsBefore);  // the run's threads, seen by the count
  const int gaugeBefore = f.CGauge2->position();
  QVERIFY(QTest::qWaitFor([&] { return f.CGauge2->position() > gaugeBefore; }, 5000));
  QVERIFY(!f.CGauge2->isHidden());
  QVERIFY(f.Label21->text() == "Writing to file..." || f.Label21->text() == "Calculation Flux...");
  for (QWidget* locked :
       {static_cast<QWidget*>(f.BitBtn1), static_cast<QWidget*>(f.CSpinEdit3), static_cast<QWidget*>(f.Edit4),
        static_cast<QWidget*>(f.ComboBoxEx1), static_cast<QWidget*>(f.RadioButton1), static_cast<QWidget*>(f.CheckBox1),
        static_cast<QWidget*>(f.RadioButton4), static_cast<QWidget*>(f.CSpinEdit4),
        static_cast<QWidget*>(f.output()->BrowseOutputButton)}) {
    QVERIFY2(!locked->isEnabled(), qPrintable(locked->objectName()));
  }
  QVERIFY(!f.Generate1->isEnabled() && !f.OpenSettingsAction->isEnabled());
  QVERIFY(f.Button1->isHidden());
  QVERIFY(f.CancelRunButton->isVisible() && f.CancelRunButton->isEnabled());
  services_.answers = {DialogButton::Yes};
  f.Generate1->trigger();
  QTest::keyClick(&f, Qt::Key_Return);
  QCOMPARE(services_.shown.size(), std::size_t{1});  // only the first confirmation

  QElapsedTimer stopping;
  stopping.start();
  if (how == "button") {
    QTest::mouseClick(f.CancelRunButton, Qt::LeftButton);
  } else {
    QTest::keyClick(&f, Qt::Key_Escape);
  }
  QVERIFY(wait_for_idle(f, 10000));
  QVERIFY2(stopping.elapsed() < 2000, qPrintable(QString::number(stopping.elapsed())));

  QCOMPARE(directory_->read("ray.dat"), kPrevious);
  QCOMPARE(services_.error_texts(), QStringList{});
  QCOMPARE(services_.shown.size(), std::size_t{2});
  QVERIFY2(services_.shown[1].text.startsWith("Generation interrupted"), qPrintable(services_.shown[1].text));
  QVERIFY2(services_.shown[1].text.endsWith("ray.dat is unchanged."), qPrintable(services_.shown[1].text));
  // Idle: status, gauge and banner as before the run; everything usable.
  QCOMPARE(f.Label21->text(), QString());
  QVERIFY(f.CGauge2->isHidden());
  QVERIFY(!f.Image2->isHidden());
  QVERIFY(f.BitBtn1->isEnabled() && f.CSpinEdit3->isEnabled() && f.Generate1->isEnabled());
  QVERIFY(f.CancelRunButton->isHidden() && !f.Button1->isHidden());
  QVERIFY(!f.Check1->isEnabled());  // nothing was written to check
  QVERIFY(f.recent_ray_files().isEmpty());
  QVERIFY(QTest::qWaitFor([&] { return thread_count() <= threadsBefore; }, 2000));
}

// File > Check reads the file on its own thread: the window stays
// responsive with the settings locked, Cancel (Esc) stops the check, and
// closing the window stops it without a question.
void CancelRunTest::checkWorksInTheBackgroundAndStops() {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(1000000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f, 60000));
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(f.Check1->isEnabled());
  const std::size_t shownBefore = services_.shown.size();
  QSignalSpy finished(&f, &TForm1::checkFinished);

  f.Check1->trigger();
  QVERIFY(f.check_in_progress());  // the trigger returned while the file is read
  QVERIFY2(f.Label21->text().startsWith("Checking "), qPrintable(f.Label21->text()));
  QVERIFY(!f.BitBtn1->isEnabled() && !f.Generate1->isEnabled() && !f.Check1->isEnabled());
  QVERIFY(f.CancelRunButton->isVisible() && f.CancelRunButton->isEnabled());
  QTest::keyClick(&f, Qt::Key_Escape);
  QVERIFY(finished.wait(10000));
  QVERIFY(!f.check_in_progress());
  QCOMPARE(f.findChild<FarFieldDialog*>(), nullptr);
  QCOMPARE(services_.shown.size(), shownBefore);
  QCOMPARE(f.Label21->text(), QString());
  QVERIFY(f.BitBtn1->isEnabled() && f.Check1->isEnabled() && f.CancelRunButton->isHidden());

  f.Check1->trigger();
  QVERIFY(finished.wait(30000));
  QVERIFY(f.findChild<FarFieldDialog*>() != nullptr);
  QCOMPARE(services_.error_texts(), QStringList{});

  f.Check1->trigger();
  QVERIFY(f.check_in_progress());
  QVERIFY(f.close());
  QVERIFY(!f.check_in_progress());
  QCOMPARE(services_.shown.size(), shownBefore);
}

void CancelRunTest::closingDuringARunAsksFirst() {
  TForm1& f = *form_;
  start_long_run();
  services_.answers = {DialogButton::No};
  QVERIFY(!f.close());
  QVERIFY(f.run_in_progress() && f.isVisible());
  QCOMPARE(services_.shown.back().flags, 52u);
  QVERIFY(services_.shown.back().text.contains("Stop the run"));

  services_.answers = {DialogButton::Yes};
  QElapsedTimer stopping;
  stopping.start();
  QVERIFY(f.close());
  QVERIFY(stopping.elapsed() < 2000);
  QVERIFY(!f.run_in_progress());
  QCOMPARE(directory_->read("ray.dat"), kPrevious);
  QCOMPARE(services_.shown.size(), std::size_t{3});  // no notice after the question
  QTest::qWait(50);                                  // the abandoned run's last report arrives and is ignored
  QCOMPARE(services_.shown.size(), std::size_t{3});
}

// "Cannot create ray file" (the output names a missing folder): the error,
// then the window as before the run, and a later target switch shows only
// its own banner.
void CancelRunTest::failedRunReturnsToIdle() {
  TForm1& f = *form_;
  f.Edit4->setText(directory_->path("no-such-folder/ray.dat"));
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  const QStringList errors = services_.error_texts();
  QCOMPARE(errors.size(), 1);
  QVERIFY2(errors[0].startsWith("Cannot create"), qPrintable(errors[0]));
  QCOMPARE(f.Label21->text(), QString());
  QVERIFY(f.CGauge2->isHidden());
  QVERIFY(!f.Image2->isHidden());
  QVERIFY(f.BitBtn1->isEnabled());
  f.RadioButton5->click();  // LightTools
  QVERIFY(!f.Image3->isHidden() && f.Image2->isHidden() && f.Label21->text().isEmpty());
}

LUCIDRA_QT_TEST_MAIN(CancelRunTest)
#include "cancel_run_test.moc"
