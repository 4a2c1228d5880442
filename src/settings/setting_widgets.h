#pragma once
// The controls of the setting windows' entry rows, at fixed pixel places, and the key
// filter of their numeric entry boxes.

#include <QString>
#include <Qt>

class QComboBox;
class QEvent;
class QLineEdit;
class QPushButton;
class QWidget;

namespace settings {

// An entry box with no length limit.
QLineEdit* MakeNumericEdit(QWidget* parent, int left, int top, int width);
// "mΩ" "Ω" "KΩ" "MΩ", not editable, none chosen.
QComboBox* MakeUnitSelector(QWidget* parent, int left, int top, int width);
// A "设置完成" button.
QPushButton* MakeSetButton(QWidget* parent, int left, int top, int width);

// The key filter of a numeric entry box: true when the key press carries a character
// the box must not take. Keys that type no character, and Tab, Shift+Tab and Delete,
// which move the focus or edit rather than type, are left alone.
bool KeyPressSwallowed(const QLineEdit* edit, QEvent* event);

}  // namespace settings
