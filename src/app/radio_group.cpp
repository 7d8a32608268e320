#include "app/radio_group.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>

namespace lucidra::app {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int itemIndex, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
  constexpr int kLeft = 8;
  constexpr int kTop = 15;
  constexpr int kRowHeight = 17;
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->move(kLeft, kTop + i * kRowHeight);
    buttons_->addButton(button, i);
  }
  if (auto* selected = buttons_->button(itemIndex)) selected->setChecked(true);
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) emit itemSelected(id);
  });
}

int RadioGroup::itemIndex() const { return buttons_->checkedId(); }

void RadioGroup::setItemIndex(int index) {
  if (auto* button = buttons_->button(index)) button->setChecked(true);
}

int RadioGroup::itemCount() const { return static_cast<int>(buttons_->buttons().size()); }

QAbstractButton* RadioGroup::itemButton(int index) const { return buttons_->button(index); }

QString RadioGroup::itemText(int index) const {
  const auto* button = buttons_->button(index);
  return button != nullptr ? button->text() : QString();
}

}  // namespace lucidra::app
