// The emitter panel (extent, plane shape, sizes, sides, LED and arc mode)
// and the window's handlers around it: LED or arc mode, the angular type
// and NA, the number of rays and its estimate.

#include "app/emitter_panel.h"

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
#include "app/run_options_panel.h"
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
  options_->build_rays(Panel2);
}

void TForm1::build_extent_panel() {
  Panel3 = make_panel(Panel1, "Panel3", QRect(193, 155, 210, 110), kCream);
  emitter_->build_extent(Panel3);
}

void TForm1::build_algorithm_panel() {
  Panel7 = make_panel(Panel1, "Panel7", QRect(1, 233, 192, 59), kCream);
  options_->build_algorithm(Panel7, Panel1);
}

// The frame of the emitter's shape and the angular law: their controls
// interleave, left to right and top to bottom, as the form has them.
void TForm1::build_source_panel() {
  Panel9 = make_panel(Panel1, "Panel9", QRect(1, 292, 402, 94), kCream);
  emitter_->build_shape(Panel9);
  law_->build_type(Panel9);
  emitter_->build_sides_and_y_size(Panel9, decimalSeparator_);
  law_->build_na(Panel9);
  emitter_->build_x_size(Panel9, decimalSeparator_);
  options_->build_notify(Panel9);
  law_->build_shape(Panel9);
  for (RadioGroup* group : {RadioGroup1, RadioGroup2, RadioGroup3}) {
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < group->itemCount(); ++i) buttons << group->itemButton(i);
    keep_tab_on_checked(buttons);
  }
}

// ----------------------------------------------------------- the emitter

void EmitterPanel::build_extent(QWidget* frame) {
  Label17 = make_label(frame, "Label17", QStringLiteral("Angular Extent About Z Axis"), 5, 3, 74);
  Label17->setWordWrap(true);
  Label17->resize(74, 30);
  CSpinEdit4 = make_spin(frame, "CSpinEdit4", 0, 360, 1, 360, QRect(80, 6, 41, 21));
  Label18 = make_label(frame, "Label18", QStringLiteral("degree"), 126, 9);
  RadioGroup3 =
      named(new RadioGroup(QStringLiteral("Form of Source LED"),
                           {QStringLiteral("plane placed in z=0"), QStringLiteral("ellipsoid centered at z=0"),
                            QStringLiteral("cilinder centered at z=0")},
                           0, frame),
            "RadioGroup3");
  RadioGroup3->setGeometry(5, 35, 204, 73);
  RadioGroup3->setEnabled(false);
}

void EmitterPanel::build_shape(QWidget* frame) {
  RadioGroup1 = named(new RadioGroup(QStringLiteral("Plane shape"),
                                     {QStringLiteral("Rectangular"), QStringLiteral("Elliptical")}, 0, frame),
                      "RadioGroup1");
  RadioGroup1->setGeometry(4, 7, 89, 58);
  RadioGroup1->setEnabled(false);
}

namespace {

// The shipped sizes are written the way the user's locale writes numbers.
QString default_size(char decimalSeparator) {
  return QStringLiteral("0") + QChar::fromLatin1(decimalSeparator) + QStringLiteral("00001");
}

}  // namespace

void EmitterPanel::build_sides_and_y_size(QWidget* frame, char decimalSeparator) {
  CheckBox6 = make_check(frame, "CheckBox6", QStringLiteral("Double side"), 193, 8);
  CheckBox6->setEnabled(false);
  Label33 = make_label(frame, "Label33", QStringLiteral("Balance"), 288, 10);
  CSpinEdit6 = make_spin(frame, "CSpinEdit6", 0, 100, 1, 50, QRect(330, 6, 40, 21));
  CSpinEdit6->setTypingEnabled(false);
  Edit13 = make_edit(frame, "Edit13", QStringLiteral("50"), QRect(372, 6, 25, 21));
  Edit13->setReadOnly(true);
  for (QWidget* balance :
       {static_cast<QWidget*>(Label33), static_cast<QWidget*>(CSpinEdit6), static_cast<QWidget*>(Edit13)}) {
    balance->hide();
  }
  Label25 = make_label(frame, "Label25", QStringLiteral("Y Size"), 193, 33, 54);
  Edit9 = make_edit(frame, "Edit9", default_size(decimalSeparator), QRect(248, 30, 49, 21));
  Edit9->setEnabled(false);
  Label26 = make_label(frame, "Label26", QStringLiteral("mm"), 300, 33);
}

void EmitterPanel::build_x_size(QWidget* frame, char decimalSeparator) {
  Label32 = make_label(frame, "Label32", QStringLiteral("X Size"), 193, 57, 54);
  Edit10 = make_edit(frame, "Edit10", default_size(decimalSeparator), QRect(248, 54, 49, 21));
  Edit10->setEnabled(false);
  Label28 = make_label(frame, "Label28", QStringLiteral("mm"), 300, 57);
}

void EmitterPanel::build_mode(QWidget* frame) {
  // The source mode lives in two boxes nobody sees; start-up settles it.
  CheckBox3 = make_check(frame, "CheckBox3", QStringLiteral("LED "), 300, 272);
  CheckBox3->hide();
  CheckBox4 = make_check(frame, "CheckBox4", QStringLiteral("ARC"), 350, 272);
  CheckBox4->setChecked(true);
  CheckBox4->hide();
}

void EmitterPanel::show_settings(const SettingsModel& model) {
  CheckBox3->setChecked(model.ledMode);
  CSpinEdit4->setValue(model.extentAboutZ);
  Edit10->setText(to_qt(model.sizeX));
  Edit9->setText(to_qt(model.sizeY));
  RadioGroup1->setItemIndex(static_cast<int>(model.planeShape));
  CheckBox6->setChecked(model.doubleSide);
  CSpinEdit6->setValue(model.balance);
}

void EmitterPanel::store(SettingsModel& model) const {
  model.ledMode = CheckBox3->isChecked();
  model.extentAboutZ = CSpinEdit4->value();
  model.planeShape = static_cast<PlaneShape>(RadioGroup1->itemIndex());
  model.doubleSide = CheckBox6->isChecked();
  model.balance = CSpinEdit6->value();
  model.sizeX = from_qt(Edit10->text());
  model.sizeY = from_qt(Edit9->text());
}

void EmitterPanel::CheckBox6Click() {
  const bool doubleSide = CheckBox6->isChecked();
  Label33->setVisible(doubleSide);
  CSpinEdit6->setVisible(doubleSide);
  Edit13->setVisible(doubleSide);
}

void EmitterPanel::CSpinEdit6Change() { Edit13->setText(QString::number(100 - std::int64_t{CSpinEdit6->value()})); }

void EmitterPanel::RadioGroup1Click() {
  const bool elliptical = RadioGroup1->itemIndex() == static_cast<int>(PlaneShape::Elliptical);
  Label32->setText(elliptical ? QStringLiteral("X Diameter") : QStringLiteral("X Side"));
  Label25->setText(elliptical ? QStringLiteral("Y Diameter") : QStringLiteral("Y Side"));
}

// ------------------------------------------------------ the window's part

bool TForm1::commit_na() {
  if (!Edit6->isModified()) return true;
  Edit6->setModified(false);
  return guarded([this] { law_->Edit6Change(); });
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
    RadioGroup2->setEnabled(false);
  }
  chart_->set_led_mode(led);
  CheckBox4->setChecked(!led);
}

void TForm1::CheckBox4Click() {
  set_chart_visible(false);
  CheckBox3->setChecked(!CheckBox4->isChecked());
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
  summary_->show_estimate(
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
