#pragma once
// The angular law: the two distribution files (lists that follow the
// working folder, Browse), the angular type with its NA, the angular shape
// (Radial or Square), and the photometric file whose whole solid replaces
// the two files.

#include <QObject>
#include <QString>

#include "app/settings_model.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

namespace lucidra::app {

class DesktopServices;
class RadioGroup;

class LawPanel : public QObject {
  Q_OBJECT

 public:
  LawPanel(QObject* owner, DesktopServices& services, char decimalSeparator)
      : QObject(owner), services_(services), decimalSeparator_(decimalSeparator) {}

  // Built where the form has them, in its tab order. `filter` sees the
  // typed fields' keys and drops.
  void build_distribution_fields(QWidget* frame, QObject* filter);
  void build_distribution_browse(QWidget* frame);
  void build_type(QWidget* frame);
  void build_na(QWidget* frame);
  void build_shape(QWidget* frame);
  void build_photometric(QWidget* column, QObject* filter);
  void build_file_list(QWidget* column);

  // The two files, and the type, NA and shape: the photometric source (the
  // window's, read on a worker) comes between them, as reading it chooses
  // User Defined.
  void show_settings(const SettingsModel& model);
  void show_law(const SettingsModel& model);
  void store(SettingsModel& model) const;

  // Sets the NA text from code; its validation runs (directly, so that an
  // error reaches the caller) only when the text really changes.
  void set_na_text(const QString& text);
  // The run takes the arcsine of the NA, so the field keeps it within 0..1:
  // above 1 it becomes 1, below 0 it becomes 0; an empty field ends the
  // handler silently; a text that is not a number throws.
  void Edit6Change();
  void RadioGroup2Click();

  QLabel* Label5 = nullptr;
  QComboBox* ComboBoxEx1 = nullptr;
  QLabel* Label6 = nullptr;
  QComboBox* ComboBoxEx2 = nullptr;
  QPushButton* BrowseLongitudinalButton = nullptr;
  QPushButton* BrowseTransversalButton = nullptr;
  QListWidget* FileListBox1 = nullptr;   // hidden "*.txt" list
  RadioGroup* RadioGroup2 = nullptr;     // "Angular Type"
  QLabel* Label27 = nullptr;             // "NA"
  QLineEdit* Edit6 = nullptr;            // NA
  QLabel* Label29 = nullptr;             // second "NA", hidden
  QLineEdit* Edit8 = nullptr;            // second NA, hidden
  QLabel* Label2 = nullptr;              // "Angular shape:"
  QRadioButton* RadioButton7 = nullptr;  // "Radial"
  QRadioButton* RadioButton8 = nullptr;  // "Square"
  // The photometric source under the source settings.
  QFrame* PhotometricPanel = nullptr;
  QLabel* PhotometricLabel = nullptr;
  QLineEdit* PhotometricFileEdit = nullptr;  // empty: the two distribution files
  QPushButton* BrowsePhotometricButton = nullptr;
  QCheckBox* FlipSolidBox = nullptr;               // "Flip (gamma 180 to +z)"
  QLabel* PhotometricBrief = nullptr;              // flux, peak, beam angle
  QPushButton* PhotometricPlanesButton = nullptr;  // "C-planes…"

 private:
  DesktopServices& services_;
  char decimalSeparator_;
};

}  // namespace lucidra::app
