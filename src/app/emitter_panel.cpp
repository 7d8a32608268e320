// The emitter and run-option panels: the number of rays and its estimate,
// the source flux and sampling, the extent, the algorithm, the emitter's
// shape, sizes and NA, LED and arc mode.

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
#include <QSignalBlocker>
#include <QSvgGenerator>
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
#include "app/run_estimate.h"
#include "app/settings_model.h"
#include "app/silent_abort.h"
#include "app/spectrum_panel.h"
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

void TForm1::build_rays_panel() {
  Panel2 = make_panel(Panel1, "Panel2", QRect(1, 155, 192, 78), kCream);
  Label3 = make_label(Panel2, "Label3", QStringLiteral("Number of Rays"), 8, 9);
  CSpinEdit3 = make_spin(Panel2, "CSpinEdit3", 1, 1000000000, 10000, 30000, QRect(88, 6, 97, 21));
  Label4 = make_label(Panel2, "Label4", QStringLiteral("Source Flux"), 8, 33);
  CSpinEdit5 = make_spin(Panel2, "CSpinEdit5", 5, 50000, 100, 3500, QRect(72, 30, 73, 21));
  CSpinEdit5->setEnabled(false);
  Label8 = make_label(Panel2, "Label8", QStringLiteral("Watt"), 150, 33);
  CheckBox2 = make_check(Panel2, "CheckBox2", QStringLiteral("Consider Sorce Flux"), 8, 56);
  SourceFluxEdit = named(new QDoubleSpinBox(Panel2), "SourceFluxEdit");
  SourceFluxEdit->setGeometry(QRect(72, 30, 73, 21));
  SourceFluxEdit->setDecimals(4);
  SourceFluxEdit->setRange(0.0001, 1e9);
  SourceFluxEdit->setValue(3500);
  FluxUnitBox = named(new QComboBox(Panel2), "FluxUnitBox");
  FluxUnitBox->addItems({QStringLiteral("W"), QStringLiteral("lm")});
  FluxUnitBox->setGeometry(QRect(148, 30, 42, 21));
}

void TForm1::build_extent_panel() {
  Panel3 = make_panel(Panel1, "Panel3", QRect(193, 155, 210, 110), kCream);
  Label17 = make_label(Panel3, "Label17", QStringLiteral("Angular Extent About Z Axis"), 5, 3, 74);
  Label17->setWordWrap(true);
  Label17->resize(74, 30);
  CSpinEdit4 = make_spin(Panel3, "CSpinEdit4", 0, 360, 1, 360, QRect(80, 6, 41, 21));
  Label18 = make_label(Panel3, "Label18", QStringLiteral("degree"), 126, 9);
  RadioGroup3 =
      named(new RadioGroup(QStringLiteral("Form of Source LED"),
                           {QStringLiteral("plane placed in z=0"), QStringLiteral("ellipsoid centered at z=0"),
                            QStringLiteral("cilinder centered at z=0")},
                           0, Panel3),
            "RadioGroup3");
  RadioGroup3->setGeometry(5, 35, 204, 73);
  RadioGroup3->setEnabled(false);
}

void TForm1::build_algorithm_panel() {
  Panel7 = make_panel(Panel1, "Panel7", QRect(1, 233, 192, 59), kCream);
  Label19 = make_label(Panel7, "Label19", QStringLiteral("Random Algorithm:"), 8, 3);
  RadioButton3 = make_radio(Panel7, "RadioButton3", QStringLiteral("Quasi-random (Sobol)"), 16, 19);
  RadioButton4 = make_radio(Panel7, "RadioButton4", QStringLiteral("Pseudo-random (Uniform)"), 16, 37);
  RadioButton3->setChecked(true);
  keep_tab_on_checked({RadioButton3, RadioButton4});
  CheckBox5 = make_check(Panel1, "CheckBox5", QStringLiteral("Emit only within +/- 90 degrees"), 197, 270);
  CheckBox5->setEnabled(false);
}

void TForm1::build_source_panel() {
  Panel9 = make_panel(Panel1, "Panel9", QRect(1, 292, 402, 94), kCream);
  RadioGroup1 = named(new RadioGroup(QStringLiteral("Plane shape"),
                                     {QStringLiteral("Rectangular"), QStringLiteral("Elliptical")}, 0, Panel9),
                      "RadioGroup1");
  RadioGroup1->setGeometry(4, 7, 89, 58);
  RadioGroup1->setEnabled(false);
  RadioGroup2 = named(new RadioGroup(QStringLiteral("Angular Type"),
                                     {QStringLiteral("Lambertian"), QStringLiteral("Uniform"),
                                      QStringLiteral("User Defined"), QStringLiteral("Gaussian")},
                                     static_cast<int>(AngularType::UserDefined), Panel9),
                      "RadioGroup2");
  RadioGroup2->setGeometry(94, 7, 94, 85);
  RadioGroup2->setEnabled(false);

  CheckBox6 = make_check(Panel9, "CheckBox6", QStringLiteral("Double side"), 193, 8);
  CheckBox6->setEnabled(false);
  Label33 = make_label(Panel9, "Label33", QStringLiteral("Balance"), 288, 10);
  CSpinEdit6 = make_spin(Panel9, "CSpinEdit6", 0, 100, 1, 50, QRect(330, 6, 40, 21));
  CSpinEdit6->setTypingEnabled(false);
  Edit13 = make_edit(Panel9, "Edit13", QStringLiteral("50"), QRect(372, 6, 25, 21));
  Edit13->setReadOnly(true);
  for (QWidget* balance :
       {static_cast<QWidget*>(Label33), static_cast<QWidget*>(CSpinEdit6), static_cast<QWidget*>(Edit13)}) {
    balance->hide();
  }

  // The shipped sizes are written the way the user's locale writes numbers.
  const QString defaultSize = QStringLiteral("0") + QChar::fromLatin1(decimalSeparator_) + QStringLiteral("00001");
  Label25 = make_label(Panel9, "Label25", QStringLiteral("Y Size"), 193, 33, 54);
  Edit9 = make_edit(Panel9, "Edit9", defaultSize, QRect(248, 30, 49, 21));
  Edit9->setEnabled(false);
  Label26 = make_label(Panel9, "Label26", QStringLiteral("mm"), 300, 33);
  Label27 = make_label(Panel9, "Label27", QStringLiteral("NA"), 328, 33);
  Edit6 = make_edit(Panel9, "Edit6", QStringLiteral("0"), QRect(347, 30, 50, 21));
  Edit6->setEnabled(false);
  Label29 = make_label(Panel9, "Label29", QStringLiteral("NA"), 328, 57);
  Label29->hide();
  Edit8 = make_edit(Panel9, "Edit8", QStringLiteral("0"), QRect(347, 54, 50, 21));
  Edit8->setEnabled(false);
  Edit8->hide();
  Label32 = make_label(Panel9, "Label32", QStringLiteral("X Size"), 193, 57, 54);
  Edit10 = make_edit(Panel9, "Edit10", defaultSize, QRect(248, 54, 49, 21));
  Edit10->setEnabled(false);
  Label28 = make_label(Panel9, "Label28", QStringLiteral("mm"), 300, 57);

  CheckBox1 = make_check(Panel9, "CheckBox1", QStringLiteral("Notify end"), 8, 72);
  Label2 = make_label(Panel9, "Label2", QStringLiteral("Angular shape:"), 193, 77);
  RadioButton7 = make_radio(Panel9, "RadioButton7", QStringLiteral("Radial"), 272, 75);
  RadioButton8 = make_radio(Panel9, "RadioButton8", QStringLiteral("Square"), 336, 75);
  RadioButton7->setChecked(true);
  keep_tab_on_checked({RadioButton7, RadioButton8});
  for (RadioGroup* group : {RadioGroup1, RadioGroup2, RadioGroup3}) {
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < group->itemCount(); ++i) buttons << group->itemButton(i);
    keep_tab_on_checked(buttons);
  }
}

bool TForm1::commit_na() {
  if (!Edit6->isModified()) return true;
  Edit6->setModified(false);
  return guarded([this] { Edit6Change(); });
}

void TForm1::CheckBox3Click() {
  set_chart_visible(false);
  const bool led = CheckBox3->isChecked();
  if (led) {
    for (QWidget* control : {static_cast<QWidget*>(RadioGroup1), static_cast<QWidget*>(Edit10),
                             static_cast<QWidget*>(Edit9), static_cast<QWidget*>(CheckBox6)}) {
      control->setEnabled(true);
    }
    const auto type = static_cast<AngularType>(RadioGroup2->itemIndex());
    if (type == AngularType::Lambertian || type == AngularType::Uniform) Edit6->setEnabled(true);
    Label5->setText(QStringLiteral("Horisontal Distribution"));
    Label6->setText(QStringLiteral("Vertical Distribution"));
    seriesNames_[0] = QStringLiteral("Horisontal");
    seriesNames_[1] = QStringLiteral("Vertical");
    Label35->setText(QStringLiteral("ANGULAR LED INTENSITY DISTRIBUTION"));
    Label37->setText(QStringLiteral("degrees"));
    axisX_->setTitleText(QStringLiteral("Angle, degrees"));
    RadioGroup2->setEnabled(true);
  } else {
    for (QWidget* control :
         {static_cast<QWidget*>(RadioGroup1), static_cast<QWidget*>(Edit10), static_cast<QWidget*>(Edit9),
          static_cast<QWidget*>(Edit6), static_cast<QWidget*>(CheckBox6)}) {
      control->setEnabled(false);
    }
    CheckBox6->setChecked(false);
    Label5->setText(QStringLiteral("Longitudial Distribution"));
    Label6->setText(QStringLiteral("Transversal Distribution"));
    CSpinEdit4->setEnabled(true);
    seriesNames_[0] = QStringLiteral("Longitudial");
    seriesNames_[1] = QStringLiteral("Transversal");
    Label35->setText(QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"));
    Label37->setText(QStringLiteral("mm"));
    axisX_->setTitleText(QStringLiteral("Position, mm"));
    RadioGroup2->setEnabled(false);
  }
  update_legend();
  CheckBox4->setChecked(!led);
}

void TForm1::CheckBox4Click() {
  set_chart_visible(false);
  CheckBox3->setChecked(!CheckBox4->isChecked());
}

void TForm1::CheckBox6Click() {
  const bool doubleSide = CheckBox6->isChecked();
  Label33->setVisible(doubleSide);
  CSpinEdit6->setVisible(doubleSide);
  Edit13->setVisible(doubleSide);
}

void TForm1::CSpinEdit6Change() { Edit13->setText(QString::number(100 - std::int64_t{CSpinEdit6->value()})); }

void TForm1::RadioGroup1Click() {
  const bool elliptical = RadioGroup1->itemIndex() == static_cast<int>(PlaneShape::Elliptical);
  Label32->setText(elliptical ? QStringLiteral("X Diameter") : QStringLiteral("X Side"));
  Label25->setText(elliptical ? QStringLiteral("Y Diameter") : QStringLiteral("Y Side"));
}

void TForm1::RadioGroup2Click() {
  switch (static_cast<AngularType>(RadioGroup2->itemIndex())) {
    case AngularType::Lambertian:
    case AngularType::Uniform: Edit6->setEnabled(true); break;
    case AngularType::UserDefined: Edit6->setEnabled(false); break;
    case AngularType::Gaussian:
      Edit6->setEnabled(false);
      services_.show_message(kGaussianNotice);
      break;
  }
}

void TForm1::set_na_text(const QString& text) {
  if (Edit6->text() == text) return;
  {
    const QSignalBlocker blocker(Edit6);
    Edit6->setText(text);
  }
  Edit6Change();
}

// The run takes the arcsine of the NA, so the field keeps it within 0..1.
void TForm1::Edit6Change() {
  const NaValidation validation = validate_na_text(from_qt(Edit6->text()), decimalSeparator_);
  switch (validation.action) {
    case NaValidation::Action::SilentStop: throw SilentAbort();
    case NaValidation::Action::Replace: set_na_text(to_qt(validation.replacement)); break;
    case NaValidation::Action::Keep: break;
  }
}

void TForm1::CSpinEdit3Change() {
  const OutputEstimate estimate = estimate_output(CSpinEdit3->value(), selected_format());
  Label10->setText(QString::number(estimate.sizeMb));
  Label13->setText(QString::number(estimate.minutes));
  Label15->setText(QString::number(estimate.seconds));
  show_estimate();
}

// The figures shown: the file's size for the chosen format, count and flux,
// and the time at the rate this machine last wrote that format.
void TForm1::show_estimate() {
  const OutputFormat format = selected_format();
  const bool legacy = LegacySampling1->isChecked();
  const double flux = legacy ? CSpinEdit5->value() : SourceFluxEdit->value();
  const FluxUnit unit = !legacy && FluxUnitBox->currentIndex() == 1 ? FluxUnit::Lumen : FluxUnit::Watt;
  const std::uint64_t bytes =
      estimated_file_bytes(format, CSpinEdit3->value(), flux, unit, spectrum_->mode() != SpectrumMode::None);
  const double rate = QSettings().value(kRateKey + QString::fromLatin1(ray_format(format).cliName), 0.0).toDouble();
  QString time = QStringLiteral("known after a first run");
  if (rate > 0) {
    time = to_qt(format_seconds_range(run_time_range(std::int64_t{CSpinEdit3->value()} + 1, rate)));
  } else if (calibration_->running()) {
    time = QStringLiteral("being measured…");
  }
  EstimateLabel->setText(
      QStringLiteral("Size of Source File %1    Generation Time %2").arg(to_qt(format_megabytes(bytes)), time));
}

bool TForm1::calibration_in_progress() const { return calibration_->running(); }

void TForm1::measure_rate_if_unknown() {
  const OutputFormat format = selected_format();
  if (QSettings().value(kRateKey + QString::fromLatin1(ray_format(format).cliName), 0.0).toDouble() > 0) return;
  if (calibrate_rate(format)) show_estimate();
}

bool TForm1::calibrate_rate(OutputFormat format) {
  if (calibration_->running()) return false;
  // Only for a window the user sees, and never beside other work, which
  // would slow both and spoil the figure.
  if (!isVisible() || run_->running() || check_->running() || import_->running()) return false;
  if (std::find(calibrationTried_.begin(), calibrationTried_.end(), format) != calibrationTried_.end()) return false;
  calibrationTried_.push_back(format);
  ++rateCalibrations_;
  calibration_->start([this, format](const AsyncJob::Context& job) -> std::function<void()> {
    const double rate = measure_write_rate(
        format, [&job] { return job.stop_requested(); }, &steady_seconds);
    return [this, format, rate] {
      // A run's own rate, measured on more rays, stays the better figure.
      if (rate > 0 && !calibration_->stop_requested()) {
        QSettings().setValue(kRateKey + QString::fromLatin1(ray_format(format).cliName), rate);
      }
    };
  });
  return true;
}

}  // namespace lucidra::app
