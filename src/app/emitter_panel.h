#pragma once
// The emitter: its extent about the z axis, its plane shape and sizes, one
// or two sides with their balance, and LED or arc mode.

#include <QObject>

#include "app/settings_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace lucidra::app {

class RadioGroup;
class SpinEdit;

class EmitterPanel : public QObject {
  Q_OBJECT

 public:
  explicit EmitterPanel(QObject* owner) : QObject(owner) {}

  // Built into the window's frames in the form's order (the tab chain
  // follows it): the extent, the plane shape, the sides and the Y size, the
  // X size, and the two mode boxes nobody sees.
  void build_extent(QWidget* frame);
  void build_shape(QWidget* frame);
  void build_sides_and_y_size(QWidget* frame, char decimalSeparator);
  void build_x_size(QWidget* frame, char decimalSeparator);
  void build_mode(QWidget* frame);

  void show_settings(const SettingsModel& model);
  void store(SettingsModel& model) const;

  // Handlers of changes that stay within the panel.
  void CheckBox6Click();
  void CSpinEdit6Change();
  void RadioGroup1Click();

  QLabel* Label17 = nullptr;  // "Angular Extent About Z Axis"
  SpinEdit* CSpinEdit4 = nullptr;
  QLabel* Label18 = nullptr;          // "degree"
  RadioGroup* RadioGroup3 = nullptr;  // "Form of Source LED"
  RadioGroup* RadioGroup1 = nullptr;  // "Plane shape"
  QCheckBox* CheckBox6 = nullptr;     // "Double side"
  QLabel* Label33 = nullptr;          // "Balance"
  SpinEdit* CSpinEdit6 = nullptr;
  QLineEdit* Edit13 = nullptr;     // balance complement
  QLabel* Label25 = nullptr;       // beside the Y size
  QLineEdit* Edit9 = nullptr;      // Y size
  QLabel* Label26 = nullptr;       // "mm"
  QLabel* Label32 = nullptr;       // beside the X size
  QLineEdit* Edit10 = nullptr;     // X size
  QLabel* Label28 = nullptr;       // "mm"
  QCheckBox* CheckBox3 = nullptr;  // "LED ", never shown
  QCheckBox* CheckBox4 = nullptr;  // "ARC", never shown
};

}  // namespace lucidra::app
