#include "archive_config.h"

#include <libpq-fe.h>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>

namespace archive {

namespace {

const QString kMask = QStringLiteral("********");

// The password in the URI's user part or in a password= setting, as written.
const QRegularExpression& WrittenPassword()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(?:postgres(?:ql)?://[^:@/?]*:([^@/?]*)@|.*?\bpassword\s*=\s*('(?:[^'\\]|\\.)*'|[^&\s]*)))"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

QStringList Secrets(const QString& url)
{
    QStringList secrets;
    QRegularExpressionMatch match = WrittenPassword().match(url);
    for (int group = 1; match.hasMatch() && group <= 2; ++group) {
        const QString written = match.captured(group);
        if (written.isEmpty()) continue;
        secrets << written << QUrl::fromPercentEncoding(written.toUtf8());
        if (written.startsWith(u'\'')) secrets << written.mid(1, written.size() - 2);
    }
    char* error = nullptr;
    if (PQconninfoOption* options = PQconninfoParse(url.toUtf8().constData(), &error)) {
        for (PQconninfoOption* o = options; o->keyword; ++o)
            if (o->val && *o->val && QByteArray(o->dispchar) == "*") secrets << QString::fromUtf8(o->val);
        PQconninfoFree(options);
    }
    PQfreemem(error);
    secrets.removeAll(QString());
    // Longest first, so a password that contains another is replaced whole.
    std::sort(secrets.begin(), secrets.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return secrets;
}

}  // namespace

Config LoadConfig()
{
    const QSettings file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QStringLiteral("/qmr4070/qmr4070.conf"),
                         QSettings::IniFormat);
    Config config{file.value(QStringLiteral("archive/url")).toString(),
                  file.value(QStringLiteral("archive/bench")).toString()};
    if (qEnvironmentVariableIsSet("QMR4070_ARCHIVE")) config.url = qEnvironmentVariable("QMR4070_ARCHIVE");
    if (qEnvironmentVariableIsSet("QMR4070_BENCH")) config.bench = qEnvironmentVariable("QMR4070_BENCH");
    config.url = config.url.trimmed();
    if (config.bench.isEmpty()) config.bench = QSysInfo::machineHostName();
    return config;
}

QString ShownServer(const QString& url)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options) return WithoutSecret(url, url);
    QStringList shown;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val || !*o->val || QByteArray(o->dispchar) == "*") continue;
        shown << QStringLiteral("%1=%2").arg(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return shown.join(u' ');
}

QString WithoutSecret(QString text, const QString& url)
{
    for (const QString& secret : Secrets(url)) text.replace(secret, kMask);
    return text;
}

}  // namespace archive
