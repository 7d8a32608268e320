#include "app/spin_edit.h"

#include <QLineEdit>
#include <algorithm>

#include "distributions/number_text.h"

namespace lucidra::app {

SpinEdit::SpinEdit(std::int32_t minimum, std::int32_t maximum, std::int32_t increment, std::int32_t value,
                   QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum), increment_(increment) {
  lineEdit()->setText(QString::number(value));
  connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::changed);
}

std::int32_t SpinEdit::value() {
  const QByteArray text = spinText().toLocal8Bit();
  if (const auto parsed =
          try_parse_whole_number(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
    return *parsed;
  }
  setSpinText(QString::number(minimum_));
  return minimum_;
}

std::int64_t SpinEdit::clamped(std::int64_t value) const {
  if (minimum_ == maximum_) return value;
  return std::clamp<std::int64_t>(value, minimum_, maximum_);
}

void SpinEdit::setValue(std::int64_t value) { setSpinText(QString::number(clamped(value))); }

QString SpinEdit::spinText() const { return lineEdit()->text(); }

void SpinEdit::setSpinText(const QString& text) { lineEdit()->setText(text); }

void SpinEdit::setTypingEnabled(bool enabled) { lineEdit()->setReadOnly(!enabled); }

bool SpinEdit::typingEnabled() const { return !lineEdit()->isReadOnly(); }

void SpinEdit::stepBy(int steps) { setValue(std::int64_t{value()} + std::int64_t{steps} * increment_); }

// Typing is limited to what a number could need; editing keys pass anyway.
QValidator::State SpinEdit::validate(QString& input, int& /*pos*/) const {
  const QChar separator = QChar::fromLatin1(locale_decimal_separator());
  const bool allowed = std::all_of(input.cbegin(), input.cend(), [&](QChar c) {
    return (c >= QChar('0') && c <= QChar('9')) || c == QChar('+') || c == QChar('-') || c == separator;
  });
  return allowed ? QValidator::Acceptable : QValidator::Invalid;
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const { return StepUpEnabled | StepDownEnabled; }

void SpinEdit::focusOutEvent(QFocusEvent* event) {
  const std::int32_t current = value();
  if (clamped(current) != current) setValue(current);
  QAbstractSpinBox::focusOutEvent(event);
}

}  // namespace lucidra::app
