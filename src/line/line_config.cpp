#include "line_config.h"

#include "archive_config.h"

#include <QSettings>
#include <QStandardPaths>

// The server's own lines are on by default: it runs as a service whose journal is read.
Q_LOGGING_CATEGORY(lcLine, "qmr4070.line", QtInfoMsg)

namespace line {

LineConfig LoadLineConfig(QString* error)
{
    LineConfig config;
    config.url = archive::LoadConfig().url;
    const QSettings file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QStringLiteral("/qmr4070/qmr4070.conf"),
                         QSettings::IniFormat);
    const QString listen = file.value(QStringLiteral("line/listen")).toString().trimmed();
    if (!listen.isEmpty() && !config.listen.setAddress(listen)) {
        *error = QStringLiteral("[line] listen is not an address: %1").arg(listen);
        config.listen = QHostAddress::LocalHost;
    }
    if (file.contains(QStringLiteral("line/port"))) {
        bool ok = false;
        const uint port = file.value(QStringLiteral("line/port")).toString().toUInt(&ok);
        if (ok && port > 0 && port < 65536)
            config.port = quint16(port);
        else
            *error = QStringLiteral("[line] port is not a port number");
    }
    config.token = file.value(QStringLiteral("line/token")).toString();
    return config;
}

}  // namespace line
