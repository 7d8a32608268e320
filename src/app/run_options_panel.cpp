// The run options' controls and their part of the settings model.

#include "app/run_options_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRadioButton>

#include "app/spin_edit.h"
#include "app/window_parts.h"

namespace lucidra::app {

using namespace window_parts;

void RunOptionsPanel::build_rays(QWidget* frame) {
  Label3 = make_label(frame, "Label3", QStringLiteral("Number of Rays"), 8, 9);
  CSpinEdit3 = make_spin(frame, "CSpinEdit3", 1, 1000000000, 10000, 30000, QRect(88, 6, 97, 21));
  Label4 = make_label(frame, "Label4", QStringLiteral("Source Flux"), 8, 33);
  CSpinEdit5 = make_spin(frame, "CSpinEdit5", 5, 50000, 100, 3500, QRect(72, 30, 73, 21));
  CSpinEdit5->setEnabled(false);
  Label8 = make_label(frame, "Label8", QStringLiteral("Watt"), 150, 33);
  CheckBox2 = make_check(frame, "CheckBox2", QStringLiteral("Consider Sorce Flux"), 8, 56);
  SourceFluxEdit = named(new QDoubleSpinBox(frame), "SourceFluxEdit");
  SourceFluxEdit->setGeometry(QRect(72, 30, 73, 21));
  SourceFluxEdit->setDecimals(4);
  SourceFluxEdit->setRange(0.0001, 1e9);
  SourceFluxEdit->setValue(3500);
  FluxUnitBox = named(new QComboBox(frame), "FluxUnitBox");
  FluxUnitBox->addItems({QStringLiteral("W"), QStringLiteral("lm")});
  FluxUnitBox->setGeometry(QRect(148, 30, 42, 21));
}

void RunOptionsPanel::build_algorithm(QWidget* frame, QWidget* column) {
  Label19 = make_label(frame, "Label19", QStringLiteral("Random Algorithm:"), 8, 3);
  RadioButton3 = make_radio(frame, "RadioButton3", QStringLiteral("Quasi-random (Sobol)"), 16, 19);
  RadioButton4 = make_radio(frame, "RadioButton4", QStringLiteral("Pseudo-random (Uniform)"), 16, 37);
  RadioButton3->setChecked(true);
  keep_tab_on_checked({RadioButton3, RadioButton4});
  CheckBox5 = make_check(column, "CheckBox5", QStringLiteral("Emit only within +/- 90 degrees"), 197, 270);
  CheckBox5->setEnabled(false);
}

void RunOptionsPanel::build_notify(QWidget* frame) {
  CheckBox1 = make_check(frame, "CheckBox1", QStringLiteral("Notify end"), 8, 72);
}

void RunOptionsPanel::show_settings(const SettingsModel& model) {
  CSpinEdit3->setValue(model.rayCount);
  CheckBox2->setChecked(model.considerSourceFlux);
  CSpinEdit5->setValue(model.legacyFlux);
  (model.randomAlgorithm == RandomAlgorithm::Sobol ? RadioButton3 : RadioButton4)->setChecked(true);
  CheckBox1->setChecked(model.notifyEnd);
}

void RunOptionsPanel::show_flux(const SettingsModel& model) {
  SourceFluxEdit->setValue(model.sourceFlux);
  FluxUnitBox->setCurrentIndex(model.fluxUnit == FluxUnit::Lumen ? 1 : 0);
}

void RunOptionsPanel::store(SettingsModel& model) const {
  model.rayCount = CSpinEdit3->value();
  model.legacyFlux = CSpinEdit5->value();
  model.considerSourceFlux = CheckBox2->isChecked();
  model.sourceFlux = SourceFluxEdit->value();
  model.fluxUnit = FluxUnitBox->currentIndex() == 1 ? FluxUnit::Lumen : FluxUnit::Watt;
  model.randomAlgorithm = RadioButton3->isChecked() ? RandomAlgorithm::Sobol : RandomAlgorithm::Uniform;
  model.notifyEnd = CheckBox1->isChecked();
}

void RunOptionsPanel::show_sampling(SamplingMode mode) {
  // Version 3.5 knew whole watts, used only with "Consider Sorce Flux"; the
  // other samplings always carry the flux given, in watts or lumens.
  const bool legacy = mode == SamplingMode::Legacy;
  for (QWidget* control :
       {static_cast<QWidget*>(CSpinEdit5), static_cast<QWidget*>(Label8), static_cast<QWidget*>(CheckBox2)}) {
    control->setVisible(legacy);
  }
  SourceFluxEdit->setVisible(!legacy);
  FluxUnitBox->setVisible(!legacy);
}

double RunOptionsPanel::flux(SamplingMode mode) const {
  return mode == SamplingMode::Legacy ? CSpinEdit5->value() : SourceFluxEdit->value();
}

bool RunOptionsPanel::flux_in_lumens(SamplingMode mode) const {
  return mode != SamplingMode::Legacy && FluxUnitBox->currentIndex() == 1;
}

void RunOptionsPanel::CheckBox2Click() { CSpinEdit5->setEnabled(CheckBox2->isChecked()); }

}  // namespace lucidra::app
