// The window's File > Import photometric file (and a photometric file
// dropped on the window), and File > Ray file format choosing the Zemax
// binary source file or a TM-25 ray file.

#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QValueAxis>

#include "photometry/import_files.h"
#include "photometry/photometric_import.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

// A rotationally symmetric LED, I = 1000 cos(gamma) cd, in 10-degree steps.
QByteArray lambertian_ies() {
  QByteArray text = "IESNA:LM-63-2002\r\n[TEST] window import\r\nTILT=NONE\r\n1 1000 1 10 1 1 2 0 0 0\r\n1 1 10\r\n";
  for (int g = 0; g <= 90; g += 10) text += QByteArray::number(g) + " ";
  text += "\r\n0\r\n";
  for (int g = 0; g <= 90; g += 10) text += QByteArray::number(1000 * std::cos(g * M_PI / 180), 'g', 12) + " ";
  return text + "\r\n";
}

}  // namespace

class ImportAndFormatsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void importWritesSelectsPlotsAndSummarises_data();
  void importWritesSelectsPlotsAndSummarises();
  void importAsksBeforeReplacingAndReportsBadFiles();
  void importReadsOnTheJobAndSummarisesAsTheCore();
  void cancelledImportChangesNothing();
  void binaryFormatsFromTheMenu_data();
  void binaryFormatsFromTheMenu();
  void formatBoxRenamesRemembersAndFilters();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void ImportAndFormatsTest::init() {
  directory_ = std::make_unique<TestDirectory>();
  write_standard_files(*directory_);
  directory_->write("led.ies", lambertian_ies());
  form_ = started_window(services_);
}

void ImportAndFormatsTest::cleanup() {
  form_.reset();
  directory_.reset();
  services_.clear();
}

void ImportAndFormatsTest::importWritesSelectsPlotsAndSummarises_data() {
  QTest::addColumn<bool>("dropped");
  QTest::newRow("File > Import photometric file") << false;
  QTest::newRow("dropped on the window") << true;
}

void ImportAndFormatsTest::importWritesSelectsPlotsAndSummarises() {
  QFETCH(bool, dropped);
  TForm1& f = *form_;
  if (dropped) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(directory_->path("led.ies"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &drop);
    QVERIFY(wait_for_idle(f));
  } else {
    services_.fileAnswers = {directory_->path("led.ies")};
    f.ImportPhotometricAction->trigger();
    QVERIFY(wait_for_idle(f));
    QCOMPARE(services_.fileDialogs.size(), std::size_t{1});
    QVERIFY(services_.fileDialogs[0].filter.contains(QStringLiteral("*.ies")));
    QVERIFY(services_.fileDialogs[0].filter.contains(QStringLiteral("*.ldt")));
  }
  QCOMPARE(services_.error_texts(), QStringList{});
  QVERIFY(directory_->exists("led_C0-C180.txt"));
  QVERIFY(directory_->exists("led_C90-C270.txt"));
  QCOMPARE(f.ComboBoxEx1->currentText(), QStringLiteral("led_C0-C180.txt"));
  QCOMPARE(f.ComboBoxEx2->currentText(), QStringLiteral("led_C90-C270.txt"));
  QVERIFY(!f.Chart1->isHidden());
  QVERIFY(f.Series1->count() >= 9);  // the ten angles, drawn as the chart draws a file
  // The imported tables hold candela, and the axis says so.
  auto* axisY = static_cast<QValueAxis*>(f.Chart1->chart()->axes(Qt::Vertical).front());
  QCOMPARE(axisY->titleText(), QStringLiteral("Intensity, cd"));
  const QStringList texts = services_.texts();
  QCOMPARE(texts.size(), 1);
  QVERIFY2(texts[0].contains(QStringLiteral("format:      IES LM-63 (IESNA:LM-63-2002)")), qPrintable(texts[0]));
  QVERIFY2(texts[0].contains(QStringLiteral("peak:        1000 cd")), qPrintable(texts[0]));
  // The written table reads back as the run will read it.
  const QByteArray written = directory_->read("led_C0-C180.txt");
  QVERIFY(written.startsWith("0 10 20 30 40 50 60 70 80 90 \r\n"));
  // A measured table chosen again: back to a relative intensity.
  QLineEdit* edit = f.ComboBoxEx1->lineEdit();
  edit->setText(QStringLiteral("horizontal.txt"));
  edit->setModified(true);
  emit edit->editingFinished();
  QCOMPARE(services_.error_texts(), QStringList{});
  QCOMPARE(axisY->titleText(), QStringLiteral("Relative intensity"));
}

void ImportAndFormatsTest::importAsksBeforeReplacingAndReportsBadFiles() {
  TForm1& f = *form_;
  directory_->write("led_C0-C180.txt", "keep me");
  services_.fileAnswers = {directory_->path("led.ies")};
  services_.answers = {DialogButton::No};
  f.ImportPhotometricAction->trigger();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.shown.size(), std::size_t{1});
  QVERIFY(services_.shown[0].text.startsWith(QStringLiteral("led_C0-C180.txt exists.")));
  QCOMPARE(directory_->read("led_C0-C180.txt"), QByteArray("keep me"));
  QVERIFY(!directory_->exists("led_C90-C270.txt"));

  services_.clear();
  directory_->write("bad.ies", "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 1000 1 10 1 3 2 0 0 0\r\n1 1 10\r\n");
  services_.fileAnswers = {directory_->path("bad.ies")};
  f.ImportPhotometricAction->trigger();
  QVERIFY(wait_for_idle(f));
  const QStringList errors = services_.error_texts();
  QCOMPARE(errors.size(), 1);
  QVERIFY2(errors[0].contains(QStringLiteral("bad.ies")), qPrintable(errors[0]));
  QCOMPARE(f.ComboBoxEx1->currentText(), QStringLiteral("horizontal.txt"));
}

// The shipped example read on the job: while it reads, the settings are
// locked and the status names the file; then the summary is the one the
// core gives for the file and the tables it writes.
void ImportAndFormatsTest::importReadsOnTheJobAndSummarisesAsTheCore() {
  TForm1& f = *form_;
  QFile example(QStringLiteral(LUCIDRA_EXAMPLES_DIR "/lambertian_led.ies"));
  QVERIFY(example.open(QIODevice::ReadOnly));
  directory_->write("lambertian_led.ies", example.readAll());
  const QString path = directory_->path("lambertian_led.ies");
  services_.fileAnswers = {path};
  f.ImportPhotometricAction->trigger();
  QVERIFY(f.import_in_progress());
  QVERIFY(!f.BitBtn1->isEnabled());
  QVERIFY(f.CancelRunButton->isVisible() || f.CancelRunButton->isVisibleTo(&f));
  QVERIFY2(f.Label21->text().startsWith(QStringLiteral("Reading ")), qPrintable(f.Label21->text()));
  QVERIFY(wait_for_idle(f));
  QVERIFY(f.BitBtn1->isEnabled());
  QCOMPARE(f.Label21->text(), QString());
  QCOMPARE(services_.error_texts(), QStringList{});

  const std::string source = from_qt(path);
  const PhotometricImport imported = import_photometric_file(source);
  const auto files = imported_table_files(imported, source, std::string(), separator().toLatin1());
  QCOMPARE(services_.texts(), QStringList{to_qt(import_summary(imported, source, files))});
  QCOMPARE(f.ComboBoxEx1->currentText(), QStringLiteral("lambertian_led_C0-C180.txt"));
  QCOMPARE(f.ComboBoxEx2->currentText(), QStringLiteral("lambertian_led_C90-C270.txt"));
  QVERIFY(directory_->exists("lambertian_led_C0-C180.txt"));
}

// Cancel (Esc) while the file is read: no table written, no question, no
// summary, the settings as they were, the window idle again.
void ImportAndFormatsTest::cancelledImportChangesNothing() {
  TForm1& f = *form_;
  const QString before1 = f.ComboBoxEx1->currentText();
  const QString before2 = f.ComboBoxEx2->currentText();
  const double flux = f.SourceFluxEdit->value();
  services_.fileAnswers = {directory_->path("led.ies")};
  f.ImportPhotometricAction->trigger();
  QVERIFY(f.import_in_progress());
  f.CancelRunButton->click();  // as Esc does
  QVERIFY(wait_for_idle(f));
  QVERIFY(services_.shown.empty());
  QVERIFY(!directory_->exists("led_C0-C180.txt"));
  QVERIFY(!directory_->exists("led_C90-C270.txt"));
  QCOMPARE(f.ComboBoxEx1->currentText(), before1);
  QCOMPARE(f.ComboBoxEx2->currentText(), before2);
  QCOMPARE(f.SourceFluxEdit->value(), flux);
  QVERIFY(f.BitBtn1->isEnabled());
  QCOMPARE(f.Label21->text(), QString());
}

void ImportAndFormatsTest::binaryFormatsFromTheMenu_data() {
  QTest::addColumn<QString>("format");
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("output");
  QTest::addColumn<QByteArray>("magic");
  QTest::addColumn<QString>("megabytes");  // the size shown for 10^6 rays
  QTest::newRow("Zemax binary") << "zemax-binary"
                                << "zemax"
                                << "ray.dat" << QByteArray("\xf2\x03\x00\x00", 4) << "28";
  // A Zemax binary format takes the Zemax target with it, and the name
  // follows the format: no TM-25 file under a TracePro .txt name.
  QTest::newRow("TM-25 from the TracePro target") << "tm25"
                                                  << "tracepro"
                                                  << "ray.TM25RAY" << QByteArray("TM25") << "28";
  QTest::newRow("Zemax binary from the TracePro target") << "zemax-binary"
                                                         << "tracepro"
                                                         << "ray.dat" << QByteArray("\xf2\x03\x00\x00", 4) << "28";
}

void ImportAndFormatsTest::binaryFormatsFromTheMenu() {
  QFETCH(QString, format);
  QFETCH(QString, target);
  QFETCH(QString, output);
  QFETCH(QByteArray, magic);
  QFETCH(QString, megabytes);
  TForm1& f = *form_;
  (target == "tracepro" ? f.RadioButton1 : f.RadioButton2)->click();
  (format == "tm25" ? f.Tm25Action : f.ZemaxBinaryAction)->trigger();
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.error_texts(), QStringList{});
  const QByteArray bytes = directory_->read(output);
  QVERIFY2(bytes.startsWith(magic), bytes.left(16).toHex().constData());
  if (format == "zemax-binary" && target == "zemax") {
    QCOMPARE(bytes.size(), qsizetype(208 + 28 * 1001));  // header, then 1001 records of seven floats
  }
  // The size estimate follows the format, and goes back with it.
  f.CSpinEdit3->setSpinText(QStringLiteral("1000000"));
  QCOMPARE(f.Label10->text(), megabytes);
  f.TextFormatAction->trigger();
  QVERIFY(f.RadioButton2->isChecked());
  QCOMPARE(f.selected_format(), OutputFormat::Zemax);
  QVERIFY(!directory_->exists("ray1.txt"));
  QCOMPARE(f.Label10->text(), QStringLiteral("74"));
  (format == "tm25" ? f.Tm25Action : f.ZemaxBinaryAction)->trigger();
  f.RadioButton2->click();  // a binary format takes effect with the Zemax target
  QCOMPARE(f.Label10->text(), QStringLiteral("28"));
}

// The format box lists the target's formats; choosing one changes the
// name's extension (asking first about a typed name), shows in the banner,
// filters Browse, and is remembered for the target by the next window.
void ImportAndFormatsTest::formatBoxRenamesRemembersAndFilters() {
  TForm1& f = *form_;
  const auto items = [&f] {
    QStringList texts;
    for (int i = 0; i < f.FormatBox->count(); ++i) texts << f.FormatBox->itemText(i);
    return texts;
  };
  QCOMPARE(items(), (QStringList{"Zemax text", "Zemax binary", "TM-25"}));
  f.RadioButton6->click();
  QCOMPARE(items(), QStringList{QStringLiteral("ASAP (dis) \u2014 experimental")});
  QVERIFY(!f.FormatBox->isEnabled());  // nothing to choose
  f.RadioButton5->click();
  QCOMPARE(items(), (QStringList{"LightTools binary", "LightTools text"}));

  // A name set by the window follows the format without a question.
  f.Edit11->setText(QStringLiteral("led.ray"));
  f.FormatBox->setCurrentIndex(1);
  emit f.FormatBox->activated(1);
  QCOMPARE(f.selected_format(), OutputFormat::LightToolsText);
  QCOMPARE(f.Edit11->text(), QStringLiteral("led.ray"));  // .ray is a LightTools text name too
  f.FormatBox->setCurrentIndex(0);
  emit f.FormatBox->activated(0);
  QCOMPARE(f.Edit11->text(), QStringLiteral("led.ray"));
  QVERIFY(f.Image3->text().contains("LightTools binary (.ray)"));

  f.RadioButton2->click();
  f.Edit4->setText(QStringLiteral("led.dat"));
  f.FormatBox->setCurrentIndex(2);
  emit f.FormatBox->activated(2);
  QCOMPARE(f.Edit4->text(), QStringLiteral("led.TM25RAY"));
  QVERIFY(services_.shown.empty());
  QVERIFY(f.Image2->text().contains("TM-25"));
  services_.fileAnswers = {};
  f.output()->BrowseOutputButton->click();
  QCOMPARE(services_.fileDialogs.size(), std::size_t{1});
  QCOMPARE(services_.fileDialogs[0].filter, QStringLiteral("TM-25 ray files (*.TM25RAY);;All files (*)"));

  // A typed name: the window asks, and No keeps it.
  f.Edit4->setText(QString());
  QTest::keyClicks(f.Edit4, QStringLiteral("mine.TM25RAY"));
  services_.answers = {DialogButton::No};
  f.FormatBox->setCurrentIndex(1);
  emit f.FormatBox->activated(1);
  QCOMPARE(services_.shown.size(), std::size_t{1});
  QCOMPARE(services_.shown[0].text,
           QStringLiteral("Change the ray file's name to mine.dat for the Zemax binary format?"));
  QCOMPARE(f.Edit4->text(), QStringLiteral("mine.TM25RAY"));
  services_.answers = {DialogButton::Yes};
  f.FormatBox->setCurrentIndex(2);
  emit f.FormatBox->activated(2);
  f.FormatBox->setCurrentIndex(1);
  emit f.FormatBox->activated(1);
  QCOMPARE(f.Edit4->text(), QStringLiteral("mine.dat"));

  // The next window starts with the formats last chosen per target.
  form_.reset();
  form_ = started_window(services_);
  QCOMPARE(form_->selected_format(), OutputFormat::ZemaxBinary);
  form_->RadioButton5->click();
  QCOMPARE(form_->selected_format(), OutputFormat::LightTools);
}

LUCIDRA_QT_TEST_MAIN(ImportAndFormatsTest)
#include "import_and_formats_test.moc"
