#pragma once
// The figures of a lot, kept up to date one record at a time: counts by sort result,
// the readings' moments, extremes, moving range and histogram, and the last readings
// for the trend. Adding a record is O(1) whatever the lot's size.

#include "lot_arithmetic.h"

#include <array>
#include <deque>
#include <unordered_map>

namespace stats {

// A record as the figures see it.
struct Reading {
    SortClass sort = SortClass::Other;
    std::optional<double> value;  // none for a status text
};

class LotFigures {
public:
    static constexpr int kTrendLength = 500;

    explicit LotFigures(const BinLayout& layout = {}) : histogram_(layout) {}
    void Add(const Reading& reading);
    // From sums kept elsewhere: `count` records of one sort and reading (none for the
    // trend or the ranges), then the ranges and the last readings of the whole.
    void AddMany(const Reading& reading, qint64 count);
    void SetRanges(const MovingRange& ranges) { ranges_ = ranges; }
    void SetTrend(std::deque<Reading> trend) { trend_ = std::move(trend); }

    qint64 Records() const { return records_; }
    qint64 Count(SortClass sort) const { return counts_[int(sort)]; }
    qint64 WithoutValue() const { return withoutValue_; }
    const RunningMoments& Moments() const { return moments_; }
    std::optional<double> Min() const { return min_; }
    std::optional<double> Max() const { return max_; }
    const MovingRange& Ranges() const { return ranges_; }
    const Histogram& Bins() const { return histogram_; }
    // The last readings with a number, oldest first.
    const std::deque<Reading>& Trend() const { return trend_; }
    // Each distinct reading with its count, for the test of a normal spread; a meter's
    // readings repeat a few thousand texts, so this stays small.
    const std::unordered_map<double, qint64>& Values() const { return values_; }
    Capability CapabilityAgainst(const Limits& limits) const;

private:
    qint64 records_ = 0;
    std::array<qint64, kSortClasses> counts_{};
    qint64 withoutValue_ = 0;
    RunningMoments moments_;
    std::optional<double> min_, max_;
    MovingRange ranges_;
    Histogram histogram_;
    std::deque<Reading> trend_;
    std::unordered_map<double, qint64> values_;
};

// The bins for a lot: from the limits when both are known, else from the readings' range.
BinLayout LayoutFor(const Limits& limits, std::optional<double> min, std::optional<double> max);

}  // namespace stats
