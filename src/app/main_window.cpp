#include "app/main_window.h"

#include <QApplication>
#include <QActionGroup>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFile>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QBuffer>
#include <QSvgGenerator>
#include <QUrl>
#include <QLabel>
#include <QLayout>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/background_check.h"
#include "base/output_target.h"
#include "engine/input_guard.h"
#include "app/settings_model.h"
#include "app/background_run.h"
#include "app/desktop_services.h"
#include "photometry/import_files.h"
#include "photometry/photometric_import.h"
#include "app/far_field_dialog.h"
#include "app/gauge.h"
#include "app/photometric_dialog.h"
#include "app/photometric_source.h"
#include "app/radio_group.h"
#include "app/silent_abort.h"
#include "app/spin_edit.h"
#include "app/window_front_end.h"
#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "distributions/file_list.h"
#include "distributions/number_text.h"
#include "photometry/text_cursor.h"
#include "engine/config_file.h"
#include "engine/estimate.h"
#include "engine/generation_run.h"
#include "lucidra/version.h"

namespace lucidra::app {

QString to_qt(std::string_view bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string from_qt(const QString& text) { return text.toLocal8Bit().toStdString(); }

namespace {

const QString kFreewareNotice = QStringLiteral(
    "Lucidra LED " LUCIDRA_VERSION_SHORT " is freeware.\n"
    "You may use it and pass it on free of charge;\n"
    "it comes without any warranty.");

const QString kAboutText = QStringLiteral(
    "Lucidra LED " LUCIDRA_VERSION "\n"
    "LED type source file generator\n"
    "for TracePro and Zemax\n"
    "\n"
    "Uses the Sobol algorithm");

const QString kGaussianNotice = QStringLiteral(
    "Gaussian is not supported. If you want gaussian you can try <User defined>");

const QColor kCream(255, 251, 240);
const QColor kLegendColour(247, 247, 234);
const QColor kSeries1Colour(0, 128, 0);  // the form's green, 32768
const QColor kSeries2Colour(255, 0, 0);  // the form's red, 255

const QString kStopQuestion = QStringLiteral(
    "A ray file is being generated.\n\nStop the run and close Lucidra LED?\n"
    "The previous ray file stays as it was.");
const QString kDistributionFilter = QStringLiteral("Distribution files (*.txt);;All files (*)");
const QString kSettingsFilter = QStringLiteral("Lucidra settings (*.cfg);;All files (*)");
const QString kRecentKey = QStringLiteral("recentRayFiles");
const QString kChartSizeKey = QStringLiteral("window/chartShownSize");
// The format last chosen for each target, by its command-line name.
const QString kFormatKey = QStringLiteral("rayFileFormat/");
constexpr int kRecentCount = 6;
constexpr int kChartLeft = 408;   // the chart starts right of the settings column
constexpr int kChartBottomGap = 16;

constexpr OutputFormat kFormats[] = {OutputFormat::TracePro, OutputFormat::Zemax,
                                     OutputFormat::LightTools, OutputFormat::Asap};

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QFrame* make_panel(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour) {
  auto* panel = named(new QFrame(parent), name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(geometry);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, colour);
  panel->setPalette(palette);
  return panel;
}

QLabel* make_label(QWidget* parent, const char* name, const QString& text, int x, int y,
                   int width = -1) {
  auto* label = named(new QLabel(text, parent), name);
  label->move(x, y);
  label->adjustSize();
  if (width > 0) label->resize(width, label->height());
  return label;
}

QLineEdit* make_edit(QWidget* parent, const char* name, const QString& text,
                     const QRect& geometry) {
  auto* edit = named(new QLineEdit(text, parent), name);
  edit->setGeometry(geometry);
  return edit;
}

QRadioButton* make_radio(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* button = named(new QRadioButton(text, parent), name);
  button->move(x, y);
  button->adjustSize();
  return button;
}

QCheckBox* make_check(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* box = named(new QCheckBox(text, parent), name);
  box->move(x, y);
  box->adjustSize();
  return box;
}

SpinEdit* make_spin(QWidget* parent, const char* name, std::int32_t minimum,
                    std::int32_t maximum, std::int32_t increment, std::int32_t value,
                    const QRect& geometry) {
  auto* spin = named(new SpinEdit(minimum, maximum, increment, value, parent), name);
  spin->setGeometry(geometry);
  return spin;
}

// A text banner stands for the target program's logo.
QLabel* make_banner(QWidget* parent, const char* name, const QString& title,
                    const QString& subtitle, const QColor& colour) {
  auto* banner = named(new QLabel(parent), name);
  // The upper part of the banner's place: the format box sits below it.
  banner->setGeometry(16, 4, 217, 33);
  banner->setAlignment(Qt::AlignCenter);
  banner->setTextFormat(Qt::RichText);
  banner->setText(QStringLiteral("<span style=\"font-size:15px; font-weight:bold\">%1</span>"
                                 "<br><span style=\"font-size:9px\">%2</span>")
                      .arg(title, subtitle));
  banner->setAutoFillBackground(true);
  QPalette palette = banner->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(palette);
  return banner;
}

// Tab enters an exclusive group on its checked button, as it does in other
// desktop programs; the arrow keys move within the group. Only the checked
// button takes the focus by Tab, so the group is one stop in the tab chain.
void keep_tab_on_checked(const QList<QAbstractButton*>& buttons) {
  const auto settle = [buttons] {
    for (QAbstractButton* button : buttons) {
      button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
  };
  for (QAbstractButton* button : buttons) QObject::connect(button, &QAbstractButton::toggled, button, settle);
  settle();
}

bool is_photometric_drop(const QMimeData* data);

bool is_distribution_drop(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return false;
  const QUrl url = mime->urls().front();
  return url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive);
}

}  // namespace

TForm1::TForm1(DesktopServices& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      frontEnd_(std::make_unique<WindowFrontEnd>(*this)),
      decimalSeparator_(locale_decimal_separator()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Lucidra LED"));
  setAcceptDrops(true);  // photometric files dropped anywhere on the window
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  // The form was laid out for a narrow 11-pixel sans serif.
  QFont windowFont = font();
  windowFont.setPixelSize(11);
  windowFont.setStretch(QFont::Condensed);
  setFont(windowFont);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  run_ = std::make_unique<BackgroundRun>(*frontEnd_);
  check_ = std::make_unique<BackgroundCheck>();
  build_controls();
  build_menu();
  connect_handlers();
  fill_format_box(OutputFormat::Zemax);  // the initial target's formats
  format_chosen();
  set_tooltips();
  CSpinEdit3Change();  // the estimate for the initial number of rays
  move(249, 163);
  fit_to_content();
}

TForm1::~TForm1() = default;

void TForm1::build_controls() {
  auto* client = named(new QWidget(this), "ClientArea");
  setCentralWidget(client);
  Panel1 = make_panel(client, "Panel1", QRect(0, 0, kSettingsWidth, kClientHeight),
                      QPalette().color(QPalette::ToolTipBase));
  Panel1->setFrameStyle(QFrame::NoFrame);
  build_file_panel();
  build_target_panel();
  build_rays_panel();
  build_extent_panel();
  build_algorithm_panel();
  build_source_panel();
  build_photometric_panel();
  build_status_lines();
  build_chart();

  // The source mode lives in two boxes nobody sees; start-up settles it.
  CheckBox3 = make_check(Panel1, "CheckBox3", QStringLiteral("LED "), 300, 272);
  CheckBox3->hide();
  CheckBox4 = make_check(Panel1, "CheckBox4", QStringLiteral("ARC"), 350, 272);
  CheckBox4->setChecked(true);
  CheckBox4->hide();
  FileListBox1 = named(new QListWidget(Panel1), "FileListBox1");
  FileListBox1->hide();
}

void TForm1::build_file_panel() {
  Panel5 = make_panel(Panel1, "Panel5", QRect(1, 1, 402, 89), kCream);
  Label1 = make_label(Panel5, "Label1", QStringLiteral("Source File"), 8, 11);
  const QRect fileField(96, 8, 235, 21);
  // Ray files start in the working folder, named after their target and
  // format, so a first start writes where the user looks on any platform.
  Edit3 = make_edit(Panel5, "Edit3", to_qt(first_start_ray_file(OutputFormat::TracePro)), fileField);
  Edit4 = make_edit(Panel5, "Edit4", to_qt(first_start_ray_file(OutputFormat::Zemax)), fileField);
  Edit11 = make_edit(Panel5, "Edit11", QStringLiteral("c:\\sample.ray"), fileField);
  Edit5 = make_edit(Panel5, "Edit5", QStringLiteral("c:\\source.dis"), fileField);
  Edit3->hide();
  Edit11->hide();
  Edit5->hide();

  Label5 = make_label(Panel5, "Label5", QStringLiteral("Longitudial Distribution"), 8, 40, 126);
  ComboBoxEx1 = named(new QComboBox(Panel5), "ComboBoxEx1");
  ComboBoxEx1->setGeometry(136, 36, 195, 21);
  Label6 = make_label(Panel5, "Label6", QStringLiteral("Transversal Distribution"), 8, 64, 126);
  ComboBoxEx2 = named(new QComboBox(Panel5), "ComboBoxEx2");
  ComboBoxEx2->setGeometry(136, 60, 195, 21);
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Completing inside the field would read a file per keystroke; the
    // popup offers the names and reads one only when it is chosen.
    combo->completer()->setCompletionMode(QCompleter::PopupCompletion);
    combo->setAcceptDrops(true);
    combo->installEventFilter(this);
    combo->lineEdit()->installEventFilter(this);
  }
  build_browse_buttons();
}

void TForm1::build_browse_buttons() {
  const auto browse = [this](const char* name, int y) {
    auto* button = named(new QPushButton(QStringLiteral("Browse…"), Panel5), name);
    button->setGeometry(334, y, 62, 23);
    button->setAutoDefault(false);
    return button;
  };
  BrowseOutputButton = browse("BrowseOutputButton", 7);
  BrowseLongitudinalButton = browse("BrowseLongitudinalButton", 35);
  BrowseTransversalButton = browse("BrowseTransversalButton", 59);
}

void TForm1::build_target_panel() {
  Panel6 = make_panel(Panel1, "Panel6", QRect(1, 90, 402, 65), kCream);
  Image1 = make_banner(Panel6, "Image1", QStringLiteral("TracePro"),
                       QStringLiteral("ray source file"), QColor(0, 84, 147));
  Image2 = make_banner(Panel6, "Image2", QStringLiteral("ZEMAX"),
                       QStringLiteral("source DLL ray file"), QColor(150, 20, 30));
  Image3 = make_banner(Panel6, "Image3", QStringLiteral("LightTools"),
                       QStringLiteral("ray data source"), QColor(30, 110, 50));
  Image4 = make_banner(Panel6, "Image4", QStringLiteral("ASAP"),
                       QStringLiteral("distribution file (dis)"), QColor(90, 60, 130));
  Image1->hide();
  Image3->hide();
  Image4->hide();

  CGauge2 = named(new Gauge(Panel6), "CGauge2");
  CGauge2->setGeometry(8, 32, 225, 25);
  CGauge2->hide();
  Label21 = make_label(Panel6, "Label21", QString(), 11, 9, 220);

  RadioButton6 = make_radio(Panel6, "RadioButton6", QStringLiteral("ASAP (dis)"), 238, 3);
  RadioButton5 = make_radio(Panel6, "RadioButton5", QStringLiteral("LightTools"), 238, 18);
  RadioButton1 = make_radio(Panel6, "RadioButton1", QStringLiteral("TracePro"), 238, 33);
  RadioButton2 = make_radio(Panel6, "RadioButton2", QStringLiteral("Zemax"), 238, 48);
  RadioButton2->setChecked(true);

  FormatBox = named(new QComboBox(Panel6), "FormatBox");
  FormatBox->setGeometry(16, 39, 217, 22);

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
  keep_tab_on_checked({RadioButton6, RadioButton5, RadioButton1, RadioButton2});
}

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
  RadioGroup3 = named(new RadioGroup(QStringLiteral("Form of Source LED"),
                                     {QStringLiteral("plane placed in z=0"),
                                      QStringLiteral("ellipsoid centered at z=0"),
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
  CheckBox5 = make_check(Panel1, "CheckBox5", QStringLiteral("Emit only within +/- 90 degrees"),
                         197, 270);
  CheckBox5->setEnabled(false);
}

void TForm1::build_source_panel() {
  Panel9 = make_panel(Panel1, "Panel9", QRect(1, 292, 402, 94), kCream);
  RadioGroup1 = named(new RadioGroup(QStringLiteral("Plane shape"),
                                     {QStringLiteral("Rectangular"), QStringLiteral("Elliptical")},
                                     0, Panel9),
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
  for (QWidget* balance : {static_cast<QWidget*>(Label33), static_cast<QWidget*>(CSpinEdit6),
                           static_cast<QWidget*>(Edit13)}) {
    balance->hide();
  }

  // The shipped sizes are written the way the user's locale writes numbers.
  const QString defaultSize =
      QStringLiteral("0") + QChar::fromLatin1(decimalSeparator_) + QStringLiteral("00001");
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

// A photometric file as the source, under the source settings: the field
// (a name alone is in the working folder; empty uses the two distribution
// files), the flip, a one-line summary and the chart of its C-planes.
void TForm1::build_photometric_panel() {
  PhotometricPanel = make_panel(Panel1, "PhotometricPanel", QRect(1, 387, 402, 52), kCream);
  PhotometricLabel = make_label(PhotometricPanel, "PhotometricLabel", QStringLiteral("Photometric File"), 8, 8);
  PhotometricFileEdit = make_edit(PhotometricPanel, "PhotometricFileEdit", QString(), QRect(96, 4, 235, 21));
  PhotometricFileEdit->setPlaceholderText(QStringLiteral("none: the two distribution files"));
  PhotometricFileEdit->setClearButtonEnabled(true);
  PhotometricFileEdit->setAcceptDrops(true);
  PhotometricFileEdit->installEventFilter(this);
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

void TForm1::build_status_lines() {
  auto* fluxLine = named(new QWidget(Panel1), "FluxLine");
  fluxLine->setGeometry(8, 440, 390, 16);
  auto* fluxLayout = new QHBoxLayout(fluxLine);
  fluxLayout->setContentsMargins(0, 0, 0, 0);
  fluxLayout->setSpacing(6);
  Label20 = named(new QLabel(QStringLiteral("Obtained Source Flux,  Watt:"), fluxLine), "Label20");
  Label7 = named(new QLabel(fluxLine), "Label7");
  for (QLabel* label : {Label20, Label7}) {
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    fluxLayout->addWidget(label);
  }
  fluxLayout->addStretch();

  auto* estimateLine = named(new QWidget(Panel1), "EstimateLine");
  estimateLine->setGeometry(8, 456, 390, 16);
  auto* estimateLayout = new QHBoxLayout(estimateLine);
  estimateLayout->setContentsMargins(0, 0, 0, 0);
  estimateLayout->setSpacing(4);
  Label9 = named(new QLabel(QStringLiteral("Size of Source File"), estimateLine), "Label9");
  Label10 = named(new QLabel(estimateLine), "Label10");
  Label11 = named(new QLabel(QStringLiteral("Мб"), estimateLine), "Label11");
  Label12 = named(new QLabel(QStringLiteral("Generation Time ~ "), estimateLine), "Label12");
  Label13 = named(new QLabel(estimateLine), "Label13");
  Label14 = named(new QLabel(QStringLiteral("min"), estimateLine), "Label14");
  Label15 = named(new QLabel(estimateLine), "Label15");
  Label16 = named(new QLabel(QStringLiteral("sec"), estimateLine), "Label16");
  for (QLabel* label : {Label9, Label10, Label11, Label12, Label13, Label14, Label15, Label16}) {
    estimateLayout->addWidget(label);
    if (label == Label11) estimateLayout->addSpacing(12);
  }
  estimateLayout->addStretch();
}

void TForm1::build_chart() {
  auto* chart = new QChart();
  chart->setTitle(QString());
  chart->setBackgroundBrush(QPalette().color(QPalette::ToolTipBase));
  chart->setBackgroundRoundness(0);
  chart->setPlotAreaBackgroundVisible(false);
  chart->setMargins(QMargins(8, 30, 12, 4));
  // A one-line legend under the plot, naming each curve and its file.
  QLegend* legend = chart->legend();
  legend->setVisible(true);
  legend->setBackgroundVisible(true);
  legend->setBrush(kLegendColour);
  legend->setPen(QPen(Qt::gray));
  legend->setAlignment(Qt::AlignBottom);
  QFont legendFont = legend->font();
  legendFont.setPixelSize(10);
  legend->setFont(legendFont);
  legend->setMarkerShape(QLegend::MarkerShapeFromSeries);

  Series1 = named(new QLineSeries(), "Series1");
  Series2 = named(new QLineSeries(), "Series2");
  Series1->setName(QStringLiteral("Longitudial"));
  Series2->setName(QStringLiteral("Transversal"));
  Series1->setPen(QPen(kSeries1Colour, 2));
  Series2->setPen(QPen(kSeries2Colour, 2));
  axisX_ = new QValueAxis();
  axisY_ = new QValueAxis();
  axisX_->setObjectName(QStringLiteral("AxisX"));
  axisY_->setObjectName(QStringLiteral("AxisY"));
  axisY_->setTitleText(QStringLiteral("Relative intensity"));
  axisX_->setTitleText(QStringLiteral("Position, mm"));
  for (QValueAxis* axis : {axisX_, axisY_}) {
    QFont titleFont = axis->titleFont();
    titleFont.setPixelSize(11);
    titleFont.setBold(false);
    axis->setTitleFont(titleFont);
    axis->setLabelFormat(QStringLiteral("%g"));
  }
  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignLeft);
  for (QLineSeries* series : {Series1, Series2}) {
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    chart->addSeries(series);
    series->attachAxis(axisX_);
    series->attachAxis(axisY_);
  }
  rescale_chart();

  Chart1 = named(new QChartView(chart, centralWidget()), "Chart1");
  Chart1->setGeometry(kChartLeft, 0, kChartShownWidth - kChartLeft, kClientHeight - kChartBottomGap);
  Chart1->setRenderHint(QPainter::Antialiasing);
  Chart1->setFrameStyle(QFrame::NoFrame);
  Chart1->installEventFilter(this);
  Label35 = make_label(Chart1, "Label35", QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"),
                       96, 8, 340);
  Label35->setAlignment(Qt::AlignHCenter);
  // The units now live in the axis titles; the two labels only keep them.
  Label36 = make_label(Chart1, "Label36", QStringLiteral("%"), 8, 24);
  Label37 = make_label(Chart1, "Label37", QStringLiteral("mm"), 448, 376, 80);
  Label36->hide();
  Label37->hide();
  QFont captionFont = Label35->font();
  captionFont.setBold(true);
  Label35->setFont(captionFont);
  ChartReadout = named(new QLabel(Chart1), "ChartReadout");
  ChartReadout->setAlignment(Qt::AlignRight);
  ChartReadout->hide();
  layout_chart();
  Chart1->hide();
}

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
  QMenu* formatMenu = file->addMenu(QStringLiteral("Ray file format"));
  formatMenu->setObjectName(QStringLiteral("RayFileFormatMenu"));
  auto* formats = new QActionGroup(formatMenu);
  TextFormatAction = named(formatMenu->addAction(QStringLiteral("Text (the target's text format)")), "TextFormatAction");
  ZemaxBinaryAction = named(formatMenu->addAction(QStringLiteral("Zemax binary source file (.dat)")), "ZemaxBinaryAction");
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
  for (QLineEdit* edit : {Edit3, Edit4, Edit11, Edit5}) {
    tip(edit, "The ray file to write (replaced after confirmation); a name alone is in the working folder");
  }
  tip(BrowseOutputButton, "Choose the ray file to write, in any folder");
  tip(ComboBoxEx1, "The first distribution file (*.txt): angles in degrees (LED) or positions in mm (arc), "
                   "then relative intensities; read when chosen, on Enter or on leaving the field");
  tip(ComboBoxEx2, "The second distribution file (*.txt), read like the first");
  tip(BrowseLongitudinalButton, "Choose the first distribution file, in any folder");
  tip(BrowseTransversalButton, "Choose the second distribution file, in any folder");
  tip(RadioButton1, "Write a TracePro ray source file");
  tip(RadioButton2, "Write a Zemax source DLL ray file");
  tip(RadioButton5, "LightTools: binary ray data (.ray) or text");
  tip(RadioButton6, "ASAP binary distribution file (.dis), experimental: if your ASAP refuses it, write TM-25 or "
                    "Zemax binary and convert it with your ray tracer's tools");
  tip(FormatBox, "The ray file's format for the chosen target");
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
  on(CheckBox2, &QCheckBox::toggled, &TForm1::CheckBox2Click);
  for (QAction* action : {EqualFluxSampling1, WeightedSampling1, LegacySampling1}) {
    connect(action, &QAction::toggled, this, [this] { SamplingClick(); });
  }
  SamplingClick();
  on(CheckBox3, &QCheckBox::toggled, &TForm1::CheckBox3Click);
  on(CheckBox4, &QCheckBox::toggled, &TForm1::CheckBox4Click);
  on(CheckBox6, &QCheckBox::toggled, &TForm1::CheckBox6Click);
  on(RadioGroup1, &RadioGroup::itemSelected, &TForm1::RadioGroup1Click);
  on(RadioGroup2, &RadioGroup::itemSelected, &TForm1::RadioGroup2Click);
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
      if (f.target == target && !f.binary) return choose_format(f.id);
    }
  });
  connect(ZemaxBinaryAction, &QAction::triggered, this, [this] { choose_format(OutputFormat::ZemaxBinary); });
  connect(Tm25Action, &QAction::triggered, this, [this] { choose_format(OutputFormat::Tm25); });
  connect(FormatBox, &QComboBox::activated, this, [this] { guarded([this] { format_chosen(); }); });
  on(CSpinEdit6, &SpinEdit::changed, &TForm1::CSpinEdit6Change);
  // The NA and the distribution names: a text set from code (or chosen from
  // the list) is taken at once; typed text when it is committed, so that
  // half a word never raises an error.
  connect(Edit6, &QLineEdit::textChanged, this, [this] {
    if (!Edit6->isModified()) guarded([this] { Edit6Change(); });
  });
  connect(Edit6, &QLineEdit::editingFinished, this, [this] { commit_na(); });
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    connect(combo, &QComboBox::editTextChanged, this, [this, combo] {
      if (combo->lineEdit()->isModified()) return;
      guarded([this, combo] { combo == ComboBoxEx1 ? ComboBoxEx1Change() : ComboBoxEx2Change(); });
    });
    connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, combo] { commit_distribution(combo); });
  }
  // Enter commits the field first; see eventFilter.
  Edit6->installEventFilter(this);

  on(BrowseOutputButton, &QPushButton::clicked, &TForm1::BrowseOutputClick);
  connect(BrowseLongitudinalButton, &QPushButton::clicked, this,
          [this] { guarded([this] { BrowseDistributionClick(ComboBoxEx1); }); });
  connect(BrowseTransversalButton, &QPushButton::clicked, this,
          [this] { guarded([this] { BrowseDistributionClick(ComboBoxEx2); }); });
  on(SaveSettingsAction, &QAction::triggered, &TForm1::SaveSettingsClick);
  on(OpenSettingsAction, &QAction::triggered, &TForm1::OpenSettingsClick);
  on(SaveSettingsAsAction, &QAction::triggered, &TForm1::SaveSettingsAsClick);
  on(ExportChartAction, &QAction::triggered, &TForm1::ExportChartClick);
  on(ImportPhotometricAction, &QAction::triggered, &TForm1::ImportPhotometricClick);
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
  connect(run_.get(), &BackgroundRun::finished, this, &TForm1::run_finished);
  connect(check_.get(), &BackgroundCheck::finished, this, &TForm1::check_finished);
  for (QLineSeries* series : {Series1, Series2}) {
    connect(series, &QLineSeries::hovered, this, &TForm1::show_readout);
  }
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

bool TForm1::commit_na() {
  if (!Edit6->isModified()) return true;
  Edit6->setModified(false);
  return guarded([this] { Edit6Change(); });
}

bool TForm1::commit_photometric() {
  if (!PhotometricFileEdit->isModified()) return true;
  PhotometricFileEdit->setModified(false);
  const QString text = PhotometricFileEdit->text().trimmed();
  return guarded([this, text] { use_photometric_source(text, true); });
}

bool TForm1::commit_distribution(QComboBox* combo) {
  QLineEdit* edit = combo->lineEdit();
  if (!edit->isModified()) return true;
  edit->setModified(false);
  return guarded([this, combo] { combo == ComboBoxEx1 ? ComboBoxEx1Change() : ComboBoxEx2Change(); });
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate() {
  services_.show_message(kFreewareNotice);
  fill_recent_menu();
  // A faulty configuration reports itself and changes nothing; the lists,
  // the folder watcher and the LED mode are set up whatever it holds.
  const bool firstStart = !QFileInfo::exists(QString::fromLatin1(kConfigFileName));
  if (firstStart) apply_settings(first_start_settings(settings_model(), list_distribution_files(".")));
  else guarded([this] { apply_configuration(kConfigFileName); });
  guarded([this] { fill_distribution_lists(); });
  watch_working_folder();
  CheckBox3->setChecked(true);  // LED mode
  if (firstStart) offer_first_start_save();
}

void TForm1::offer_first_start_save() {
  const QString text =
      QStringLiteral("There is no settings file %1 in %2, so the window starts with its defaults: ray files "
                     "in this folder named after their target and format.\n\nSave these settings as %1 now?")
          .arg(QString::fromLatin1(kConfigFileName), QDir::toNativeSeparators(QDir::currentPath()));
  const DialogButton answer = services_.message_box(QString::fromLatin1(kApplicationTitle), text,
                                                    message_flags::YesNo | message_flags::IconInformation);
  if (answer == DialogButton::Yes) guarded([this] { SaveSettingsClick(); });
}

void TForm1::stop_for_signal() {
  // No question: the system asked the program to end. A run stops and
  // removes its temporary file before the program goes.
  if (check_->running()) check_->stop_and_wait();
  if (run_->running()) run_->stop_and_wait();
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
  return model;
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

// ------------------------------------------------------- settings mapping

OutputFormat TForm1::selected_format() const {
  const QVariant chosen = FormatBox->currentData();
  if (chosen.isValid()) return static_cast<OutputFormat>(chosen.toInt());
  if (RadioButton1->isChecked()) return OutputFormat::TracePro;
  if (RadioButton5->isChecked()) return OutputFormat::LightTools;
  if (RadioButton6->isChecked()) return OutputFormat::Asap;
  return OutputFormat::Zemax;
}

QLineEdit* TForm1::output_path_field(OutputFormat format) const {
  switch (ray_format(format).target) {
    case OutputFormat::TracePro: return Edit3;
    case OutputFormat::LightTools: return Edit11;
    case OutputFormat::Asap: return Edit5;
    default: return Edit4;
  }
}

QLabel* TForm1::format_picture(OutputFormat format) const {
  switch (ray_format(format).target) {
    case OutputFormat::TracePro: return Image1;
    case OutputFormat::LightTools: return Image3;
    case OutputFormat::Asap: return Image4;
    default: return Image2;
  }
}

void TForm1::fill_format_box(OutputFormat target) {
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

void TForm1::choose_format(OutputFormat format) {
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

void TForm1::format_chosen() {
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
    if (!typed || services_.message_box(QString::fromLatin1(kApplicationTitle),
                                        QStringLiteral("Change the ray file's name to %1 for the %2 format?")
                                            .arg(renamed, QString::fromLatin1(format.displayName.data(),
                                                                              static_cast<qsizetype>(format.displayName.size()))),
                                        message_flags::YesNo | message_flags::IconInformation) == DialogButton::Yes) {
      field->setText(renamed);
      field->setModified(false);
    }
  }
  (format.binary ? (format.id == OutputFormat::Tm25 ? Tm25Action : ZemaxBinaryAction) : TextFormatAction)
      ->setChecked(true);
  show_format_picture(format.id);
  CSpinEdit3Change();
}

void TForm1::show_format_banner(OutputFormat format) {
  // The banner names the target in large letters and the format under it.
  const RayFormat& f = ray_format(format);
  static const char* const kTitles[] = {"TracePro", "ZEMAX", "LightTools", "ASAP"};
  QString subtitle = QString::fromUtf8(f.displayName.data(), static_cast<qsizetype>(f.displayName.size())) +
                     QStringLiteral(" (") + QString::fromUtf8(f.defaultName.substr(f.defaultName.rfind('.')).data()) +
                     QStringLiteral(")");
  if (f.experimental) subtitle += QStringLiteral(", experimental");
  format_picture(format)->setText(QStringLiteral("<span style=\"font-size:15px; font-weight:bold\">%1</span>"
                                                 "<br><span style=\"font-size:9px\">%2</span>")
                                      .arg(QString::fromLatin1(kTitles[static_cast<int>(f.target)]), subtitle));
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
  settings.randomAlgorithm =
      RadioButton3->isChecked() ? RandomAlgorithm::Sobol : RandomAlgorithm::Uniform;
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
  for (auto [combo, name] : {std::pair{ComboBoxEx1, &settings.longitudinalFile},
                             std::pair{ComboBoxEx2, &settings.transversalFile}}) {
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
  (settings.randomAlgorithm == RandomAlgorithm::Sobol ? RadioButton3 : RadioButton4)
      ->setChecked(true);
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
}

// ------------------------------------------------------------- generation

void TForm1::BitBtn1Click() {
  if (run_->running() || check_->running()) return;
  if (!run_->start()) return;  // refused, declined, or a text that is not a number
  set_run_controls_enabled(false);
}

bool TForm1::run_in_progress() const { return run_->running(); }

bool TForm1::check_in_progress() const { return check_->running(); }

void TForm1::cancel_run() {
  if (run_->running()) {
    run_->request_stop();
  } else if (check_->running()) {
    check_->request_stop();
  } else {
    return;
  }
  CancelRunButton->setEnabled(false);  // once is enough; the work stops at its next poll
}

// During a run every setting stays as the run read it, and nothing starts a
// second run; Cancel takes the Plot button's place.
void TForm1::set_run_controls_enabled(bool enabled) {
  for (QWidget* panel : {static_cast<QWidget*>(Panel5), static_cast<QWidget*>(Panel2),
                         static_cast<QWidget*>(Panel3), static_cast<QWidget*>(Panel7),
                         static_cast<QWidget*>(Panel9), static_cast<QWidget*>(CheckBox5),
                         static_cast<QWidget*>(PhotometricPanel)}) {
    panel->setEnabled(enabled);
  }
  for (QWidget* control : {static_cast<QWidget*>(RadioButton1), static_cast<QWidget*>(RadioButton2),
                           static_cast<QWidget*>(RadioButton5), static_cast<QWidget*>(RadioButton6),
                           static_cast<QWidget*>(BitBtn1)}) {
    control->setEnabled(enabled);
  }
  for (QAction* action : {Generate1, LegacySampling1, EqualFluxSampling1, WeightedSampling1, Notyfy1,
                          OpenSettingsAction, ImportPhotometricAction,
                          TextFormatAction, ZemaxBinaryAction, Tm25Action}) {
    action->setEnabled(enabled);
  }
  FormatBox->setEnabled(enabled && FormatBox->count() > 1);
  RecentMenu->setEnabled(enabled && !RecentMenu->isEmpty());
  if (!enabled) Check1->setEnabled(false);
  Button1->setVisible(enabled);
  CancelRunButton->setEnabled(true);
  CancelRunButton->setVisible(!enabled);
}

void TForm1::run_finished() {
  const RunReport& report = run_->report();
  set_run_controls_enabled(true);
  if (report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) {
    lastRun_ = run_->prepared()->settings;
    remember_ray_file(to_qt(lastRun_->outputPath));
  }
  Check1->setEnabled(lastRun_.has_value() && lastRun_->ledMode);
  emit runFinished();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (check_->running()) {
    // Nothing is lost by stopping a check: no question.
    check_->stop_and_wait();
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
    show_format_picture(selected_format());
  }
  QMainWindow::closeEvent(event);
}

void TForm1::Check1Click() {
  if (!lastRun_ || run_->running() || check_->running()) return;
  // The tables are read here, so that a table gone bad is reported at once.
  auto law = std::make_shared<const IntensityLaw>(*lastRun_);
  if (!check_->start(lastRun_->outputPath, std::move(law))) return;
  // The file must stay as it is while it is read: the settings and GENERATE
  // are locked as during a run, and Cancel (Esc) stops the check.
  set_run_controls_enabled(false);
  frontEnd_->set_status_text("Checking " + lastRun_->outputPath + "…");
}

void TForm1::check_finished() {
  set_run_controls_enabled(true);
  Check1->setEnabled(lastRun_.has_value() && lastRun_->ledMode);
  frontEnd_->set_status_text("");
  if (check_->result()) {
    auto* dialog = new FarFieldDialog(*check_->result(), this, lastRun_ ? lastRun_->fluxUnit : FluxUnit::Watt);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  } else if (!check_->error().empty()) {
    services_.show_error(error_box_text(to_qt(check_->error())));
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
  fill_format_box(format);
  for (OutputFormat each : kFormats) output_path_field(each)->setVisible(each == format);
  format_chosen();
}

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

void TForm1::CheckBox2Click() { CSpinEdit5->setEnabled(CheckBox2->isChecked()); }

void TForm1::SamplingClick() {
  // Version 3.5 knew whole watts, used only with "Consider Sorce Flux"; the
  // other samplings always carry the flux given, in watts or lumens.
  const bool legacy = LegacySampling1->isChecked();
  for (QWidget* control : {static_cast<QWidget*>(CSpinEdit5), static_cast<QWidget*>(Label8),
                           static_cast<QWidget*>(CheckBox2)}) {
    control->setVisible(legacy);
  }
  SourceFluxEdit->setVisible(!legacy);
  FluxUnitBox->setVisible(!legacy);
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
    for (QWidget* control : {static_cast<QWidget*>(RadioGroup1), static_cast<QWidget*>(Edit10),
                             static_cast<QWidget*>(Edit9), static_cast<QWidget*>(Edit6),
                             static_cast<QWidget*>(CheckBox6)}) {
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

void TForm1::CSpinEdit6Change() {
  Edit13->setText(QString::number(100 - std::int64_t{CSpinEdit6->value()}));
}

void TForm1::RadioGroup1Click() {
  const bool elliptical = RadioGroup1->itemIndex() == static_cast<int>(PlaneShape::Elliptical);
  Label32->setText(elliptical ? QStringLiteral("X Diameter") : QStringLiteral("X Side"));
  Label25->setText(elliptical ? QStringLiteral("Y Diameter") : QStringLiteral("Y Side"));
}

void TForm1::RadioGroup2Click() {
  switch (static_cast<AngularType>(RadioGroup2->itemIndex())) {
    case AngularType::Lambertian:
    case AngularType::Uniform:
      Edit6->setEnabled(true);
      break;
    case AngularType::UserDefined:
      Edit6->setEnabled(false);
      break;
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

void TForm1::Button1Click() {
  const bool show = Chart1->isHidden();
  set_chart_visible(show);
  Button1->setText(show ? QStringLiteral("Plot <<") : QStringLiteral("Plot >>"));
  refresh_distribution_plot(true);
}

void TForm1::Notyfy1Click() { Button1->click(); }

void TForm1::refresh_distribution_plot(bool tailPoints) {
  clear_series(ChartSeries::Longitudinal);
  clear_series(ChartSeries::Transversal);
  plottedNames_[0] = ComboBoxEx1->currentText();
  plottedNames_[1] = ComboBoxEx2->currentText();
  update_legend();
  // The tail closes a measured curve down to zero, which only means
  // something for angular distributions.
  const bool tails = tailPoints && CheckBox3->isChecked();
  if (photometric_ != nullptr) {
    // The distribution files are not used: the chart shows the source's
    // C0-C180 and C90-C270 planes, as a run draws them there.
    const QString name = to_qt(photometric_->path);
    plottedNames_[0] = name + QStringLiteral(" C0-C180");
    plottedNames_[1] = name + QStringLiteral(" C90-C270");
    update_legend();
    for (const auto& [series, table] : {std::pair{ChartSeries::Longitudinal, &photometric_->header.longitudinal},
                                        std::pair{ChartSeries::Transversal, &photometric_->header.transversal}}) {
      for (std::size_t k = 0; k < table->angleDeg.size(); ++k) {
        add_series_point(series, table->angleDeg[k], table->candela[k]);
      }
    }
    return;
  }
  const auto plot = [&](QComboBox* combo, ChartSeries series) {
    const AngularDistribution distribution =
        read_distribution_file(from_qt(combo->currentText()), decimalSeparator_);
    for (const PlotPoint& point : distribution_plot_points(distribution, tails)) {
      add_series_point(series, point.x, point.y);
    }
  };
  plot(ComboBoxEx1, ChartSeries::Longitudinal);
  plot(ComboBoxEx2, ChartSeries::Transversal);
}

std::vector<PlotPoint>& TForm1::series_model(ChartSeries series) {
  return series == ChartSeries::Longitudinal ? series1Points_ : series2Points_;
}

const std::vector<PlotPoint>& TForm1::series_points(ChartSeries series) const {
  return series == ChartSeries::Longitudinal ? series1Points_ : series2Points_;
}

QLineSeries* TForm1::series_widget(ChartSeries series) const {
  return series == ChartSeries::Longitudinal ? Series1 : Series2;
}

void TForm1::clear_series(ChartSeries series) {
  series_model(series).clear();
  series_widget(series)->clear();
  rescale_chart();
}

void TForm1::add_series_point(ChartSeries series, double x, double y) {
  std::vector<PlotPoint>& model = series_model(series);
  insert_plot_point(model, PlotPoint{x, y});
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(model.size()));
  for (const PlotPoint& point : model) points.append(QPointF(point.x, point.y));
  series_widget(series)->replace(points);
  rescale_chart();
}

void TForm1::rescale_chart() {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool any = false;
  for (const auto* model : {&series1Points_, &series2Points_}) {
    for (const PlotPoint& point : *model) {
      if (!any) {
        minX = maxX = point.x;
        minY = maxY = point.y;
        any = true;
      }
      minX = std::min(minX, point.x);
      maxX = std::max(maxX, point.x);
      minY = std::min(minY, point.y);
      maxY = std::max(maxY, point.y);
    }
  }
  minY = std::min(minY, 0.0);
  if (maxX <= minX) maxX = minX + 1;
  if (maxY <= minY) maxY = minY + 1;
  axisX_->setRange(minX, maxX);
  axisY_->setRange(minY, maxY);
  // Ticks at round steps (1, 2 or 5 times a power of ten) that cover the data.
  axisX_->applyNiceNumbers();
  axisY_->applyNiceNumbers();
}

// Each curve is named by its series and the file it shows; the series'
// name is what the legend draws.
void TForm1::update_legend() {
  int index = 0;
  for (QLineSeries* series : {Series1, Series2}) {
    const QString& base = seriesNames_[index];
    const QString file = QFileInfo(plottedNames_[index++]).fileName();
    series->setName(file.isEmpty() ? base : base + QStringLiteral(": ") + file);
  }
}

void TForm1::show_readout(const QPointF& point, bool state) {
  if (!state) {
    ChartReadout->hide();
    return;
  }
  const QChar separator = QChar::fromLatin1(decimalSeparator_);
  const auto number = [separator](double value) {
    return QString::number(value, 'f', 1).replace(QChar('.'), separator);
  };
  const QString where = CheckBox3->isChecked()
                            ? QStringLiteral("angle %1°").arg(number(point.x()))
                            : QStringLiteral("position %1 mm").arg(number(point.x()));
  ChartReadout->setText(QStringLiteral("%1, intensity %2").arg(where, number(point.y())));
  ChartReadout->adjustSize();
  layout_chart();
  ChartReadout->show();
}

// The caption centred over the chart, the read-out at its top right.
void TForm1::layout_chart() {
  Label35->setGeometry(0, 8, Chart1->width(), Label35->sizeHint().height());
  ChartReadout->move(Chart1->width() - ChartReadout->width() - 12, 10 + Label35->height());
}

void TForm1::set_chart_visible(bool visible) {
  Chart1->setVisible(visible);
  fit_to_content();
}

void TForm1::show_format_picture(OutputFormat format) {
  show_format_banner(format);
  for (OutputFormat each : kFormats) format_picture(each)->setVisible(format_picture(each) == format_picture(format));
}

void TForm1::hide_format_pictures() {
  for (OutputFormat each : kFormats) format_picture(each)->hide();
}

// The window is as wide as what it shows: the settings column alone, or the
// column and the chart.
// With the chart shown the window can grow, and the chart grows with it; the
// size is remembered for the next time the chart is shown.
void TForm1::fit_to_content() {
  const int menuHeight = menuBar()->sizeHint().height();
  if (Chart1->isHidden()) {
    centralWidget()->setFixedSize(kSettingsWidth, kClientHeight);
    setFixedSize(kSettingsWidth, kClientHeight + menuHeight);
    return;
  }
  const QSize minimum(kChartShownWidth, kClientHeight + menuHeight);
  // The remembered size comes from the user's settings, which may hold
  // anything: it is kept within the screen.
  QSize remembered = QSettings().value(kChartSizeKey).toSize().expandedTo(minimum);
  if (const QScreen* display = screen(); display != nullptr) {
    remembered = remembered.boundedTo(display->availableGeometry().size().expandedTo(minimum));
  }
  centralWidget()->setMinimumSize(kChartShownWidth, kClientHeight);
  centralWidget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setMinimumSize(minimum);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  resize(remembered);
  centralWidget()->resize(remembered.width(), remembered.height() - menuHeight);
  Chart1->setGeometry(kChartLeft, 0, centralWidget()->width() - kChartLeft,
                      centralWidget()->height() - kChartBottomGap);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (Chart1->isHidden()) return;
  Chart1->setGeometry(kChartLeft, 0, centralWidget()->width() - kChartLeft,
                      centralWidget()->height() - kChartBottomGap);
  if (isVisible()) QSettings().setValue(kChartSizeKey, size());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Chart1 && event->type() == QEvent::Resize) {
    layout_chart();
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
      guarded([this, path] { use_photometric_source(path, true); });
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
    default:
      return false;
  }
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
  if (!path.isEmpty()) use_distribution_file(combo, path);
}

void TForm1::BrowseOutputClick() {
  QLineEdit* field = output_path_field(selected_format());
  const QFileInfo current(field->text());
  const QString start = current.isAbsolute() && current.absoluteDir().exists()
                            ? current.absoluteFilePath()
                            : QDir::current().filePath(current.fileName());
  const QString path =
      services_.save_file_name(Label1->text(), start,
                               QString::fromUtf8(ray_format(selected_format()).fileFilter.data()) +
                                   QStringLiteral(";;All files (*)"));
  if (!path.isEmpty()) field->setText(QDir::toNativeSeparators(path));
}

void TForm1::ImportPhotometricClick() {
  const QString path = services_.open_file_name(QStringLiteral("Import photometric file"), QDir::currentPath(),
                                                QStringLiteral("Photometric files (*.ies *.IES *.ldt *.LDT);;All files (*)"));
  if (!path.isEmpty()) import_photometric(path);
}

void TForm1::import_photometric(const QString& path) {
  const std::string source = from_qt(path);
  const PhotometricImport imported = import_photometric_file(source);
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
  if (!path.isEmpty()) use_photometric_source(path, true);
}

void TForm1::use_photometric_source(const QString& path, bool showPlanes) {
  const QString current = photometric_ != nullptr ? to_qt(photometric_->path) : QString();
  const auto show_field = [this](const QString& text) {
    const QSignalBlocker blocker(PhotometricFileEdit);
    PhotometricFileEdit->setText(text);
    PhotometricFileEdit->setModified(false);
  };
  if (path.isEmpty()) {
    if (photometric_ != nullptr) {
      // Back to the two files, with the flux the user had given them.
      photometric_.reset();
      SourceFluxEdit->setValue(fluxBeforePhotometric_);
      FluxUnitBox->setCurrentIndex(fluxUnitBeforePhotometric_);
    }
    show_field(QString());
    FlipSolidBox->setChecked(false);
  } else {
    std::unique_ptr<PhotometricSource> source;
    try {
      source = std::make_unique<PhotometricSource>(read_photometric_source(from_qt(distribution_name(path))));
    } catch (...) {
      show_field(current);  // the source stays as it was
      throw;
    }
    if (photometric_ == nullptr) {
      fluxBeforePhotometric_ = SourceFluxEdit->value();
      fluxUnitBeforePhotometric_ = FluxUnitBox->currentIndex();
    }
    photometric_ = std::move(source);
    show_field(to_qt(photometric_->path));
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

namespace {

bool is_photometric_drop(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return false;
  const QString name = data->urls().front().toLocalFile().toLower();
  return name.endsWith(QStringLiteral(".ies")) || name.endsWith(QStringLiteral(".ldt"));
}

}  // namespace

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

void TForm1::save_settings(const QString& fileName) {
  write_settings_file(from_qt(fileName), settings_model());
}

void TForm1::open_settings(const QString& fileName) {
  apply_configuration(from_qt(fileName));
}

void TForm1::SaveSettingsClick() { save_settings(QDir::current().filePath(QString::fromLatin1(kConfigFileName))); }

void TForm1::SaveSettingsAsClick() {
  const QString path = services_.save_file_name(QStringLiteral("Save settings as"),
                                                QDir::current().filePath(QString::fromLatin1(kConfigFileName)),
                                                kSettingsFilter);
  activateWindow();
  if (path.isEmpty()) return;
  save_settings(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".cfg") : path);
}

void TForm1::OpenSettingsClick() {
  const QString path = services_.open_file_name(QStringLiteral("Open settings"), QDir::currentPath(), kSettingsFilter);
  activateWindow();
  if (!path.isEmpty()) open_settings(path);
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
            [this, path] { output_path_field(selected_format())->setText(QDir::toNativeSeparators(path)); });
  }
  RecentMenu->setEnabled(!RecentMenu->isEmpty() && !run_->running());
}

void TForm1::ExportChartClick() {
  const QString path = services_.save_file_name(QStringLiteral("Export chart"), QDir::currentPath(),
                                                QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)"));
  if (!path.isEmpty()) export_chart(path);
}

void TForm1::export_chart(const QString& fileName) {
  // A chart never shown still has its size, so a hidden chart exports too.
  // The picture is made in memory and written beside the file, so a failure
  // keeps the previous picture.
  const QSize size = Chart1->size();
  QBuffer picture;
  picture.open(QIODevice::WriteOnly);
  if (fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QSvgGenerator generator;
    generator.setOutputDevice(&picture);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(Label35->text());
    QPainter painter;
    if (!painter.begin(&generator)) throw UserError("Cannot write file " + from_qt(fileName));
    Chart1->render(&painter);
    painter.end();
  } else if (!Chart1->grab().save(&picture, "PNG")) {
    throw UserError("Cannot write file " + from_qt(fileName));
  }
  const QByteArray& bytes = picture.data();
  if (const auto failure = write_whole_file(from_qt(fileName), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
    throw UserError((failure->created ? "Cannot write file " : "Cannot create file ") + from_qt(fileName));
  }
}

}  // namespace lucidra::app
