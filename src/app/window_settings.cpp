// The settings the controls show, in both directions: the settings file
// (opened whole or not at all, saved, saved as) and the engine's settings a
// run is built from.

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
  apply_settings(read_settings_file(fileName, decimalSeparator_, from_qt(Edit6->text())));
}

void TForm1::apply_settings(const SettingsModel& model) {
  const ConfigValues& values = model.lines;
  Edit3->setText(to_qt(values.traceProPath));
  Edit4->setText(to_qt(values.zemaxPath));
  {
    // Naming a distribution file loads nothing until a plot or a run needs it.
    const QSignalBlocker first(ComboBoxEx1);
    ComboBoxEx1->setEditText(to_qt(values.longitudinalFile));
  }
  {
    const QSignalBlocker second(ComboBoxEx2);
    ComboBoxEx2->setEditText(to_qt(values.transversalFile));
  }
  CSpinEdit3->setValue(values.rayCount);
  CSpinEdit5->setValue(values.sourceFlux);
  CSpinEdit4->setValue(values.extentAboutZ);
  set_na_text(to_qt(values.numericalAperture));
  Edit8->setText(to_qt(values.secondNa));
  Edit9->setText(to_qt(values.sizeY));
  Edit10->setText(to_qt(values.sizeX));
  if (model.sampling) {
    QAction* mode = *model.sampling == SamplingMode::Legacy     ? LegacySampling1
                    : *model.sampling == SamplingMode::Weighted ? WeightedSampling1
                                                                : EqualFluxSampling1;
    mode->setChecked(true);
    SamplingClick();
  }
  if (model.fluxUnit) FluxUnitBox->setCurrentIndex(*model.fluxUnit == FluxUnit::Lumen ? 1 : 0);
  if (model.format) choose_format(*model.format);
  if (model.spectrumFile) SpectrumFileEdit->setText(to_qt(*model.spectrumFile));
  if (model.wavelengthNm) WavelengthEdit->setText(to_qt(*model.wavelengthNm));
  if (model.spectrum) {
    (*model.spectrum == SpectrumMode::File   ? SpectrumFileButton
     : *model.spectrum == SpectrumMode::Line ? SpectrumLineButton
                                             : SpectrumNoneButton)
        ->setChecked(true);
  }
  refresh_spectrum();
}

SettingsModel TForm1::settings_model() const {
  SettingsModel model;
  ConfigValues& values = model.lines;
  values.traceProPath = from_qt(Edit3->text());
  values.zemaxPath = from_qt(Edit4->text());
  values.longitudinalFile = from_qt(ComboBoxEx1->currentText());
  values.transversalFile = from_qt(ComboBoxEx2->currentText());
  values.rayCount = CSpinEdit3->value();
  values.sourceFlux = CSpinEdit5->value();
  values.extentAboutZ = CSpinEdit4->value();
  values.numericalAperture = from_qt(Edit6->text());
  values.secondNa = from_qt(Edit8->text());
  values.sizeY = from_qt(Edit9->text());
  values.sizeX = from_qt(Edit10->text());
  model.format = selected_format();
  model.sampling = LegacySampling1->isChecked()     ? SamplingMode::Legacy
                   : WeightedSampling1->isChecked() ? SamplingMode::Weighted
                                                    : SamplingMode::EqualFlux;
  model.fluxUnit = FluxUnitBox->currentIndex() == 1 ? FluxUnit::Lumen : FluxUnit::Watt;
  model.spectrum = spectrum_mode();
  if (!SpectrumFileEdit->text().trimmed().isEmpty()) model.spectrumFile = from_qt(SpectrumFileEdit->text().trimmed());
  // Only a wavelength the run would take: the file must read back.
  const std::string nm = from_qt(WavelengthEdit->text().trimmed());
  const std::optional<double> value = try_parse_real(nm, decimalSeparator_);
  if (value && *value >= kSpectrumMinNm && *value <= kSpectrumMaxNm) model.wavelengthNm = nm;
  return model;
}

GenerationSettings TForm1::settings_from_controls() {
  GenerationSettings settings;
  settings.outputFormat = selected_format();
  settings.outputPath = from_qt(output_path_field(settings.outputFormat)->text());
  settings.longitudinalFile = from_qt(ComboBoxEx1->currentText());
  settings.transversalFile = from_qt(ComboBoxEx2->currentText());
  settings.ledMode = CheckBox3->isChecked();
  settings.rayCount = CSpinEdit3->value();
  settings.considerSourceFlux = CheckBox2->isChecked();
  settings.legacySampling = LegacySampling1->isChecked();
  settings.weightedSampling = WeightedSampling1->isChecked();
  if (settings.legacySampling) {
    settings.sourceFlux = CSpinEdit5->value();
  } else {
    settings.sourceFlux = SourceFluxEdit->value();
    settings.fluxUnit = FluxUnitBox->currentIndex() == 1 ? FluxUnit::Lumen : FluxUnit::Watt;
  }
  settings.randomAlgorithm = RadioButton3->isChecked() ? RandomAlgorithm::Sobol : RandomAlgorithm::Uniform;
  settings.angularType = static_cast<AngularType>(RadioGroup2->itemIndex());
  settings.extentAboutZ = CSpinEdit4->value();
  settings.planeShape = static_cast<PlaneShape>(RadioGroup1->itemIndex());
  settings.doubleSide = CheckBox6->isChecked();
  settings.balance = CSpinEdit6->value();
  settings.squareShape = RadioButton8->isChecked();
  settings.notifyEnd = CheckBox1->isChecked();
  if (photometric_ != nullptr) {
    settings.photometricFile = photometric_->path;
    settings.flipSolid = FlipSolidBox->isChecked();
    // The flux the file set, untouched: the run takes the exact integral
    // rather than the field's rounded figure.
    settings.fluxFromPhotometricFile =
        !settings.legacySampling && settings.fluxUnit == FluxUnit::Lumen && SourceFluxEdit->value() == photometricFlux_;
  }
  if (spectrum_mode() == SpectrumMode::File) {
    settings.spectrumFile = from_qt(SpectrumFileEdit->text().trimmed());
  } else if (spectrum_mode() == SpectrumMode::Line) {
    // GENERATE refuses a wavelength outside its range before this is read.
    settings.wavelengthNm = try_parse_real(from_qt(WavelengthEdit->text().trimmed()), decimalSeparator_).value_or(0);
  }
  // The settings file the window reads and saves: never a ray file.
  settings.settingsFile = from_qt(QDir::current().filePath(QString::fromLatin1(kConfigFileName)));
  settings.fileDecimalSeparator = decimalSeparator_;
  settings.threads = 0;
  return settings;
}

SettingTexts TForm1::setting_texts() const {
  SettingTexts texts;
  texts.numericalAperture = from_qt(Edit6->text());
  texts.sizeX = from_qt(Edit10->text());
  texts.sizeY = from_qt(Edit9->text());
  texts.decimalSeparator = decimalSeparator_;
  return texts;
}

void TForm1::controls_from_settings(const GenerationSettings& settings, const SettingTexts& texts) {
  choose_format(settings.outputFormat);
  output_path_field(settings.outputFormat)->setText(to_qt(settings.outputPath));
  for (auto [combo, name] :
       {std::pair{ComboBoxEx1, &settings.longitudinalFile}, std::pair{ComboBoxEx2, &settings.transversalFile}}) {
    const QSignalBlocker blocker(combo);
    combo->setEditText(to_qt(*name));
  }
  CheckBox3->setChecked(settings.ledMode);
  CSpinEdit3->setValue(settings.rayCount);
  CheckBox2->setChecked(settings.considerSourceFlux);
  CSpinEdit5->setValue(static_cast<int>(std::lround(settings.sourceFlux)));
  const QString photometricFile = to_qt(settings.photometricFile);
  if (photometricFile != (photometric_ != nullptr ? to_qt(photometric_->path) : QString())) {
    use_photometric_source(photometricFile);
  }
  FlipSolidBox->setChecked(settings.flipSolid && photometric_ != nullptr);
  if (!(settings.fluxFromPhotometricFile && photometric_ != nullptr)) {
    SourceFluxEdit->setValue(settings.sourceFlux);
    FluxUnitBox->setCurrentIndex(settings.fluxUnit == FluxUnit::Lumen ? 1 : 0);
  }
  (settings.randomAlgorithm == RandomAlgorithm::Sobol ? RadioButton3 : RadioButton4)->setChecked(true);
  RadioGroup2->setItemIndex(static_cast<int>(settings.angularType));
  set_na_text(to_qt(texts.numericalAperture));
  CSpinEdit4->setValue(settings.extentAboutZ);
  Edit10->setText(to_qt(texts.sizeX));
  Edit9->setText(to_qt(texts.sizeY));
  RadioGroup1->setItemIndex(static_cast<int>(settings.planeShape));
  CheckBox6->setChecked(settings.doubleSide);
  CSpinEdit6->setValue(settings.balance);
  (settings.squareShape ? RadioButton8 : RadioButton7)->setChecked(true);
  CheckBox1->setChecked(settings.notifyEnd);
  if (!settings.spectrumFile.empty()) {
    SpectrumFileEdit->setText(to_qt(settings.spectrumFile));
    SpectrumFileButton->setChecked(true);
  } else if (settings.wavelengthNm != 0) {
    QString nm = QString::number(settings.wavelengthNm, 'g', 10);
    nm.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator_));
    WavelengthEdit->setText(nm);
    SpectrumLineButton->setChecked(true);
  } else {
    SpectrumNoneButton->setChecked(true);
  }
  refresh_spectrum();
}

void TForm1::save_settings(const QString& fileName) { write_settings_file(from_qt(fileName), settings_model()); }

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
