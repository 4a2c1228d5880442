#include "live_figures.h"

#include "log_categories.h"
#include "platform_error.h"

#include <QTimer>

namespace stats {

namespace {
// While a lot is this small, bins drawn from its range are drawn again when a reading
// falls outside them; past it they stay and the reading counts as under- or overflow.
constexpr qint64 kRebinBelow = 1000;
}  // namespace

LiveFigures::LiveFigures(records::RecordStore& store, const Scope& scope, const Limits& limits, QObject* parent)
    : QObject(parent), store_(store), scope_(scope), limits_(limits), figures_(Recount(store, scope, limits))
{
    connect(&store_, &records::RecordStore::AppendedRecord, this, &LiveFigures::Take);
    connect(&store_, &records::RecordStore::Deleted, this, &LiveFigures::CountAgainLater);
    connect(&store_, &records::RecordStore::AllDeleted, this, [this] {
        figures_ = LotFigures(figures_.Bins().Layout());
        emit Changed();
    });
}

void LiveFigures::SetLimits(const Limits& limits)
{
    limits_ = limits;
    CountAgain();
}

// Runs inside the store's append: nothing may leave here.
void LiveFigures::Take(const records::StoredRecord& record)
{
    if (!InScope(record.values, scope_)) return;
    const Reading reading = ReadingOf(record.values);
    const Histogram& bins = figures_.Bins();
    const bool rebin = reading.value && !bins.Layout().fromLimits && !bins.Inside(*reading.value) &&
                       figures_.Moments().Count() < kRebinBelow;
    figures_.Add(reading);
    emit Changed();
    if (rebin) CountAgainLater();
}

void LiveFigures::CountAgainLater()
{
    if (std::exchange(countPending_, true)) return;
    QTimer::singleShot(0, this, [this] {
        countPending_ = false;
        try {
            CountAgain();
        } catch (const PlatformError& error) {
            qCWarning(lcRecords).noquote() << "statistics not counted again:" << error.Text();
        }
    });
}

void LiveFigures::CountAgain()
{
    figures_ = Recount(store_, scope_, limits_);
    emit Changed();
}

}  // namespace stats
