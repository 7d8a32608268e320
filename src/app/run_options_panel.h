#pragma once
// The run's options: the number of rays, the source flux (whole watts with
// "Consider Sorce Flux" under legacy sampling, any positive number in W or
// lm otherwise), the random algorithm and the notice at the end.

#include <QObject>

#include "app/settings_model.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QRadioButton;
class QWidget;

namespace lucidra::app {

class SpinEdit;

class RunOptionsPanel : public QObject {
  Q_OBJECT

 public:
  explicit RunOptionsPanel(QObject* owner) : QObject(owner) {}

  // Built into the window's frames in the form's order: the rays and flux,
  // the algorithm (with the +/- 90 degrees box beside it), Notify end.
  void build_rays(QWidget* frame);
  void build_algorithm(QWidget* frame, QWidget* column);
  void build_notify(QWidget* frame);

  // Everything but the flux, and the flux alone: a photometric file that
  // set the flux keeps it.
  void show_settings(const SettingsModel& model);
  void show_flux(const SettingsModel& model);
  void store(SettingsModel& model) const;

  // The flux fields of the chosen sampling.
  void show_sampling(SamplingMode mode);
  // The flux as the chosen sampling reads it: its value, and whether in lumens.
  double flux(SamplingMode mode) const;
  bool flux_in_lumens(SamplingMode mode) const;

  void CheckBox2Click();

  QLabel* Label3 = nullptr;  // "Number of Rays"
  SpinEdit* CSpinEdit3 = nullptr;
  QLabel* Label4 = nullptr;  // "Source Flux"
  SpinEdit* CSpinEdit5 = nullptr;
  QLabel* Label8 = nullptr;        // "Watt"
  QCheckBox* CheckBox2 = nullptr;  // "Consider Sorce Flux"
  // The equal-flux and weighted samplings' flux: any positive number, in
  // watts or lumens (legacy sampling keeps CSpinEdit5, whole watts).
  QDoubleSpinBox* SourceFluxEdit = nullptr;
  QComboBox* FluxUnitBox = nullptr;
  QLabel* Label19 = nullptr;             // "Random Algorithm:"
  QRadioButton* RadioButton3 = nullptr;  // Sobol
  QRadioButton* RadioButton4 = nullptr;  // Uniform
  QCheckBox* CheckBox5 = nullptr;        // "Emit only within +/- 90 degrees"
  QCheckBox* CheckBox1 = nullptr;        // "Notify end"
};

}  // namespace lucidra::app
