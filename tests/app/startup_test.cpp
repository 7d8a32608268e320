// Start-up: the freeware notice, the configuration file's fifteen lines with
// every failure of the file, the distribution lists, LED mode; the window's
// menu and frame.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>
#include <QUrl>

#include <QFileSystemWatcher>
#include "app/radio_group.h"
#include "app/spin_edit.h"

#include "window_harness.h"

using namespace lucidra::app;
using namespace lucidra::app::test;

using Expected = QMap<QString, QString>;

namespace {

// A complete file whose every used line differs from the defaults.
QStringList full_config() {
  return {"trace.txt", "zemax.dat", "horizontal.txt", "vertical.txt", "20000", "1200", "seven", "eight",
          "90",        "ten",       localized("0.5"), "twelve",       "0.9",   "2",    "3"};
}

QStringList with_line(int number, const QString& text) {
  QStringList lines = full_config();
  lines[number - 1] = text;
  return lines;
}

QStringList first_lines(int count) { return full_config().mid(0, count); }

// The defaults of every control the file can set.
Expected defaults() {
  const QString size = localized("0.00001");
  return {{"Edit3", "tracepro_rays.txt"},
          {"Edit4", "zemax_rays.dat"},
          {"ComboBoxEx1", ""},
          {"ComboBoxEx2", ""},
          {"CSpinEdit3", "30000"},
          {"Label10", "2"},
          {"Label13", "0"},
          {"Label15", "4"},
          {"CSpinEdit5", "3500"},
          {"CSpinEdit4", "360"},
          {"Edit6", "0"},
          {"Edit8", "0"},
          {"Edit9", size},
          {"Edit10", size}};
}

// What the full file sets, up to and including line `last`.
Expected applied_through(int last) {
  Expected expected = defaults();
  const QStringList lines = full_config();
  const std::pair<int, const char*> fields[] = {
      {1, "Edit3"},      {2, "Edit4"},  {3, "ComboBoxEx1"}, {4, "ComboBoxEx2"}, {5, "CSpinEdit3"}, {6, "CSpinEdit5"},
      {9, "CSpinEdit4"}, {11, "Edit6"}, {13, "Edit8"},      {14, "Edit9"},      {15, "Edit10"}};
  for (const auto& [line, name] : fields) {
    if (line <= last) expected[name] = lines[line - 1];
  }
  if (last >= 5) {  // 20000 rays
    expected["Label10"] = "1";
    expected["Label15"] = "2";
  }
  return expected;
}

Expected changed(Expected expected, const Expected& changes) {
  for (auto it = changes.cbegin(); it != changes.cend(); ++it) expected[it.key()] = it.value();
  return expected;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void configurationFile_data();
  void configurationFile();
  void failedStartStillEndsInLedModeWithItsLists();
  void firstStartSavesAndGeneratesInTheWorkingFolder();
  void lineEndsOfEveryKindReadTheSame_data();
  void lineEndsOfEveryKindReadTheSame();
  void menuItems();
  void windowFrame();
  void menuMnemonicsAndShortcuts();
  void helpOpensTheUserGuide_data();
  void helpOpensTheUserGuide();
  void everySettingHasATooltipWithItsRange();
  void tabChainFollowsTheFormTopToBottom();
  void tabEntersARadioGroupOnItsCheckedButton_data();
  void tabEntersARadioGroupOnItsCheckedButton();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
};

void StartupTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  directory_->write("other.txt", distribution_bytes({1, 2}, {3, 4}));
  directory_->write("notes.cfg", "not a distribution");
  services_.clear();
}

void StartupTest::cleanup() { directory_.reset(); }

void StartupTest::configurationFile_data() {
  QTest::addColumn<bool>("present");
  QTest::addColumn<QStringList>("lines");
  QTest::addColumn<QStringList>("errors");
  QTest::addColumn<Expected>("expected");
  const Expected all = applied_through(15);
  const QStringList none;

  // No file: the defaults, and one question offering to save them.
  QTest::newRow("no file") << false << none
                           << QStringList{QStringLiteral("There is no settings file lucidra.cfg in <folder>, so the "
                                                         "window starts with its defaults: ray files in this folder "
                                                         "named after their target and format.\n\nSave these "
                                                         "settings as lucidra.cfg now?")}
                           << defaults();
  QTest::newRow("fifteen lines") << true << full_config() << none << all;
  QTest::newRow("later lines change nothing") << true << full_config() + QStringList{"16", "", "abc"} << none << all;
  QTest::newRow("empty file")
      << true << QStringList{}
      << QStringList{"Settings file lucidra.cfg has 0 lines; line 1 (TracePro file) is missing."} << defaults();
  QTest::newRow("ten lines stop at line 11")
      << true << first_lines(10) << QStringList{"Settings file lucidra.cfg has 10 lines; line 11 (NA) is missing."}
      << defaults();
  QTest::newRow("fourteen lines stop at line 15")
      << true << first_lines(14) << QStringList{"Settings file lucidra.cfg has 14 lines; line 15 (X size) is missing."}
      << defaults();
  QTest::newRow("four lines stop at line 5")
      << true << first_lines(4) << QStringList{"Settings file lucidra.cfg has 4 lines; line 5 (rays) is missing."}
      << defaults();
  QTest::newRow("rays: letters")
      << true << with_line(5, "abc")
      << QStringList{"Settings file lucidra.cfg, line 5 (rays): 'abc' is not a valid integer value."} << defaults();
  QTest::newRow("rays: empty")
      << true << with_line(5, "")
      << QStringList{"Settings file lucidra.cfg, line 5 (rays): '' is not a valid integer value."} << defaults();
  QTest::newRow("rays: beyond 32 bits")
      << true << with_line(5, "2147483648")
      << QStringList{"Settings file lucidra.cfg, line 5 (rays): '2147483648' is not a valid integer value."}
      << defaults();
  QTest::newRow("rays: decimal")
      << true << with_line(5, localized("2.5"))
      << QStringList{QStringLiteral("Settings file lucidra.cfg, line 5 (rays): '%1' is not a valid integer value.")
                         .arg(localized("2.5"))}
      << defaults();
  QTest::newRow("rays: 0 starts at 1")
      << true << with_line(5, "0") << none
      << changed(all, {{"CSpinEdit3", "1"}, {"Label10", "0"}, {"Label13", "0"}, {"Label15", "0"}});
  QTest::newRow("rays: largest 32-bit number starts at the maximum")
      << true << with_line(5, "2147483647") << none
      << changed(all, {{"CSpinEdit3", "1000000000"}, {"Label10", "74800"}, {"Label13", "2499"}, {"Label15", "0"}});
  QTest::newRow("rays: leading blanks") << true << with_line(5, "  40000") << none
                                        << changed(all, {{"CSpinEdit3", "40000"}, {"Label10", "2"}, {"Label15", "5"}});
  QTest::newRow("flux: below the range") << true << with_line(6, "1") << none << changed(all, {{"CSpinEdit5", "5"}});
  QTest::newRow("flux: above the range") << true << with_line(6, "99999") << none
                                         << changed(all, {{"CSpinEdit5", "50000"}});
  QTest::newRow("flux: letters")
      << true << with_line(6, "x")
      << QStringList{"Settings file lucidra.cfg, line 6 (source flux): 'x' is not a valid integer value."}
      << defaults();
  QTest::newRow("extent: 400 starts at 360")
      << true << with_line(9, "400") << none << changed(all, {{"CSpinEdit4", "360"}});
  QTest::newRow("extent: negative starts at 0")
      << true << with_line(9, "-5") << none << changed(all, {{"CSpinEdit4", "0"}});
  QTest::newRow("extent: empty")
      << true << with_line(9, "")
      << QStringList{"Settings file lucidra.cfg, line 9 (extent about Z): '' is not a valid integer value."}
      << defaults();
  QTest::newRow("NA: empty") << true << with_line(11, "")
                             << QStringList{"Settings file lucidra.cfg, line 11 (NA): it is empty."} << defaults();
  QTest::newRow("NA: 5 becomes 1") << true << with_line(11, "5") << none << changed(all, {{"Edit6", "1"}});
  QTest::newRow("NA: lone minus becomes 0") << true << with_line(11, "-") << none << changed(all, {{"Edit6", "0"}});
  QTest::newRow("NA: negative becomes 0")
      << true << with_line(11, localized("-0.5")) << none << changed(all, {{"Edit6", "0"}});
  QTest::newRow("NA: letters")
      << true << with_line(11, "abc")
      << QStringList{"Settings file lucidra.cfg, line 11 (NA): 'abc' is not a valid floating point value."}
      << defaults();
  QTest::newRow("NA: same as the default") << true << with_line(11, "0") << none << changed(all, {{"Edit6", "0"}});
  QTest::newRow("distribution files that do not exist")
      << true << with_line(3, "missing.txt") << none << changed(all, {{"ComboBoxEx1", "missing.txt"}});
  QTest::newRow("lines used exactly as they stand")
      << true << with_line(1, "  spaced name.txt ") << none << changed(all, {{"Edit3", "  spaced name.txt "}});
}

void StartupTest::configurationFile() {
  QFETCH(bool, present);
  QFETCH(QStringList, lines);
  QFETCH(QStringList, errors);
  QFETCH(Expected, expected);
  errors.replaceInStrings(QStringLiteral("<folder>"), QDir::toNativeSeparators(QDir::currentPath()));
  if (present) {
    directory_->write("lucidra.cfg", config_bytes(lines));
  } else {
    directory_->remove("lucidra.cfg");
  }

  TForm1 form(services_);
  form.FormCreate();

  // The notice comes first, then the error box of a failing line.
  QVERIFY(!services_.shown.empty());
  QCOMPARE(services_.shown[0].kind, ShownMessage::Kind::Notice);
  QVERIFY(services_.shown[0].text.contains(QStringLiteral("freeware")));
  QCOMPARE(services_.shown[0].caption, QStringLiteral("Lucidra LED 3.5"));
  QCOMPARE(services_.texts().mid(1), errors);
  for (const ShownMessage& shown : services_.shown) {
    if (shown.kind == ShownMessage::Kind::Error) QCOMPARE(shown.caption, QStringLiteral("Lucidra LED 3.5"));
  }

  for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
    QVERIFY2(
        control_text(form, it.key()) == it.value(),
        qPrintable(
            QStringLiteral("%1 shows '%2', expected '%3'").arg(it.key(), control_text(form, it.key()), it.value())));
  }
  // Whatever the file holds, the rest of the start-up is done: the lists
  // are filled and LED mode is on.
  QVERIFY(form.CheckBox3->isChecked());
  QVERIFY(!form.CheckBox4->isChecked());
  const QStringList files{"horizontal.txt", "other.txt", "vertical.txt"};
  for (QComboBox* combo : {form.ComboBoxEx1, form.ComboBoxEx2}) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    QCOMPARE(items, files);
  }
  QCOMPARE(form.Label5->text(), QStringLiteral("Horisontal Distribution"));
  // Naming a distribution file loads nothing: the chart stays empty.
  QCOMPARE(form.Series1->count(), 0);
}

void StartupTest::failedStartStillEndsInLedModeWithItsLists() {
  directory_->remove("lucidra.cfg");
  TForm1 form(services_);
  form.FormCreate();
  QCOMPARE(services_.error_texts(), QStringList{});
  // The missing file is a first start, not an error; the rest of the start-up happens.
  QVERIFY(form.CheckBox3->isChecked() && !form.CheckBox4->isChecked());
  QCOMPARE(form.Label5->text(), QStringLiteral("Horisontal Distribution"));
  QCOMPARE(form.FileListBox1->count(), 3);
  for (QWidget* enabled : {static_cast<QWidget*>(form.RadioGroup1), static_cast<QWidget*>(form.Edit10),
                           static_cast<QWidget*>(form.Edit9), static_cast<QWidget*>(form.RadioGroup2)}) {
    QVERIFY2(enabled->isEnabled(), qPrintable(enabled->objectName()));
  }
  auto* watcher = form.findChild<QFileSystemWatcher*>("FolderWatcher");
  QVERIFY(watcher != nullptr && !watcher->directories().isEmpty());
  QVERIFY(form.RadioButton2->isChecked());
  QVERIFY(!form.Image2->isHidden());
}

void StartupTest::lineEndsOfEveryKindReadTheSame_data() {
  QTest::addColumn<QByteArray>("lineEnd");
  QTest::newRow("CR LF") << QByteArray("\r\n");
  QTest::newRow("LF") << QByteArray("\n");
  QTest::newRow("CR") << QByteArray("\r");
}

void StartupTest::lineEndsOfEveryKindReadTheSame() {
  QFETCH(QByteArray, lineEnd);
  QByteArray bytes = config_bytes(full_config(), lineEnd.constData());
  bytes.chop(lineEnd.size());  // a last line without its end counts too
  directory_->write("lucidra.cfg", bytes);
  TForm1 form(services_);
  form.FormCreate();
  QCOMPARE(services_.error_texts(), QStringList{});
  const Expected expected = applied_through(15);
  for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
    QCOMPARE(control_text(form, it.key()), it.value());
  }
  QVERIFY(form.CheckBox3->isChecked());
}

void StartupTest::menuItems() {
  directory_->write("lucidra.cfg", config_bytes(full_config()));
  auto form = started_window(services_);
  form->show();
  QVERIFY(QTest::qWaitForWindowExposed(form.get()));

  form->N1->trigger();  // Help > Help: the guide, no box
  QVERIFY(services_.shown.empty());
  QCOMPARE(services_.openedUrls.size(), std::size_t{1});

  form->About1->trigger();
  QCOMPARE(services_.shown.size(), std::size_t{1});
  const QString about = services_.shown[0].text;
  for (const char* part : {"3.5", "LED", "TracePro", "Zemax", "Sobol"}) {
    QVERIFY2(about.contains(QLatin1String(part)), part);
  }
  QCOMPARE(services_.shown[0].caption, QStringLiteral("Lucidra LED 3.5"));

  const QStringList fileMenu{"Generate", "Plot", "Exit"};
  QCOMPARE((QStringList{form->Generate1->text(), form->Notyfy1->text(), form->Exit1->text()}), fileMenu);
  QCOMPARE((QStringList{form->N1->text(), form->About1->text()}), (QStringList{"Help", "About"}));

  form->Exit1->trigger();  // no question asked
  QVERIFY(!form->isVisible());
  QCOMPARE(services_.shown.size(), std::size_t{1});
}

void StartupTest::windowFrame() {
  TForm1 form(services_);
  QCOMPARE(form.windowTitle(), QStringLiteral("Lucidra LED"));
  QCOMPARE(form.centralWidget()->size(), QSize(405, 493));
  QCOMPARE(form.minimumSize(), form.maximumSize());            // the settings alone do not resize
  QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);  // for the chart
  QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  QCOMPARE(form.pos(), QPoint(249, 163));
  QCOMPARE(form.BitBtn1->text(), QStringLiteral("GENERATE"));
  QVERIFY(form.BitBtn1->isDefault());
  QCOMPARE(form.Button1->text(), QStringLiteral("Plot >>"));
  QCOMPARE(form.Label20->text(), QStringLiteral("Obtained Source Flux,  Watt:"));
  QCOMPARE((QStringList{form.Label9->text(), form.Label11->text(), form.Label12->text(), form.Label14->text(),
                        form.Label16->text()}),
           (QStringList{"Size of Source File", QStringLiteral("Мб"), "Generation Time ~ ", "min", "sec"}));
  QCOMPARE(form.RadioGroup3->title(), QStringLiteral("Form of Source LED"));
  QCOMPARE((QStringList{form.RadioGroup2->itemText(0), form.RadioGroup2->itemText(1), form.RadioGroup2->itemText(2),
                        form.RadioGroup2->itemText(3)}),
           (QStringList{"Lambertian", "Uniform", "User Defined", "Gaussian"}));
}

void StartupTest::menuMnemonicsAndShortcuts() {
  directory_->write("lucidra.cfg", config_bytes(full_config()));
  auto form = started_window(services_);
  QStringList titles;
  for (QAction* menu : form->menuBar()->actions()) titles << menu->text();
  QCOMPARE(titles, (QStringList{"&File", "&Help"}));
  QCOMPARE(form->Generate1->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
  QCOMPARE(form->Exit1->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
  QCOMPARE(form->N1->shortcut(), QKeySequence(Qt::Key_F1));
  QCOMPARE(form->CancelRunButton->shortcut(), QKeySequence(Qt::Key_Escape));

  form->show();
  form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
  services_.answers = {lucidra::DialogButton::No};
  QTest::keyClick(form.get(), Qt::Key_G, Qt::ControlModifier);
  QCOMPARE(services_.texts().size(), 1);  // GENERATE's confirmation
  QVERIFY2(services_.texts()[0].startsWith("Write ") &&
               services_.texts()[0].contains(", Zemax text, equal-flux sampling, to "),
           qPrintable(services_.texts()[0]));
  QTest::keyClick(form.get(), Qt::Key_F1);
  QCOMPARE(services_.openedUrls.size(), std::size_t{1});
  QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
  QVERIFY(!form->isVisible());
}

void StartupTest::helpOpensTheUserGuide_data() {
  QTest::addColumn<bool>("opens");
  QTest::newRow("a browser opens it") << true;
  QTest::newRow("nothing can open it") << false;
}

void StartupTest::helpOpensTheUserGuide() {
  QFETCH(bool, opens);
  TForm1 form(services_);
  services_.urlOpens = opens;
  form.N1->trigger();
  QCOMPARE(services_.openedUrls.size(), std::size_t{1});
  const QUrl guide = services_.openedUrls[0];
  QVERIFY(guide.isLocalFile());
  QVERIFY2(guide.toLocalFile().endsWith("/user-guide.html"), qPrintable(guide.toString()));
  QFile page(guide.toLocalFile());
  QVERIFY(page.open(QIODevice::ReadOnly));
  const QByteArray html = page.readAll();
  for (const char* topic : {"Cancel", "Browse", "Save settings", "Ctrl+G", "Export chart"}) {
    QVERIFY2(html.contains(topic), topic);
  }
  QCOMPARE(services_.error_texts().size(), opens ? 0 : 1);
  if (!opens) QVERIFY(services_.error_texts()[0].startsWith("No program could open the user guide "));
}

void StartupTest::everySettingHasATooltipWithItsRange() {
  TForm1 form(services_);
  const QList<QWidget*> settings = {form.Edit3,
                                    form.Edit4,
                                    form.ComboBoxEx1,
                                    form.ComboBoxEx2,
                                    form.output()->BrowseOutputButton,
                                    form.BrowseLongitudinalButton,
                                    form.BrowseTransversalButton,
                                    form.RadioButton1,
                                    form.RadioButton2,
                                    form.RadioButton5,
                                    form.RadioButton6,
                                    form.BitBtn1,
                                    form.Button1,
                                    form.CancelRunButton,
                                    form.CSpinEdit3,
                                    form.CSpinEdit5,
                                    form.CheckBox2,
                                    form.CSpinEdit4,
                                    form.RadioButton3,
                                    form.RadioButton4,
                                    form.RadioGroup1,
                                    form.RadioGroup2,
                                    form.CheckBox6,
                                    form.CSpinEdit6,
                                    form.Edit9,
                                    form.Edit10,
                                    form.Edit6,
                                    form.CheckBox1,
                                    form.RadioButton7,
                                    form.RadioButton8};
  for (QWidget* setting : settings) QVERIFY2(!setting->toolTip().isEmpty(), qPrintable(setting->objectName()));
  const QList<std::pair<QWidget*, const char*>> ranges = {{form.CSpinEdit3, "1 to 1000000000"},
                                                          {form.CSpinEdit5, "watt: 5 to 50000"},
                                                          {form.CSpinEdit4, "degrees: 0 to 360"},
                                                          {form.Edit6, "0 to 1"},
                                                          {form.Edit9, "mm"},
                                                          {form.Edit10, "mm"},
                                                          {form.CSpinEdit6, "0 to 100"}};
  for (const auto& [setting, range] : ranges) {
    QVERIFY2(setting->toolTip().contains(QString::fromUtf8(range)), qPrintable(setting->toolTip()));
  }
}

// The order Tab moves through the settings: the form's, top to bottom and
// left to right within each frame, whichever part of the window builds them.
void StartupTest::tabChainFollowsTheFormTopToBottom() {
  TForm1 form(services_);
  QStringList chain{form.Edit3->objectName()};
  QWidget* widget = form.Edit3;
  for (int steps = 0; steps < 400; ++steps) {
    widget = widget->nextInFocusChain();
    if (widget == form.Edit3) break;
    if (widget->window() != &form || widget->focusProxy() != nullptr) continue;
    if ((widget->focusPolicy() & Qt::TabFocus) == 0) continue;
    // A group's buttons by the group's name and their own text.
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!widget->objectName().isEmpty()) {
      chain << widget->objectName();
    } else if (button != nullptr && widget->parentWidget() != nullptr) {
      chain << widget->parentWidget()->objectName() + ':' + button->text();
    }
  }
  const QStringList formOrder = {"Edit3",
                                 "Edit4",
                                 "Edit11",
                                 "Edit5",
                                 "ComboBoxEx1",
                                 "ComboBoxEx2",
                                 "BrowseOutputButton",
                                 "BrowseLongitudinalButton",
                                 "BrowseTransversalButton",
                                 "RadioButton2",  // the targets: one stop, on the checked one
                                 "FormatBox",
                                 "BitBtn1",
                                 "Button1",
                                 "CancelRunButton",
                                 "CSpinEdit3",
                                 "CSpinEdit5",
                                 "CheckBox2",
                                 "SourceFluxEdit",
                                 "FluxUnitBox",
                                 "CSpinEdit4",
                                 "RadioGroup3:plane placed in z=0",
                                 "RadioButton3",
                                 "CheckBox5",
                                 "RadioGroup1:Rectangular",
                                 "RadioGroup2:User Defined",
                                 "CheckBox6",
                                 "CSpinEdit6",
                                 "Edit13",
                                 "Edit9",
                                 "Edit6",
                                 "Edit8",
                                 "Edit10",
                                 "CheckBox1",
                                 "RadioButton7",
                                 "PhotometricFileEdit",
                                 "BrowsePhotometricButton",
                                 "FlipSolidBox",
                                 "PhotometricPlanesButton",
                                 "OpenFolderButton",
                                 "Chart1",
                                 "CheckBox3",
                                 "CheckBox4",
                                 "FileListBox1",
                                 "ClientScroll"};
  QCOMPARE(chain, formOrder);
}

void StartupTest::tabEntersARadioGroupOnItsCheckedButton_data() {
  QTest::addColumn<QString>("from");
  QTest::addColumn<QString>("check");
  QTest::addColumn<int>("arrow");
  QTest::newRow("target, Zemax") << "BrowseTransversalButton"
                                 << "RadioButton2" << int(Qt::Key_Up);
  QTest::newRow("target, TracePro") << "BrowseTransversalButton"
                                    << "RadioButton1" << int(Qt::Key_Up);
  QTest::newRow("random algorithm, Uniform") << "CSpinEdit4"
                                             << "RadioButton4" << int(Qt::Key_Up);
  QTest::newRow("angular shape, Square") << "Edit10"
                                         << "RadioButton8" << int(Qt::Key_Left);
}

void StartupTest::tabEntersARadioGroupOnItsCheckedButton() {
  QFETCH(QString, from);
  QFETCH(QString, check);
  QFETCH(int, arrow);
  directory_->write("lucidra.cfg", config_bytes(full_config()));
  auto form = started_window(services_);
  form->show();
  form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
  auto* checked = form->findChild<QRadioButton*>(check);
  checked->click();
  auto* start = form->findChild<QWidget*>(from);
  start->setFocus(Qt::OtherFocusReason);
  QTRY_VERIFY(start->hasFocus());
  QWidget* focused = start;
  for (int presses = 0; presses < 6 && qobject_cast<QRadioButton*>(focused) == nullptr; ++presses) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    focused = QApplication::focusWidget();
  }
  QCOMPARE(focused, static_cast<QWidget*>(checked));
  // The arrow keys still move within the group and select.
  QTest::keyClick(checked, static_cast<Qt::Key>(arrow));
  QVERIFY(QApplication::focusWidget() != checked);
  QVERIFY(static_cast<QRadioButton*>(QApplication::focusWidget())->isChecked());
}

void StartupTest::firstStartSavesAndGeneratesInTheWorkingFolder() {
  directory_->remove("lucidra.cfg");
  directory_->write("lambertian.txt", directory_->read("horizontal.txt"));
  directory_->write("narrow.txt", directory_->read("vertical.txt"));
  services_.answers = {lucidra::DialogButton::Yes};  // save the defaults
  TForm1 form(services_);
  form.FormCreate();
  QCOMPARE(services_.error_texts(), QStringList{});
  QCOMPARE(services_.unanswered, 0);
  // The shipped example tables, every emitter control enabled.
  QCOMPARE(form.ComboBoxEx1->currentText(), QStringLiteral("lambertian.txt"));
  QCOMPARE(form.ComboBoxEx2->currentText(), QStringLiteral("narrow.txt"));
  for (QWidget* control :
       {static_cast<QWidget*>(form.CSpinEdit3), static_cast<QWidget*>(form.Edit9), static_cast<QWidget*>(form.Edit10),
        static_cast<QWidget*>(form.RadioGroup2), static_cast<QWidget*>(form.BitBtn1)}) {
    QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
  }
  // Every target's ray file in the working folder, named after it.
  QCOMPARE(form.Edit11->text(), QStringLiteral("lighttools_rays.ray"));
  QCOMPARE(form.Edit5->text(), QStringLiteral("asap_rays.dis"));
  // Saved: the next start reads them back.
  QVERIFY(directory_->exists("lucidra.cfg"));
  QVERIFY(directory_->read("lucidra.cfg").startsWith("tracepro_rays.txt\r\nzemax_rays.dat\r\nlambertian.txt\r\n"));

  services_.clear();
  services_.answers = {lucidra::DialogButton::Yes};  // the confirmation
  form.BitBtn1->click();
  QVERIFY(wait_for_idle(form));
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(directory_->exists("zemax_rays.dat"));
  QVERIFY(!directory_->exists("C:\\ray1.txt") && !directory_->exists("D:\\Program files\\ZEMAX\\Objects\\ray.dat"));
}

LUCIDRA_QT_TEST_MAIN(StartupTest)
#include "startup_test.moc"
