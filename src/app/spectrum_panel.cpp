// The spectrum chooser's window, its handlers and its summary.

#include "app/spectrum_panel.h"

#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QValueAxis>
#include <algorithm>
#include <utility>

#include "app/desktop_services.h"
#include "app/main_window.h"
#include "app/window_parts.h"
#include "base/user_error.h"
#include "distributions/number_text.h"

namespace lucidra::app {

using namespace window_parts;

namespace {

constexpr int kSpectrumWidth = 420;
constexpr int kSpectrumHeight = 380;

}  // namespace

SpectrumChooser::SpectrumChooser(QWidget* window, DesktopServices& services, char decimalSeparator,
                                 std::function<Flux()> flux)
    : QObject(window),
      window_(window),
      services_(services),
      decimalSeparator_(decimalSeparator),
      flux_(std::move(flux)) {
  // A window of its own: the settings column has no room for a plot, and the
  // spectrum is chosen once per source rather than per run.
  SpectrumPanel = named(new QFrame(window, Qt::Tool), "SpectrumPanel");
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
      if (on) mode_clicked();
    });
  }
  connect(BrowseSpectrumButton, &QPushButton::clicked, this, &SpectrumChooser::browse_clicked);
  connect(SpectrumFileEdit, &QLineEdit::editingFinished, this, [this] {
    if (!SpectrumFileEdit->isModified()) return;
    SpectrumFileEdit->setModified(false);
    refresh();
  });
  connect(WavelengthEdit, &QLineEdit::editingFinished, this, [this] {
    if (!WavelengthEdit->isModified()) return;
    WavelengthEdit->setModified(false);
    commit_wavelength();
  });
  SpectrumFileEdit->setToolTip(
      QStringLiteral("Two columns: wavelength (nm) and relative power; # lines are comments, a CSV header is skipped"));
  WavelengthEdit->setToolTip(QStringLiteral("The one wavelength every ray carries: 200 to 2500 nm"));
  SpectrumNoneButton->setToolTip(QStringLiteral("Rays without a wavelength, as ray files had before"));
  refresh();
}

void SpectrumChooser::show_settings(const SettingsModel& model) {
  SpectrumFileEdit->setText(to_qt(model.spectrumFile));
  WavelengthEdit->setText(to_qt(model.wavelengthNm));
  (model.spectrum == SpectrumMode::File   ? SpectrumFileButton
   : model.spectrum == SpectrumMode::Line ? SpectrumLineButton
                                          : SpectrumNoneButton)
      ->setChecked(true);
  refresh();
}

void SpectrumChooser::store(SettingsModel& model) const {
  model.spectrum = mode();
  model.spectrumFile = from_qt(SpectrumFileEdit->text().trimmed());
  model.wavelengthNm = from_qt(WavelengthEdit->text().trimmed());
}

SpectrumMode SpectrumChooser::mode() const {
  if (SpectrumFileButton->isChecked()) return SpectrumMode::File;
  if (SpectrumLineButton->isChecked()) return SpectrumMode::Line;
  return SpectrumMode::None;
}

void TForm1::SpectrumActionClick() { spectrum_->open(); }

void SpectrumChooser::open() {
  SpectrumPanel->show();
  SpectrumPanel->raise();
  SpectrumPanel->activateWindow();
}

void SpectrumChooser::mode_clicked() {
  const SpectrumMode chosen = mode();
  SpectrumFileEdit->setEnabled(chosen == SpectrumMode::File);
  BrowseSpectrumButton->setEnabled(chosen == SpectrumMode::File);
  WavelengthEdit->setEnabled(chosen == SpectrumMode::Line);
  refresh();
  emit modeChanged();
}

void SpectrumChooser::browse_clicked() {
  const QString path =
      services_.open_file_name(QStringLiteral("Spectrum file"), QDir::currentPath(),
                               QStringLiteral("Spectrum files (*.txt *.csv *.dat *.TXT *.CSV *.DAT);;All files (*)"));
  SpectrumPanel->activateWindow();
  if (path.isEmpty()) return;
  SpectrumFileButton->setChecked(true);
  SpectrumFileEdit->setText(TForm1::distribution_name(path));
  SpectrumFileEdit->setModified(false);
  refresh();
}

QString SpectrumChooser::wavelength_problem() const {
  SettingsModel model;
  store(model);
  return to_qt(lucidra::app::wavelength_problem(model, decimalSeparator_));
}

bool SpectrumChooser::commit_wavelength() {
  refresh();
  const QString problem = wavelength_problem();
  if (problem.isEmpty()) return true;
  services_.show_error(error_box_text(problem));
  return false;
}

bool SpectrumChooser::commit(bool legacySampling) {
  if (mode() == SpectrumMode::None) return true;
  if (legacySampling) {
    // Version 3.5's ray files have no place for a wavelength.
    services_.show_error(
        error_box_text(QStringLiteral("Spectrum: legacy sampling writes no wavelengths; choose None under "
                                      "File > Spectrum…, or the equal-flux or weighted sampling")));
    window_->activateWindow();
    return false;
  }
  if (mode() != SpectrumMode::File) return true;
  // Read again: the file may have changed since it was chosen.
  refresh();
  try {
    (void)read_spectrum_file(from_qt(SpectrumFileEdit->text().trimmed()));
  } catch (const UserError& error) {
    services_.show_error(error_box_text(to_qt(error.what())));
    window_->activateWindow();
    return false;
  }
  return true;
}

void SpectrumChooser::refresh() {
  SpectrumSeries->clear();
  spectrum_.reset();
  problem_.clear();
  const SpectrumMode chosen = mode();
  if (chosen == SpectrumMode::File) {
    const QString path = SpectrumFileEdit->text().trimmed();
    if (path.isEmpty()) {
      problem_ = QStringLiteral("Spectrum file: choose a file");
    } else {
      try {
        spectrum_ = read_spectrum_file(from_qt(path));
      } catch (const UserError& error) {
        // The file's own message names it and the line at fault.
        problem_ = to_qt(error.what());
      }
    }
  } else if (chosen == SpectrumMode::Line) {
    problem_ = wavelength_problem();
    if (problem_.isEmpty()) {
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
  show_summary();
}

// The spectrum read last, against the flux field as it stands: the field's
// changes redraw only this, without reading the file again.
void SpectrumChooser::show_summary() {
  QPalette palette = SpectrumSummary->palette();
  palette.setColor(QPalette::WindowText,
                   problem_.isEmpty() ? QPalette().color(QPalette::Active, QPalette::WindowText) : QColor(Qt::darkRed));
  SpectrumSummary->setPalette(palette);
  if (!problem_.isEmpty()) {
    SpectrumSummary->setText(problem_);
  } else if (!spectrum_) {
    SpectrumSummary->setText(QStringLiteral("No spectrum: the rays carry no wavelength."));
  } else {
    const Flux flux = flux_();
    SpectrumSummary->setText(to_qt(spectral_summary(*spectrum_, flux.value, flux.lumens)) +
                             QStringLiteral("\nmean wavelength %1 nm").arg(spectrum_->mean_wavelength(), 0, 'f', 1));
  }
}

void SpectrumChooser::show_run_summary(const QString& text) { SpectrumSummary->setText(text); }

}  // namespace lucidra::app
