#include "pg_server.h"

#include <libpq-fe.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <stdexcept>

namespace testing_support {

namespace {

QString ServerBin()
{
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (versions.isEmpty()) throw std::runtime_error("no PostgreSQL server in /usr/lib/postgresql");
    return QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(versions.last());
}

}  // namespace

PgServer::PgServer() : bin_(ServerBin())
{
    // As root everything runs as postgres, which must own the folder.
    if (geteuid() == 0) Run({QStringLiteral("chown"), QStringLiteral("postgres"), dir_.path()});
    const QString data = dir_.filePath(QStringLiteral("data"));
    Run({bin_ + QStringLiteral("initdb"), QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("qmr"),
         QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")});
    QFile conf(data + QStringLiteral("/postgresql.conf"));
    conf.open(QIODevice::Append);
    conf.write(QStringLiteral("listen_addresses = ''\nunix_socket_directories = '%1'\nport = 5432\n"
                              "max_connections = 120\n")
                   .arg(dir_.path())
                   .toUtf8());
    conf.close();
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    hba.open(QIODevice::WriteOnly | QIODevice::Truncate);
    hba.write("local all guarded scram-sha-256\nlocal all all trust\n");
    hba.close();
    Start();
    Query(QStringLiteral("CREATE ROLE guarded LOGIN PASSWORD '%1'")
              .arg(QString::fromUtf8(kGuardedPassword).replace(u'\'', QStringLiteral("''"))));
}

PgServer::~PgServer()
{
    if (running_) Stop("immediate");
}

void PgServer::Run(const QStringList& command) const
{
    QStringList full = command;
    if (geteuid() == 0 && command.first() != QStringLiteral("chown"))
        full = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                           QStringLiteral("--")} +
               command;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(full.first(), full.mid(1));
    process.waitForFinished(120000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error((full.join(u' ') + QStringLiteral(": ") + process.readAll()).toStdString());
}

void PgServer::Start()
{
    Run({bin_ + QStringLiteral("pg_ctl"), QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
         QStringLiteral("-l"), dir_.filePath(QStringLiteral("log")), QStringLiteral("-w"), QStringLiteral("start")});
    running_ = true;
}

void PgServer::Stop(const char* mode)
{
    Run({bin_ + QStringLiteral("pg_ctl"), QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
         QStringLiteral("-m"), QString::fromLatin1(mode), QStringLiteral("-w"), QStringLiteral("stop")});
    running_ = false;
}

QString PgServer::Url(const QString& role) const
{
    return QStringLiteral("host=%1 port=5432 dbname=postgres user=%2").arg(dir_.path(), role);
}

qint64 PgServer::PostmasterPid() const
{
    QFile pidFile(dir_.filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly)) throw std::runtime_error("the server is not running");
    return pidFile.readLine().trimmed().toLongLong();
}

QList<QStringList> PgServer::Query(const QString& statement) const
{
    PGconn* conn = PQconnectdb(Url().toUtf8().constData());
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);  // "does not exist, skipping"
    PGresult* result = PQexec(conn, statement.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    QList<QStringList> rows;
    for (int r = 0; r < PQntuples(result); ++r) {
        QStringList row;
        for (int c = 0; c < PQnfields(result); ++c) row << QString::fromUtf8(PQgetvalue(result, r, c));
        rows << row;
    }
    const std::string error = PQerrorMessage(conn);
    PQclear(result);
    PQfinish(conn);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) throw std::runtime_error(error);
    return rows;
}

}  // namespace testing_support
