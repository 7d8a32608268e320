#pragma once
// A photometric source in a window of its own: the solid's C-planes C0-C180,
// C45-C225, C90-C270 and C135-C315 as candela over gamma (the opposite
// half-plane at negative gamma), as the run draws it, and the file's summary.

#include <QDialog>

#include "app/photometric_source.h"

class QChartView;
class QLabel;

namespace lucidra::app {

class PhotometricDialog : public QDialog {
  Q_OBJECT

 public:
  PhotometricDialog(const PhotometricSource& source, bool flipped, QWidget* parent);

  QChartView* chart_view() const { return view_; }

 private:
  QChartView* view_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace lucidra::app
