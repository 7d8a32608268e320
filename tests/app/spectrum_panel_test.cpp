// The window's spectrum chooser: a file chosen with Browse reaches the run,
// whose rays carry wavelengths in the spectrum's proportions; a file the run
// would refuse shows its line in the panel and GENERATE refuses it; a
// wavelength outside 200..2500 nm is refused when committed; the choice
// survives Save and Open settings.

#include <QChart>
#include <QValueAxis>
#include <cmath>

#include "app/run_estimate.h"
#include "app/settings_model.h"
#include "app/spectrum_panel.h"
#include "output/ray_file_reader.h"
#include "window_harness.h"

using namespace lucidra;
using namespace lucidra::app;
using namespace lucidra::app::test;

namespace {

// Blue around 450 nm and green around 550 nm, three times the blue's power:
// a quarter of the rays blue, three quarters green, none in between.
const QByteArray kTwoBands = "# test: blue and green\r\n440 0\r\n450 1\r\n460 0\r\n540 0\r\n550 3\r\n560 0\r\n";

struct Wavelengths {
  std::int64_t rays = 0, blue = 0, green = 0, elsewhere = 0;
  double minNm = 1e9, maxNm = 0;
};

Wavelengths wavelengths_of(const QString& path) {
  Wavelengths total;
  read_ray_file(
      path.toStdString(), RayFileKind::Auto, 1,
      [](const RayRecord* rays, std::size_t count) {
        auto part = std::make_shared<Wavelengths>();
        for (std::size_t k = 0; k < count; ++k) {
          const double nm = rays[k].wavelength;
          ++part->rays;
          if (nm >= 440 && nm <= 460) {
            ++part->blue;
          } else if (nm >= 540 && nm <= 560) {
            ++part->green;
          } else {
            ++part->elsewhere;
          }
          part->minNm = std::min(part->minNm, nm);
          part->maxNm = std::max(part->maxNm, nm);
        }
        return std::shared_ptr<void>(part);
      },
      [&total](std::shared_ptr<void> partial) {
        const auto& part = *static_cast<Wavelengths*>(partial.get());
        total.rays += part.rays;
        total.blue += part.blue;
        total.green += part.green;
        total.elsewhere += part.elsewhere;
        total.minNm = std::min(total.minNm, part.minNm);
        total.maxNm = std::max(total.maxNm, part.maxNm);
      });
  return total;
}

// Types `text` into `edit` and leaves it, as a user commits a field.
void commit_text(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  edit->setModified(true);
  emit edit->editingFinished();
}

}  // namespace

class SpectrumPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    directory_ = std::make_unique<TestDirectory>();
    write_standard_files(*directory_);
    services_.clear();
    services_.answers.clear();
    services_.fileAnswers.clear();
    services_.fileDialogs.clear();
    services_.onShow = nullptr;
    form_ = started_window(services_);
  }
  void cleanup() {
    form_.reset();
    directory_.reset();
  }

  void aChosenFileIsPlottedAndTheRunWritesItsWavelengths();
  void aBadFileShowsItsLineAndGenerateRefusesIt();
  void aWavelengthOutsideItsRangeIsRefusedOnCommit();
  void oneLineGivesEveryRayItsWavelength();
  void theChoiceSurvivesSaveAndOpenSettings();
  void settingsFileLinesReadBackOrAreRefused();

 private:
  std::unique_ptr<TestDirectory> directory_;
  ScriptedServices services_;
  std::unique_ptr<TForm1> form_;
};

void SpectrumPanelTest::aChosenFileIsPlottedAndTheRunWritesItsWavelengths() {
  TForm1& f = *form_;
  directory_->write(QStringLiteral("bands.csv"), kTwoBands);
  f.SpectrumAction->trigger();
  QVERIFY(f.spectrum()->SpectrumPanel->isVisible());
  services_.fileAnswers = {directory_->path(QStringLiteral("bands.csv"))};
  f.spectrum()->BrowseSpectrumButton->click();
  QVERIFY(services_.fileDialogs.back().filter.contains(QStringLiteral("*.csv")));
  QVERIFY(services_.fileDialogs.back().filter.contains(QStringLiteral("*.dat")));
  QVERIFY(f.spectrum()->SpectrumFileButton->isChecked());
  QCOMPARE(f.spectrum()->SpectrumFileEdit->text(), QStringLiteral("bands.csv"));  // inside the working folder: its name

  // The plot: power relative to the peak (550 nm, 3), against wavelength.
  QCOMPARE(f.spectrum()->SpectrumSeries->count(), 6);
  QCOMPARE(f.spectrum()->SpectrumSeries->at(1), QPointF(450, 1.0 / 3));
  QCOMPARE(f.spectrum()->SpectrumSeries->at(4), QPointF(550, 1.0));
  const QList<QAbstractAxis*> axes = f.spectrum()->SpectrumChart->chart()->axes();
  QStringList titles;
  for (const QAbstractAxis* axis : axes) titles << axis->titleText();
  QVERIFY2(titles.contains(QStringLiteral("Wavelength, nm")) && titles.contains(QStringLiteral("Relative power")),
           qPrintable(titles.join(QLatin1Char('|'))));
  // The summary converts the flux field's value through V(lambda) and
  // follows the field.
  f.FluxUnitBox->setCurrentIndex(1);
  f.SourceFluxEdit->setValue(100);
  QVERIFY2(f.spectrum()->SpectrumSummary->text().startsWith(QStringLiteral("spectrum: 100 lm = ")),
           qPrintable(f.spectrum()->SpectrumSummary->text()));
  QVERIFY(f.spectrum()->SpectrumSummary->text().contains(QStringLiteral("lm/W")));

  const GenerationSettings settings = f.settings_from_controls();
  QCOMPARE(QString::fromStdString(settings.spectrumFile), QStringLiteral("bands.csv"));
  QCOMPARE(settings.wavelengthNm, 0.0);

  f.CSpinEdit3->setValue(3999);
  QString question;
  services_.onShow = [&question](const ShownMessage& message) {
    if (message.kind == ShownMessage::Kind::Box) question = message.text;
  };
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QVERIFY2(question.contains(QStringLiteral(", wavelengths from bands.csv, to ")), qPrintable(question));
  QVERIFY2(services_.error_texts().isEmpty(), qPrintable(services_.error_texts().join(QLatin1Char('\n'))));
  QVERIFY2(f.RunSummaryLabel->text().endsWith(QStringLiteral(" with wavelengths")),
           qPrintable(f.RunSummaryLabel->text()));
  QVERIFY(f.RunSummaryLabel->toolTip().contains(QStringLiteral("lm/W")));

  const Wavelengths written = wavelengths_of(directory_->path(QString::fromStdString(settings.outputPath)));
  QCOMPARE(written.rays, std::int64_t{4000});
  QCOMPARE(written.elsewhere, std::int64_t{0});
  // Equal-flux rays: the share of green rays is the share of green power.
  QVERIFY2(std::abs(static_cast<double>(written.green) / 4000.0 - 0.75) < 0.01,
           qPrintable(QString::number(written.green)));
  QVERIFY(written.minNm >= 440 && written.maxNm <= 560);
}

void SpectrumPanelTest::aBadFileShowsItsLineAndGenerateRefusesIt() {
  struct Case {
    const char* name;
    QByteArray text;
    const char* expected;  // in the panel and the error box
  };
  const Case cases[] = {
      {"falling.txt", "400 1\n500 2\n450 1\n", "falling.txt, line 3: wavelengths must increase"},
      {"negative.txt", "# header\n400 1\n500 -2\n", "negative.txt, line 3: power -2 is negative"},
      {"short.txt", "150 1\n500 2\n", "short.txt, line 1: wavelength 150 nm is outside 200 to 2500 nm"},
      {"words.txt", "400 1\n500 x\n", "words.txt, line 2"},
      {"dark.txt", "400 0\n500 0\n", "dark.txt"},
  };
  TForm1& f = *form_;
  const QString output = QString::fromStdString(f.settings_from_controls().outputPath);
  directory_->write(output, "previous rays\r\n");
  for (const Case& c : cases) {
    const QString name = QString::fromLatin1(c.name);
    directory_->write(name, c.text);
    services_.clear();
    services_.fileAnswers = {directory_->path(name)};
    f.spectrum()->BrowseSpectrumButton->click();
    QVERIFY2(f.spectrum()->SpectrumSummary->text().contains(QString::fromLatin1(c.expected)),
             qPrintable(name + ": " + f.spectrum()->SpectrumSummary->text()));
    QVERIFY(services_.error_texts().isEmpty());  // choosing it shows, not interrupts

    services_.answers = {DialogButton::Yes};
    f.BitBtn1->click();
    QVERIFY(wait_for_idle(f));
    QCOMPARE(services_.error_texts().size(), 1);
    QVERIFY2(services_.error_texts().front().contains(QString::fromLatin1(c.expected)),
             qPrintable(services_.error_texts().front()));
    QCOMPARE(services_.answers.size(), std::size_t{1});  // refused before the question
    QCOMPARE(directory_->read(output), QByteArray("previous rays\r\n"));
  }
  // A missing file is named as well.
  commit_text(f.spectrum()->SpectrumFileEdit, QStringLiteral("missing.txt"));
  QVERIFY2(f.spectrum()->SpectrumSummary->text().contains(QStringLiteral("missing.txt")),
           qPrintable(f.spectrum()->SpectrumSummary->text()));
}

void SpectrumPanelTest::aWavelengthOutsideItsRangeIsRefusedOnCommit() {
  struct Case {
    const char* typed;  // decimal point; the locale's separator is typed
    double nm;          // the run's wavelength; 0: refused
  };
  const Case cases[] = {{"199.9", 0}, {"2500.5", 0}, {"200", 200}, {"2500", 2500},
                        {"abc", 0},   {"", 0},       {"-450", 0},  {"455.5", 455.5}};
  TForm1& f = *form_;
  f.spectrum()->SpectrumLineButton->setChecked(true);
  for (const Case& c : cases) {
    const QString typed = localized(QString::fromLatin1(c.typed));
    services_.clear();
    commit_text(f.spectrum()->WavelengthEdit, typed);
    if (c.nm != 0) {
      QVERIFY2(services_.error_texts().isEmpty(), qPrintable(typed));
      QVERIFY(f.field_problem().isEmpty());
      QCOMPARE(f.settings_from_controls().wavelengthNm, c.nm);
      continue;
    }
    const QString message = QStringLiteral("Wavelength (nm) is '%1'; it must be a number from 200 to 2500").arg(typed);
    QCOMPARE(services_.error_texts().size(), 1);
    QVERIFY2(services_.error_texts().front().startsWith(message), qPrintable(services_.error_texts().front()));
    QVERIFY(f.spectrum()->SpectrumSummary->text().startsWith(message));
    // GENERATE refuses it too, before asking anything.
    services_.clear();
    services_.answers = {DialogButton::Yes};
    f.BitBtn1->click();
    QVERIFY(wait_for_idle(f));
    QCOMPARE(services_.answers.size(), std::size_t{1});
    QCOMPARE(services_.error_texts().size(), 1);
    QVERIFY(services_.error_texts().front().startsWith(message));
  }
  // Not in use, a wrong wavelength stops nothing.
  commit_text(f.spectrum()->WavelengthEdit, QStringLiteral("9999"));
  f.spectrum()->SpectrumNoneButton->setChecked(true);
  QVERIFY(f.field_problem().isEmpty());
  QCOMPARE(f.settings_from_controls().spectral(), false);
}

void SpectrumPanelTest::oneLineGivesEveryRayItsWavelength() {
  TForm1& f = *form_;
  f.CSpinEdit3->setValue(999999);
  // Every ray gains a wavelength column: the estimate follows the choice.
  const auto shown_size = [&f](bool spectral) {
    return QString::fromStdString(format_megabytes(
        estimated_file_bytes(f.selected_format(), 999999, f.SourceFluxEdit->value(),
                             f.FluxUnitBox->currentIndex() == 1 ? FluxUnit::Lumen : FluxUnit::Watt, spectral)));
  };
  QVERIFY2(f.EstimateLabel->text().contains(shown_size(false)), qPrintable(f.EstimateLabel->text()));
  f.spectrum()->SpectrumLineButton->setChecked(true);
  QVERIFY(shown_size(true) != shown_size(false));
  QVERIFY2(f.EstimateLabel->text().contains(shown_size(true)), qPrintable(f.EstimateLabel->text()));
  f.spectrum()->SpectrumNoneButton->setChecked(true);
  QVERIFY2(f.EstimateLabel->text().contains(shown_size(false)), qPrintable(f.EstimateLabel->text()));
  f.spectrum()->SpectrumLineButton->setChecked(true);
  commit_text(f.spectrum()->WavelengthEdit, QStringLiteral("555"));
  f.FluxUnitBox->setCurrentIndex(0);
  f.SourceFluxEdit->setValue(2);
  // 555 nm: V = 1, so 683 lm per watt.
  QVERIFY2(f.spectrum()->SpectrumSummary->text().startsWith(QStringLiteral("spectrum: 2 W = 1366 lm")),
           qPrintable(f.spectrum()->SpectrumSummary->text()));
  QCOMPARE(f.spectrum()->SpectrumSeries->count(), 2);
  QCOMPARE(f.spectrum()->SpectrumSeries->at(0).x(), 555.0);

  f.CSpinEdit3->setValue(99);
  QString question;
  services_.onShow = [&question](const ShownMessage& message) {
    if (message.kind == ShownMessage::Kind::Box) question = message.text;
  };
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QVERIFY2(question.contains(QStringLiteral(", wavelength 555 nm, to ")), qPrintable(question));
  QVERIFY(services_.error_texts().isEmpty());
  const Wavelengths written =
      wavelengths_of(directory_->path(QString::fromStdString(f.settings_from_controls().outputPath)));
  QCOMPARE(written.rays, std::int64_t{100});
  QCOMPARE(written.minNm, 555.0);
  QCOMPARE(written.maxNm, 555.0);

  // Legacy sampling has no place for a wavelength: refused before asking.
  f.LegacySampling1->trigger();
  services_.clear();
  services_.answers = {DialogButton::Yes};
  f.BitBtn1->click();
  QVERIFY(wait_for_idle(f));
  QCOMPARE(services_.answers.size(), std::size_t{1});
  QCOMPARE(services_.error_texts().size(), 1);
  QVERIFY2(
      services_.error_texts().front().startsWith(QStringLiteral("Spectrum: legacy sampling writes no wavelengths")),
      qPrintable(services_.error_texts().front()));
}

void SpectrumPanelTest::theChoiceSurvivesSaveAndOpenSettings() {
  TForm1& f = *form_;
  directory_->write(QStringLiteral("bands.csv"), kTwoBands);
  f.spectrum()->SpectrumFileButton->setChecked(true);
  commit_text(f.spectrum()->SpectrumFileEdit, QStringLiteral("bands.csv"));
  commit_text(f.spectrum()->WavelengthEdit, localized(QStringLiteral("480.5")));
  f.save_settings(directory_->path(QStringLiteral("file.cfg")));
  f.spectrum()->SpectrumLineButton->setChecked(true);
  f.save_settings(directory_->path(QStringLiteral("line.cfg")));

  f.spectrum()->SpectrumNoneButton->setChecked(true);
  f.spectrum()->SpectrumFileEdit->setText(QString());
  f.spectrum()->WavelengthEdit->setText(QStringLiteral("600"));
  f.open_settings(directory_->path(QStringLiteral("file.cfg")));
  QVERIFY(f.spectrum()->SpectrumFileButton->isChecked());
  QCOMPARE(f.spectrum()->SpectrumFileEdit->text(), QStringLiteral("bands.csv"));
  QCOMPARE(f.spectrum()->WavelengthEdit->text(), localized(QStringLiteral("480.5")));
  QCOMPARE(f.spectrum()->SpectrumSeries->count(), 6);  // read and plotted again
  QCOMPARE(QString::fromStdString(f.settings_from_controls().spectrumFile), QStringLiteral("bands.csv"));

  f.open_settings(directory_->path(QStringLiteral("line.cfg")));
  QVERIFY(f.spectrum()->SpectrumLineButton->isChecked());
  QCOMPARE(f.settings_from_controls().wavelengthNm, 480.5);
  QVERIFY(f.settings_from_controls().spectrumFile.empty());

  // An older file has no spectrum lines: the window keeps its choice.
  f.open_settings(directory_->path(QStringLiteral("lucidra.cfg")));
  QVERIFY(f.spectrum()->SpectrumLineButton->isChecked());
  QCOMPARE(f.settings_from_controls().wavelengthNm, 480.5);
}

void SpectrumPanelTest::settingsFileLinesReadBackOrAreRefused() {
  const QByteArray base = config_bytes(standard_config_lines());
  const char decimal = separator().toLatin1();
  struct Case {
    const char* lines;
    const char* error;  // empty: read
  };
  const Case cases[] = {
      {"spectrum=file\r\nspectrum file=white led.csv\r\n", ""},
      {"spectrum=line\r\nwavelength=450\r\n", ""},
      {"spectrum=none\r\n", ""},
      {"spectrum=all\r\n", "line 16 (spectrum): 'all' is not none, file or line"},
      {"spectrum=line\r\nwavelength=3000\r\n", "line 17 (wavelength): '3000' is not a wavelength from 200 to 2500 nm"},
      {"wavelength=blue\r\n", "line 16 (wavelength): 'blue' is not a wavelength"},
  };
  for (const Case& c : cases) {
    const std::string text = (base + c.lines).toStdString();
    if (*c.error == '\0') {
      const SettingsFile model = parse_settings_text(text, "s.cfg", decimal);
      // What is read is written again the same way.
      QCOMPARE(QByteArray::fromStdString(format_settings_text(model)).mid(base.size()), QByteArray(c.lines));
      continue;
    }
    try {
      (void)parse_settings_text(text, "s.cfg", decimal);
      QFAIL(c.lines);
    } catch (const UserError& error) {
      QVERIFY2(QString::fromStdString(error.what()).contains(QString::fromLatin1(c.error)), error.what());
    }
  }
}

LUCIDRA_QT_TEST_MAIN(SpectrumPanelTest)
#include "spectrum_panel_test.moc"
