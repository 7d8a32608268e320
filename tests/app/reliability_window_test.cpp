// The window loses nothing: a ray file aimed at one of its inputs is
// refused, a stop asked for by the system leaves no temporary file, a faulty
// configuration or a corrupt remembered size does not cripple the window.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QScreen>
#include <QSettings>

#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

QStringList listing() {
  return QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

const QByteArray kPrevious = "previous ray file\r\n";

}  // namespace

class ReliabilityWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void rayFileOverAnInputIsRefused_data();
  void rayFileOverAnInputIsRefused();
  void stopForSignalLeavesTheFolderAsItWas();
  void faultyConfigurationStillStartsTheWindow();
  void corruptRememberedSizeStaysOnTheScreen();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void ReliabilityWindowTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
}

void ReliabilityWindowTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

void ReliabilityWindowTest::rayFileOverAnInputIsRefused_data() {
  QTest::addColumn<QString>("output");
  QTest::addColumn<QString>("role");
  QTest::addColumn<QString>("input");
  QTest::newRow("distribution file") << "horizontal.txt"
                                     << "distribution file"
                                     << "horizontal.txt";
  QTest::newRow("second distribution file") << "vertical.txt"
                                            << "distribution file"
                                            << "vertical.txt";
  QTest::newRow("settings file") << "lucidra.cfg"
                                 << "settings file" << QDir::current().filePath("lucidra.cfg");
  // A link is followed: the file it names is the input.
  QTest::newRow("link to a distribution file") << "link.txt"
                                               << "distribution file"
                                               << "horizontal.txt";
  QTest::newRow("the program itself") << "<program>"
                                      << "program"
                                      << "<program>";
  QTest::newRow("photometric file") << "source.ies"
                                    << "photometric file"
                                    << "source.ies";
}

void ReliabilityWindowTest::rayFileOverAnInputIsRefused() {
  QFETCH(QString, output);
  QFETCH(QString, role);
  QFETCH(QString, input);
  form_ = started_window(services_);
  if (role == "settings file") input = QDir::current().filePath("lucidra.cfg");
  if (role == "program") output = input = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
  if (output == "link.txt") QVERIFY(QFile::link(directory_->path("horizontal.txt"), directory_->path("link.txt")));
  if (role == "photometric file") {
    // A one-plane IES file of a flat 1000 cd over the lower hemisphere.
    QByteArray ies = "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 -1 1 19 1 1 2 0 0 0\r\n1 1 0\r\n";
    for (int k = 0; k <= 18; ++k) ies += QByteArray::number(k * 5) + " ";
    ies += "\r\n0\r\n";
    for (int k = 0; k <= 18; ++k) ies += "1000 ";
    directory_->write(output, ies + "\r\n");
    services_.fileAnswers = {directory_->path(output)};
    form_->BrowsePhotometricButton->click();
    QVERIFY(wait_for_idle(*form_));
    QCOMPARE(services_.error_texts(), QStringList{});
    services_.clear();
  }
  const QByteArray before = directory_->read(output);
  const QStringList names = listing();
  form_->Edit4->setText(output);
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(wait_for_idle(*form_));
  QCOMPARE(services_.error_texts(), QStringList{"The ray file " + output + " is the " + role + " " + input +
                                                ", which it would overwrite; choose another output name."});
  QCOMPARE(directory_->read(output), before);
  QCOMPARE(listing(), names);
}

void ReliabilityWindowTest::stopForSignalLeavesTheFolderAsItWas() {
  form_ = started_window(services_);
  directory_->write("ray.dat", kPrevious);
  const QStringList names = listing();
  form_->CSpinEdit3->setValue(100000000);
  services_.answers = {DialogButton::Yes};
  form_->BitBtn1->click();
  QVERIFY(form_->run_in_progress());
  // The run is writing its temporary file when the signal comes.
  QVERIFY(QTest::qWaitFor([&] { return listing().size() > names.size(); }, 10000));
  form_->stop_for_signal();
  QVERIFY(!form_->run_in_progress());
  QCOMPARE(listing(), names);
  QCOMPARE(directory_->read("ray.dat"), kPrevious);
}

void ReliabilityWindowTest::faultyConfigurationStillStartsTheWindow() {
  QStringList lines = standard_config_lines();
  lines[4] = "many";  // the ray count is not a number
  directory_->write("lucidra.cfg", config_bytes(lines));
  form_ = started_window(services_);
  // started_window clears the start-up messages: start once more to see them.
  services_.clear();
  form_ = std::make_unique<TForm1>(services_);
  form_->FormCreate();
  QCOMPARE(services_.error_texts(),
           QStringList{"Settings file lucidra.cfg, line 5 (rays): 'many' is not a valid integer value."});
  // Nothing of the file is applied, not even the lines before the bad one;
  // the rest of the start-up happens.
  QCOMPARE(form_->Edit4->text(), QString("zemax_rays.dat"));
  QCOMPARE(form_->ComboBoxEx1->currentText(), QString());
  QVERIFY(form_->FileListBox1->count() >= 2);
  QVERIFY(form_->CheckBox3->isChecked());
  auto* watcher = form_->findChild<QFileSystemWatcher*>("FolderWatcher");
  QVERIFY(watcher != nullptr);
  QCOMPARE(watcher->directories(), QStringList{QDir::currentPath()});
}

void ReliabilityWindowTest::corruptRememberedSizeStaysOnTheScreen() {
  QSettings().setValue("window/chartShownSize", QSize(4000000, 3000000));
  form_ = started_window(services_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  form_->Button1->click();  // Plot >>
  QTest::qWait(50);
  const QSize screen = form_->screen()->availableGeometry().size();
  QVERIFY2(
      form_->width() <= std::max(screen.width(), form_->minimumWidth()) &&
          form_->height() <= std::max(screen.height(), form_->minimumHeight()),
      qPrintable(
          QString("%1x%2 on %3x%4").arg(form_->width()).arg(form_->height()).arg(screen.width()).arg(screen.height())));
  QVERIFY(form_->Chart1->isVisible());
}

LUCIDRA_QT_TEST_MAIN(ReliabilityWindowTest)
#include "reliability_window_test.moc"
