#pragma once
// Rows in a test archive: the benches' table as the forwarder makes it, batches of
// readings each in a transaction of its own, and the figures computed straight from it.

#include "pg_server.h"

#include <QString>

namespace testing_support {

inline const char kArchiveTables[] =
    "CREATE TABLE qmr4070_records (source uuid NOT NULL, local_id bigint NOT NULL, bench text, number integer, "
    "operator text, date text, symbol text, reading text, sort text, taken_at timestamptz, value double precision, "
    "archived_at timestamptz DEFAULT now(), PRIMARY KEY (source, local_id));"
    "CREATE INDEX ON qmr4070_records (taken_at); CREATE INDEX ON qmr4070_records (bench, taken_at);"
    "CREATE INDEX ON qmr4070_records (archived_at)";

// `count` readings of a bench, local ids from `first`, taken `secondsApart` apart going back
// from `minutesAgo` minutes ago: mostly mode R around 10 Ω, every 7th in %, every 11th
// without a number; sorts cycle so every class occurs.
inline QString Batch(const QString& bench, int source, int first, int count, int minutesAgo, int secondsApart)
{
    return QStringLiteral(
               "INSERT INTO qmr4070_records (source, local_id, bench, number, operator, date, symbol, reading, sort, "
               "taken_at, value) SELECT '00000000-0000-0000-0000-%1'::uuid, g, '%2', g, 'A7', '', "
               "CASE WHEN g %% 7 = 0 THEN '%%' ELSE 'R' END, '', "
               "(ARRAY['PASS','HIGH','PASS','LOW','PASS','PASS','NULL','PASS'])[1 + g %% 8], "
               "now() - interval '%3 minutes' - (g - %4) * interval '%5 seconds', "
               "CASE WHEN g %% 11 = 0 THEN NULL WHEN g %% 7 = 0 THEN (g %% 5) - 2.5 ELSE 10 + sin(g) * 0.01 END "
               "FROM generate_series(%4, %4 + %6 - 1) g")
        .arg(source, 12, 10, QChar(u'0'))
        .arg(bench)
        .arg(minutesAgo)
        .arg(first)
        .arg(secondsApart)
        .arg(count)
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// The hourly groups computed at once from the archive's rows below the line server's mark,
// ordered like its table (compare the sums with a tolerance).
inline const char kDirectHours[] =
    "WITH r AS (SELECT bench, date_trunc('hour', taken_at) AS hour, CASE WHEN value IS NULL THEN '' ELSE symbol END "
    "AS mode, sort, value, taken_at, source, local_id FROM qmr4070_records "
    "WHERE archived_at < (SELECT archived_below FROM qmr4070_line_mark)), "
    "s AS (SELECT *, abs(value - lag(value) OVER (PARTITION BY bench, hour, mode ORDER BY taken_at, source, "
    "local_id)) AS step FROM r) "
    "SELECT bench, extract(epoch FROM hour), mode, count(*), count(*) FILTER (WHERE sort = 'HIGH'), "
    "count(*) FILTER (WHERE sort = 'PASS'), count(*) FILTER (WHERE sort = 'LOW'), count(value), "
    "coalesce(sum(value), 0), coalesce(var_samp(value) * (count(value) - 1), 0), "
    "min(value), max(value), coalesce(sum(step), 0), count(step), "
    "(array_agg(value ORDER BY taken_at, source, local_id))[1], "
    "(array_agg(value ORDER BY taken_at DESC, source DESC, local_id DESC))[1] "
    "FROM s GROUP BY bench, hour, mode ORDER BY 1, 2, 3";

inline const char kServerHours[] =
    "SELECT bench, extract(epoch FROM hour), mode, n, high, pass, low, vn, vsum, vm2, vmin, vmax, mr_sum, mr_n, "
    "first_value, last_value "
    "FROM qmr4070_line_hours ORDER BY 1, 2, 3";

}  // namespace testing_support
