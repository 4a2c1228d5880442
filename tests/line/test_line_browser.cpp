// The whole program in a real browser: qmr4070-line run as installed against a PostgreSQL
// server the test starts, headless Chromium reading the tiles' numbers from the page, and
// screenshots of the line and of one bench at 1920×1080, and of the line on a phone,
// left in the test's folder.

#include "archive_rows.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <memory>

using testing_support::PgServer;

namespace {

const QString kChromium = QStringLiteral("/usr/bin/chromium");

QByteArray Get(const QString& url)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->readAll();
}

}  // namespace

class TestLineBrowser : public QObject {
    Q_OBJECT
    std::unique_ptr<PgServer> server;
    QTemporaryDir home;
    QProcess program;
    QString base;

    // Chromium as root on a closed network: no sandbox, no background connections.
    QByteArray Chromium(const QStringList& what)
    {
        QTemporaryDir profile;
        QProcess browser;
        browser.start(
            kChromium,
            QStringList{QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                        QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
                        QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                        QStringLiteral("--disable-sync"), QStringLiteral("--hide-scrollbars"),
                        QStringLiteral("--user-data-dir=") + profile.path(),
                        QStringLiteral("--virtual-time-budget=4000")} +
                what);
        if (!browser.waitForFinished(120000)) browser.kill();
        return browser.readAllStandardOutput();
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists(kChromium)) QSKIP("no /usr/bin/chromium (scripts/setup installs it)");
        server = std::make_unique<PgServer>();
        server->Query(QString::fromLatin1(testing_support::kArchiveTables));
        server->Query(testing_support::Batch(QStringLiteral("线1-台1"), 1, 1, 3000, 0, 2));
        server->Query(testing_support::Batch(QStringLiteral("线1-台2"), 2, 1, 1500, 10, 4));
        server->Query(testing_support::Batch(QStringLiteral("线1-台3"), 3, 1, 800, 200, 6));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QMR4070_ARCHIVE"), server->Url());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(LINE_PROGRAM), {QStringLiteral("--port"), QStringLiteral("0")});
        QRegularExpression serving(QStringLiteral("serving the line at (http://\\S+)/"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += program.readAll(), serving.match(QString::fromUtf8(log)).hasMatch()), 20000);
        base = serving.match(QString::fromUtf8(log)).captured(1);
        const qint64 total = server->Count(QStringLiteral("SELECT count(*) FROM qmr4070_records"));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                qint64 shown = 0;
                for (const QJsonValue& b : QJsonDocument::fromJson(Get(base + QStringLiteral("/api/line")))
                                               .object()[QStringLiteral("benches")]
                                               .toArray())
                    shown += b[QStringLiteral("records")].toInteger();
                return shown == total;
            }(),
            30000);
    }

    void cleanupTestCase()
    {
        if (program.state() == QProcess::NotRunning) return;
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
    }

    // Every bench's tile shows its readings and yield of today as the archive counts them.
    void tilesShowTheArchive()
    {
        const QString dom = QString::fromUtf8(Chromium({QStringLiteral("--dump-dom"), base + u'/'}));
        QVERIFY2(dom.contains(QStringLiteral("data-loaded=\"true\"")), qPrintable(dom.left(2000)));
        const QRegularExpression tile(QStringLiteral(
            "data-bench=\"([^\"]+)\".*?data-field=\"records\"[^>]*>(\\d+)<.*?data-field=\"yield\"[^>]*>([^<]+)<"));
        const QList<QStringList> direct = server->Query(
            QStringLiteral("SET TimeZone = '%1'; SELECT bench, count(*), round(100.0 * count(*) FILTER (WHERE sort = "
                           "'PASS') / count(*), 2) || '%' FROM qmr4070_records WHERE taken_at >= date_trunc('day', "
                           "now()) GROUP BY bench ORDER BY bench")
                .arg(QString::fromUtf8(QTimeZone::systemTimeZoneId())));
        QList<QStringList> shown;
        for (auto match = tile.globalMatch(dom); match.hasNext();) {
            const QRegularExpressionMatch m = match.next();
            shown << QStringList{m.captured(1), m.captured(2), m.captured(3)};
        }
        std::sort(shown.begin(), shown.end());
        QCOMPARE(shown, direct);
    }

    void screenshots()
    {
        const QString dir = QStringLiteral(SCREENSHOT_DIR);
        QDir().mkpath(dir);
        const QString bench =
            base + QStringLiteral("/bench/") + QString::fromUtf8(QUrl::toPercentEncoding(QStringLiteral("线1-台1")));
        const struct {
            QString file, url;
            QSize size;
        } shots[] = {{QStringLiteral("line.png"), base + u'/', {1920, 1080}},
                     {QStringLiteral("bench.png"), bench, {1920, 1080}},
                     {QStringLiteral("line-phone.png"), base + u'/', {390, 844}}};
        for (const auto& [file, url, size] : shots) {
            const QString path = dir + u'/' + file;
            QFile::remove(path);
            Chromium({QStringLiteral("--window-size=%1,%2").arg(size.width()).arg(size.height()),
                      QStringLiteral("--screenshot=") + path, url});
            const QImage image(path);
            QCOMPARE(image.size(), size);
            qInfo().noquote() << "screenshot:" << path;
        }
    }
};

QTEST_GUILESS_MAIN(TestLineBrowser)
#include "test_line_browser.moc"
