#pragma once
// The whole-number spin control of the settings panels. Unlike QSpinBox it
// keeps whatever the user typed: reading a text that is not a whole number
// yields the minimum and resets the text; reading never clamps (a value typed
// beyond the range is read as typed until the control loses the focus); only
// setting a value, an arrow step and leaving the control clamp.

#include <QAbstractSpinBox>
#include <cstdint>

namespace lucidra::app {

class SpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  SpinEdit(std::int32_t minimum, std::int32_t maximum, std::int32_t increment, std::int32_t value,
           QWidget* parent = nullptr);

  // The value of the text; a text that is not a whole number reads as the
  // minimum and is replaced by it (a text change like any other).
  std::int32_t value();
  // Clamps to the range (not when minimum equals maximum) and writes the
  // decimal text.
  void setValue(std::int64_t value);

  QString spinText() const;
  // Replaces the text as it stands, without conversion or clamping.
  void setSpinText(const QString& text);

  std::int32_t minimum() const { return minimum_; }
  std::int32_t maximum() const { return maximum_; }
  std::int32_t increment() const { return increment_; }

  // A control without typing changes only through its arrows.
  void setTypingEnabled(bool enabled);
  bool typingEnabled() const;

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;

 signals:
  // Every real change of the text: typed, stepped or set from code.
  void changed();

 protected:
  StepEnabled stepEnabled() const override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::int64_t clamped(std::int64_t value) const;

  std::int32_t minimum_;
  std::int32_t maximum_;
  std::int32_t increment_;
};

}  // namespace lucidra::app
