#include "app/far_field_dialog.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "app/desktop_services.h"
#include "base/output_target.h"
#include "base/user_error.h"
#include "output/ray_format_reader.h"

namespace lucidra::app {
namespace {

// The law is a line, the measurement points; passing, failing and unjudged
// points differ in colour and shape, so that neither needs the other to be
// told apart.
const QColor kLawColour(0x1f, 0x5f, 0xbf);
const QColor kMeasuredColour(0xd0, 0x60, 0x00);
const QColor kFailedColour(0xd0, 0x00, 0x30);
const QColor kUnjudgedColour(0x90, 0x90, 0x90);
// Polar angles are marked every 15 degrees, over 0..90 or 0..180.
constexpr double kPolarStepDeg = 15;

QString to_qt(const std::string& text) { return QString::fromStdString(text); }

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

QScatterSeries* make_points(const QString& name, const QColor& colour, QScatterSeries::MarkerShape shape) {
  auto* points = new QScatterSeries;
  points->setName(name);
  points->setColor(colour);
  points->setBorderColor(colour);
  points->setMarkerShape(shape);
  points->setMarkerSize(7);
  return points;
}

// The statistics the check computed for one view, as its table shows them;
// a view without a judged bin has no deviation or chi-square to show.
QStringList view_figures(const FarFieldViewResult& view) {
  if (view.judgedBins == 0) return {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("–"), QStringLiteral("–")};
  return {QString::number(view.judgedBins), QString::number(view.failedBins),
          fixed(100 * view.largestDeviation, 2) + QStringLiteral(" % of peak"), fixed(view.chiSquarePerDof, 3)};
}

}  // namespace

RoundAxis round_axis(double largest) {
  if (!(largest > 0) || !std::isfinite(largest)) return {};
  // At most five steps: the step is the first 1-2-5 value at or above a fifth.
  const double raw = largest / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = 10 * magnitude;
  for (const double m : {1.0, 2.0, 5.0}) {
    if (raw <= m * magnitude * (1 + 1e-12)) {
      step = m * magnitude;
      break;
    }
  }
  const double steps = std::ceil(largest / step * (1 - 1e-12));
  return {steps * step, step, static_cast<int>(steps) + 1};
}

CheckProgress::CheckProgress(const QString& fileName, QWidget* parent)
    : QProgressDialog(QStringLiteral("Reading %1…").arg(fileName), QStringLiteral("Cancel"), 0, 100, parent) {
  setObjectName(QStringLiteral("CheckProgress"));
  setWindowTitle(QStringLiteral("Far-field check"));
  // The bar stays at 100 until the check's view replaces it, and the window
  // behind stays usable (Esc there stops the check too).
  setAutoClose(false);
  setAutoReset(false);
  setMinimumDuration(0);
  setWindowModality(Qt::NonModal);
  setValue(0);
  show();
}

void CheckProgress::set_share(double share) {
  setValue(static_cast<int>(std::lround(100 * std::clamp(share, 0.0, 1.0))));
}

FarFieldDialog::FarFieldDialog(const FarFieldResult& result, QWidget* parent, FluxUnit unit, DesktopServices* services)
    : QDialog(parent), result_(result), unit_(unit) {
  if (services == nullptr) {
    ownServices_ = std::make_unique<QtDesktopServices>(this);
    services = ownServices_.get();
  }
  services_ = services;
  setObjectName(QStringLiteral("FarFieldCheck"));
  const QString fileName = QFileInfo(to_qt(result.path)).fileName();
  setWindowTitle(fileName.isEmpty() ? QStringLiteral("Far-field check")
                                    : QStringLiteral("Far-field check – %1").arg(fileName));

  // A file whose header or rays are wrong fails whatever its far field.
  const RayFileVerdict file = verify_ray_file(result.file);
  const bool passed = file.failure.empty() && result.passed;
  auto* verdict = new QLabel(to_qt(file.failure.empty() ? far_field_verdict(result) : "FAIL: " + file.failure), this);
  verdict->setObjectName(QStringLiteral("FarFieldVerdict"));
  verdict->setWordWrap(true);
  verdict->setStyleSheet(passed ? QStringLiteral("font-weight: bold; color: #207030")
                                : QStringLiteral("font-weight: bold; color: #c00020"));

  // Every view on the same polar range: up to 90 degrees unless some view
  // holds rays or law beyond it.
  double thetaMax = 90;
  for (const auto& view : result.views) {
    for (const auto& bin : view.bins) {
      if ((bin.rays > 0 || bin.expected > 0) && bin.thetaHiDeg > 90) thetaMax = 180;
    }
  }
  auto* grid = new QGridLayout;
  const std::size_t columns = std::min<std::size_t>(3, std::max<std::size_t>(1, result.views.size()));
  for (std::size_t v = 0; v < result.views.size(); ++v) {
    grid->addWidget(build_view(v, thetaMax), static_cast<int>(v / columns), static_cast<int>(v % columns));
  }

  // The file summary: what was read, then how the header agrees with it.
  const FluxUnit fileUnit = result.file.fluxUnit.value_or(unit);
  auto* summary = new QLabel(
      QStringLiteral("%1: %2, %3 rays, total flux %4 %5")
          .arg(fileName, QString::fromLatin1(ray_file_kind_name(result.kind)))
          .arg(result.totals.rays)
          .arg(QString::number(result.totals.totalFlux, 'g', 6), QString::fromLatin1(flux_unit_symbol(fileUnit))),
      this);
  summary->setObjectName(QStringLiteral("FarFieldSummary"));
  summary->setToolTip(QDir::toNativeSeparators(to_qt(result.path)));
  auto* law = new QLabel(QStringLiteral("Law: ") + to_qt(result.law), this);
  law->setObjectName(QStringLiteral("FarFieldLaw"));
  law->setWordWrap(true);
  auto* header = new QLabel(to_qt(file.report).trimmed(), this);
  header->setObjectName(QStringLiteral("FarFieldFile"));

  auto* exportButton = new QPushButton(QStringLiteral("Export…"), this);
  exportButton->setObjectName(QStringLiteral("ExportCheckButton"));
  exportButton->setToolTip(QStringLiteral("Save the charts as a PNG picture or an SVG drawing, or the bins as CSV"));
  connect(exportButton, &QPushButton::clicked, this, &FarFieldDialog::ExportClick);
  auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
  closeButton->setObjectName(QStringLiteral("CloseCheckButton"));
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(exportButton);
  buttons->addWidget(closeButton);

  // The page is what Export draws: a picture says what it shows, of which
  // file, and whether it passed.
  page_ = new QWidget;
  page_->setObjectName(QStringLiteral("FarFieldPage"));
  auto* pageLayout = new QVBoxLayout(page_);
  pageLayout->addWidget(verdict);
  pageLayout->addLayout(grid, 1);
  pageLayout->addWidget(summary);
  pageLayout->addWidget(law);
  pageLayout->addWidget(header);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(page_);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll, 1);
  layout->addLayout(buttons);

  // As large as the charts ask, within the screen.
  const QSize wanted = page_->sizeHint() + QSize(40, 60);
  const QScreen* screen = parent != nullptr && parent->screen() != nullptr ? parent->screen() : this->screen();
  const QSize room = screen != nullptr ? screen->availableGeometry().size() * 9 / 10 : wanted;
  resize(wanted.boundedTo(room));
}

FarFieldDialog::~FarFieldDialog() = default;

QWidget* FarFieldDialog::build_view(std::size_t v, double thetaMax) {
  const FarFieldViewResult& view = result_.views[v];
  const QString name = to_qt(result_.totals.views[v].name);
  auto* chart = new QChart;
  chart->setTitle(name);
  // Line samples for lines, marker samples for points; below the plot,
  // where each entry has the chart's whole width.
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);

  double yMax = 0;
  for (const FarFieldBin& bin : view.bins) {
    if (0.5 * (bin.thetaLoDeg + bin.thetaHiDeg) > thetaMax) break;
    yMax = std::max(yMax, bin.expected);
    if (bin.rays > 0) yMax = std::max(yMax, bin.measured + bin.sigma);
  }
  auto* axisX = new QValueAxis;
  axisX->setTitleText(QStringLiteral("Polar angle, degrees"));
  axisX->setRange(0, thetaMax);
  axisX->setTickCount(static_cast<int>(std::lround(thetaMax / kPolarStepDeg)) + 1);
  axisX->setLabelFormat(QStringLiteral("%g"));
  const RoundAxis y = round_axis(yMax);
  auto* axisY = new QValueAxis;
  axisY->setTitleText(unit_ == FluxUnit::Lumen ? QStringLiteral("Intensity, cd") : QStringLiteral("Intensity, W/sr"));
  axisY->setRange(0, y.top);
  axisY->setTickCount(y.ticks);
  axisY->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);

  const auto suffix = QString::number(v);
  auto* expected = new QLineSeries;
  expected->setName(QStringLiteral("law, scaled"));
  expected->setObjectName(QStringLiteral("expected") + suffix);
  QPen lawPen(kLawColour);
  lawPen.setWidthF(2);
  expected->setPen(lawPen);
  auto* measured = make_points(QStringLiteral("measured, ±1σ"), kMeasuredColour, QScatterSeries::MarkerShapeCircle);
  measured->setObjectName(QStringLiteral("measured") + suffix);
  auto* failed = make_points(QStringLiteral("failed"), kFailedColour, QScatterSeries::MarkerShapeRectangle);
  failed->setObjectName(QStringLiteral("failed") + suffix);
  // Short names, so that the four entries fit the chart's width whole.
  auto* unjudged = make_points(QStringLiteral("not judged"), kUnjudgedColour, QScatterSeries::MarkerShapeCircle);
  unjudged->setObjectName(QStringLiteral("unjudged") + suffix);

  std::vector<QLineSeries*> bars;
  for (const FarFieldBin& bin : view.bins) {
    const double mid = 0.5 * (bin.thetaLoDeg + bin.thetaHiDeg);
    if (mid > thetaMax) break;
    expected->append(mid, bin.expected);
    if (bin.rays == 0) continue;
    QScatterSeries* points = !bin.judged ? unjudged : (bin.passed ? measured : failed);
    points->append(mid, bin.measured);
    // One standard deviation either side, with short caps.
    auto* bar = new QLineSeries;
    bar->setObjectName(QStringLiteral("errorBar") + suffix);
    bar->setPen(QPen(points->color(), 1));
    const double cap = 0.2 * (bin.thetaHiDeg - bin.thetaLoDeg);
    const double lo = bin.measured - bin.sigma, hi = bin.measured + bin.sigma;
    bar->append({{mid - cap, lo}, {mid + cap, lo}, {mid, lo}, {mid, hi}, {mid - cap, hi}, {mid + cap, hi}});
    bars.push_back(bar);
  }
  std::vector<QAbstractSeries*> series;
  for (QLineSeries* bar : bars) series.push_back(bar);
  series.push_back(expected);
  for (QScatterSeries* points : {measured, failed, unjudged}) {
    if (points->count() > 0 || points == measured) {
      series.push_back(points);
    } else {
      delete points;
    }
  }
  for (QAbstractSeries* s : series) {
    chart->addSeries(s);
    s->attachAxis(axisX);
    s->attachAxis(axisY);
  }
  for (QLineSeries* bar : bars) {
    for (QLegendMarker* marker : chart->legend()->markers(bar)) marker->setVisible(false);
  }

  auto* chartView = new QChartView(chart);
  chartView->setObjectName(QStringLiteral("FarFieldChart") + suffix);
  chartView->setRenderHint(QPainter::Antialiasing);
  chartView->setMinimumSize(460, 360);
  charts_.push_back(chartView);

  auto* table = new QTableWidget(1, 4);
  table->setObjectName(QStringLiteral("ViewTable") + suffix);
  table->setHorizontalHeaderLabels({QStringLiteral("Bins judged"), QStringLiteral("Failed"),
                                    QStringLiteral("Largest deviation"), QStringLiteral("χ²/dof")});
  table->horizontalHeaderItem(0)->setToolTip(
      QStringLiteral("Bins holding at least %1 rays; fewer are shown, not judged").arg(result_.options.minRays));
  table->horizontalHeaderItem(1)->setToolTip(
      QStringLiteral("Judged bins off the law by more than %1 standard deviations and %2 % of the view's peak")
          .arg(result_.options.sigmas)
          .arg(100 * result_.options.tolerance));
  table->horizontalHeaderItem(3)->setToolTip(
      QStringLiteral("Sum over the judged bins of (measured - law)² / σ², per bin judged"));
  const QStringList figures = view_figures(view);
  for (int c = 0; c < figures.size(); ++c) {
    auto* item = new QTableWidgetItem(figures[c]);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(Qt::AlignCenter);
    table->setItem(0, c, item);
  }
  table->verticalHeader()->hide();
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + table->rowHeight(0) + 2 * table->frameWidth());
  tables_.push_back(table);

  auto* cell = new QWidget;
  auto* column = new QVBoxLayout(cell);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(chartView, 1);
  column->addWidget(table);
  return cell;
}

QString FarFieldDialog::default_export_name() const {
  const QFileInfo file(to_qt(result_.path));
  const QString base = file.completeBaseName().isEmpty() ? QStringLiteral("far_field") : file.completeBaseName();
  return file.absoluteDir().filePath(base + QStringLiteral("-check.png"));
}

void FarFieldDialog::ExportClick() {
  // The dialog starts on a name with its extension, and a name typed
  // without one becomes a PNG picture.
  QString path =
      services_->save_file_name(QStringLiteral("Export check"), default_export_name(),
                                QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;CSV table (*.csv)"));
  activateWindow();
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  try {
    export_to(path);
  } catch (const UserError& error) {
    services_->show_error(error_box_text(QString::fromUtf8(error.what())));
  }
}

void FarFieldDialog::export_to(const QString& fileName) const {
  const std::string name = fileName.toStdString();
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  QByteArray bytes;
  if (suffix == QStringLiteral("csv")) {
    const std::string csv = far_field_csv(result_);
    bytes = QByteArray(csv.data(), static_cast<qsizetype>(csv.size()));
  } else if (suffix == QStringLiteral("svg") || suffix == QStringLiteral("png")) {
    page_->ensurePolished();
    if (page_->layout() != nullptr) page_->layout()->activate();
    const QSize size = page_->size().expandedTo(page_->minimumSizeHint());
    if (page_->size() != size) page_->resize(size);
    QBuffer picture(&bytes);
    picture.open(QIODevice::WriteOnly);
    if (suffix == QStringLiteral("svg")) {
      QSvgGenerator generator;
      generator.setOutputDevice(&picture);
      generator.setSize(size);
      generator.setViewBox(QRect(QPoint(0, 0), size));
      generator.setTitle(windowTitle());
      QPainter painter;
      if (!painter.begin(&generator)) throw UserError("Cannot write file " + name);
      page_->render(&painter);
      painter.end();
    } else if (!page_->grab().save(&picture, "PNG")) {
      throw UserError("Cannot write file " + name);
    }
  } else {
    throw UserError("Cannot export to " + name + ": the name must end in .png, .svg or .csv");
  }
  if (const auto failure =
          write_whole_file(name, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
    throw UserError((failure->created ? "Cannot write file " : "Cannot create file ") + name);
  }
}

}  // namespace lucidra::app
