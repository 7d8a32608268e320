#pragma once
// The run's progress gauge: positions 0 to 1000 shown as a whole percentage.
// A run sets it before every ray without yielding to the event loop, so it
// paints itself at once, and only when the percentage it shows changes.

#include <QProgressBar>
#include <cstdint>

namespace lucidra::app {

class Gauge : public QProgressBar {
  Q_OBJECT

 public:
  static constexpr int kMaximum = 1000;

  explicit Gauge(QWidget* parent = nullptr);

  // Clamps to 0..1000; repaints immediately when the percentage changes.
  void setPosition(std::int64_t position);
  int position() const { return position_; }
  int percent() const { return position_ * 100 / kMaximum; }
  // Paint events received so far (lets the repaint rule be checked).
  int paintCount() const { return paintCount_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int position_ = 0;
  int paintCount_ = 0;
};

}  // namespace lucidra::app
