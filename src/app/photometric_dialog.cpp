#include "app/photometric_dialog.h"

#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace lucidra::app {
namespace {

constexpr int kPlanes[] = {0, 45, 90, 135};
const QColor kPlaneColours[] = {QColor(0, 128, 0), QColor(0x1f, 0x5f, 0xbf), QColor(255, 0, 0),
                                QColor(0x80, 0x30, 0xa0)};

}  // namespace

PhotometricDialog::PhotometricDialog(const PhotometricSource& source, bool flipped, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PhotometricSolidDialog"));
  const QString name = QFileInfo(QString::fromLocal8Bit(source.path)).fileName();
  setWindowTitle(QStringLiteral("C-planes of %1").arg(name));
  const PhotometricSolid solid = source.oriented(flipped);

  auto* chart = new QChart;
  chart->setTitle(flipped ? QStringLiteral("%1, turned over (gamma 180 along +z)").arg(name) : name);
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto* axisX = new QValueAxis;
  axisX->setObjectName(QStringLiteral("GammaAxis"));
  axisX->setTitleText(QStringLiteral("Gamma, degrees (negative: the opposite half-plane, C + 180)"));
  axisX->setLabelFormat(QStringLiteral("%g"));
  auto* axisY = new QValueAxis;
  axisY->setObjectName(QStringLiteral("CandelaAxis"));
  axisY->setTitleText(QStringLiteral("Intensity, cd"));
  axisY->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);

  double reach = 0, top = 0;
  for (std::size_t p = 0; p < std::size(kPlanes); ++p) {
    const int c = kPlanes[p];
    auto* series = new QLineSeries;
    series->setObjectName(QStringLiteral("CPlane%1").arg(c));
    series->setName(QStringLiteral("C%1-C%2").arg(c).arg(c + 180));
    series->setPen(QPen(kPlaneColours[p], 2));
    for (const PlotPoint& point : c_plane_curve(solid, c)) {
      series->append(point.x, point.y);
      reach = std::max(reach, std::abs(point.x));
      top = std::max(top, point.y);
    }
    chart->addSeries(series);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
  }
  // Only as far out as the file has gamma angles: a 0-90 file spans -90..90.
  axisX->setRange(-reach, reach);
  axisY->setRange(0, top > 0 ? top * 1.05 : 1);
  axisY->applyNiceNumbers();

  view_ = new QChartView(chart, this);
  view_->setObjectName(QStringLiteral("PhotometricChart"));
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumSize(720, 420);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_);
  summary_ = new QLabel(QString::fromLocal8Bit(photometric_source_summary(source, flipped)), this);
  summary_->setObjectName(QStringLiteral("PhotometricSummary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont fixed(QStringLiteral("monospace"));
  fixed.setStyleHint(QFont::TypeWriter);
  summary_->setFont(fixed);
  layout->addWidget(summary_);
}

}  // namespace lucidra::app
