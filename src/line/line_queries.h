#pragma once
// What the page shows, read from the server's own hourly table (never by scanning the
// archive) and from the small tables of limits and alarms when the archive has them.

#include "pg_connection.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <optional>

namespace line {

// Recording: a reading taken in the last 2 minutes; idle: in the last 30; silent since
// the newest reading otherwise.
inline constexpr qint64 kRecordingMs = 2 * 60 * 1000;
inline constexpr qint64 kIdleMs = 30 * 60 * 1000;

// Every bench with a reading taken in the last 7 days, worst first.
QJsonObject LineJson(PgConnection& db, const QDateTime& now);

// Whether the archive's hours hold the bench at all.
bool BenchKnown(PgConnection& db, const QString& bench);
// One bench on one day: figures, yield per hour, the last 500 readings; none when the
// bench has no reading that day.
std::optional<QJsonObject> BenchDayJson(PgConnection& db, const QString& bench, const QDate& day);

}  // namespace line
