#include "direct_limits_window.h"

#include "frame_codec.h"
#include "look.h"
#include "message_boxes.h"
#include "setting_widgets.h"
#include "value_entry.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace settings;

TForm2::TForm2(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent)
    : SettingWindow({com, buffer, boxes}, QStringLiteral("直读档极值设置"), 264, 147, 453, 289, parent)
{
    const QFont labelFont = ui::PixelFont(QStringLiteral("宋体"), 21);
    Label1 = AddLabel(QStringLiteral("上限"), 72, 56, 49, labelFont);
    Edit1 = AddEntry(144, 56, 81);
    ComboBox1 = MakeUnitSelector(this, 248, 56, 65);
    Button1 = AddSetButton(336, 56, 75, &TForm2::Button1Click);
    Label2 = AddLabel(QStringLiteral("下限"), 72, 120, 42, labelFont);
    Edit2 = AddEntry(144, 120, 81);
    Button2 = AddSetButton(336, 120, 75, &TForm2::Button2Click);
    ComboBox2 = MakeUnitSelector(this, 248, 120, 65);

    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Edit2);
    setTabOrder(Edit2, Button2);
    setTabOrder(Button2, ComboBox2);
}

void TForm2::Button1Click()
{
    Guarded([this] {
        RunResistanceSetting(this, context_, Edit1, ComboBox1, wire::kUpperDirectLimit,
                             [this](double value, int unitIndex) { UpperOwnStep(value, unitIndex); });
    });
}

void TForm2::Button2Click()
{
    Guarded([this] {
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

void TForm2::ShowReportedUpper(const QString& value, uint8_t unitCode)
{
    ShowReported(Edit1, ComboBox1, value, unitCode);
}

void TForm2::ShowReportedLower(const QString& value, uint8_t unitCode)
{
    ShowReported(Edit2, ComboBox2, value, unitCode);
}

ResistanceEntry TForm2::Upper() const { return EntryOf(Edit1, ComboBox1); }

ResistanceEntry TForm2::Lower() const { return EntryOf(Edit2, ComboBox2); }
