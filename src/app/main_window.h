#pragma once
// The main window, built from panels (the ray file and target, the run
// options, the emitter, the angular law, the spectrum, the chart, the
// summary), each owning its controls and its part of the SettingsModel.
// The window keeps the names users and support staff know from the form
// (Edit3, CSpinEdit3, RadioGroup2, ...) as references into the panels, and
// the handlers of changes that reach across them. Settings reach the run
// through settings_model(), the one place where controls become values,
// and engine_settings().

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/chart_panel.h"
#include "app/elided_label.h"
#include "app/emitter_panel.h"
#include "app/law_panel.h"
#include "app/run_front_end.h"
#include "app/run_options_panel.h"
#include "app/settings_model.h"
#include "app/summary_panel.h"
#include "app/target_panel.h"
#include "distributions/distribution_plot.h"
#include "engine/far_field.h"
#include "engine/settings.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QActionGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QChartView;
class QFileSystemWatcher;
class QLineSeries;
class QMenu;
class QValueAxis;

namespace lucidra {
struct PhotometricImport;
}

namespace lucidra::app {

class AsyncJob;
class PhotometricDialog;
struct PhotometricSource;
class DesktopServices;
class Gauge;
class RadioGroup;
class SpinEdit;
class SpectrumChooser;
class WindowFrontEnd;

class TForm1 : public QMainWindow {
  Q_OBJECT

 private:
  // Declared first: the window's parts are built with these, and the form's
  // names below refer into the parts.
  DesktopServices& services_;
  char decimalSeparator_;
  // The window's parts, each owning its controls (children of the window).
  OutputPanel* const output_ = new OutputPanel(this, services_);
  RunOptionsPanel* const options_ = new RunOptionsPanel(this);
  EmitterPanel* const emitter_ = new EmitterPanel(this);
  LawPanel* const law_ = new LawPanel(this, services_, decimalSeparator_);
  SummaryPanel* const summary_ = new SummaryPanel(this, services_);
  ChartPanel* const chart_ = new ChartPanel(this, decimalSeparator_);

 public:
  // Client area with the chart hidden and shown.
  static constexpr int kSettingsWidth = 405;
  static constexpr int kChartShownWidth = 953;
  static constexpr int kClientHeight = 493;
  // From the first showing to the rate's measurement, when none is stored.
  static constexpr int kCalibrationDelayMs = 1000;

  // Builds every control with its default. `services` answers the message
  // boxes and must outlive the window.
  explicit TForm1(DesktopServices& services, QWidget* parent = nullptr);
  ~TForm1() override;

  // Creation: the freeware notice, the configuration file, the distribution
  // lists and LED mode. A failure is shown and skips the remaining steps.
  void FormCreate();
  // The program is asked to end (SIGTERM, SIGINT, SIGHUP): a run or a check
  // stops without a question and leaves no temporary file.
  void stop_for_signal();

  // Every value the controls show (spin controls reset a text that is not a
  // whole number, as any read does), and the reverse: the controls set from
  // `model`, running their handlers as the user's own changes would.
  SettingsModel settings_model() const;
  void show_settings(const SettingsModel& model);
  // The engine's settings of a run, built from settings_model(); the typed
  // numbers stay texts until the run converts them (setting_texts()).
  GenerationSettings settings_from_controls();
  SettingTexts setting_texts() const;
  // The controls set from an engine's settings and texts.
  void controls_from_settings(const GenerationSettings& settings, const SettingTexts& texts);
  // The settings file the window reads and saves: never a ray file.
  static std::string settings_file_path();

  OutputFormat selected_format() const { return output_->selected_format(); }
  OutputPanel* output() const { return output_; }
  // The sampling chosen under File > Sampling.
  SamplingMode sampling_mode() const;
  char decimal_separator() const { return decimalSeparator_; }
  DesktopServices& services() { return services_; }

  // Chart operations shared by the plot handlers and the run.
  void set_chart_visible(bool visible);
  void clear_series(ChartSeries series);
  void add_series_point(ChartSeries series, double x, double y);
  const std::vector<PlotPoint>& series_points(ChartSeries series) const;

  // A run works on its own thread from GENERATE until its final notice has
  // been shown; meanwhile GENERATE and every setting are disabled.
  bool run_in_progress() const;
  // Cancel (and Escape) during a run: the run stops at its next poll and
  // leaves the previous ray file as it was. During a check (File > Check,
  // which reads the file on its own thread, the settings locked as for a
  // run) it stops the check.
  void cancel_run();
  bool check_in_progress() const;
  // File > Import photometric file, and a photometric source chosen, read
  // the file on a worker.
  bool import_in_progress() const;
  // The rate calibrations this window started (each format at most once).
  int rate_calibrations() const { return rateCalibrations_; }
  bool calibration_in_progress() const;

  // The settings as the configuration file holds them: File > Save settings
  // writes them into the working folder's lucidra.cfg, File > Open settings
  // reads another file as start-up reads lucidra.cfg.
  void save_settings(const QString& fileName);
  void open_settings(const QString& fileName);
  // The ray files last written, newest first (File > Recent).
  QStringList recent_ray_files() const;
  // The chart as a PNG picture, or SVG drawing when the name ends in ".svg".
  void export_chart(const QString& fileName);
  // The user guide shipped with the program, or an empty text.
  static QString user_guide_path();
  // The distribution name a file chosen anywhere is used by: its name alone
  // inside the working folder, its full path elsewhere.
  static QString distribution_name(const QString& path);

  // Handlers.
  void BitBtn1Click();
  void Generate1Click();
  void Check1Click();
  void Button1Click();
  void Notyfy1Click();
  void Exit1Click();
  void N1Click();
  void About1Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton5Click();
  void RadioButton6Click();
  void RadioButton4Click();
  // Shows the flux controls of the chosen sampling.
  void SamplingClick();
  void CheckBox3Click();
  void CheckBox4Click();
  void CSpinEdit3Change();
  void show_estimate();
  // The first field outside its range, named with its value and range.
  QString field_problem() const;
  // Shows field_problem() in an error box; false when there was one.
  bool commit_fields();
  void show_run_speed(std::int64_t gaugePosition, std::int64_t itemsDone);
  void ComboBoxEx1Change();
  void ComboBoxEx2Change();
  void BrowseDistributionClick(QComboBox* combo);
  void SaveSettingsClick();
  void OpenSettingsClick();
  void SaveSettingsAsClick();
  void ExportChartClick();
  void ImportPhotometricClick();
  // The photometric source: an IES or EULUMDAT file whose whole solid the
  // run draws from instead of the two distribution files (which are then
  // disabled). Its flux (lm) becomes the source flux, which the user may
  // change. An empty path returns to the two files and the flux given
  // before. `showPlanes` opens the C-plane chart. Throws for a file that
  // cannot be read; the source stays as it was.
  void use_photometric_source(const QString& path, bool showPlanes = false);
  bool photometric_source_active() const { return photometric_ != nullptr; }
  // The same for the user's choice (Browse, Enter, a drop on the field): the
  // file is read on a worker (import_in_progress()), the settings locked,
  // and an error is shown when it ends.
  void choose_photometric_source(const QString& path, bool showPlanes);
  void BrowsePhotometricClick();
  void FlipSolidClick();
  void PhotometricPlanesClick();
  // Writes the two planes of an IES or EULUMDAT file as distribution files
  // in the working folder, selects them, shows the chart and the summary.
  void import_photometric(const QString& path);
  // The import's second half, on the window's thread: the question, the
  // tables written, chosen and drawn, the summary.
  void finish_import(const std::string& source, const PhotometricImport& imported);
  // The first time an estimate needs a rate (the window settled after its
  // first showing, or a format chosen) and none is stored, it is measured.
  void measure_rate_if_unknown();
  // Starts measuring `format`'s rate when the window is shown and idle and
  // the format was not tried yet; true when it started.
  bool calibrate_rate(OutputFormat format);
  // File > Spectrum…: the spectrum chooser's window.
  void SpectrumActionClick();

  // The form's frames, and its controls by the form's names: references into
  // the panels that own them.
  QFrame* Panel1 = nullptr;
  QFrame* Panel2 = nullptr;
  QFrame* Panel3 = nullptr;
  QFrame* Panel5 = nullptr;
  QFrame* Panel6 = nullptr;
  QFrame* Panel7 = nullptr;
  QFrame* Panel9 = nullptr;

  QLabel*& Label1 = output_->Label1;     // "Source File"
  QLineEdit*& Edit3 = output_->Edit3;    // TracePro ray file
  QLineEdit*& Edit4 = output_->Edit4;    // Zemax ray file
  QLineEdit*& Edit11 = output_->Edit11;  // LightTools ray file
  QLineEdit*& Edit5 = output_->Edit5;    // ASAP ray file
  QLabel*& Label5 = law_->Label5;
  QComboBox*& ComboBoxEx1 = law_->ComboBoxEx1;
  QLabel*& Label6 = law_->Label6;
  QComboBox*& ComboBoxEx2 = law_->ComboBoxEx2;
  QListWidget*& FileListBox1 = law_->FileListBox1;  // hidden "*.txt" list

  QLabel*& Image1 = output_->Image1;  // TracePro banner
  QLabel*& Image2 = output_->Image2;  // Zemax banner
  QLabel*& Image3 = output_->Image3;  // LightTools banner
  QLabel*& Image4 = output_->Image4;  // ASAP banner
  Gauge* CGauge2 = nullptr;
  QLabel* Label21 = nullptr;                            // run status
  QRadioButton*& RadioButton6 = output_->RadioButton6;  // "ASAP (dis)"
  QRadioButton*& RadioButton5 = output_->RadioButton5;  // "LightTools"
  QRadioButton*& RadioButton1 = output_->RadioButton1;  // "TracePro"
  QRadioButton*& RadioButton2 = output_->RadioButton2;  // "Zemax"
  QPushButton* BitBtn1 = nullptr;                       // "GENERATE"
  QPushButton* Button1 = nullptr;                       // "Plot >>"

  QLabel*& Label3 = options_->Label3;  // "Number of Rays"
  SpinEdit*& CSpinEdit3 = options_->CSpinEdit3;
  QLabel*& Label4 = options_->Label4;  // "Source Flux"
  SpinEdit*& CSpinEdit5 = options_->CSpinEdit5;
  QLabel*& Label8 = options_->Label8;  // "Watt"
  // The equal-flux and weighted samplings' flux: any positive number, in
  // watts or lumens (legacy sampling keeps CSpinEdit5, whole watts).
  QDoubleSpinBox*& SourceFluxEdit = options_->SourceFluxEdit;
  QComboBox*& FluxUnitBox = options_->FluxUnitBox;
  QCheckBox*& CheckBox2 = options_->CheckBox2;  // "Consider Sorce Flux"

  QLabel*& Label17 = emitter_->Label17;  // "Angular Extent About Z Axis"
  SpinEdit*& CSpinEdit4 = emitter_->CSpinEdit4;
  QLabel*& Label18 = emitter_->Label18;              // "degree"
  RadioGroup*& RadioGroup3 = emitter_->RadioGroup3;  // "Form of Source LED"

  QLabel*& Label19 = options_->Label19;                  // "Random Algorithm:"
  QRadioButton*& RadioButton3 = options_->RadioButton3;  // Sobol
  QRadioButton*& RadioButton4 = options_->RadioButton4;  // Uniform
  QCheckBox*& CheckBox5 = options_->CheckBox5;           // "Emit only within +/- 90 degrees"

  RadioGroup*& RadioGroup1 = emitter_->RadioGroup1;  // "Plane shape"
  RadioGroup*& RadioGroup2 = law_->RadioGroup2;      // "Angular Type"
  QCheckBox*& CheckBox6 = emitter_->CheckBox6;       // "Double side"
  QLabel*& Label33 = emitter_->Label33;              // "Balance"
  SpinEdit*& CSpinEdit6 = emitter_->CSpinEdit6;
  QLineEdit*& Edit13 = emitter_->Edit13;             // balance complement
  QLabel*& Label25 = emitter_->Label25;              // beside the Y size
  QLineEdit*& Edit9 = emitter_->Edit9;               // Y size
  QLabel*& Label26 = emitter_->Label26;              // "mm"
  QLabel*& Label27 = law_->Label27;                  // "NA"
  QLineEdit*& Edit6 = law_->Edit6;                   // NA
  QLabel*& Label29 = law_->Label29;                  // second "NA", hidden
  QLineEdit*& Edit8 = law_->Edit8;                   // second NA, hidden
  QLabel*& Label32 = emitter_->Label32;              // beside the X size
  QLineEdit*& Edit10 = emitter_->Edit10;             // X size
  QLabel*& Label28 = emitter_->Label28;              // "mm"
  QCheckBox*& CheckBox1 = options_->CheckBox1;       // "Notify end"
  QLabel*& Label2 = law_->Label2;                    // "Angular shape:"
  QRadioButton*& RadioButton7 = law_->RadioButton7;  // "Radial"
  QRadioButton*& RadioButton8 = law_->RadioButton8;  // "Square"

  QCheckBox*& CheckBox3 = emitter_->CheckBox3;  // "LED ", never shown
  QCheckBox*& CheckBox4 = emitter_->CheckBox4;  // "ARC", never shown

  QLabel*& Label20 = summary_->Label20;  // "Obtained Source Flux,  Watt:"
  QLabel*& Label7 = summary_->Label7;    // obtained flux
  QLabel*& Label9 = summary_->Label9;    // "Size of Source File"
  QLabel*& Label10 = summary_->Label10;  // size, MB
  QLabel*& Label11 = summary_->Label11;  // "Мб"
  QLabel*& Label12 = summary_->Label12;  // "Generation Time ~ "
  QLabel*& Label13 = summary_->Label13;  // minutes
  QLabel*& Label14 = summary_->Label14;  // "min"
  QLabel*& Label15 = summary_->Label15;  // seconds
  QLabel*& Label16 = summary_->Label16;  // "sec"

  QChartView*& Chart1 = chart_->Chart1;
  QLineSeries*& Series1 = chart_->Series1;
  QLineSeries*& Series2 = chart_->Series2;
  QLabel*& Label35 = chart_->Label35;  // chart caption
  QLabel*& Label36 = chart_->Label36;  // intensity unit
  QLabel*& Label37 = chart_->Label37;  // abscissa unit
  // The measured estimate before a run, its speed and time left during one.
  QLabel*& EstimateLabel = summary_->EstimateLabel;
  // After a successful run: the rays and the file written, and its folder.
  ElidedLabel*& RunSummaryLabel = summary_->RunSummaryLabel;
  QPushButton*& OpenFolderButton = summary_->OpenFolderButton;
  // The same run's emitter bounds and share of rays going backwards.
  QLabel*& RunExtentLabel = summary_->RunExtentLabel;

  QAction* Generate1 = nullptr;
  QAction* Check1 = nullptr;           // far-field check of the last ray file written
  QAction* LegacySampling1 = nullptr;  // checkable: version 3.5's sampling
  // File > Sampling: equal flux (the default), weighted, or legacy, one of them.
  QAction* EqualFluxSampling1 = nullptr;
  QAction* WeightedSampling1 = nullptr;
  QActionGroup* SamplingGroup = nullptr;
  QAction* Notyfy1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* N1 = nullptr;
  QAction* About1 = nullptr;

  // Controls added since the form: descriptive names.
  QPushButton* CancelRunButton = nullptr;  // takes Plot's place during a run
  QPushButton*& BrowseLongitudinalButton = law_->BrowseLongitudinalButton;
  QPushButton*& BrowseTransversalButton = law_->BrowseTransversalButton;
  QLabel*& ChartReadout = chart_->ChartReadout;  // the point under the mouse
  QAction* OpenSettingsAction = nullptr;
  QAction* SaveSettingsAction = nullptr;
  QAction* SaveSettingsAsAction = nullptr;
  QAction* ExportChartAction = nullptr;
  QMenu* RecentMenu = nullptr;
  QAction* ImportPhotometricAction = nullptr;
  // File > Ray file format: text as the target chosen above, the Zemax
  // binary source file (with Zemax), or a TM-25 ray file.
  QComboBox*& FormatBox = output_->FormatBox;
  QAction* TextFormatAction = nullptr;
  QAction* ZemaxBinaryAction = nullptr;
  QAction* Tm25Action = nullptr;
  // The photometric source panel under the source settings.
  QFrame*& PhotometricPanel = law_->PhotometricPanel;
  QLabel*& PhotometricLabel = law_->PhotometricLabel;
  QLineEdit*& PhotometricFileEdit = law_->PhotometricFileEdit;  // empty: the two distribution files
  QPushButton*& BrowsePhotometricButton = law_->BrowsePhotometricButton;
  QCheckBox*& FlipSolidBox = law_->FlipSolidBox;                          // "Flip (gamma 180 to +z)"
  QLabel*& PhotometricBrief = law_->PhotometricBrief;                     // flux, peak, beam angle
  QPushButton*& PhotometricPlanesButton = law_->PhotometricPlanesButton;  // "C-planes…"
  // The source's spectrum (File > Spectrum…): a tool window with the
  // choice, its file or line, its plot and what it makes of the flux.
  QAction* SpectrumAction = nullptr;
  SpectrumChooser* spectrum() const { return spectrum_; }

 signals:
  // A run started from the window has ended and the window is idle again.
  void runFinished();
  // A check started from File > Check has ended (its dialog or error shown,
  // or stopped) and the window is idle again.
  void checkFinished();

 protected:
  // The GENERATE button is the window's default button: Enter that the
  // focused control leaves unused presses it.
  void keyPressEvent(QKeyEvent* event) override;
  // Closing during a run asks whether to stop it.
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Enter in the typed fields, drops of distribution and photometric files
  // on their fields, and the client area's size, which the chart follows.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A photometric file (.ies, .ldt) dropped on the window is imported.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void build_controls();
  void build_file_panel();
  void build_target_panel();
  void build_rays_panel();
  void build_extent_panel();
  void build_algorithm_panel();
  void build_source_panel();
  void build_menu();
  void connect_handlers();

  // Runs a handler to its end: an error is shown in the error box, a silent
  // abort shows nothing. Nothing escapes into Qt's event dispatch.
  // Returns false when an error was shown.
  bool guarded(const std::function<void()>& handler);

  void set_tooltips();
  void apply_configuration(const std::string& fileName);
  void offer_first_start_save();
  void watch_working_folder();
  void set_run_controls_enabled(bool enabled);
  void run_finished();
  void check_finished();
  void remember_ray_file(const QString& path);
  void fill_recent_menu();
  // Committing a typed entry (Enter, leaving the field): the NA's validation
  // and the distribution files' reading run then, not per keystroke.
  // Both return false when an error was shown.
  bool commit_na();
  bool commit_distribution(QComboBox* combo);
  bool commit_photometric();
  void show_photometric_field(const QString& text);
  // Makes `source` (nothing: the two distribution files) the run's source.
  void adopt_photometric_source(std::unique_ptr<PhotometricSource> source, bool showPlanes);
  void show_photometric_planes();
  void use_distribution_file(QComboBox* combo, const QString& path);
  void fill_distribution_lists();
  void select_target(OutputFormat format);
  // The chosen format took effect (OutputPanel::formatChosen): the menu's
  // format ticked, the estimate and the rate follow it.
  void format_taken(OutputFormat format);
  void refresh_distribution_plot(bool tailPoints);
  void fit_to_content();
  // The chart fills the client area beside the settings column.
  void place_chart();
  // The room the screen leaves for the window's inside (its frame taken off).
  QSize screen_room() const;

  QWidget* client_ = nullptr;  // the controls' fixed area, inside the scroll area
  std::unique_ptr<WindowFrontEnd> frontEnd_;
  std::unique_ptr<AsyncJob> run_;  // after frontEnd_, which its calls use
  std::unique_ptr<AsyncJob> check_;
  std::unique_ptr<AsyncJob> import_;
  std::unique_ptr<AsyncJob> calibration_;
  int rateCalibrations_ = 0;
  bool shownBefore_ = false;
  std::vector<OutputFormat> calibrationTried_;  // measured or failed this session
  // The run under way or last ended: its converted settings, what the
  // engine reports while it works, and its report.
  std::optional<PreparedRun> prepared_;
  std::optional<WindowRunObserver> display_;
  RunReport runReport_;
  QElapsedTimer runClock_;
  double runSeconds_ = 0;  // the last run's, without the notices after it
  // The distribution files the last photometric import wrote (in cd).
  QStringList candelaTables_;
  // The last check's outcome: the comparison, or the reason there is none
  // (empty when it was stopped).
  std::optional<FarFieldResult> checkResult_;
  std::string checkError_;
  QString checkedFile_;  // the file the last check read, for its dialog's title
  FluxUnit checkedUnit_ = FluxUnit::Watt;
  QFileSystemWatcher* folderWatcher_ = nullptr;
  std::optional<GenerationSettings> lastRun_;       // the settings of the last file written
  std::unique_ptr<PhotometricSource> photometric_;  // the file read, while it is the source
  double photometricFlux_ = 0;                      // the flux field's value the file set (lm)
  double fluxBeforePhotometric_ = 0;
  int fluxUnitBeforePhotometric_ = 0;
  QPointer<PhotometricDialog> photometricDialog_;
  SpectrumChooser* spectrum_ = nullptr;  // File > Spectrum…'s window, owned by the window
};

// Converts between the window's texts and the core's byte strings (file
// names and numbers travel in the system's 8-bit encoding).
QString to_qt(std::string_view bytes);
std::string from_qt(const QString& text);

}  // namespace lucidra::app
