#include "direct_limits_window.h"

#include "frame_codec.h"
#include "look.h"
#include "message_boxes.h"
#include "setting_widgets.h"
#include "value_entry.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace settings;

TForm2::TForm2(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), context_{com, buffer, boxes}
{
    SetUpSettingWindow(this, QStringLiteral("直读档极值设置"), 264, 147, 453, 289);
    const QFont labelFont = ui::PixelFont(QStringLiteral("宋体"), 21);
    Label1 = MakeLabel(this, QStringLiteral("上限"), 72, 56, 49, labelFont);
    Edit1 = MakeNumericEdit(this, 144, 56, 81);
    ComboBox1 = MakeUnitSelector(this, 248, 56, 65);
    Button1 = MakeSetButton(this, 336, 56, 75);
    Label2 = MakeLabel(this, QStringLiteral("下限"), 72, 120, 42, labelFont);
    Edit2 = MakeNumericEdit(this, 144, 120, 81);
    Button2 = MakeSetButton(this, 336, 120, 75);
    ComboBox2 = MakeUnitSelector(this, 248, 120, 65);

    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Edit2);
    setTabOrder(Edit2, Button2);
    setTabOrder(Button2, ComboBox2);

    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::Button1Click()
{
    ui::RunHandler(context_.boxes, this, [this] {
        RunResistanceSetting(this, context_, Edit1, ComboBox1, wire::kUpperDirectLimit,
                             [this](double value, int unitIndex) { UpperOwnStep(value, unitIndex); });
    });
}

void TForm2::Button2Click()
{
    ui::RunHandler(context_.boxes, this, [this] {
        RunResistanceSetting(this, context_, Edit2, ComboBox2, wire::kLowerDirectLimit,
                             [this](double value, int unitIndex) { LowerOwnStep(value, unitIndex); });
    });
}

void TForm2::UpperOwnStep(double value, int unitIndex)
{
    if (const std::optional<double> ohms = OhmsPerUnit(unitIndex)) UpperLimitOhms = value * *ohms;
}

void TForm2::LowerOwnStep(double value, int unitIndex)
{
    LowerLimitOhms = value * OhmsPerUnit(unitIndex).value_or(1.0);
    if (UpperLimitOhms < LowerLimitOhms) context_.boxes.Inform(this, kLimitOrderWarning);
}

bool TForm2::Edit1KeyPress(QEvent* event) { return KeyPressSwallowed(Edit1, event); }

bool TForm2::Edit2KeyPress(QEvent* event) { return KeyPressSwallowed(Edit2, event); }

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1) return Edit1KeyPress(event);
    if (watched == Edit2) return Edit2KeyPress(event);
    return QWidget::eventFilter(watched, event);
}
