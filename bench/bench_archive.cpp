// Archive benchmarks, one private server each, every run bounded and ending by itself.
//   bench_archive [backlog] [RECORDS]   1,000,000 records drained by the forwarder into an
//                                       empty server, beside a bare COPY of the same rows
//   bench_archive append [COUNT]        COUNT (10,000) appends through RecordStore with
//                                       archiving off and on, taken in turn four times
//                                       each; medians. At 5,000 appends/s a count of 2,000
//                                       lasts 0.4 s, too short against a shared machine's noise.
//   bench_archive fleet [BENCHES] [SECONDS] [RATE]
//                                       50 local files, each with its own forwarder, each
//                                       appending 87 records/s for 20 s into one server;
//                                       local commit to server commit, median and p99

#include "forwarder.h"
#include "pg_server.h"
#include "record_store.h"

#include <libpq-fe.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

void Fill(const QString& path, int count)
{
    {
        records::RecordStore create(path);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(path);
    db.open();
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral(R"(INSERT INTO data ("编号", "工号", "日期", "符号", "测试数据", "分选结果", taken_at) )"
                       R"(VALUES (?, 'A7', '2026-12-09', 'R', ?, 'PASS', ?))"));
    for (int i = 1; i <= count; ++i) {
        insert.bindValue(0, i);
        insert.bindValue(1, QStringLiteral("%1mΩ").arg(i % 20000 / 100.0));
        insert.bindValue(2, qint64(1765272000000) + i);
        insert.exec();
    }
    db.commit();
}

double BareCopy(const testing_support::PgServer& server, int count)
{
    server.Query(QStringLiteral("CREATE TABLE bare (LIKE qmr4070_records INCLUDING ALL)"));
    PGconn* conn = PQconnectdb(server.Url().toUtf8().constData());
    QByteArray rows;
    for (int i = 1; i <= count; ++i)
        rows += "7f0c6f52-8a40-4c39-9f33-1d2b1a9e0c11\t" + QByteArray::number(i) + "\tbench\t" + QByteArray::number(i) +
                "\tA7\t2026-12-09\tR\t" + QByteArray::number(i % 20000 / 100.0) +
                "mΩ\tPASS\t2026-12-09 10:00:00.000+00\t" + QByteArray::number(i % 20000 / 100000.0) + "\n";
    QElapsedTimer timer;
    timer.start();
    PQclear(PQexec(conn,
                   "COPY bare (source, local_id, bench, number, operator, date, symbol, reading, sort, taken_at, "
                   "value) FROM STDIN"));
    PQputCopyData(conn, rows.constData(), int(rows.size()));
    PQputCopyEnd(conn, nullptr);
    PQclear(PQgetResult(conn));
    const double seconds = timer.nsecsElapsed() / 1e9;
    PQfinish(conn);
    return count / seconds;
}

records::NewRecord Reading(int i)
{
    records::NewRecord record;
    record.number = i;
    record.operatorNumber = QStringLiteral("A7");
    record.takenAt = QDateTime::currentDateTimeUtc();
    record.dateText = record.takenAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    record.modeSymbol = QStringLiteral("R");
    record.readingText = QStringLiteral("%1mΩ").arg(i % 20000 / 100.0);
    record.sortText = QStringLiteral("PASS");
    return record;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p / 100 * values.size()));
    return values[at];
}

// Appends per second through RecordStore::Append into a fresh file, with or without a
// forwarder following the store into the running server.
double AppendRate(const testing_support::PgServer& server, int count, bool archiving, int round)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("append%1.db").arg(round));
    records::RecordStore store(path);
    archive::ArchiveThread archiveThread(
        archiving ? archive::Config{server.Url(), QStringLiteral("bench%1").arg(round)} : archive::Config{}, path);
    archiveThread.Follow(store);
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= count; ++i) store.Append(Reading(i));
    const double rate = count / (timer.nsecsElapsed() / 1e9);
    // Not timed: the forwarder finishes, so the server shows it was sending all along.
    const QString sent = QStringLiteral("SELECT count(*) FROM qmr4070_records WHERE bench = 'bench%1'").arg(round);
    QElapsedTimer waited;
    waited.start();
    auto arrived = [&] {
        try {
            return server.Count(sent);
        } catch (const std::runtime_error&) {
            return qint64(0);  // the table is not made yet
        }
    };
    while (archiving && arrived() < count && waited.elapsed() < 30000) QThread::msleep(50);
    if (archiving) std::printf("  drained after %lld ms\n", waited.elapsed());
    return rate;
}

int AppendOverhead(int count)
{
    testing_support::PgServer server;
    std::vector<double> off, on;
    // Off and on taken in turn, so drifts of the shared disk hit both alike.
    for (int round = 0; round < 4; ++round) {
        off.push_back(AppendRate(server, count, false, round * 2));
        on.push_back(AppendRate(server, count, true, round * 2 + 1));
        std::printf("  round %d: off %.0f appends/s, on %.0f appends/s\n", round + 1, off.back(), on.back());
        std::fflush(stdout);
    }
    const double arrived = server.Count(QStringLiteral("SELECT count(*) FROM qmr4070_records"));
    std::printf(
        "append %d x 4: archiving off %.0f appends/s, on %.0f appends/s (medians), on/off %.3f; "
        "%.0f of %d archived records on the server\n",
        count, Median(off), Median(on), Median(on) / Median(off), arrived, count * 4);
    return 0;
}

struct Commit {
    qint64 id;
    qint64 ms;  // when Append returned, milliseconds since the epoch
};

// Each bench appends on its own thread at its rate; each file has its own forwarder.
int Fleet(int benches, int seconds, double rate)
{
    testing_support::PgServer server;
    // The server's commit time of each row, beside archived_at (its transaction's start).
    server.Query(QStringLiteral("ALTER SYSTEM SET track_commit_timestamp = on"));
    server.Stop();
    server.Start();
    QTemporaryDir dir;
    std::vector<QString> paths;
    std::vector<std::unique_ptr<archive::ArchiveThread>> forwarders;
    for (int b = 0; b < benches; ++b) {
        paths.push_back(dir.filePath(QStringLiteral("bench%1.db").arg(b)));
        {
            records::RecordStore create(paths.back());
        }
        forwarders.push_back(std::make_unique<archive::ArchiveThread>(
            archive::Config{server.Url(), QStringLiteral("bench%1").arg(b)}, paths.back()));
    }
    std::vector<std::vector<Commit>> commits(benches);
    std::vector<QThread*> appenders;
    const qint64 perBench = qint64(rate * seconds);
    const qint64 start = QDateTime::currentMSecsSinceEpoch() + 500;
    for (int b = 0; b < benches; ++b) {
        appenders.push_back(QThread::create([&, b] {
            records::RecordStore store(paths[size_t(b)]);
            forwarders[size_t(b)]->Follow(store);
            // Evenly spread start times, so the benches do not all commit in step.
            const double offset = 1000.0 / rate * b / benches;
            for (qint64 i = 0; i < perBench; ++i) {
                const qint64 due = start + qint64(offset + i * 1000.0 / rate);
                const qint64 wait = due - QDateTime::currentMSecsSinceEpoch();
                if (wait > 0) QThread::msleep(ulong(wait));
                const qint64 id = store.Append(Reading(int(i)));
                commits[size_t(b)].push_back({id, QDateTime::currentMSecsSinceEpoch()});
            }
        }));
        appenders.back()->start();
    }
    for (QThread* thread : appenders) {
        thread->wait();
        delete thread;
    }
    const qint64 finished = QDateTime::currentMSecsSinceEpoch();
    const qint64 total = perBench * benches;
    qint64 arrived = 0;
    QElapsedTimer waited;
    waited.start();
    while ((arrived = server.Count(QStringLiteral("SELECT count(*) FROM qmr4070_records"))) < total &&
           waited.elapsed() < 60000)
        QThread::msleep(200);
    const QList<QStringList> rows = server.Query(
        QStringLiteral("SELECT substr(bench, 6)::int, local_id, (extract(epoch FROM archived_at) * 1000)::bigint, "
                       "(extract(epoch FROM pg_xact_commit_timestamp(xmin)) * 1000)::bigint FROM qmr4070_records"));
    forwarders.clear();
    std::vector<QHash<qint64, qint64>> committedAt(benches);
    for (int b = 0; b < benches; ++b)
        for (const Commit& c : commits[size_t(b)]) committedAt[size_t(b)].insert(c.id, c.ms);
    std::vector<double> latency, started;
    for (const QStringList& row : rows) {
        const auto& map = committedAt[size_t(row[0].toInt())];
        const auto found = map.constFind(row[1].toLongLong());
        if (found == map.constEnd()) continue;
        started.push_back(double(row[2].toLongLong() - found.value()));
        latency.push_back(double(row[3].toLongLong() - found.value()));
    }
    const double achieved = total / ((finished - start) / 1000.0) / benches;
    std::printf(
        "fleet %d benches x %.0f records/s x %d s: achieved %.1f records/s per bench (%lld records, %.1f s), "
        "%lld arrived; local commit to server commit: median %.0f ms, p99 %.0f ms, max %.0f ms "
        "(to archived_at, the server transaction's start: median %.0f ms, p99 %.0f ms)\n",
        benches, rate, seconds, achieved, total, (finished - start) / 1000.0, arrived, Median(latency),
        Percentile(latency, 99), Percentile(latency, 100), Median(started), Percentile(started, 99));
    return arrived == total ? 0 : 1;
}

int Backlog(int count)
{
    testing_support::PgServer server;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("backlog.db"));
    Fill(path, count);
    archive::Forwarder forwarder({server.Url(), QStringLiteral("bench")}, path);
    QElapsedTimer timer;
    timer.start();
    const bool ok = forwarder.Pump();
    const double drained = count / (timer.nsecsElapsed() / 1e9);
    const qint64 arrived = server.Count(QStringLiteral("SELECT count(*) FROM qmr4070_records"));
    const double bare = BareCopy(server, count);
    std::printf("backlog %d: forwarder %.0f records/s (%s, %lld arrived), bare COPY %.0f rows/s, ratio %.2f\n", count,
                drained, ok ? "ok" : "failed", arrived, bare, drained / bare);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // A bare number is the backlog's record count, as before the other modes.
    const bool named = argc > 1 && !std::isdigit(static_cast<unsigned char>(argv[1][0]));
    const char* mode = named ? argv[1] : "backlog";
    const int first = named ? 2 : 1;
    auto arg = [&](int i, int fallback) { return argc > first + i ? atoi(argv[first + i]) : fallback; };
    if (std::strcmp(mode, "backlog") == 0) return Backlog(arg(0, 1000000));
    if (std::strcmp(mode, "append") == 0) return AppendOverhead(arg(0, 10000));
    if (std::strcmp(mode, "fleet") == 0) return Fleet(arg(0, 50), arg(1, 20), arg(2, 87));
    std::fprintf(stderr,
                 "usage: bench_archive [backlog [RECORDS] | append [COUNT] | fleet [BENCHES] [SECONDS] [RATE]]\n");
    return 2;
}
