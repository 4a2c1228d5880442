#include "nominal_value_window.h"

#include "frame_codec.h"
#include "look.h"
#include "message_boxes.h"
#include "setting_widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace settings;

TForm5::TForm5(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), context_{com, buffer, boxes}
{
    SetUpSettingWindow(this, QStringLiteral("标称值设置"), 428, 143, 396, 285);
    Label1 = MakeLabel(this, QStringLiteral("标称值设置"), 48, 56, 161, ui::PixelFont(QStringLiteral("宋体"), 21));
    Edit1 = MakeNumericEdit(this, 48, 104, 89);
    ComboBox1 = MakeUnitSelector(this, 160, 104, 65);
    Button1 = MakeSetButton(this, 248, 104, 75);

    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, Button1);

    Edit1->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
}

void TForm5::Button1Click()
{
    ui::RunHandler(context_.boxes, this,
                   [this] { RunResistanceSetting(this, context_, Edit1, ComboBox1, wire::kNominalValue); });
}

bool TForm5::Edit1KeyPress(QEvent* event) { return KeyPressSwallowed(Edit1, event); }

bool TForm5::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1) return Edit1KeyPress(event);
    return QWidget::eventFilter(watched, event);
}
