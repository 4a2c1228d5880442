#include "port_choice.h"

#include "platform_error.h"

#include <QSerialPortInfo>
#include <QSettings>
#include <QStandardPaths>

namespace wire {

namespace {
const QString kPortKey = QStringLiteral("link/port");
const QString kSeparator = QStringLiteral(" — ");
}  // namespace

QString SettingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/qmr4070/qmr4070.conf");
}

QString ChosenPort()
{
    const QSettings file(SettingsFilePath(), QSettings::IniFormat);
    return file.value(kPortKey).toString().trimmed();
}

void KeepChosenPort(const QString& name)
{
    QSettings file(SettingsFilePath(), QSettings::IniFormat);
    file.setValue(kPortKey, name);
    file.sync();
    if (file.status() != QSettings::NoError)
        throw PlatformError(QStringLiteral("设置文件 %1 无法写入").arg(SettingsFilePath()));
}

bool PortNamedByEnvironment() { return !qgetenv("QMR4070_PORT").isEmpty(); }

QStringList PortOffers()
{
    QStringList lines;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        const QString description = port.description().trimmed();
        lines << (description.isEmpty() ? port.portName() : port.portName() + kSeparator + description);
    }
    return lines;
}

QString PortNameOfOffer(const QString& line)
{
    const qsizetype at = line.indexOf(kSeparator);
    return (at < 0 ? line : line.left(at)).trimmed();
}

}  // namespace wire
