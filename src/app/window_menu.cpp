// The menu, the tooltips and the wiring of every control to its handler;
// Help and About.

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
#include "photometry/text_cursor.h"

namespace lucidra::app {

using namespace window_parts;

void TForm1::build_menu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  Generate1 = named(file->addAction(QStringLiteral("Generate")), "Generate1");
  Generate1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  Check1 = named(file->addAction(QStringLiteral("Check")), "Check1");
  Check1->setEnabled(false);
  QMenu* sampling = file->addMenu(QStringLiteral("Sampling"));
  sampling->setObjectName(QStringLiteral("SamplingMenu"));
  SamplingGroup = new QActionGroup(this);
  EqualFluxSampling1 = named(sampling->addAction(QStringLiteral("Equal flux per ray")), "EqualFluxSampling1");
  WeightedSampling1 =
      named(sampling->addAction(QStringLiteral("Weighted: the law in each ray's flux")), "WeightedSampling1");
  LegacySampling1 = named(sampling->addAction(QStringLiteral("Legacy sampling (version 3.5)")), "LegacySampling1");
  for (QAction* action : {EqualFluxSampling1, WeightedSampling1, LegacySampling1}) {
    action->setCheckable(true);
    SamplingGroup->addAction(action);
  }
  EqualFluxSampling1->setChecked(true);
  Notyfy1 = named(file->addAction(QStringLiteral("Plot")), "Notyfy1");
  file->addSeparator();
  OpenSettingsAction = named(file->addAction(QStringLiteral("Open settings…")), "OpenSettingsAction");
  SaveSettingsAction = named(file->addAction(QStringLiteral("Save settings")), "SaveSettingsAction");
  SaveSettingsAction->setShortcut(QKeySequence::Save);
  SaveSettingsAsAction = named(file->addAction(QStringLiteral("Save settings as…")), "SaveSettingsAsAction");
  SaveSettingsAsAction->setShortcut(QKeySequence::SaveAs);
  ExportChartAction = named(file->addAction(QStringLiteral("Export chart…")), "ExportChartAction");
  ImportPhotometricAction =
      named(file->addAction(QStringLiteral("Import photometric file…")), "ImportPhotometricAction");
  SpectrumAction = named(file->addAction(QStringLiteral("Spectrum…")), "SpectrumAction");
  QMenu* formatMenu = file->addMenu(QStringLiteral("Ray file format"));
  formatMenu->setObjectName(QStringLiteral("RayFileFormatMenu"));
  auto* formats = new QActionGroup(formatMenu);
  TextFormatAction =
      named(formatMenu->addAction(QStringLiteral("Text (the target's text format)")), "TextFormatAction");
  ZemaxBinaryAction =
      named(formatMenu->addAction(QStringLiteral("Zemax binary source file (.dat)")), "ZemaxBinaryAction");
  Tm25Action = named(formatMenu->addAction(QStringLiteral("TM-25 ray file (.TM25RAY)")), "Tm25Action");
  for (QAction* action : {TextFormatAction, ZemaxBinaryAction, Tm25Action}) {
    action->setCheckable(true);
    formats->addAction(action);
  }
  TextFormatAction->setChecked(true);
  RecentMenu = file->addMenu(QStringLiteral("Recent"));
  RecentMenu->setObjectName(QStringLiteral("RecentMenu"));
  file->addSeparator();
  Exit1 = named(file->addAction(QStringLiteral("Exit")), "Exit1");
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  N1 = named(help->addAction(QStringLiteral("Help")), "N1");
  N1->setShortcut(QKeySequence(Qt::Key_F1));
  About1 = named(help->addAction(QStringLiteral("About")), "About1");
  for (QAction* action : {Generate1, SaveSettingsAction, Exit1, N1}) {
    action->setShortcutContext(Qt::WindowShortcut);
  }
}

void TForm1::set_tooltips() {
  const auto tip = [](QWidget* widget, const char* text) { widget->setToolTip(QString::fromUtf8(text)); };
  tip(ComboBoxEx1,
      "The first distribution file (*.txt): angles in degrees (LED) or positions in mm (arc), "
      "then relative intensities; read when chosen, on Enter or on leaving the field");
  tip(ComboBoxEx2, "The second distribution file (*.txt), read like the first");
  tip(BrowseLongitudinalButton, "Choose the first distribution file, in any folder");
  tip(BrowseTransversalButton, "Choose the second distribution file, in any folder");
  tip(RadioButton1, "Write a TracePro ray source file");
  tip(RadioButton2, "Write a Zemax source DLL ray file");
  tip(RadioButton5, "LightTools: binary ray data (.ray) or text");
  tip(RadioButton6,
      "ASAP binary distribution file (.dis), experimental: if your ASAP refuses it, write TM-25 or "
      "Zemax binary and convert it with your ray tracer's tools");
  tip(BitBtn1, "Generate the ray file (Ctrl+G, or Enter)");
  tip(Button1, "Show or hide the chart of the two distributions");
  tip(CancelRunButton, "Stop the run (Esc); the previous ray file stays as it was");
  tip(CSpinEdit3, "Number of rays to write: 1 to 1000000000");
  tip(CSpinEdit5, "Total source flux, watt: 5 to 50000");
  tip(SourceFluxEdit, "Total flux of the rays, any positive number, in the unit beside it");
  tip(FluxUnitBox, "W: radiant flux; lm: luminous flux");
  tip(CheckBox2, "Scale the rays' flux so that together they carry the source flux");
  tip(CSpinEdit4, "Angular extent about the Z axis, degrees: 0 to 360");
  tip(RadioButton3, "Quasi-random Sobol points: even coverage with fewer rays");
  tip(RadioButton4, "Pseudo-random uniform numbers");
  tip(CheckBox5, "Emit only within +/- 90 degrees of the axis");
  tip(RadioGroup1, "Shape of the emitting plane: rectangular or elliptical");
  tip(RadioGroup2, "Angular law of the emitter; User Defined follows the distribution files");
  tip(RadioGroup3, "Form of the source LED");
  tip(CheckBox6, "Emit from both sides of the plane");
  tip(CSpinEdit6, "Share of the rays emitted forward, percent: 0 to 100");
  tip(Edit13, "Share of the rays emitted backward, percent (100 minus the balance)");
  tip(Edit9, "Y size of the emitter, mm: greater than 0");
  tip(Edit10, "X size of the emitter, mm: greater than 0");
  tip(Edit6, "Numerical aperture (Lambertian and Uniform): 0 to 1");
  tip(CheckBox1, "Beep when the run ends");
  tip(RadioButton7, "Radial angular shape");
  tip(RadioButton8, "Square angular shape");
  tip(PhotometricFileEdit,
      "An IES (.ies) or EULUMDAT (.ldt) file whose whole photometric solid the run draws "
      "from instead of the two distribution files; empty: the distribution files");
  tip(BrowsePhotometricButton, "Choose an IES or EULUMDAT file as the source");
  tip(FlipSolidBox, "Turn the solid over: gamma 180 becomes +z, for an uplight's beam along +z");
  tip(PhotometricPlanesButton, "Show the C-planes C0 to C135 of the photometric solid and the file's summary");
}

void TForm1::connect_handlers() {
  const auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
    connect(sender, signal, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
  };
  on(BitBtn1, &QPushButton::clicked, &TForm1::BitBtn1Click);
  on(Generate1, &QAction::triggered, &TForm1::Generate1Click);
  on(Check1, &QAction::triggered, &TForm1::Check1Click);
  on(Button1, &QPushButton::clicked, &TForm1::Button1Click);
  on(Notyfy1, &QAction::triggered, &TForm1::Notyfy1Click);
  on(Exit1, &QAction::triggered, &TForm1::Exit1Click);
  on(N1, &QAction::triggered, &TForm1::N1Click);
  on(About1, &QAction::triggered, &TForm1::About1Click);
  // A radio button's handler runs when it becomes selected.
  on(RadioButton1, &QRadioButton::toggled, &TForm1::RadioButton1Click);
  on(RadioButton2, &QRadioButton::toggled, &TForm1::RadioButton2Click);
  on(RadioButton5, &QRadioButton::toggled, &TForm1::RadioButton5Click);
  on(RadioButton6, &QRadioButton::toggled, &TForm1::RadioButton6Click);
  on(RadioButton4, &QRadioButton::toggled, &TForm1::RadioButton4Click);
  // Check boxes: every real change of state, by the user or from code.
  connect(CheckBox2, &QCheckBox::toggled, options_, &RunOptionsPanel::CheckBox2Click);
  for (QAction* action : {EqualFluxSampling1, WeightedSampling1, LegacySampling1}) {
    connect(action, &QAction::toggled, this, [this] { SamplingClick(); });
  }
  SamplingClick();
  on(CheckBox3, &QCheckBox::toggled, &TForm1::CheckBox3Click);
  on(CheckBox4, &QCheckBox::toggled, &TForm1::CheckBox4Click);
  connect(CheckBox6, &QCheckBox::toggled, emitter_, &EmitterPanel::CheckBox6Click);
  connect(RadioGroup1, &RadioGroup::itemSelected, emitter_, &EmitterPanel::RadioGroup1Click);
  connect(RadioGroup2, &RadioGroup::itemSelected, law_, &LawPanel::RadioGroup2Click);
  // Spin controls: every real change, typed or set from code.
  on(CSpinEdit3, &SpinEdit::changed, &TForm1::CSpinEdit3Change);
  // A binary format's file size differs from the text's: the estimate
  // follows the chosen target and format as well.
  for (QRadioButton* target : {RadioButton1, RadioButton2, RadioButton5, RadioButton6}) {
    connect(target, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) CSpinEdit3Change();
    });
  }
  // The menu is a short way to the format box: text for the target, or a
  // Zemax binary format (with the Zemax target).
  connect(TextFormatAction, &QAction::triggered, this, [this] {
    const OutputFormat target = ray_format(selected_format()).target;
    for (const RayFormat& f : ray_formats()) {
      if (f.target == target && !f.binary) return output_->choose_format(f.id);
    }
  });
  connect(ZemaxBinaryAction, &QAction::triggered, this, [this] { output_->choose_format(OutputFormat::ZemaxBinary); });
  connect(Tm25Action, &QAction::triggered, this, [this] { output_->choose_format(OutputFormat::Tm25); });
  connect(FormatBox, &QComboBox::activated, this, [this] { guarded([this] { output_->format_chosen(); }); });
  connect(output_, &OutputPanel::formatChosen, this, &TForm1::format_taken);
  connect(CSpinEdit6, &SpinEdit::changed, emitter_, &EmitterPanel::CSpinEdit6Change);
  // The NA and the distribution names: a text set from code (or chosen from
  // the list) is taken at once; typed text when it is committed, so that
  // half a word never raises an error.
  connect(Edit6, &QLineEdit::textChanged, this, [this] {
    if (!Edit6->isModified()) guarded([this] { law_->Edit6Change(); });
  });
  connect(Edit6, &QLineEdit::editingFinished, this, [this] { commit_na(); });
  for (QLineEdit* size : {Edit9, Edit10}) {
    connect(size, &QLineEdit::editingFinished, this, [this, size] {
      // Only a change is checked, so leaving a bad field untouched does not
      // raise the same box again.
      if (size->isModified()) {
        size->setModified(false);
        commit_fields();
      }
    });
  }
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    connect(combo, &QComboBox::editTextChanged, this, [this, combo] {
      if (combo->lineEdit()->isModified()) return;
      guarded([this, combo] { combo == ComboBoxEx1 ? ComboBoxEx1Change() : ComboBoxEx2Change(); });
    });
    connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, combo] { commit_distribution(combo); });
  }
  // Enter commits the field first; see eventFilter.
  Edit6->installEventFilter(this);

  connect(BrowseLongitudinalButton, &QPushButton::clicked, this,
          [this] { guarded([this] { BrowseDistributionClick(ComboBoxEx1); }); });
  connect(BrowseTransversalButton, &QPushButton::clicked, this,
          [this] { guarded([this] { BrowseDistributionClick(ComboBoxEx2); }); });
  on(SaveSettingsAction, &QAction::triggered, &TForm1::SaveSettingsClick);
  on(OpenSettingsAction, &QAction::triggered, &TForm1::OpenSettingsClick);
  on(SaveSettingsAsAction, &QAction::triggered, &TForm1::SaveSettingsAsClick);
  on(ExportChartAction, &QAction::triggered, &TForm1::ExportChartClick);
  on(ImportPhotometricAction, &QAction::triggered, &TForm1::ImportPhotometricClick);
  on(SpectrumAction, &QAction::triggered, &TForm1::SpectrumActionClick);
  // A wavelength makes every record longer: the size shown follows the choice.
  connect(spectrum_, &SpectrumChooser::modeChanged, this, &TForm1::show_estimate);
  // The spectrum's summary converts the flux field's value: it follows the field.
  connect(SourceFluxEdit, &QDoubleSpinBox::valueChanged, spectrum_, &SpectrumChooser::show_summary);
  connect(FluxUnitBox, &QComboBox::currentIndexChanged, spectrum_, &SpectrumChooser::show_summary);
  on(BrowsePhotometricButton, &QPushButton::clicked, &TForm1::BrowsePhotometricClick);
  on(FlipSolidBox, &QCheckBox::toggled, &TForm1::FlipSolidClick);
  on(PhotometricPlanesButton, &QPushButton::clicked, &TForm1::PhotometricPlanesClick);
  // A name set from code is taken at once, a typed one when it is
  // committed (Enter, leaving the field); emptied (the field's clear
  // button), the two distribution files are the source again at once.
  connect(PhotometricFileEdit, &QLineEdit::editingFinished, this, [this] { commit_photometric(); });
  connect(PhotometricFileEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty() || !PhotometricFileEdit->isModified()) {
      PhotometricFileEdit->setModified(false);
      guarded([this, text] { use_photometric_source(text); });
    }
  });
  connect(CancelRunButton, &QPushButton::clicked, this, &TForm1::cancel_run);
  connect(run_.get(), &AsyncJob::finished, this, &TForm1::run_finished);
  connect(check_.get(), &AsyncJob::finished, this, &TForm1::check_finished);
  connect(calibration_.get(), &AsyncJob::finished, this, [this] { show_estimate(); });
}

// ------------------------------------------------------------------ menu

void TForm1::Exit1Click() { close(); }

// The guide ships beside the program (installed into the documentation
// folder, or found in the source tree of a build).
QString TForm1::user_guide_path() {
  const QString programDir = QCoreApplication::applicationDirPath();
  QStringList candidates{programDir + QStringLiteral("/user-guide.html"),
                         programDir + QStringLiteral("/../share/doc/lucidra/user-guide.html"),
                         programDir + QStringLiteral("/docs/user-guide.html")};
#ifdef LUCIDRA_SOURCE_DIR
  candidates << QStringLiteral(LUCIDRA_SOURCE_DIR "/docs/user-guide.html");
#endif
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).absoluteFilePath();
  }
  return {};
}

void TForm1::N1Click() {
  const QString guide = user_guide_path();
  if (guide.isEmpty()) {
    throw UserError("The user guide (user-guide.html) is not installed beside the program");
  }
  if (!services_.open_url(QUrl::fromLocalFile(guide))) {
    throw UserError("No program could open the user guide " + from_qt(guide));
  }
}

void TForm1::About1Click() { services_.show_message(kAboutText); }

// ------------------------------------------------------------ interlocks

void TForm1::select_target(OutputFormat format) {
  // Version 3.5 forced the source flux on for LightTools (and off for the
  // others); legacy sampling keeps that, the other modes leave it to the
  // user.
  if (LegacySampling1->isChecked()) {
    const bool lightTools = format == OutputFormat::LightTools;
    CheckBox2->setChecked(lightTools);
    CheckBox2->setEnabled(!lightTools);
  } else {
    CheckBox2->setEnabled(true);
  }
  output_->show_target(format);
  output_->format_chosen();
}

}  // namespace lucidra::app
