// Files from anywhere and settings kept: typed names read on commit, Browse
// through the scripted dialogs, the lists following the working folder,
// dropped files, File > Save and Open settings, and File > Recent.

#include <QDropEvent>
#include <QLegendMarker>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "base/user_error.h"
#include "output/ray_format.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

class WindowFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void typedNameIsReadOnlyOnCommit_data();
  void typedNameIsReadOnlyOnCommit();
  void browseForDistributions_data();
  void browseForDistributions();
  void browseForTheRayFile();
  void listsFollowTheWorkingFolder();
  void droppedFileIsSelected();
  void savedSettingsComeBackAtTheNextStart();
  void openSettingsReadsAnotherFile();
  void settingsErrors();
  void badSettingsFileChangesNothing_data();
  void badSettingsFileChangesNothing();
  void formatSamplingAndUnitComeBack();
  void saveSettingsAs();
  void recentRayFiles();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void WindowFilesTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  form_ = started_window(services_);
}

void WindowFilesTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

void WindowFilesTest::typedNameIsReadOnlyOnCommit_data() {
  QTest::addColumn<QString>("commit");
  QTest::newRow("Enter") << "enter";
  QTest::newRow("leaving the field") << "focus out";
}

void WindowFilesTest::typedNameIsReadOnlyOnCommit() {
  QFETCH(QString, commit);
  TForm1& f = *form_;
  f.Button1->click();  // the chart shows what the lists name
  services_.clear();
  QLineEdit* edit = f.ComboBoxEx1->lineEdit();
  edit->clear();
  for (const QChar c : QStringLiteral("missing")) {
    QTest::keyClicks(edit, QString(c));
    QVERIFY2(services_.shown.empty(), qPrintable(edit->text()));
  }
  QCOMPARE(f.Series1->count(), 92);  // still the chart of horizontal.txt
  if (commit == "enter") {
    QTest::keyClick(edit, Qt::Key_Return);
  } else {
    emit edit->editingFinished();  // what QLineEdit emits when it loses the focus
  }
  QCOMPARE(services_.texts(), QStringList{"Cannot open file missing."});  // no run asked for
  QCOMPARE(f.Series1->count(), 0);
  // A name typed back to an existing file reads it on commit, without a box.
  services_.clear();
  edit->clear();
  QTest::keyClicks(edit, QStringLiteral("vertical.txt"));
  emit edit->editingFinished();
  QVERIFY(services_.shown.empty());
  QCOMPARE(f.Series1->count(), 30);
  QVERIFY(f.Chart1->chart()->legend()->markers(f.Series1).front()->label().endsWith("vertical.txt"));
}

void WindowFilesTest::browseForDistributions_data() {
  QTest::addColumn<bool>("elsewhere");
  QTest::addColumn<bool>("cancelled");
  QTest::newRow("working folder: the name alone") << false << false;
  QTest::newRow("another folder: the full path") << true << false;
  QTest::newRow("cancelled: nothing changes") << false << true;
}

void WindowFilesTest::browseForDistributions() {
  QFETCH(bool, elsewhere);
  QFETCH(bool, cancelled);
  TForm1& f = *form_;
  QTemporaryDir other;
  const QByteArray curve = distribution_bytes({0, 45, 90}, {100, 70, 0});
  QString chosen = directory_->path("chosen.txt");
  if (elsewhere) chosen = other.filePath(QStringLiteral("chosen.txt"));
  QFile file(chosen);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(curve) == curve.size());
  file.close();
  if (!cancelled) services_.fileAnswers = {chosen};
  QTest::mouseClick(f.BrowseTransversalButton, Qt::LeftButton);
  QCOMPARE(services_.fileDialogs.size(), std::size_t{1});
  QCOMPARE(QDir(services_.fileDialogs[0].folder), QDir(directory_->path(QString())));
  QVERIFY(services_.fileDialogs[0].filter.contains("*.txt"));
  QVERIFY(!services_.fileDialogs[0].save);
  QCOMPARE(services_.error_texts(), QStringList{});
  if (cancelled) {
    QCOMPARE(f.ComboBoxEx2->currentText(), QStringLiteral("vertical.txt"));
    return;
  }
  QCOMPARE(f.ComboBoxEx2->currentText(), elsewhere ? chosen : QStringLiteral("chosen.txt"));
  QCOMPARE(f.Series2->count(), 2);  // read at once
  QCOMPARE(f.settings_from_controls().transversalFile, from_qt(f.ComboBoxEx2->currentText()));
}

void WindowFilesTest::browseForTheRayFile() {
  TForm1& f = *form_;
  QTemporaryDir other;
  const QString target = other.filePath(QStringLiteral("far away.dat"));
  services_.fileAnswers = {target};
  f.output()->BrowseOutputButton->click();
  QCOMPARE(services_.fileDialogs.size(), std::size_t{1});
  QVERIFY(services_.fileDialogs[0].save);
  QCOMPARE(services_.fileDialogs[0].folder, directory_->path(QStringLiteral("ray.dat")));
  QCOMPARE(f.Edit4->text(), QDir::toNativeSeparators(target));
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(QFile::exists(target));
  f.RadioButton1->click();  // Browse names the selected target's file
  services_.fileAnswers = {other.filePath(QStringLiteral("t.txt"))};
  f.output()->BrowseOutputButton->click();
  QCOMPARE(f.Edit3->text(), QDir::toNativeSeparators(other.filePath(QStringLiteral("t.txt"))));
  QCOMPARE(f.Edit4->text(), QDir::toNativeSeparators(target));
}

void WindowFilesTest::listsFollowTheWorkingFolder() {
  TForm1& f = *form_;
  QCOMPARE(f.ComboBoxEx1->findText("later.txt"), -1);
  directory_->write("later.txt", distribution_bytes({0, 10}, {1, 0}));
  directory_->write("notes.dat", "not a list entry");
  QTRY_VERIFY(f.ComboBoxEx1->findText("later.txt") >= 0 && f.ComboBoxEx2->findText("later.txt") >= 0);
  QCOMPARE(f.ComboBoxEx1->findText("notes.dat"), -1);
  QCOMPARE(f.ComboBoxEx1->currentText(), QStringLiteral("horizontal.txt"));  // the choice stays
  directory_->remove("later.txt");
  QTRY_COMPARE(f.ComboBoxEx2->findText("later.txt"), -1);
  QCOMPARE(f.ComboBoxEx2->currentText(), QStringLiteral("vertical.txt"));
  QVERIFY(services_.shown.empty());
}

void WindowFilesTest::droppedFileIsSelected() {
  TForm1& f = *form_;
  QTemporaryDir other;
  const QString dropped = other.filePath(QStringLiteral("dropped.txt"));
  QFile file(dropped);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(distribution_bytes({0, 5, 10, 15}, {9, 8, 7, 0}));
  file.close();
  struct Case {
    QString path;
    bool accepted;
  };
  for (const Case& c : {Case{other.filePath("picture.png"), false}, Case{dropped, true}}) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(c.path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.ComboBoxEx1, &enter);
    QCOMPARE(enter.isAccepted(), c.accepted);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.ComboBoxEx1, &drop);
    QCOMPARE(f.ComboBoxEx1->currentText(), c.accepted ? dropped : QStringLiteral("horizontal.txt"));
  }
  QCOMPARE(f.Series1->count(), 3);
  QVERIFY(services_.shown.empty());
}

void WindowFilesTest::savedSettingsComeBackAtTheNextStart() {
  TForm1& f = *form_;
  f.Edit3->setText(QStringLiteral("trace out.txt"));
  f.Edit4->setText(QStringLiteral("zemax out.dat"));
  f.ComboBoxEx1->setEditText(QStringLiteral("vertical.txt"));
  f.ComboBoxEx2->setEditText(QStringLiteral("horizontal.txt"));
  f.CSpinEdit3->setValue(123456);
  f.CheckBox2->click();
  f.CSpinEdit5->setValue(777);
  f.CSpinEdit4->setValue(180);
  f.RadioGroup2->itemButton(0)->click();
  f.Edit6->setText(localized("0.35"));
  f.Edit9->setText(localized("1.5"));
  f.Edit10->setText(localized("2.25"));
  f.SaveSettingsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{});
  const QStringList names{"Edit3",      "Edit4", "ComboBoxEx1", "ComboBoxEx2", "CSpinEdit3", "CSpinEdit5",
                          "CSpinEdit4", "Edit6", "Edit8",       "Edit9",       "Edit10"};
  QStringList saved;
  for (const QString& name : names) saved << control_text(f, name);
  form_.reset();

  ScriptedServices again;
  auto restarted = started_window(again);
  QCOMPARE(again.error_texts(), QStringList{});
  for (qsizetype i = 0; i < names.size(); ++i) {
    QCOMPARE(control_text(*restarted, names[i]), saved[i]);
  }
  QCOMPARE(control_text(*restarted, "CSpinEdit3"), QStringLiteral("123456"));
  QCOMPARE(control_text(*restarted, "Edit6"), localized("0.35"));
}

void WindowFilesTest::openSettingsReadsAnotherFile() {
  TForm1& f = *form_;
  QStringList lines = standard_config_lines();
  lines[4] = QStringLiteral("4242");
  lines[14] = localized("3.5");
  directory_->write("other.cfg", config_bytes(lines, "\n"));
  services_.fileAnswers = {directory_->path("other.cfg")};
  f.OpenSettingsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(services_.fileDialogs.at(0).filter.contains("*.cfg"));
  QCOMPARE(f.CSpinEdit3->spinText(), QStringLiteral("4242"));
  QCOMPARE(f.Edit10->text(), localized("3.5"));
}

void WindowFilesTest::settingsErrors() {
  TForm1& f = *form_;
  // Opening: the reader's own words, as at start-up.
  directory_->write("short.cfg", config_bytes({"a.txt", "b.dat"}));
  services_.fileAnswers = {directory_->path("short.cfg")};
  f.OpenSettingsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{"Settings file " + directory_->path("short.cfg") +
                                                " has 2 lines; line 3 (first distribution) is missing."});
  services_.clear();
  services_.fileAnswers = {directory_->path("gone.cfg")};
  f.OpenSettingsAction->trigger();
  QCOMPARE(services_.error_texts(),
           QStringList{QStringLiteral("Cannot open file %1.").arg(directory_->path("gone.cfg"))});
  // Saving where no file can be written.
  services_.clear();
  QVERIFY_THROWS_EXCEPTION(UserError, f.save_settings(directory_->path("no-folder/lucidra.cfg")));
  directory_->remove("lucidra.cfg");
  QVERIFY(QDir().mkdir(directory_->path("lucidra.cfg")));  // a folder where the file goes
  f.SaveSettingsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{"Cannot create file " + directory_->path("lucidra.cfg") + "."});
}

void WindowFilesTest::recentRayFiles() {
  TForm1& f = *form_;
  QVERIFY(!f.RecentMenu->isEnabled());
  for (const char* name : {"one.dat", "two.dat", "one.dat"}) {
    f.Edit4->setText(QString::fromLatin1(name));
    services_.answers = {DialogButton::Yes};
    f.BitBtn1->click();
    QVERIFY(wait_for_idle(f));
  }
  const QStringList expected{directory_->path("one.dat"), directory_->path("two.dat")};
  QCOMPARE(f.recent_ray_files(), expected);
  QVERIFY(f.RecentMenu->isEnabled());
  QCOMPARE(f.RecentMenu->actions().size(), 2);
  f.RecentMenu->actions()[1]->trigger();
  QCOMPARE(f.Edit4->text(), QDir::toNativeSeparators(expected[1]));
  // Remembered for the next window.
  form_.reset();
  ScriptedServices again;
  auto restarted = started_window(again);
  QCOMPARE(restarted->RecentMenu->actions().size(), 2);
}

namespace {

// What every setting a file can hold shows, to compare before and after.
QStringList every_setting(const TForm1& f) {
  QStringList shown;
  for (const char* name : {"Edit3", "Edit4", "ComboBoxEx1", "ComboBoxEx2", "CSpinEdit3", "CSpinEdit5", "CSpinEdit4",
                           "Edit6", "Edit8", "Edit9", "Edit10"}) {
    shown << control_text(f, name);
  }
  shown << f.FormatBox->currentText() << f.FluxUnitBox->currentText() << QString::number(f.LegacySampling1->isChecked())
        << QString::number(f.WeightedSampling1->isChecked());
  return shown;
}

}  // namespace

void WindowFilesTest::badSettingsFileChangesNothing_data() {
  QTest::addColumn<int>("line");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");
  // Each fault sits after lines that would change the controls; none may.
  QTest::newRow("rays") << 5 << "many"
                        << "line 5 (rays): 'many' is not a valid integer value.";
  QTest::newRow("extent") << 9 << ""
                          << "line 9 (extent about Z): '' is not a valid integer value.";
  QTest::newRow("NA") << 11 << "wide"
                      << "line 11 (NA): 'wide' is not a valid floating point value.";
  QTest::newRow("NA empty") << 11 << ""
                            << "line 11 (NA): it is empty.";
  QTest::newRow("Y size zero") << 14 << "0"
                               << "line 14 (Y size): '0' is not above 0.";
  QTest::newRow("X size negative") << 15 << "-1"
                                   << "line 15 (X size): '-1' is not above 0.";
  QTest::newRow("X size letters") << 15 << "x"
                                  << "line 15 (X size): 'x' is not a valid floating point value.";
  QTest::newRow("format") << 16 << "format=bmp"
                          << "line 16 (format): 'bmp' is not one of " + QString::fromStdString(ray_format_names()) +
                                 ".";
  QTest::newRow("sampling") << 17 << "sampling=fast"
                            << "line 17 (sampling): 'fast' is not equal flux, weighted or legacy.";
  QTest::newRow("flux unit") << 18 << "flux unit=cd"
                             << "line 18 (flux unit): 'cd' is not W or lm.";
}

void WindowFilesTest::badSettingsFileChangesNothing() {
  QFETCH(int, line);
  QFETCH(QString, text);
  QFETCH(QString, message);
  TForm1& f = *form_;
  const QStringList before = every_setting(f);
  QStringList lines = standard_config_lines();
  lines[0] = QStringLiteral("changed.txt");
  lines[4] = QStringLiteral("777");
  lines << QStringLiteral("format=zemax-binary") << QStringLiteral("sampling=weighted")
        << QStringLiteral("flux unit=lm");
  lines[line - 1] = text;
  directory_->write("bad.cfg", config_bytes(lines));
  services_.fileAnswers = {directory_->path("bad.cfg")};
  f.OpenSettingsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{"Settings file " + directory_->path("bad.cfg") + ", " + message});
  QCOMPARE(every_setting(f), before);
}

void WindowFilesTest::formatSamplingAndUnitComeBack() {
  TForm1& f = *form_;
  QVERIFY2(f.Image2->text().contains(QStringLiteral("equal-flux sampling")), qPrintable(f.Image2->text()));
  f.ZemaxBinaryAction->trigger();
  f.WeightedSampling1->trigger();
  f.FluxUnitBox->setCurrentIndex(1);
  // The banner names the format and the sampling mode the run will use.
  QVERIFY2(f.Image2->text().contains(QStringLiteral("Zemax binary")) &&
               f.Image2->text().contains(QStringLiteral("weighted sampling")),
           qPrintable(f.Image2->text()));
  f.SaveSettingsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{});
  const QByteArray saved = directory_->read("lucidra.cfg");
  QVERIFY(saved.endsWith(
      "\r\nformat=zemax-binary\r\nsampling=weighted\r\nflux unit=lm\r\nspectrum=none\r\nwavelength=555\r\n"));
  // The command line and older versions read the first fifteen lines only.
  QCOMPARE(saved.count("\r\n"), 20);
  const QStringList shown = every_setting(f);
  form_.reset();

  ScriptedServices again;
  auto restarted = started_window(again);
  QCOMPARE(again.error_texts(), QStringList{});
  QCOMPARE(every_setting(*restarted), shown);
  QVERIFY(restarted->WeightedSampling1->isChecked());
  QCOMPARE(restarted->FormatBox->currentData().toInt(), static_cast<int>(OutputFormat::ZemaxBinary));

  // A file of fifteen lines, as every older version wrote, keeps the choices.
  QStringList older = standard_config_lines();
  older[4] = QStringLiteral("5555");
  directory_->write("older.cfg", config_bytes(older));
  again.fileAnswers = {directory_->path("older.cfg")};
  restarted->OpenSettingsAction->trigger();
  QCOMPARE(again.error_texts(), QStringList{});
  QCOMPARE(restarted->CSpinEdit3->value(), 5555);
  QVERIFY(restarted->WeightedSampling1->isChecked());
  QCOMPARE(restarted->FluxUnitBox->currentIndex(), 1);
}

void WindowFilesTest::saveSettingsAs() {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(4321);
  services_.fileAnswers = {directory_->path("elsewhere")};
  f.SaveSettingsAsAction->trigger();
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(services_.fileDialogs.at(0).save);
  QVERIFY(services_.fileDialogs.at(0).filter.contains("*.cfg"));
  // The name gets the settings extension; lucidra.cfg is not touched.
  QVERIFY(directory_->exists("elsewhere.cfg"));
  QVERIFY(directory_->read("elsewhere.cfg").contains("\r\n4321\r\n"));
  QVERIFY(!directory_->read("lucidra.cfg").contains("4321"));
  // Cancelled: nothing written.
  services_.clear();
  directory_->remove("elsewhere.cfg");
  f.SaveSettingsAsAction->trigger();
  QVERIFY(!directory_->exists("elsewhere.cfg"));
  QCOMPARE(services_.shown.size(), std::size_t{0});
}

LUCIDRA_QT_TEST_MAIN(WindowFilesTest)
#include "window_files_test.moc"
