// qmr4070-line's figures on a private server, every run bounded and ending by itself.
//   bench_line catchup [ROWS]          ROWS (7,500,000) readings of one bench, archived in
//                                      transactions of 100,000: the hourly table's catch-up
//                                      beside a bare SELECT count(*) over the same rows
//   bench_line page [BENCHES] [ROWS] [SECONDS]
//                                      BENCHES (50) benches, ROWS (50,000,000) readings in
//                                      all over the last 7 days, caught up; then 20 clients
//                                      poll / and /api/line once a second each for SECONDS
//                                      (30) while the benches archive 87 readings/s each:
//                                      p50/p99/max answer times; and ten single readings of
//                                      a probe bench timed from their commit to /api/line

#include "hour_aggregates.h"
#include "line_server.h"
#include "line_service.h"
#include "pg_connection.h"
#include "pg_server.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using testing_support::PgServer;

namespace {

const char kTables[] =
    "CREATE TABLE qmr4070_records (source uuid NOT NULL, local_id bigint NOT NULL, bench text, number integer, "
    "operator text, date text, symbol text, reading text, sort text, taken_at timestamptz, value double precision, "
    "archived_at timestamptz DEFAULT now(), PRIMARY KEY (source, local_id));"
    "CREATE INDEX ON qmr4070_records (taken_at); CREATE INDEX ON qmr4070_records (bench, taken_at);"
    "CREATE INDEX ON qmr4070_records (archived_at)";

// Readings of `bench` with local ids [first, first + count), spread evenly over the
// `span` before `end` (SQL expressions), in order of time.
QString Readings(int bench, qint64 first, qint64 count, const QString& end, const QString& span, qint64 total)
{
    return QStringLiteral(
               "INSERT INTO qmr4070_records (source, local_id, bench, number, operator, date, symbol, reading, sort, "
               "taken_at, value) SELECT md5('b%1')::uuid, g, 'bench-%1', g, 'A7', '', 'R', '', "
               "CASE WHEN g %% 50 = 0 THEN 'HIGH' WHEN g %% 61 = 0 THEN 'LOW' ELSE 'PASS' END, "
               "%3 - %4 * (1 - g::float8 / %5), 10 + 0.001 * sin(g) FROM generate_series(%2, %2 + %6 - 1) g")
        .arg(bench)
        .arg(first)
        .arg(end, span)
        .arg(total)
        .arg(count)
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

void Load(const PgServer& server, int benches, qint64 perBench, const QString& end, const QString& span)
{
    constexpr qint64 kPerTransaction = 100000;
    QElapsedTimer timer;
    timer.start();
    for (int b = 1; b <= benches; ++b)
        for (qint64 first = 1; first <= perBench; first += kPerTransaction)
            server.Query(Readings(b, first, std::min(kPerTransaction, perBench - first + 1), end, span, perBench));
    server.Query(QStringLiteral("VACUUM ANALYZE qmr4070_records"));
    std::printf("loaded %lld rows in %.1f s\n", (long long)(benches * perBench), timer.elapsed() / 1000.0);
}

double Seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

int Catchup(qint64 rows)
{
    PgServer server;
    server.Query(QString::fromLatin1(kTables));
    Load(server, 1, rows, QStringLiteral("now()"), QStringLiteral("interval '1 day'"));
    QThread::msleep(400);  // past the horizon
    std::vector<double> counts;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        server.Query(QStringLiteral("SELECT count(*) FROM qmr4070_records WHERE bench = 'bench-1'"));
        counts.push_back(Seconds(t));
    }
    std::sort(counts.begin(), counts.end());
    line::PgConnection db;
    db.Ensure(server.Url());
    line::HourAggregates hours(db);
    hours.Prepare();
    QElapsedTimer t;
    t.start();
    while (hours.Step(500000)) {}
    const double catchup = Seconds(t);
    std::printf(
        "catch-up of %lld rows: %.2f s (%.0f rows/s); bare count(*) median of 3: %.2f s (%.0f rows/s); "
        "ratio %.2f\n",
        (long long)rows, catchup, rows / catchup, counts[1], rows / counts[1], counts[1] / catchup);
    return 0;
}

// One client's keep-alive connection; the time of each answer.
class Client {
public:
    explicit Client(quint16 port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) std::perror("connect");
    }
    ~Client() { ::close(fd_); }
    QByteArray Get(const QByteArray& path)
    {
        const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
        if (::send(fd_, request.constData(), size_t(request.size()), 0) < 0) return {};
        QByteArray in;
        char buffer[65536];
        for (;;) {
            const qsizetype end = in.indexOf("\r\n\r\n");
            if (end >= 0) {
                const qsizetype at = in.toLower().indexOf("content-length:");
                const qsizetype length = in.mid(at + 15, in.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
                if (in.size() >= end + 4 + length) return in.mid(end + 4, length);
            }
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0) return {};
            in.append(buffer, got);
        }
    }

private:
    int fd_ = -1;
};

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

qint64 ProbeRecords(const QByteArray& line)
{
    for (const QJsonValue& b : QJsonDocument::fromJson(line).object()[QStringLiteral("benches")].toArray())
        if (b[QStringLiteral("bench")].toString() == u"probe") return b[QStringLiteral("records")].toInteger();
    return 0;
}

int Page(int benches, qint64 rows, int seconds)
{
    PgServer server;
    server.Query(QString::fromLatin1(kTables));
    Load(server, benches, rows / benches, QStringLiteral("now()"), QStringLiteral("interval '7 days'"));
    line::LineService service(server.Url());
    line::LineServer http({server.Url()}, service.Worker());
    const quint16 port = http.listen(QHostAddress::LocalHost, 0);
    std::atomic<bool> done{false};
    std::mutex mutex;
    std::vector<double> pageMs, lineMs, probeMs;
    QElapsedTimer caught;
    caught.start();
    std::thread run([&] {
        Client probe(port);
        // Caught up: every row counted.
        for (;;) {
            const QJsonObject line = QJsonDocument::fromJson(probe.Get("/api/line")).object();
            qint64 shown = 0;
            for (const QJsonValue& b : line[QStringLiteral("benches")].toArray())
                shown += b[QStringLiteral("records")].toInteger();
            if (!line[QStringLiteral("archive")][QStringLiteral("behind")].toBool() &&
                line[QStringLiteral("archive")][QStringLiteral("ok")].toBool() && shown > 0)
                break;
            QThread::msleep(200);
        }
        std::printf("caught up with %lld rows after %.1f s\n", (long long)rows, caught.elapsed() / 1000.0);
        // The benches keep archiving: 87 readings/s each, in one statement a second.
        std::thread feed([&] {
            PGconn* conn = PQconnectdb(server.Url().toUtf8().constData());
            for (qint64 id = rows; !done; id += 87) {
                for (int b = 1; b <= benches; ++b)
                    PQclear(PQexec(conn, QStringLiteral("INSERT INTO qmr4070_records (source, local_id, bench, symbol, "
                                                        "sort, taken_at, value) SELECT md5('b%1')::uuid, g, "
                                                        "'bench-%1', 'R', 'PASS', now(), 10 FROM generate_series(%2, "
                                                        "%2 + 86) g")
                                             .arg(b)
                                             .arg(id + 1)
                                             .toUtf8()
                                             .constData()));
                QThread::msleep(1000);
            }
            PQfinish(conn);
        });
        std::vector<std::thread> clients;
        for (int c = 0; c < 20; ++c)
            clients.emplace_back([&, c] {
                Client client(port);
                QThread::msleep(c * 50);
                for (int i = 0; i < seconds; ++i) {
                    QElapsedTimer t;
                    t.start();
                    client.Get("/");
                    const double page = t.nsecsElapsed() / 1e6;
                    t.restart();
                    client.Get("/api/line");
                    const double line = t.nsecsElapsed() / 1e6;
                    {
                        const std::lock_guard lock(mutex);
                        pageMs.push_back(page);
                        lineMs.push_back(line);
                    }
                    QThread::msleep(1000);
                }
            });
        // Ten single readings of a probe bench: commit to the line's answer.
        PGconn* conn = PQconnectdb(server.Url().toUtf8().constData());
        for (int i = 1; i <= 10; ++i) {
            const qint64 before = ProbeRecords(probe.Get("/api/line"));
            PQclear(PQexec(conn, QStringLiteral("INSERT INTO qmr4070_records (source, local_id, bench, symbol, sort, "
                                                "taken_at, value) VALUES (md5('probe')::uuid, %1, 'probe', 'R', "
                                                "'PASS', now(), 10)")
                                     .arg(i)
                                     .toUtf8()
                                     .constData()));
            QElapsedTimer t;
            t.start();
            while (ProbeRecords(probe.Get("/api/line")) == before) QThread::msleep(20);
            probeMs.push_back(t.nsecsElapsed() / 1e6);
            QThread::msleep(700);
        }
        PQfinish(conn);
        for (std::thread& c : clients) c.join();
        done = true;
        feed.join();
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    run.join();
    std::printf(
        "%d clients, %zu answers each: / p50 %.1f ms p99 %.1f ms max %.1f ms; /api/line p50 %.1f ms p99 "
        "%.1f ms max %.1f ms\n",
        20, pageMs.size(), Percentile(pageMs, 0.5), Percentile(pageMs, 0.99), Percentile(pageMs, 1),
        Percentile(lineMs, 0.5), Percentile(lineMs, 0.99), Percentile(lineMs, 1));
    std::printf("new reading to /api/line: median %.0f ms, max %.0f ms (10 readings)\n", Percentile(probeMs, 0.5),
                Percentile(probeMs, 1));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0, QStringLiteral("page"));
    if (what == u"catchup") return Catchup(args.value(1, QStringLiteral("7500000")).toLongLong());
    if (what == u"page")
        return Page(args.value(1, QStringLiteral("50")).toInt(), args.value(2, QStringLiteral("50000000")).toLongLong(),
                    args.value(3, QStringLiteral("30")).toInt());
    std::fprintf(stderr, "usage: bench_line catchup [ROWS] | page [BENCHES] [ROWS] [SECONDS]\n");
    return 2;
}
