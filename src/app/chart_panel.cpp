// The chart panel: the distribution plot, its axes, legend and readout, the
// window's size as the chart shows or hides, and Export chart.

#include "app/chart_panel.h"

#include "app/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QSvgGenerator>
#include <QTimer>
#include <QUrl>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/async_job.h"
#include "app/desktop_services.h"
#include "app/far_field_dialog.h"
#include "app/gauge.h"
#include "app/photometric_dialog.h"
#include "app/photometric_source.h"
#include "app/radio_group.h"
#include "app/settings_model.h"
#include "app/silent_abort.h"
#include "app/spin_edit.h"
#include "app/window_front_end.h"
#include "app/window_parts.h"
#include "base/output_target.h"
#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/file_list.h"
#include "distributions/number_text.h"
#include "engine/config_file.h"
#include "engine/estimate.h"
#include "engine/generation_run.h"
#include "engine/input_guard.h"
#include "lucidra/version.h"
#include "photometry/import_files.h"
#include "photometry/photometric_import.h"
#include "photometry/text_cursor.h"

namespace lucidra::app {

using namespace window_parts;

void ChartPanel::build(QWidget* client, QRect geometry) {
  auto* chart = new QChart();
  chart->setTitle(QString());
  chart->setBackgroundBrush(QPalette().color(QPalette::ToolTipBase));
  chart->setBackgroundRoundness(0);
  chart->setPlotAreaBackgroundVisible(false);
  chart->setMargins(QMargins(8, 30, 12, 4));
  // A one-line legend under the plot, naming each curve and its file.
  QLegend* legend = chart->legend();
  legend->setVisible(true);
  legend->setBackgroundVisible(true);
  legend->setBrush(kLegendColour);
  legend->setPen(QPen(Qt::gray));
  legend->setAlignment(Qt::AlignBottom);
  QFont legendFont = legend->font();
  legendFont.setPixelSize(10);
  legend->setFont(legendFont);
  legend->setMarkerShape(QLegend::MarkerShapeFromSeries);

  Series1 = named(new QLineSeries(), "Series1");
  Series2 = named(new QLineSeries(), "Series2");
  Series1->setName(QStringLiteral("Longitudial"));
  Series2->setName(QStringLiteral("Transversal"));
  Series1->setPen(QPen(kSeries1Colour, 2));
  Series2->setPen(QPen(kSeries2Colour, 2));
  axisX_ = new QValueAxis();
  axisY_ = new QValueAxis();
  axisX_->setObjectName(QStringLiteral("AxisX"));
  axisY_->setObjectName(QStringLiteral("AxisY"));
  axisY_->setTitleText(QStringLiteral("Relative intensity"));
  axisX_->setTitleText(QStringLiteral("Position, mm"));
  for (QValueAxis* axis : {axisX_, axisY_}) {
    QFont titleFont = axis->titleFont();
    titleFont.setPixelSize(11);
    titleFont.setBold(false);
    axis->setTitleFont(titleFont);
    axis->setLabelFormat(QStringLiteral("%g"));
  }
  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignLeft);
  for (QLineSeries* series : {Series1, Series2}) {
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    chart->addSeries(series);
    series->attachAxis(axisX_);
    series->attachAxis(axisY_);
  }
  rescale();

  Chart1 = named(new QChartView(chart, client), "Chart1");
  Chart1->setGeometry(geometry);
  Chart1->setRenderHint(QPainter::Antialiasing);
  Chart1->setFrameStyle(QFrame::NoFrame);
  Chart1->installEventFilter(this);
  Label35 = make_label(Chart1, "Label35", QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"), 96, 8, 340);
  Label35->setAlignment(Qt::AlignHCenter);
  // The units now live in the axis titles; the two labels only keep them.
  Label36 = make_label(Chart1, "Label36", QStringLiteral("%"), 8, 24);
  Label37 = make_label(Chart1, "Label37", QStringLiteral("mm"), 448, 376, 80);
  Label36->hide();
  Label37->hide();
  QFont captionFont = Label35->font();
  captionFont.setBold(true);
  Label35->setFont(captionFont);
  ChartReadout = named(new QLabel(Chart1), "ChartReadout");
  ChartReadout->setAlignment(Qt::AlignRight);
  ChartReadout->hide();
  layout();
  Chart1->hide();
  for (QLineSeries* series : {Series1, Series2}) {
    connect(series, &QLineSeries::hovered, this, &ChartPanel::show_readout);
  }
}

void TForm1::Button1Click() {
  const bool show = Chart1->isHidden();
  set_chart_visible(show);
  Button1->setText(show ? QStringLiteral("Plot <<") : QStringLiteral("Plot >>"));
  refresh_distribution_plot(true);
}

void TForm1::Notyfy1Click() { Button1->click(); }

void TForm1::refresh_distribution_plot(bool tailPoints) {
  chart_->clear_series(ChartSeries::Longitudinal);
  chart_->clear_series(ChartSeries::Transversal);
  chart_->set_plotted(ComboBoxEx1->currentText(), ComboBoxEx2->currentText());
  // The axis names the unit the tables hold: candela for tables a
  // photometric import wrote, a relative intensity for measured ones.
  chart_->set_candela(candelaTables_.contains(ComboBoxEx1->currentText()) &&
                      candelaTables_.contains(ComboBoxEx2->currentText()));
  // The tail closes a measured curve down to zero, which only means
  // something for angular distributions.
  const bool tails = tailPoints && CheckBox3->isChecked();
  if (photometric_ != nullptr) {
    // The distribution files are not used: the chart shows the source's
    // C0-C180 and C90-C270 planes, as a run draws them there.
    const QString name = to_qt(photometric_->path);
    chart_->set_plotted(name + QStringLiteral(" C0-C180"), name + QStringLiteral(" C90-C270"));
    for (const auto& [series, table] : {std::pair{ChartSeries::Longitudinal, &photometric_->header.longitudinal},
                                        std::pair{ChartSeries::Transversal, &photometric_->header.transversal}}) {
      for (std::size_t k = 0; k < table->angleDeg.size(); ++k) {
        chart_->add_series_point(series, table->angleDeg[k], table->candela[k]);
      }
    }
    return;
  }
  const auto plot = [&](QComboBox* combo, ChartSeries series) {
    const AngularDistribution distribution = read_distribution_file(from_qt(combo->currentText()), decimalSeparator_);
    for (const PlotPoint& point : distribution_plot_points(distribution, tails)) {
      chart_->add_series_point(series, point.x, point.y);
    }
  };
  plot(ComboBoxEx1, ChartSeries::Longitudinal);
  plot(ComboBoxEx2, ChartSeries::Transversal);
}

std::vector<PlotPoint>& ChartPanel::series_model(ChartSeries series) {
  return series == ChartSeries::Longitudinal ? series1Points_ : series2Points_;
}

const std::vector<PlotPoint>& ChartPanel::series_points(ChartSeries series) const {
  return series == ChartSeries::Longitudinal ? series1Points_ : series2Points_;
}

QLineSeries* ChartPanel::series_widget(ChartSeries series) const {
  return series == ChartSeries::Longitudinal ? Series1 : Series2;
}

void ChartPanel::clear_series(ChartSeries series) {
  series_model(series).clear();
  series_widget(series)->clear();
  rescale();
}

void ChartPanel::add_series_point(ChartSeries series, double x, double y) {
  std::vector<PlotPoint>& model = series_model(series);
  insert_plot_point(model, PlotPoint{x, y});
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(model.size()));
  for (const PlotPoint& point : model) points.append(QPointF(point.x, point.y));
  series_widget(series)->replace(points);
  rescale();
}

void ChartPanel::rescale() {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool any = false;
  for (const auto* model : {&series1Points_, &series2Points_}) {
    for (const PlotPoint& point : *model) {
      if (!any) {
        minX = maxX = point.x;
        minY = maxY = point.y;
        any = true;
      }
      minX = std::min(minX, point.x);
      maxX = std::max(maxX, point.x);
      minY = std::min(minY, point.y);
      maxY = std::max(maxY, point.y);
    }
  }
  minY = std::min(minY, 0.0);
  if (maxX <= minX) maxX = minX + 1;
  if (maxY <= minY) maxY = minY + 1;
  axisY_->setRange(minY, maxY);
  // Ticks at round steps (1, 2 or 5 times a power of ten) that cover the data.
  axisY_->applyNiceNumbers();
  if (axisX_->titleText().startsWith(QStringLiteral("Angle"))) {
    // Angles read best every 10 or 15 degrees, as a goniometer's table
    // gives them; wider spans take 30 or 60 so the labels do not crowd.
    const double span = maxX - minX;
    const double step = span <= 120 ? 10 : span <= 180 ? 15 : span <= 360 ? 30 : 60;
    const double low = std::floor(minX / step) * step;
    const double high = std::max(std::ceil(maxX / step) * step, low + step);
    axisX_->setRange(low, high);
    axisX_->setTickCount(static_cast<int>(std::lround((high - low) / step)) + 1);
  } else {
    axisX_->setRange(minX, maxX);
    axisX_->applyNiceNumbers();
  }
}

// Each curve is named by its series and the file it shows; the series'
// name is what the legend draws.
void ChartPanel::update_legend() {
  int index = 0;
  for (QLineSeries* series : {Series1, Series2}) {
    const QString& base = seriesNames_[index];
    const QString file = QFileInfo(plottedNames_[index++]).fileName();
    series->setName(file.isEmpty() ? base : base + QStringLiteral(": ") + file);
  }
}

void ChartPanel::show_readout(const QPointF& point, bool state) {
  if (!state) {
    ChartReadout->hide();
    return;
  }
  const QChar separator = QChar::fromLatin1(decimalSeparator_);
  const auto number = [separator](double value) {
    return QString::number(value, 'f', 1).replace(QChar('.'), separator);
  };
  const QString where = led_ ? QStringLiteral("angle %1°").arg(number(point.x()))
                             : QStringLiteral("position %1 mm").arg(number(point.x()));
  ChartReadout->setText(QStringLiteral("%1, intensity %2").arg(where, number(point.y())));
  ChartReadout->adjustSize();
  layout();
  ChartReadout->show();
}

// The caption centred over the chart, the read-out at its top right.
void ChartPanel::layout() {
  Label35->setGeometry(0, 8, Chart1->width(), Label35->sizeHint().height());
  ChartReadout->move(Chart1->width() - ChartReadout->width() - 12, 10 + Label35->height());
}

void ChartPanel::set_plotted(const QString& first, const QString& second) {
  plottedNames_[0] = first;
  plottedNames_[1] = second;
  update_legend();
}

void ChartPanel::set_candela(bool candela) {
  axisY_->setTitleText(candela ? QStringLiteral("Intensity, cd") : QStringLiteral("Relative intensity"));
}

void ChartPanel::set_led_mode(bool led) {
  led_ = led;
  seriesNames_[0] = led ? QStringLiteral("Horisontal") : QStringLiteral("Longitudial");
  seriesNames_[1] = led ? QStringLiteral("Vertical") : QStringLiteral("Transversal");
  Label35->setText(led ? QStringLiteral("ANGULAR LED INTENSITY DISTRIBUTION")
                       : QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"));
  Label37->setText(led ? QStringLiteral("degrees") : QStringLiteral("mm"));
  axisX_->setTitleText(led ? QStringLiteral("Angle, degrees") : QStringLiteral("Position, mm"));
  update_legend();
}

bool ChartPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Chart1 && event->type() == QEvent::Resize) layout();
  return false;
}

void TForm1::clear_series(ChartSeries series) { chart_->clear_series(series); }

void TForm1::add_series_point(ChartSeries series, double x, double y) { chart_->add_series_point(series, x, y); }

const std::vector<PlotPoint>& TForm1::series_points(ChartSeries series) const { return chart_->series_points(series); }

void TForm1::set_chart_visible(bool visible) {
  Chart1->setVisible(visible);
  fit_to_content();
}

// The window is as wide as what it shows: the settings column alone, or the
// column and the chart.
// With the chart shown the window can grow, and the chart grows with it; the
// size is remembered for the next time the chart is shown. Whatever it
// shows, the window stays within the screen: what does not fit scrolls.
void TForm1::fit_to_content() {
  const int menuHeight = menuBar()->sizeHint().height();
  const QSize content(Chart1->isHidden() ? kSettingsWidth : kChartShownWidth, kClientHeight);
  const QSize whole = content + QSize(0, menuHeight);
  const QSize room = screen_room();
  if (Chart1->isHidden()) {
    client_->setFixedSize(content);
    // A scroll bar in one direction takes room from the other.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize size = whole;
    if (size.height() > room.height()) size.rwidth() += bar;
    if (size.width() > room.width()) size.rheight() += bar;
    setFixedSize(size.boundedTo(room));
  } else {
    client_->setMinimumSize(content);
    client_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QSize minimum = whole.boundedTo(room);
    // The remembered size comes from the user's settings, which may hold
    // anything: it is kept within the screen.
    const QSize remembered = QSettings().value(kChartSizeKey).toSize().expandedTo(whole).boundedTo(room);
    setMinimumSize(minimum);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(remembered);
  }
  // Laid out at once, not at the next show, so that the sizes are right
  // even for a window not shown yet.
  const QSize inside = size() - QSize(0, menuHeight);
  centralWidget()->resize(inside);
  if (!Chart1->isHidden()) client_->resize(inside.expandedTo(content));
  place_chart();
  // A window moved to where it ends past the screen's edge comes back.
  if (const QScreen* display = screen(); display != nullptr) {
    const QRect available = display->availableGeometry();
    const QSize frame = size() + (frameGeometry().size() - geometry().size());
    const int x =
        std::clamp(pos().x(), available.left(), std::max(available.left(), available.right() + 1 - frame.width()));
    const int y =
        std::clamp(pos().y(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height()));
    if (QPoint(x, y) != pos()) move(x, y);
  }
}

QSize TForm1::screen_room() const {
  const QScreen* display = screen();
  if (display == nullptr) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // Once shown, the frame is known; before, the style's title bar and
  // border stand for it.
  QSize frame = frameGeometry().size() - geometry().size();
  if (!isVisible()) {
    const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    frame = QSize(2 * border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border);
  }
  return display->availableGeometry().size() - frame;
}

void TForm1::place_chart() {
  if (Chart1 == nullptr || Chart1->isHidden()) return;
  // The client area is at least as large as the chart's minimum, so the
  // chart never shrinks below it; a smaller window scrolls.
  const QSize area = client_->size().expandedTo(QSize(kChartShownWidth, kClientHeight));
  Chart1->setGeometry(kChartLeft, 0, area.width() - kChartLeft, area.height() - kChartBottomGap);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (Chart1->isHidden()) return;
  if (isVisible()) QSettings().setValue(kChartSizeKey, size());
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The frame's real size is known now; the first fit only guessed it.
  if (event->spontaneous()) return;
  QTimer::singleShot(0, this, [this] { fit_to_content(); });
  // Once the window has settled after it first appeared, an estimate
  // without a rate for this machine has one measured.
  if (!shownBefore_) QTimer::singleShot(kCalibrationDelayMs, this, [this] { measure_rate_if_unknown(); });
  shownBefore_ = true;
}

void TForm1::ExportChartClick() {
  // The dialog starts on a name with its extension, and a name typed
  // without one becomes a PNG picture rather than a file no viewer opens.
  const QString path = services_.save_file_name(QStringLiteral("Export chart"),
                                                QDir::current().filePath(QStringLiteral("intensity_chart.png")),
                                                QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)"));
  activateWindow();
  if (path.isEmpty()) return;
  export_chart(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".png") : path);
}

void TForm1::export_chart(const QString& fileName) { chart_->export_to(fileName); }

void ChartPanel::export_to(const QString& fileName) const {
  // A chart never shown still has its size, so a hidden chart exports too.
  // The picture is made in memory and written beside the file, so a failure
  // keeps the previous picture.
  const QSize size = Chart1->size();
  QBuffer picture;
  picture.open(QIODevice::WriteOnly);
  if (fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QSvgGenerator generator;
    generator.setOutputDevice(&picture);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(Label35->text());
    QPainter painter;
    if (!painter.begin(&generator)) throw UserError("Cannot write file " + from_qt(fileName));
    Chart1->render(&painter);
    painter.end();
  } else if (!Chart1->grab().save(&picture, "PNG")) {
    throw UserError("Cannot write file " + from_qt(fileName));
  }
  const QByteArray& bytes = picture.data();
  if (const auto failure = write_whole_file(
          from_qt(fileName), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
    throw UserError((failure->created ? "Cannot write file " : "Cannot create file ") + from_qt(fileName));
  }
}

}  // namespace lucidra::app
