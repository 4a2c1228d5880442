#pragma once
// The run rules at the bench: every record appended is judged, as it comes, against the
// control limits of its own date and display mode; a rule that fires is stored in the
// alarm log and announced. The day's figures are counted once when its first reading
// comes (or at start), then kept in O(1) per reading.

#include "alarm_log.h"
#include "control_settings.h"
#include "record_store.h"

#include <QObject>

namespace stats {

class AlarmWatch : public QObject {
    Q_OBJECT
public:
    AlarmWatch(records::RecordStore& store, records::AlarmLog& log, ControlSettings& settings,
               QObject* parent = nullptr);

signals:
    // A rule fired on a reading just recorded.
    void Raised(const records::Alarm& alarm, const QString& text);

private:
    // One display mode's day: its moments and moving range, and the rules' last points.
    struct Track {
        QString date;
        RunningMoments moments;
        MovingRange ranges;
        RunRules rules;
    };

    void Take(const records::StoredRecord& record);
    void Count(Track& track, const QString& date, Mode mode, records::Bookmark upTo);
    void Forget();

    records::RecordStore& store_;
    records::AlarmLog& log_;
    ControlSettings& settings_;
    std::array<Track, 2> tracks_;
};

}  // namespace stats
