#include "percent_limits_window.h"

#include "frame_codec.h"
#include "look.h"
#include "message_boxes.h"
#include "setting_widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace settings;

TForm3::TForm3(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), context_{com, buffer, boxes}
{
    SetUpSettingWindow(this, QStringLiteral("%档极值设置"), 314, 229, 474, 241);
    const QFont labelFont = ui::PixelFont(QStringLiteral("宋体"), 21);
    const QFont percentFont = ui::PixelFont(QStringLiteral("MS Sans Serif"), 21);
    Label1 = MakeLabel(this, QStringLiteral("上限"), 88, 56, 41, labelFont);
    Edit1 = MakeNumericEdit(this, 136, 56, 105);
    Label2 = MakeLabel(this, QStringLiteral("%"), 256, 56, 25, percentFont);
    Button1 = MakeSetButton(this, 320, 56, 75);
    Label3 = MakeLabel(this, QStringLiteral("下限"), 88, 104, 41, labelFont);
    Edit2 = MakeNumericEdit(this, 136, 104, 105);
    Label4 = MakeLabel(this, QStringLiteral("%"), 256, 104, 15, percentFont);
    Button2 = MakeSetButton(this, 320, 104, 75);

    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Edit2);
    setTabOrder(Edit2, Button2);

    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
}

void TForm3::Button1Click()
{
    ui::RunHandler(context_.boxes, this,
                   [this] { RunPercentSetting(this, context_, Edit1, wire::kUpperPercentLimit); });
}

void TForm3::Button2Click()
{
    ui::RunHandler(context_.boxes, this,
                   [this] { RunPercentSetting(this, context_, Edit2, wire::kLowerPercentLimit); });
}

bool TForm3::Edit1KeyPress(QEvent* event) { return KeyPressSwallowed(Edit1, event); }

bool TForm3::Edit2KeyPress(QEvent* event) { return KeyPressSwallowed(Edit2, event); }

bool TForm3::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1) return Edit1KeyPress(event);
    if (watched == Edit2) return Edit2KeyPress(event);
    return QWidget::eventFilter(watched, event);
}
