#pragma once
// The controls every window is built from, at fixed pixel places as the classic
// layouts give them.

#include <QString>

class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

QLabel* MakeLabel(QWidget* parent, const QString& caption, int left, int top, int width, int height, const QFont& font);
// A button in the given font, by default the window font.
QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height);
QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height,
                        const QFont& font);
QLineEdit* MakeEdit(QWidget* parent, int left, int top, int width, int height);

// For a window's destructor: ~QWidget destroys the controls after the window's own
// members are gone, and a control losing the focus then still signals (editingFinished).
// Cuts every connection from the window's controls to the window, and their event filters.
void DisconnectControls(QWidget& window);

}  // namespace ui
