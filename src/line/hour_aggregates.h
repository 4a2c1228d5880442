#pragma once
// The line server's own table: per bench, per hour (by the time a reading was taken) and
// per display mode, the counts by sort result, the moments of the readings' numbers, the
// moving-range sum and the first and last reading. Brought up to date from a watermark on
// the archive's archived_at, one transaction per chunk, so a restart neither repeats nor
// skips a row.
//
// archived_at is the inserting transaction's start time, so a row can become visible
// after rows with a later archived_at. The watermark therefore only moves up to a horizon
// below the start of every transaction still open on the archive's database (less a
// quarter second for one that has stamped its start but not yet published it): a row
// below the horizon can no longer appear, and a row at or above it is left for later.

#include "pg_connection.h"

#include <QByteArray>
#include <QString>

namespace line {

class HourAggregates {
public:
    explicit HourAggregates(PgConnection& db) : db_(db) {}

    // Creates the table and the mark when missing and sets the session up (time zone of
    // the hours, memory for the chunk's sort). Call after each new connection.
    void Prepare();
    // One chunk of at most `maxRows` rows below the horizon, in one transaction. True when
    // rows remain below the horizon.
    bool Step(qint64 maxRows);
    // The watermark as the server writes it.
    QByteArray Mark();
    // Whether the role sees every session's transaction start (else the horizon keeps a
    // fixed margin).
    bool SeesAllSessions() const { return seesAll_; }

private:
    QByteArray Horizon();
    QByteArray ChunkEnd(const QByteArray& from, const QByteArray& horizon, qint64 maxRows);
    void Regroup(const QByteArray& bench, const QByteArray& hour, const QByteArray& below);

    PgConnection& db_;
    bool seesAll_ = true;
};

}  // namespace line
