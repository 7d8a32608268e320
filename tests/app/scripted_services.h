#pragma once
// The window's message boxes, beep and clock, answered by the test: every box
// is recorded, yes/no questions take their answers from a queue.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "app/desktop_services.h"

namespace lucidra::app::test {

struct ShownMessage {
  enum class Kind { Box, Notice, Error };
  Kind kind = Kind::Notice;
  QString caption;
  QString text;
  unsigned flags = 0;
};

class ScriptedServices : public DesktopServices {
 public:
  DialogButton message_box(const QString& caption, const QString& text, unsigned flags) override;
  void show_message(const QString& text) override;
  void show_error(const QString& text) override;
  void beep(int frequencyHz, int durationMs) override;
  std::int64_t clock_seconds() override { return clock; }
  QString open_file_name(const QString& caption, const QString& folder, const QString& filter) override;
  QString save_file_name(const QString& caption, const QString& folder, const QString& filter) override;
  bool open_url(const QUrl& url) override;

  // Texts of everything shown, in order.
  QStringList texts() const;
  QStringList error_texts() const;
  void clear();

  std::vector<ShownMessage> shown;
  // Answers to yes/no boxes; a question with no answer left is answered No
  // and counted in `unanswered`.
  std::deque<DialogButton> answers;
  int unanswered = 0;
  std::vector<std::pair<int, int>> beeps;
  std::int64_t clock = 1700000000;
  // Answers to file dialogs, in order; a dialog with no answer left is
  // cancelled. Each dialog's caption, folder and filter are recorded.
  std::deque<QString> fileAnswers;
  struct FileDialog {
    QString caption, folder, filter;
    bool save = false;
  };
  std::vector<FileDialog> fileDialogs;
  // Pages opened, and whether opening succeeds.
  std::vector<QUrl> openedUrls;
  bool urlOpens = true;
  // Called while a box is "open", to look at the window at that moment.
  std::function<void(const ShownMessage&)> onShow;

 private:
  void record(ShownMessage message);
};

}  // namespace lucidra::app::test
