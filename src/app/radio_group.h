#pragma once
// A titled group of exclusive radio buttons addressed by item index, the way
// the settings panels number their choices ("Angular Type" item 2 is
// "User Defined").

#include <QGroupBox>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;

namespace lucidra::app {

class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& title, const QStringList& items, int itemIndex, QWidget* parent = nullptr);

  int itemIndex() const;
  // Selecting another item from code emits itemSelected like a click does.
  void setItemIndex(int index);
  int itemCount() const;
  QString itemText(int index) const;
  QAbstractButton* itemButton(int index) const;

 signals:
  // An item became selected (by the user or from code).
  void itemSelected(int index);

 private:
  QButtonGroup* buttons_;
};

}  // namespace lucidra::app
