#pragma once
// The far-field check of a ray file in a window: measured intensity per
// solid angle (points) over the law the run's settings describe (curves)
// for all azimuths and the two planes, with the verdict in the caption.

#include <QDialog>

#include "engine/far_field.h"

class QChartView;

namespace lucidra::app {

class FarFieldDialog : public QDialog {
  Q_OBJECT

 public:
  FarFieldDialog(const FarFieldResult& result, QWidget* parent);

  QChartView* chart_view() const { return view_; }

 private:
  QChartView* view_ = nullptr;
};

}  // namespace lucidra::app
