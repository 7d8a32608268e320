#include "app/far_field_dialog.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "output/ray_format_reader.h"

namespace lucidra::app {
namespace {

// One colour per view, shared by its points and its curve.
const QColor kViewColours[] = {QColor(0x1f, 0x5f, 0xbf), QColor(0xd0, 0x40, 0x00), QColor(0x20, 0x90, 0x40),
                               QColor(0x80, 0x30, 0xa0), QColor(0x00, 0x90, 0x90), QColor(0xa0, 0x80, 0x00),
                               QColor(0xc0, 0x20, 0x60), QColor(0x50, 0x50, 0x50), QColor(0x30, 0x60, 0x30)};
constexpr std::size_t kColourCount = sizeof kViewColours / sizeof kViewColours[0];

}  // namespace

FarFieldDialog::FarFieldDialog(const FarFieldResult& result, QWidget* parent, FluxUnit unit) : QDialog(parent) {
  setObjectName(QStringLiteral("FarFieldCheck"));
  setWindowTitle(QStringLiteral("Far-field check"));
  auto* chart = new QChart;
  // A file whose header or rays are wrong fails whatever its far field.
  const RayFileVerdict file = verify_ray_file(result.file);
  chart->setTitle(QString::fromStdString(file.failure.empty() ? far_field_verdict(result) : "FAIL: " + file.failure));
  chart->legend()->setAlignment(Qt::AlignBottom);

  double thetaMax = 90, yMax = 0;
  for (const auto& view : result.views) {
    for (const auto& bin : view.bins) {
      if ((bin.rays > 0 || bin.expected > 0) && bin.thetaHiDeg > 90) thetaMax = 180;
      yMax = std::max({yMax, bin.expected, bin.measured});
    }
  }
  auto* axisX = new QValueAxis;
  axisX->setTitleText(QStringLiteral("Polar angle, degrees"));
  axisX->setRange(0, thetaMax);
  axisX->setTickCount(thetaMax > 90 ? 7 : 7);
  axisX->setLabelFormat(QStringLiteral("%g"));
  auto* axisY = new QValueAxis;
  axisY->setTitleText(unit == FluxUnit::Lumen ? QStringLiteral("Intensity, cd") : QStringLiteral("Intensity, W/sr"));
  axisY->setRange(0, yMax > 0 ? yMax * 1.05 : 1);
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);

  for (std::size_t v = 0; v < result.views.size(); ++v) {
    const FarFieldViewResult& view = result.views[v];
    const QString name = QString::fromStdString(result.totals.views[v].name);
    const QColor colour = kViewColours[v % kColourCount];
    auto* expected = new QLineSeries;
    expected->setName(name + QStringLiteral(", law"));
    expected->setObjectName(QStringLiteral("expected%1").arg(v));
    expected->setColor(colour);
    auto* measured = new QScatterSeries;
    measured->setName(name + QStringLiteral(", measured"));
    measured->setObjectName(QStringLiteral("measured%1").arg(v));
    measured->setColor(colour);
    measured->setMarkerSize(6);
    for (const FarFieldBin& bin : view.bins) {
      const double mid = 0.5 * (bin.thetaLoDeg + bin.thetaHiDeg);
      if (mid > thetaMax) break;
      expected->append(mid, bin.expected);
      if (bin.rays > 0) measured->append(mid, bin.measured);
    }
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(expected), static_cast<QAbstractSeries*>(measured)}) {
      chart->addSeries(series);
      series->attachAxis(axisX);
      series->attachAxis(axisY);
    }
  }

  view_ = new QChartView(chart, this);
  view_->setObjectName(QStringLiteral("FarFieldChart"));
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumSize(720, 480);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_);
  auto* summary = new QLabel(QString::fromStdString(result.law), this);
  summary->setObjectName(QStringLiteral("FarFieldLaw"));
  summary->setWordWrap(true);
  layout->addWidget(summary);
  auto* header = new QLabel(QString::fromStdString(file.report).trimmed(), this);
  header->setObjectName(QStringLiteral("FarFieldFile"));
  layout->addWidget(header);
}

}  // namespace lucidra::app
