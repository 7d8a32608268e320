#include "app/desktop_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <ctime>

namespace lucidra::app {

QString error_box_text(const QString& text) {
  if (!text.isEmpty() && text.back() > QChar('.')) return text + QChar('.');
  return text;
}

namespace {

QMessageBox::Icon icon_of(unsigned flags) {
  switch (flags & 0xF0u) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case message_flags::IconExclamation: return QMessageBox::Warning;
    case message_flags::IconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// Plain text only: some messages hold angle brackets ("<User defined>").
int exec_box(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
             QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, caption, text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

}  // namespace

DialogButton QtDesktopServices::message_box(const QString& caption, const QString& text, unsigned flags) {
  if ((flags & 0x0Fu) == message_flags::YesNo) {
    const int pressed = exec_box(parent_, icon_of(flags), caption, text, QMessageBox::Yes | QMessageBox::No);
    return pressed == QMessageBox::Yes ? DialogButton::Yes : DialogButton::No;
  }
  exec_box(parent_, icon_of(flags), caption, text, QMessageBox::Ok);
  return DialogButton::Ok;
}

void QtDesktopServices::show_message(const QString& text) {
  exec_box(parent_, QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok);
}

void QtDesktopServices::show_error(const QString& text) {
  exec_box(parent_, QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok);
}

// A tone of a chosen pitch needs the console speaker, which a desktop session
// does not hand to programs; the window system's bell is the portable signal.
void QtDesktopServices::beep(int /*frequencyHz*/, int /*durationMs*/) { QApplication::beep(); }

std::int64_t QtDesktopServices::clock_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

QString QtDesktopServices::open_file_name(const QString& caption, const QString& folder, const QString& filter) {
  return QFileDialog::getOpenFileName(parent_, caption, folder, filter);
}

QString QtDesktopServices::save_file_name(const QString& caption, const QString& folder, const QString& filter) {
  return QFileDialog::getSaveFileName(parent_, caption, folder, filter);
}

bool QtDesktopServices::open_url(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace lucidra::app
