// The angular-law panel, and the window's handlers around it: the two
// distribution lists that follow the working folder, Browse and drop for
// them, and the photometric source (import, flip, planes).

#include "app/law_panel.h"

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
#include "app/settings_model.h"
#include "app/silent_abort.h"
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

// ---------------------------------------------------------- the panel

void LawPanel::build_distribution_fields(QWidget* frame, QObject* filter) {
  Label5 = make_label(frame, "Label5", QStringLiteral("Longitudial Distribution"), 8, 40, 126);
  ComboBoxEx1 = named(new QComboBox(frame), "ComboBoxEx1");
  ComboBoxEx1->setGeometry(136, 36, 195, 21);
  Label6 = make_label(frame, "Label6", QStringLiteral("Transversal Distribution"), 8, 64, 126);
  ComboBoxEx2 = named(new QComboBox(frame), "ComboBoxEx2");
  ComboBoxEx2->setGeometry(136, 60, 195, 21);
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Completing inside the field would read a file per keystroke; the
    // popup offers the names and reads one only when it is chosen.
    combo->completer()->setCompletionMode(QCompleter::PopupCompletion);
    combo->setAcceptDrops(true);
    combo->installEventFilter(filter);
    combo->lineEdit()->installEventFilter(filter);
  }
}

void LawPanel::build_distribution_browse(QWidget* frame) {
  BrowseLongitudinalButton = make_browse_button(frame, "BrowseLongitudinalButton", 35);
  BrowseTransversalButton = make_browse_button(frame, "BrowseTransversalButton", 59);
}

void LawPanel::build_type(QWidget* frame) {
  RadioGroup2 = named(new RadioGroup(QStringLiteral("Angular Type"),
                                     {QStringLiteral("Lambertian"), QStringLiteral("Uniform"),
                                      QStringLiteral("User Defined"), QStringLiteral("Gaussian")},
                                     static_cast<int>(AngularType::UserDefined), frame),
                      "RadioGroup2");
  RadioGroup2->setGeometry(94, 7, 94, 85);
  RadioGroup2->setEnabled(false);
}

void LawPanel::build_na(QWidget* frame) {
  Label27 = make_label(frame, "Label27", QStringLiteral("NA"), 328, 33);
  Edit6 = make_edit(frame, "Edit6", QStringLiteral("0"), QRect(347, 30, 50, 21));
  Edit6->setEnabled(false);
  Label29 = make_label(frame, "Label29", QStringLiteral("NA"), 328, 57);
  Label29->hide();
  Edit8 = make_edit(frame, "Edit8", QStringLiteral("0"), QRect(347, 54, 50, 21));
  Edit8->setEnabled(false);
  Edit8->hide();
}

void LawPanel::build_shape(QWidget* frame) {
  Label2 = make_label(frame, "Label2", QStringLiteral("Angular shape:"), 193, 77);
  RadioButton7 = make_radio(frame, "RadioButton7", QStringLiteral("Radial"), 272, 75);
  RadioButton8 = make_radio(frame, "RadioButton8", QStringLiteral("Square"), 336, 75);
  RadioButton7->setChecked(true);
  keep_tab_on_checked({RadioButton7, RadioButton8});
}

// A photometric file as the source, under the source settings: the field
// (a name alone is in the working folder; empty uses the two distribution
// files), the flip, a one-line summary and the chart of its C-planes.
void LawPanel::build_photometric(QWidget* column, QObject* filter) {
  PhotometricPanel = make_panel(column, "PhotometricPanel", QRect(1, 387, 402, 52), kCream);
  PhotometricLabel = make_label(PhotometricPanel, "PhotometricLabel", QStringLiteral("Photometric File"), 8, 8);
  PhotometricFileEdit = make_edit(PhotometricPanel, "PhotometricFileEdit", QString(), QRect(96, 4, 235, 21));
  PhotometricFileEdit->setPlaceholderText(QStringLiteral("none: the two distribution files"));
  PhotometricFileEdit->setClearButtonEnabled(true);
  PhotometricFileEdit->setAcceptDrops(true);
  PhotometricFileEdit->installEventFilter(filter);
  BrowsePhotometricButton =
      named(new QPushButton(QStringLiteral("Browse…"), PhotometricPanel), "BrowsePhotometricButton");
  BrowsePhotometricButton->setGeometry(334, 3, 62, 23);
  BrowsePhotometricButton->setAutoDefault(false);
  FlipSolidBox = make_check(PhotometricPanel, "FlipSolidBox", QStringLiteral("Flip (gamma 180 to +z)"), 8, 30);
  FlipSolidBox->setEnabled(false);
  PhotometricBrief = make_label(PhotometricPanel, "PhotometricBrief", QString(), 150, 31, 180);
  PhotometricPlanesButton =
      named(new QPushButton(QStringLiteral("C-planes…"), PhotometricPanel), "PhotometricPlanesButton");
  PhotometricPlanesButton->setGeometry(334, 27, 62, 23);
  PhotometricPlanesButton->setAutoDefault(false);
  PhotometricPlanesButton->setEnabled(false);
}

void LawPanel::build_file_list(QWidget* column) {
  FileListBox1 = named(new QListWidget(column), "FileListBox1");
  FileListBox1->hide();
}

void LawPanel::show_settings(const SettingsModel& model) {
  for (auto [combo, name] :
       {std::pair{ComboBoxEx1, &model.longitudinalFile}, std::pair{ComboBoxEx2, &model.transversalFile}}) {
    // Naming a distribution file loads nothing until a plot or a run needs it.
    const QSignalBlocker blocker(combo);
    combo->setEditText(to_qt(*name));
  }
}

void LawPanel::show_law(const SettingsModel& model) {
  RadioGroup2->setItemIndex(static_cast<int>(model.angularType));
  set_na_text(to_qt(model.numericalAperture));
  Edit8->setText(to_qt(model.secondNa));
  (model.squareShape ? RadioButton8 : RadioButton7)->setChecked(true);
}

void LawPanel::store(SettingsModel& model) const {
  model.longitudinalFile = from_qt(ComboBoxEx1->currentText());
  model.transversalFile = from_qt(ComboBoxEx2->currentText());
  model.angularType = static_cast<AngularType>(RadioGroup2->itemIndex());
  model.squareShape = RadioButton8->isChecked();
  model.numericalAperture = from_qt(Edit6->text());
  model.secondNa = from_qt(Edit8->text());
}

void LawPanel::RadioGroup2Click() {
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

void LawPanel::set_na_text(const QString& text) {
  if (Edit6->text() == text) return;
  {
    const QSignalBlocker blocker(Edit6);
    Edit6->setText(text);
  }
  Edit6Change();
}

void LawPanel::Edit6Change() {
  const NaValidation validation = validate_na_text(from_qt(Edit6->text()), decimalSeparator_);
  switch (validation.action) {
    case NaValidation::Action::SilentStop: throw SilentAbort();
    case NaValidation::Action::Replace: set_na_text(to_qt(validation.replacement)); break;
    case NaValidation::Action::Keep: break;
  }
}

// ------------------------------------------------- the window's part

bool TForm1::commit_photometric() {
  if (!PhotometricFileEdit->isModified()) return true;
  PhotometricFileEdit->setModified(false);
  const QString text = PhotometricFileEdit->text().trimmed();
  return guarded([this, text] { choose_photometric_source(text, true); });
}

bool TForm1::commit_distribution(QComboBox* combo) {
  QLineEdit* edit = combo->lineEdit();
  if (!edit->isModified()) return true;
  edit->setModified(false);
  return guarded([this, combo] { combo == ComboBoxEx1 ? ComboBoxEx1Change() : ComboBoxEx2Change(); });
}

// The lists follow the working folder as distribution files come and go.
void TForm1::watch_working_folder() {
  if (folderWatcher_ == nullptr) {
    folderWatcher_ = new QFileSystemWatcher(this);
    folderWatcher_->setObjectName(QStringLiteral("FolderWatcher"));
    connect(folderWatcher_, &QFileSystemWatcher::directoryChanged, this,
            [this] { guarded([this] { fill_distribution_lists(); }); });
  }
  if (!folderWatcher_->directories().isEmpty()) folderWatcher_->removePaths(folderWatcher_->directories());
  folderWatcher_->addPath(QDir::currentPath());
}

void TForm1::fill_distribution_lists() {
  FileListBox1->clear();
  for (const std::string& name : list_distribution_files(".")) FileListBox1->addItem(to_qt(name));
  QStringList names;
  for (int i = 0; i < FileListBox1->count(); ++i) names << FileListBox1->item(i)->text();
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    // The names chosen by the configuration file (or typed) stay in the
    // edit fields.
    const QSignalBlocker blocker(combo);
    const QString chosen = combo->currentText();
    const bool typing = combo->lineEdit()->isModified();
    combo->clear();
    combo->addItems(names);
    combo->setCurrentIndex(-1);
    combo->setEditText(chosen);
    combo->lineEdit()->setModified(typing);
  }
}

// ------------------------------------------------------------------ chart

void TForm1::ComboBoxEx1Change() {
  refresh_distribution_plot(false);
  Chart1->update();
}

void TForm1::ComboBoxEx2Change() {
  refresh_distribution_plot(false);
  Chart1->update();
}

// ------------------------------------------------------- files and settings

QString TForm1::distribution_name(const QString& path) {
  const QFileInfo file(path);
  if (file.absoluteDir() == QDir(QDir::currentPath())) return file.fileName();
  return file.absoluteFilePath();
}

void TForm1::use_distribution_file(QComboBox* combo, const QString& path) {
  // Set from code: the combo's change handler reads the file at once.
  combo->setEditText(distribution_name(path));
}

void TForm1::BrowseDistributionClick(QComboBox* combo) {
  const QString caption = combo == ComboBoxEx1 ? Label5->text() : Label6->text();
  const QString path = services_.open_file_name(caption, QDir::currentPath(), kDistributionFilter);
  activateWindow();  // the keyboard comes back to the window after the dialog
  if (!path.isEmpty()) use_distribution_file(combo, path);
}

void TForm1::ImportPhotometricClick() {
  const QString path =
      services_.open_file_name(QStringLiteral("Import photometric file"), QDir::currentPath(),
                               QStringLiteral("Photometric files (*.ies *.IES *.ldt *.LDT);;All files (*)"));
  activateWindow();  // the keyboard comes back to the window after the dialog
  if (!path.isEmpty()) import_photometric(path);
}

void TForm1::import_photometric(const QString& path) {
  if (run_->running() || check_->running() || import_->running()) return;
  // The file is read and its solid integrated on a worker; the settings
  // stay locked meanwhile, and Cancel (Esc) drops what was read.
  const std::string source = from_qt(path);
  import_->start([this, source](const AsyncJob::Context&) -> std::function<void()> {
    std::optional<PhotometricImport> imported;
    std::string error;
    try {
      imported = import_photometric_file(source);
    } catch (const std::exception& e) {
      error = e.what();
    }
    return [this, source, imported = std::move(imported), error = std::move(error)] {
      set_run_controls_enabled(true);
      Check1->setEnabled(lastRun_.has_value() && lastRun_->ledMode);
      frontEnd_->set_status_text("");
      if (import_->stop_requested()) return;  // cancelled: nothing changes
      if (!error.empty()) {
        services_.show_error(error_box_text(to_qt(error)));
        return;
      }
      guarded([this, &source, &imported] { finish_import(source, *imported); });
    };
  });
  set_run_controls_enabled(false);
  frontEnd_->set_status_text("Reading " + source + "…");
}

void TForm1::finish_import(const std::string& source, const PhotometricImport& imported) {
  const auto files = imported_table_files(imported, source, std::string(), decimalSeparator_);
  for (const auto& file : files) {
    refuse_output_over_input("distribution file", file.path, {{"photometric file", source}});
  }
  if (const auto existing = existing_import_file(files)) {
    const QString question = to_qt(*existing) + QStringLiteral(" exists. Replace it and its companion?");
    if (services_.message_box(QString::fromLatin1(kApplicationTitle), question,
                              message_flags::YesNo | message_flags::IconExclamation) != DialogButton::Yes) {
      return;
    }
  }
  write_imported_tables(files);
  // The written tables hold candela: the chart's axis says so while they
  // are the ones shown.
  candelaTables_ = {to_qt(files[0].path), to_qt(files[1].path)};
  use_distribution_file(ComboBoxEx1, to_qt(files[0].path));
  use_distribution_file(ComboBoxEx2, to_qt(files[1].path));
  if (Chart1->isHidden()) {
    Button1->click();
  } else {
    refresh_distribution_plot(true);
  }
  services_.show_message(to_qt(import_summary(imported, source, files)));
}

void TForm1::BrowsePhotometricClick() {
  const QString path =
      services_.open_file_name(QStringLiteral("Photometric source"), QDir::currentPath(),
                               QStringLiteral("Photometric files (*.ies *.IES *.ldt *.LDT);;All files (*)"));
  activateWindow();  // the keyboard comes back to the window after the dialog
  if (!path.isEmpty()) choose_photometric_source(path, true);
}

void TForm1::show_photometric_field(const QString& text) {
  const QSignalBlocker blocker(PhotometricFileEdit);
  PhotometricFileEdit->setText(text);
  PhotometricFileEdit->setModified(false);
}

void TForm1::use_photometric_source(const QString& path, bool showPlanes) {
  if (path.isEmpty()) {
    adopt_photometric_source(nullptr, showPlanes);
    return;
  }
  const QString current = photometric_ != nullptr ? to_qt(photometric_->path) : QString();
  std::unique_ptr<PhotometricSource> source;
  try {
    source = std::make_unique<PhotometricSource>(read_photometric_source(from_qt(distribution_name(path))));
  } catch (...) {
    show_photometric_field(current);  // the source stays as it was
    throw;
  }
  adopt_photometric_source(std::move(source), showPlanes);
}

// A large luminaire file takes a while to read and integrate: the user's
// choice is read on a worker, the settings locked as for an import, and
// Cancel (Esc) or a file that cannot be read leaves the source as it was.
void TForm1::choose_photometric_source(const QString& path, bool showPlanes) {
  if (path.isEmpty()) {
    use_photometric_source(path, showPlanes);
    return;
  }
  if (run_->running() || check_->running() || import_->running()) return;
  const std::string name = from_qt(distribution_name(path));
  import_->start([this, name, showPlanes](const AsyncJob::Context&) -> std::function<void()> {
    std::shared_ptr<PhotometricSource> source;
    std::string error;
    try {
      source = std::make_shared<PhotometricSource>(read_photometric_source(name));
    } catch (const std::exception& e) {
      error = e.what();
    }
    return [this, source, error, showPlanes] {
      set_run_controls_enabled(true);
      Check1->setEnabled(lastRun_.has_value() && lastRun_->ledMode);
      frontEnd_->set_status_text("");
      if (import_->stop_requested() || !error.empty()) {
        show_photometric_field(photometric_ != nullptr ? to_qt(photometric_->path) : QString());
        if (!error.empty()) services_.show_error(error_box_text(to_qt(error)));
        return;
      }
      guarded([this, &source, showPlanes] {
        adopt_photometric_source(std::make_unique<PhotometricSource>(std::move(*source)), showPlanes);
      });
    };
  });
  show_photometric_field(to_qt(name));
  set_run_controls_enabled(false);
  frontEnd_->set_status_text("Reading " + name + "…");
}

void TForm1::adopt_photometric_source(std::unique_ptr<PhotometricSource> source, bool showPlanes) {
  if (source == nullptr) {
    if (photometric_ != nullptr) {
      // Back to the two files, with the flux the user had given them.
      photometric_.reset();
      SourceFluxEdit->setValue(fluxBeforePhotometric_);
      FluxUnitBox->setCurrentIndex(fluxUnitBeforePhotometric_);
    }
    show_photometric_field(QString());
    FlipSolidBox->setChecked(false);
  } else {
    if (photometric_ == nullptr) {
      fluxBeforePhotometric_ = SourceFluxEdit->value();
      fluxUnitBeforePhotometric_ = FluxUnitBox->currentIndex();
    }
    photometric_ = std::move(source);
    show_photometric_field(to_qt(photometric_->path));
    // The file's measured intensities are the law: User Defined.
    RadioGroup2->setItemIndex(static_cast<int>(AngularType::UserDefined));
    FluxUnitBox->setCurrentIndex(1);
    SourceFluxEdit->setValue(photometric_->solid.flux_lm());
    photometricFlux_ = SourceFluxEdit->value();
  }
  const bool active = photometric_ != nullptr;
  // The two lists stay in view, disabled, so that it is plain they are not used.
  for (QWidget* control : {static_cast<QWidget*>(Label5), static_cast<QWidget*>(ComboBoxEx1),
                           static_cast<QWidget*>(BrowseLongitudinalButton), static_cast<QWidget*>(Label6),
                           static_cast<QWidget*>(ComboBoxEx2), static_cast<QWidget*>(BrowseTransversalButton)}) {
    control->setEnabled(!active);
  }
  FlipSolidBox->setEnabled(active);
  PhotometricPlanesButton->setEnabled(active);
  FlipSolidClick();
  if (!Chart1->isHidden()) refresh_distribution_plot(true);
  if (active && showPlanes) show_photometric_planes();
}

void TForm1::FlipSolidClick() {
  if (photometric_ == nullptr) {
    PhotometricBrief->clear();
    if (photometricDialog_ != nullptr) photometricDialog_->close();
    return;
  }
  const PhotometricSolid solid = photometric_->oriented(FlipSolidBox->isChecked());
  const QChar separator = QChar::fromLatin1(decimalSeparator_);
  const auto number = [separator](double value) { return to_qt(short_number(value)).replace(QChar('.'), separator); };
  QString brief = QStringLiteral("%1 lm, peak %2 cd").arg(number(solid.flux_lm()), number(solid.peak_candela()));
  if (const std::optional<double> beam = beam_angle_deg(solid, 0)) {
    brief += QStringLiteral(", beam %1°").arg(number(std::round(*beam * 10) / 10));
  }
  PhotometricBrief->setText(brief);
  // An open chart follows the orientation the run will use.
  if (photometricDialog_ != nullptr && photometricDialog_->isVisible()) show_photometric_planes();
}

void TForm1::PhotometricPlanesClick() {
  if (photometric_ != nullptr) show_photometric_planes();
}

void TForm1::show_photometric_planes() {
  if (photometricDialog_ != nullptr) {
    photometricDialog_->close();
    photometricDialog_->deleteLater();
  }
  photometricDialog_ = new PhotometricDialog(*photometric_, FlipSolidBox->isChecked(), this);
  photometricDialog_->setAttribute(Qt::WA_DeleteOnClose);
  photometricDialog_->show();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (is_photometric_drop(event->mimeData()) && !run_->running()) {
    event->acceptProposedAction();
    return;
  }
  QMainWindow::dragEnterEvent(event);
}

void TForm1::dropEvent(QDropEvent* event) {
  if (!is_photometric_drop(event->mimeData()) || run_->running()) {
    QMainWindow::dropEvent(event);
    return;
  }
  event->acceptProposedAction();
  const QString path = event->mimeData()->urls().front().toLocalFile();
  guarded([this, path] { import_photometric(path); });
}

}  // namespace lucidra::app
