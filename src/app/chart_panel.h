#pragma once
// The chart beside the settings: the two distribution curves (or the
// photometric source's C0-C180 and C90-C270 planes, or the tables a run
// read), with axis titles in the data's unit, a legend naming each curve's
// file, the point under the mouse and Export.

#include <QObject>
#include <QPointF>
#include <QString>
#include <vector>

#include "distributions/distribution_plot.h"
#include "engine/generation_run.h"

class QChartView;
class QLabel;
class QLineSeries;
class QValueAxis;
class QWidget;

namespace lucidra::app {

class ChartPanel : public QObject {
  Q_OBJECT

 public:
  ChartPanel(QObject* owner, char decimalSeparator) : QObject(owner), decimalSeparator_(decimalSeparator) {}

  // The chart in the client area, right of the settings column, hidden.
  void build(QWidget* client, QRect geometry);

  void clear_series(ChartSeries series);
  void add_series_point(ChartSeries series, double x, double y);
  const std::vector<PlotPoint>& series_points(ChartSeries series) const;
  // The files (or planes) the two curves show, for the legend.
  void set_plotted(const QString& first, const QString& second);
  // The intensity axis in candela (tables of a photometric import) or
  // relative.
  void set_candela(bool candela);
  // LED mode plots angles, arc mode positions along the arc: the caption,
  // the curves' names and the abscissa follow.
  void set_led_mode(bool led);
  // The chart as a PNG picture, or SVG drawing when the name ends in ".svg";
  // throws UserError naming the file when it cannot be written.
  void export_to(const QString& fileName) const;

  QChartView* Chart1 = nullptr;
  QLineSeries* Series1 = nullptr;
  QLineSeries* Series2 = nullptr;
  QLabel* Label35 = nullptr;       // chart caption
  QLabel* Label36 = nullptr;       // intensity unit
  QLabel* Label37 = nullptr;       // abscissa unit
  QLabel* ChartReadout = nullptr;  // the point under the mouse

 protected:
  // The caption and read-out follow the chart's size.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<PlotPoint>& series_model(ChartSeries series);
  QLineSeries* series_widget(ChartSeries series) const;
  void rescale();
  void update_legend();
  void show_readout(const QPointF& point, bool state);
  void layout();

  char decimalSeparator_;
  bool led_ = false;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::vector<PlotPoint> series1Points_;
  std::vector<PlotPoint> series2Points_;
  QString plottedNames_[2];  // the files the curves show, for the legend
  QString seriesNames_[2] = {QStringLiteral("Longitudial"), QStringLiteral("Transversal")};
};

}  // namespace lucidra::app
