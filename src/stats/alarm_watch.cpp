#include "alarm_watch.h"

#include "log_categories.h"
#include "platform_error.h"
#include "record_filter.h"
#include "scope.h"

namespace stats {

namespace {
constexpr int kPageRows = 20000;
enum Field { kNumber, kOperator, kDate, kSymbol };
}  // namespace

AlarmWatch::AlarmWatch(records::RecordStore& store, records::AlarmLog& log, ControlSettings& settings, QObject* parent)
    : QObject(parent), store_(store), log_(log), settings_(settings)
{
    connect(&store_, &records::RecordStore::AppendedRecord, this, &AlarmWatch::Take);
    // A delete or a new choice: the day is counted again with its next reading.
    connect(&store_, &records::RecordStore::Deleted, this, &AlarmWatch::Forget);
    connect(&store_, &records::RecordStore::AllDeleted, this, &AlarmWatch::Forget);
    connect(&settings_, &ControlSettings::Changed, this, &AlarmWatch::Forget);
}

void AlarmWatch::Forget()
{
    for (Track& track : tracks_) track = Track{};
}

// The day's readings before `upTo`, and the rules primed with its last points, so a run
// that began before the count goes on counting and a pattern already reported is not again.
void AlarmWatch::Count(Track& track, const QString& date, Mode mode, records::Bookmark upTo)
{
    track = Track{date, {}, {}, RunRules(settings_.Rules())};
    const Scope scope{records::RecordFilter{date, {}, {}}, mode};
    std::deque<records::Bookmark> last;
    records::Bookmark from = 0;
    for (;;) {
        const QList<records::ScopeReading> page = store_.ReadScope(scope.filter, ModeSymbol(mode), from, kPageRows);
        for (const records::ScopeReading& row : page) {
            if (!row.value || row.id >= upTo) continue;
            track.moments.Add(*row.value);
            track.ranges.Add(*row.value);
            last.push_back(row.id);
            if (last.size() > size_t(RunRules::kWindow)) last.pop_front();
        }
        if (page.size() < kPageRows) break;
        from = page.back().id + 1;
    }
    const auto limits = LimitsOf(track.moments, track.ranges, settings_.Frozen(mode));
    for (records::Bookmark id : last) {
        const QList<records::StoredRecord> rows = store_.ReadFrom(id, 1);
        if (rows.isEmpty()) continue;
        const Reading reading = ReadingOf(rows.front().values);
        track.rules.Add({*reading.value, rows.front().values.value(kNumber).toInt()}, limits);
    }
}

// Runs inside the store's append: nothing may leave here.
void AlarmWatch::Take(const records::StoredRecord& record)
{
    const records::Bookmark id = record.id;
    try {
        const QVariantList& values = record.values;
        const std::optional<Mode> mode = ModeOf(values.value(kSymbol).toString());
        const Reading reading = ReadingOf(values);
        if (!mode || !reading.value) return;
        Track& track = tracks_[int(*mode)];
        const QString date = values.value(kDate).toString();
        if (track.date != date) Count(track, date, *mode, id);
        track.moments.Add(*reading.value);
        track.ranges.Add(*reading.value);
        const auto limits = LimitsOf(track.moments, track.ranges, settings_.Frozen(*mode));
        const qint32 number = values.value(kNumber).toInt();
        for (const Firing& firing : track.rules.Add({*reading.value, number}, limits)) {
            const records::Alarm alarm{0,
                                       QDateTime::currentDateTime(),
                                       firing.rule,
                                       firing.firstNumber,
                                       firing.lastNumber,
                                       values.value(kOperator).toString(),
                                       date,
                                       ModeSymbol(*mode),
                                       {},
                                       {}};
            log_.Add(alarm);
            emit Raised(alarm, AlarmText(firing));
        }
    } catch (const PlatformError& error) {
        qCWarning(lcRecords).noquote() << "run rules: record" << id << "unreadable:" << error.Text();
        Forget();
    }
}

}  // namespace stats
