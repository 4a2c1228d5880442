#pragma once
// The controls the three setting windows are built from, at fixed pixel places, and
// the key filter of their numeric entry boxes.

#include <QString>
#include <Qt>

class QComboBox;
class QEvent;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace settings {

// Caption, window font and fixed outer geometry of a setting window.
void SetUpSettingWindow(QWidget* window, const QString& caption, int left, int top, int outerWidth, int outerHeight);

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, int width, const QFont& font);
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
