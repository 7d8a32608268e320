// The window on a laptop screen at 150 % and 200 %: it opens within the
// screen's available area, with or without the chart and whatever size was
// remembered, and every control can be scrolled into view. The screen and
// the scale come from the test's environment (CMakeLists.txt).

#include <QAbstractButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <memory>

#include "window_harness.h"

namespace lucidra::app::test {

class SmallScreenTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void screenIsSmallerThanTheControls();
  void windowFitsAndEveryButtonIsReachable_data();
  void windowFitsAndEveryButtonIsReachable();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void SmallScreenTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
}

void SmallScreenTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

// Without this the test would prove nothing: the scale must make the screen
// too low for the settings column.
void SmallScreenTest::screenIsSmallerThanTheControls() {
  form_ = started_window(services_);
  const QRect available = form_->screen()->availableGeometry();
  QVERIFY2(available.height() < TForm1::kClientHeight + 40,
           qPrintable(QString("screen %1x%2").arg(available.width()).arg(available.height())));
}

void SmallScreenTest::windowFitsAndEveryButtonIsReachable_data() {
  QTest::addColumn<bool>("chart");
  QTest::addColumn<QSize>("remembered");
  QTest::newRow("settings alone") << false << QSize();
  QTest::newRow("with the chart") << true << QSize();
  QTest::newRow("with the chart, a remembered size larger than the screen") << true << QSize(3000, 2000);
}

void SmallScreenTest::windowFitsAndEveryButtonIsReachable() {
  QFETCH(bool, chart);
  QFETCH(QSize, remembered);
  if (remembered.isValid()) QSettings().setValue("window/chartShownSize", remembered);
  form_ = started_window(services_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  if (chart) form_->Button1->click();  // Plot >>
  QTest::qWait(50);                    // the refit once the frame is known
  const QRect available = form_->screen()->availableGeometry();
  const QRect frame = form_->frameGeometry();
  QVERIFY2(available.contains(frame), qPrintable(QString("frame %1,%2 %3x%4 on %5x%6")
                                                     .arg(frame.x())
                                                     .arg(frame.y())
                                                     .arg(frame.width())
                                                     .arg(frame.height())
                                                     .arg(available.width())
                                                     .arg(available.height())));
  QVERIFY(form_->minimumHeight() <= available.height());
  QCOMPARE(form_->Chart1->isVisible(), chart);

  auto* scroll = form_->findChild<QScrollArea*>("ClientScroll");
  QVERIFY(scroll != nullptr);
  QVERIFY2(scroll->verticalScrollBar()->maximum() > 0, "the controls do not fit, so the area must scroll");
  const QRect viewport(QPoint(0, 0), scroll->viewport()->size());
  int reached = 0;
  for (QAbstractButton* button : scroll->widget()->findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(scroll->widget())) continue;
    scroll->ensureWidgetVisible(button, 0, 0);
    const QRect place(button->mapTo(scroll->viewport(), QPoint(0, 0)), button->size());
    QVERIFY2(viewport.contains(place), qPrintable(button->objectName()));
    ++reached;
  }
  QVERIFY(reached >= 10);  // GENERATE, Plot, the radio buttons, the check boxes...
}

}  // namespace lucidra::app::test

using lucidra::app::test::SmallScreenTest;
LUCIDRA_QT_TEST_MAIN(SmallScreenTest)
#include "small_screen_test.moc"
