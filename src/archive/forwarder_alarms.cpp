// The process alarms travel to the archive as the records do: from a mark of their own
// (table alarm_archive in the local file), in batches, each sent once. A batch goes
// through a temporary table that skips rows the server has already (a crash between the
// server's commit and the mark). The acknowledgement stays in the local file. A server or
// role that takes no alarms is logged and never holds the records up.

#include "forwarder.h"

#include "log_categories.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

namespace archive {

namespace {

constexpr int kAlarmBatch = 500;
constexpr qint64 kAlarmSchemaLock = 0x514d52414c524d;  // "QMRALRM"

const char kAlarmColumns[] = "source, local_id, bench, raised_at, rule, first_number, last_number, operator";

const QStringList kAlarmServerColumns{QStringLiteral("source uuid"),
                                      QStringLiteral("local_id bigint"),
                                      QStringLiteral("bench text"),
                                      QStringLiteral("raised_at timestamp with time zone"),
                                      QStringLiteral("rule smallint"),
                                      QStringLiteral("first_number integer"),
                                      QStringLiteral("last_number integer"),
                                      QStringLiteral("operator text"),
                                      QStringLiteral("archived_at timestamp with time zone")};

}  // namespace

void Forwarder::CheckAlarmTable()
{
    alarmsServer_ = false;
    try {
        server_.Exec("BEGIN");
        server_.Exec("SELECT pg_advisory_xact_lock(" + QByteArray::number(kAlarmSchemaLock) + ")");
        const QList<QStringList> columns = server_.Exec(
            "SELECT attname || ' ' || format_type(atttypid, atttypmod) FROM pg_attribute "
            "WHERE attrelid = to_regclass('qmr4070_alarms') AND attnum > 0 AND NOT attisdropped ORDER BY attnum");
        QStringList found;
        for (const QStringList& row : columns) found << row.value(0);
        if (found.isEmpty()) {
            server_.Exec(
                "CREATE TABLE qmr4070_alarms (source uuid NOT NULL, local_id bigint NOT NULL, bench text, "
                "raised_at timestamptz, rule smallint, first_number integer, last_number integer, operator text, "
                "archived_at timestamptz DEFAULT now(), PRIMARY KEY (source, local_id))");
            qCInfo(lcArchive) << "archive table qmr4070_alarms created";
        }
        server_.Exec("COMMIT");
        if (!found.isEmpty() && found != kAlarmServerColumns)
            throw Failure{QStringLiteral("the server's table qmr4070_alarms has other columns (%1); nothing is "
                                         "written to it")
                              .arg(found.join(QStringLiteral(", ")))};
        server_.Exec(
            "CREATE TEMP TABLE IF NOT EXISTS qmr4070_alarms_incoming (LIKE qmr4070_alarms INCLUDING "
            "DEFAULTS) ON COMMIT DELETE ROWS");
        alarmsServer_ = true;
    } catch (const Failure& failure) {
        AlarmsRefused(failure);
    }
}

// On a lost connection the rollback throws on, as for a record.
void Forwarder::AlarmsRefused(const Failure& failure)
{
    server_.Exec("ROLLBACK");
    if (alarmsError_ != failure.text)
        qCWarning(lcArchive).noquote() << "process alarms not archived:" << WithoutSecret(failure.text, config_.url);
    alarmsError_ = failure.text;
}

int Forwarder::SendAlarms()
{
    // A file the recording program has not opened since alarms came has none to send.
    if (!alarmsTable_)
        alarmsTable_ =
            RunLocal(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'alarms'")).next();
    if (!*alarmsTable_ || !alarmsServer_) return 0;
    RunLocal(QStringLiteral("CREATE TABLE IF NOT EXISTS alarm_archive (archived_id INTEGER NOT NULL)"));
    QSqlQuery markRow = RunLocal(QStringLiteral("SELECT archived_id FROM alarm_archive"));
    const bool hasMark = markRow.next();
    const qint64 mark = hasMark ? markRow.value(0).toLongLong() : 0;
    markRow.finish();
    if (!hasMark) RunLocal(QStringLiteral("INSERT INTO alarm_archive (archived_id) VALUES (0)"));

    QSqlQuery read = RunLocal(QStringLiteral("SELECT id, raised_at, rule, first_number, last_number, operator "
                                             "FROM alarms WHERE id > ? ORDER BY id LIMIT ?"),
                              {mark, kAlarmBatch});
    QByteArray copy;
    qint64 last = mark;
    int rows = 0;
    while (read.next()) {
        last = read.value(0).toLongLong();
        const QVariant raised = read.value(1);
        const QVariant raisedAt = raised.isNull()
                                      ? QVariant()
                                      : QVariant(QDateTime::fromMSecsSinceEpoch(raised.toLongLong(), QTimeZone::utc())
                                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz+00")));
        const QVariant fields[] = {source_,       last,          config_.bench, raisedAt,
                                   read.value(2), read.value(3), read.value(4), read.value(5)};
        for (const QVariant& field : fields) {
            if (&field != fields) copy += '\t';
            AppendCopyField(copy, field);
        }
        copy += '\n';
        ++rows;
    }
    read.finish();
    if (rows == 0) return 0;
    try {
        server_.Exec("BEGIN");
        if (!server_.Copy(QByteArray("COPY qmr4070_alarms_incoming (") + kAlarmColumns + ") FROM STDIN", copy))
            throw Failure{QStringLiteral("a batch holds the same alarm twice")};
        server_.Exec(QByteArray("INSERT INTO qmr4070_alarms (") + kAlarmColumns + ") SELECT " + kAlarmColumns +
                     " FROM qmr4070_alarms_incoming ON CONFLICT (source, local_id) DO NOTHING");
        server_.Exec("COMMIT");
    } catch (const Failure& failure) {
        AlarmsRefused(failure);
        return 0;
    }
    alarmsError_.clear();
    RunLocal(QStringLiteral("UPDATE alarm_archive SET archived_id = ? WHERE archived_id < ?"), {last, last});
    return rows;
}

}  // namespace archive
