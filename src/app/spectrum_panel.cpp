// The source's spectrum: none, a file of wavelength and relative power, or
// one line. A tool window of its own (File > Spectrum…) with the choice, its
// plot and what the spectrum makes of the source flux; the run gives every
// ray a wavelength drawn from it.

#include <QAbstractAxis>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QValueAxis>
#include <algorithm>

#include "app/desktop_services.h"
#include "app/main_window.h"
#include "app/spin_edit.h"
#include "app/window_parts.h"
#include "distributions/number_text.h"
#include "photometry/spectrum.h"

namespace lucidra::app {

using namespace window_parts;

namespace {

constexpr int kSpectrumWidth = 420;
constexpr int kSpectrumHeight = 380;

}  // namespace

void TForm1::build_spectrum_panel() {
  // A window of its own: the settings column has no room for a plot, and the
  // spectrum is chosen once per source rather than per run.
  SpectrumPanel = named(new QFrame(this, Qt::Tool), "SpectrumPanel");
  SpectrumPanel->setWindowTitle(QStringLiteral("Spectrum"));
  SpectrumPanel->setFixedSize(kSpectrumWidth, kSpectrumHeight);
  SpectrumNoneButton =
      make_radio(SpectrumPanel, "SpectrumNoneButton", QStringLiteral("None (rays without a wavelength)"), 8, 6);
  SpectrumFileButton = make_radio(SpectrumPanel, "SpectrumFileButton", QStringLiteral("File"), 8, 30);
  SpectrumFileEdit = make_edit(SpectrumPanel, "SpectrumFileEdit", QString(), QRect(96, 28, 246, 21));
  SpectrumFileEdit->setPlaceholderText(QStringLiteral("wavelength (nm) and relative power"));
  BrowseSpectrumButton = named(new QPushButton(QStringLiteral("Browse…"), SpectrumPanel), "BrowseSpectrumButton");
  BrowseSpectrumButton->setGeometry(348, 27, 64, 23);
  BrowseSpectrumButton->setAutoDefault(false);
  SpectrumLineButton = make_radio(SpectrumPanel, "SpectrumLineButton", QStringLiteral("One line"), 8, 56);
  WavelengthEdit = make_edit(SpectrumPanel, "WavelengthEdit", QStringLiteral("555"), QRect(96, 54, 70, 21));
  make_label(SpectrumPanel, "WavelengthUnit", QStringLiteral("nm (200 to 2500)"), 172, 58);
  SpectrumNoneButton->setChecked(true);

  auto* chart = new QChart();
  chart->legend()->hide();
  chart->setMargins(QMargins(2, 2, 2, 2));
  SpectrumSeries = new QLineSeries(chart);
  chart->addSeries(SpectrumSeries);
  auto* axisX = new QValueAxis(chart);
  axisX->setTitleText(QStringLiteral("Wavelength, nm"));
  axisX->setLabelFormat(QStringLiteral("%.0f"));
  auto* axisY = new QValueAxis(chart);
  axisY->setTitleText(QStringLiteral("Relative power"));
  axisY->setRange(0, 1.05);
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);
  SpectrumSeries->attachAxis(axisX);
  SpectrumSeries->attachAxis(axisY);
  SpectrumChart = named(new QChartView(chart, SpectrumPanel), "SpectrumChart");
  SpectrumChart->setGeometry(4, 80, kSpectrumWidth - 8, 230);
  SpectrumChart->setRenderHint(QPainter::Antialiasing);

  SpectrumSummary = named(new QLabel(SpectrumPanel), "SpectrumSummary");
  SpectrumSummary->setGeometry(8, 314, kSpectrumWidth - 16, kSpectrumHeight - 318);
  SpectrumSummary->setWordWrap(true);
  SpectrumSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SpectrumSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);

  for (QRadioButton* button : {SpectrumNoneButton, SpectrumFileButton, SpectrumLineButton}) {
    connect(button, &QRadioButton::toggled, this, [this](bool on) {
      if (on) SpectrumModeClick();
    });
  }
  connect(BrowseSpectrumButton, &QPushButton::clicked, this, [this] { guarded([this] { BrowseSpectrumClick(); }); });
  connect(SpectrumFileEdit, &QLineEdit::editingFinished, this, [this] {
    if (!SpectrumFileEdit->isModified()) return;
    SpectrumFileEdit->setModified(false);
    refresh_spectrum();
  });
  connect(WavelengthEdit, &QLineEdit::editingFinished, this, [this] {
    if (!WavelengthEdit->isModified()) return;
    WavelengthEdit->setModified(false);
    commit_wavelength();
  });
  // The summary converts the flux field's value: it follows the field.
  connect(SourceFluxEdit, &QDoubleSpinBox::valueChanged, this, [this] { show_spectrum_summary(); });
  connect(FluxUnitBox, &QComboBox::currentIndexChanged, this, [this] { show_spectrum_summary(); });
  refresh_spectrum();
}

SpectrumMode TForm1::spectrum_mode() const {
  if (SpectrumFileButton->isChecked()) return SpectrumMode::File;
  if (SpectrumLineButton->isChecked()) return SpectrumMode::Line;
  return SpectrumMode::None;
}

void TForm1::SpectrumActionClick() {
  SpectrumPanel->show();
  SpectrumPanel->raise();
  SpectrumPanel->activateWindow();
}

void TForm1::SpectrumModeClick() {
  const SpectrumMode mode = spectrum_mode();
  SpectrumFileEdit->setEnabled(mode == SpectrumMode::File);
  BrowseSpectrumButton->setEnabled(mode == SpectrumMode::File);
  WavelengthEdit->setEnabled(mode == SpectrumMode::Line);
  refresh_spectrum();
  // A wavelength makes every record longer: the size shown follows the choice.
  show_estimate();
}

void TForm1::BrowseSpectrumClick() {
  const QString path =
      services_.open_file_name(QStringLiteral("Spectrum file"), QDir::currentPath(),
                               QStringLiteral("Spectrum files (*.txt *.csv *.dat *.TXT *.CSV *.DAT);;All files (*)"));
  SpectrumPanel->activateWindow();
  if (path.isEmpty()) return;
  SpectrumFileButton->setChecked(true);
  SpectrumFileEdit->setText(distribution_name(path));
  SpectrumFileEdit->setModified(false);
  refresh_spectrum();
}

QString TForm1::wavelength_problem() const {
  return to_qt(lucidra::app::wavelength_problem(settings_model(), decimalSeparator_));
}

bool TForm1::commit_wavelength() {
  refresh_spectrum();
  const QString problem = wavelength_problem();
  if (problem.isEmpty()) return true;
  services_.show_error(error_box_text(problem));
  return false;
}

bool TForm1::commit_spectrum() {
  if (spectrum_mode() == SpectrumMode::None) return true;
  if (LegacySampling1->isChecked()) {
    // Version 3.5's ray files have no place for a wavelength.
    services_.show_error(
        error_box_text(QStringLiteral("Spectrum: legacy sampling writes no wavelengths; choose None under "
                                      "File > Spectrum…, or the equal-flux or weighted sampling")));
    activateWindow();
    return false;
  }
  if (spectrum_mode() != SpectrumMode::File) return true;
  // Read again: the file may have changed since it was chosen.
  refresh_spectrum();
  try {
    (void)read_spectrum_file(from_qt(SpectrumFileEdit->text().trimmed()));
  } catch (const UserError& error) {
    services_.show_error(error_box_text(to_qt(error.what())));
    activateWindow();
    return false;
  }
  return true;
}

void TForm1::refresh_spectrum() {
  if (SpectrumPanel == nullptr) return;
  SpectrumSeries->clear();
  spectrum_.reset();
  spectrumProblem_.clear();
  const SpectrumMode mode = spectrum_mode();
  if (mode == SpectrumMode::File) {
    const QString path = SpectrumFileEdit->text().trimmed();
    if (path.isEmpty()) {
      spectrumProblem_ = QStringLiteral("Spectrum file: choose a file");
    } else {
      try {
        spectrum_ = read_spectrum_file(from_qt(path));
      } catch (const UserError& error) {
        // The file's own message names it and the line at fault.
        spectrumProblem_ = to_qt(error.what());
      }
    }
  } else if (mode == SpectrumMode::Line) {
    spectrumProblem_ = wavelength_problem();
    if (spectrumProblem_.isEmpty()) {
      spectrum_ = Spectrum::line(*try_parse_real(from_qt(WavelengthEdit->text().trimmed()), decimalSeparator_));
    }
  }

  if (spectrum_) {
    auto* axisX = qobject_cast<QValueAxis*>(SpectrumChart->chart()->axes(Qt::Horizontal).value(0));
    const std::vector<double>& nm = spectrum_->wavelengths();
    const std::vector<double>& power = spectrum_->powers();
    if (spectrum_->is_line()) {
      // A line has no width: drawn as a bar of full height at its wavelength.
      SpectrumSeries->append(nm[0], 0);
      SpectrumSeries->append(nm[0], 1);
      axisX->setRange(std::max(kSpectrumMinNm, nm[0] - 50), std::min(kSpectrumMaxNm, nm[0] + 50));
    } else {
      const double peak = spectrum_->peak_power();
      QList<QPointF> points;
      points.reserve(static_cast<qsizetype>(nm.size()));
      for (std::size_t i = 0; i < nm.size(); ++i) points.append(QPointF(nm[i], power[i] / peak));
      SpectrumSeries->replace(points);
      axisX->setRange(nm.front(), nm.back());
    }
  }
  show_spectrum_summary();
}

// The spectrum read last, against the flux field as it stands: the field's
// changes redraw only this, without reading the file again.
void TForm1::show_spectrum_summary() {
  if (SpectrumPanel == nullptr) return;
  QPalette palette = SpectrumSummary->palette();
  palette.setColor(QPalette::WindowText, spectrumProblem_.isEmpty()
                                             ? QPalette().color(QPalette::Active, QPalette::WindowText)
                                             : QColor(Qt::darkRed));
  SpectrumSummary->setPalette(palette);
  if (!spectrumProblem_.isEmpty()) {
    SpectrumSummary->setText(spectrumProblem_);
  } else if (!spectrum_) {
    SpectrumSummary->setText(QStringLiteral("No spectrum: the rays carry no wavelength."));
  } else {
    const bool legacy = LegacySampling1 != nullptr && LegacySampling1->isChecked();
    const double flux = legacy ? CSpinEdit5->value() : SourceFluxEdit->value();
    const bool lumens = !legacy && FluxUnitBox->currentIndex() == 1;
    SpectrumSummary->setText(to_qt(spectral_summary(*spectrum_, flux, lumens)) +
                             QStringLiteral("\nmean wavelength %1 nm").arg(spectrum_->mean_wavelength(), 0, 'f', 1));
  }
}

}  // namespace lucidra::app
