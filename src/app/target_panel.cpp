// The target and output panel: the ray file fields, the target buttons and
// banners, the format box, Browse for the ray file and File > Recent.

#include "app/target_panel.h"

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

void TForm1::build_file_panel() {
  Panel5 = make_panel(Panel1, "Panel5", QRect(1, 1, 402, 89), kCream);
  output_->build_file_fields(Panel5);

  law_->build_distribution_fields(Panel5, this);
  output_->build_browse(Panel5);
  law_->build_distribution_browse(Panel5);
}

void TForm1::build_target_panel() {
  Panel6 = make_panel(Panel1, "Panel6", QRect(1, 90, 402, 65), kCream);
  output_->build_banners(Panel6);

  CGauge2 = named(new Gauge(Panel6), "CGauge2");
  CGauge2->setGeometry(8, 32, 225, 25);
  CGauge2->hide();
  Label21 = make_label(Panel6, "Label21", QString(), 11, 9, 220);

  output_->build_targets(Panel6);

  BitBtn1 = named(new QPushButton(QStringLiteral("GENERATE"), Panel6), "BitBtn1");
  BitBtn1->setGeometry(312, 6, 81, 25);
  QFont buttonFont(QStringLiteral("Times New Roman"));
  buttonFont.setPixelSize(13);
  buttonFont.setBold(true);
  BitBtn1->setFont(buttonFont);
  QPalette buttonPalette = BitBtn1->palette();
  buttonPalette.setColor(QPalette::ButtonText, Qt::red);
  BitBtn1->setPalette(buttonPalette);
  BitBtn1->setDefault(true);
  Button1 = named(new QPushButton(QStringLiteral("Plot >>"), Panel6), "Button1");
  Button1->setGeometry(312, 35, 81, 25);
  // A focused push button takes Enter for itself; elsewhere Enter means GENERATE.
  BitBtn1->setAutoDefault(true);
  Button1->setAutoDefault(true);

  CancelRunButton = named(new QPushButton(QStringLiteral("Cancel"), Panel6), "CancelRunButton");
  CancelRunButton->setGeometry(Button1->geometry());
  CancelRunButton->setAutoDefault(false);
  CancelRunButton->setShortcut(QKeySequence(Qt::Key_Escape));
  CancelRunButton->hide();
}

// ------------------------------------------------------- settings mapping

void TForm1::RadioButton1Click() {
  if (RadioButton1->isChecked()) select_target(OutputFormat::TracePro);
}

void TForm1::RadioButton2Click() {
  if (RadioButton2->isChecked()) select_target(OutputFormat::Zemax);
}

void TForm1::RadioButton5Click() {
  if (RadioButton5->isChecked()) select_target(OutputFormat::LightTools);
}

void TForm1::RadioButton6Click() {
  if (RadioButton6->isChecked()) select_target(OutputFormat::Asap);
}

void TForm1::RadioButton4Click() {}

void TForm1::format_taken(OutputFormat format) {
  const RayFormat& taken = ray_format(format);
  (taken.binary ? (format == OutputFormat::Tm25 ? Tm25Action : ZemaxBinaryAction) : TextFormatAction)->setChecked(true);
  CSpinEdit3Change();
  if (isVisible()) measure_rate_if_unknown();
}

SamplingMode TForm1::sampling_mode() const {
  return LegacySampling1->isChecked()     ? SamplingMode::Legacy
         : WeightedSampling1->isChecked() ? SamplingMode::Weighted
                                          : SamplingMode::EqualFlux;
}

void TForm1::SamplingClick() {
  options_->show_sampling(sampling_mode());
  output_->set_sampling(sampling_mode());
  show_estimate();
}

QStringList TForm1::recent_ray_files() const { return QSettings().value(kRecentKey).toStringList(); }

void TForm1::remember_ray_file(const QString& path) {
  QStringList recent = recent_ray_files();
  const QString full = QFileInfo(path).absoluteFilePath();
  recent.removeAll(full);
  recent.prepend(full);
  while (recent.size() > kRecentCount) recent.removeLast();
  QSettings().setValue(kRecentKey, recent);
  fill_recent_menu();
}

// Picking a recent file makes it the ray file of the selected target.
void TForm1::fill_recent_menu() {
  RecentMenu->clear();
  for (const QString& path : recent_ray_files()) {
    QAction* action = RecentMenu->addAction(QDir::toNativeSeparators(path));
    connect(action, &QAction::triggered, this,
            [this, path] { output_->output_path_field(selected_format())->setText(QDir::toNativeSeparators(path)); });
  }
  RecentMenu->setEnabled(!RecentMenu->isEmpty() && !run_->running());
}

// ------------------------------------------------------------- the panel

OutputPanel::OutputPanel(QWidget* window, DesktopServices& services)
    : QObject(window), window_(window), services_(services) {}

void OutputPanel::build_file_fields(QWidget* frame) {
  Label1 = make_label(frame, "Label1", QStringLiteral("Source File"), 8, 11);
  const QRect fileField(96, 8, 235, 21);
  // Ray files start in the working folder, named after their target and
  // format, so a first start writes where the user looks on any platform.
  const SettingsModel defaults;
  Edit3 = make_edit(frame, "Edit3", to_qt(defaults.traceProFile), fileField);
  Edit4 = make_edit(frame, "Edit4", to_qt(defaults.zemaxFile), fileField);
  Edit11 = make_edit(frame, "Edit11", to_qt(defaults.lightToolsFile), fileField);
  Edit5 = make_edit(frame, "Edit5", to_qt(defaults.asapFile), fileField);
  Edit3->hide();
  Edit11->hide();
  Edit5->hide();
  for (QLineEdit* edit : {Edit3, Edit4, Edit11, Edit5}) {
    edit->setToolTip(
        QStringLiteral("The ray file to write (replaced after confirmation); a name alone is in the working folder"));
  }
}

void OutputPanel::build_browse(QWidget* frame) {
  BrowseOutputButton = make_browse_button(frame, "BrowseOutputButton", 7);
  BrowseOutputButton->setToolTip(QStringLiteral("Choose the ray file to write, in any folder"));
  connect(BrowseOutputButton, &QPushButton::clicked, this, &OutputPanel::BrowseOutputClick);
}

void OutputPanel::build_banners(QWidget* frame) {
  Image1 =
      make_banner(frame, "Image1", QStringLiteral("TracePro"), QStringLiteral("ray source file"), QColor(0, 84, 147));
  Image2 =
      make_banner(frame, "Image2", QStringLiteral("ZEMAX"), QStringLiteral("source DLL ray file"), QColor(150, 20, 30));
  Image3 = make_banner(frame, "Image3", QStringLiteral("LightTools"), QStringLiteral("ray data source"),
                       QColor(30, 110, 50));
  Image4 = make_banner(frame, "Image4", QStringLiteral("ASAP"), QStringLiteral("distribution file (dis)"),
                       QColor(90, 60, 130));
  Image1->hide();
  Image3->hide();
  Image4->hide();
}

void OutputPanel::build_targets(QWidget* frame) {
  RadioButton6 = make_radio(frame, "RadioButton6", QStringLiteral("ASAP (dis)"), 238, 3);
  RadioButton5 = make_radio(frame, "RadioButton5", QStringLiteral("LightTools"), 238, 18);
  RadioButton1 = make_radio(frame, "RadioButton1", QStringLiteral("TracePro"), 238, 33);
  RadioButton2 = make_radio(frame, "RadioButton2", QStringLiteral("Zemax"), 238, 48);
  RadioButton2->setChecked(true);

  FormatBox = named(new QComboBox(frame), "FormatBox");
  FormatBox->setGeometry(16, 39, 217, 22);
  FormatBox->setToolTip(QStringLiteral("The ray file's format for the chosen target"));
  keep_tab_on_checked({RadioButton6, RadioButton5, RadioButton1, RadioButton2});
}

void OutputPanel::show_settings(const SettingsModel& model) {
  choose_format(model.format);
  Edit3->setText(to_qt(model.traceProFile));
  Edit4->setText(to_qt(model.zemaxFile));
  Edit11->setText(to_qt(model.lightToolsFile));
  Edit5->setText(to_qt(model.asapFile));
}

void OutputPanel::store(SettingsModel& model) const {
  model.format = selected_format();
  model.traceProFile = from_qt(Edit3->text());
  model.zemaxFile = from_qt(Edit4->text());
  model.lightToolsFile = from_qt(Edit11->text());
  model.asapFile = from_qt(Edit5->text());
}

void OutputPanel::show_target(OutputFormat target) {
  fill_format_box(target);
  for (OutputFormat each : kFormats) output_path_field(each)->setVisible(each == target);
}

void OutputPanel::set_sampling(SamplingMode mode) {
  sampling_ = mode;
  show_format_banner(selected_format());
}

OutputFormat OutputPanel::selected_format() const {
  const QVariant chosen = FormatBox->currentData();
  if (chosen.isValid()) return static_cast<OutputFormat>(chosen.toInt());
  if (RadioButton1->isChecked()) return OutputFormat::TracePro;
  if (RadioButton5->isChecked()) return OutputFormat::LightTools;
  if (RadioButton6->isChecked()) return OutputFormat::Asap;
  return OutputFormat::Zemax;
}

QLineEdit* OutputPanel::output_path_field(OutputFormat format) const {
  switch (ray_format(format).target) {
    case OutputFormat::TracePro: return Edit3;
    case OutputFormat::LightTools: return Edit11;
    case OutputFormat::Asap: return Edit5;
    default: return Edit4;
  }
}

QLabel* OutputPanel::format_picture(OutputFormat format) const {
  switch (ray_format(format).target) {
    case OutputFormat::TracePro: return Image1;
    case OutputFormat::LightTools: return Image3;
    case OutputFormat::Asap: return Image4;
    default: return Image2;
  }
}

void OutputPanel::fill_format_box(OutputFormat target) {
  const QSignalBlocker blocker(FormatBox);
  FormatBox->clear();
  const QString remembered =
      QSettings().value(kFormatKey + QString::fromLatin1(ray_format(target).cliName.data())).toString();
  for (const RayFormat& f : ray_formats()) {
    if (f.target != target) continue;
    QString text = QString::fromUtf8(f.displayName.data(), static_cast<qsizetype>(f.displayName.size()));
    if (f.experimental) text += QStringLiteral(" \u2014 experimental");
    FormatBox->addItem(text, static_cast<int>(f.id));
    FormatBox->setItemData(FormatBox->count() - 1, text, Qt::ToolTipRole);
    if (remembered == QLatin1String(f.cliName.data(), static_cast<qsizetype>(f.cliName.size()))) {
      FormatBox->setCurrentIndex(FormatBox->count() - 1);
    }
  }
  FormatBox->setEnabled(FormatBox->count() > 1);
}

void OutputPanel::choose_format(OutputFormat format) {
  const OutputFormat target = ray_format(format).target;
  QRadioButton* button = target == OutputFormat::TracePro     ? RadioButton1
                         : target == OutputFormat::LightTools ? RadioButton5
                         : target == OutputFormat::Asap       ? RadioButton6
                                                              : RadioButton2;
  if (!button->isChecked()) button->click();
  const int index = FormatBox->findData(static_cast<int>(format));
  if (index < 0 || index == FormatBox->currentIndex()) return;
  FormatBox->setCurrentIndex(index);
  format_chosen();
}

void OutputPanel::format_chosen() {
  const RayFormat& format = ray_format(selected_format());
  QSettings().setValue(kFormatKey + QString::fromLatin1(ray_format(format.target).cliName.data()),
                       QString::fromLatin1(format.cliName.data()));
  // The ray tracer chooses its reader by the extension: the name follows
  // the format, but a name the user typed is changed only if they agree.
  QLineEdit* field = output_path_field(format.id);
  const std::string name = from_qt(field->text());
  if (!name.empty() && !extension_matches(format, name)) {
    const QString renamed = to_qt(with_format_extension(format, name));
    const bool typed = field->isModified();
    if (!typed ||
        services_.message_box(QString::fromLatin1(kApplicationTitle),
                              QStringLiteral("Change the ray file's name to %1 for the %2 format?")
                                  .arg(renamed, QString::fromLatin1(format.displayName.data(),
                                                                    static_cast<qsizetype>(format.displayName.size()))),
                              message_flags::YesNo | message_flags::IconInformation) == DialogButton::Yes) {
      field->setText(renamed);
      field->setModified(false);
    }
  }
  show_format_picture(format.id);
  emit formatChosen(format.id);
}

void OutputPanel::show_format_banner(OutputFormat format) {
  // The banner names the target in large letters and the format under it.
  const RayFormat& f = ray_format(format);
  static const char* const kTitles[] = {"TracePro", "ZEMAX", "LightTools", "ASAP"};
  QString subtitle = QString::fromUtf8(f.displayName.data(), static_cast<qsizetype>(f.displayName.size())) +
                     QStringLiteral(" (") + QString::fromUtf8(f.defaultName.substr(f.defaultName.rfind('.')).data()) +
                     QStringLiteral(")");
  if (f.experimental) subtitle += QStringLiteral(", experimental");
  // The sampling mode sits beside the format: legacy sampling, once ticked,
  // changes every ray and must not show only in the menu.
  subtitle += sampling_ == SamplingMode::Legacy     ? QStringLiteral(" · legacy sampling")
              : sampling_ == SamplingMode::Weighted ? QStringLiteral(" · weighted sampling")
                                                    : QStringLiteral(" · equal-flux sampling");
  format_picture(format)->setText(QStringLiteral("<span style=\"font-size:15px; font-weight:bold\">%1</span>"
                                                 "<br><span style=\"font-size:9px\">%2</span>")
                                      .arg(QString::fromLatin1(kTitles[static_cast<int>(f.target)]), subtitle));
}

void OutputPanel::show_format_picture(OutputFormat format) {
  show_format_banner(format);
  for (OutputFormat each : kFormats) format_picture(each)->setVisible(format_picture(each) == format_picture(format));
}

void OutputPanel::hide_format_pictures() {
  for (OutputFormat each : kFormats) format_picture(each)->hide();
}

void OutputPanel::BrowseOutputClick() {
  QLineEdit* field = output_path_field(selected_format());
  const QFileInfo current(field->text());
  const QString start = current.isAbsolute() && current.absoluteDir().exists()
                            ? current.absoluteFilePath()
                            : QDir::current().filePath(current.fileName());
  const QString path = services_.save_file_name(
      Label1->text(), start,
      QString::fromUtf8(ray_format(selected_format()).fileFilter.data()) + QStringLiteral(";;All files (*)"));
  window_->activateWindow();  // the keyboard comes back to the window after the dialog
  if (!path.isEmpty()) field->setText(QDir::toNativeSeparators(path));
}

}  // namespace lucidra::app
