#include "alarm_log.h"

#include "log_categories.h"
#include "platform_error.h"
#include "record_store.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace records {

namespace {

const QString kCreate = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS alarms (id INTEGER PRIMARY KEY AUTOINCREMENT, raised_at INTEGER NOT NULL, "
    "rule INTEGER NOT NULL, first_number INTEGER, last_number INTEGER, operator TEXT, date TEXT, symbol TEXT, "
    "acknowledged_at INTEGER, acknowledged_by TEXT)");

QVariant Moment(const QDateTime& at) { return at.isValid() ? QVariant(at.toMSecsSinceEpoch()) : QVariant(); }

}  // namespace

AlarmLog::AlarmLog(RecordStore& store, QObject* parent) : QObject(parent), store_(store)
{
    Create();
    connect(&store_, &RecordStore::Appended, this, &AlarmLog::Flush);
}

// A file written back or opened anew may lack the table: made sure of once per connection.
void AlarmLog::Create()
{
    if (created_ == store_.ConnectionName()) return;
    RunOnStore(store_, kCreate);
    created_ = store_.ConnectionName();
}

void AlarmLog::Add(const Alarm& alarm)
{
    Keep([this, alarm]() -> std::optional<Alarm> {
        const QSqlQuery insert = RunOnStore(
            store_,
            QStringLiteral("INSERT INTO alarms (raised_at, rule, first_number, last_number, operator, date, symbol) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            {Moment(alarm.raisedAt), alarm.rule, alarm.firstNumber, alarm.lastNumber, alarm.operatorNumber,
             alarm.dateText, alarm.modeSymbol});
        Alarm written = alarm;
        written.id = insert.lastInsertId().toLongLong();
        return written;
    });
}

void AlarmLog::AcknowledgeAll(const QString& by, const QDateTime& at)
{
    Keep([this, by, at]() -> std::optional<Alarm> {
        RunOnStore(store_,
                   QStringLiteral("UPDATE alarms SET acknowledged_at = ?, acknowledged_by = ? "
                                  "WHERE acknowledged_at IS NULL AND raised_at <= ?"),
                   {Moment(at), by, Moment(at)});
        return std::nullopt;
    });
}

void AlarmLog::Keep(Write write)
{
    waiting_.push_back(std::move(write));
    Flush();
}

// In order, each in its own statement (one transaction); stops at the first the file
// refuses, which is tried again after the next record it takes.
void AlarmLog::Flush()
{
    while (!waiting_.empty()) {
        std::optional<Alarm> added;
        try {
            Create();
            added = waiting_.front()();
        } catch (const PlatformError& error) {
            qCWarning(lcRecords).noquote() << "alarm not written yet:" << error.Text();
            return;
        }
        waiting_.pop_front();
        if (added)
            emit Added(*added);
        else
            emit Acknowledged();
    }
}

QList<Alarm> ReadAlarms(const RecordStore& store, const std::optional<QString>& dateText, const QString& modeSymbol)
{
    QSqlQuery exists =
        RunOnStore(store, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'alarms'"));
    if (!exists.next()) return {};
    exists.finish();
    QString text = QStringLiteral(
        "SELECT id, raised_at, rule, first_number, last_number, operator, date, symbol, acknowledged_at, "
        "acknowledged_by FROM alarms WHERE symbol = ?");
    QVariantList values{modeSymbol};
    if (dateText) {
        text += QStringLiteral(" AND date = ?");
        values << *dateText;
    }
    QSqlQuery read = RunOnStore(store, text + QStringLiteral(" ORDER BY id"), values);
    QList<Alarm> alarms;
    auto moment = [](const QVariant& ms) {
        return ms.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms.toLongLong());
    };
    while (read.next())
        alarms.append({read.value(0).toLongLong(), moment(read.value(1)), read.value(2).toInt(), read.value(3).toInt(),
                       read.value(4).toInt(), read.value(5).toString(), read.value(6).toString(),
                       read.value(7).toString(), moment(read.value(8)), read.value(9).toString()});
    return alarms;
}

}  // namespace records
