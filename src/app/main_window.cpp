#include "app/main_window.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
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

#include "app/desktop_services.h"
#include "app/far_field_dialog.h"
#include "app/gauge.h"
#include "app/radio_group.h"
#include "app/silent_abort.h"
#include "app/spin_edit.h"
#include "app/window_front_end.h"
#include "distributions/distribution_file.h"
#include "distributions/file_list.h"
#include "distributions/number_text.h"
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
  banner->setGeometry(16, 11, 217, 49);
  banner->setAlignment(Qt::AlignCenter);
  banner->setTextFormat(Qt::RichText);
  banner->setText(QStringLiteral("<span style=\"font-size:20px; font-weight:bold\">%1</span>"
                                 "<br><span style=\"font-size:10px\">%2</span>")
                      .arg(title, subtitle));
  banner->setAutoFillBackground(true);
  QPalette palette = banner->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(palette);
  return banner;
}

}  // namespace

TForm1::TForm1(DesktopServices& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      frontEnd_(std::make_unique<WindowFrontEnd>(*this)),
      decimalSeparator_(locale_decimal_separator()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Lucidra LED"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  // The form was laid out for a narrow 11-pixel sans serif.
  QFont windowFont = font();
  windowFont.setPixelSize(11);
  windowFont.setStretch(QFont::Condensed);
  setFont(windowFont);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  build_controls();
  build_menu();
  connect_handlers();
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
  const QRect fileField(96, 8, 289, 21);
  Edit3 = make_edit(Panel5, "Edit3", QStringLiteral("C:\\ray1.txt"), fileField);
  Edit4 = make_edit(Panel5, "Edit4", QStringLiteral("D:\\Program files\\ZEMAX\\Objects\\ray.dat"),
                    fileField);
  Edit11 = make_edit(Panel5, "Edit11", QStringLiteral("c:\\sample.ray"), fileField);
  Edit5 = make_edit(Panel5, "Edit5", QStringLiteral("c:\\source.dis"), fileField);
  Edit3->hide();
  Edit11->hide();
  Edit5->hide();

  Label5 = make_label(Panel5, "Label5", QStringLiteral("Longitudial Distribution"), 8, 40, 126);
  ComboBoxEx1 = named(new QComboBox(Panel5), "ComboBoxEx1");
  ComboBoxEx1->setGeometry(136, 36, 249, 21);
  Label6 = make_label(Panel5, "Label6", QStringLiteral("Transversal Distribution"), 8, 64, 126);
  ComboBoxEx2 = named(new QComboBox(Panel5), "ComboBoxEx2");
  ComboBoxEx2->setGeometry(136, 60, 249, 21);
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
  }
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
}

void TForm1::build_status_lines() {
  auto* fluxLine = named(new QWidget(Panel1), "FluxLine");
  fluxLine->setGeometry(8, 388, 390, 16);
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
  estimateLine->setGeometry(8, 404, 390, 16);
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
  chart->setMargins(QMargins(24, 34, 12, 22));
  // The legend sits in a row under the caption, leaving the plot its width.
  QLegend* legend = chart->legend();
  legend->setVisible(true);
  legend->setBackgroundVisible(true);
  legend->setBrush(kLegendColour);
  legend->setPen(QPen(Qt::gray));
  legend->setAlignment(Qt::AlignTop);

  Series1 = named(new QLineSeries(), "Series1");
  Series2 = named(new QLineSeries(), "Series2");
  Series1->setName(QStringLiteral("Longitudial"));
  Series2->setName(QStringLiteral("Transversal"));
  Series1->setPen(QPen(kSeries1Colour, 2));
  Series2->setPen(QPen(kSeries2Colour, 2));
  axisX_ = new QValueAxis();
  axisY_ = new QValueAxis();
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
  Chart1->setGeometry(408, 0, 545, 409);
  Chart1->setRenderHint(QPainter::Antialiasing);
  Chart1->setFrameStyle(QFrame::NoFrame);
  Label35 = make_label(Chart1, "Label35", QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"),
                       96, 16, 340);
  Label36 = make_label(Chart1, "Label36", QStringLiteral("%"), 8, 24);
  Label37 = make_label(Chart1, "Label37", QStringLiteral("mm"), 448, 376, 80);
  QFont captionFont = Label35->font();
  captionFont.setBold(true);
  Label35->setFont(captionFont);
  Chart1->hide();
}

void TForm1::build_menu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("File1"));
  Generate1 = named(file->addAction(QStringLiteral("Generate")), "Generate1");
  Check1 = named(file->addAction(QStringLiteral("Check")), "Check1");
  Check1->setEnabled(false);
  LegacySampling1 = named(file->addAction(QStringLiteral("Legacy sampling (version 3.5)")), "LegacySampling1");
  LegacySampling1->setCheckable(true);
  LegacySampling1->setChecked(false);
  Notyfy1 = named(file->addAction(QStringLiteral("Plot")), "Notyfy1");
  Exit1 = named(file->addAction(QStringLiteral("Exit")), "Exit1");
  QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("Help1"));
  N1 = named(help->addAction(QStringLiteral("Help")), "N1");
  About1 = named(help->addAction(QStringLiteral("About")), "About1");
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
  on(CheckBox3, &QCheckBox::toggled, &TForm1::CheckBox3Click);
  on(CheckBox4, &QCheckBox::toggled, &TForm1::CheckBox4Click);
  on(CheckBox6, &QCheckBox::toggled, &TForm1::CheckBox6Click);
  on(RadioGroup1, &RadioGroup::itemSelected, &TForm1::RadioGroup1Click);
  on(RadioGroup2, &RadioGroup::itemSelected, &TForm1::RadioGroup2Click);
  // Texts: every real change, typed or set from code.
  on(CSpinEdit3, &SpinEdit::changed, &TForm1::CSpinEdit3Change);
  on(CSpinEdit6, &SpinEdit::changed, &TForm1::CSpinEdit6Change);
  on(Edit6, &QLineEdit::textChanged, &TForm1::Edit6Change);
  on(ComboBoxEx1, &QComboBox::editTextChanged, &TForm1::ComboBoxEx1Change);
  on(ComboBoxEx2, &QComboBox::editTextChanged, &TForm1::ComboBoxEx2Change);
}

void TForm1::guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const SilentAbort&) {
    // Ends the handler without a word, by design.
  } catch (const std::exception& error) {
    services_.show_error(error_box_text(to_qt(error.what())));
  } catch (...) {
    services_.show_error(QString());
  }
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate() {
  services_.show_message(kFreewareNotice);
  guarded([this] {
    apply_configuration();
    fill_distribution_lists();
    CheckBox3->setChecked(true);  // LED mode
  });
}

// Each line is fetched and applied before the next, so a short or faulty
// file stops exactly at the line that fails and keeps what came before.
void TForm1::apply_configuration() {
  const std::vector<std::string> lines = load_config_lines(kConfigFileName);
  const auto text = [&lines](int number) { return to_qt(config_line(lines, number)); };
  const auto whole = [&lines](int number) { return parse_whole_number(config_line(lines, number)); };

  Edit3->setText(text(1));
  Edit4->setText(text(2));
  {
    // Naming a distribution file loads nothing until a plot or a run needs it.
    const QSignalBlocker first(ComboBoxEx1);
    ComboBoxEx1->setEditText(text(3));
  }
  {
    const QSignalBlocker second(ComboBoxEx2);
    ComboBoxEx2->setEditText(text(4));
  }
  CSpinEdit3->setValue(whole(5));
  CSpinEdit5->setValue(whole(6));
  CSpinEdit4->setValue(whole(9));
  set_na_text(text(11));
  Edit8->setText(text(13));
  Edit9->setText(text(14));
  Edit10->setText(text(15));
}

void TForm1::fill_distribution_lists() {
  FileListBox1->clear();
  for (const std::string& name : list_distribution_files(".")) FileListBox1->addItem(to_qt(name));
  QStringList names;
  for (int i = 0; i < FileListBox1->count(); ++i) names << FileListBox1->item(i)->text();
  for (QComboBox* combo : {ComboBoxEx1, ComboBoxEx2}) {
    // The names chosen by the configuration file stay in the edit fields.
    const QSignalBlocker blocker(combo);
    const QString chosen = combo->currentText();
    combo->addItems(names);
    combo->setCurrentIndex(-1);
    combo->setEditText(chosen);
  }
}

// ------------------------------------------------------- settings mapping

OutputFormat TForm1::selected_format() const {
  if (RadioButton1->isChecked()) return OutputFormat::TracePro;
  if (RadioButton5->isChecked()) return OutputFormat::LightTools;
  if (RadioButton6->isChecked()) return OutputFormat::Asap;
  return OutputFormat::Zemax;
}

QLineEdit* TForm1::output_path_field(OutputFormat format) const {
  switch (format) {
    case OutputFormat::TracePro: return Edit3;
    case OutputFormat::Zemax:
    case OutputFormat::ZemaxBinary:
    case OutputFormat::Tm25: return Edit4;
    case OutputFormat::LightTools: return Edit11;
    case OutputFormat::Asap: return Edit5;
  }
  return Edit4;
}

QLabel* TForm1::format_picture(OutputFormat format) const {
  switch (format) {
    case OutputFormat::TracePro: return Image1;
    case OutputFormat::Zemax:
    case OutputFormat::ZemaxBinary:
    case OutputFormat::Tm25: return Image2;
    case OutputFormat::LightTools: return Image3;
    case OutputFormat::Asap: return Image4;
  }
  return Image2;
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
  settings.sourceFlux = CSpinEdit5->value();
  settings.randomAlgorithm =
      RadioButton3->isChecked() ? RandomAlgorithm::Sobol : RandomAlgorithm::Uniform;
  settings.angularType = static_cast<AngularType>(RadioGroup2->itemIndex());
  settings.extentAboutZ = CSpinEdit4->value();
  settings.planeShape = static_cast<PlaneShape>(RadioGroup1->itemIndex());
  settings.doubleSide = CheckBox6->isChecked();
  settings.balance = CSpinEdit6->value();
  settings.squareShape = RadioButton8->isChecked();
  settings.notifyEnd = CheckBox1->isChecked();
  settings.fileDecimalSeparator = decimalSeparator_;
  settings.threads = 0;
  settings.legacySampling = LegacySampling1->isChecked();
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
  switch (settings.outputFormat) {
    case OutputFormat::TracePro: RadioButton1->setChecked(true); break;
    case OutputFormat::Zemax:
    case OutputFormat::ZemaxBinary:
    case OutputFormat::Tm25: RadioButton2->setChecked(true); break;
    case OutputFormat::LightTools: RadioButton5->setChecked(true); break;
    case OutputFormat::Asap: RadioButton6->setChecked(true); break;
  }
  output_path_field(settings.outputFormat)->setText(to_qt(settings.outputPath));
  for (auto [combo, name] : {std::pair{ComboBoxEx1, &settings.longitudinalFile},
                             std::pair{ComboBoxEx2, &settings.transversalFile}}) {
    const QSignalBlocker blocker(combo);
    combo->setEditText(to_qt(*name));
  }
  CheckBox3->setChecked(settings.ledMode);
  CSpinEdit3->setValue(settings.rayCount);
  CheckBox2->setChecked(settings.considerSourceFlux);
  CSpinEdit5->setValue(settings.sourceFlux);
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
  const RunReport report = run_from_window(*frontEnd_);
  if (report.outcome == RunOutcome::Succeeded || report.outcome == RunOutcome::LowFlux) {
    // The controls cannot change during a run: these are the run's settings.
    lastRun_ = settings_from_controls();
    apply_setting_texts(*lastRun_, setting_texts());
    Check1->setEnabled(lastRun_->ledMode);
  }
}

void TForm1::Check1Click() {
  if (!lastRun_) return;
  const IntensityLaw law(*lastRun_);
  const FarFieldResult result = check_ray_file(lastRun_->outputPath, RayFileKind::Auto, law, FarFieldOptions{});
  auto* dialog = new FarFieldDialog(result, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
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

void TForm1::N1Click() {}

void TForm1::About1Click() { services_.show_message(kAboutText); }

// ------------------------------------------------------------ interlocks

void TForm1::select_target(OutputFormat format) {
  // LightTools files always carry the source flux, so the box is forced on.
  const bool lightTools = format == OutputFormat::LightTools;
  CheckBox2->setChecked(lightTools);
  CheckBox2->setEnabled(!lightTools);
  show_format_picture(format);
  for (OutputFormat each : kFormats) output_path_field(each)->setVisible(each == format);
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
    Series1->setName(QStringLiteral("Horisontal"));
    Series2->setName(QStringLiteral("Vertical"));
    Label35->setText(QStringLiteral("ANGULAR LED INTENSITY DISTRIBUTION"));
    Label37->setText(QStringLiteral("degrees"));
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
    Series1->setName(QStringLiteral("Longitudial"));
    Series2->setName(QStringLiteral("Transversal"));
    Label35->setText(QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"));
    Label37->setText(QStringLiteral("mm"));
    RadioGroup2->setEnabled(false);
  }
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
  const OutputEstimate estimate = estimate_output(CSpinEdit3->value());
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
  // The tail closes a measured curve down to zero, which only means
  // something for angular distributions.
  const bool tails = tailPoints && CheckBox3->isChecked();
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
}

void TForm1::set_chart_visible(bool visible) {
  Chart1->setVisible(visible);
  fit_to_content();
}

void TForm1::show_format_picture(OutputFormat format) {
  for (OutputFormat each : kFormats) format_picture(each)->setVisible(each == format);
}

void TForm1::hide_format_pictures() {
  for (OutputFormat each : kFormats) format_picture(each)->hide();
}

// The window is as wide as what it shows: the settings column alone, or the
// column and the chart.
void TForm1::fit_to_content() {
  const int width = Chart1->isHidden() ? kSettingsWidth : kChartShownWidth;
  centralWidget()->setFixedSize(width, kClientHeight);
  setFixedSize(width, kClientHeight + menuBar()->sizeHint().height());
}

}  // namespace lucidra::app
