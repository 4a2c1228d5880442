#pragma once
// What the line server reads: the archive's url as the benches have it (settings file
// qmr4070/qmr4070.conf, [archive] url, or QMR4070_ARCHIVE) and its own [line] section:
// listen (an address, 127.0.0.1 unless told), port (8470) and token (none).

#include <QHostAddress>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcLine)

namespace line {

struct LineConfig {
    QString url;
    QHostAddress listen{QHostAddress::LocalHost};
    quint16 port = 8470;
    QString token{};  // empty: no token asked
};

// The settings file's values; `error` says what is wrong with one (the default is kept).
LineConfig LoadLineConfig(QString* error);

}  // namespace line
