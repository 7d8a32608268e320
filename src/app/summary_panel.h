#pragma once
// The lines under the settings: the obtained flux and, after a run, what
// was written and where (with "Open folder"); the estimate before a run and
// the speed during one; the run's emitter bounds and backward share.

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;
class QWidget;

namespace lucidra {
struct RayExtent;
}

namespace lucidra::app {

class DesktopServices;
class ElidedLabel;

class SummaryPanel : public QObject {
  Q_OBJECT

 public:
  SummaryPanel(QObject* owner, DesktopServices& services) : QObject(owner), services_(services) {}

  void build(QWidget* column);

  // After a successful run: the rays written to `path`, with wavelengths
  // when `spectrumSummary` says what the spectrum made of the flux.
  void show_run(const QString& path, std::int64_t raysWritten, const std::string& spectrumSummary,
                const RayExtent& extent);
  // The estimate before a run, or the speed and time left during one.
  void show_estimate(const QString& text);

  QLabel* Label20 = nullptr;  // "Obtained Source Flux,  Watt:"
  QLabel* Label7 = nullptr;   // obtained flux
  QLabel* Label9 = nullptr;   // "Size of Source File"
  QLabel* Label10 = nullptr;  // size, MB
  QLabel* Label11 = nullptr;  // "Мб"
  QLabel* Label12 = nullptr;  // "Generation Time ~ "
  QLabel* Label13 = nullptr;  // minutes
  QLabel* Label14 = nullptr;  // "min"
  QLabel* Label15 = nullptr;  // seconds
  QLabel* Label16 = nullptr;  // "sec"
  // The measured estimate before a run, its speed and time left during one.
  QLabel* EstimateLabel = nullptr;
  // After a successful run: the rays and the file written, and its folder.
  ElidedLabel* RunSummaryLabel = nullptr;
  QPushButton* OpenFolderButton = nullptr;
  // The same run's emitter bounds and share of rays going backwards.
  QLabel* RunExtentLabel = nullptr;

 private:
  void open_folder();

  DesktopServices& services_;
  QString folder_;  // of the file the last run wrote
};

}  // namespace lucidra::app
