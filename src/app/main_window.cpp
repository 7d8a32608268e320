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
#include <QScrollArea>
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

QString to_qt(std::string_view bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string from_qt(const QString& text) { return text.toLocal8Bit().toStdString(); }

using namespace window_parts;

TForm1::TForm1(DesktopServices& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      decimalSeparator_(locale_decimal_separator()),
      frontEnd_(std::make_unique<WindowFrontEnd>(*this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Lucidra LED"));
  setAcceptDrops(true);  // photometric files dropped anywhere on the window
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  // The form was laid out for a narrow 11-pixel sans serif.
  QFont windowFont = font();
  windowFont.setPixelSize(11);
  windowFont.setStretch(QFont::Condensed);
  setFont(windowFont);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  run_ = std::make_unique<AsyncJob>();
  check_ = std::make_unique<AsyncJob>();
  import_ = std::make_unique<AsyncJob>();
  calibration_ = std::make_unique<AsyncJob>();
  build_controls();
  build_menu();
  connect_handlers();
  output_->show_target(OutputFormat::Zemax);  // the initial target's formats
  output_->format_chosen();
  set_tooltips();
  CSpinEdit3Change();  // the estimate for the initial number of rays
  move(249, 163);
  fit_to_content();
}

TForm1::~TForm1() = default;

void TForm1::build_controls() {
  // The controls keep their fixed places; on a screen too small for them
  // (a laptop at 150 % or 200 %) the area scrolls instead of leaving the
  // screen.
  auto* scroll = named(new QScrollArea(this), "ClientScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  client_ = named(new QWidget(scroll), "ClientArea");
  scroll->setWidget(client_);
  client_->installEventFilter(this);  // the chart follows the area's size
  setCentralWidget(scroll);
  QWidget* client = client_;
  Panel1 =
      make_panel(client, "Panel1", QRect(0, 0, kSettingsWidth, kClientHeight), QPalette().color(QPalette::ToolTipBase));
  Panel1->setFrameStyle(QFrame::NoFrame);
  build_file_panel();
  build_target_panel();
  build_rays_panel();
  build_extent_panel();
  build_algorithm_panel();
  build_source_panel();
  law_->build_photometric(Panel1, this);
  summary_->build(Panel1);
  chart_->build(client_, QRect(kChartLeft, 0, kChartShownWidth - kChartLeft, kClientHeight - kChartBottomGap));
  spectrum_ = new SpectrumChooser(this, services_, decimalSeparator_, [this] {
    // Legacy sampling's whole watts, or the flux field in its unit.
    const SamplingMode mode = LegacySampling1 != nullptr ? sampling_mode() : SamplingMode::EqualFlux;
    return SpectrumChooser::Flux{options_->flux(mode), options_->flux_in_lumens(mode)};
  });

  emitter_->build_mode(Panel1);
  law_->build_file_list(Panel1);
}

// ------------------------------------------------ the panels and the model

// The one place where values become controls. Each control is set as the
// user would set it, so its handler's interlocks follow: the format first
// (it picks the file field), the photometric source before the law (reading
// it chooses User Defined) and the flux (it sets its own).
void TForm1::show_settings(const SettingsModel& model) {
  output_->show_settings(model);
  law_->show_settings(model);
  // LED or arc mode first: it enables the controls that mode reads.
  emitter_->show_settings(model);
  (model.sampling == SamplingMode::Legacy     ? LegacySampling1
   : model.sampling == SamplingMode::Weighted ? WeightedSampling1
                                              : EqualFluxSampling1)
      ->setChecked(true);
  SamplingClick();
  options_->show_settings(model);
  const QString photometricFile = to_qt(model.photometricFile);
  if (photometricFile != (photometric_ != nullptr ? to_qt(photometric_->path) : QString())) {
    use_photometric_source(photometricFile);
  }
  FlipSolidBox->setChecked(model.flipSolid && photometric_ != nullptr);
  if (!(model.fluxFromPhotometricFile && photometric_ != nullptr)) options_->show_flux(model);
  law_->show_law(model);
  spectrum_->show_settings(model);
}

// The one place where controls become values.
SettingsModel TForm1::settings_model() const {
  SettingsModel model;
  output_->store(model);
  law_->store(model);
  options_->store(model);
  model.sampling = sampling_mode();
  emitter_->store(model);
  if (photometric_ != nullptr) {
    model.photometricFile = photometric_->path;
    model.flipSolid = FlipSolidBox->isChecked();
    model.fluxFromPhotometricFile = model.fluxUnit == FluxUnit::Lumen && model.sourceFlux == photometricFlux_;
  }
  spectrum_->store(model);
  return model;
}

bool TForm1::guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const SilentAbort&) {
    // Ends the handler without a word, by design.
  } catch (const std::exception& error) {
    services_.show_error(error_box_text(to_qt(error.what())));
    return false;
  } catch (...) {
    services_.show_error(QString());
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate() {
  services_.show_message(kFreewareNotice);
  fill_recent_menu();
  // A faulty configuration reports itself and changes nothing; the lists,
  // the folder watcher and the LED mode are set up whatever it holds.
  const bool firstStart = !QFileInfo::exists(QString::fromLatin1(kConfigFileName));
  if (firstStart)
    show_settings(first_start_settings(settings_model(), list_distribution_files(".")));
  else
    guarded([this] { apply_configuration(kConfigFileName); });
  guarded([this] { fill_distribution_lists(); });
  watch_working_folder();
  CheckBox3->setChecked(true);  // LED mode
  if (firstStart) offer_first_start_save();
}

void TForm1::closeEvent(QCloseEvent* event) {
  calibration_->stop_and_wait();
  for (AsyncJob* job : {check_.get(), import_.get()}) {
    if (!job->running()) continue;
    // Nothing is lost by stopping a check or an import: no question.
    job->stop_and_wait();
    set_run_controls_enabled(true);
    frontEnd_->set_status_text("");
  }
  if (run_->running()) {
    if (services_.message_box(QString::fromLatin1(kApplicationTitle), kStopQuestion,
                              message_flags::YesNo | message_flags::IconExclamation) != DialogButton::Yes) {
      event->ignore();
      return;
    }
    run_->stop_and_wait();
    set_run_controls_enabled(true);
    frontEnd_->set_gauge_visible(false);
    frontEnd_->set_status_text("");
    output_->show_format_picture(selected_format());
  }
  QMainWindow::closeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_) {
    if (event->type() == QEvent::Resize) place_chart();
    return false;
  }
  // Enter in a typed field commits it before it reaches GENERATE; a commit
  // that shows an error keeps the Enter, so nothing is generated from it.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (watched == Edit6) return !commit_na();
      if (watched == PhotometricFileEdit) return !commit_photometric();
      if (watched == ComboBoxEx1->lineEdit()) return !commit_distribution(ComboBoxEx1);
      if (watched == ComboBoxEx2->lineEdit()) return !commit_distribution(ComboBoxEx2);
    }
  }
  if (watched == PhotometricFileEdit) {
    // A photometric file dropped on the field becomes the source (dropped
    // anywhere else on the window, it is imported as two tables).
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!is_photometric_drop(drag->mimeData()) || run_->running()) return false;
      drag->acceptProposedAction();
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!is_photometric_drop(drop->mimeData()) || run_->running()) return false;
      drop->acceptProposedAction();
      const QString path = drop->mimeData()->urls().front().toLocalFile();
      guarded([this, path] { choose_photometric_source(path, true); });
      return true;
    }
    return QMainWindow::eventFilter(watched, event);
  }
  QComboBox* combo = nullptr;
  for (QComboBox* each : {ComboBoxEx1, ComboBoxEx2}) {
    if (watched == each || watched == each->lineEdit()) combo = each;
  }
  if (combo == nullptr) return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!is_distribution_drop(drag->mimeData()) || run_->running()) return false;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!is_distribution_drop(drop->mimeData()) || run_->running()) return false;
      drop->acceptProposedAction();
      const QString path = drop->mimeData()->urls().front().toLocalFile();
      guarded([this, combo, path] { use_distribution_file(combo, path); });
      return true;
    }
    default: return false;
  }
}

}  // namespace lucidra::app
