#pragma once
// A one-line label that shows as much of its text as fits, cut in the middle
// with an ellipsis ("12 345 rays in very_lo…_rays.dat"), so both ends of a
// long file name stay readable. text() keeps the whole text.

#include <QLabel>
#include <QPainter>
#include <QStyle>

namespace lucidra::app {

class ElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;

  // What the label paints at its present width.
  QString shown_text() const { return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width()); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), shown_text(),
                          foregroundRole());
  }
};

}  // namespace lucidra::app
