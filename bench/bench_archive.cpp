// Archive backlog: 1,000,000 records drained by the forwarder into an empty server,
// beside a bare COPY of the same rows into a table of the same shape, in one run.
// Usage: bench_archive [RECORDS]

#include "forwarder.h"
#include "pg_server.h"
#include "record_store.h"

#include <libpq-fe.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

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

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 1000000;
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
