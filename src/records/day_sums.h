#pragma once
// Sums of the record table, kept by triggers inside each append's and delete's own
// transaction, so the figures over the whole table come from a few thousand rows instead
// of a million: per display mode, sort text and reading, how many records; per date and
// mode, the first and last reading and the sum of the ranges between consecutive readings. The recording program
// creates them; a file without them (or with sums the triggers could not keep) is simply counted the long way.

#include "record_store.h"

#include <QList>
#include <QString>
#include <optional>

namespace records {

// Creates the tables and triggers when missing or no longer valid, filled from the
// table in one transaction; PlatformError when the file refuses.
void EnsureDaySums(RecordStore& store);

struct DayValue {
    QString sortText;
    std::optional<double> value;
    qint64 count = 0;
};

struct DayRanges {
    QString dateText;
    qint64 firstId = 0, lastId = 0;
    double firstValue = 0, lastValue = 0;
    double rangeSum = 0;
    qint64 ranges = 0;
    bool stale = false;  // a record of the day was deleted: its ranges must be read again
};

struct DaySums {
    QList<DayValue> values;  // over the whole table
    QList<DayRanges> days;   // in the order of their first record
};

// The sums of one display mode; none when the file has none to trust. Reads only.
std::optional<DaySums> ReadDaySums(const RecordStore& store, const QString& modeSymbol);
// The last `limit` records of a display mode that carry a number, newest first.
QList<ScopeReading> ReadLastReadings(const RecordStore& store, const QString& modeSymbol, int limit);

}  // namespace records
