#include "setting_window.h"

#include "look.h"
#include "message_boxes.h"
#include "setting_widgets.h"
#include "value_entry.h"
#include "widget_factory.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace settings {

namespace {
constexpr int kLabelHeight = 25;
}  // namespace

SettingWindow::SettingWindow(const SettingContext& context, const QString& caption, int left, int top, int outerWidth,
                             int outerHeight, QWidget* parent)
    : QWidget(parent), context_(context)
{
    ui::SetUpForm(this, caption, ui::kCloseBoxOnly);
    // Closing a setting window only hides it; it must never end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    ui::SetOuterGeometry(this, left, top, outerWidth, outerHeight);
}

QLabel* SettingWindow::AddLabel(const QString& text, int left, int top, int width, const QFont& font)
{
    return ui::MakeLabel(this, text, left, top, width, kLabelHeight, font);
}

QLineEdit* SettingWindow::AddEntry(int left, int top, int width)
{
    QLineEdit* edit = MakeNumericEdit(this, left, top, width);
    edit->installEventFilter(this);
    return edit;
}

QPushButton* SettingWindow::MakeSetButtonHere(int left, int top, int width)
{
    return MakeSetButton(this, left, top, width);
}

void SettingWindow::Guarded(const std::function<void()>& body) { ui::RunHandler(context_.boxes, this, body); }

void SettingWindow::ShowReported(QLineEdit* edit, QComboBox* unit, const QString& value, uint8_t unitCode)
{
    if (const std::optional<int> index = UnitIndexOf(unitCode)) unit->setCurrentIndex(*index);
    edit->setText(value);
}

ResistanceEntry SettingWindow::EntryOf(const QLineEdit* edit, const QComboBox* unit)
{
    return {edit->text(), unit->currentIndex()};
}

bool SettingWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Only entry boxes are watched.
    if (auto* edit = qobject_cast<QLineEdit*>(watched)) return KeyPressSwallowed(edit, event);
    return QWidget::eventFilter(watched, event);
}

}  // namespace settings
