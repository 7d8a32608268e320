// Whole generation runs started from the window: by GENERATE, by
// File > Generate and by Enter, with the message boxes answered by the test.
// Checks the messages, what the window shows during and after the run, and
// the ray file, byte for byte against the command line's for the same
// settings.

#include <QChart>
#include <QDir>
#include <QLineSeries>
#include <QProcess>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>

#include "app/far_field_dialog.h"
#include "random/random_state.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

// What GENERATE asks before it writes: the count, flux, format, sampling and
// the file's full path.
QString confirmation(const QString& name = QStringLiteral("ray.dat")) {
  return QStringLiteral(
             "Write 1 001 rays, 3500 W, Zemax text, equal-flux sampling, to %1?\n\n Existing file will be "
             "overritten!!!")
      .arg(QDir::current().filePath(name));
}
const QString kSuccess = QStringLiteral(" Source File Created Succesfully!!! ");
const QString kFailure = QStringLiteral("GENERATION ERROR!!! \n PLEASE REGENERATE!!! ");
constexpr unsigned kYesNoExclamation = 52;
constexpr unsigned kOkInformation = 64;

// What the window showed while a notice of the run was open.
struct Snapshot {
  bool taken = false;
  bool gaugeVisible = false;
  int gaugePercent = -1;
  QString status;
  QStringList banners;
  bool chartVisible = true;
};

QStringList shown_banners(const TForm1& form) {
  QStringList shown;
  for (QLabel* banner : {form.Image1, form.Image2, form.Image3, form.Image4}) {
    if (!banner->isHidden()) shown << banner->objectName();
  }
  return shown;
}

QList<QByteArray> file_lines(const QByteArray& bytes) {
  QList<QByteArray> lines = bytes.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void runWritesTheRayFile_data();
  void runWritesTheRayFile();
  void enterOnAFocusedPlotButtonPlots();
  void refusedTargets_data();
  void refusedTargets();
  void noAtTheConfirmationChangesNothing();
  void notifyEndBeeps();
  void runHidesTheChartAndKeepsTheCaption();
  void traceProHeader();
  void pointLimitKeepsTheHeaderOnly();
  void missingDistributionFileStopsBeforeTheOutput();
  void badSizeStopsTheRunBeforeAnyFileIsTouched();
  void sizeOutOfRangeIsNamedBeforeTheConfirmation_data();
  void sizeOutOfRangeIsNamedBeforeTheConfirmation();
  void tableErrorsNameFileAndLine_data();
  void tableErrorsNameFileAndLine();
  void sameFileAsTheCommandLine_data();
  void sameFileAsTheCommandLine();
  void checkShowsTheFarFieldOfTheFileJustWritten();
  void checkReadsTheFileNamedInSourceFile();

 private:
  void show_window();
  // Snapshots the window when the run's final notice opens.
  void watch_final_notice();
  void verify_idle_after_run(OutputFormat format);

  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
  Snapshot snapshot_;
};

void RunTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  form_ = started_window(services_);
  snapshot_ = Snapshot{};
}

void RunTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
  services_.onShow = nullptr;
}

void RunTest::show_window() {
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void RunTest::watch_final_notice() {
  services_.onShow = [this](const ShownMessage& message) {
    if (message.text != kSuccess && message.text != kFailure) return;
    snapshot_.taken = true;
    snapshot_.gaugeVisible = !form_->CGauge2->isHidden();
    snapshot_.gaugePercent = form_->CGauge2->percent();
    snapshot_.status = form_->Label21->text();
    snapshot_.banners = shown_banners(*form_);
    snapshot_.chartVisible = !form_->Chart1->isHidden();
  };
}

void RunTest::verify_idle_after_run(OutputFormat format) {
  const char* banner = format == OutputFormat::TracePro ? "Image1" : "Image2";
  QCOMPARE(shown_banners(*form_), QStringList{banner});
  QVERIFY(form_->CGauge2->isHidden());
  QCOMPARE(form_->Label21->text(), QString());
  QVERIFY(form_->Chart1->isHidden());
}

void RunTest::runWritesTheRayFile_data() {
  QTest::addColumn<QString>("start");
  QTest::newRow("GENERATE") << "button";
  QTest::newRow("File > Generate") << "menu";
  QTest::newRow("Enter in the number of rays") << "enter spin";
  QTest::newRow("Enter in the file name") << "enter edit";
  QTest::newRow("Enter in a distribution box") << "enter combo";
  QTest::newRow("Enter on the focused GENERATE button") << "enter button";
}

void RunTest::runWritesTheRayFile() {
  QFETCH(QString, start);
  show_window();
  watch_final_notice();
  services_.answers = {DialogButton::Yes};
  if (start == "button") {
    QTest::mouseClick(form_->BitBtn1, Qt::LeftButton);
  } else if (start == "menu") {
    form_->Generate1->trigger();
  } else if (start == "enter spin") {
    QTest::keyClick(form_->CSpinEdit3, Qt::Key_Return);
  } else if (start == "enter edit") {
    QTest::keyClick(form_->Edit4, Qt::Key_Enter);
  } else if (start == "enter combo") {
    QTest::keyClick(form_->ComboBoxEx2->lineEdit(), Qt::Key_Return);
  } else {
    QTest::keyClick(form_->BitBtn1, Qt::Key_Return);
  }
  QVERIFY(wait_for_idle(*form_));

  // The messages: the confirmation, then the final notice that matches the
  // obtained flux shown.
  QCOMPARE(services_.shown.size(), std::size_t{2});
  QCOMPARE(services_.unanswered, 0);
  QCOMPARE(services_.shown[0].kind, ShownMessage::Kind::Box);
  QCOMPARE(services_.shown[0].caption, QStringLiteral("Lucidra"));
  QCOMPARE(services_.shown[0].text, confirmation());
  QCOMPARE(services_.shown[0].flags, kYesNoExclamation);
  const QRegularExpression fixed6(
      QStringLiteral("^\\d+%1\\d{6}$").arg(QRegularExpression::escape(QString(separator()))));
  const QString flux = form_->Label7->text();
  QVERIFY2(fixed6.match(flux).hasMatch(), qPrintable(flux));
  const double obtained = QString(flux).replace(separator(), QChar('.')).toDouble();
  QCOMPARE(services_.shown[1].kind, ShownMessage::Kind::Notice);
  QCOMPARE(services_.shown[1].caption, QStringLiteral("Lucidra LED 3.5"));
  QCOMPARE(services_.shown[1].text, obtained >= 1.0 ? kSuccess : kFailure);
  QVERIFY(services_.beeps.empty());

  // While the notice was open the writing phase was still on show.
  QVERIFY(snapshot_.taken);
  QVERIFY(snapshot_.gaugeVisible);
  QCOMPARE(snapshot_.gaugePercent, 100);
  QCOMPARE(snapshot_.status, QStringLiteral("Writing to file..."));
  QCOMPARE(snapshot_.banners, QStringList{});
  QVERIFY(!snapshot_.chartVisible);

  verify_idle_after_run(OutputFormat::Zemax);
  // The series hold the files just read, without their last pair.
  QCOMPARE(form_->Series1->count(), 90);
  QCOMPARE(form_->Series2->count(), 30);

  // The Zemax file: its header, then N + 1 lines of seven numbers.
  const QList<QByteArray> lines = file_lines(directory_->read("ray.dat"));
  QCOMPARE(lines.size(), 1 + 1001);
  QCOMPARE(lines[0], QByteArray("1000 4 \r"));
  const QRegularExpression number(QStringLiteral("^-?\\d\\.\\d{6}e[+-]\\d{2,3}$"));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
    const QList<QByteArray> fields = lines[i].chopped(1).split(' ');
    QCOMPARE(fields.size(), 7);
    for (const QByteArray& field : fields) {
      QVERIFY2(number.match(QString::fromLatin1(field)).hasMatch(), lines[i].constData());
    }
  }
}

void RunTest::enterOnAFocusedPlotButtonPlots() {
  show_window();
  QTest::keyClick(form_->Button1, Qt::Key_Return);
  QVERIFY(!form_->Chart1->isHidden());
  QVERIFY(services_.shown.empty());  // no run, no confirmation
  QVERIFY(!directory_->exists("ray.dat"));
}

void RunTest::refusedTargets_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("start");
  QTest::addColumn<QString>("question");
  QTest::newRow("ASAP")
      << "RadioButton6"
      << "Edit5"
      << "out.dis" << QByteArray("\xf7\x1c\x00\x00", 4)
      << "Write 1 001 rays, 3500 W, ASAP (dis) (experimental), equal-flux sampling, to <folder>/out.dis?";
  QTest::newRow("LightTools")
      << "RadioButton5"
      << "Edit11"
      << "out.ray" << QByteArray("LTRF\x02\x00", 6)
      << "Write 1 001 rays, 3500 W, LightTools binary, equal-flux sampling, to <folder>/out.ray?";
  QTest::newRow("TracePro") << "RadioButton1"
                            << "Edit3"
                            << "out.txt" << QByteArray("!! Source file")
                            << "Write 1 001 rays, 3500 W, TracePro, equal-flux sampling, to <folder>/out.txt?";
  QTest::newRow("Zemax") << "RadioButton2"
                         << "Edit4"
                         << "out.dat" << QByteArray("1000 4 \r\n")
                         << "Write 1 001 rays, 3500 W, Zemax text, equal-flux sampling, to <folder>/out.dat?";
}

// Each of the four target buttons writes its format (the LightTools and
// ASAP targets were refused until this version).
void RunTest::refusedTargets() {
  QFETCH(QString, button);
  QFETCH(QString, field);
  QFETCH(QString, file);
  QFETCH(QByteArray, start);
  QFETCH(QString, question);
  form_->findChild<QRadioButton*>(button)->click();
  form_->findChild<QLineEdit*>(field)->setText(file);
  services_.clear();
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{});
  question.replace(QStringLiteral("<folder>"), QDir::currentPath());
  QCOMPARE(services_.shown[0].text, question + QStringLiteral("\n\n Existing file will be overritten!!!"));
  const QByteArray bytes = directory_->read(file);
  QVERIFY2(bytes.startsWith(start), bytes.left(16).toHex().constData());
  QVERIFY(!directory_->exists("ray.dat"));
}

void RunTest::noAtTheConfirmationChangesNothing() {
  directory_->write("ray.dat", "keep me");
  form_->Button1->click();
  services_.clear();
  services_.answers = {DialogButton::No};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.texts(), QStringList{confirmation()});
  QCOMPARE(directory_->read("ray.dat"), QByteArray("keep me"));
  QVERIFY(!form_->Chart1->isHidden());
  QCOMPARE(shown_banners(*form_), QStringList{"Image2"});
  QCOMPARE(form_->Series1->count(), 92);  // the plot's own points, tails included
}

void RunTest::notifyEndBeeps() {
  form_->CheckBox1->click();
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.beeps, (std::vector<std::pair<int, int>>{{3000, 300}}));
  QCOMPARE(services_.shown.size(), std::size_t{2});  // the final notice all the same
}

void RunTest::runHidesTheChartAndKeepsTheCaption() {
  form_->Button1->click();
  QCOMPARE(form_->width(), 953);
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QVERIFY(form_->Chart1->isHidden());
  QCOMPARE(form_->Button1->text(), QStringLiteral("Plot <<"));
  QCOMPARE(form_->width(), 405);
  form_->Button1->click();  // the next press shows it again
  QVERIFY(!form_->Chart1->isHidden());
  QCOMPARE(form_->Button1->text(), QStringLiteral("Plot <<"));
}

void RunTest::traceProHeader() {
  form_->RadioButton1->click();
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{});
  verify_idle_after_run(OutputFormat::TracePro);
  const QList<QByteArray> lines = file_lines(directory_->read("ray1.txt"));
  QCOMPARE(lines.size(), 6 + 1001);
  QVERIFY(!directory_->exists("ray.dat"));
}

void RunTest::pointLimitKeepsTheHeaderOnly() {
  std::vector<double> angles, intensities;
  for (int i = 0; i < 451; ++i) {
    angles.push_back(i * 0.2);
    intensities.push_back(100);
  }
  directory_->write("horizontal.txt", distribution_bytes(angles, intensities));
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(
      services_.texts(),
      (QStringList{confirmation(), "  ERROR: \n Decrease number of points \n in longitidual file \n Maximum is 450"}));
  QCOMPARE(directory_->read("ray.dat"), QByteArray("1000 4 \r\n"));
  verify_idle_after_run(OutputFormat::Zemax);
}

void RunTest::missingDistributionFileStopsBeforeTheOutput() {
  {
    const QSignalBlocker quiet(form_->ComboBoxEx1);
    form_->ComboBoxEx1->setEditText(QStringLiteral("missing.txt"));
  }
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{"Cannot open file missing.txt."});
  QCOMPARE(services_.shown.back().caption, QStringLiteral("Lucidra LED 3.5"));
  QVERIFY(!directory_->exists("ray.dat"));
  // Back to idle: the target's banner, no status, the gauge hidden at 0;
  // the chart stays hidden.
  QCOMPARE(shown_banners(*form_), QStringList{"Image2"});
  QCOMPARE(form_->Label21->text(), QString());
  QVERIFY(form_->Chart1->isHidden());
  QVERIFY(form_->CGauge2->isHidden());
  QCOMPARE(form_->CGauge2->position(), 0);
}

// A number field that is not a number stops the run before anything is
// read or written: the previous ray file stays as it was and the window
// shows no run.
void RunTest::sizeOutOfRangeIsNamedBeforeTheConfirmation_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");
  QTest::newRow("X size zero") << "Edit10"
                               << "0"
                               << "X size (mm) is '0'; it must be greater than 0.";
  QTest::newRow("Y size negative") << "Edit9"
                                   << "-2"
                                   << "Y size (mm) is '-2'; it must be greater than 0.";
  QTest::newRow("Y size letters") << "Edit9"
                                  << "wide"
                                  << "'wide' is not a valid floating point value: Y size (mm) must be a number "
                                     "greater than 0.";
}

void RunTest::sizeOutOfRangeIsNamedBeforeTheConfirmation() {
  QFETCH(QString, field);
  QFETCH(QString, text);
  QFETCH(QString, message);
  directory_->write("ray.dat", "previous rays\r\n");
  auto* edit = form_->findChild<QLineEdit*>(field);
  // Typed and committed: the box comes at once, naming field, value and range.
  edit->setText(text);
  edit->setModified(true);
  emit edit->editingFinished();
  QCOMPARE(services_.error_texts(), QStringList{message});
  // Leaving the field again without a change asks nothing more.
  emit edit->editingFinished();
  QCOMPARE(services_.error_texts().size(), 1);
  // GENERATE names it again, and asks no question.
  services_.clear();
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.texts(), QStringList{message});
  QCOMPARE(directory_->read("ray.dat"), QByteArray("previous rays\r\n"));
}

void RunTest::badSizeStopsTheRunBeforeAnyFileIsTouched() {
  directory_->write("ray.dat", "previous rays\r\n");
  form_->Edit10->setText(QStringLiteral("abc"));
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  const QStringList errors = services_.error_texts();
  QCOMPARE(errors.size(), 1);
  QVERIFY2(errors[0].startsWith(QStringLiteral("'abc' is not a valid floating point value")), qPrintable(errors[0]));
  QVERIFY(form_->CGauge2->isHidden());
  QCOMPARE(form_->Label21->text(), QString());
  QCOMPARE(directory_->read("ray.dat"), QByteArray("previous rays\r\n"));
}

// Whichever way the window comes to read a bad table, its error box keeps
// the reader's words and says, once, which file and which line.
void RunTest::tableErrorsNameFileAndLine_data() {
  QTest::addColumn<QString>("trigger");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("expected");
  const struct {
    const char* kind;
    QByteArray bytes;
    QString words;
    QString where;
  } kinds[] = {
      {"empty file", QByteArray(), "List index out of bounds (0)", "line 1 is missing"},
      {"two lines", QByteArray("0 10 \r\n\r\n"), "List index out of bounds (2)", "line 3 is missing"},
      {"letters among the abscissae", QByteArray("0 ten 20 \r\n\r\n1 1 1 \r\n"),
       "'ten' is not a valid floating point value", "line 1, value 2"},
      {"letters among the intensities", QByteArray("0 10 20 \r\nfree text \r\n1 1 1 x \r\n"),
       "'x' is not a valid floating point value", "line 3, value 4"},
  };
  for (const char* trigger : {"run", "plot", "combo"}) {
    for (const char* file : {"horizontal.txt", "vertical.txt"}) {
      for (const auto& kind : kinds) {
        QTest::addRow("%s, %s, %s", trigger, file, kind.kind)
            << trigger << file << kind.bytes
            << kind.words + QStringLiteral("\n(distribution file %1, %2)").arg(file, kind.where);
      }
    }
  }
}

void RunTest::tableErrorsNameFileAndLine() {
  QFETCH(QString, trigger);
  QFETCH(QString, file);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, expected);
  directory_->write(file, bytes);
  if (trigger == "run") {
    services_.answers = {DialogButton::Yes};
    form_->BitBtn1->click();
    QVERIFY(wait_for_idle(*form_));
    QVERIFY(!directory_->exists("ray.dat"));
  } else if (trigger == "plot") {
    form_->Button1->click();
  } else {
    // Choosing the file again in its list redraws the chart from it.
    QComboBox* combo = file == "horizontal.txt" ? form_->ComboBoxEx1 : form_->ComboBoxEx2;
    const int index = combo->findText(file);
    QVERIFY(index >= 0);
    {
      const QSignalBlocker quiet(combo);
      combo->setCurrentIndex(-1);
    }
    combo->setCurrentIndex(index);
  }
  const QStringList errors = services_.error_texts();
  QCOMPARE(errors, QStringList{expected});
  QCOMPARE(errors.at(0).count(file), 1);
}

void RunTest::sameFileAsTheCommandLine_data() {
  QTest::addColumn<QString>("settings");
  QTest::addColumn<QStringList>("options");
  QTest::addColumn<QString>("output");
  QTest::newRow("the configuration as it stands") << "" << QStringList{} << "ray.dat";
  QTest::newRow("uniform, Lambertian, double side")
      << "uniform" << QStringList{"--algorithm", "uniform",       "--angular", "lambertian", "--na",
                                  "0.5",         "--double-side", "--balance", "30"}
      << "ray.dat";
  QTest::newRow("TracePro, elliptical, square, source flux")
      << "tracepro" << QStringList{"--format",        "tracepro",      "--shape", "elliptical", "--square",
                                   "--consider-flux", "--source-flux", "1000",    "--size-x",   "2.5"}
      << "ray1.txt";
  QTest::newRow("legacy sampling, File menu") << "legacy" << QStringList{"--legacy-sampling"} << "ray.dat";
}

// The window and the command line map their inputs onto the same run: with
// the same settings and the same clock, a freshly started window's first run
// writes the bytes the command line writes. (The Sobol sequence's state lives
// as long as the process, and the first run after start-up continues from the
// start-up state, so this compares first runs.)
void RunTest::sameFileAsTheCommandLine() {
#ifndef LUCIDRA_CLI_PATH
  QSKIP("the command-line program is not built");
#else
  QFETCH(QString, settings);
  QFETCH(QStringList, options);
  QFETCH(QString, output);
  TForm1& f = *form_;
  if (settings == "uniform") {
    f.RadioButton4->click();
    f.RadioGroup2->itemButton(0)->click();
    f.Edit6->setText(localized("0.5"));
    f.CheckBox6->click();
    f.CSpinEdit6->setValue(30);
  } else if (settings == "legacy") {
    QVERIFY(!f.LegacySampling1->isChecked());
    f.LegacySampling1->trigger();
    QVERIFY(f.settings_from_controls().legacySampling);
  } else if (settings == "tracepro") {
    f.RadioButton1->click();
    f.RadioGroup1->itemButton(1)->click();
    f.RadioButton8->click();
    f.SourceFluxEdit->setValue(1000);
    f.Edit10->setText(localized("2.5"));
  }
  process_random_state() = ProcessRandomState{};  // as in a new process
  services_.clock = 1234567890;
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{});
  const QByteArray windowFile = directory_->read(output);
  QVERIFY(windowFile.size() > 1000 * 7 * 13);

  QProcess cli;
  cli.setWorkingDirectory(directory_->path(QString()));
  cli.start(QStringLiteral(LUCIDRA_CLI_PATH), QStringList{"generate", "--config", "lucidra.cfg", "--output", "cli.out",
                                                          "--clock-seed", "1234567890", "--quiet"} +
                                                  options);
  QVERIFY(cli.waitForFinished(60000));
  QVERIFY2(cli.exitCode() == 0 || cli.exitCode() == 5, cli.readAllStandardError().constData());
  QCOMPARE(directory_->read("cli.out"), windowFile);
#endif
}

// After a run, File > Check compares the file just written with the law of
// the run's settings and shows it as points over curves, verdict on top.
// File > Check reads the file named in Source File, which need not be the
// one the last run wrote, and names it in the dialog's title.
void RunTest::checkReadsTheFileNamedInSourceFile() {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(20000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{});
  directory_->write("earlier.dat", directory_->read("ray.dat"));
  directory_->remove("ray.dat");
  f.Edit4->setText(QStringLiteral("earlier.dat"));
  QSignalSpy checked(&f, &TForm1::checkFinished);
  f.Check1->trigger();
  QVERIFY(checked.wait(30000));
  QCOMPARE(services_.error_texts(), QStringList{});
  auto* dialog = f.findChild<FarFieldDialog*>(QStringLiteral("FarFieldCheck"));
  QVERIFY(dialog != nullptr);
  QCOMPARE(dialog->windowTitle(), QStringLiteral("Far-field check – earlier.dat"));
  // A name that holds no file is reported, naming it.
  f.Edit4->setText(QStringLiteral("missing.dat"));
  f.Check1->trigger();
  QVERIFY(checked.wait(30000));
  QCOMPARE(services_.error_texts().size(), 1);
  QVERIFY2(services_.error_texts()[0].contains(QStringLiteral("missing.dat")), qPrintable(services_.error_texts()[0]));
}

void RunTest::checkShowsTheFarFieldOfTheFileJustWritten() {
  TForm1& f = *form_;
  QVERIFY(!f.Check1->isEnabled());
  f.CSpinEdit3->setValue(100000);
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(f.Check1->isEnabled());
  QSignalSpy checked(&f, &TForm1::checkFinished);
  f.Check1->trigger();
  QVERIFY(checked.wait(30000));
  QCOMPARE(services_.error_texts(), QStringList{});
  auto* dialog = f.findChild<FarFieldDialog*>(QStringLiteral("FarFieldCheck"));
  QVERIFY(dialog != nullptr);
  QChart* chart = dialog->chart_view()->chart();
  const QString verdict = dialog->findChild<QLabel*>(QStringLiteral("FarFieldVerdict"))->text();
  QVERIFY2(verdict.startsWith(QStringLiteral("PASS: largest deviation ")), qPrintable(verdict));
  // The header as read back: the Zemax text file states the count only.
  const auto* header = dialog->findChild<QLabel*>(QStringLiteral("FarFieldFile"));
  QVERIFY(header != nullptr);
  QVERIFY2(header->text().startsWith(QStringLiteral("header count: 100000; rays read: 100001\n")),
           qPrintable(header->text()));
  QCOMPARE(dialog->view_count(), 3);
  const auto* measured = chart->findChild<QScatterSeries*>(QStringLiteral("measured0"));
  const auto* expected = chart->findChild<QLineSeries*>(QStringLiteral("expected0"));
  QVERIFY(measured == nullptr || measured->count() > 0);
  for (QAbstractSeries* series : chart->series()) {
    if (series->objectName() == QStringLiteral("expected0")) {
      QCOMPARE(static_cast<QLineSeries*>(series)->count(), 45);  // 2-degree bins over 0..90
    }
  }
  Q_UNUSED(expected);
  const auto axes = chart->axes(Qt::Horizontal);
  QCOMPARE(axes.size(), 1);
  QCOMPARE(static_cast<QValueAxis*>(axes[0])->titleText(), QStringLiteral("Polar angle, degrees"));
}

LUCIDRA_QT_TEST_MAIN(RunTest)
#include "run_test.moc"
