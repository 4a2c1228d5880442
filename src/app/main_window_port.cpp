// The serial port by name: offered when port 1 cannot be opened at start-up, and from
// the menu item "串口选择" later. The choice is kept in the settings file, so the
// login's hand-overs, a retake after a lost meter and the next start all use it.

#include "log_categories.h"
#include "login_window.h"
#include "main_window.h"
#include "message_boxes.h"
#include "platform_error.h"
#include "port_choice.h"
#include "serial_control.h"
#include "window_set.h"

#include <QTimer>

namespace {
const QString kChoiceCaption = QStringLiteral("串口选择");
}

std::optional<QString> TForm1::AskForPort(const QString& label)
{
    const QStringList offers = wire::PortOffers();
    const QString current = Com->Device();
    qsizetype currentIndex = 0;
    for (qsizetype i = 0; i < offers.size(); ++i)
        if (wire::PortNameOfOffer(offers[i]) == current) currentIndex = i;
    const auto choice =
        windows_.Boxes().ChooseItem(this, kChoiceCaption, label, offers, static_cast<int>(currentIndex));
    if (!choice) return std::nullopt;
    const QString name = wire::PortNameOfOffer(*choice);
    if (name.isEmpty()) return std::nullopt;
    return name;
}

void TForm1::OfferPortAtStart()
{
    // The environment's device wins over any choice, so there is nothing to offer.
    if (wire::PortNamedByEnvironment()) return;
    // Until a port opens or the operator gives up; each failure has had its box.
    while (!Com->PortOpen()) {
        const auto name = AskForPort(QStringLiteral("串口 %1 无法打开。仪器所接的串口:").arg(Com->Device()));
        if (!name) return;
        Guarded([&] {
            wire::KeepChosenPort(*name);
            qCInfo(lcLink).noquote() << "port chosen:" << *name;
            Com->setPortOpen(true);
        });
    }
}

void TForm1::PortItemClick()
{
    Guarded([this] {
        if (wire::PortNamedByEnvironment()) {
            windows_.Boxes().Inform(
                this,
                QStringLiteral("串口由环境变量 QMR4070_PORT 指定: %1").arg(wire::SerialControl::DeviceForPort(1)));
            return;
        }
        const auto name = AskForPort(QStringLiteral("仪器所接的串口:"));
        if (!name || (*name == Com->Device() && Com->PortOpen())) return;
        wire::KeepChosenPort(*name);
        qCInfo(lcLink).noquote() << "port chosen:" << *name;
        // The login's check never runs while this window is shown, so the port is Com's.
        if (Com->PortOpen()) Com->setPortOpen(false);
        try {
            Com->setPortOpen(true);
        } catch (const PlatformError&) {
            // As for a lost meter: the chosen port is taken as soon as it can be opened.
            retakeTimer_->start();
            throw;
        }
        retakeTimer_->stop();
        // As at start-up, so the switch panel and the setting windows catch up with the meter.
        Button1Click();
    });
}
