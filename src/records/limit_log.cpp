#include "limit_log.h"

#include "log_categories.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace records {

namespace {

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

// Rare (the meter reports its settings on request), so a connection of its own each time.
void NoteLimits(const QString& databasePath, const QList<ReportedLimits>& limits, const QDateTime& at)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("qmr4070-limits-%1").arg(counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
        try {
            if (!db.open()) throw db.lastError();
            db.transaction();
            Append(db, limits, at);
            if (!db.commit()) throw db.lastError();
        } catch (const QSqlError& error) {
            db.rollback();
            qCWarning(lcRecords).noquote() << "reported limits not kept:" << error.text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace records
