#include "percent_limits_window.h"

#include "frame_codec.h"
#include "look.h"
#include "setting_widgets.h"

#include <QLineEdit>
#include <QPushButton>

using namespace settings;

TForm3::TForm3(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent)
    : SettingWindow({com, buffer, boxes}, QStringLiteral("%档极值设置"), 314, 229, 474, 241, parent)
{
    const QFont labelFont = ui::PixelFont(QStringLiteral("宋体"), 21);
    const QFont percentFont = ui::PixelFont(QStringLiteral("MS Sans Serif"), 21);
    Label1 = AddLabel(QStringLiteral("上限"), 88, 56, 41, labelFont);
    Edit1 = AddEntry(136, 56, 105);
    Label2 = AddLabel(QStringLiteral("%"), 256, 56, 25, percentFont);
    Button1 = AddSetButton(320, 56, 75, &TForm3::Button1Click);
    Label3 = AddLabel(QStringLiteral("下限"), 88, 104, 41, labelFont);
    Edit2 = AddEntry(136, 104, 105);
    Label4 = AddLabel(QStringLiteral("%"), 256, 104, 15, percentFont);
    Button2 = AddSetButton(320, 104, 75, &TForm3::Button2Click);

    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Edit2);
    setTabOrder(Edit2, Button2);
}

void TForm3::Button1Click()
{
    Guarded([this] { RunPercentSetting(this, context_, Edit1, wire::kUpperPercentLimit); });
}

void TForm3::Button2Click()
{
    Guarded([this] { RunPercentSetting(this, context_, Edit2, wire::kLowerPercentLimit); });
}

bool TForm3::Edit1KeyPress(QEvent* event) { return KeyPressSwallowed(Edit1, event); }

bool TForm3::Edit2KeyPress(QEvent* event) { return KeyPressSwallowed(Edit2, event); }

void TForm3::ShowReportedUpper(const QString& value) { Edit1->setText(value); }

void TForm3::ShowReportedLower(const QString& value) { Edit2->setText(value); }

QString TForm3::UpperText() const { return Edit1->text(); }

QString TForm3::LowerText() const { return Edit2->text(); }
