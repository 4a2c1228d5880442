#include "lot_figures.h"

namespace stats {

void LotFigures::Add(const Reading& reading)
{
    ++records_;
    ++counts_[int(reading.sort)];
    if (!reading.value) {
        ++withoutValue_;
        return;
    }
    const double x = *reading.value;
    moments_.Add(x);
    min_ = min_ ? std::min(*min_, x) : x;
    max_ = max_ ? std::max(*max_, x) : x;
    ranges_.Add(x);
    histogram_.Add(x);
    ++values_[x];
    trend_.push_back(reading);
    if (trend_.size() > size_t(kTrendLength)) trend_.pop_front();
}

void LotFigures::AddMany(const Reading& reading, qint64 count)
{
    records_ += count;
    counts_[int(reading.sort)] += count;
    if (!reading.value) {
        withoutValue_ += count;
        return;
    }
    const double x = *reading.value;
    moments_.AddMany(x, count);
    min_ = min_ ? std::min(*min_, x) : x;
    max_ = max_ ? std::max(*max_, x) : x;
    histogram_.Add(x, count);
    values_[x] += count;
}

Capability LotFigures::CapabilityAgainst(const Limits& limits) const
{
    return CapabilityOf(moments_.Mean(), ranges_.WithinSigma(), moments_.SampleDeviation(), limits);
}

BinLayout LayoutFor(const Limits& limits, std::optional<double> min, std::optional<double> max)
{
    if (limits.lower && limits.upper) {
        const BinLayout layout = LayoutFromLimits(*limits.lower, *limits.upper);
        if (layout.Valid()) return layout;
    }
    if (min && max) return LayoutFromRange(*min, *max);
    return {};
}

}  // namespace stats
