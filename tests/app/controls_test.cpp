// The window's own controls: the whole-number spin control, the gauge, the
// radio group and the error box's full stop.

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/desktop_services.h"
#include "app/gauge.h"
#include "app/radio_group.h"
#include "app/spin_edit.h"
#include "window_harness.h"

using namespace lucidra::app;
using namespace lucidra::app::test;

class ControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void readingTheValue_data();
  void readingTheValue();
  void settingClampsToTheRange_data();
  void settingClampsToTheRange();
  void arrowsStepByTheIncrementAndClamp_data();
  void arrowsStepByTheIncrementAndClamp();
  void losingTheFocusClampsATypedValue();
  void typingIsFilteredToNumberCharacters_data();
  void typingIsFilteredToNumberCharacters();
  void typingCanBeDisabled();
  void changedSignalsOnlyRealTextChanges();
  void gaugeClampsAndRepaintsOnlyOnWholePercentChanges();
  void radioGroupReportsItemSelection();
  void errorBoxAddsAFullStopAfterLettersAndDigits_data();
  void errorBoxAddsAFullStopAfterLettersAndDigits();
};

// The number-of-rays spin: 1 to 1000000000, step 10000.
void ControlsTest::readingTheValue_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");
  QTest::addColumn<QString>("textAfter");
  QTest::newRow("whole number") << "30000" << 30000 << "30000";
  QTest::newRow("above the range is read as typed") << "2000000000" << 2000000000 << "2000000000";
  QTest::newRow("below the range is read as typed") << "-5" << -5 << "-5";
  QTest::newRow("leading blanks are skipped") << "  42" << 42 << "  42";
  QTest::newRow("empty reads the minimum") << "" << 1 << "1";
  QTest::newRow("lone minus") << "-" << 1 << "1";
  QTest::newRow("lone plus") << "+" << 1 << "1";
  QTest::newRow("decimal separator") << localized("2.5") << 1 << "1";
  QTest::newRow("beyond 32 bits") << "2147483648" << 1 << "1";
  QTest::newRow("letters") << "abc" << 1 << "1";
}

void ControlsTest::readingTheValue() {
  QFETCH(QString, text);
  QFETCH(int, value);
  QFETCH(QString, textAfter);
  SpinEdit spin(1, 1000000000, 10000, 30000);
  spin.setSpinText(text);
  QSignalSpy changes(&spin, &SpinEdit::changed);
  QCOMPARE(spin.value(), value);
  QCOMPARE(spin.spinText(), textAfter);
  // The reset to the minimum is a text change of its own; a valid read is not.
  QCOMPARE(changes.count(), textAfter == text ? 0 : 1);
  QCOMPARE(spin.value(), value);  // a second read finds a valid text
}

void ControlsTest::settingClampsToTheRange_data() {
  QTest::addColumn<int>("minimum");
  QTest::addColumn<int>("maximum");
  QTest::addColumn<qint64>("set");
  QTest::addColumn<QString>("text");
  QTest::newRow("inside") << 5 << 50000 << qint64{3500} << "3500";
  QTest::newRow("below") << 5 << 50000 << qint64{0} << "5";
  QTest::newRow("above") << 5 << 50000 << qint64{60000} << "50000";
  QTest::newRow("far above") << 1 << 1000000000 << qint64{2147483647} << "1000000000";
  QTest::newRow("no range when minimum equals maximum") << 0 << 0 << qint64{77} << "77";
}

void ControlsTest::settingClampsToTheRange() {
  QFETCH(int, minimum);
  QFETCH(int, maximum);
  QFETCH(qint64, set);
  QFETCH(QString, text);
  SpinEdit spin(minimum, maximum, 1, minimum);
  spin.setValue(set);
  QCOMPARE(spin.spinText(), text);
}

void ControlsTest::arrowsStepByTheIncrementAndClamp_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("textAfter");
  QTest::newRow("up") << "30000" << int{Qt::Key_Up} << "40000";
  QTest::newRow("down") << "30000" << int{Qt::Key_Down} << "20000";
  QTest::newRow("down stops at the minimum") << "5000" << int{Qt::Key_Down} << "1";
  QTest::newRow("up stops at the maximum") << "999995000" << int{Qt::Key_Up} << "1000000000";
  QTest::newRow("from a typed value above the range") << "2000000000" << int{Qt::Key_Down} << "1000000000";
  QTest::newRow("from a text that is not a number") << "" << int{Qt::Key_Up} << "10001";
}

void ControlsTest::arrowsStepByTheIncrementAndClamp() {
  QFETCH(QString, text);
  QFETCH(int, key);
  QFETCH(QString, textAfter);
  SpinEdit spin(1, 1000000000, 10000, 30000);
  spin.setSpinText(text);
  QTest::keyClick(&spin, static_cast<Qt::Key>(key));
  QCOMPARE(spin.spinText(), textAfter);
}

void ControlsTest::losingTheFocusClampsATypedValue() {
  QWidget window;
  auto* spin = new SpinEdit(0, 360, 1, 360, &window);
  auto* other = new QLineEdit(&window);
  other->move(0, 40);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.activateWindow();
  spin->setFocus();
  QTRY_VERIFY(spin->hasFocus());
  spin->setSpinText(QStringLiteral("400"));
  QCOMPARE(spin->value(), 400);  // read as typed while focused
  other->setFocus();
  QTRY_VERIFY(other->hasFocus());
  QCOMPARE(spin->spinText(), QStringLiteral("360"));

  spin->setFocus();
  QTRY_VERIFY(spin->hasFocus());
  spin->setSpinText(QStringLiteral("200"));
  other->setFocus();
  QTRY_VERIFY(other->hasFocus());
  QCOMPARE(spin->spinText(), QStringLiteral("200"));  // in range: untouched
}

void ControlsTest::typingIsFilteredToNumberCharacters_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("text");
  QTest::newRow("digits") << "123"
                          << "123";
  QTest::newRow("letters are refused") << "1a2b3"
                                       << "123";
  QTest::newRow("signs pass") << "-+5"
                              << "-+5";
  QTest::newRow("the locale's separator passes") << localized("2.5") << localized("2.5");
  QTest::newRow("blanks are refused") << "1 2"
                                      << "12";
}

void ControlsTest::typingIsFilteredToNumberCharacters() {
  QFETCH(QString, typed);
  QFETCH(QString, text);
  SpinEdit spin(-100000, 1000000000, 10000, 0);
  spin.setSpinText(QString());
  QTest::keyClicks(&spin, typed);
  QCOMPARE(spin.spinText(), text);
}

void ControlsTest::typingCanBeDisabled() {
  SpinEdit balance(0, 100, 1, 50);
  balance.setTypingEnabled(false);
  QTest::keyClicks(&balance, QStringLiteral("7"));
  QTest::keyClick(&balance, Qt::Key_Backspace);
  QCOMPARE(balance.spinText(), QStringLiteral("50"));
  QTest::keyClick(&balance, Qt::Key_Up);
  QCOMPARE(balance.spinText(), QStringLiteral("51"));
}

void ControlsTest::changedSignalsOnlyRealTextChanges() {
  SpinEdit spin(1, 1000000000, 10000, 30000);
  QSignalSpy changes(&spin, &SpinEdit::changed);
  spin.setValue(30000);
  spin.setSpinText(QStringLiteral("30000"));
  QCOMPARE(changes.count(), 0);
  spin.setValue(40000);
  QCOMPARE(changes.count(), 1);
  QTest::keyClicks(&spin, QStringLiteral("12"));
  QCOMPARE(changes.count(), 3);  // one per typed character
  spin.setValue(1000000000);
  spin.stepBy(1);  // already at the maximum
  QCOMPARE(changes.count(), 4);
}

void ControlsTest::gaugeClampsAndRepaintsOnlyOnWholePercentChanges() {
  QWidget window;
  auto* gauge = new Gauge(&window);
  gauge->resize(225, 25);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();

  const int paintsBefore = gauge->paintCount();
  // A run sets the gauge before every ray without returning to the event
  // loop: only whole-percent steps may paint, and they must paint at once.
  for (int position = 0; position <= 1000; ++position) {
    gauge->setPosition(position);
    QCOMPARE(gauge->percent(), position / 10);
  }
  QCOMPARE(gauge->paintCount() - paintsBefore, 100);
  QCOMPARE(gauge->text(), QStringLiteral("100%"));

  gauge->setPosition(5000);
  QCOMPARE(gauge->position(), 1000);
  gauge->setPosition(-3);
  QCOMPARE(gauge->position(), 0);
  QCOMPARE(gauge->text(), QStringLiteral("0%"));
}

void ControlsTest::radioGroupReportsItemSelection() {
  RadioGroup group(QStringLiteral("Plane shape"), {QStringLiteral("Rectangular"), QStringLiteral("Elliptical")}, 0);
  QSignalSpy selected(&group, &RadioGroup::itemSelected);
  QCOMPARE(group.itemIndex(), 0);
  group.setItemIndex(0);
  QCOMPARE(selected.count(), 0);  // no change, no event
  group.setItemIndex(1);
  QCOMPARE(selected.count(), 1);
  QCOMPARE(selected.at(0).at(0).toInt(), 1);
  QCOMPARE(group.itemText(1), QStringLiteral("Elliptical"));
}

void ControlsTest::errorBoxAddsAFullStopAfterLettersAndDigits_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("shown");
  QTest::newRow("letter") << "Cannot open file lucidra.cfg"
                          << "Cannot open file lucidra.cfg.";
  QTest::newRow("closing parenthesis sorts before the stop") << "List index out of bounds (14)"
                                                             << "List index out of bounds (14)";
  QTest::newRow("word") << "'abc' is not a valid integer value"
                        << "'abc' is not a valid integer value.";
  QTest::newRow("digit") << "value 5"
                         << "value 5.";
  QTest::newRow("trailing blank") << "Cannot open file "
                                  << "Cannot open file ";
  QTest::newRow("full stop already") << "Done."
                                     << "Done.";
  QTest::newRow("empty") << ""
                         << "";
}

void ControlsTest::errorBoxAddsAFullStopAfterLettersAndDigits() {
  QFETCH(QString, text);
  QFETCH(QString, shown);
  QCOMPARE(error_box_text(text), shown);
}

LUCIDRA_QT_TEST_MAIN(ControlsTest)
#include "controls_test.moc"
