#pragma once
// The source's spectrum: none, a file of wavelength and relative power, or
// one line. A tool window of its own (File > Spectrum…) with the choice, its
// plot and what the spectrum makes of the source flux; the run gives every
// ray a wavelength drawn from it.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "app/settings_model.h"
#include "photometry/spectrum.h"

class QChartView;
class QFrame;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QRadioButton;
class QWidget;

namespace lucidra::app {

class DesktopServices;

class SpectrumChooser : public QObject {
  Q_OBJECT

 public:
  // The source flux as the flux field shows it, which the summary converts.
  struct Flux {
    double value = 0;
    bool lumens = false;
  };

  // Builds the tool window over `window`. `flux` is asked whenever the
  // summary is redrawn.
  SpectrumChooser(QWidget* window, DesktopServices& services, char decimalSeparator, std::function<Flux()> flux);

  // The choice as the settings model holds it, both ways.
  void show_settings(const SettingsModel& model);
  void store(SettingsModel& model) const;
  SpectrumMode mode() const;

  // File > Spectrum…: the window shown and raised.
  void open();
  // The plot and summary redrawn from the file or line (an unreadable file
  // shows its message instead).
  void refresh();
  // The summary alone, for a changed flux: the file is not read again.
  void show_summary();
  // After a run: what the spectrum made of the flux the run carried.
  void show_run_summary(const QString& text);
  // Before a run: the wavelength in its range and the file read again;
  // an error is shown (in the panel and a box) and false returned. Legacy
  // sampling writes no wavelength: any spectrum is refused.
  bool commit(bool legacySampling);

  QFrame* SpectrumPanel = nullptr;
  QRadioButton* SpectrumNoneButton = nullptr;
  QRadioButton* SpectrumFileButton = nullptr;
  QRadioButton* SpectrumLineButton = nullptr;
  QLineEdit* SpectrumFileEdit = nullptr;
  QPushButton* BrowseSpectrumButton = nullptr;
  QLineEdit* WavelengthEdit = nullptr;  // nm
  QChartView* SpectrumChart = nullptr;
  QLineSeries* SpectrumSeries = nullptr;
  // The V(lambda)-weighted summary of the chosen spectrum, or why it cannot
  // be used (the file's message, naming its line).
  QLabel* SpectrumSummary = nullptr;

 signals:
  // None, a file or a line chosen: the records' size changes with it.
  void modeChanged();

 private:
  void mode_clicked();
  void browse_clicked();
  bool commit_wavelength();
  QString wavelength_problem() const;

  QWidget* window_;
  DesktopServices& services_;
  char decimalSeparator_;
  std::function<Flux()> flux_;
  std::optional<Spectrum> spectrum_;  // the chosen spectrum as last read; none without or on error
  QString problem_;                   // why the choice cannot be used, as the panel shows it
};

}  // namespace lucidra::app
