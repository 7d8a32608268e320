// The settings controls of a started window: target switch, source-flux
// switch, LED and arc mode, angular type, plane shape, balance, the NA
// validation, the size and time estimate, and the invariants that must hold
// after any sequence of user actions.

#include <QAbstractButton>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <random>

#include "app/gauge.h"
#include "app/radio_group.h"
#include "app/spin_edit.h"
#include "engine/estimate.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

Q_DECLARE_METATYPE(lucidra::OutputFormat)

namespace {

const QString kGaussianNotice =
    QStringLiteral("Gaussian is not supported. If you want gaussian you can try <User defined>");

QRadioButton* target_button(TForm1& form, OutputFormat format) {
  switch (format) {
    case OutputFormat::TracePro: return form.RadioButton1;
    case OutputFormat::Zemax: return form.RadioButton2;
    case OutputFormat::LightTools: return form.RadioButton5;
    case OutputFormat::Asap: return form.RadioButton6;
    case OutputFormat::ZemaxBinary:
    case OutputFormat::Tm25:
    case OutputFormat::LightToolsText: break;
  }
  return nullptr;
}

// Names of the shown widgets among `names`.
QStringList shown_among(TForm1& form, const QStringList& names) {
  QStringList shown;
  for (const QString& name : names) {
    if (!form.findChild<QWidget*>(name)->isHidden()) shown << name;
  }
  return shown;
}

const QStringList kFileFields = {"Edit3", "Edit4", "Edit11", "Edit5"};
const QStringList kBanners = {"Image1", "Image2", "Image3", "Image4"};

QString field_of(OutputFormat format) {
  format = ray_format(format).target;
  return kFileFields[format == OutputFormat::TracePro     ? 0
                     : format == OutputFormat::Zemax      ? 1
                     : format == OutputFormat::LightTools ? 2
                                                          : 3];
}

QString banner_of(OutputFormat format) {
  format = ray_format(format).target;
  return kBanners[format == OutputFormat::TracePro     ? 0
                  : format == OutputFormat::Zemax      ? 1
                  : format == OutputFormat::LightTools ? 2
                                                       : 3];
}

void verify_invariants(TForm1& form, const QString& after) {
  const OutputFormat format = form.selected_format();
  QCOMPARE_EQ(shown_among(form, kFileFields), QStringList{field_of(format)});
  QCOMPARE_EQ(shown_among(form, kBanners), QStringList{banner_of(format)});
  QVERIFY2(form.CSpinEdit5->isEnabled() == form.CheckBox2->isChecked(), qPrintable(after));
  // Only legacy sampling forces the source flux for LightTools.
  const bool forced = ray_format(format).target == OutputFormat::LightTools && form.LegacySampling1->isChecked();
  QVERIFY2(form.CheckBox2->isEnabled() == !forced, qPrintable(after));
  const int type = form.RadioGroup2->itemIndex();
  const bool led = form.CheckBox3->isChecked();
  QVERIFY2(form.Edit6->isEnabled() == (led && (type == 0 || type == 1)), qPrintable(after));
  const bool doubleSide = form.CheckBox6->isChecked();
  for (QWidget* balance : {static_cast<QWidget*>(form.Label33), static_cast<QWidget*>(form.CSpinEdit6),
                           static_cast<QWidget*>(form.Edit13)}) {
    QVERIFY2(balance->isHidden() == !doubleSide, qPrintable(after));
  }
  if (!led) QVERIFY2(!doubleSide && !form.CheckBox6->isEnabled(), qPrintable(after));
  QVERIFY2(form.CheckBox4->isChecked() == !led, qPrintable(after));
}

}  // namespace

class InterlockTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void normalStartEndsInLedModeWithTheDefaults();
  void targetSwitch_data();
  void targetSwitch();
  void targetSwitchLeavesTheFluxAloneOutsideLegacy();
  void sourceFluxSpinFollowsTheBoxAndKeepsItsValue();
  void ledAndArcModeColumns();
  void angularType_data();
  void angularType();
  void gaussianWarnsEveryTimeItIsSelected();
  void planeShapeRenamesTheSizeLabels();
  void balanceComplement_data();
  void balanceComplement();
  void invariantsHoldAfterEveryUserAction();
  void naValidation_data();
  void naValidation();
  void naTypingIsCheckedOnCommit_data();
  void naTypingIsCheckedOnCommit();
  void estimate_data();
  void estimate();
  void estimateOfTextsThatAreNotInTheRange();
  void settingsRoundTripThroughTheControls();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void InterlockTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  form_ = started_window(services_);
}

void InterlockTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

void InterlockTest::normalStartEndsInLedModeWithTheDefaults() {
  TForm1& f = *form_;
  QVERIFY(f.RadioButton2->isChecked());
  QVERIFY(!f.CheckBox2->isChecked() && f.CheckBox2->isEnabled());
  QVERIFY(!f.CSpinEdit5->isEnabled());
  for (QWidget* enabled : {static_cast<QWidget*>(f.RadioGroup1), static_cast<QWidget*>(f.Edit10),
                           static_cast<QWidget*>(f.Edit9), static_cast<QWidget*>(f.CheckBox6),
                           static_cast<QWidget*>(f.RadioGroup2), static_cast<QWidget*>(f.CSpinEdit4)}) {
    QVERIFY2(enabled->isEnabled(), qPrintable(enabled->objectName()));
  }
  QVERIFY(!f.Edit6->isEnabled());
  QVERIFY(!f.RadioGroup3->isEnabled() && !f.CheckBox5->isEnabled());
  QCOMPARE(f.RadioGroup2->itemIndex(), 2);
  QVERIFY(f.CSpinEdit6->isHidden());
  QCOMPARE(f.Label5->text(), QStringLiteral("Horisontal Distribution"));
  QCOMPARE(f.Label6->text(), QStringLiteral("Vertical Distribution"));
  QVERIFY(f.Chart1->isHidden());
  QVERIFY(f.CheckBox3->isChecked() && !f.CheckBox4->isChecked());
  QVERIFY(f.CheckBox3->isHidden() && f.CheckBox4->isHidden());
  QVERIFY(f.RadioButton3->isChecked() && f.RadioButton7->isChecked());
  QVERIFY(!f.CheckBox1->isChecked() && !f.CheckBox6->isChecked());
  QCOMPARE(f.Label32->text(), QStringLiteral("X Size"));
  QCOMPARE(f.Label25->text(), QStringLiteral("Y Size"));
  QCOMPARE(f.Edit11->text(), QStringLiteral("c:\\sample.ray"));
  QCOMPARE(f.Edit5->text(), QStringLiteral("c:\\source.dis"));
  QCOMPARE(f.CSpinEdit6->spinText(), QStringLiteral("50"));
  QCOMPARE(f.Edit13->text(), QStringLiteral("50"));
  QVERIFY(!f.CSpinEdit6->typingEnabled());
  QCOMPARE(f.CGauge2->isHidden(), true);
  QCOMPARE(f.Label21->text(), QString());
  verify_invariants(f, QStringLiteral("start-up"));
  QVERIFY(services_.shown.empty());
}

void InterlockTest::targetSwitch_data() {
  QTest::addColumn<OutputFormat>("before");
  QTest::addColumn<bool>("userChecksFlux");
  QTest::addColumn<OutputFormat>("target");
  QTest::addColumn<bool>("fluxChecked");
  QTest::addColumn<bool>("fluxEnabled");
  const OutputFormat all[] = {OutputFormat::TracePro, OutputFormat::Zemax, OutputFormat::LightTools,
                              OutputFormat::Asap};
  const char* names[] = {"TracePro", "Zemax", "LightTools", "ASAP"};
  for (int b = 0; b < 4; ++b) {
    for (int t = 0; t < 4; ++t) {
      if (b == t) continue;
      for (bool userChecks : {false, true}) {
        if (userChecks && all[b] == OutputFormat::LightTools) continue;  // greyed there
        const bool lightTools = all[t] == OutputFormat::LightTools;
        QTest::addRow("%s to %s%s", names[b], names[t], userChecks ? ", flux checked" : "")
            << all[b] << userChecks << all[t] << lightTools << !lightTools;
      }
    }
  }
}

void InterlockTest::targetSwitch() {
  QFETCH(OutputFormat, before);
  QFETCH(bool, userChecksFlux);
  QFETCH(OutputFormat, target);
  QFETCH(bool, fluxChecked);
  QFETCH(bool, fluxEnabled);
  TForm1& f = *form_;
  f.LegacySampling1->setChecked(true);  // version 3.5's interlock
  if (before != OutputFormat::Zemax) target_button(f, before)->click();
  if (userChecksFlux) f.CheckBox2->click();
  QCOMPARE(f.CheckBox2->isChecked(), userChecksFlux || before == OutputFormat::LightTools);

  target_button(f, target)->click();
  QCOMPARE(f.selected_format(), target);
  QCOMPARE(f.CheckBox2->isChecked(), fluxChecked);
  QCOMPARE(f.CheckBox2->isEnabled(), fluxEnabled);
  QCOMPARE(f.CSpinEdit5->isEnabled(), fluxChecked);
  QCOMPARE(shown_among(f, kBanners), QStringList{banner_of(target)});
  QCOMPARE(shown_among(f, kFileFields), QStringList{field_of(target)});
  QVERIFY(services_.shown.empty());
}

void InterlockTest::targetSwitchLeavesTheFluxAloneOutsideLegacy() {
  TForm1& f = *form_;
  QVERIFY(!f.LegacySampling1->isChecked());
  for (const bool flux : {false, true}) {
    if (f.CheckBox2->isChecked() != flux) f.CheckBox2->click();
    for (QRadioButton* target : {f.RadioButton5, f.RadioButton1, f.RadioButton6, f.RadioButton2}) {
      target->click();
      QCOMPARE(f.CheckBox2->isChecked(), flux);
      QVERIFY(f.CheckBox2->isEnabled());
    }
  }
}

void InterlockTest::sourceFluxSpinFollowsTheBoxAndKeepsItsValue() {
  TForm1& f = *form_;
  f.CheckBox2->click();
  QVERIFY(f.CSpinEdit5->isEnabled());
  f.CSpinEdit5->setValue(1200);
  f.CheckBox2->click();
  QVERIFY(!f.CSpinEdit5->isEnabled());
  QCOMPARE(f.CSpinEdit5->spinText(), QStringLiteral("1200"));
}

void InterlockTest::ledAndArcModeColumns() {
  TForm1& f = *form_;
  f.RadioGroup2->itemButton(0)->click();  // Lambertian: NA enabled in LED mode
  f.CheckBox6->click();
  f.Button1->click();  // chart shown
  QVERIFY(!f.Chart1->isHidden());

  // Only code can switch the mode; the ARC box drives the LED box.
  f.CheckBox4->setChecked(true);
  QVERIFY(!f.CheckBox3->isChecked());
  QVERIFY(f.Chart1->isHidden());
  QCOMPARE(f.Button1->text(), QStringLiteral("Plot <<"));  // caption untouched
  for (QWidget* disabled :
       {static_cast<QWidget*>(f.RadioGroup1), static_cast<QWidget*>(f.Edit10), static_cast<QWidget*>(f.Edit9),
        static_cast<QWidget*>(f.Edit6), static_cast<QWidget*>(f.CheckBox6), static_cast<QWidget*>(f.RadioGroup2)}) {
    QVERIFY2(!disabled->isEnabled(), qPrintable(disabled->objectName()));
  }
  QVERIFY(!f.CheckBox6->isChecked() && f.CSpinEdit6->isHidden());
  QVERIFY(f.CSpinEdit4->isEnabled());
  QCOMPARE(f.Label5->text(), QStringLiteral("Longitudial Distribution"));
  QCOMPARE(f.Label6->text(), QStringLiteral("Transversal Distribution"));
  QCOMPARE(f.Series1->name(), QStringLiteral("Longitudial: horizontal.txt"));  // the curve names its file
  QCOMPARE(f.Series2->name(), QStringLiteral("Transversal: vertical.txt"));    // the curve names its file
  QCOMPARE(f.Label35->text(), QStringLiteral("SPATIAL INTENSITY DISTRIBUTION IN ARC"));
  QCOMPARE(f.Label37->text(), QStringLiteral("mm"));
  QCOMPARE(f.Label36->text(), QStringLiteral("%"));
  verify_invariants(f, QStringLiteral("arc mode"));

  f.CheckBox4->setChecked(false);
  QVERIFY(f.CheckBox3->isChecked());
  QVERIFY(f.Edit6->isEnabled());       // Lambertian is still selected
  QVERIFY(!f.CheckBox6->isChecked());  // arc mode cleared it for good
  QCOMPARE(f.Label5->text(), QStringLiteral("Horisontal Distribution"));
  QCOMPARE(f.Label6->text(), QStringLiteral("Vertical Distribution"));
  QCOMPARE(f.Series1->name(), QStringLiteral("Horisontal: horizontal.txt"));  // the curve names its file
  QCOMPARE(f.Series2->name(), QStringLiteral("Vertical: vertical.txt"));      // the curve names its file
  QCOMPARE(f.Label35->text(), QStringLiteral("ANGULAR LED INTENSITY DISTRIBUTION"));
  QCOMPARE(f.Label37->text(), QStringLiteral("degrees"));
  QVERIFY(f.RadioGroup2->isEnabled());
  verify_invariants(f, QStringLiteral("LED mode again"));
}

void InterlockTest::angularType_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<bool>("naEnabled");
  QTest::addColumn<QStringList>("messages");
  QTest::newRow("Lambertian") << 0 << true << QStringList{};
  QTest::newRow("Uniform") << 1 << true << QStringList{};
  QTest::newRow("User Defined") << 2 << false << QStringList{};
  QTest::newRow("Gaussian") << 3 << false << QStringList{kGaussianNotice};
}

void InterlockTest::angularType() {
  QFETCH(int, item);
  QFETCH(bool, naEnabled);
  QFETCH(QStringList, messages);
  TForm1& f = *form_;
  // Start from the other state of the NA field, so that each row changes it.
  f.RadioGroup2->itemButton(naEnabled ? 2 : 1)->click();
  QCOMPARE(f.Edit6->isEnabled(), !naEnabled);
  f.RadioGroup2->itemButton(item)->click();
  QCOMPARE(f.RadioGroup2->itemIndex(), item);
  QCOMPARE(f.Edit6->isEnabled(), naEnabled);
  QCOMPARE(services_.texts(), messages);
  if (!messages.empty()) {
    QCOMPARE(services_.shown[0].caption, QStringLiteral("Lucidra LED 3.5"));
    QCOMPARE(services_.shown[0].kind, ShownMessage::Kind::Notice);
  }
}

void InterlockTest::gaussianWarnsEveryTimeItIsSelected() {
  TForm1& f = *form_;
  f.RadioGroup2->itemButton(3)->click();
  f.RadioGroup2->itemButton(3)->click();  // already selected: no new selection
  f.RadioGroup2->itemButton(1)->click();
  QVERIFY(f.Edit6->isEnabled());
  f.RadioGroup2->itemButton(3)->click();
  QVERIFY(!f.Edit6->isEnabled());
  QCOMPARE(services_.texts(), (QStringList{kGaussianNotice, kGaussianNotice}));
  QCOMPARE(f.RadioGroup2->itemIndex(), 3);
}

void InterlockTest::planeShapeRenamesTheSizeLabels() {
  TForm1& f = *form_;
  f.Edit10->setText(QStringLiteral("2"));
  f.RadioGroup1->itemButton(1)->click();
  QCOMPARE(f.Label32->text(), QStringLiteral("X Diameter"));
  QCOMPARE(f.Label25->text(), QStringLiteral("Y Diameter"));
  f.RadioGroup1->itemButton(0)->click();
  QCOMPARE(f.Label32->text(), QStringLiteral("X Side"));
  QCOMPARE(f.Label25->text(), QStringLiteral("Y Side"));
  QCOMPARE(f.Edit10->text(), QStringLiteral("2"));
}

void InterlockTest::balanceComplement_data() {
  QTest::addColumn<int>("balance");
  QTest::addColumn<QString>("complement");
  QTest::newRow("0") << 0 << "100";
  QTest::newRow("30") << 30 << "70";
  QTest::newRow("100") << 100 << "0";
}

void InterlockTest::balanceComplement() {
  QFETCH(int, balance);
  QFETCH(QString, complement);
  TForm1& f = *form_;
  f.CheckBox6->click();
  QVERIFY(!f.CSpinEdit6->isHidden() && !f.Edit13->isHidden() && !f.Label33->isHidden());
  f.CSpinEdit6->setValue(balance);
  QCOMPARE(f.Edit13->text(), complement);
  f.CheckBox6->click();
  QVERIFY(f.CSpinEdit6->isHidden() && f.Edit13->isHidden() && f.Label33->isHidden());
}

// A few hundred random user actions; after each one the invariants hold.
void InterlockTest::invariantsHoldAfterEveryUserAction() {
  TForm1& f = *form_;
  std::mt19937 random(20240611);
  const OutputFormat targets[] = {OutputFormat::TracePro, OutputFormat::Zemax, OutputFormat::LightTools,
                                  OutputFormat::Asap};
  for (int step = 0; step < 400; ++step) {
    const int action = static_cast<int>(random() % 10);
    QString what = QStringLiteral("step %1, action %2").arg(step).arg(action);
    switch (action) {
      case 0: target_button(f, targets[random() % 4])->click(); break;
      case 1:
        if (f.CheckBox2->isEnabled()) f.CheckBox2->click();
        break;
      case 2:
        if (f.RadioGroup2->isEnabled()) f.RadioGroup2->itemButton(static_cast<int>(random() % 4))->click();
        break;
      case 3:
        if (f.RadioGroup1->isEnabled()) f.RadioGroup1->itemButton(static_cast<int>(random() % 2))->click();
        break;
      case 4:
        if (f.CheckBox6->isEnabled()) f.CheckBox6->click();
        break;
      case 5:
        if (!f.CSpinEdit6->isHidden()) f.CSpinEdit6->stepBy(random() % 2 == 0 ? 7 : -7);
        break;
      case 6: f.Button1->click(); break;
      case 7: f.CheckBox4->setChecked(!f.CheckBox4->isChecked()); break;  // mode switch from code
      case 8:
        if (f.Edit6->isEnabled()) f.Edit6->setText(localized(random() % 2 == 0 ? "0.3" : "7"));
        break;
      default: f.CSpinEdit3->stepBy(1); break;
    }
    verify_invariants(f, what);
    if (QTest::currentTestFailed()) return;
    if (!f.CSpinEdit6->isHidden()) {
      QCOMPARE(f.Edit13->text().toInt(), 100 - f.CSpinEdit6->value());
    }
  }
  QVERIFY(services_.error_texts().isEmpty());
}

void InterlockTest::naValidation_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("textAfter");
  QTest::addColumn<QStringList>("errors");
  const QString wrongSeparator = separator() == QChar(',') ? QStringLiteral("1.5") : QStringLiteral("1,5");
  QTest::newRow("inside") << localized("0.5") << localized("0.5") << QStringList{};
  QTest::newRow("one") << "1"
                       << "1" << QStringList{};
  QTest::newRow("one and a half") << localized("1.5") << "1" << QStringList{};
  QTest::newRow("two") << "2"
                       << "1" << QStringList{};
  QTest::newRow("negative") << localized("-0.25") << "0" << QStringList{};
  QTest::newRow("lone minus") << "-"
                              << "0" << QStringList{};
  QTest::newRow("equal to one in single precision")
      << localized("1.00000001") << localized("1.00000001") << QStringList{};
  QTest::newRow("empty: silent") << ""
                                 << "" << QStringList{};
  QTest::newRow("letters") << "abc"
                           << "abc" << QStringList{"'abc' is not a valid floating point value."};
  QTest::newRow("the other separator")
      << wrongSeparator << wrongSeparator
      << QStringList{QStringLiteral("'%1' is not a valid floating point value.").arg(wrongSeparator)};
}

void InterlockTest::naValidation() {
  QFETCH(QString, text);
  QFETCH(QString, textAfter);
  QFETCH(QStringList, errors);
  TForm1& f = *form_;
  f.RadioGroup2->itemButton(0)->click();
  f.Edit6->setText(localized("0.7"));
  services_.clear();
  f.Edit6->setText(text);  // one edit, as a paste is
  QCOMPARE(f.Edit6->text(), textAfter);
  QCOMPARE(services_.error_texts(), errors);
  QCOMPARE(services_.shown.size(), static_cast<std::size_t>(errors.size()));
}

// Typed text is checked when it is committed (Enter or leaving the field),
// once, in the same words; half-typed numbers ("0" and the separator) raise
// nothing, and Enter on a refused text does not also generate.
void InterlockTest::naTypingIsCheckedOnCommit_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("textAfter");
  QTest::addColumn<QStringList>("errors");
  const QString wrong = separator() == QChar(',') ? QStringLiteral("0.") : QStringLiteral("0,");
  QTest::newRow("lone minus") << "-"
                              << "0" << QStringList{};
  QTest::newRow("letters") << "ab"
                           << "ab" << QStringList{"'ab' is not a valid floating point value."};
  QTest::newRow("the other separator") << wrong << wrong
                                       << QStringList{
                                              QStringLiteral("'%1' is not a valid floating point value.").arg(wrong)};
  QTest::newRow("above one") << localized("1.5") << "1" << QStringList{};
  QTest::newRow("inside") << localized("0.25") << localized("0.25") << QStringList{};
}

void InterlockTest::naTypingIsCheckedOnCommit() {
  QFETCH(QString, typed);
  QFETCH(QString, textAfter);
  QFETCH(QStringList, errors);
  TForm1& f = *form_;
  f.RadioGroup2->itemButton(1)->click();
  f.Edit6->clear();
  services_.clear();
  for (const QChar c : typed) {
    QTest::keyClicks(f.Edit6, QString(c));
    QCOMPARE(services_.shown.size(), std::size_t{0});  // nothing per keystroke
  }
  QCOMPARE(f.Edit6->text(), typed);
  QTest::keyClick(f.Edit6, Qt::Key_Return);  // the commit
  QCOMPARE(f.Edit6->text(), textAfter);
  QCOMPARE(services_.error_texts(), errors);
  // A refused text ends there; an accepted one goes on to GENERATE's question.
  QCOMPARE(services_.shown.size(), static_cast<std::size_t>(errors.isEmpty() ? 1 : errors.size()));
  QCOMPARE(services_.unanswered, errors.isEmpty() ? 1 : 0);
  // Committing again without a change shows nothing more.
  services_.clear();
  emit f.Edit6->editingFinished();
  QCOMPARE(services_.shown.size(), std::size_t{0});
}

void InterlockTest::estimate_data() {
  QTest::addColumn<QString>("rays");
  QTest::addColumn<QString>("size");
  QTest::addColumn<QString>("minutes");
  QTest::addColumn<QString>("seconds");
  const char* rows[][4] = {
      {"1", "0", "0", "0"},          {"6666", "0", "0", "0"},         {"6667", "0", "0", "1"},
      {"13368", "0", "0", "2"},      {"13369", "1", "0", "2"},        {"20000", "1", "0", "2"},
      {"30000", "2", "0", "4"},      {"40000", "2", "0", "5"},        {"100000", "7", "0", "14"},
      {"400000", "29", "0", "59"},   {"400001", "29", "1", "0"},      {"1000000", "74", "2", "30"},
      {"2500000", "187", "6", "14"}, {"10000000", "748", "24", "59"}, {"1000000000", "74800", "2499", "0"},
  };
  for (const auto& row : rows) {
    QTest::newRow(row[0]) << row[0] << row[1] << row[2] << row[3];
  }
}

void InterlockTest::estimate() {
  QFETCH(QString, rays);
  QFETCH(QString, size);
  QFETCH(QString, minutes);
  QFETCH(QString, seconds);
  TForm1& f = *form_;
  f.CSpinEdit3->setSpinText(QStringLiteral("123456789"));  // start elsewhere
  f.CSpinEdit3->setSpinText(rays);
  QCOMPARE(f.Label10->text(), size);
  QCOMPARE(f.Label13->text(), minutes);
  QCOMPARE(f.Label15->text(), seconds);
}

void InterlockTest::estimateOfTextsThatAreNotInTheRange() {
  TForm1& f = *form_;
  f.show();
  QVERIFY(QTest::qWaitForWindowExposed(&f));
  f.activateWindow();

  f.CSpinEdit3->setSpinText(QStringLiteral("99999999999"));  // beyond 32 bits
  QCOMPARE(f.CSpinEdit3->spinText(), QStringLiteral("1"));
  QCOMPARE((QStringList{f.Label10->text(), f.Label13->text(), f.Label15->text()}), (QStringList{"0", "0", "0"}));

  f.CSpinEdit3->setSpinText(QString());  // cleared
  QCOMPARE(f.CSpinEdit3->spinText(), QStringLiteral("1"));
  QCOMPARE(f.Label10->text(), QStringLiteral("0"));

  // Above the maximum: estimated as typed until the field loses the focus.
  f.CSpinEdit3->setFocus();
  QTRY_VERIFY(f.CSpinEdit3->hasFocus());
  f.CSpinEdit3->setSpinText(QStringLiteral("2000000000"));
  const OutputEstimate typed = estimate_output(2000000000);
  QCOMPARE(f.Label10->text(), QString::number(typed.sizeMb));
  QCOMPARE(f.Label13->text(), QString::number(typed.minutes));
  QCOMPARE(f.Label15->text(), QString::number(typed.seconds));
  QVERIFY(f.Label10->text() != QStringLiteral("74800"));
  f.Edit4->setFocus();
  QTRY_VERIFY(f.Edit4->hasFocus());
  QCOMPARE(f.CSpinEdit3->spinText(), QStringLiteral("1000000000"));
  QCOMPARE((QStringList{f.Label10->text(), f.Label13->text(), f.Label15->text()}), (QStringList{"74800", "2499", "0"}));

  // The arrows step by 10000 and refresh the estimate too.
  f.CSpinEdit3->setValue(30000);
  f.CSpinEdit3->stepBy(1);
  QCOMPARE(f.Label15->text(), QStringLiteral("5"));  // 40000 rays
}

void InterlockTest::settingsRoundTripThroughTheControls() {
  TForm1& f = *form_;
  GenerationSettings wanted;
  wanted.outputFormat = OutputFormat::TracePro;
  wanted.outputPath = from_qt(QStringLiteral("out/rays.txt"));
  wanted.longitudinalFile = from_qt(QStringLiteral("vertical.txt"));
  wanted.transversalFile = from_qt(QStringLiteral("horizontal.txt"));
  wanted.ledMode = true;
  wanted.rayCount = 12345;
  wanted.considerSourceFlux = true;
  wanted.sourceFlux = 777;
  wanted.randomAlgorithm = RandomAlgorithm::Uniform;
  wanted.angularType = AngularType::Lambertian;
  SettingTexts wantedTexts;
  wantedTexts.numericalAperture = from_qt(localized("0.25"));
  wanted.extentAboutZ = 180;
  wantedTexts.sizeX = from_qt(localized("2.5"));
  wantedTexts.sizeY = from_qt(QStringLiteral("3"));
  wanted.planeShape = PlaneShape::Elliptical;
  wanted.doubleSide = true;
  wanted.balance = 30;
  wanted.squareShape = true;
  wanted.notifyEnd = true;
  f.controls_from_settings(wanted, wantedTexts);

  // The mapping reads what the controls show.
  QCOMPARE(f.Edit3->text(), QStringLiteral("out/rays.txt"));
  QCOMPARE(f.Edit10->text(), localized("2.5"));
  QCOMPARE(f.Edit13->text(), QStringLiteral("70"));
  QVERIFY(f.Edit6->isEnabled());

  const GenerationSettings read = f.settings_from_controls();
  QCOMPARE(read.outputFormat, wanted.outputFormat);
  QCOMPARE(read.outputPath, wanted.outputPath);
  QCOMPARE(read.longitudinalFile, wanted.longitudinalFile);
  QCOMPARE(read.transversalFile, wanted.transversalFile);
  QCOMPARE(read.ledMode, wanted.ledMode);
  QCOMPARE(read.rayCount, wanted.rayCount);
  QCOMPARE(read.considerSourceFlux, wanted.considerSourceFlux);
  QCOMPARE(read.sourceFlux, wanted.sourceFlux);
  QCOMPARE(read.randomAlgorithm, wanted.randomAlgorithm);
  QCOMPARE(read.angularType, wanted.angularType);
  const SettingTexts readTexts = f.setting_texts();
  QCOMPARE(readTexts.numericalAperture, wantedTexts.numericalAperture);
  QCOMPARE(read.extentAboutZ, wanted.extentAboutZ);
  QCOMPARE(readTexts.sizeX, wantedTexts.sizeX);
  QCOMPARE(readTexts.sizeY, wantedTexts.sizeY);
  QCOMPARE(read.planeShape, wanted.planeShape);
  QCOMPARE(read.doubleSide, wanted.doubleSide);
  QCOMPARE(read.balance, wanted.balance);
  QCOMPARE(read.squareShape, wanted.squareShape);
  QCOMPARE(read.notifyEnd, wanted.notifyEnd);
  QCOMPARE(readTexts.decimalSeparator, separator().toLatin1());
  QCOMPARE(read.fileDecimalSeparator, separator().toLatin1());
  QCOMPARE(read.threads, 0u);

  // Under legacy sampling the flux is the whole-watt spin's: a spin text
  // that is not a whole number reads as the minimum, and the read itself
  // resets the text.
  f.LegacySampling1->trigger();
  QVERIFY(f.CSpinEdit5->isVisibleTo(&f));
  QVERIFY(!f.SourceFluxEdit->isVisibleTo(&f));
  f.CSpinEdit5->setSpinText(QStringLiteral("-"));
  QCOMPARE(f.settings_from_controls().sourceFlux, 5);
  QCOMPARE(f.CSpinEdit5->spinText(), QStringLiteral("5"));
}

LUCIDRA_QT_TEST_MAIN(InterlockTest)
#include "interlock_test.moc"
