#pragma once
// The far-field check of a ray file in a window: one chart per view of the
// far field (all azimuths, the planes) with the law the run's settings
// describe as a line and the measured intensity per solid angle as points
// with their standard deviation, a table of each view's statistics under
// its chart, the verdict and the file's summary, and Export. While the file
// is read, CheckProgress shows how far it got and can stop it.

#include <QDialog>
#include <QProgressDialog>
#include <memory>
#include <vector>

#include "base/flux_unit.h"
#include "engine/far_field.h"

class QChartView;
class QLabel;
class QTableWidget;

namespace lucidra::app {

class DesktopServices;

// An intensity axis from 0 to `top` in `ticks` - 1 steps of 1, 2 or 5
// times a power of ten, `top` the first step at or above `largest`.
struct RoundAxis {
  double top = 1;
  double step = 0.2;
  int ticks = 6;
};
RoundAxis round_axis(double largest);

// The bar shown while a check reads its file: 0 to 100 % of the file read;
// Cancel (or Esc) emits canceled().
class CheckProgress : public QProgressDialog {
  Q_OBJECT

 public:
  CheckProgress(const QString& fileName, QWidget* parent);
  // `share` of the file read, 0..1.
  void set_share(double share);
};

class FarFieldDialog : public QDialog {
  Q_OBJECT

 public:
  // `unit` is the rays' flux unit: intensities in W/sr, or lm/sr = cd. File
  // dialogs and errors of Export go through `services` (nullptr: Qt's own).
  FarFieldDialog(const FarFieldResult& result, QWidget* parent, FluxUnit unit = FluxUnit::Watt,
                 DesktopServices* services = nullptr);
  ~FarFieldDialog() override;

  const FarFieldResult& result() const { return result_; }
  int view_count() const { return static_cast<int>(charts_.size()); }
  QChartView* chart_view(int view = 0) const { return charts_.at(static_cast<std::size_t>(view)); }
  QTableWidget* view_table(int view) const { return tables_.at(static_cast<std::size_t>(view)); }
  // The name Export offers: the ray file's folder and name, "-check.png".
  QString default_export_name() const;
  // Writes the charts as a PNG picture or an SVG drawing, or the binned
  // figures as CSV, by the name's extension. The file is made in memory
  // first, so a failure leaves a previous file as it was. Throws UserError.
  void export_to(const QString& fileName) const;

 private:
  void ExportClick();
  QWidget* build_view(std::size_t view, double thetaMax);

  FarFieldResult result_;
  FluxUnit unit_;
  std::unique_ptr<DesktopServices> ownServices_;
  DesktopServices* services_;
  QWidget* page_ = nullptr;  // the charts and their tables, as exported
  std::vector<QChartView*> charts_;
  std::vector<QTableWidget*> tables_;
};

}  // namespace lucidra::app
