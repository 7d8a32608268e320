// Lucidra LED desktop program: the freeware notice, the main window, the
// event loop.

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/desktop_services.h"
#include "app/main_window.h"

namespace {

// Recorded for the Help menu of older releases; nothing opens it.
constexpr const char* kHelpFile =
    "C:\\Program Files\\Zireru Zivuzezezov\\RIZI 6.21.0\\hlp\\RIZI-FAQ.chm";

bool has_environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Qt ends the process with an abort when it cannot reach the window system;
// a user deserves a sentence instead of a core dump.
void report_fatal_start_message(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(message));
  if (type == QtFatalMsg) {
    std::fprintf(stderr,
                 "lucidra: cannot open the window: the display could not be reached "
                 "(DISPLAY=%s).\n",
                 has_environment("DISPLAY") ? std::getenv("DISPLAY") : "");
    std::_Exit(1);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!has_environment("DISPLAY") && !has_environment("WAYLAND_DISPLAY") &&
      !has_environment("QT_QPA_PLATFORM")) {
    std::fprintf(stderr,
                 "lucidra: no display available: DISPLAY and WAYLAND_DISPLAY are not set.\n"
                 "Run Lucidra LED from a desktop session, or under a virtual display "
                 "(for example: xvfb-run lucidra).\n");
    return 1;
  }

  const QtMessageHandler previousHandler = qInstallMessageHandler(report_fatal_start_message);
  QApplication application(argc, argv);
  qInstallMessageHandler(previousHandler);

  // Numbers in the fields and the distribution files use the user's decimal
  // separator. QApplication already takes the locale from the environment;
  // this makes sure LC_NUMERIC does not stay at "C" whatever Qt does.
  std::setlocale(LC_ALL, "");

  QApplication::setApplicationName(QString::fromLatin1(lucidra::app::kApplicationTitle));
  application.setProperty("helpFile", QString::fromLatin1(kHelpFile));

  lucidra::app::QtDesktopServices services;
  try {
    lucidra::app::TForm1 form(services);
    services.set_parent(&form);
    form.FormCreate();
    form.show();
    application.exec();
  } catch (const std::exception& error) {
    services.set_parent(nullptr);
    services.show_error(lucidra::app::error_box_text(QString::fromLocal8Bit(error.what())));
  }
  return 0;
}
