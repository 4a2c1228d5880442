// qmr4070-line: the line of benches at a glance, a web page over the shared archive.

#include "line_config.h"
#include "line_server.h"
#include "line_service.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

namespace {

// SIGTERM (systemctl stop) and SIGINT end the event loop through a socket pair, the one
// thing a signal handler may safely touch, so the worker is stopped in order.
int signalPair[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPair[0], &byte, 1);
}

void QuitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0) return;
    auto* notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qmr4070-line"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QMR4070_VERSION));
    // Under systemd the lines go to the journal, which stamps them itself.
    qSetMessagePattern(QStringLiteral("%{if-warning}warning: %{endif}%{if-critical}error: %{endif}%{message}"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves the line of QMR4070 benches as a web page over the shared PostgreSQL archive.\n"
                       "Settings: qmr4070/qmr4070.conf in the user's config folder, [archive] url and\n"
                       "[line] listen, port, token; QMR4070_ARCHIVE overrides the url."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Address to listen on (127.0.0.1)."),
                                    QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port to listen on (8470; 0 picks one)."),
                                  QStringLiteral("port"));
    parser.addOption(listen);
    parser.addOption(port);
    parser.process(app);

    QString error;
    line::LineConfig config = line::LoadLineConfig(&error);
    if (!error.isEmpty()) qCWarning(lcLine).noquote() << error;
    if (parser.isSet(listen) && !config.listen.setAddress(parser.value(listen))) {
        std::fprintf(stderr, "qmr4070-line: --listen is not an address\n");
        return 2;
    }
    if (parser.isSet(port)) {
        bool ok = false;
        const uint number = parser.value(port).toUInt(&ok);
        if (!ok || number > 65535) {
            std::fprintf(stderr, "qmr4070-line: --port is not a port number\n");
            return 2;
        }
        config.port = quint16(number);
    }
    if (config.url.isEmpty()) {
        std::fprintf(stderr,
                     "qmr4070-line: no archive: set [archive] url in qmr4070/qmr4070.conf or QMR4070_ARCHIVE\n");
        return 2;
    }

    line::LineService service(config.url);
    line::LineServer server(config, service.Worker());
    const quint16 bound = server.listen(config.listen, config.port);
    if (bound == 0) {
        qCCritical(lcLine).noquote() << "cannot listen on" << config.listen.toString() << "port" << config.port;
        return 1;
    }
    const QString host = config.listen.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + config.listen.toString() + u']'
                             : config.listen.toString();
    qCInfo(lcLine).noquote() << QStringLiteral("serving the line at http://%1:%2/%3")
                                    .arg(host)
                                    .arg(bound)
                                    .arg(config.token.isEmpty() ? QString() : QStringLiteral(" (token required)"));
    QuitOnSignals(app);
    return app.exec();
}
