#include "lot_arithmetic.h"

#include <algorithm>
#include <cmath>

namespace stats {

SortClass SortClassOf(const QString& sortText)
{
    if (sortText == u"PASS") return SortClass::Pass;
    if (sortText == u"HIGH") return SortClass::High;
    if (sortText == u"LOW") return SortClass::Low;
    return SortClass::Other;
}

void RunningMoments::Add(double x)
{
    ++count_;
    const double delta = x - mean_;
    mean_ += delta / double(count_);
    squares_ += delta * (x - mean_);
}

void RunningMoments::AddMany(double x, qint64 n)
{
    if (n <= 0) return;
    const double total = double(count_ + n);
    const double delta = x - mean_;
    mean_ += delta * double(n) / total;
    squares_ += delta * delta * double(count_) * double(n) / total;
    count_ += n;
}

double RunningMoments::SampleDeviation() const { return count_ > 1 ? std::sqrt(squares_ / double(count_ - 1)) : 0; }

MovingRange MovingRange::Of(double sum, qint64 ranges, std::optional<double> last)
{
    MovingRange made;
    made.sum_ = sum;
    made.ranges_ = ranges;
    made.last_ = last;
    return made;
}

void MovingRange::Add(double x)
{
    if (last_) {
        sum_ += std::abs(x - *last_);
        ++ranges_;
    }
    last_ = x;
}

BinLayout LayoutFromLimits(double lower, double upper)
{
    if (!(lower < upper)) return {};
    const double width = (upper - lower) / 20;
    return {lower - 5 * width, width, 30, true};
}

BinLayout LayoutFromRange(double min, double max)
{
    if (max > min) {
        const double width = (max - min) / 28;
        return {min - width, width, 30, false};
    }
    // One value only: a narrow band around it.
    const double width = min != 0 ? std::abs(min) * 1e-4 : 1e-6;
    return {min - 15 * width, width, 30, false};
}

Histogram::Histogram(const BinLayout& layout) : layout_(layout), counts_(layout.Valid() ? layout.bins : 0) {}

qint64& Histogram::Slot(double x)
{
    if (!layout_.Valid()) return unplaced_;
    if (x < layout_.low) return under_;
    const double index = std::floor((x - layout_.low) / layout_.width);
    if (!(index < layout_.bins)) return over_;
    return counts_[size_t(index)];
}

bool LimitsUsable(const Limits& limits)
{
    const auto finite = [](const std::optional<double>& limit) { return !limit || std::isfinite(*limit); };
    if (!finite(limits.lower) || !finite(limits.upper)) return false;
    return !limits.lower || !limits.upper || *limits.lower < *limits.upper;
}

Capability CapabilityOf(double mean, double withinSigma, double overallSigma, const Limits& limits)
{
    if (!limits.lower || !limits.upper || !LimitsUsable(limits)) return {};
    const double lower = *limits.lower, upper = *limits.upper;
    auto spread = [&](double sigma) -> std::optional<double> {
        if (!(sigma > 0)) return std::nullopt;
        return (upper - lower) / (6 * sigma);
    };
    auto nearer = [&](double sigma) -> std::optional<double> {
        if (!(sigma > 0)) return std::nullopt;
        return std::min(upper - mean, mean - lower) / (3 * sigma);
    };
    return {spread(withinSigma), nearer(withinSigma), spread(overallSigma), nearer(overallSigma)};
}

}  // namespace stats
