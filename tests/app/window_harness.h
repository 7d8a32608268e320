#pragma once
// What the window suites share: a private working directory holding the
// configuration and distribution files, a started window, the locale's
// separator, and a main() that runs a Qt Test object under the locale the
// test run asks for.

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/gauge.h"
#include "app/main_window.h"
#include "app/radio_group.h"
#include "app/spin_edit.h"
#include "scripted_services.h"

namespace lucidra::app::test {

// A fresh temporary directory that is the working directory while it lives.
class TestDirectory {
 public:
  TestDirectory();
  ~TestDirectory();
  TestDirectory(const TestDirectory&) = delete;
  TestDirectory& operator=(const TestDirectory&) = delete;

  void write(const QString& name, const QByteArray& bytes) const;
  QByteArray read(const QString& name) const;
  void remove(const QString& name) const;
  bool exists(const QString& name) const;
  QString path(const QString& name) const;

 private:
  QTemporaryDir dir_;
  QString previous_;
};

// The locale's decimal separator, and a decimal-point text rewritten with it.
QChar separator();
QString localized(QString pointText);

// Fifteen configuration lines: ray files "ray1.txt" and "ray.dat",
// distributions "horizontal.txt" and "vertical.txt", 1000 rays.
QStringList standard_config_lines();
QByteArray config_bytes(const QStringList& lines, const char* lineEnd = "\r\n");

// A distribution file: the abscissae, a free second line, the intensities,
// every value (written with the locale's separator) followed by one space.
QByteArray distribution_bytes(const std::vector<double>& angles, const std::vector<double>& intensities);

// The standard configuration and its two distribution files (a 91-point
// falling curve and a 31-point narrow one).
void write_standard_files(const TestDirectory& directory);

// A window created and started (notice, configuration, lists, LED mode); the
// start-up's messages are cleared from `services`.
std::unique_ptr<TForm1> started_window(ScriptedServices& services);

// Waits until a run (or an import) started from the window has ended and
// the window is idle again (at once when no run works); false after `timeoutMs`.
bool wait_for_idle(TForm1& form, int timeoutMs = 120000);

// The text a control shows, whatever its kind (line edit, spin, combo, label,
// button).
QString control_text(const TForm1& form, const QString& objectName);

// Runs `TestObject` under the locale of the environment (LC_ALL). Exits with
// 77 (reported as skipped) when the run asks for a separator
// (LUCIDRA_TEST_SEPARATOR) that the installed locales cannot give.
int run_qt_test(QObject& testObject, int argc, char** argv);

}  // namespace lucidra::app::test

#define LUCIDRA_QT_TEST_MAIN(TestClass)                                                          \
  int main(int argc, char** argv) {                                                              \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication application(argc, argv);                                                        \
    TestClass testObject;                                                                        \
    return lucidra::app::test::run_qt_test(testObject, argc, argv);                              \
  }
