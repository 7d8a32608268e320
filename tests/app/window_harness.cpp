#include "window_harness.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <cmath>
#include <numbers>

#include "app/spin_edit.h"
#include "distributions/number_text.h"

namespace lucidra::app::test {

TestDirectory::TestDirectory() : previous_(QDir::currentPath()) {
  if (!dir_.isValid() || !QDir::setCurrent(dir_.path())) {
    qFatal("cannot create and enter a temporary working directory");
  }
  QSettings().clear();  // what the window remembers (size, recent files) starts empty
}

TestDirectory::~TestDirectory() { QDir::setCurrent(previous_); }

void TestDirectory::write(const QString& name, const QByteArray& bytes) const {
  QFile file(path(name));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    qFatal("cannot write test file %s", qPrintable(path(name)));
  }
}

QByteArray TestDirectory::read(const QString& name) const {
  QFile file(path(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void TestDirectory::remove(const QString& name) const { QFile::remove(path(name)); }

bool TestDirectory::exists(const QString& name) const { return QFile::exists(path(name)); }

QString TestDirectory::path(const QString& name) const { return dir_.filePath(name); }

QChar separator() { return QChar::fromLatin1(locale_decimal_separator()); }

QString localized(QString pointText) { return pointText.replace(QChar('.'), separator()); }

QStringList standard_config_lines() {
  return {QStringLiteral("ray1.txt"),
          QStringLiteral("ray.dat"),
          QStringLiteral("horizontal.txt"),
          QStringLiteral("vertical.txt"),
          QStringLiteral("1000"),
          QStringLiteral("3500"),
          QString(),
          QString(),
          QStringLiteral("360"),
          QString(),
          QStringLiteral("0"),
          QString(),
          QStringLiteral("0"),
          QStringLiteral("1"),
          QStringLiteral("1")};
}

QByteArray config_bytes(const QStringList& lines, const char* lineEnd) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += line.toLocal8Bit() + lineEnd;
  return bytes;
}

QByteArray distribution_bytes(const std::vector<double>& angles, const std::vector<double>& intensities) {
  const auto line = [](const std::vector<double>& values) {
    QByteArray bytes;
    for (double value : values) bytes += localized(QString::number(value, 'g', 12)).toLatin1() + ' ';
    return bytes;
  };
  return line(angles) + "\r\nrelative intensity, %\r\n" + line(intensities) + "\r\n";
}

void write_standard_files(const TestDirectory& directory) {
  directory.write(QStringLiteral("lucidra.cfg"), config_bytes(standard_config_lines()));
  std::vector<double> wideAngles, wideIntensities, narrowAngles, narrowIntensities;
  for (int degrees = 0; degrees <= 90; ++degrees) {
    wideAngles.push_back(degrees);
    wideIntensities.push_back(100.0 * std::cos(degrees * std::numbers::pi / 180.0));
  }
  for (int degrees = 0; degrees <= 30; ++degrees) {
    narrowAngles.push_back(degrees);
    narrowIntensities.push_back(100.0 - degrees * 100.0 / 30.0);
  }
  directory.write(QStringLiteral("horizontal.txt"), distribution_bytes(wideAngles, wideIntensities));
  directory.write(QStringLiteral("vertical.txt"), distribution_bytes(narrowAngles, narrowIntensities));
}

std::unique_ptr<TForm1> started_window(ScriptedServices& services) {
  auto form = std::make_unique<TForm1>(services);
  form->FormCreate();
  services.clear();
  return form;
}

bool wait_for_idle(TForm1& form, int timeoutMs) {
  return QTest::qWaitFor([&form] { return !form.run_in_progress() && !form.import_in_progress(); }, timeoutMs);
}

QString control_text(const TForm1& form, const QString& objectName) {
  QObject* control = form.findChild<QObject*>(objectName);
  if (auto* spin = qobject_cast<SpinEdit*>(control)) return spin->spinText();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  qFatal("no control named %s", qPrintable(objectName));
}

int run_qt_test(QObject& testObject, int argc, char** argv) {
  // Qt takes LC_ALL from the environment; repeat it in case a platform
  // plugin reset LC_NUMERIC.
  std::setlocale(LC_ALL, "");
  const QByteArray wanted = qgetenv("LUCIDRA_TEST_SEPARATOR");
  if (!wanted.isEmpty() && wanted.at(0) != locale_decimal_separator()) {
    std::fprintf(stderr,
                 "SKIPPED: the locale '%s' is not installed, so the decimal separator '%c' "
                 "cannot be tested (Debian: install 'locales' and generate it with locale-gen)\n",
                 qgetenv("LC_ALL").constData(), wanted.at(0));
    return 77;
  }
  // What the window remembers goes to a private folder, never the user's.
  static QTemporaryDir settingsFolder;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
  QCoreApplication::setOrganizationName(QStringLiteral("LucidraTests"));
  return QTest::qExec(&testObject, argc, argv);
}

}  // namespace lucidra::app::test
