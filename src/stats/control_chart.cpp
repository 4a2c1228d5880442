#include "control_chart.h"

#include <QStringList>
#include <cmath>

namespace stats {

std::optional<ControlLimits> LimitsOf(const RunningMoments& moments, const MovingRange& ranges,
                                      const std::optional<ControlLimits>& frozen)
{
    if (frozen) return frozen;
    if (moments.Count() < kLimitsReadings || !(ranges.WithinSigma() > 0)) return std::nullopt;
    return ControlLimits{moments.Mean(), ranges.WithinSigma(), LimitsSource::Scope, {}, moments.Count()};
}

std::optional<ControlLimits> LimitsOf(const LotFigures& figures, const std::optional<ControlLimits>& frozen)
{
    return LimitsOf(figures.Moments(), figures.Ranges(), frozen);
}

QString LimitsSourceWords(const ControlLimits& limits)
{
    if (limits.source == LimitsSource::Scope) return QStringLiteral("本范围 (n=%1)").arg(limits.count);
    return QStringLiteral("固定 (%1, n=%2)").arg(limits.date).arg(limits.count);
}

std::optional<RuleChoice> RuleChoice::Parse(const QString& text)
{
    RuleChoice choice(0);
    for (const QString& part : text.split(u',')) {
        bool ok = false;
        const int rule = part.trimmed().toInt(&ok);
        if (!ok || rule < 1 || rule > kRuleCount) return std::nullopt;
        choice.Set(rule, true);
    }
    return choice;
}

void RuleChoice::Set(int rule, bool on)
{
    if (rule < 1 || rule > kRuleCount) return;
    const unsigned bit = 1u << (rule - 1);
    bits_ = on ? bits_ | bit : bits_ & ~bit;
}

QString RuleChoice::Text() const
{
    QStringList rules;
    for (int rule = 1; rule <= kRuleCount; ++rule)
        if (On(rule)) rules << QString::number(rule);
    return rules.join(u',');
}

QString RuleWords(int rule)
{
    switch (rule) {
    case 1: return QStringLiteral("1 点超出 3σ 控制限");
    case 2: return QStringLiteral("连续 9 点在中心线同侧");
    case 3: return QStringLiteral("连续 6 点持续上升或下降");
    case 4: return QStringLiteral("连续 14 点交替上下");
    case 5: return QStringLiteral("连续 3 点中有 2 点超出 2σ（同侧）");
    case 6: return QStringLiteral("连续 5 点中有 4 点超出 1σ（同侧）");
    case 7: return QStringLiteral("连续 15 点在 1σ 以内");
    case 8: return QStringLiteral("连续 8 点在 1σ 以外（两侧）");
    default: return QStringLiteral("规则 %1").arg(rule);
    }
}

QString AlarmText(const Firing& firing)
{
    const QString numbers = firing.firstNumber == firing.lastNumber
                                ? QString::number(firing.lastNumber)
                                : QStringLiteral("%1–%2").arg(firing.firstNumber).arg(firing.lastNumber);
    return QStringLiteral("过程报警：%1（编号 %2）").arg(RuleWords(firing.rule), numbers);
}

std::vector<Firing> RunRules::Add(const ChartPoint& point, const std::optional<ControlLimits>& limits)
{
    window_.push_back(point);
    if (window_.size() > size_t(kWindow)) window_.pop_front();
    std::vector<Firing> fired;
    for (int rule = 1; rule <= kRuleCount; ++rule) {
        const int points = rules_.On(rule) && limits && limits->sigma > 0 ? Holds(rule, *limits) : 0;
        const bool held = std::exchange(held_[size_t(rule)], points > 0);
        if (points > 0 && (rule == 1 || !held))
            fired.push_back({rule, window_[window_.size() - size_t(points)].number, point.number});
    }
    return fired;
}

int RunRules::Holds(int rule, const ControlLimits& limits) const
{
    const int n = int(window_.size());
    // The newest point is z(0), the one before it z(1), in σ̂ from the centre line.
    auto z = [&](int back) { return (window_[size_t(n - 1 - back)].value - limits.centre) / limits.sigma; };
    auto step = [&](int back) {
        const double d = window_[size_t(n - 1 - back)].value - window_[size_t(n - 2 - back)].value;
        return (d > 0) - (d < 0);
    };
    // Whether every one of the last `count` points passes `test`.
    auto all = [&](int count, auto test) {
        if (n < count) return false;
        for (int i = 0; i < count; ++i)
            if (!test(i)) return false;
        return true;
    };
    // `need` of the last `count` points beyond `sigmas` on one side: the points from the
    // oldest of them on, else 0.
    auto beyond = [&](int count, int need, double sigmas) {
        if (n < count) return 0;
        for (const double side : {1.0, -1.0}) {
            int found = 0, oldest = 0;
            for (int i = 0; i < count; ++i)
                if (z(i) * side > sigmas) ++found, oldest = i;
            if (found >= need) return oldest + 1;
        }
        return 0;
    };
    switch (rule) {
    case 1: return std::abs(z(0)) > 3 ? 1 : 0;
    case 2: return all(9, [&](int i) { return z(i) > 0; }) || all(9, [&](int i) { return z(i) < 0; }) ? 9 : 0;
    case 3: {
        const bool rising = all(6, [&](int i) { return i == 5 || step(i) > 0; });
        const bool falling = all(6, [&](int i) { return i == 5 || step(i) < 0; });
        return rising || falling ? 6 : 0;
    }
    case 4:
        return all(14, [&](int i) { return i == 13 || (step(i) != 0 && (i == 0 || step(i) == -step(i - 1))); }) ? 14
                                                                                                                : 0;
    case 5: return beyond(3, 2, 2);
    case 6: return beyond(5, 4, 1);
    case 7: return all(15, [&](int i) { return std::abs(z(i)) < 1; }) ? 15 : 0;
    case 8:
        if (!all(8, [&](int i) { return std::abs(z(i)) > 1; })) return 0;
        return all(8, [&](int i) { return z(i) > 0; }) || all(8, [&](int i) { return z(i) < 0; }) ? 0 : 8;
    default: return 0;
    }
}

}  // namespace stats
