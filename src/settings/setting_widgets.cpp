#include "setting_widgets.h"

#include "look.h"
#include "value_entry.h"
#include "widget_factory.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace settings {

namespace {
// Heights of the classic controls at the window font.
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 25;

bool TypesNoCharacter(const QKeyEvent& key)
{
    return key.text().isEmpty() || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab ||
           key.key() == Qt::Key_Delete;
}
}  // namespace

QLineEdit* MakeNumericEdit(QWidget* parent, int left, int top, int width)
{
    QLineEdit* edit = ui::MakeEdit(parent, left, top, width, kEditHeight);
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
    return ui::MakeButton(parent, QStringLiteral("设置完成"), left, top, width, kButtonHeight);
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
