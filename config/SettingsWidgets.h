#pragma once
// Small helpers shared by the settings windows: controls made at their places,
// and choice lists that accept typed text.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace qs::widgets {

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, QRect place, const char* caption);
QLabel* MakeLabel(QWidget* parent, const char* name, QRect place, const char* caption, const char* hint = "");
QPushButton* MakeButton(QWidget* parent, const char* name, QRect place, const char* caption);

// An editable choice list of these items. Typed text is not added to the items.
QComboBox* MakeChoiceList(QWidget* parent, const char* name, QRect place,
                          std::span<const std::string_view> items, const char* hint = "");

// Calls onEntry with the text of a chosen item, or with typed text once its
// editing is finished (Enter, or the focus leaving) and it differs from the
// item shown.
void OnEntry(QComboBox* list, std::function<void(const std::string&)> onEntry);

// Shows item index (no change signal), the edit text included: after typed
// text that named no item the list shows the item in force again.
void ShowItem(QComboBox* list, int index);

// Sets a check box without a change signal.
void ShowChecked(QCheckBox* box, bool checked);

}  // namespace qs::widgets
