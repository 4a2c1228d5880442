#include "widget_factory.h"

#include "look.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ui {

QLabel* MakeLabel(QWidget* parent, const QString& caption, int left, int top, int width, int height, const QFont& font)
{
    auto* label = new QLabel(caption, parent);
    label->setGeometry(left, top, width, height);
    label->setFont(font);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height)
{
    return MakeButton(parent, caption, left, top, width, height, WindowFont());
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height,
                        const QFont& font)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, top, width, height);
    button->setFont(font);
    return button;
}

QLineEdit* MakeEdit(QWidget* parent, int left, int top, int width, int height)
{
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(left, top, width, height);
    return edit;
}

void DisconnectControls(QWidget& window)
{
    for (QObject* control : window.findChildren<QObject*>()) {
        QObject::disconnect(control, nullptr, &window, nullptr);
        control->removeEventFilter(&window);
    }
}

}  // namespace ui
