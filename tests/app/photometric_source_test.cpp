// The window's photometric source: an IES file chosen as the source in its
// own right (Browse, a typed name, a drop on the field), the two lists it
// replaces, the flux it sets, the flip, the summary and C-plane chart, the
// run it drives and File > Check against its whole solid; clearing it
// returns to the two distribution files.

#include <QChart>
#include <QDropEvent>
#include <QLegend>
#include <QLineSeries>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QValueAxis>
#include <cmath>
#include <numbers>

#include "app/far_field_dialog.h"
#include "app/photometric_dialog.h"
#include "output/ray_file_reader.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

// An IES file of type C photometry: `planes` C angles, gamma 0..90 in
// 10-degree steps, `candela(plane, gammaIndex)` its values.
template <typename Candela>
QByteArray ies_file(const std::vector<int>& planes, Candela candela) {
  QByteArray text = "IESNA:LM-63-2002\r\n[TEST] window photometric source\r\nTILT=NONE\r\n";
  text += "1 -1 1 10 " + QByteArray::number(qsizetype(planes.size())) + " 1 2 0 0 0\r\n1 1 10\r\n";
  for (int g = 0; g <= 90; g += 10) text += QByteArray::number(g) + " ";
  text += "\r\n";
  for (int c : planes) text += QByteArray::number(c) + " ";
  text += "\r\n";
  for (std::size_t p = 0; p < planes.size(); ++p) {
    for (int k = 0; k < 10; ++k) text += QByteArray::number(candela(p, k), 'g', 12) + " ";
    text += "\r\n";
  }
  return text;
}

// 1000 cd at every gamma up to 90: a hemisphere of 2 pi 1000 lm exactly.
QByteArray flat_ies() {
  return ies_file({0}, [](std::size_t, int) { return 1000.0; });
}

// 1000 cd up to gamma 20, nothing from 30: half the peak at 25 degrees.
QByteArray step_ies() {
  return ies_file({0}, [](std::size_t, int k) { return k <= 2 ? 1000.0 : 0.0; });
}

// 1000 cos(gamma): half the peak at 60 degrees, a grid point.
QByteArray cosine_ies() {
  return ies_file({0},
                  [](std::size_t, int k) { return k == 9 ? 0.0 : 1000 * std::cos(k * 10 * std::numbers::pi / 180); });
}

// Light mostly toward C0 (+x): the C0 plane ten times the C180 plane, which
// no pair of mirrored planes can give.
QByteArray toward_c0_ies() {
  return ies_file({0, 90, 180, 270, 360}, [](std::size_t p, int k) {
    constexpr double weight[] = {1.0, 0.4, 0.1, 0.4, 1.0};
    return k == 9 ? 0.0 : weight[p] * 1000 * std::cos(k * 10 * std::numbers::pi / 180);
  });
}

struct RaySums {
  std::int64_t rays = 0;
  double flux = 0, fluxTowardPlusX = 0;
  double minDz = 2, maxDz = -2;
};

RaySums ray_sums(const QString& path) {
  RaySums total;
  read_ray_file(
      path.toStdString(), RayFileKind::Auto, 1,
      [](const RayRecord* rays, std::size_t count) {
        auto sums = std::make_shared<RaySums>();
        for (std::size_t k = 0; k < count; ++k) {
          ++sums->rays;
          sums->flux += rays[k].flux;
          if (rays[k].dx > 0) sums->fluxTowardPlusX += rays[k].flux;
          sums->minDz = std::min(sums->minDz, rays[k].dz);
          sums->maxDz = std::max(sums->maxDz, rays[k].dz);
        }
        return std::shared_ptr<void>(sums);
      },
      [&total](std::shared_ptr<void> partial) {
        const auto& sums = *static_cast<RaySums*>(partial.get());
        total.rays += sums.rays;
        total.flux += sums.flux;
        total.fluxTowardPlusX += sums.fluxTowardPlusX;
        total.minDz = std::min(total.minDz, sums.minDz);
        total.maxDz = std::max(total.maxDz, sums.maxDz);
      });
  return total;
}

bool table_lists_enabled(const TForm1& f) {
  return f.ComboBoxEx1->isEnabled() && f.ComboBoxEx2->isEnabled() && f.BrowseLongitudinalButton->isEnabled() &&
         f.BrowseTransversalButton->isEnabled();
}

bool table_lists_disabled(const TForm1& f) {
  return !f.ComboBoxEx1->isEnabled() && !f.ComboBoxEx2->isEnabled() && !f.BrowseLongitudinalButton->isEnabled() &&
         !f.BrowseTransversalButton->isEnabled();
}

}  // namespace

class PhotometricSourceTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void chooseSetsTheSourceAndClearingReturnsToTheTables_data();
  void chooseSetsTheSourceAndClearingReturnsToTheTables();
  void unreadableFileKeepsTheSource();
  void cancelWhileReadingKeepsTheSource();
  void summaryAndChartOfTheCPlanes_data();
  void summaryAndChartOfTheCPlanes();
  void runFollowsTheSolidAndCheckPasses_data();
  void runFollowsTheSolidAndCheckPasses();
  void checkFailsRaysOfTheOtherOrientation();
  void settingsRoundTripThroughTheControls();

 private:
  // Runs GENERATE (answering Yes) and then File > Check; the check's dialog.
  FarFieldDialog* run_and_check();

  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void PhotometricSourceTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  directory_->write("flat.ies", flat_ies());
  directory_->write("step.ies", step_ies());
  directory_->write("cosine.ies", cosine_ies());
  directory_->write("toward-c0.ies", toward_c0_ies());
  form_ = started_window(services_);
}

void PhotometricSourceTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

FarFieldDialog* PhotometricSourceTest::run_and_check() {
  TForm1& f = *form_;
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  if (!wait_for_idle(f)) return nullptr;
  if (!services_.error_texts().isEmpty()) return nullptr;
  for (FarFieldDialog* old : f.findChildren<FarFieldDialog*>()) delete old;
  QSignalSpy checked(&f, &TForm1::checkFinished);
  f.Check1->trigger();
  if (!checked.wait(60000) || !services_.error_texts().isEmpty()) return nullptr;
  return f.findChild<FarFieldDialog*>(QStringLiteral("FarFieldCheck"));
}

void PhotometricSourceTest::chooseSetsTheSourceAndClearingReturnsToTheTables_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("Browse") << "browse";
  QTest::newRow("typed, then Enter") << "typed";
  QTest::newRow("dropped on the field") << "dropped";
}

void PhotometricSourceTest::chooseSetsTheSourceAndClearingReturnsToTheTables() {
  QFETCH(QString, how);
  TForm1& f = *form_;
  f.SourceFluxEdit->setValue(12.5);
  QVERIFY(table_lists_enabled(f));
  QVERIFY(!f.FlipSolidBox->isEnabled());
  if (how == "browse") {
    services_.fileAnswers = {directory_->path("flat.ies")};
    f.BrowsePhotometricButton->click();
    QCOMPARE(services_.fileDialogs.size(), std::size_t{1});
    QVERIFY(services_.fileDialogs[0].filter.contains(QStringLiteral("*.ldt")));
  } else if (how == "typed") {
    f.PhotometricFileEdit->setFocus();
    QTest::keyClicks(f.PhotometricFileEdit, QStringLiteral("flat.ies"));
    QTest::keyClick(f.PhotometricFileEdit, Qt::Key_Return);
  } else {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(directory_->path("flat.ies"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.PhotometricFileEdit, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.PhotometricFileEdit, &drop);
    QVERIFY(!directory_->exists("flat_C0-C180.txt"));  // the source, not an import
  }
  // Read on a worker, the settings locked meanwhile.
  QVERIFY(f.import_in_progress());
  QVERIFY(!f.PhotometricPanel->isEnabled() && !f.BitBtn1->isEnabled());
  QVERIFY(wait_for_idle(f));
  QVERIFY(f.PhotometricPanel->isEnabled() && f.BitBtn1->isEnabled());
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(f.photometric_source_active());
  QCOMPARE(f.PhotometricFileEdit->text(), QStringLiteral("flat.ies"));
  QVERIFY(table_lists_disabled(f));
  QVERIFY(f.FlipSolidBox->isEnabled() && !f.FlipSolidBox->isChecked());
  // The flux defaults to the luminaire's: 1000 cd over a hemisphere.
  QCOMPARE(f.FluxUnitBox->currentText(), QStringLiteral("lm"));
  QVERIFY2(std::abs(f.SourceFluxEdit->value() - 2000 * std::numbers::pi) < 1e-4,
           qPrintable(QString::number(f.SourceFluxEdit->value(), 'g', 12)));
  GenerationSettings settings = f.settings_from_controls();
  QCOMPARE(settings.photometricFile, std::string("flat.ies"));
  QVERIFY(settings.fluxFromPhotometricFile);
  QCOMPARE(settings.fluxUnit, FluxUnit::Lumen);
  QVERIFY(!settings.flipSolid);
  f.FlipSolidBox->click();
  QVERIFY(f.settings_from_controls().flipSolid);
  // Plot shows the source's C0-C180 and C90-C270 planes, not the unused files.
  if (f.Chart1->isHidden()) f.Button1->click();
  QVERIFY2(f.Series1->name().endsWith(QStringLiteral("flat.ies C0-C180")), qPrintable(f.Series1->name()));
  QCOMPARE(f.Series1->count(), 10);
  for (const QPointF& point : f.Series1->points()) QCOMPARE(point.y(), 1000.0);
  // A flux the user types replaces the file's.
  f.SourceFluxEdit->setValue(100);
  settings = f.settings_from_controls();
  QVERIFY(!settings.fluxFromPhotometricFile);
  QCOMPARE(settings.sourceFlux, 100.0);

  f.PhotometricFileEdit->clear();  // as the field's clear button does
  QVERIFY(!f.photometric_source_active());
  QVERIFY(table_lists_enabled(f));
  QVERIFY(!f.FlipSolidBox->isEnabled() && !f.FlipSolidBox->isChecked());
  QCOMPARE(f.FluxUnitBox->currentText(), QStringLiteral("W"));
  QCOMPARE(f.SourceFluxEdit->value(), 12.5);
  settings = f.settings_from_controls();
  QVERIFY(settings.photometricFile.empty());
  QVERIFY(!settings.flipSolid && !settings.fluxFromPhotometricFile);
  QCOMPARE(settings.longitudinalFile, std::string("horizontal.txt"));
  QVERIFY2(f.Series1->name().endsWith(QStringLiteral("horizontal.txt")), qPrintable(f.Series1->name()));
  QCOMPARE(f.Series1->count(), 92);  // its 91 points and the tail down to zero
}

// A file that cannot be read is reported by name and changes nothing: no
// source stays none, a source stays the one chosen before.
void PhotometricSourceTest::unreadableFileKeepsTheSource() {
  TForm1& f = *form_;
  directory_->write("bad.ies", "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 1000 1 10 1 3 2 0 0 0\r\n1 1 10\r\n");
  for (const QString& start : {QString(), QStringLiteral("cosine.ies")}) {
    services_.clear();
    if (!start.isEmpty()) {
      services_.fileAnswers = {directory_->path(start)};
      f.BrowsePhotometricButton->click();
      QVERIFY(wait_for_idle(f));
      QCOMPARE(services_.error_texts(), QStringList{});
    }
    const double flux = f.SourceFluxEdit->value();
    for (const QString& bad : {QStringLiteral("bad.ies"), QStringLiteral("missing.ldt")}) {
      services_.fileAnswers = {directory_->path(bad)};
      f.BrowsePhotometricButton->click();
      QVERIFY(wait_for_idle(f));
      const QStringList errors = services_.error_texts();
      QCOMPARE(errors.size(), 1);
      QVERIFY2(errors[0].contains(bad), qPrintable(errors[0]));
      services_.clear();
      QCOMPARE(f.PhotometricFileEdit->text(), start);
      QCOMPARE(f.photometric_source_active(), !start.isEmpty());
      QCOMPARE(table_lists_enabled(f), start.isEmpty());
      QCOMPARE(f.SourceFluxEdit->value(), flux);
    }
  }
}

// Cancel while a chosen file is read drops what was read: the source, the
// field and the flux stay as they were.
void PhotometricSourceTest::cancelWhileReadingKeepsTheSource() {
  TForm1& f = *form_;
  for (const QString& start : {QString(), QStringLiteral("cosine.ies")}) {
    if (!start.isEmpty()) {
      services_.fileAnswers = {directory_->path(start)};
      f.BrowsePhotometricButton->click();
      QVERIFY(wait_for_idle(f));
    }
    const double flux = f.SourceFluxEdit->value();
    services_.fileAnswers = {directory_->path("flat.ies")};
    f.BrowsePhotometricButton->click();
    QVERIFY(f.import_in_progress());
    QVERIFY(!f.CancelRunButton->isHidden());
    f.CancelRunButton->click();
    QVERIFY(wait_for_idle(f));
    QCOMPARE(services_.error_texts(), QStringList{});
    QCOMPARE(f.PhotometricFileEdit->text(), start);
    QCOMPARE(f.photometric_source_active(), !start.isEmpty());
    QCOMPARE(f.SourceFluxEdit->value(), flux);
    QVERIFY(f.PhotometricPanel->isEnabled() && f.BitBtn1->isEnabled());
  }
}

void PhotometricSourceTest::summaryAndChartOfTheCPlanes_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<bool>("flip");
  QTest::addColumn<QString>("beam");     // the summary's beam angle line
  QTest::addColumn<QString>("brief");    // the panel's line
  QTest::addColumn<double>("xFor30");    // where the C0 curve's gamma 30 point lies
  QTest::addColumn<double>("c0At30");    // and its intensity
  QTest::addColumn<double>("c180At30");  // the C180 half-plane's at -30 (or +150 flipped)
  QTest::newRow("step, half the peak at 25 degrees")
      << "step.ies" << false << "50 degrees in C0-C180, 50 degrees in C90-C270"
      << "peak 1000 cd, beam 50°" << 30.0 << 0.0 << 0.0;
  QTest::newRow("cosine, half the peak at 60 degrees")
      << "cosine.ies" << false << "120 degrees in C0-C180, 120 degrees in C90-C270"
      << "peak 1000 cd, beam 120°" << 30.0 << 866.025403784 << 866.025403784;
  QTest::newRow("toward C0") << "toward-c0.ies" << false << "in C0-C180"
                             << "peak 1000 cd" << 30.0 << 866.025403784 << 86.6025403784;
  QTest::newRow("toward C0, turned over: gamma 30 lies at 150")
      << "toward-c0.ies" << true << "in C0-C180"
      << "peak 1000 cd" << 150.0 << 866.025403784 << 86.6025403784;
}

void PhotometricSourceTest::summaryAndChartOfTheCPlanes() {
  QFETCH(QString, file);
  QFETCH(bool, flip);
  QFETCH(QString, beam);
  QFETCH(QString, brief);
  QFETCH(double, xFor30);
  QFETCH(double, c0At30);
  QFETCH(double, c180At30);
  TForm1& f = *form_;
  services_.fileAnswers = {directory_->path(file)};
  f.BrowsePhotometricButton->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  if (flip) f.FlipSolidBox->click();
  QVERIFY2(f.PhotometricBrief->text().contains(QString(brief).replace(QChar('.'), separator())),
           qPrintable(f.PhotometricBrief->text()));

  // Browse opened the chart; the flip redrew it turned over.
  const QList<PhotometricDialog*> dialogs = f.findChildren<PhotometricDialog*>();
  PhotometricDialog* dialog = nullptr;
  for (PhotometricDialog* each : dialogs) {
    if (each->isVisible()) dialog = each;
  }
  QVERIFY(dialog != nullptr);
  const auto* summary = dialog->findChild<QLabel*>(QStringLiteral("PhotometricSummary"));
  QVERIFY(summary != nullptr);
  const QString text = summary->text();
  for (const QString& line :
       {QStringLiteral("  format:     IES LM-63 (IESNA:LM-63-2002)"), QStringLiteral("  symmetry:   "),
        QStringLiteral("  gamma:      0 to 90 degrees, 10 angles"), QStringLiteral("  peak:       1000 cd"),
        QStringLiteral("lm from the intensities (the luminaire's)"),
        QStringLiteral("the header states no lamp lumens (absolute photometry)"), QStringLiteral("  beam angle: "),
        beam, flip ? QStringLiteral("the light goes toward -z") : QStringLiteral("the light goes toward +z")}) {
    QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral("\n") + text));
  }

  QChart* chart = dialog->chart_view()->chart();
  QVERIFY(chart->legend()->isVisible());
  QCOMPARE(chart->series().size(), 4);
  QCOMPARE(static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0])->titleText(), QStringLiteral("Intensity, cd"));
  QVERIFY(static_cast<QValueAxis*>(chart->axes(Qt::Horizontal)[0])->titleText().startsWith(QStringLiteral("Gamma")));
  QStringList names;
  for (QAbstractSeries* series : chart->series()) names << series->name();
  QCOMPARE(names, (QStringList{"C0-C180", "C45-C225", "C90-C270", "C135-C315"}));
  // The C0 curve at gamma 30 on the positive side, C180's on the negative.
  const auto* c0 = static_cast<QLineSeries*>(chart->series()[0]);
  bool foundC0 = false, foundC180 = false;
  for (const QPointF& point : c0->points()) {
    if (point.x() == xFor30) {
      foundC0 = true;
      QVERIFY2(std::abs(point.y() - c0At30) < 1e-6, qPrintable(QString::number(point.y(), 'g', 12)));
    }
    if (point.x() == -xFor30) {
      foundC180 = true;
      QVERIFY2(std::abs(point.y() - c180At30) < 1e-6, qPrintable(QString::number(point.y(), 'g', 12)));
    }
  }
  QVERIFY(foundC0 && foundC180);
}

// The rays follow the whole solid: light toward +x as the file has it (two
// mirrored planes would split it evenly), all of it forward, or all of it
// backward when turned over; their flux is the file's; File > Check judges
// them in the C-plane views and passes.
void PhotometricSourceTest::runFollowsTheSolidAndCheckPasses_data() {
  QTest::addColumn<bool>("flip");
  QTest::newRow("as the file gives it") << false;
  QTest::newRow("turned over") << true;
}

void PhotometricSourceTest::runFollowsTheSolidAndCheckPasses() {
  QFETCH(bool, flip);
  TForm1& f = *form_;
  f.PhotometricFileEdit->setText(QStringLiteral("toward-c0.ies"));  // from code: taken at once
  QVERIFY(f.photometric_source_active());
  f.FlipSolidBox->setChecked(flip);
  f.CSpinEdit3->setValue(200000);
  const double fileFlux = f.SourceFluxEdit->value();
  FarFieldDialog* dialog = run_and_check();
  QVERIFY(dialog != nullptr);
  QChart* chart = dialog->chart_view()->chart();
  const QString verdict = dialog->findChild<QLabel*>(QStringLiteral("FarFieldVerdict"))->text();
  QVERIFY2(verdict.startsWith(QStringLiteral("PASS")), qPrintable(verdict));
  QCOMPARE(dialog->view_count(), 9);  // all azimuths and eight C-planes
  QCOMPARE(static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0])->titleText(), QStringLiteral("Intensity, cd"));

  const RaySums sums = ray_sums(directory_->path("ray.dat"));
  QCOMPARE(sums.rays, std::int64_t{200001});
  QVERIFY2(std::abs(sums.flux - fileFlux) < 1e-3, qPrintable(QString::number(sums.flux, 'g', 12)));
  const double towardPlusX = sums.fluxTowardPlusX / sums.flux;
  QVERIFY2(towardPlusX > 0.7, qPrintable(QString::number(towardPlusX)));
  if (flip) {
    QVERIFY2(sums.maxDz <= 1e-6, qPrintable(QString::number(sums.maxDz)));
  } else {
    QVERIFY2(sums.minDz >= -1e-6, qPrintable(QString::number(sums.minDz)));
  }

  // Cleared, the run goes back to the two distribution files and their
  // two-plane check.
  f.PhotometricFileEdit->clear();
  f.CSpinEdit3->setValue(100000);
  dialog = run_and_check();
  QVERIFY(dialog != nullptr);
  const QString twoPlaneVerdict = dialog->findChild<QLabel*>(QStringLiteral("FarFieldVerdict"))->text();
  QVERIFY2(twoPlaneVerdict.startsWith(QStringLiteral("PASS")), qPrintable(twoPlaneVerdict));
  QCOMPARE(dialog->view_count(), 3);
}

// The check compares with the solid as the run drew it: rays of the file as
// given fail against the turned-over solid.
void PhotometricSourceTest::checkFailsRaysOfTheOtherOrientation() {
  TForm1& f = *form_;
  f.PhotometricFileEdit->setText(QStringLiteral("toward-c0.ies"));
  f.CSpinEdit3->setValue(100000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  const QByteArray upright = directory_->read("ray.dat");
  f.FlipSolidBox->setChecked(true);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  directory_->write("ray.dat", upright);
  QSignalSpy checked(&f, &TForm1::checkFinished);
  f.Check1->trigger();
  QVERIFY(checked.wait(60000));
  auto* dialog = f.findChild<FarFieldDialog*>(QStringLiteral("FarFieldCheck"));
  QVERIFY(dialog != nullptr);
  const QString verdict = dialog->findChild<QLabel*>(QStringLiteral("FarFieldVerdict"))->text();
  QVERIFY2(verdict.startsWith(QStringLiteral("FAIL")), qPrintable(verdict));
}

// The source, its flip and its flux (the file's, or one given) map onto the
// controls and back.
void PhotometricSourceTest::settingsRoundTripThroughTheControls() {
  TForm1& f = *form_;
  GenerationSettings wanted = f.settings_from_controls();
  wanted.photometricFile = "toward-c0.ies";
  wanted.flipSolid = true;
  wanted.fluxFromPhotometricFile = true;
  f.controls_from_settings(wanted, f.setting_texts());
  GenerationSettings read = f.settings_from_controls();
  QCOMPARE(read.photometricFile, wanted.photometricFile);
  QVERIFY(read.flipSolid && read.fluxFromPhotometricFile);
  QVERIFY(table_lists_disabled(f));
  wanted.fluxFromPhotometricFile = false;
  wanted.sourceFlux = 50;
  wanted.fluxUnit = FluxUnit::Watt;
  f.controls_from_settings(wanted, f.setting_texts());
  read = f.settings_from_controls();
  QVERIFY(!read.fluxFromPhotometricFile);
  QCOMPARE(read.sourceFlux, 50.0);
  QCOMPARE(read.fluxUnit, FluxUnit::Watt);
  wanted.photometricFile.clear();
  f.controls_from_settings(wanted, f.setting_texts());
  read = f.settings_from_controls();
  QVERIFY(read.photometricFile.empty() && !read.flipSolid);
  QVERIFY(table_lists_enabled(f));
}

LUCIDRA_QT_TEST_MAIN(PhotometricSourceTest)
#include "photometric_source_test.moc"
