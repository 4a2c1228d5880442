#include "login_window.h"

#include "ansi_text.h"
#include "frame_buffer.h"
#include "frame_codec.h"
#include "look.h"
#include "main_window.h"
#include "message_boxes.h"
#include "serial_control.h"
#include "widget_factory.h"
#include "window_set.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>

using namespace wire;

namespace {

// The six digit values of an identity code, or nothing when the trimmed code is not
// six characters of hexadecimal digits. Checked whole before the port moves.
std::optional<std::array<uint8_t, kIdentityCodeLength>> IdentityDigits(const QString& code)
{
    if (base::AnsiByteLength(code) != kIdentityCodeLength || code.size() != kIdentityCodeLength) return std::nullopt;
    std::array<uint8_t, kIdentityCodeLength> digits{};
    for (int i = 0; i < kIdentityCodeLength; ++i) {
        const auto value = HexDigitValue(code[i]);
        if (!value) return std::nullopt;
        digits[i] = *value;
    }
    return digits;
}
}  // namespace

TForm6::TForm6(WindowSet& windows) : windows_(windows)
{
    ui::SetUpForm(this, QStringLiteral("用户登录"), ui::kCloseBoxOnly);
    ui::SetOuterGeometry(this, 370, 210, 458, 309);
    ui::MakeBand(this, 0, 0, width(), 97, ui::kTeal);
    ui::MakeBand(this, 0, 96, width(), 89, ui::kGradientInactiveCaption);
    ui::MakeBand(this, 0, 184, width(), 90, ui::kInactiveCaption);

    Com1 = new SerialControl(this);
    connect(Com1, &SerialControl::OnComm, this, &TForm6::Com1Comm);
    // The check under way is lost with the line; the next check opens the port afresh.
    connect(Com1, &SerialControl::PortLost, this,
            [this](const QString& text) { windows_.Boxes().ShowError(this, text); });

    Edit3 = ui::MakeEdit(this, 96, 32, 121, 21);
    Button3 = ui::MakeButton(this, QStringLiteral("身份认证"), 264, 32, 97, 25);
    Edit1 = ui::MakeEdit(this, 96, 128, 121, 21);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*", whatever the style's own
    Button4 = ui::MakeButton(this, QStringLiteral("管理员登录"), 264, 128, 97, 25);
    Button2 = ui::MakeButton(this, QStringLiteral("退出"), 264, 224, 97, 25);

    setTabOrder(Edit1, Button4);
    setTabOrder(Button4, Button2);
    setTabOrder(Button2, Edit3);
    setTabOrder(Edit3, Button3);

    connect(Button3, &QPushButton::clicked, this, &TForm6::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm6::Button4Click);
    connect(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
    // Enter in an entry box presses the button beside it.
    connect(Edit3, &QLineEdit::returnPressed, this, &TForm6::Button3Click);
    connect(Edit1, &QLineEdit::returnPressed, this, &TForm6::Button4Click);
}

void TForm6::Guarded(const std::function<void()>& body) { ui::RunHandler(windows_.Boxes(), this, body); }

void TForm6::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Edit1->setFocus();
}

void TForm6::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit Closed();
}

void TForm6::SetUpLoginPort()
{
    Com1->setCommPort(1);
    Com1->setSettings(QStringLiteral("9600,n,8,1"));
    Com1->setPortOpen(true);
    Com1->setInBufferCount(0);
    Com1->setOutBufferCount(0);
    Com1->setInputMode(1);
    Com1->setRThreshold(kIdentityAnswerLength);
    Com1->setSThreshold(0);
}

void TForm6::Button3Click()
{
    Guarded([this] {
        const auto digits = IdentityDigits(base::TrimBlanksAndControls(Edit3->text()));
        if (!digits) {
            windows_.Boxes().Inform(this, QStringLiteral("验证码不正确!"));
            return;
        }
        SerialControl& com = *windows_.Main().Com;
        if (com.PortOpen()) com.setPortOpen(false);
        if (!Com1->PortOpen()) SetUpLoginPort();

        SendIdentityCheck(*Com1, windows_.Buffer(), *digits);
    });
}

void TForm6::Com1Comm()
{
    Guarded([this] {
        const int event = Com1->CommEvent();
        if (event == SerialControl::kEventReceiveOverflow) {
            Com1->setInBufferCount(0);
            return;
        }
        if (event != SerialControl::kEventReceive) return;
        if (const auto verdict = IdentityVerdictOf(Com1->Input())) {
            Com1->setPortOpen(false);
            windows_.Main().Com->setPortOpen(true);
            if (*verdict == IdentityVerdict::Accepted)
                EnterMainWindow();
            else
                windows_.Boxes().Inform(this, QStringLiteral("验证码输入不正确!"));
        }
        Com1->setInBufferCount(0);
    });
}

void TForm6::Button4Click()
{
    Guarded([this] {
        if (Edit1->text() != QLatin1String(kAdministratorPassword)) {
            windows_.Boxes().Inform(this, QStringLiteral("管理员登录号不正确!"));
            return;
        }
        if (Com1->PortOpen()) Com1->setPortOpen(false);
        SerialControl& com = *windows_.Main().Com;
        if (!com.PortOpen()) com.setPortOpen(true);
        EnterMainWindow();
    });
}

void TForm6::EnterMainWindow()
{
    hide();
    windows_.Main().show();
    windows_.Main().Timer1->start();
}

void TForm6::Button2Click() { close(); }
