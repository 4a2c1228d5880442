#include "hour_aggregates.h"

#include "line_config.h"

#include <QTimeZone>

namespace line {

namespace {

const char kCreate[] =
    "CREATE TABLE IF NOT EXISTS qmr4070_line_hours (bench text NOT NULL, hour timestamptz NOT NULL, "
    "mode text NOT NULL, n bigint NOT NULL, high bigint NOT NULL, pass bigint NOT NULL, low bigint NOT NULL, "
    "vn bigint NOT NULL, vsum double precision NOT NULL, vm2 double precision NOT NULL, vmin double precision, "
    "vmax double precision, mr_sum double precision NOT NULL, mr_n bigint NOT NULL, first_at timestamptz NOT NULL, "
    "first_source uuid NOT NULL, first_local bigint NOT NULL, first_value double precision, last_at timestamptz "
    "NOT NULL, last_source uuid NOT NULL, last_local bigint NOT NULL, last_value double precision, "
    "PRIMARY KEY (bench, hour, mode))";
const char kCreateIndex[] = "CREATE INDEX IF NOT EXISTS qmr4070_line_hours_hour ON qmr4070_line_hours (hour)";
const char kCreateMark[] =
    "CREATE TABLE IF NOT EXISTS qmr4070_line_mark (one boolean PRIMARY KEY DEFAULT true CHECK (one), "
    "archived_below timestamptz NOT NULL)";
const char kFirstMark[] = "INSERT INTO qmr4070_line_mark (archived_below) VALUES ('-infinity') ON CONFLICT DO NOTHING";

// The groups of the rows a filter picks, one per bench, hour and mode: a reading without
// a number has mode ''. Consecutive readings of a group are ordered by the time taken,
// then by their key, so the moving range and the first and last are the same whichever
// chunk a row came in. The one window pass is for the step; the first and last readings
// are looked up by their time in the (bench, taken_at) index, which is cheaper than
// numbering every row and counting each group's rows again.
#define QMR_MODE "CASE WHEN value IS NULL THEN '' ELSE coalesce(symbol, '') END"
#define QMR_END(FILTER, WHICH, ORDER)                                                                                 \
    "CROSS JOIN LATERAL (SELECT source, local_id, value FROM qmr4070_records WHERE " FILTER                           \
    " AND bench = g.bench AND taken_at = g." WHICH "_at AND " QMR_MODE " = g.mode ORDER BY " ORDER " LIMIT 1) " WHICH \
    " "
#define QMR_GROUPS(FILTER)                                                                                        \
    "WITH picked AS (SELECT bench, date_trunc('hour', taken_at) AS hour, " QMR_MODE                               \
    " AS mode, sort, value, taken_at, source, local_id FROM qmr4070_records WHERE " FILTER                        \
    " AND bench IS NOT NULL AND taken_at IS NOT NULL), "                                                          \
    "stepped AS (SELECT *, abs(value - lag(value) OVER (PARTITION BY bench, hour, mode ORDER BY taken_at, "       \
    "source, local_id)) AS step FROM picked), "                                                                   \
    "g AS (SELECT bench, hour, mode, count(*) AS n, count(*) FILTER (WHERE sort = 'HIGH') AS high, "              \
    "count(*) FILTER (WHERE sort = 'PASS') AS pass, count(*) FILTER (WHERE sort = 'LOW') AS low, "                \
    "count(value) AS vn, coalesce(sum(value), 0) AS vsum, coalesce(var_samp(value) * (count(value) - 1), 0) AS "  \
    "vm2, min(value) AS vmin, max(value) AS vmax, coalesce(sum(step), 0) AS mr_sum, count(step) AS mr_n, "        \
    "min(taken_at) AS first_at, max(taken_at) AS last_at FROM stepped GROUP BY bench, hour, mode) "               \
    "SELECT g.bench, g.hour, g.mode, n, high, pass, low, vn, vsum, vm2, vmin, vmax, mr_sum, mr_n, first_at, "     \
    "first.source, first.local_id, first.value, last_at, last.source, last.local_id, last.value FROM g " QMR_END( \
        FILTER, "first", "source, local_id") QMR_END(FILTER, "last", "source DESC, local_id DESC")

const char kChunkTable[] = "CREATE TEMP TABLE line_chunk (LIKE qmr4070_line_hours) ON COMMIT DROP";
const char kChunk[] = "INSERT INTO line_chunk " QMR_GROUPS("archived_at >= $1 AND archived_at < $2");

const char kRegroup[] = "INSERT INTO line_chunk " QMR_GROUPS(
    "bench = $1 AND taken_at >= $2 AND taken_at < $2::timestamptz + interval '1 hour' AND archived_at < $3");

// Bench-hours whose new rows do not all come after the ones counted: they are counted
// again from the archive, by the bench and time index.
const char kOverlaps[] =
    "SELECT DISTINCT c.bench, c.hour FROM line_chunk c JOIN qmr4070_line_hours h USING (bench, hour, mode) "
    "WHERE (h.last_at, h.last_source, h.last_local) >= (c.first_at, c.first_source, c.first_local)";

// Chan's update of the squared deviations; the moving range gains the step between the
// counted last reading and the new first one.
const char kMerge[] =
    "INSERT INTO qmr4070_line_hours AS h SELECT * FROM line_chunk ON CONFLICT (bench, hour, mode) DO UPDATE SET "
    "n = h.n + EXCLUDED.n, high = h.high + EXCLUDED.high, pass = h.pass + EXCLUDED.pass, low = h.low + "
    "EXCLUDED.low, vn = h.vn + EXCLUDED.vn, vsum = h.vsum + EXCLUDED.vsum, "
    "vm2 = h.vm2 + EXCLUDED.vm2 + CASE WHEN h.vn > 0 AND EXCLUDED.vn > 0 THEN (EXCLUDED.vsum / EXCLUDED.vn - "
    "h.vsum / h.vn) ^ 2 * h.vn * EXCLUDED.vn / (h.vn + EXCLUDED.vn) ELSE 0 END, "
    "vmin = least(h.vmin, EXCLUDED.vmin), vmax = greatest(h.vmax, EXCLUDED.vmax), "
    "mr_sum = h.mr_sum + EXCLUDED.mr_sum + coalesce(abs(EXCLUDED.first_value - h.last_value), 0), "
    "mr_n = h.mr_n + EXCLUDED.mr_n + CASE WHEN EXCLUDED.first_value IS NOT NULL AND h.last_value IS NOT NULL "
    "THEN 1 ELSE 0 END, last_at = EXCLUDED.last_at, last_source = EXCLUDED.last_source, last_local = "
    "EXCLUDED.last_local, last_value = EXCLUDED.last_value";

// Every open transaction of another client on this database may still insert rows
// stamped with its start. A role without pg_read_all_stats sees no other role's
// sessions; it keeps a margin longer than a bench's transaction can last.
const char kHorizon[] =
    "SELECT least(clock_timestamp(), min(xact_start)) - CASE WHEN $1 THEN interval '250 milliseconds' "
    "ELSE interval '2 minutes' END FROM pg_stat_activity WHERE backend_type = 'client backend' "
    "AND datname = current_database() AND pid <> pg_backend_pid()";

}  // namespace

void HourAggregates::Prepare()
{
    db_.Exec("SET DateStyle = ISO");
    db_.Exec("SET work_mem = '256MB'");
    // Compiling a chunk's statement took longer than the compiled code saved.
    db_.Exec("SET jit = off");
    // Hours begin where the clock on this machine says they do, so a day is whole hours.
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    try {
        db_.Query("SELECT set_config('TimeZone', $1, false)", {zone});
    } catch (const DbFailure&) {
        qCWarning(lcLine).noquote() << "the archive's server does not know the time zone" << zone
                                    << "- hours are counted in UTC";
        db_.Exec("SET TimeZone = 'UTC'");
    }
    db_.Exec(kCreate);
    db_.Exec(kCreateIndex);
    db_.Exec(kCreateMark);
    db_.Exec(kFirstMark);
    seesAll_ = db_.Query("SELECT pg_has_role('pg_read_all_stats', 'USAGE')").value(0).value(0) == "t";
    if (!seesAll_)
        qCWarning(lcLine) << "the role lacks pg_read_all_stats: the aggregates keep two minutes behind the archive";
    const bool indexed =
        !db_.Query("SELECT 1 FROM pg_indexes WHERE tablename = 'qmr4070_records' AND indexdef LIKE '%(archived_at)'")
             .isEmpty();
    if (!indexed)
        qCWarning(lcLine) << "qmr4070_records has no index on archived_at: each catch-up scans the archive "
                             "(see the README)";
}

QByteArray HourAggregates::Mark()
{
    return db_.Query("SELECT archived_below FROM qmr4070_line_mark").value(0).value(0);
}

QByteArray HourAggregates::Horizon() { return db_.Query(kHorizon, {seesAll_}).value(0).value(0); }

// Rows stamped alike always fall in one chunk, so a chunk ends at a stamp: the one of the
// row maxRows on, or, when every row up to there shares the first stamp, the next.
QByteArray HourAggregates::ChunkEnd(const QByteArray& from, const QByteArray& horizon, qint64 maxRows)
{
    const QVariantList range{QString::fromUtf8(from), QString::fromUtf8(horizon)};
    const QList<Row> nth = db_.Query(
        "SELECT archived_at FROM qmr4070_records WHERE archived_at >= $1 AND archived_at < $2 ORDER BY archived_at "
        "OFFSET $3 LIMIT 1",
        range + QVariantList{maxRows});
    if (nth.isEmpty()) return horizon;
    const QByteArray first =
        db_.Query("SELECT min(archived_at) FROM qmr4070_records WHERE archived_at >= $1 AND archived_at < $2", range)
            .value(0)
            .value(0);
    if (nth[0][0] != first) return nth[0][0];
    const QList<Row> next =
        db_.Query("SELECT min(archived_at) FROM qmr4070_records WHERE archived_at > $1 AND archived_at < $2",
                  {QString::fromUtf8(first), QString::fromUtf8(horizon)});
    return next.value(0).value(0).isNull() ? horizon : next[0][0];
}

bool HourAggregates::Step(qint64 maxRows)
{
    const QByteArray horizon = Horizon();
    db_.Exec("BEGIN");
    try {
        // The mark's row lock keeps a second server on the same database from counting twice.
        const Row mark = db_.Query(
                                "SELECT archived_below, archived_below < $1::timestamptz FROM qmr4070_line_mark "
                                "FOR UPDATE",
                                {QString::fromUtf8(horizon)})
                             .value(0);
        const QByteArray from = mark.value(0);
        if (mark.value(1) != "t") {
            db_.Exec("ROLLBACK");
            return false;
        }
        const QByteArray to = ChunkEnd(from, horizon, maxRows);
        db_.Exec(kChunkTable);
        db_.Query(kChunk, {QString::fromUtf8(from), QString::fromUtf8(to)});
        for (const Row& overlap : db_.Query(kOverlaps)) Regroup(overlap[0], overlap[1], to);
        db_.Exec(kMerge);
        db_.Query("UPDATE qmr4070_line_mark SET archived_below = $1", {QString::fromUtf8(to)});
        db_.Exec("COMMIT");
        return to != horizon;
    } catch (const DbFailure&) {
        if (db_.IsOpen()) {
            try {
                db_.Exec("ROLLBACK");
            } catch (const DbFailure&) {
            }
        }
        throw;
    }
}

void HourAggregates::Regroup(const QByteArray& bench, const QByteArray& hour, const QByteArray& below)
{
    const QVariantList key{QString::fromUtf8(bench), QString::fromUtf8(hour)};
    db_.Query("DELETE FROM qmr4070_line_hours WHERE bench = $1 AND hour = $2", key);
    db_.Query("DELETE FROM line_chunk WHERE bench = $1 AND hour = $2", key);
    db_.Query(kRegroup, key + QVariantList{QString::fromUtf8(below)});
}

}  // namespace line
