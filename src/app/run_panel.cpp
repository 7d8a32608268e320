// The run and check life cycle: GENERATE and its confirmation, the status
// lines and gauge, Cancel, the end of a run, File > Check.

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
#include <QPointer>
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
#include "app/elided_label.h"
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
#include "engine/settings_text.h"
#include "lucidra/version.h"
#include "photometry/import_files.h"
#include "photometry/photometric_import.h"
#include "photometry/text_cursor.h"

namespace lucidra::app {

using namespace window_parts;

void TForm1::stop_for_signal() {
  // No question: the system asked the program to end. A run stops and
  // removes its temporary file before the program goes.
  if (check_->running()) check_->stop_and_wait();
  if (import_->running()) import_->stop_and_wait();
  if (calibration_->running()) calibration_->stop_and_wait();
  if (run_->running()) run_->stop_and_wait();
}

// ------------------------------------------------------------- generation

namespace {

// Runs on the worker: each report becomes a call posted to the window's
// thread, and "stop?" reads the flag the window sets.
class PostingObserver : public RunObserver {
 public:
  PostingObserver(const AsyncJob::Context& job, WindowRunObserver& display) : job_(job), display_(display) {}

  void table_points(ChartSeries series, const std::vector<PlotPoint>& points) override {
    job_.post([display = &display_, series, points] { display->table_points(series, points); });
  }
  void phase_started(RunPhase phase) override {
    job_.post([display = &display_, phase] { display->phase_started(phase); });
  }
  void progress(std::int64_t gaugePosition, std::int64_t itemsDone) override {
    job_.post([display = &display_, gaugePosition, itemsDone] { display->progress(gaugePosition, itemsDone); });
    if (onProgress_) job_.post([call = onProgress_, gaugePosition, itemsDone] { call(gaugePosition, itemsDone); });
  }
  // The window's speed line, called on its thread.
  std::function<void(std::int64_t, std::int64_t)> onProgress_;
  bool stop_requested() override { return job_.stop_requested(); }

 private:
  const AsyncJob::Context& job_;
  WindowRunObserver& display_;
};

}  // namespace

// The emitter's sizes and the wavelength, checked against their range when
// typed and again before the confirmation, so a question is never asked
// about a run that cannot start. Empty when every field holds a value in its
// range.
QString TForm1::field_problem() const {
  return to_qt(lucidra::app::field_problem(settings_model(), decimalSeparator_));
}

bool TForm1::commit_fields() {
  const QString problem = field_problem();
  if (problem.isEmpty()) return true;
  services_.show_error(error_box_text(problem));
  activateWindow();
  return false;
}

void TForm1::BitBtn1Click() {
  if (run_->running() || check_->running() || import_->running()) return;
  if (calibration_->running()) {
    calibration_->stop_and_wait();
    calibrationTried_.pop_back();  // measured again at the next need
  }
  if (!commit_fields()) return;
  if (!spectrum_->commit(LegacySampling1->isChecked())) return;
  // The questions, the conversion and the displays' reset happen here; the
  // engine works on the job's thread.
  runReport_ = RunReport{};
  prepared_ = prepare_window_run(*frontEnd_, runReport_);
  if (!prepared_) return;  // refused, declined, or a text that is not a number
  display_.emplace(*frontEnd_);
  runSeconds_ = 0;
  runClock_.start();
  run_->start([this, settings = prepared_->settings](const AsyncJob::Context& job) -> std::function<void()> {
    PostingObserver observer(job, *display_);
    observer.onProgress_ = [this](std::int64_t gaugePosition, std::int64_t itemsDone) {
      show_run_speed(gaugePosition, itemsDone);
    };
    RunReport report = generate(settings, observer);
    // The run's own time, before the notices that follow it wait for the
    // user: the next estimate's rate comes from it.
    const double seconds = static_cast<double>(runClock_.nsecsElapsed()) / 1e9;
    return [this, report = std::move(report), seconds] {
      runReport_ = report;
      runSeconds_ = seconds;
      show_run_report(*frontEnd_, *prepared_, runReport_);
      display_.reset();
    };
  });
  set_run_controls_enabled(false);
}

bool TForm1::run_in_progress() const { return run_->running(); }

bool TForm1::check_in_progress() const { return check_->running(); }

bool TForm1::import_in_progress() const { return import_->running(); }

void TForm1::cancel_run() {
  if (run_->running()) {
    run_->request_stop();
  } else if (check_->running()) {
    check_->request_stop();
  } else if (import_->running()) {
    import_->request_stop();
  } else {
    return;
  }
  CancelRunButton->setEnabled(false);  // once is enough; the work stops at its next poll
}

// During a run every setting stays as the run read it, and nothing starts a
// second run; Cancel takes the Plot button's place.
void TForm1::set_run_controls_enabled(bool enabled) {
  for (QWidget* panel : {static_cast<QWidget*>(Panel5), static_cast<QWidget*>(Panel2), static_cast<QWidget*>(Panel3),
                         static_cast<QWidget*>(Panel7), static_cast<QWidget*>(Panel9), static_cast<QWidget*>(CheckBox5),
                         static_cast<QWidget*>(PhotometricPanel), static_cast<QWidget*>(spectrum_->SpectrumPanel)}) {
    panel->setEnabled(enabled);
  }
  for (QWidget* control :
       {static_cast<QWidget*>(RadioButton1), static_cast<QWidget*>(RadioButton2), static_cast<QWidget*>(RadioButton5),
        static_cast<QWidget*>(RadioButton6), static_cast<QWidget*>(BitBtn1)}) {
    control->setEnabled(enabled);
  }
  for (QAction* action :
       {Generate1, LegacySampling1, EqualFluxSampling1, WeightedSampling1, Notyfy1, OpenSettingsAction,
        ImportPhotometricAction, TextFormatAction, ZemaxBinaryAction, Tm25Action}) {
    action->setEnabled(enabled);
  }
  FormatBox->setEnabled(enabled && FormatBox->count() > 1);
  RecentMenu->setEnabled(enabled && !RecentMenu->isEmpty());
  if (!enabled) Check1->setEnabled(false);
  Button1->setVisible(enabled);
  CancelRunButton->setEnabled(true);
  CancelRunButton->setVisible(!enabled);
}

// While a run works the estimate line shows its speed and the time left,
// the gauge's share of the elapsed time.
void TForm1::show_run_speed(std::int64_t gaugePosition, std::int64_t itemsDone) {
  const double seconds = static_cast<double>(runClock_.nsecsElapsed()) / 1e9;
  if (seconds <= 0 || itemsDone <= 0) return;
  std::optional<double> left;
  if (gaugePosition > 0)
    left = seconds * static_cast<double>(1000 - gaugePosition) / static_cast<double>(gaugePosition);
  summary_->show_estimate(to_qt(format_progress(static_cast<double>(itemsDone) / seconds, left)));
}

void TForm1::run_finished() {
  const RunReport& report = runReport_;
  const double seconds = runSeconds_;
  if (report.outcome == RunOutcome::Succeeded && seconds > 0 && prepared_) {
    // The next estimate's base: this machine's rate for this format. A run
    // of a few rays says little, so only runs of a noticeable length count.
    const double rays = static_cast<double>(prepared_->settings.rayCount) + 1;
    if (seconds > 0.05) {
      QSettings().setValue(kRateKey + QString::fromLatin1(ray_format(prepared_->settings.outputFormat).cliName),
                           rays / seconds);
    }
  }
  show_estimate();
  set_run_controls_enabled(true);
  if (report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) {
    lastRun_ = prepared_->settings;
    remember_ray_file(to_qt(lastRun_->outputPath));
    summary_->show_run(to_qt(lastRun_->outputPath), report.raysWritten, report.spectrumSummary, report.extent);
    if (!report.spectrumSummary.empty()) spectrum_->show_run_summary(to_qt(report.spectrumSummary));
  }
  Check1->setEnabled(lastRun_.has_value() && lastRun_->ledMode);
  emit runFinished();
}

void TForm1::Check1Click() {
  if (!lastRun_ || run_->running() || check_->running() || import_->running()) return;
  // The file named in Source File, judged against the law the settings
  // shown describe: a file written earlier, or by another run, can be
  // checked by naming it. The tables are read here, so that a table gone
  // bad is reported at once.
  GenerationSettings settings = settings_from_controls();
  apply_setting_texts(settings, setting_texts());
  auto law = std::make_shared<const IntensityLaw>(settings);
  checkResult_.reset();
  checkError_.clear();
  checkedFile_ = to_qt(settings.outputPath);
  checkedUnit_ = settings.fluxUnit;
  // The bar follows the file as it is read; its Cancel stops the check as
  // Esc does, and it goes when the check ends, whatever the outcome.
  auto* progress = new CheckProgress(QFileInfo(checkedFile_).fileName(), this);
  connect(progress, &QProgressDialog::canceled, this, &TForm1::cancel_run);
  connect(check_.get(), &AsyncJob::finished, progress, &QObject::deleteLater);
  check_->start([this, path = settings.outputPath, law = std::move(law),
                 bar = QPointer<CheckProgress>(progress)](const AsyncJob::Context& job) {
    std::optional<FarFieldResult> result;
    std::string error;
    FarFieldOptions options;
    options.stopRequested = [&job] { return job.stop_requested(); };
    options.progress = [&job, bar](double share) {
      job.post([bar, share] {
        if (bar) bar->set_share(share);
      });
    };
    try {
      result = check_ray_file(path, RayFileKind::Auto, *law, options);
    } catch (const CheckStopped&) {
      // Stopped: neither a result nor an error.
    } catch (const std::exception& e) {
      error = e.what();
    }
    return std::function<void()>([this, result = std::move(result), error = std::move(error)] {
      checkResult_ = result;
      checkError_ = error;
    });
  });
  // The file must stay as it is while it is read: the settings and GENERATE
  // are locked as during a run, and Cancel (Esc) stops the check.
  set_run_controls_enabled(false);
  frontEnd_->set_status_text("Checking " + settings.outputPath + "…");
}

void TForm1::check_finished() {
  set_run_controls_enabled(true);
  Check1->setEnabled(lastRun_.has_value() && lastRun_->ledMode);
  frontEnd_->set_status_text("");
  if (checkResult_) {
    auto* dialog = new FarFieldDialog(*checkResult_, this, checkedUnit_, &services_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  } else if (!checkError_.empty()) {
    services_.show_error(error_box_text(to_qt(checkError_)));
  }
  emit checkFinished();
}

void TForm1::Generate1Click() { BitBtn1->click(); }

void TForm1::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && BitBtn1->isEnabled()) {
    event->accept();
    BitBtn1->click();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

}  // namespace lucidra::app
