#include "config/SettingsWidgets.h"

#include <QSignalBlocker>

namespace qs::widgets {

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, QRect place, const char* caption) {
  auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(place);
  return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect place, const char* caption, const char* hint) {
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(place);
  label->setToolTip(QString::fromLatin1(hint));
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect place, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(place);
  return button;
}

QComboBox* MakeChoiceList(QWidget* parent, const char* name, QRect place,
                          std::span<const std::string_view> items, const char* hint) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  list->setGeometry(place);
  list->setToolTip(QString::fromLatin1(hint));
  list->setEditable(true);
  list->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view item : items)
    list->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
  return list;
}

void OnEntry(QComboBox* list, std::function<void(const std::string&)> onEntry) {
  QObject::connect(list, &QComboBox::activated, list,
                   [list, onEntry](int index) { onEntry(list->itemText(index).toStdString()); });
  QObject::connect(list->lineEdit(), &QLineEdit::editingFinished, list, [list, onEntry] {
    const QString typed = list->lineEdit()->text();
    if (list->currentIndex() >= 0 && typed == list->itemText(list->currentIndex())) return;
    onEntry(typed.toStdString());
  });
}

void ShowItem(QComboBox* list, int index) {
  const QSignalBlocker quiet(list);
  list->setCurrentIndex(index);
  list->setEditText(index >= 0 && index < list->count() ? list->itemText(index) : QString());
}

void ShowChecked(QCheckBox* box, bool checked) {
  const QSignalBlocker quiet(box);
  box->setChecked(checked);
}

}  // namespace qs::widgets
