// Lucidra LED desktop program: the freeware notice, the main window, the
// event loop.

#include <QApplication>
#include <QSocketNotifier>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/desktop_services.h"
#include "app/main_window.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

// Recorded for the Help menu of older releases; nothing opens it.
constexpr const char* kHelpFile = "C:\\Program Files\\Zireru Zivuzezezov\\RIZI 6.21.0\\hlp\\RIZI-FAQ.chm";

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

#ifndef _WIN32
// SIGTERM, SIGINT and SIGHUP reach the window through a socket, so that the
// stop happens on its thread: the first one stops a run (which removes its
// temporary file) and ends the program with 128 + the signal; the ones after
// it change nothing.
int g_signalSocket[2] = {-1, -1};
volatile std::sig_atomic_t g_firstSignal = 0;

extern "C" void on_end_signal(int signal) {
  if (g_firstSignal != 0) return;
  g_firstSignal = signal;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[1], &byte, 1);
}

void end_on_signals(lucidra::app::TForm1& form) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSocket) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalSocket[0], QSocketNotifier::Read, &form);
  QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form, notifier] {
    notifier->setEnabled(false);
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_signalSocket[0], &byte, 1);
    form.stop_for_signal();
    QApplication::exit(128 + g_firstSignal);
  });
  struct sigaction action {};
  action.sa_handler = on_end_signal;
  sigfillset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
  if (!has_environment("DISPLAY") && !has_environment("WAYLAND_DISPLAY") && !has_environment("QT_QPA_PLATFORM")) {
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
  int exitCode = 0;
  try {
    lucidra::app::TForm1 form(services);
    services.set_parent(&form);
#ifndef _WIN32
    end_on_signals(form);
#endif
    form.FormCreate();
#ifndef _WIN32
    // A signal during the start-up's notice has ended that notice's loop.
    if (g_firstSignal != 0) return 128 + g_firstSignal;
#endif
    form.show();
    exitCode = application.exec();
  } catch (const std::exception& error) {
    services.set_parent(nullptr);
    services.show_error(lucidra::app::error_box_text(QString::fromLocal8Bit(error.what())));
  }
  return exitCode;
}
