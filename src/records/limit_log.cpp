#include "limit_log.h"

#include "log_categories.h"
#include "record_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace records {

namespace {

constexpr int kLimitsBusyMs = 1000;

QVariant Value(const std::optional<double>& value) { return value ? QVariant(*value) : QVariant(); }

void Run(QSqlQuery& query, const QString& statement, const QVariantList& values = {})
{
    if (!query.prepare(statement)) throw query.lastError();
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) throw query.lastError();
}

std::optional<double> Optional(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional(value.toDouble());
}

void Append(QSqlDatabase& db, const QList<ReportedLimits>& limits, const QDateTime& at)
{
    CreateLimitLog(db);
    QSqlQuery query(db);
    for (const ReportedLimits& reported : limits) {
        Run(query,
            QStringLiteral("SELECT lower, upper, nominal FROM limit_log WHERE mode = ? ORDER BY id DESC LIMIT 1"),
            {reported.mode});
        if (query.next() && ReportedLimits{reported.mode, Optional(query.value(0)), Optional(query.value(1)),
                                           Optional(query.value(2))} == reported)
            continue;
        Run(query,
            QStringLiteral("INSERT INTO limit_log (changed_at, mode, lower, upper, nominal) VALUES (?, ?, ?, ?, ?)"),
            {at.toMSecsSinceEpoch(), reported.mode, Value(reported.lower), Value(reported.upper),
             Value(reported.nominal)});
    }
}

}  // namespace

void CreateLimitLog(QSqlDatabase& db)
{
    QSqlQuery query(db);
    Run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS limit_log (id INTEGER PRIMARY KEY AUTOINCREMENT, changed_at "
                              "INTEGER NOT NULL, mode TEXT NOT NULL, lower REAL, upper REAL, nominal REAL)"));
    Run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS limit_log_archived (archived_id INTEGER NOT NULL)"));
    Run(query, QStringLiteral("INSERT INTO limit_log_archived (archived_id) SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM "
                              "limit_log_archived)"));
}

// On the store's own connection: one opened by path could meet another file's log while
// the file is deleted or replaced and not yet written back. Rare (the meter reports its
// settings on request), so the writer's lock is waited for a little longer than for a
// reading, and the connection's own patience restored after.
void NoteLimits(const RecordStore& store, const QList<ReportedLimits>& limits, const QDateTime& at)
{
    QSqlDatabase db = QSqlDatabase::database(store.ConnectionName(), false);
    QSqlQuery patience(db);
    int keptMs = 0;
    try {
        Run(patience, QStringLiteral("PRAGMA busy_timeout"));
        keptMs = patience.next() ? patience.value(0).toInt() : 0;
        Run(patience, QStringLiteral("PRAGMA busy_timeout=%1").arg(kLimitsBusyMs));
        if (!db.transaction()) throw db.lastError();
        Append(db, limits, at);
        if (!db.commit()) throw db.lastError();
    } catch (const QSqlError& error) {
        db.rollback();
        qCWarning(lcRecords).noquote() << "reported limits not kept:" << error.text();
    }
    patience.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(keptMs));
}

}  // namespace records
