#include "setting_widgets.h"

#include "look.h"
#include "value_entry.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace settings {

namespace {
// Heights of the classic controls at the window font.
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 25;
// Tall enough for the 21-pixel label fonts.
constexpr int kLabelHeight = 25;

bool TypesNoCharacter(const QKeyEvent& key)
{
    return key.text().isEmpty() || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab ||
           key.key() == Qt::Key_Delete;
}
}  // namespace

void SetUpSettingWindow(QWidget* window, const QString& caption, int left, int top, int outerWidth, int outerHeight)
{
    window->setWindowFlags(ui::kCloseBoxOnly);
    // Closing a setting window only hides it; it must never end the program.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setWindowTitle(caption);
    window->setFont(ui::WindowFont());
    ui::SetOuterGeometry(window, left, top, outerWidth, outerHeight);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, int width, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setGeometry(left, top, width, kLabelHeight);
    return label;
}

QLineEdit* MakeNumericEdit(QWidget* parent, int left, int top, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(left, top, width, kEditHeight);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QComboBox* MakeUnitSelector(QWidget* parent, int left, int top, int width)
{
    auto* unit = new QComboBox(parent);
    unit->setGeometry(left, top, width, kEditHeight);
    unit->setEditable(false);
    unit->addItems(UnitSelectorItems());
    unit->setCurrentIndex(-1);
    return unit;
}

QPushButton* MakeSetButton(QWidget* parent, int left, int top, int width)
{
    auto* button = new QPushButton(QStringLiteral("设置完成"), parent);
    button->setGeometry(left, top, width, kButtonHeight);
    return button;
}

bool KeyPressSwallowed(const QLineEdit* edit, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (TypesNoCharacter(key)) return false;
    const QString current = edit->text();
    for (QChar typed : key.text())
        if (!KeyPasses(typed, current)) return true;
    return false;
}

}  // namespace settings
