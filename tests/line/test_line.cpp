// qmr4070-line against a real PostgreSQL server the test starts: the hourly table equals
// the archive counted directly, across restarts, late rows, new benches and a transaction
// still open; the answers' numbers and their status codes.

#include "archive_rows.h"
#include "forwarder.h"
#include "hour_aggregates.h"
#include "limit_log.h"
#include "line_server.h"
#include "line_service.h"
#include "pg_connection.h"
#include "record_store.h"

#include <libpq-fe.h>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <memory>

using testing_support::PgServer;

namespace {

struct Reply {
    int status = 0;
    QByteArray body;
    QByteArray cookie;
    QByteArray location;
};

Reply Get(quint16 port, const QByteArray& target, const QByteArray& cookie = {})
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl::fromEncoded("http://127.0.0.1:" + QByteArray::number(port) + target));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!cookie.isEmpty()) request.setRawHeader("Cookie", cookie);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Reply answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                 reply->rawHeader("Set-Cookie"), reply->rawHeader("Location")};
    reply->deleteLater();
    return answer;
}

bool Near(const QString& a, const QString& b)
{
    if (a == b) return true;
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA), y = b.toDouble(&okB);
    return okA && okB && std::abs(x - y) <= 1e-9 * std::max({1.0, std::abs(x), std::abs(y)});
}

}  // namespace

class TestLine : public QObject {
    Q_OBJECT
    std::unique_ptr<PgServer> server;
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());

    QList<QStringList> Direct(const QString& statement) const
    {
        return server->Query(QStringLiteral("SET TimeZone = '%1'; %2").arg(zone, statement));
    }
    // The horizon keeps a quarter second below the newest transaction's start.
    static void PastHorizon() { QTest::qSleep(400); }
    void CatchUp(line::HourAggregates& hours)
    {
        PastHorizon();
        while (hours.Step(250)) {}
    }
    void VerifyHoursEqualArchive()
    {
        const QList<QStringList> direct = Direct(QString::fromLatin1(testing_support::kDirectHours));
        const QList<QStringList> kept = Direct(QString::fromLatin1(testing_support::kServerHours));
        QCOMPARE(kept.size(), direct.size());
        for (qsizetype r = 0; r < direct.size(); ++r)
            for (qsizetype c = 0; c < direct[r].size(); ++c)
                if (!Near(kept[r][c], direct[r][c]))
                    QFAIL(qPrintable(QStringLiteral("group %1 column %2: kept %3, archive %4")
                                         .arg(direct[r].mid(0, 3).join(u' '))
                                         .arg(c)
                                         .arg(kept[r][c], direct[r][c])));
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<PgServer>();
        server->Query(QString::fromLatin1(testing_support::kArchiveTables));
    }

    // Chunks of 250 rows, a restart between chunks, rows arriving for hours already counted,
    // a new bench, and a transaction that began before rows that commit first.
    void aggregatesFollowTheArchive()
    {
        try {
            FollowTheArchive();
        } catch (const line::DbFailure& failure) {
            QFAIL(qPrintable(failure.text));
        }
    }

private:
    void FollowTheArchive()
    {
        using testing_support::Batch;
        server->Query(Batch(QStringLiteral("A"), 1, 1, 600, 0, 5));
        server->Query(Batch(QStringLiteral("B"), 2, 1, 500, 30, 10));
        server->Query(Batch(QStringLiteral("A"), 1, 601, 600, 40, 5));
        {
            line::PgConnection db;
            db.Ensure(server->Url());
            line::HourAggregates first(db);
            first.Prepare();
            PastHorizon();
            QVERIFY(first.Step(250));
            QVERIFY(first.Step(250));
        }  // the server stops mid-catch-up
        PGconn* slow = PQconnectdb(server->Url().toUtf8().constData());
        const auto finish = qScopeGuard([slow] { PQfinish(slow); });
        PQclear(PQexec(slow, "BEGIN"));
        PQclear(PQexec(slow, Batch(QStringLiteral("A"), 3, 1, 50, 20, 3).toUtf8().constData()));
        server->Query(Batch(QStringLiteral("C"), 4, 1, 300, 0, 2));
        server->Query(Batch(QStringLiteral("B"), 2, 501, 200, 45, 5));
        // Two files of one bench taking readings at the same instants, one of them two at
        // once, at the start of the day: the hour's first (and last) go by source, then local id.
        server->Query(QStringLiteral(
            "INSERT INTO qmr4070_records (source, local_id, bench, symbol, sort, taken_at, value) SELECT "
            "('00000000-0000-0000-0000-00000000000' || s)::uuid, g, 'A', 'R', 'PASS', "
            "date_trunc('day', now()) + (g - 1) / 2 * interval '1 second', 10 + 0.01 * s + 0.001 * g "
            "FROM generate_series(5, 6) s, generate_series(1, 4) g"));

        line::PgConnection db;
        db.Ensure(server->Url());
        line::HourAggregates second(db);
        second.Prepare();
        CatchUp(second);
        VerifyHoursEqualArchive();
        // The open transaction holds the mark below its start, so its rows still count.
        QVERIFY(server->Count(QStringLiteral("SELECT count(*) FROM qmr4070_records WHERE archived_at >= (SELECT "
                                             "archived_below FROM qmr4070_line_mark)")) >= 500);
        PGresult* committed = PQexec(slow, "COMMIT");
        QCOMPARE(PQresultStatus(committed), PGRES_COMMAND_OK);
        PQclear(committed);
        QCOMPARE(server->Count(QStringLiteral("SELECT count(*) FROM qmr4070_records")), 2258);
        CatchUp(second);
        VerifyHoursEqualArchive();
        QCOMPARE(server->Count(QStringLiteral("SELECT count(*) FROM qmr4070_records WHERE archived_at >= (SELECT "
                                              "archived_below FROM qmr4070_line_mark)")),
                 0);
    }

private slots:
    // A bench's reported limits reach qmr4070_limits a row per change, once, even when the
    // file's mark is lost after the server's commit.
    void limitsReachTheArchive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        {
            const records::RecordStore store(path);
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(1765272000123);
            const records::ReportedLimits percent{QStringLiteral("%"), -1.5, 2, 10};
            records::NoteLimits(store, {{QStringLiteral("R"), 9.9, 10.1, 10}, percent}, at);
            records::NoteLimits(store, {{QStringLiteral("R"), 9.9, 10.1, 10}, percent}, at.addSecs(1));
            records::NoteLimits(store, {{QStringLiteral("R"), 9.8, std::nullopt, 10}, percent}, at.addSecs(2));
        }
        archive::Forwarder forwarder({server->Url(), QStringLiteral("bench-L")}, path);
        const QString rows = QStringLiteral(
            "SELECT mode, lower, upper, nominal, (extract(epoch FROM changed_at) * 1000)::bigint FROM "
            "qmr4070_limits WHERE bench = 'bench-L' ORDER BY local_id");
        const QList<QStringList> expected{{"R", "9.9", "10.1", "10", "1765272000123"},
                                          {"%", "-1.5", "2", "10", "1765272000123"},
                                          {"R", "9.8", "", "10", "1765272002123"}};
        QVERIFY(forwarder.Pump());
        QCOMPARE(server->Query(rows), expected);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mark"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE limit_log_archived SET archived_id = 0")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("mark"));
        QVERIFY(forwarder.Pump());
        QCOMPARE(server->Query(rows), expected);
    }

    // The line's and the bench's answers against the archive counted directly.
    void pageNumbers()
    {
        server->Query(QStringLiteral(
            "INSERT INTO qmr4070_limits VALUES ('00000000-0000-0000-0000-000000000001', 1, 'A', now() - interval "
            "'2 days', 'R', 1, 20, 10), ('00000000-0000-0000-0000-000000000001', 2, 'A', now() - interval '1 "
            "minute', 'R', 9.99, 10.02, 10), ('00000000-0000-0000-0000-000000000001', 3, 'A', now() - interval "
            "'1 minute', '%', -5, 5, 10);"
            "CREATE TABLE IF NOT EXISTS qmr4070_alarms (source uuid NOT NULL, local_id bigint NOT NULL, bench text, "
            "raised_at "
            "timestamptz, rule smallint, first_number integer, last_number integer, operator text, archived_at "
            "timestamptz DEFAULT now(), PRIMARY KEY (source, local_id));"
            "INSERT INTO qmr4070_alarms VALUES ('00000000-0000-0000-0000-000000000001', 1, 'A', now() - interval "
            "'1 hour', 1, 1, 2, 'A7'), ('00000000-0000-0000-0000-000000000001', 2, 'A', now() - interval '5 "
            "minutes', 2, 3, 11, 'A7')"));
        line::LineService service(server->Url());
        line::LineServer http({server->Url()}, service.Worker());
        const quint16 port = http.listen(QHostAddress::LocalHost, 0);
        QVERIFY(port != 0);
        const qint64 total = server->Count(QStringLiteral("SELECT count(*) FROM qmr4070_records"));
        QJsonArray benches;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QJsonObject line = QJsonDocument::fromJson(Get(port, "/api/line").body).object();
                benches = line[QStringLiteral("benches")].toArray();
                qint64 shown = 0;
                for (const QJsonValue& b : benches) shown += b[QStringLiteral("records")].toInteger();
                return line[QStringLiteral("archive")][QStringLiteral("ok")].toBool() && shown == total;
            }(),
            20000);
        QCOMPARE(benches.size(), 3);
        for (const QJsonValue& tile : benches) {
            const QString bench = tile[QStringLiteral("bench")].toString();
            const QStringList day = Direct(
                QStringLiteral(
                    "SELECT count(*), count(*) FILTER (WHERE sort = 'PASS'), count(*) FILTER (WHERE sort = 'HIGH'), "
                    "count(*) FILTER (WHERE sort = 'LOW'), CASE WHEN max(taken_at) >= now() - interval '2 minutes' "
                    "THEN "
                    "'recording' WHEN max(taken_at) >= now() - interval '30 minutes' THEN 'idle' ELSE 'silent' END "
                    "FROM "
                    "qmr4070_records WHERE bench = '%1' AND taken_at >= date_trunc('day', now())")
                    .arg(bench))[0];
            QCOMPARE(tile[QStringLiteral("records")].toInteger(), day[0].toLongLong());
            QCOMPARE(tile[QStringLiteral("pass")].toInteger(), day[1].toLongLong());
            QCOMPARE(tile[QStringLiteral("high")].toInteger(), day[2].toLongLong());
            QCOMPARE(tile[QStringLiteral("low")].toInteger(), day[3].toLongLong());
            QVERIFY(Near(QString::number(tile[QStringLiteral("yield")].toDouble(), 'g', 17),
                         QString::number(day[1].toDouble() / day[0].toDouble(), 'g', 17)));
            QCOMPARE(tile[QStringLiteral("state")].toString(), day[4]);
        }
        // Yield is the order: the benches share the sort cycle, so compare the shares.
        for (qsizetype i = 1; i < benches.size(); ++i)
            QVERIFY(benches[i - 1][QStringLiteral("yield")].toDouble() <=
                    benches[i][QStringLiteral("yield")].toDouble());
        const QJsonObject a = [&] {
            for (const QJsonValue& b : benches)
                if (b[QStringLiteral("bench")].toString() == u"A") return b.toObject();
            return QJsonObject{};
        }();
        const QStringList r = Direct(QStringLiteral(
            "WITH v AS (SELECT value, abs(value - lag(value) OVER (ORDER BY taken_at, source, local_id)) AS st FROM "
            "qmr4070_records WHERE bench = 'A' AND symbol = 'R' AND value IS NOT NULL AND taken_at >= "
            "date_trunc('day', now())) SELECT avg(value), avg(st) / 1.128 FROM v"))[0];
        const double mean = r[0].toDouble(), sigma = r[1].toDouble();
        const double cpk = std::min(10.02 - mean, mean - 9.99) / (3 * sigma);
        QVERIFY2(Near(QString::number(a[QStringLiteral("cpk")].toDouble(), 'g', 17), QString::number(cpk, 'g', 17)),
                 qPrintable(QString::number(a[QStringLiteral("cpk")].toDouble()) + QStringLiteral(" vs ") +
                            QString::number(cpk)));
        QCOMPARE(a[QStringLiteral("alarm")][QStringLiteral("rule")].toInt(), 2);
        QVERIFY(a[QStringLiteral("lower")].toDouble() == 9.99);

        const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toLatin1();
        const QJsonObject one = QJsonDocument::fromJson(Get(port, "/api/bench/A?date=" + today).body).object();
        QCOMPARE(one[QStringLiteral("records")].toInteger(), a[QStringLiteral("records")].toInteger());
        qint64 perHour = 0;
        for (const QJsonValue& h : one[QStringLiteral("hours")].toArray())
            perHour += h[QStringLiteral("readings")].toInteger();
        QCOMPARE(perHour, a[QStringLiteral("records")].toInteger());
        const QJsonArray last = one[QStringLiteral("last")].toArray();
        QCOMPARE(last.size(), 500);
        const QString newest = Direct(
            QStringLiteral("SELECT value FROM qmr4070_records WHERE bench = 'A' AND symbol = 'R' AND value IS NOT NULL "
                           "ORDER BY taken_at DESC, source DESC, local_id DESC LIMIT 1"))[0][0];
        QVERIFY(Near(QString::number(last.last()[1].toDouble(), 'g', 17), newest));
    }

    // Status codes of bad and unknown addresses and of the token, and nothing of the
    // server's inside any answer.
    void answers_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("cookie");
        QTest::addColumn<int>("status");
        const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toLatin1();
        const QByteArray cookie = "qmr4070_line=" + QByteArray("t0k en/é").toPercentEncoding();
        QTest::newRow("page") << QByteArray("/") << cookie << 200;
        QTest::newRow("no token") << QByteArray("/api/line") << QByteArray() << 401;
        QTest::newRow("wrong token") << QByteArray("/?token=t0k") << QByteArray() << 401;
        QTest::newRow("wrong cookie") << QByteArray("/") << QByteArray("qmr4070_line=t0k%20en") << 401;
        QTest::newRow("token") << "/bench/A?token=" + QByteArray("t0k en/é").toPercentEncoding() << QByteArray() << 303;
        QTest::newRow("bench") << QByteArray("/bench/A") << cookie << 200;
        QTest::newRow("unknown path") << QByteArray("/etc/passwd") << cookie << 404;
        QTest::newRow("unknown bench") << QByteArray("/bench/Z") << cookie << 404;
        QTest::newRow("quote") << QByteArray("/api/bench/A'%20OR%201=1--") << cookie << 404;
        QTest::newRow("not utf-8") << QByteArray("/bench/%FF%FE") << cookie << 400;
        QTest::newRow("control") << QByteArray("/bench/%01A") << cookie << 400;
        QTest::newRow("long") << "/api/bench/" + QByteArray(300, 'A') << cookie << 400;
        QTest::newRow("day") << "/api/bench/A?date=" + today << cookie << 200;
        QTest::newRow("no such day") << QByteArray("/api/bench/A?date=2026-02-30") << cookie << 400;
        QTest::newRow("not a day") << QByteArray("/api/bench/A?date=today") << cookie << 400;
        QTest::newRow("empty day") << QByteArray("/api/bench/A?date=1999-01-01") << cookie << 404;
    }

    void answers()
    {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, cookie);
        QFETCH(int, status);
        line::LineService service(server->Url());
        line::LineConfig config{server->Url()};
        config.token = QStringLiteral("t0k en/é");
        line::LineServer http(config, service.Worker());
        const quint16 port = http.listen(QHostAddress::LocalHost, 0);
        const Reply reply = Get(port, target, cookie);
        QCOMPARE(reply.status, status);
        for (const char* leak : {"SELECT", "ERROR", "qmr4070_", "postgres"}) QVERIFY(!reply.body.contains(leak));
        if (status == 303) {
            QVERIFY(reply.cookie.startsWith(cookie.isEmpty() ? QByteArray("qmr4070_line=") : cookie));
            QVERIFY(reply.cookie.contains("HttpOnly"));
            QCOMPARE(reply.location, QByteArray("/bench/A"));
            QCOMPARE(Get(port, reply.location, reply.cookie.split(';').first()).status, 200);
        }
    }

    // The line says so when the archive is gone, and recovers.
    void unreachableArchive()
    {
        line::LineService service(server->Url());
        auto ok = [&] {
            return QJsonDocument::fromJson(service.Worker().Line())
                .object()[QStringLiteral("archive")][QStringLiteral("ok")];
        };
        QTRY_VERIFY_WITH_TIMEOUT(ok().toBool(), 20000);
        server->Stop("immediate");
        QTRY_VERIFY_WITH_TIMEOUT(!ok().toBool(), 20000);
        QVERIFY(
            !QJsonDocument::fromJson(service.Worker().Line()).object()[QStringLiteral("benches")].toArray().isEmpty());
        server->Start();
        QTRY_VERIFY_WITH_TIMEOUT(ok().toBool(), 30000);
    }
};

QTEST_GUILESS_MAIN(TestLine)
#include "test_line.moc"
