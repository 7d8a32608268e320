// The figures the window shows before and during a run: the file's size for
// the chosen format and count, compared with the file a run then writes;
// the time from this machine's measured rate, as a range; and the texts.

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <cmath>

#include "app/run_estimate.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

class EstimateTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void sizeMatchesTheWrittenFile_data();
  void sizeMatchesTheWrittenFile();
  void texts_data();
  void texts();
  void timeComesFromTheMeasuredRate();
  void rateLeavesOutTheNoticeAfterTheRun();
  void speedAndTimeLeftWhileRunning();
  void rateMeasuredWithAFakeClock_data();
  void rateMeasuredWithAFakeClock();
  void firstEstimateCalibratesOnceThenReusesTheRate();
  void summaryAfterARunOpensTheFolder();
  void summaryShowsEmitterBoundsAndBackwardShare();
  void extentText_data();
  void extentText();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void EstimateTest::init() {
  QSettings().clear();
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  form_ = started_window(services_);
}

void EstimateTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
  QSettings().clear();
}

void EstimateTest::sizeMatchesTheWrittenFile_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("binaryFormat");  // "", "zemax-binary" or "tm25"
  QTest::addColumn<QString>("file");
  QTest::addColumn<int>("format");
  QTest::addColumn<double>("tolerance");  // relative; 0: exact
  QTest::newRow("Zemax text") << "RadioButton2"
                              << "Edit4"
                              << ""
                              << "out.dat" << static_cast<int>(OutputFormat::Zemax) << 0.01;
  QTest::newRow("TracePro") << "RadioButton1"
                            << "Edit3"
                            << ""
                            << "out.txt" << static_cast<int>(OutputFormat::TracePro) << 0.01;
  QTest::newRow("Zemax binary") << "RadioButton2"
                                << "Edit4"
                                << "zemax-binary"
                                << "out.dat" << static_cast<int>(OutputFormat::ZemaxBinary) << 0.0;
  QTest::newRow("TM-25") << "RadioButton2"
                         << "Edit4"
                         << "tm25"
                         << "out.tm25ray" << static_cast<int>(OutputFormat::Tm25) << 0.0;
  QTest::newRow("LightTools binary") << "RadioButton5"
                                     << "Edit11"
                                     << ""
                                     << "out.ray" << static_cast<int>(OutputFormat::LightTools) << 0.0;
  QTest::newRow("ASAP") << "RadioButton6"
                        << "Edit5"
                        << ""
                        << "out.dis" << static_cast<int>(OutputFormat::Asap) << 0.0;
}

void EstimateTest::sizeMatchesTheWrittenFile() {
  QFETCH(QString, button);
  QFETCH(QString, field);
  QFETCH(QString, binaryFormat);
  QFETCH(QString, file);
  QFETCH(int, format);
  QFETCH(double, tolerance);
  TForm1& f = *form_;
  f.findChild<QRadioButton*>(button)->click();
  if (binaryFormat == "zemax-binary") f.ZemaxBinaryAction->trigger();
  if (binaryFormat == "tm25") f.Tm25Action->trigger();
  f.findChild<QLineEdit*>(field)->setText(file);
  f.CSpinEdit3->setValue(20000);
  const std::uint64_t estimate =
      estimated_file_bytes(static_cast<OutputFormat>(format), 20000, 3500, FluxUnit::Watt, false);
  // What the window shows is the same figure.
  QVERIFY2(f.EstimateLabel->text().contains(QString::fromStdString(format_megabytes(estimate))),
           qPrintable(f.EstimateLabel->text()));
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  const auto written = static_cast<double>(QFileInfo(directory_->path(file)).size());
  QVERIFY(written > 0);
  const double error = std::abs(static_cast<double>(estimate) - written) / written;
  QVERIFY2(error <= tolerance,
           qPrintable(QStringLiteral("estimated %1, written %2").arg(estimate).arg(static_cast<qint64>(written))));
}

void EstimateTest::texts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("expected");
  QTest::newRow("small file") << QString::fromStdString(format_megabytes(28028)) << "0.03 MB";
  QTest::newRow("megabytes") << QString::fromStdString(format_megabytes(2414000)) << "2.41 MB";
  QTest::newRow("hundreds") << QString::fromStdString(format_megabytes(748000000)) << "748.0 MB";
  QTest::newRow("gigabytes") << QString::fromStdString(format_megabytes(7480000000)) << "7 480 MB";
  QTest::newRow("quick run") << QString::fromStdString(format_seconds_range(run_time_range(1000, 1e6))) << "under 1 s";
  // 10^7 rays at 5 million a second: 2 s, shown as 1.6 to 4 s.
  QTest::newRow("seconds") << QString::fromStdString(format_seconds_range(run_time_range(10000000, 5e6))) << "1–4 s";
  QTest::newRow("minutes") << QString::fromStdString(format_seconds_range(run_time_range(1000000000, 5e6)))
                           << "2–7 min";
  QTest::newRow("hours") << QString::fromStdString(format_seconds_range(run_time_range(1000000000, 1e5)))
                         << "2.2–5.6 h";
  QTest::newRow("no rate yet") << QString::fromStdString(format_seconds_range(run_time_range(1000, 0))) << "under 1 s";
  QTest::newRow("running") << QString::fromStdString(format_progress(1234567.4, 11.2)) << "1 234 567 rays/s, 12 s left";
  QTest::newRow("running long") << QString::fromStdString(format_progress(1000, 600)) << "1 000 rays/s, 10 min left";
  QTest::newRow("count") << QString::fromStdString(format_count(1234567)) << "1 234 567";
  QTest::newRow("rate only") << QString::fromStdString(format_progress(999.6, std::nullopt)) << "1 000 rays/s";
}

void EstimateTest::texts() {
  QFETCH(QString, text);
  QFETCH(QString, expected);
  // Decimals follow the user's regional separator.
  QCOMPARE(text, localized(expected));
}

void EstimateTest::timeComesFromTheMeasuredRate() {
  TForm1& f = *form_;
  // Nothing measured yet: no figure made up.
  QVERIFY2(f.EstimateLabel->text().endsWith(QStringLiteral("Generation Time known after a first run")),
           qPrintable(f.EstimateLabel->text()));
  QVERIFY(f.EstimateLabel->text().contains(QStringLiteral(" MB")));
  QVERIFY(!f.Label10->isVisible() && !f.Label11->isVisible());
  f.CSpinEdit3->setValue(2000000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  const double rate = QSettings().value(QStringLiteral("estimate/raysPerSecond/zemax")).toDouble();
  QVERIFY2(rate > 1000, qPrintable(QString::number(rate)));
  // The next estimate is a range around the measured time.
  f.CSpinEdit3->setValue(100000000);
  const QString expected = QString::fromStdString(format_seconds_range(run_time_range(100000001, rate)));
  QVERIFY2(f.EstimateLabel->text().endsWith(QStringLiteral("Generation Time ") + expected),
           qPrintable(f.EstimateLabel->text()));
  QVERIFY(expected.contains(QStringLiteral("–")));
}

// The end-of-run notice waits for the user; the rate the next estimate
// uses must be the run's, not the run's plus the time the notice stayed open
// (which made a run of a fraction of a second estimate the next at seconds).
void EstimateTest::rateLeavesOutTheNoticeAfterTheRun() {
  TForm1& f = *form_;
  constexpr std::int32_t kRays = 500000;
  constexpr unsigned long kNoticeMs = 3000;
  f.CSpinEdit3->setValue(kRays);
  services_.answers = {DialogButton::Yes};
  services_.onShow = [](const ShownMessage& message) {
    if (message.text.contains(QStringLiteral("Succesfully"))) QThread::msleep(kNoticeMs);
  };
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  services_.onShow = nullptr;
  QCOMPARE(services_.error_texts(), QStringList{});
  const double rate = QSettings().value(QStringLiteral("estimate/raysPerSecond/zemax")).toDouble();
  QVERIFY2(rate > 0, "no rate stored after a run");
  const double seconds = (kRays + 1) / rate;
  QVERIFY2(seconds < kNoticeMs / 1000.0, qPrintable(QStringLiteral("the rate gives %1 s").arg(seconds)));
}

void EstimateTest::summaryAfterARunOpensTheFolder() {
  TForm1& f = *form_;
  QVERIFY(f.OpenFolderButton->isHidden());
  f.CSpinEdit3->setValue(30000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(!f.OpenFolderButton->isHidden() && !f.RunSummaryLabel->isHidden());
  QCOMPARE(f.RunSummaryLabel->text(), QStringLiteral("30 001 rays in ray.dat"));
  QCOMPARE(f.RunSummaryLabel->toolTip(), QDir::toNativeSeparators(directory_->path("ray.dat")));
  // A name too long for the line is cut in the middle, both ends kept.
  for (const auto& [text, width] : {std::pair{QStringLiteral("30 001 rays in ray.dat"), 400},
                                    std::pair{"30 001 rays in " + QString(60, QChar('x')) + "_end.dat", 160}}) {
    f.RunSummaryLabel->setText(text);
    f.RunSummaryLabel->resize(width, f.RunSummaryLabel->height());
    const QString shown = f.RunSummaryLabel->shown_text();
    QVERIFY2(f.RunSummaryLabel->fontMetrics().horizontalAdvance(shown) <= width, qPrintable(shown));
    if (f.RunSummaryLabel->fontMetrics().horizontalAdvance(text) <= width) {
      QCOMPARE(shown, text);
    } else {
      QVERIFY2(shown.startsWith(QStringLiteral("30 ")) && shown.endsWith(QStringLiteral("end.dat")) &&
                   shown.contains(QChar(0x2026)),
               qPrintable(shown));
    }
  }
  f.OpenFolderButton->click();
  QCOMPARE(services_.openedUrls.size(), std::size_t{1});
  QCOMPARE(services_.openedUrls[0], QUrl::fromLocalFile(QFileInfo(directory_->path("ray.dat")).absolutePath()));
  // No program for folders: said so, not passed over.
  services_.urlOpens = false;
  f.OpenFolderButton->click();
  QCOMPARE(services_.error_texts().size(), 1);
}

// A double-sided emitter of 2 x 1 mm sending 30 % backwards: the summary's
// bounds lie within the emitter and its share is the balance.
void EstimateTest::summaryShowsEmitterBoundsAndBackwardShare() {
  TForm1& f = *form_;
  QVERIFY(f.RunExtentLabel->isHidden());
  f.CSpinEdit3->setValue(200000);
  f.CheckBox6->click();        // Double side
  f.CSpinEdit6->setValue(30);  // Balance
  f.Edit10->setText(localized("2"));
  f.Edit9->setText(localized("1"));
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(!f.RunExtentLabel->isHidden());
  const QString text = f.RunExtentLabel->text();
  const QRegularExpression shape(
      QStringLiteral(R"(^start points x (\S+) to (\S+), y (\S+) to (\S+), z (\S+) mm; (\S+) % backwards$)"));
  const QRegularExpressionMatch match = shape.match(text);
  QVERIFY2(match.hasMatch(), qPrintable(text));
  const auto at = [&match](int i) { return match.captured(i).replace(separator(), QLatin1Char('.')).toDouble(); };
  // Within the emitter (X size 2 mm, Y size 1 mm) and spread over it.
  QVERIFY2(at(1) >= -1 && at(1) < -0.9 && at(2) <= 1 && at(2) > 0.9, qPrintable(text));
  QVERIFY2(at(3) >= -0.5 && at(3) < -0.45 && at(4) <= 0.5 && at(4) > 0.45, qPrintable(text));
  QCOMPARE(at(5), 0.0);
  // 30 % of 200 001 rays: five standard deviations are 0.5 %.
  QVERIFY2(std::fabs(at(6) - 30) < 0.5, qPrintable(text));
}

void EstimateTest::extentText_data() {
  QTest::addColumn<QList<double>>("box");  // lo x y z, hi x y z
  QTest::addColumn<int>("rays");
  QTest::addColumn<int>("backward");
  QTest::addColumn<QString>("expected");
  QTest::newRow("flat emitter") << QList<double>{-0.99996, -0.5, 0, 0.99998, 0.49999, 0} << 200001 << 60123
                                << "start points x -1 to 1, y -0.5 to 0.5, z 0 mm; 30.1 % backwards";
  QTest::newRow("a minus zero") << QList<double>{-0.0, 1e-3, -2.5, 0.0, 1e-3, 2.5} << 4 << 0
                                << "start points x 0, y 0.001, z -2.5 to 2.5 mm; 0.0 % backwards";
  QTest::newRow("no rays") << QList<double>{} << 0 << 0 << "no rays";
}

void EstimateTest::extentText() {
  QFETCH(QList<double>, box);
  QFETCH(int, rays);
  QFETCH(int, backward);
  QFETCH(QString, expected);
  RayExtent extent;
  extent.rays = rays;
  extent.backwardRays = backward;
  for (qsizetype k = 0; k < box.size() / 2; ++k) {
    extent.lo[static_cast<std::size_t>(k)] = box[k];
    extent.hi[static_cast<std::size_t>(k)] = box[k + 3];
  }
  QCOMPARE(QString::fromStdString(format_extent(extent)), localized(expected));
}

void EstimateTest::rateMeasuredWithAFakeClock_data() {
  QTest::addColumn<int>("format");
  for (const RayFormat& format : ray_formats()) {
    QTest::newRow(format.cliName.data()) << static_cast<int>(format.id);
  }
}

// Every format can be measured on the null device; the rate is the rays
// over the clock's interval, and a stopped measurement gives none.
void EstimateTest::rateMeasuredWithAFakeClock() {
  QFETCH(int, format);
  const auto id = static_cast<OutputFormat>(format);
  std::vector<double> readings;
  const auto clock = [&readings] {
    readings.push_back(10.0 + 0.5 * static_cast<double>(readings.size()));
    return readings.back();
  };
  QCOMPARE(measure_write_rate(
               id, [] { return false; }, clock),
           kCalibrationRays / 0.5);
  QCOMPARE(readings.size(), std::size_t{2});
  QCOMPARE(measure_write_rate(
               id, [] { return true; }, clock),
           0.0);
}

// The first estimate the user sees measures the chosen format's rate once
// (on the job, stored); later estimates, and a later window, reuse it.
void EstimateTest::firstEstimateCalibratesOnceThenReusesTheRate() {
  TForm1& f = *form_;
  const QString key = QStringLiteral("estimate/raysPerSecond/zemax");
  QCOMPARE(f.rate_calibrations(), 0);  // not shown: nothing measured
  f.show();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  QTRY_COMPARE(f.rate_calibrations(), 1);
  QTRY_VERIFY(!f.calibration_in_progress());
  const double rate = QSettings().value(key).toDouble();
  QVERIFY2(rate > 1000, qPrintable(QString::number(rate)));
  const auto expected = [&f, rate] {
    return QStringLiteral("Generation Time ") +
           QString::fromStdString(format_seconds_range(run_time_range(std::int64_t{f.CSpinEdit3->value()} + 1, rate)));
  };
  QVERIFY2(f.EstimateLabel->text().endsWith(expected()), qPrintable(f.EstimateLabel->text()));
  f.CSpinEdit3->setValue(50000000);
  QVERIFY2(f.EstimateLabel->text().endsWith(expected()), qPrintable(f.EstimateLabel->text()));
  f.hide();
  f.show();
  QTest::qWait(TForm1::kCalibrationDelayMs + 200);
  QCOMPARE(f.rate_calibrations(), 1);
  QCOMPARE(QSettings().value(key).toDouble(), rate);
  // Another format has its own rate, measured when it is chosen.
  f.Tm25Action->trigger();
  QTRY_COMPARE(f.rate_calibrations(), 2);
  QTRY_VERIFY(QSettings().value(QStringLiteral("estimate/raysPerSecond/tm25")).toDouble() > 0);

  ScriptedServices again;
  auto later = started_window(again);
  later->show();
  QVERIFY(QTest::qWaitForWindowExposed(later.get()));
  QTest::qWait(TForm1::kCalibrationDelayMs + 200);
  QCOMPARE(later->rate_calibrations(), 0);
  QVERIFY(later->EstimateLabel->text().contains(QStringLiteral("Generation Time ") +
                                                QString::fromStdString(format_seconds_range(run_time_range(
                                                    std::int64_t{later->CSpinEdit3->value()} + 1, rate)))));
}

void EstimateTest::speedAndTimeLeftWhileRunning() {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(100000000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(f.run_in_progress());
  QVERIFY(QTest::qWaitFor(
      [&] {
        return f.EstimateLabel->text().contains(QStringLiteral(" rays/s, ")) &&
               f.EstimateLabel->text().contains(QStringLiteral(" left"));
      },
      20000));
  f.cancel_run();
  QVERIFY(wait_for_idle(f));
  // A cancelled run measures nothing; the estimate is back.
  QVERIFY(!QSettings().contains(QStringLiteral("estimate/raysPerSecond/zemax")));
  QVERIFY2(f.EstimateLabel->text().startsWith(QStringLiteral("Size of Source File ")),
           qPrintable(f.EstimateLabel->text()));
}

LUCIDRA_QT_TEST_MAIN(EstimateTest)
#include "estimate_test.moc"
