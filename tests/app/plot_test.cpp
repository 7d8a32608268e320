// The distribution chart: which points a combo box change, the "Plot >>"
// button and File > Plot put into the two series, their order and tails, the
// captions, the window width, and the read errors.

#include <QChart>
#include <QDir>
#include <QLegend>
#include <QLegendMarker>
#include <QPen>
#include <QTest>
#include <QValueAxis>
#include <cmath>

#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

using Points = QList<QPointF>;

namespace {

QStringList config_naming(const QString& first, const QString& second) {
  QStringList lines = standard_config_lines();
  lines[2] = first;
  lines[3] = second;
  return lines;
}

}  // namespace

class PlotTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void curvePoints_data();
  void curvePoints();
  void eachCurveUsesItsOwnCount();
  void buttonTogglesTheChartAndRefillsEveryTime();
  void comboChangeKeepsTheChartAsItIs();
  void emptySecondComboBox();
  void readErrors_data();
  void readErrors();
  void arcModeHasNoTailPoints();
  void chartLooks();
  void axisTitlesAndLegendNames_data();
  void axisTitlesAndLegendNames();
  void ticksAtRoundSteps();
  void hoverReadsOutThePoint();
  void chartGrowsWithTheWindowAndRemembersItsSize();
  void exportChart_data();
  void exportChart();

 private:
  void write_files(const QByteArray& first, const QByteArray& second) const;
  // Chooses "first.txt" from the first combo box's list.
  void choose_first_file();
  // The window's own list of a series' points.
  Points model(ChartSeries which) const;

  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void PlotTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  directory_->write("lucidra.cfg", config_bytes(config_naming("first.txt", "second.txt")));
  write_files(distribution_bytes({0, 10, 20}, {100, 50, 0}), distribution_bytes({0, 10, 20}, {100, 50, 0}));
  form_ = started_window(services_);
}

void PlotTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

void PlotTest::write_files(const QByteArray& first, const QByteArray& second) const {
  directory_->write("first.txt", first);
  directory_->write("second.txt", second);
}

void PlotTest::choose_first_file() {
  {
    const QSignalBlocker quiet(form_->ComboBoxEx1);
    form_->ComboBoxEx1->setEditText(QString());
  }
  form_->ComboBoxEx1->setCurrentIndex(form_->ComboBoxEx1->findText("first.txt"));
}

Points PlotTest::model(ChartSeries which) const {
  Points points;
  for (const PlotPoint& point : form_->series_points(which)) points.append(QPointF(point.x, point.y));
  return points;
}

void PlotTest::curvePoints_data() {
  QTest::addColumn<QString>("trigger");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<Points>("points");
  const QByteArray five = distribution_bytes({0, 10, 20, 30, 40}, {100, 90, 70, 40, 5});
  const Points fourPoints{{0, 100}, {10, 90}, {20, 70}, {30, 40}};
  const Points withTail = fourPoints + Points{{40, 0}, {50, 0}};
  QTest::newRow("five values, combo box") << "combo" << five << fourPoints;
  QTest::newRow("five values, button") << "button" << five << withTail;
  QTest::newRow("five values, File > Plot") << "menu" << five << withTail;

  const QByteArray single = distribution_bytes({5}, {100});
  QTest::newRow("single value, combo box") << "combo" << single << Points{};
  QTest::newRow("single value, button") << "button" << single << Points{{5, 0}, {15, 0}};

  const QByteArray descending = distribution_bytes({40, 30, 20, 10, 0}, {0, 40, 70, 90, 100});
  QTest::newRow("descending, combo box") << "combo" << descending << Points{{10, 90}, {20, 70}, {30, 40}, {40, 0}};
  QTest::newRow("descending, button: tails among the others")
      << "button" << descending << Points{{0, 0}, {10, 90}, {10, 0}, {20, 70}, {30, 40}, {40, 0}};

  QTest::newRow("equal abscissae keep their order")
      << "combo" << distribution_bytes({0, 10, 10, 20}, {1, 2, 3, 4}) << Points{{0, 1}, {10, 2}, {10, 3}};
  QTest::newRow("fractional values in the locale's writing")
      << "combo" << distribution_bytes({0.5, 1.25, 2}, {9.5, 8.75, 1}) << Points{{0.5, 9.5}, {1.25, 8.75}};
  QTest::newRow("empty first line, button: no tail") << "button" << QByteArray("\r\n\r\n\r\n") << Points{};
}

void PlotTest::curvePoints() {
  QFETCH(QString, trigger);
  QFETCH(QByteArray, file);
  QFETCH(Points, points);
  write_files(file, distribution_bytes({0, 10, 20}, {100, 50, 0}));
  if (trigger == "combo") {
    choose_first_file();
  } else if (trigger == "button") {
    form_->Button1->click();
  } else {
    form_->Notyfy1->trigger();
  }
  QCOMPARE(services_.texts(), QStringList{});
  QCOMPARE(form_->Series1->points(), points);
  const Points second = trigger == "combo" ? Points{{0, 100}, {10, 50}} : Points{{0, 100}, {10, 50}, {20, 0}, {30, 0}};
  QCOMPARE(form_->Series2->points(), second);
  // The drawn series and the window's list are the same.
  QCOMPARE(model(ChartSeries::Longitudinal), points);
  QCOMPARE(model(ChartSeries::Transversal), second);
  QCOMPARE(form_->Chart1->isHidden(), trigger == "combo");
}

void PlotTest::eachCurveUsesItsOwnCount() {
  write_files(distribution_bytes({0, 1, 2, 3, 4}, {5, 4, 3, 2, 1}), distribution_bytes({0, 2, 4}, {9, 8, 7}));
  form_->Button1->click();
  QCOMPARE(form_->Series1->points(), (Points{{0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 0}, {14, 0}}));
  QCOMPARE(form_->Series2->points(), (Points{{0, 9}, {2, 8}, {4, 0}, {14, 0}}));
}

void PlotTest::buttonTogglesTheChartAndRefillsEveryTime() {
  TForm1& f = *form_;
  f.Button1->click();
  QVERIFY(!f.Chart1->isHidden());
  QCOMPARE(f.Button1->text(), QStringLiteral("Plot <<"));
  QCOMPARE(f.centralWidget()->size(), QSize(953, 493));
  QCOMPARE(f.width(), 953);

  // A press that hides the chart still reads both files.
  write_files(distribution_bytes({1, 2, 3}, {4, 5, 6}), distribution_bytes({7, 8}, {9, 10}));
  f.Button1->click();
  QVERIFY(f.Chart1->isHidden());
  QCOMPARE(f.Button1->text(), QStringLiteral("Plot >>"));
  QCOMPARE(f.centralWidget()->size(), QSize(405, 493));
  QCOMPARE(f.width(), 405);
  QCOMPARE(f.Series1->points(), (Points{{1, 4}, {2, 5}, {3, 0}, {13, 0}}));
  QCOMPARE(f.Series2->points(), (Points{{7, 9}, {8, 0}, {18, 0}}));
  QVERIFY(services_.shown.empty());
}

void PlotTest::comboChangeKeepsTheChartAsItIs() {
  TForm1& f = *form_;
  choose_first_file();
  QVERIFY(f.Chart1->isHidden());
  QCOMPARE(f.Button1->text(), QStringLiteral("Plot >>"));
  f.Button1->click();
  choose_first_file();
  QVERIFY(!f.Chart1->isHidden());
  QCOMPARE(f.Button1->text(), QStringLiteral("Plot <<"));
  QCOMPARE(f.Series1->count(), 2);  // refilled without tails
  // Typing into the second combo box refreshes when the name is committed
  // (here by Enter, which then does not generate from a name it could not read).
  QTest::keyClick(f.ComboBoxEx2->lineEdit(), Qt::Key_End);
  QTest::keyClick(f.ComboBoxEx2->lineEdit(), Qt::Key_Backspace);
  QCOMPARE(f.ComboBoxEx2->currentText(), QStringLiteral("second.tx"));
  QVERIFY(services_.shown.empty());
  QCOMPARE(f.Series2->count(), 2);  // still second.txt
  QTest::keyClick(f.ComboBoxEx2->lineEdit(), Qt::Key_Return);
  QCOMPARE(services_.texts(), QStringList{"Cannot open file second.tx."});
  QCOMPARE(f.Series1->count(), 2);
  QCOMPARE(f.Series2->count(), 0);
}

void PlotTest::emptySecondComboBox() {
  TForm1& f = *form_;
  {
    const QSignalBlocker quiet(f.ComboBoxEx2);
    f.ComboBoxEx2->setEditText(QString());
  }
  choose_first_file();
  QCOMPARE(f.Series1->points(), (Points{{0, 100}, {10, 50}}));
  QCOMPARE(f.Series2->count(), 0);
  // No full stop: the text ends in a blank.
  QCOMPARE(services_.error_texts(), QStringList{"Cannot open file "});
}

void PlotTest::readErrors_data() {
  QTest::addColumn<QByteArray>("first");
  QTest::addColumn<QByteArray>("second");
  QTest::addColumn<QString>("error");
  QTest::addColumn<int>("firstCount");
  const QByteArray good = distribution_bytes({0, 10, 20}, {100, 50, 0});
  const QString wrong = separator() == QChar(',') ? QStringLiteral("2.5") : QStringLiteral("2,5");
  QTest::newRow("second file has two lines")
      << good << QByteArray("0 10 \r\nx\r\n")
      << "List index out of bounds (2)\n(distribution file second.txt, line 3 is missing)" << 4;
  QTest::newRow("first file has two lines")
      << QByteArray("0 10 \r\nx\r\n") << good
      << "List index out of bounds (2)\n(distribution file first.txt, line 3 is missing)" << 0;
  QTest::newRow("first line starts with a blank")
      << QByteArray(" 0 10 \r\n\r\n1 2 \r\n") << good
      << "'' is not a valid floating point value\n(distribution file first.txt, line 1, value 1)" << 0;
  QTest::newRow("the other decimal separator")
      << QByteArray(wrong.toLatin1() + " \r\n\r\n1 \r\n") << good
      << QStringLiteral("'%1' is not a valid floating point value\n(distribution file first.txt, line 1, value 1)")
             .arg(wrong)
      << 0;
  QTest::newRow("letters in the intensities")
      << good << QByteArray("0 10 \r\n\r\n1 abc \r\n")
      << "'abc' is not a valid floating point value\n(distribution file second.txt, line 3, value 2)" << 4;
}

void PlotTest::readErrors() {
  QFETCH(QByteArray, first);
  QFETCH(QByteArray, second);
  QFETCH(QString, error);
  QFETCH(int, firstCount);
  write_files(first, second);
  form_->Button1->click();
  QCOMPARE(services_.error_texts(), QStringList{error});
  QCOMPARE(services_.shown[0].caption, QStringLiteral("Lucidra LED 3.5"));
  // What the refresh did before the failure stays.
  QCOMPARE(form_->Series1->count(), firstCount);
  QCOMPARE(form_->Series2->count(), 0);
  QVERIFY(!form_->Chart1->isHidden());
}

void PlotTest::arcModeHasNoTailPoints() {
  form_->CheckBox4->setChecked(true);  // arc mode
  form_->Button1->click();
  QCOMPARE(form_->Series1->points(), (Points{{0, 100}, {10, 50}}));
  QCOMPARE(form_->Series1->name(), QStringLiteral("Longitudial: first.txt"));
  QCOMPARE(form_->Label37->text(), QStringLiteral("mm"));
}

void PlotTest::chartLooks() {
  TForm1& f = *form_;
  QCOMPARE(f.Chart1->geometry(), QRect(408, 0, 545, 477));
  QCOMPARE(f.Series1->pen().color(), QColor(0, 128, 0));
  QCOMPARE(f.Series2->pen().color(), QColor(255, 0, 0));
  QVERIFY(!f.Series1->pointsVisible() && !f.Series1->pointLabelsVisible());
  QCOMPARE(f.Series1->name(), QStringLiteral("Horisontal"));
  QCOMPARE(f.Series2->name(), QStringLiteral("Vertical"));
  QCOMPARE(f.Chart1->chart()->title(), QString());
  QVERIFY(f.Chart1->chart()->legend()->isVisible());
  QCOMPARE(f.Chart1->chart()->legend()->brush().color(), QColor(247, 247, 234));
  QCOMPARE(f.Label35->text(), QStringLiteral("ANGULAR LED INTENSITY DISTRIBUTION"));
  QCOMPARE(f.Label35->geometry().left(), 0);  // centred across the chart
  QCOMPARE(f.Label35->width(), f.Chart1->width());
  QCOMPARE(f.Label35->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  // The units are in the axis titles; the loose labels keep them, unseen.
  QCOMPARE(f.Label36->text(), QStringLiteral("%"));
  QCOMPARE(f.Label37->text(), QStringLiteral("degrees"));
  QVERIFY(f.Label36->isHidden() && f.Label37->isHidden());
}

void PlotTest::axisTitlesAndLegendNames_data() {
  QTest::addColumn<bool>("led");
  QTest::addColumn<QString>("xTitle");
  QTest::addColumn<QStringList>("legend");
  QTest::newRow("LED") << true << "Angle, degrees" << QStringList{"Horisontal: first.txt", "Vertical: second.txt"};
  QTest::newRow("arc") << false << "Position, mm" << QStringList{"Longitudial: first.txt", "Transversal: second.txt"};
}

void PlotTest::axisTitlesAndLegendNames() {
  QFETCH(bool, led);
  QFETCH(QString, xTitle);
  QFETCH(QStringList, legend);
  TForm1& f = *form_;
  std::vector<double> angles, values;
  for (int degrees = 0; degrees <= 90; ++degrees) {
    angles.push_back(degrees);
    values.push_back(90 - degrees);
  }
  write_files(distribution_bytes(angles, values), distribution_bytes(angles, values));
  if (!led) f.CheckBox4->setChecked(true);
  f.show();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  f.Button1->click();
  QTest::qWait(50);  // painted: the labels must survive the layout
  QChart* chart = f.Chart1->chart();
  QCOMPARE(static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).front())->titleText(), xTitle);
  QCOMPARE(static_cast<QValueAxis*>(chart->axes(Qt::Vertical).front())->titleText(),
           QStringLiteral("Relative intensity"));
  QStringList labels;
  for (QLegendMarker* marker : chart->legend()->markers()) labels << marker->label();
  QCOMPARE(labels, legend);
  QCOMPARE(chart->legend()->alignment(), Qt::AlignBottom);
  // The legend is one compact row, not a fifth of the chart.
  QVERIFY2(chart->legend()->geometry().height() < f.Chart1->height() / 10,
           qPrintable(QString::number(chart->legend()->geometry().height())));
}

void PlotTest::ticksAtRoundSteps() {
  TForm1& f = *form_;
  const std::vector<std::pair<std::vector<double>, std::vector<double>>> curves = {
      {{0, 10, 20}, {100, 50, 0}},
      {{0, 22.3, 44.5, 66.8, 89.1}, {97, 60, 33, 12, 0}},
      {{-3.7, 0, 3.7}, {0.2, 1.3, 0.2}},
      {{-90, 0, 90}, {0, 1, 0}},
      {{0, 90, 180, 270, 360}, {1, 2, 3, 2, 1}},
  };
  for (const auto& [x, y] : curves) {
    write_files(distribution_bytes(x, y), distribution_bytes(x, y));
    f.Button1->click();
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
      auto* axis = static_cast<QValueAxis*>(f.Chart1->chart()->axes(orientation).front());
      const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
      if (orientation == Qt::Horizontal) {
        // Angles (LED mode): every 10 or 15 degrees, 30 or 60 over wider spans,
        // never more than 13 labels.
        QVERIFY2(step == 10.0 || step == 15.0 || step == 30.0 || step == 60.0, qPrintable(QString::number(step)));
        QVERIFY(axis->tickCount() <= 13);
        if (step > 10.0) QVERIFY(axis->max() - axis->min() > 120.0);
      } else {
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        QVERIFY2(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 || std::abs(mantissa - 2.5) < 1e-9 ||
                     std::abs(mantissa - 5) < 1e-9,
                 qPrintable(QString::number(step)));
      }
      QVERIFY(std::abs(std::remainder(axis->min(), step)) < 1e-9);  // ticks on multiples of the step
    }
    // The data stays inside the axes.
    auto* axisX = static_cast<QValueAxis*>(f.Chart1->chart()->axes(Qt::Horizontal).front());
    QVERIFY(axisX->min() <= x.front() && axisX->max() >= x.back());
  }
}

void PlotTest::hoverReadsOutThePoint() {
  TForm1& f = *form_;
  f.Button1->click();
  QVERIFY(f.ChartReadout->isHidden());
  emit f.Series1->hovered(QPointF(12.26, 48.5), true);
  QVERIFY(!f.ChartReadout->isHidden());
  QCOMPARE(f.ChartReadout->text(), QStringLiteral("angle %1°, intensity %2").arg(localized("12.3"), localized("48.5")));
  emit f.Series1->hovered(QPointF(12.26, 48.5), false);
  QVERIFY(f.ChartReadout->isHidden());
  f.CheckBox4->setChecked(true);
  f.Button1->click();
  emit f.Series2->hovered(QPointF(-1, 3), true);
  QCOMPARE(f.ChartReadout->text(),
           QStringLiteral("position %1 mm, intensity %2").arg(localized("-1.0"), localized("3.0")));
}

void PlotTest::chartGrowsWithTheWindowAndRemembersItsSize() {
  TForm1& f = *form_;
  f.show();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  f.Button1->click();
  QCOMPARE(f.Chart1->size(), QSize(545, 477));
  QVERIFY(f.maximumWidth() > 1900);
  f.resize(1900, 1000);
  QTRY_COMPARE(f.Chart1->width(), 1900 - 408);
  QVERIFY(f.Chart1->height() > 477 + 400);
  f.Button1->click();  // hidden: the settings column alone, fixed
  QCOMPARE(f.width(), 405);
  QCOMPARE(f.minimumSize(), f.maximumSize());
  f.Button1->click();  // shown again at the size it had
  QCOMPARE(f.size(), QSize(1900, 1000));
  form_.reset();
  ScriptedServices again;
  auto restarted = started_window(again);
  restarted->Button1->click();
  QCOMPARE(restarted->size(), QSize(1900, 1000));
  QCOMPARE(restarted->Chart1->width(), 1900 - 408);
}

void PlotTest::exportChart_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("start");
  QTest::newRow("PNG") << "chart.png" << QByteArray("\x89PNG");
  QTest::newRow("SVG") << "chart.svg" << QByteArray("<?xml");
  QTest::newRow("no extension: a PNG") << "chart" << QByteArray("\x89PNG");
}

void PlotTest::exportChart() {
  QFETCH(QString, name);
  QFETCH(QByteArray, start);
  TForm1& f = *form_;
  f.Button1->click();
  services_.fileAnswers = {directory_->path(name)};
  f.ExportChartAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(services_.fileDialogs.at(0).save);
  QCOMPARE(services_.fileDialogs.at(0).folder, QDir::current().filePath(QStringLiteral("intensity_chart.png")));
  if (!name.contains('.')) {
    QVERIFY(!directory_->exists(name));
    name += QStringLiteral(".png");
  }
  const QByteArray bytes = directory_->read(name);
  QVERIFY2(bytes.startsWith(start), bytes.left(16).constData());
  if (name.endsWith(".svg")) QVERIFY(bytes.contains("ANGULAR LED INTENSITY DISTRIBUTION"));
  // A file that cannot be written is reported, not passed over.
  services_.clear();
  services_.fileAnswers = {directory_->path("no-folder/" + name)};
  f.ExportChartAction->trigger();
  QCOMPARE(services_.error_texts().size(), 1);
  QVERIFY(services_.error_texts()[0].contains("no-folder/" + name));
}

LUCIDRA_QT_TEST_MAIN(PlotTest)
#include "plot_test.moc"
