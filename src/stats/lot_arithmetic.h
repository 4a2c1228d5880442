#pragma once
// The arithmetic of lot statistics, apart from any store or window: running moments
// that take readings in and out, the moving range of consecutive readings, fixed
// histogram bins and the capability indices.

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace stats {

enum class SortClass { High, Pass, Low, Other };
inline constexpr int kSortClasses = 4;
// "HIGH", "PASS" and "LOW" as stored; anything else ("NULL", empty) is Other.
SortClass SortClassOf(const QString& sortText);

// Mean and sum of squared deviations by Welford's method: no large sums that cancel, so
// readings of 20 kΩ that differ in the fifth digit keep their spread. Values only go in:
// taking one out again cancels badly after large values, so a delete counts afresh.
class RunningMoments {
public:
    void Add(double x);
    // `n` equal values at once, by Chan's update for two groups.
    void AddMany(double x, qint64 n);
    qint64 Count() const { return count_; }
    double Mean() const { return mean_; }
    // With n−1 in the denominator; 0 below two values.
    double SampleDeviation() const;

private:
    qint64 count_ = 0;
    double mean_ = 0;
    double squares_ = 0;
};

// The ranges between consecutive readings, for the within-lot spread σ̂ = MR̄ / d2.
class MovingRange {
public:
    static constexpr double kD2 = 1.128;  // d2 for ranges of two
    // From sums kept elsewhere: `ranges` ranges adding up to `sum`, the last value `last`.
    static MovingRange Of(double sum, qint64 ranges, std::optional<double> last);
    void Add(double x);
    qint64 Ranges() const { return ranges_; }
    double Mean() const { return ranges_ > 0 ? sum_ / double(ranges_) : 0; }
    double WithinSigma() const { return Mean() / kD2; }
    std::optional<double> Last() const { return last_; }

private:
    std::optional<double> last_;
    double sum_ = 0;
    qint64 ranges_ = 0;
};

// Equal bins from `low`; a value below `low` is an underflow, one at or past the last
// bin's end an overflow.
struct BinLayout {
    double low = 0;
    double width = 0;
    int bins = 0;
    bool fromLimits = false;
    bool Valid() const { return bins > 0 && width > 0; }
    double High() const { return low + width * bins; }
    bool operator==(const BinLayout&) const = default;
};
// Twenty bins between the limits and five either side; invalid unless lower < upper.
BinLayout LayoutFromLimits(double lower, double upper);
// Thirty bins over the readings' range with a bin to spare either side.
BinLayout LayoutFromRange(double min, double max);

class Histogram {
public:
    explicit Histogram(const BinLayout& layout = {});
    void Add(double x, qint64 n = 1) { Slot(x) += n; }
    void Remove(double x) { --Slot(x); }
    const BinLayout& Layout() const { return layout_; }
    const std::vector<qint64>& Counts() const { return counts_; }
    qint64 Under() const { return under_; }
    qint64 Over() const { return over_; }
    // Whether a value falls in one of the bins.
    bool Inside(double x) const { return layout_.Valid() && x >= layout_.low && x < layout_.High(); }

private:
    qint64& Slot(double x);
    BinLayout layout_;
    std::vector<qint64> counts_;
    qint64 under_ = 0;
    qint64 over_ = 0;
    qint64 unplaced_ = 0;  // without a layout nothing is counted
};

struct Limits {
    std::optional<double> lower;
    std::optional<double> upper;
};

// Either limit may be missing; two must be finite and the lower below the upper.
bool LimitsUsable(const Limits& limits);

struct Capability {
    std::optional<double> cp, cpk, pp, ppk;
};
// Cp, Cpk from the within-lot σ̂, Pp, Ppk from the overall deviation; none where a limit
// is missing, the limits are not usable or the deviation is 0.
Capability CapabilityOf(double mean, double withinSigma, double overallSigma, const Limits& limits);

}  // namespace stats
