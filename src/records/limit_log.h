#pragma once
// The limits the meter reported, kept beside the records a row per change (time, display
// mode, lower, upper, nominal), so the archive learns which limits were in force when.
// Values as the summary lines read them: ohms in mode "R"; percent in mode "%", where the
// lower limit is the distance below the nominal value and so negative.

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace records {

class RecordStore;

struct ReportedLimits {
    QString mode;  // "R" or "%"
    std::optional<double> lower, upper, nominal;
    bool operator==(const ReportedLimits&) const = default;
};

// The local tables when missing: the log and the forwarder's mark in it.
void CreateLimitLog(QSqlDatabase& db);

// Appends a row for each mode whose limits differ from its last row. A file that takes
// none is logged: the readings matter more than the record of their limits.
void NoteLimits(const RecordStore& store, const QList<ReportedLimits>& limits, const QDateTime& at);

}  // namespace records
