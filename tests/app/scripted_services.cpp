#include "scripted_services.h"

namespace lucidra::app::test {

void ScriptedServices::record(ShownMessage message) {
  shown.push_back(message);
  if (onShow) onShow(message);
}

DialogButton ScriptedServices::message_box(const QString& caption, const QString& text, unsigned flags) {
  record({ShownMessage::Kind::Box, caption, text, flags});
  if ((flags & 0x0Fu) != message_flags::YesNo) return DialogButton::Ok;
  if (answers.empty()) {
    ++unanswered;
    return DialogButton::No;
  }
  const DialogButton answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedServices::show_message(const QString& text) {
  record({ShownMessage::Kind::Notice, QString::fromLatin1(kApplicationTitle), text, 0});
}

void ScriptedServices::show_error(const QString& text) {
  record({ShownMessage::Kind::Error, QString::fromLatin1(kApplicationTitle), text, 0});
}

void ScriptedServices::beep(int frequencyHz, int durationMs) { beeps.emplace_back(frequencyHz, durationMs); }

QString ScriptedServices::open_file_name(const QString& caption, const QString& folder, const QString& filter) {
  fileDialogs.push_back({caption, folder, filter, false});
  if (fileAnswers.empty()) return {};
  const QString answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

QString ScriptedServices::save_file_name(const QString& caption, const QString& folder, const QString& filter) {
  const QString answer = open_file_name(caption, folder, filter);
  fileDialogs.back().save = true;
  return answer;
}

bool ScriptedServices::open_url(const QUrl& url) {
  openedUrls.push_back(url);
  return urlOpens;
}

QStringList ScriptedServices::texts() const {
  QStringList result;
  for (const ShownMessage& message : shown) result << message.text;
  return result;
}

QStringList ScriptedServices::error_texts() const {
  QStringList result;
  for (const ShownMessage& message : shown) {
    if (message.kind == ShownMessage::Kind::Error) result << message.text;
  }
  return result;
}

void ScriptedServices::clear() {
  shown.clear();
  answers.clear();
  unanswered = 0;
  beeps.clear();
  fileAnswers.clear();
  fileDialogs.clear();
  openedUrls.clear();
}

}  // namespace lucidra::app::test
