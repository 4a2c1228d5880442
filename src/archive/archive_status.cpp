#include "archive_status.h"

#include "archive_config.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>

namespace archive {

bool IsStatusRequest(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--archive-status") == 0) return true;
    return false;
}

namespace {

struct FileState {
    QString source;
    qint64 unsent = 0;
    QString lastError;
    QString failure;
};

FileState ReadFile(const QString& path)
{
    FileState state;
    const QString name = QStringLiteral("qmr4070-archive-status");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        // Read-only: never creates the file nor takes a writer's lock from the running program.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=3000"));
        QSqlQuery query(db);
        if (!QFileInfo::exists(path)) {
            state.failure = QStringLiteral("no record database at %1").arg(path);
        } else if (!db.open()) {
            state.failure = db.lastError().text();
        } else if (!query.exec(QStringLiteral("SELECT uuid, (SELECT count(*) FROM data WHERE id > archived_id) "
                                              "FROM source")) ||
                   !query.next()) {
            state.failure = QStringLiteral("%1: %2").arg(path, query.lastError().text());
        } else {
            state.source = query.value(0).toString();
            state.unsent = query.value(1).toLongLong();
            if (query.exec(QStringLiteral("SELECT last_error FROM archive_state")) && query.next())
                state.lastError = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return state;
}

}  // namespace

int PrintStatus(QTextStream& out, const QString& databasePath)
{
    const Config config = LoadConfig();
    const FileState file = ReadFile(databasePath);
    out << "bench: " << config.bench << '\n';
    out << "source: " << file.source << '\n';
    out << "server: " << (config.Enabled() ? ShownServer(config.url) : QStringLiteral("(none: not archiving)")) << '\n';
    out << "not yet sent: " << file.unsent << '\n';
    const QString error = file.failure.isEmpty() ? file.lastError : file.failure;
    if (!error.isEmpty()) out << "last error: " << WithoutSecret(error, config.url) << '\n';
    out.flush();
    return file.failure.isEmpty() ? 0 : 1;
}

}  // namespace archive
