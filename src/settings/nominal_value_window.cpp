#include "nominal_value_window.h"

#include "frame_codec.h"
#include "look.h"
#include "setting_widgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace settings;

TForm5::TForm5(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent)
    : SettingWindow({com, buffer, boxes}, QStringLiteral("标称值设置"), 428, 143, 396, 285, parent)
{
    Label1 = AddLabel(QStringLiteral("标称值设置"), 48, 56, 161, ui::PixelFont(QStringLiteral("宋体"), 21));
    Edit1 = AddEntry(48, 104, 89);
    ComboBox1 = MakeUnitSelector(this, 160, 104, 65);
    Button1 = AddSetButton(248, 104, 75, &TForm5::Button1Click);

    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, Button1);
}

void TForm5::Button1Click()
{
    Guarded([this] { RunResistanceSetting(this, context_, Edit1, ComboBox1, wire::kNominalValue); });
}

bool TForm5::Edit1KeyPress(QEvent* event) { return KeyPressSwallowed(Edit1, event); }

void TForm5::ShowReportedNominal(const QString& value, uint8_t unitCode)
{
    ShowReported(Edit1, ComboBox1, value, unitCode);
}

ResistanceEntry TForm5::Nominal() const { return EntryOf(Edit1, ComboBox1); }
