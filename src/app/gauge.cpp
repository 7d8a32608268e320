#include "app/gauge.h"

#include <algorithm>

namespace lucidra::app {

Gauge::Gauge(QWidget* parent) : QProgressBar(parent) {
  setRange(0, kMaximum);
  setValue(0);
  setFormat(QStringLiteral("%p%"));
  setAlignment(Qt::AlignCenter);
}

void Gauge::setPosition(std::int64_t position) {
  const int previousPercent = percent();
  position_ = static_cast<int>(std::clamp<std::int64_t>(position, 0, kMaximum));
  if (percent() == previousPercent) return;
  // The bar itself moves in whole percents only, so a position within the
  // same percentage costs no drawing at all.
  const int paintsBefore = paintCount_;
  setValue(percent() * (kMaximum / 100));
  if (paintCount_ == paintsBefore) repaint();
}

void Gauge::paintEvent(QPaintEvent* event) {
  ++paintCount_;
  QProgressBar::paintEvent(event);
}

}  // namespace lucidra::app
