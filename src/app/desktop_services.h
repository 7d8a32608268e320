#pragma once
// The parts of the window system that a test cannot observe or answer by
// looking at widgets: modal message boxes, file dialogs, opening a page in
// the user's browser, the beep and the clock. The window
// and its run go through this one seam; the program uses the Qt implementation
// and the tests a scripted one.

#include <QString>
#include <QUrl>
#include <cstdint>

#include "app/run_front_end.h"
#include "lucidra/version.h"

class QWidget;

namespace lucidra {

// Message-box flags and answers, with the values the users' platform gives them.
namespace message_flags {
inline constexpr unsigned Ok = 0x00;
inline constexpr unsigned YesNo = 0x04;
inline constexpr unsigned IconExclamation = 0x30;
inline constexpr unsigned IconInformation = 0x40;
}  // namespace message_flags

enum class DialogButton { Ok = 1, Yes = 6, No = 7 };

}  // namespace lucidra

namespace lucidra::app {

// Task-bar text and the caption of every notice and error box.
inline constexpr const char* kApplicationTitle = "Lucidra LED " LUCIDRA_VERSION_SHORT;

class DesktopServices {
 public:
  virtual ~DesktopServices() = default;

  // A message box with caption and the platform's message-box flags (buttons
  // and icon); returns the button pressed.
  virtual DialogButton message_box(const QString& caption, const QString& text, unsigned flags) = 0;
  // A simple message: the text, an OK button and the application title.
  virtual void show_message(const QString& text) = 0;
  // The error box: the text as given (see error_box_text), an error icon,
  // an OK button and the application title.
  virtual void show_error(const QString& text) = 0;
  virtual void beep(int frequencyHz, int durationMs) = 0;
  // Calendar time in whole seconds.
  virtual std::int64_t clock_seconds() = 0;
  // File dialogs starting in `folder`, with filters such as
  // "Distribution files (*.txt);;All files (*)". Return the chosen file's
  // full path, or an empty text when the user cancels.
  virtual QString open_file_name(const QString& caption, const QString& folder, const QString& filter) = 0;
  virtual QString save_file_name(const QString& caption, const QString& folder, const QString& filter) = 0;
  // Opens `url` with the desktop's program for it; false when none did.
  virtual bool open_url(const QUrl& url) = 0;
};

// The error box ends a sentence the way users expect: a full stop is added
// when the last character sorts after "." (letters and digits do).
QString error_box_text(const QString& text);

// Modal Qt message boxes over `parent`, the system beep and the system clock.
class QtDesktopServices : public DesktopServices {
 public:
  explicit QtDesktopServices(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }

  DialogButton message_box(const QString& caption, const QString& text, unsigned flags) override;
  void show_message(const QString& text) override;
  void show_error(const QString& text) override;
  void beep(int frequencyHz, int durationMs) override;
  std::int64_t clock_seconds() override;
  QString open_file_name(const QString& caption, const QString& folder, const QString& filter) override;
  QString save_file_name(const QString& caption, const QString& folder, const QString& filter) override;
  bool open_url(const QUrl& url) override;

 private:
  QWidget* parent_;
};

}  // namespace lucidra::app
