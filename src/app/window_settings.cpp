// The settings model in files and runs: the settings file (opened whole or
// not at all, saved, saved as) and the engine's settings a run is built
// from.

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
#include "photometry/spectrum.h"
#include "photometry/text_cursor.h"

namespace lucidra::app {

using namespace window_parts;

void TForm1::offer_first_start_save() {
  const QString text = QStringLiteral(
                           "There is no settings file %1 in %2, so the window starts with its defaults: ray files "
                           "in this folder named after their target and format.\n\nSave these settings as %1 now?")
                           .arg(QString::fromLatin1(kConfigFileName), QDir::toNativeSeparators(QDir::currentPath()));
  const DialogButton answer = services_.message_box(QString::fromLatin1(kApplicationTitle), text,
                                                    message_flags::YesNo | message_flags::IconInformation);
  if (answer == DialogButton::Yes) guarded([this] { SaveSettingsClick(); });
}

// The whole file is read and checked before any control changes, so a bad
// file leaves every setting as it was and names its line and field.
void TForm1::apply_configuration(const std::string& fileName) {
  show_settings(
      with_settings_file(settings_model(), read_settings_file(fileName, decimalSeparator_, from_qt(Edit6->text()))));
}

std::string TForm1::settings_file_path() {
  return from_qt(QDir::current().filePath(QString::fromLatin1(kConfigFileName)));
}

GenerationSettings TForm1::settings_from_controls() {
  return engine_settings(settings_model(), decimalSeparator_, settings_file_path());
}

SettingTexts TForm1::setting_texts() const { return lucidra::app::setting_texts(settings_model(), decimalSeparator_); }

void TForm1::controls_from_settings(const GenerationSettings& settings, const SettingTexts& texts) {
  show_settings(model_from_engine_settings(settings_model(), settings, texts));
}

void TForm1::save_settings(const QString& fileName) {
  write_settings_file(from_qt(fileName), settings_file_of(settings_model(), decimalSeparator_));
}

void TForm1::open_settings(const QString& fileName) { apply_configuration(from_qt(fileName)); }

void TForm1::SaveSettingsClick() { save_settings(QDir::current().filePath(QString::fromLatin1(kConfigFileName))); }

void TForm1::SaveSettingsAsClick() {
  const QString path =
      services_.save_file_name(QStringLiteral("Save settings as"),
                               QDir::current().filePath(QString::fromLatin1(kConfigFileName)), kSettingsFilter);
  activateWindow();
  if (path.isEmpty()) return;
  save_settings(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".cfg") : path);
}

void TForm1::OpenSettingsClick() {
  const QString path = services_.open_file_name(QStringLiteral("Open settings"), QDir::currentPath(), kSettingsFilter);
  activateWindow();
  if (!path.isEmpty()) open_settings(path);
}

}  // namespace lucidra::app
