#pragma once
// The far-field check of a ray file in a window: measured intensity per
// solid angle (points) over the law the run's settings describe (curves)
// for all azimuths and the two planes, with the verdict in the caption.

#include <QDialog>

#include "base/flux_unit.h"
#include "engine/far_field.h"

class QChartView;

namespace lucidra::app {

class FarFieldDialog : public QDialog {
  Q_OBJECT

 public:
  // `unit` is the rays' flux unit: intensities in W/sr, or lm/sr = cd.
  FarFieldDialog(const FarFieldResult& result, QWidget* parent, FluxUnit unit = FluxUnit::Watt);

  QChartView* chart_view() const { return view_; }

 private:
  QChartView* view_ = nullptr;
};

}  // namespace lucidra::app
