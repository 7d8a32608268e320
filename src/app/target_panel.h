#pragma once
// The target and output panel: the ray file of each target program, the
// target buttons and their banners, the format box and Browse for the ray
// file. It shows and stores the model's format and ray files.

#include <QObject>
#include <QString>

#include "app/settings_model.h"
#include "output/ray_format.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace lucidra::app {

class DesktopServices;

class OutputPanel : public QObject {
  Q_OBJECT

 public:
  // `window` owns the panel; `services` answers its questions and dialogs.
  OutputPanel(QWidget* window, DesktopServices& services);

  // The controls, built into the window's frames in the form's order (the
  // tab chain follows it): the file fields, Browse, the banners, then the
  // target buttons and the format box.
  void build_file_fields(QWidget* frame);
  void build_browse(QWidget* frame);
  void build_banners(QWidget* frame);
  void build_targets(QWidget* frame);

  void show_settings(const SettingsModel& model);
  void store(SettingsModel& model) const;

  OutputFormat selected_format() const;
  // The file field and banner of a format's target.
  QLineEdit* output_path_field(OutputFormat format) const;
  QLabel* format_picture(OutputFormat format) const;
  // A target chosen: its formats listed (the one last used with it
  // selected) and its file field shown.
  void show_target(OutputFormat target);
  // Selects `format`, switching to its target first (through the target's
  // button, as a click would).
  void choose_format(OutputFormat format);
  // The chosen format took effect: remembered for its target, the file
  // name's extension follows it, its banner shown; then formatChosen.
  void format_chosen();
  // The banner names the target, the format and the sampling mode.
  void set_sampling(SamplingMode mode);
  void show_format_picture(OutputFormat format);
  void hide_format_pictures();
  // Browse for the ray file of the selected format.
  void BrowseOutputClick();

  QLabel* Label1 = nullptr;     // "Source File"
  QLineEdit* Edit3 = nullptr;   // TracePro ray file
  QLineEdit* Edit4 = nullptr;   // Zemax ray file
  QLineEdit* Edit11 = nullptr;  // LightTools ray file
  QLineEdit* Edit5 = nullptr;   // ASAP ray file
  QPushButton* BrowseOutputButton = nullptr;
  QLabel* Image1 = nullptr;              // TracePro banner
  QLabel* Image2 = nullptr;              // Zemax banner
  QLabel* Image3 = nullptr;              // LightTools banner
  QLabel* Image4 = nullptr;              // ASAP banner
  QRadioButton* RadioButton6 = nullptr;  // "ASAP (dis)"
  QRadioButton* RadioButton5 = nullptr;  // "LightTools"
  QRadioButton* RadioButton1 = nullptr;  // "TracePro"
  QRadioButton* RadioButton2 = nullptr;  // "Zemax"
  // The format of the selected target's file (text or binary where the
  // target reads both), beside the targets.
  QComboBox* FormatBox = nullptr;

 signals:
  void formatChosen(OutputFormat format);

 private:
  void fill_format_box(OutputFormat target);
  void show_format_banner(OutputFormat format);

  QWidget* window_;
  DesktopServices& services_;
  SamplingMode sampling_ = SamplingMode::EqualFlux;
};

}  // namespace lucidra::app
