#pragma once
// The individuals chart's control limits and Nelson's eight run rules over it. The
// rules keep only the last few points: each new reading is judged in O(rule's window),
// never by reading the scope again.

#include "lot_figures.h"

#include <QString>
#include <array>
#include <deque>
#include <vector>

namespace stats {

// Fewer readings than this set no limits of their own.
inline constexpr qint64 kLimitsReadings = 25;
// The moving-range chart's upper limit is D4 · MR̄ for ranges of two.
inline constexpr double kD4 = 3.267;

enum class LimitsSource { Scope, Frozen };

struct ControlLimits {
    double centre = 0;
    double sigma = 0;  // σ̂ = MR̄ / d2
    LimitsSource source = LimitsSource::Scope;
    QString date;  // frozen: the scope they were taken from, and its count
    qint64 count = 0;
    double Upper() const { return centre + 3 * sigma; }
    double Lower() const { return centre - 3 * sigma; }
    double RangeMean() const { return sigma * MovingRange::kD2; }
    double RangeUpper() const { return kD4 * RangeMean(); }
    bool operator==(const ControlLimits&) const = default;
};

// Frozen limits win; else the scope's own once it holds enough readings and a spread.
std::optional<ControlLimits> LimitsOf(const LotFigures& figures, const std::optional<ControlLimits>& frozen);
std::optional<ControlLimits> LimitsOf(const RunningMoments& moments, const MovingRange& ranges,
                                      const std::optional<ControlLimits>& frozen);
// "本范围 (n=120)" or "固定 (2026-12-10, n=500)".
QString LimitsSourceWords(const ControlLimits& limits);

inline constexpr int kRuleCount = 8;

// Which rules are on, numbered 1–8 as Nelson numbers them.
class RuleChoice {
public:
    static RuleChoice Default() { return FromBits(0b111); }
    static RuleChoice FromBits(unsigned bits) { return RuleChoice(bits & 0xff); }
    // "1,2,3,5"; none for anything but rule numbers 1–8 separated by commas.
    static std::optional<RuleChoice> Parse(const QString& text);
    bool On(int rule) const { return rule >= 1 && rule <= kRuleCount && (bits_ >> (rule - 1) & 1); }
    void Set(int rule, bool on);
    unsigned Bits() const { return bits_; }
    QString Text() const;
    bool operator==(const RuleChoice&) const = default;

private:
    explicit RuleChoice(unsigned bits) : bits_(bits) {}
    unsigned bits_;
};

// The rule in words: "连续 9 点在中心线同侧".
QString RuleWords(int rule);

struct ChartPoint {
    double value = 0;
    qint32 number = 0;  // the record's 编号
};

// A rule that fired on a reading, with the record numbers of the points that make it.
struct Firing {
    int rule = 0;
    qint32 firstNumber = 0;
    qint32 lastNumber = 0;
    bool operator==(const Firing&) const = default;
};
// "过程报警：连续 9 点在中心线同侧（编号 1204–1212）"
QString AlarmText(const Firing& firing);

class RunRules {
public:
    static constexpr int kWindow = 15;  // the longest rule's points

    RunRules() = default;
    explicit RunRules(RuleChoice rules) : rules_(rules) {}
    // Judges the new point with the ones before it against the limits (none: no rule
    // fires). Rule 1 fires on every point beyond; the others once per run of their
    // pattern, when it first holds.
    std::vector<Firing> Add(const ChartPoint& point, const std::optional<ControlLimits>& limits);
    void SetRules(RuleChoice rules) { rules_ = rules; }
    RuleChoice Rules() const { return rules_; }

private:
    // The number of points (ending with the newest) that make the rule's pattern, 0 when
    // it does not hold.
    int Holds(int rule, const ControlLimits& limits) const;

    RuleChoice rules_ = RuleChoice::Default();
    std::deque<ChartPoint> window_;
    std::array<bool, kRuleCount + 1> held_{};
};

}  // namespace stats
