#include "day_sums.h"

#include "log_categories.h"
#include "platform_error.h"
#include "record_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace records {

namespace {

// Text fields of older files may be NULL; a NULL symbol is in no mode's scope anyway.
const QString kKey = QStringLiteral(R"(coalesce(%1."日期", ''), coalesce(%1."符号", ''))");

const QStringList kCreate{
    // By reading, not by day: the whole table's values are few (a meter shows four or five
    // digits), a day's are nearly as many as its records.
    QStringLiteral("CREATE TABLE value_counts (symbol TEXT NOT NULL, sort TEXT NOT NULL, has_value INTEGER NOT NULL, "
                   "value REAL NOT NULL, count INTEGER NOT NULL, PRIMARY KEY (symbol, sort, has_value, value))"),
    QStringLiteral("CREATE TABLE day_ranges (date TEXT NOT NULL, symbol TEXT NOT NULL, first_id INTEGER NOT NULL, "
                   "last_id INTEGER NOT NULL, first_value REAL, last_value REAL, range_sum REAL NOT NULL, "
                   "ranges INTEGER NOT NULL, stale INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (date, symbol))"),
    QStringLiteral("CREATE TABLE day_sums_state (valid INTEGER NOT NULL)"),
    QStringLiteral(
        "CREATE TRIGGER day_sums_insert AFTER INSERT ON data BEGIN "
        "INSERT INTO value_counts VALUES (coalesce(NEW.\"符号\", ''), coalesce(NEW.\"分选结果\", ''), "
        "NEW.value IS NOT NULL, coalesce(NEW.value, 0), 1) ON CONFLICT (symbol, sort, has_value, value) "
        "DO UPDATE SET count = count + 1; "
        "INSERT INTO day_ranges (date, symbol, first_id, last_id, first_value, last_value, range_sum, "
        "ranges) SELECT %1, NEW.id, NEW.id, NEW.value, NEW.value, 0, 0 WHERE NEW.value IS NOT NULL "
        "ON CONFLICT (date, symbol) DO UPDATE SET range_sum = range_sum + abs(excluded.last_value - last_value), "
        "ranges = ranges + 1, last_id = excluded.last_id, last_value = excluded.last_value; END")
        .arg(kKey.arg(QStringLiteral("NEW"))),
    QStringLiteral("CREATE TRIGGER day_sums_delete AFTER DELETE ON data BEGIN "
                   "UPDATE value_counts SET count = count - 1 WHERE "
                   "symbol = coalesce(OLD.\"符号\", '') AND sort = coalesce(OLD.\"分选结果\", '') AND "
                   "has_value = (OLD.value IS NOT NULL) AND value = coalesce(OLD.value, 0); "
                   "UPDATE day_ranges SET stale = 1 WHERE date = coalesce(OLD.\"日期\", '') AND "
                   "symbol = coalesce(OLD.\"符号\", '') AND OLD.value IS NOT NULL; END"),
    // Nothing of ours changes a record; should anything else, the sums are no longer trusted.
    QStringLiteral("CREATE TRIGGER day_sums_update AFTER UPDATE ON data BEGIN "
                   "UPDATE day_sums_state SET valid = 0; END"),
};

const QStringList kFill{
    QStringLiteral(R"(INSERT INTO value_counts SELECT coalesce("符号", ''), coalesce("分选结果", ''), )"
                   R"(value IS NOT NULL, coalesce(value, 0), count(*) FROM data GROUP BY 1, 2, 3, 4)"),
    QStringLiteral(R"(INSERT INTO day_ranges (date, symbol, first_id, last_id, range_sum, ranges) )"
                   R"(SELECT date, symbol, min(id), max(id), coalesce(sum(abs(step)), 0), count(step) FROM )"
                   R"((SELECT coalesce("日期", '') AS date, coalesce("符号", '') AS symbol, id, value - lag(value) )"
                   R"(OVER (PARTITION BY coalesce("日期", ''), coalesce("符号", '') ORDER BY id) AS step )"
                   R"(FROM data WHERE value IS NOT NULL) GROUP BY date, symbol)"),
    QStringLiteral("UPDATE day_ranges SET first_value = (SELECT value FROM data WHERE id = first_id), "
                   "last_value = (SELECT value FROM data WHERE id = last_id)"),
    QStringLiteral("INSERT INTO day_sums_state VALUES (1)"),
};

const QStringList kDrop{
    QStringLiteral("DROP TRIGGER IF EXISTS day_sums_insert"), QStringLiteral("DROP TRIGGER IF EXISTS day_sums_delete"),
    QStringLiteral("DROP TRIGGER IF EXISTS day_sums_update"), QStringLiteral("DROP TABLE IF EXISTS day_values"),
    QStringLiteral("DROP TABLE IF EXISTS value_counts"),      QStringLiteral("DROP TABLE IF EXISTS day_ranges"),
    QStringLiteral("DROP TABLE IF EXISTS day_sums_state")};

bool Valid(const RecordStore& store)
{
    // A file from before the counts by reading is made anew.
    QSqlQuery exists = RunOnStore(store, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                                        "name IN ('day_sums_state', 'value_counts')"));
    if (!exists.next() || exists.value(0).toInt() != 2) return false;
    exists.finish();
    QSqlQuery state = RunOnStore(store, QStringLiteral("SELECT valid FROM day_sums_state"));
    return state.next() && state.value(0).toInt() == 1;
}

}  // namespace

void EnsureDaySums(RecordStore& store)
{
    if (Valid(store)) return;
    QElapsedTimer timer;
    timer.start();
    RunOnStore(store, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        for (const QStringList* step : {&kDrop, &kCreate, &kFill})
            for (const QString& text : *step) RunOnStore(store, text);
        RunOnStore(store, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(QSqlDatabase::database(store.ConnectionName(), false)).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    qCInfo(lcRecords).noquote() << "per-day sums made in" << timer.elapsed() << "ms";
}

std::optional<DaySums> ReadDaySums(const RecordStore& store, const QString& modeSymbol)
{
    if (!Valid(store)) return std::nullopt;
    DaySums sums;
    QSqlQuery values =
        RunOnStore(store,
                   QStringLiteral("SELECT sort, has_value, value, count FROM value_counts WHERE symbol = ? AND "
                                  "count > 0"),
                   {modeSymbol});
    while (values.next())
        sums.values.append({values.value(0).toString(),
                            values.value(1).toInt() ? std::optional(values.value(2).toDouble()) : std::nullopt,
                            values.value(3).toLongLong()});
    values.finish();
    QSqlQuery days =
        RunOnStore(store,
                   QStringLiteral("SELECT date, first_id, last_id, first_value, last_value, range_sum, ranges, "
                                  "stale FROM day_ranges WHERE symbol = ? ORDER BY first_id"),
                   {modeSymbol});
    while (days.next())
        sums.days.append({days.value(0).toString(), days.value(1).toLongLong(), days.value(2).toLongLong(),
                          days.value(3).toDouble(), days.value(4).toDouble(), days.value(5).toDouble(),
                          days.value(6).toLongLong(), days.value(7).toInt() != 0});
    return sums;
}

QList<ScopeReading> ReadLastReadings(const RecordStore& store, const QString& modeSymbol, int limit)
{
    QSqlQuery read =
        RunOnStore(store,
                   QStringLiteral(R"(SELECT id, "分选结果", value FROM data WHERE "符号" = ? AND value IS NOT NULL )"
                                  R"(ORDER BY id DESC LIMIT ?)"),
                   {modeSymbol, limit});
    QList<ScopeReading> rows;
    while (read.next()) rows.append({read.value(0).toLongLong(), read.value(1).toString(), read.value(2).toDouble()});
    return rows;
}

}  // namespace records
