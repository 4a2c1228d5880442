#include "scope.h"

#include "day_sums.h"
#include "reading_value.h"
#include "record_filter.h"

#include <algorithm>
#include <cmath>

namespace stats {

namespace {
constexpr int kPageRows = 20000;

int FieldIndex(const QString& name)
{
    const QList<records::FieldDef>& fields = records::RecordFields();
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return i;
    return -1;
}
}  // namespace

QString ScopeWords(const Scope& scope)
{
    QStringList words;
    if (!scope.filter) {
        words << QStringLiteral("全部");
    } else {
        words << scope.filter->dateText;
        if (scope.filter->sortText) words << QStringLiteral("分选结果") << *scope.filter->sortText;
        if (scope.filter->operatorNumber) words << QStringLiteral("工号") << *scope.filter->operatorNumber;
    }
    words << ModeSymbol(scope.mode);
    return words.join(u' ');
}

bool InScope(const QVariantList& values, const Scope& scope)
{
    static const int symbol = FieldIndex(QStringLiteral("符号"));
    const QVariant stored = values.value(symbol);
    return !stored.isNull() && stored.toString() == ModeSymbol(scope.mode) && records::Matches(values, scope.filter);
}

Reading ReadingOf(const QVariantList& values)
{
    static const int sort = FieldIndex(QStringLiteral("分选结果"));
    static const int reading = FieldIndex(QStringLiteral("测试数据"));
    return {SortClassOf(values.value(sort).toString()), records::ReadingValue(values.value(reading).toString())};
}

LotFigures Recount(const records::RecordStore& store, const Scope& scope, const BinLayout& layout)
{
    LotFigures figures(layout);
    const QString symbol = ModeSymbol(scope.mode);
    records::Bookmark from = 0;
    for (;;) {
        const QList<records::ScopeReading> page = store.ReadScope(scope.filter, symbol, from, kPageRows);
        for (const records::ScopeReading& row : page) figures.Add({SortClassOf(row.sortText), row.value});
        if (page.size() < kPageRows) break;
        from = page.back().id + 1;
    }
    return figures;
}

namespace {

// A day whose ranges the sums no longer know (a record of it deleted), read again.
bool ReadDayAgain(const records::RecordStore& store, const QString& symbol, records::DayRanges& day)
{
    const std::optional<records::RecordFilter> filter = records::RecordFilter{day.dateText, {}, {}};
    day = {day.dateText, 0, 0, 0, 0, 0, 0, false};
    bool any = false;
    records::Bookmark from = 0;
    for (;;) {
        const QList<records::ScopeReading> page = store.ReadScope(filter, symbol, from, kPageRows);
        for (const records::ScopeReading& row : page) {
            if (!row.value) continue;
            if (!any)
                day.firstId = row.id, day.firstValue = *row.value;
            else
                day.rangeSum += std::abs(*row.value - day.lastValue), ++day.ranges;
            day.lastId = row.id;
            day.lastValue = *row.value;
            any = true;
        }
        if (page.size() < kPageRows) break;
        from = page.back().id + 1;
    }
    return any;
}

// The same figures as reading every record, from a few thousand rows; none too when
// the days interleave in the table's order (the moving range runs across days).
}  // namespace

std::optional<LotFigures> RecountFromDaySums(const records::RecordStore& store, const Scope& scope,
                                             const Limits& limits)
{
    if (scope.filter) return std::nullopt;
    const QString symbol = ModeSymbol(scope.mode);
    std::optional<records::DaySums> sums = records::ReadDaySums(store, symbol);
    if (!sums) return std::nullopt;
    std::optional<double> min, max;
    for (const records::DayValue& v : sums->values)
        if (v.value) {
            min = min ? std::min(*min, *v.value) : *v.value;
            max = max ? std::max(*max, *v.value) : *v.value;
        }
    LotFigures figures(LayoutFor(limits, min, max));
    for (const records::DayValue& v : sums->values) figures.AddMany({SortClassOf(v.sortText), v.value}, v.count);

    QList<records::DayRanges> days;
    for (records::DayRanges& day : sums->days)
        if (!day.stale || ReadDayAgain(store, symbol, day)) days << day;
    std::sort(days.begin(), days.end(), [](const auto& a, const auto& b) { return a.firstId < b.firstId; });
    double sum = 0;
    qint64 ranges = 0;
    const records::DayRanges* previous = nullptr;
    for (const records::DayRanges& day : days) {
        if (previous) {
            if (day.firstId <= previous->lastId) return std::nullopt;
            sum += std::abs(day.firstValue - previous->lastValue);
            ++ranges;
        }
        sum += day.rangeSum;
        ranges += day.ranges;
        previous = &day;
    }
    // Every reading but the first starts one range: anything else and the sums are not to be trusted.
    if (ranges != std::max<qint64>(figures.Moments().Count() - 1, 0)) return std::nullopt;
    figures.SetRanges(MovingRange::Of(sum, ranges, previous ? std::optional(previous->lastValue) : std::nullopt));
    std::deque<Reading> trend;
    for (const records::ScopeReading& row : records::ReadLastReadings(store, symbol, LotFigures::kTrendLength))
        trend.push_front({SortClassOf(row.sortText), row.value});
    figures.SetTrend(std::move(trend));
    return figures;
}

LotFigures Recount(const records::RecordStore& store, const Scope& scope, const Limits& limits)
{
    if (std::optional<LotFigures> quick = RecountFromDaySums(store, scope, limits)) return std::move(*quick);
    std::optional<double> min, max;
    if (!(limits.lower && limits.upper && *limits.lower < *limits.upper))
        if (const auto range = store.ScopeRange(scope.filter, ModeSymbol(scope.mode))) {
            min = range->first;
            max = range->second;
        }
    return Recount(store, scope, LayoutFor(limits, min, max));
}

}  // namespace stats
