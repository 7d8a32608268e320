// The Check view: a file written by the window, read back by File > Check,
// shown as one chart per view whose legend, ticks and error bars a user can
// read, with the check's own figures in the tables, exports that open, and
// a progress bar that reaches the end or, cancelled, leaves nothing behind.

#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QProgressBar>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <QXmlStreamReader>
#include <cmath>

#include "app/far_field_dialog.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

// The mantissa of a step: 1, 2 or 5 for a round one.
double mantissa(double step) { return step / std::pow(10.0, std::floor(std::log10(step) + 1e-9)); }

bool is_round_step(double step) {
  const double m = mantissa(step);
  return std::abs(m - 1) < 1e-9 || std::abs(m - 2) < 1e-9 || std::abs(m - 5) < 1e-9;
}

// Every text the chart's scene draws.
QStringList scene_texts(const QChart* chart) {
  QStringList texts;
  for (const QGraphicsItem* item : chart->scene()->items()) {
    if (const auto* text = dynamic_cast<const QGraphicsTextItem*>(item)) texts << text->toPlainText();
    if (const auto* simple = dynamic_cast<const QGraphicsSimpleTextItem*>(item)) texts << simple->text();
  }
  return texts;
}

}  // namespace

class CheckViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void roundAxisSteps_data();
  void roundAxisSteps();
  void chartsShowTheCheckReadably();
  void legendNamesEveryKindOfPointInFull();
  void exportWritesFilesThatOpen();
  void progressReachesTheEndOrCancels();

 private:
  // Writes `rays` + 1 rays to ray.dat from the window and checks the file;
  // the check's view, or nullptr.
  FarFieldDialog* run_and_check(int rays);

  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void CheckViewTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  form_ = started_window(services_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void CheckViewTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

FarFieldDialog* CheckViewTest::run_and_check(int rays) {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(rays);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  if (!wait_for_idle(f) || !services_.error_texts().isEmpty()) return nullptr;
  QSignalSpy checked(&f, &TForm1::checkFinished);
  f.Check1->trigger();
  if (!checked.wait(60000)) return nullptr;
  auto* dialog = f.findChild<FarFieldDialog*>(QStringLiteral("FarFieldCheck"));
  if (dialog != nullptr && !QTest::qWaitForWindowExposed(dialog)) return nullptr;
  return dialog;
}

// Golden axes: the first 1-2-5 step at or above a fifth of the largest
// value, and the top the first multiple of it at or above that value.
void CheckViewTest::roundAxisSteps_data() {
  QTest::addColumn<double>("largest");
  QTest::addColumn<double>("top");
  QTest::addColumn<double>("step");
  QTest::addColumn<int>("ticks");
  QTest::newRow("exactly one") << 1.0 << 1.0 << 0.2 << 6;
  QTest::newRow("the old 148.6") << 148.6 << 150.0 << 50.0 << 4;
  QTest::newRow("0.37 W/sr") << 0.37 << 0.4 << 0.1 << 5;
  QTest::newRow("seven") << 7.0 << 8.0 << 2.0 << 5;
  QTest::newRow("just above a step") << 10.01 << 15.0 << 5.0 << 4;
  QTest::newRow("tiny") << 1e-5 << 1e-5 << 2e-6 << 6;
  QTest::newRow("nothing") << 0.0 << 1.0 << 0.2 << 6;
}

void CheckViewTest::roundAxisSteps() {
  QFETCH(double, largest);
  QFETCH(double, top);
  QFETCH(double, step);
  QFETCH(int, ticks);
  const RoundAxis axis = round_axis(largest);
  QVERIFY2(std::abs(axis.top - top) <= 1e-12 * top, qPrintable(QString::number(axis.top, 'g', 17)));
  QVERIFY2(std::abs(axis.step - step) <= 1e-12 * step, qPrintable(QString::number(axis.step, 'g', 17)));
  QCOMPARE(axis.ticks, ticks);
  QVERIFY(is_round_step(axis.step));
  QVERIFY(axis.top >= largest * (1 - 1e-12));
  QVERIFY(std::abs(axis.top - axis.step * (axis.ticks - 1)) <= 1e-9 * axis.top);
}

// One chart per view with round ticks, an error bar for each bin holding
// rays spanning one standard deviation, a table with the check's figures,
// and the file summary.
void CheckViewTest::chartsShowTheCheckReadably() {
  FarFieldDialog* dialog = run_and_check(100000);
  QVERIFY(dialog != nullptr);
  QCOMPARE(dialog->windowTitle(), QStringLiteral("Far-field check – ray.dat"));
  const FarFieldResult& result = dialog->result();
  QCOMPARE(dialog->view_count(), 3);
  for (int v = 0; v < dialog->view_count(); ++v) {
    QChart* chart = dialog->chart_view(v)->chart();
    QCOMPARE(chart->title(), QString::fromStdString(result.totals.views[static_cast<std::size_t>(v)].name));

    const auto* x = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).at(0));
    const auto* y = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).at(0));
    QCOMPARE(x->min(), 0.0);
    const double xStep = (x->max() - x->min()) / (x->tickCount() - 1);
    QVERIFY2(xStep >= 10 && xStep <= 15 && std::abs(xStep - std::round(xStep)) < 1e-9,
             qPrintable(QString::number(xStep)));
    QCOMPARE(y->min(), 0.0);
    const double yStep = (y->max() - y->min()) / (y->tickCount() - 1);
    QVERIFY2(is_round_step(yStep), qPrintable(QString::number(yStep, 'g', 17)));

    // The error bars: one per bin with rays, from measured - sigma to
    // measured + sigma, in the bins' order; all inside the axis.
    const FarFieldViewResult& view = result.views[static_cast<std::size_t>(v)];
    std::vector<FarFieldBin> withRays;
    for (const FarFieldBin& bin : view.bins) {
      if (bin.rays > 0 && bin.thetaHiDeg <= x->max()) withRays.push_back(bin);
    }
    QVERIFY(!withRays.empty());
    std::vector<const QLineSeries*> bars;
    for (QAbstractSeries* series : chart->series()) {
      if (series->objectName() == QStringLiteral("errorBar%1").arg(v))
        bars.push_back(static_cast<QLineSeries*>(series));
    }
    QCOMPARE(bars.size(), withRays.size());
    for (std::size_t i = 0; i < bars.size(); ++i) {
      double lo = HUGE_VAL, hi = -HUGE_VAL;
      for (const QPointF& p : bars[i]->points()) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
      }
      const FarFieldBin& bin = withRays[i];
      QVERIFY(bin.sigma > 0);
      QVERIFY2(std::abs(lo - (bin.measured - bin.sigma)) < 1e-9 * bin.measured, qPrintable(QString::number(i)));
      QVERIFY2(std::abs(hi - (bin.measured + bin.sigma)) < 1e-9 * bin.measured, qPrintable(QString::number(i)));
      QVERIFY2(hi <= y->max(), qPrintable(QString::number(hi)));
    }

    // The table holds the check's own figures for this view.
    const QTableWidget* table = dialog->view_table(v);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->horizontalHeaderItem(3)->text(), QStringLiteral("χ²/dof"));
    QCOMPARE(table->item(0, 0)->text().toInt(), view.judgedBins);
    QVERIFY(view.judgedBins > 0);
    QCOMPARE(table->item(0, 1)->text().toInt(), view.failedBins);
    const QString deviation = table->item(0, 2)->text();
    QVERIFY2(deviation.endsWith(QStringLiteral(" % of peak")), qPrintable(deviation));
    QVERIFY2(std::abs(deviation.section(' ', 0, 0).toDouble() - 100 * view.largestDeviation) <= 0.005 + 1e-12,
             qPrintable(deviation));
    QVERIFY2(std::abs(table->item(0, 3)->text().toDouble() - view.chiSquarePerDof) <= 0.0005 + 1e-12,
             qPrintable(table->item(0, 3)->text()));
  }

  // A view without a judged bin shows no deviation and no chi-square.
  FarFieldResult sparse = result;
  for (FarFieldBin& bin : sparse.views[2].bins) bin.judged = false;
  sparse.views[2].judgedBins = sparse.views[2].failedBins = 0;
  const FarFieldDialog sparseDialog(sparse, form_.get(), FluxUnit::Watt, &services_);
  QCOMPARE(sparseDialog.view_table(2)->item(0, 0)->text(), QStringLiteral("0"));
  QCOMPARE(sparseDialog.view_table(2)->item(0, 2)->text(), QStringLiteral("–"));
  QCOMPARE(sparseDialog.view_table(2)->item(0, 3)->text(), QStringLiteral("–"));
  QCOMPARE(sparseDialog.view_table(0)->item(0, 0)->text().toInt(), result.views[0].judgedBins);

  // The file summary: name, format, rays and total flux with its unit.
  const QString summary = dialog->findChild<QLabel*>(QStringLiteral("FarFieldSummary"))->text();
  QVERIFY2(summary.startsWith(QStringLiteral("ray.dat: ")), qPrintable(summary));
  QVERIFY2(summary.contains(QStringLiteral(", 100001 rays, total flux ")), qPrintable(summary));
  QVERIFY2(summary.contains(QString::fromLatin1(ray_file_kind_name(result.kind))), qPrintable(summary));
  QVERIFY2(summary.endsWith(QStringLiteral(" W")) || summary.endsWith(QStringLiteral(" lm")), qPrintable(summary));
  const double flux = summary.section(' ', -2, -2).toDouble();
  QVERIFY2(std::abs(flux - result.totals.totalFlux) <= 1e-5 * result.totals.totalFlux, qPrintable(summary));
}

// The legend shows a line sample for the law and marker samples for the
// points (passing, failed, not judged), each text whole; the error bars
// have no entry.
void CheckViewTest::legendNamesEveryKindOfPointInFull() {
  FarFieldDialog* checked = run_and_check(100000);
  QVERIFY(checked != nullptr);
  // The same check with a failed and an unjudged bin in every view, so
  // that every kind of entry is there at once.
  FarFieldResult result = checked->result();
  for (FarFieldViewResult& view : result.views) {
    int marked = 0;
    for (FarFieldBin& bin : view.bins) {
      if (bin.rays == 0 || !bin.judged) continue;
      if (marked == 0) bin.passed = false;
      if (marked == 1) bin.judged = false;
      if (++marked == 2) break;
    }
    QCOMPARE(marked, 2);
  }
  FarFieldDialog dialog(result, form_.get(), FluxUnit::Watt, &services_);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  for (const FarFieldDialog* shown :
       {static_cast<const FarFieldDialog*>(checked), static_cast<const FarFieldDialog*>(&dialog)}) {
    for (int v = 0; v < shown->view_count(); ++v) {
      QChart* chart = shown->chart_view(v)->chart();
      QCOMPARE(chart->legend()->markerShape(), QLegend::MarkerShapeFromSeries);
      QCOMPARE(chart->legend()->alignment(), Qt::AlignBottom);
      QStringList labels;
      int lines = 0, points = 0;
      QSet<QRgb> colours;
      for (QLegendMarker* marker : chart->legend()->markers()) {
        if (!marker->isVisible()) {
          QCOMPARE(marker->series()->objectName(), QStringLiteral("errorBar%1").arg(v));
          continue;
        }
        labels << marker->label();
        colours.insert(marker->brush().color().rgb());
        if (marker->series()->type() == QAbstractSeries::SeriesTypeLine) ++lines;
        if (marker->series()->type() == QAbstractSeries::SeriesTypeScatter) ++points;
      }
      QCOMPARE(lines, 1);
      QCOMPARE(points, labels.size() - 1);
      if (shown == &dialog) QCOMPARE(labels.size(), 4);
      QCOMPARE(colours.size(), labels.size());  // no two entries alike
      QCoreApplication::processEvents();
      const QStringList drawn = scene_texts(chart);
      for (const QString& label : labels) {
        QVERIFY2(drawn.contains(label), qPrintable(label + QStringLiteral(" not drawn whole in ") + drawn.join('|')));
      }
      for (const QString& text : drawn) {
        QVERIFY2(!text.contains(QStringLiteral("...")) && !text.contains(QChar(0x2026)), qPrintable(text));
      }
    }
  }
}

// Each export opens as what its name says (a PNG picture, an SVG drawing,
// the binned figures one row per bin); Export offers the ray file's name
// with "-check.png" and makes a name without extension a PNG; another kind
// and a missing folder are refused, naming the file, and nothing is written.
void CheckViewTest::exportWritesFilesThatOpen() {
  FarFieldDialog* dialog = run_and_check(20000);
  QVERIFY(dialog != nullptr);
  for (const QString& name : {QStringLiteral("out.png"), QStringLiteral("out.svg"), QStringLiteral("out.CSV")}) {
    dialog->export_to(directory_->path(name));
    const QByteArray bytes = directory_->read(name);
    if (name.endsWith(QStringLiteral(".png"))) {
      const QImage image = QImage::fromData(bytes, "PNG");
      QVERIFY(image.width() >= 3 * 460 && image.height() >= 360);  // the three charts
    } else if (name.endsWith(QStringLiteral(".svg"))) {
      QXmlStreamReader xml(bytes);
      QVERIFY(xml.readNextStartElement());
      QCOMPARE(xml.name().toString(), QStringLiteral("svg"));
      // The verdict and the file's summary are part of the drawing.
      QVERIFY(bytes.contains(dialog->findChild<QLabel*>(QStringLiteral("FarFieldVerdict"))->text().left(4).toUtf8()));
      QVERIFY(bytes.contains("ray.dat: "));
      int elements = 0;
      while (!xml.atEnd()) elements += xml.readNext() == QXmlStreamReader::StartElement ? 1 : 0;
      QVERIFY2(!xml.hasError() && elements > 100, qPrintable(xml.errorString()));
    } else {
      const QStringList lines = QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
      QCOMPARE(lines.first(), QStringLiteral("view,theta_lo_deg,theta_hi_deg,rays,measured_w_per_sr,sigma_w_per_sr,"
                                             "expected_w_per_sr,judged,passed"));
      qsizetype bins = 0;
      for (const FarFieldViewResult& view : dialog->result().views) bins += static_cast<qsizetype>(view.bins.size());
      QCOMPARE(lines.size() - 1, bins);
      QVERIFY(lines[1].startsWith(QStringLiteral("all,0,2,")));
    }
  }

  auto* button = dialog->findChild<QPushButton*>(QStringLiteral("ExportCheckButton"));
  QVERIFY(button != nullptr);
  services_.fileAnswers = {directory_->path(QStringLiteral("chosen"))};
  button->click();
  QCOMPARE(services_.fileDialogs.size(), std::size_t{1});
  QCOMPARE(services_.fileDialogs[0].folder, directory_->path(QStringLiteral("ray-check.png")));
  QVERIFY(services_.fileDialogs[0].filter.contains(QStringLiteral("*.svg")));
  QVERIFY(services_.fileDialogs[0].filter.contains(QStringLiteral("*.csv")));
  QVERIFY(!QImage::fromData(directory_->read(QStringLiteral("chosen.png")), "PNG").isNull());
  QCOMPARE(services_.error_texts(), QStringList{});
  const std::pair<QString, QString> refused[] = {
      {directory_->path(QStringLiteral("picture.jpg")), QStringLiteral("must end in .png, .svg or .csv")},
      {directory_->path(QStringLiteral("no-such-folder/out.png")), QStringLiteral("Cannot create file ")},
  };
  for (const auto& [path, message] : refused) {
    services_.clear();
    services_.fileAnswers = {path};
    button->click();
    const QStringList errors = services_.error_texts();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(message) && errors[0].contains(path), qPrintable(errors[0]));
    QVERIFY(!QFileInfo::exists(path));
  }
}

// The bar rises while the file is read, ends at 100 and goes with the check,
// which shows its view. Cancel on the bar stops the next check: no view, no
// bar, no error, the window idle again.
void CheckViewTest::progressReachesTheEndOrCancels() {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(1000000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QSignalSpy checked(&f, &TForm1::checkFinished);
  for (const bool cancel : {false, true}) {
    f.Check1->trigger();
    QVERIFY(f.check_in_progress());
    auto* progress = f.findChild<CheckProgress*>(QStringLiteral("CheckProgress"));
    QVERIFY(progress != nullptr && progress->isVisible());
    QVERIFY(progress->labelText().contains(QStringLiteral("ray.dat")));
    auto* bar = progress->findChild<QProgressBar*>();
    QVERIFY(bar != nullptr);
    QCOMPARE(bar->value(), 0);
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&values](int value) { values << value; });
    if (cancel) progress->findChild<QPushButton*>()->click();
    QVERIFY(checked.wait(60000));
    QVERIFY(!f.check_in_progress());
    QTRY_COMPARE(f.findChild<CheckProgress*>(), nullptr);
    QCOMPARE(services_.error_texts(), QStringList{});
    if (cancel) {
      QCOMPARE(f.findChild<FarFieldDialog*>(), nullptr);
      QVERIFY(f.BitBtn1->isEnabled() && f.Check1->isEnabled());
    } else {
      QVERIFY(std::is_sorted(values.begin(), values.end()));
      QVERIFY(!values.isEmpty() && values.last() == 100);
      QVERIFY(std::any_of(values.begin(), values.end(), [](int v) { return v > 0 && v < 100; }));
      auto* dialog = f.findChild<FarFieldDialog*>();
      QVERIFY(dialog != nullptr);
      delete dialog;
    }
  }
}

LUCIDRA_QT_TEST_MAIN(CheckViewTest)
#include "check_view_test.moc"
