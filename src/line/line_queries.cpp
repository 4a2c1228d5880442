#include "line_queries.h"

#include "day_figures.h"

#include <QJsonArray>
#include <QTimeZone>
#include <algorithm>
#include <map>

namespace line {

namespace {

// Hour groups come back with their times as ms since the epoch.
const char kGroupColumns[] =
    "bench, (extract(epoch FROM hour) * 1000)::bigint, mode, n, high, pass, low, vn, vsum, vm2, vmin, vmax, "
    "mr_sum, mr_n, first_value, last_value, (extract(epoch FROM last_at) * 1000)::bigint";

std::optional<double> Optional(const QByteArray& field)
{
    return field.isNull() ? std::nullopt : std::optional(field.toDouble());
}

HourGroup GroupOf(const Row& row)
{
    HourGroup g;
    g.hourMs = row[1].toLongLong();
    g.mode = QString::fromUtf8(row[2]);
    g.n = row[3].toLongLong();
    g.high = row[4].toLongLong();
    g.pass = row[5].toLongLong();
    g.low = row[6].toLongLong();
    g.vn = row[7].toLongLong();
    g.vsum = row[8].toDouble();
    g.vm2 = row[9].toDouble();
    g.vmin = Optional(row[10]);
    g.vmax = Optional(row[11]);
    g.mrSum = row[12].toDouble();
    g.mrN = row[13].toLongLong();
    g.firstValue = Optional(row[14]);
    g.lastValue = Optional(row[15]);
    g.lastAtMs = row[16].toLongLong();
    return g;
}

// Local time with its offset, so a browser elsewhere reads the same moment.
QString IsoMs(qint64 ms)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

bool HasTable(PgConnection& db, const char* name)
{
    return !db.Query("SELECT to_regclass($1)", {QString::fromLatin1(name)}).value(0).value(0).isNull();
}

// The limits last reported before `until`, per bench and mode.
std::map<std::pair<QString, QString>, Limits> LimitsInForce(PgConnection& db, const QDateTime& until)
{
    std::map<std::pair<QString, QString>, Limits> limits;
    if (!HasTable(db, "qmr4070_limits")) return limits;
    for (const Row& row : db.Query("SELECT DISTINCT ON (bench, mode) bench, mode, lower, upper, nominal "
                                   "FROM qmr4070_limits WHERE changed_at < $1 "
                                   "ORDER BY bench, mode, changed_at DESC, local_id DESC",
                                   {until}))
        limits[{QString::fromUtf8(row[0]), QString::fromUtf8(row[1])}] = {Optional(row[2]), Optional(row[3]),
                                                                          Optional(row[4])};
    return limits;
}

Limits Find(const std::map<std::pair<QString, QString>, Limits>& all, const QString& bench, const QString& mode)
{
    const auto found = all.find({bench, mode});
    return found != all.end() ? found->second : Limits{};
}

std::map<QString, QJsonObject> LastAlarms(PgConnection& db)
{
    std::map<QString, QJsonObject> alarms;
    if (!HasTable(db, "qmr4070_alarms")) return alarms;
    for (const Row& row : db.Query("SELECT DISTINCT ON (bench) bench, (extract(epoch FROM raised_at) * 1000)::bigint, "
                                   "rule FROM qmr4070_alarms WHERE bench IS NOT NULL AND raised_at IS NOT NULL "
                                   "ORDER BY bench, raised_at DESC, local_id DESC"))
        alarms[QString::fromUtf8(row[0])] = {{QStringLiteral("at"), IsoMs(row[1].toLongLong())},
                                             {QStringLiteral("rule"), row[2].isNull() ? QJsonValue() : row[2].toInt()}};
    return alarms;
}

QJsonObject Tile(const QString& bench, const DayFigures& day, qint64 newestMs, qint64 nowMs, const Limits& limits,
                 const QJsonObject& alarm)
{
    const QString mode = day.MainMode();
    QJsonObject tile = FiguresJson(day, mode, limits);
    const qint64 quiet = nowMs - newestMs;
    tile.insert(QStringLiteral("bench"), bench);
    tile.insert(QStringLiteral("state"), quiet <= kRecordingMs ? QStringLiteral("recording")
                                         : quiet <= kIdleMs    ? QStringLiteral("idle")
                                                               : QStringLiteral("silent"));
    tile.insert(QStringLiteral("newest"), IsoMs(newestMs));
    tile.insert(QStringLiteral("alarm"), alarm.isEmpty() ? QJsonValue() : QJsonValue(alarm));
    return tile;
}

// Worst first: the lowest yield today (a bench without readings today after those with),
// then the lowest Cpk (none last), then by name.
bool Worse(const QJsonObject& a, const QJsonObject& b)
{
    auto key = [](const QJsonObject& t) {
        const QJsonValue yield = t[QStringLiteral("yield")], cpk = t[QStringLiteral("cpk")];
        return std::tuple(yield.isNull(), yield.toDouble(), cpk.isNull(), cpk.toDouble(),
                          t[QStringLiteral("bench")].toString());
    };
    return key(a) < key(b);
}

}  // namespace

QJsonObject LineJson(PgConnection& db, const QDateTime& now)
{
    const QDateTime today = now.date().startOfDay();
    std::map<QString, qint64> seen;
    for (const Row& row : db.Query("SELECT bench, (extract(epoch FROM max(last_at)) * 1000)::bigint FROM "
                                   "qmr4070_line_hours WHERE hour >= $1 GROUP BY bench HAVING max(last_at) >= $2",
                                   {now.addDays(-7).addSecs(-3600), now.addDays(-7)}))
        seen[QString::fromUtf8(row[0])] = row[1].toLongLong();
    std::map<QString, DayFigures> days;
    for (const Row& row : db.Query(QByteArray("SELECT ") + kGroupColumns +
                                       " FROM qmr4070_line_hours WHERE hour >= $1 ORDER BY bench, mode, hour",
                                   {today}))
        days[QString::fromUtf8(row[0])].Add(GroupOf(row));
    const auto limits = LimitsInForce(db, now.addSecs(1));
    const auto alarms = LastAlarms(db);
    QList<QJsonObject> tiles;
    for (const auto& [bench, newest] : seen) {
        const DayFigures& day = days[bench];
        const auto alarm = alarms.find(bench);
        tiles << Tile(bench, day, newest, now.toMSecsSinceEpoch(), Find(limits, bench, day.MainMode()),
                      alarm != alarms.end() ? alarm->second : QJsonObject{});
    }
    std::sort(tiles.begin(), tiles.end(), Worse);
    QJsonArray array;
    for (const QJsonObject& tile : tiles) array.append(tile);
    return {{QStringLiteral("now"), IsoMs(now.toMSecsSinceEpoch())},
            {QStringLiteral("today"), now.date().toString(Qt::ISODate)},
            {QStringLiteral("benches"), array}};
}

bool BenchKnown(PgConnection& db, const QString& bench)
{
    return !db.Query("SELECT 1 FROM qmr4070_line_hours WHERE bench = $1 LIMIT 1", {bench}).isEmpty();
}

std::optional<QJsonObject> BenchDayJson(PgConnection& db, const QString& bench, const QDate& day)
{
    const QDateTime start = day.startOfDay(), end = day.addDays(1).startOfDay();
    DayFigures figures;
    std::map<qint64, std::pair<qint64, qint64>> hours;  // start → readings, PASS
    for (const Row& row :
         db.Query(QByteArray("SELECT ") + kGroupColumns +
                      " FROM qmr4070_line_hours WHERE bench = $1 AND hour >= $2 AND hour < $3 ORDER BY mode, hour",
                  {bench, start, end})) {
        const HourGroup group = GroupOf(row);
        figures.Add(group);
        hours[group.hourMs].first += group.n;
        hours[group.hourMs].second += group.pass;
    }
    if (figures.n == 0) return std::nullopt;
    const QString mode = figures.MainMode();
    const Limits limits = Find(LimitsInForce(db, std::min(end, QDateTime::currentDateTime().addSecs(1))), bench, mode);
    QJsonArray perHour;
    for (const auto& [hourMs, counts] : hours)
        perHour.append(QJsonObject{{QStringLiteral("hour"), IsoMs(hourMs)},
                                   {QStringLiteral("readings"), counts.first},
                                   {QStringLiteral("pass"), counts.second}});
    // The newest 500 of the day's numbered readings in its main mode, oldest first; by the
    // bench and time index.
    QJsonArray readings;
    const QList<Row> rows = db.Query(
        "SELECT (extract(epoch FROM taken_at) * 1000)::bigint, value, sort FROM qmr4070_records WHERE bench = $1 "
        "AND taken_at >= $2 AND taken_at < $3 AND value IS NOT NULL AND symbol = $4 "
        "ORDER BY taken_at DESC, source DESC, local_id DESC LIMIT 500",
        {bench, start, end, mode});
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        readings.append(QJsonArray{(*row)[0].toLongLong(), (*row)[1].toDouble(), QString::fromUtf8((*row)[2])});
    QJsonObject json = FiguresJson(figures, mode, limits);
    json.insert(QStringLiteral("bench"), bench);
    json.insert(QStringLiteral("date"), day.toString(Qt::ISODate));
    json.insert(QStringLiteral("newest"), IsoMs(figures.newestMs));
    json.insert(QStringLiteral("hours"), perHour);
    json.insert(QStringLiteral("last"), readings);
    return json;
}

}  // namespace line
