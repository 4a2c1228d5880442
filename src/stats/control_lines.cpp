#include "control_lines.h"

#include <algorithm>
#include <map>

namespace stats {

bool ControlFigures::Unsettled() const
{
    return std::any_of(alarms.begin(), alarms.end(),
                       [](const records::Alarm& a) { return !a.acknowledgedAt.isValid(); });
}

ControlFigures ControlFiguresOf(const LotFigures& figures, const Limits& limits,
                                const std::optional<ControlLimits>& frozen, RuleChoice rules,
                                const QList<records::Alarm>& alarms)
{
    ControlFigures control;
    control.limits = LimitsOf(figures, frozen);
    control.rules = rules;
    const Capability capability = figures.CapabilityAgainst(limits);
    const qint64 n = figures.Moments().Count();
    if (capability.cp) control.cp = CpInterval(*capability.cp, n);
    if (capability.cpk) control.cpk = CpkInterval(*capability.cpk, n);
    const auto& values = figures.Values();
    control.normality = AndersonDarling({values.begin(), values.end()});
    for (const records::Alarm& alarm : alarms)
        if (rules.On(alarm.rule)) control.alarms << alarm;
    return control;
}

QString IndexWithInterval(const std::optional<double>& index, const std::optional<Interval>& interval)
{
    if (!index || !interval) return Index(index);
    return QStringLiteral("%1 (%2–%3)").arg(Index(index), Index(interval->low), Index(interval->high));
}

QString NormalityWords(const std::optional<Normality>& normality)
{
    if (!normality) return kNone;
    QString words = QStringLiteral("A² %1  p %2")
                        .arg(QString::number(normality->a2Star, 'f', 3), QString::number(normality->p, 'f', 3));
    if (normality->p < 0.05) words += QStringLiteral("  非正态分布：Cp/Cpk 假定正态分布，仅供参考");
    return words;
}

std::vector<Firing> TrendFirings(const std::deque<Reading>& trend, const std::optional<ControlLimits>& limits,
                                 RuleChoice rules)
{
    std::vector<Firing> all;
    if (!limits) return all;
    RunRules run(rules);
    qint32 index = 0;
    for (const Reading& reading : trend) {
        if (!reading.value) continue;
        for (const Firing& firing : run.Add({*reading.value, index}, limits)) all.push_back(firing);
        ++index;
    }
    return all;
}

QStringList ControlLines(const ControlFigures& control)
{
    const QChar tab = u'\t';
    auto number = [](const std::optional<double>& value) { return value ? PlainNumber(*value) : kNone; };
    const auto& l = control.limits;
    auto of = [&](double (ControlLimits::*part)() const) { return l ? number(((*l).*part)()) : kNone; };
    QStringList lines{QStringLiteral("控制限") + tab + (l ? LimitsSourceWords(*l) : kLimitsUndecided),
                      QStringLiteral("中心线") + tab + number(l ? std::optional(l->centre) : std::nullopt),
                      QStringLiteral("σ̂") + tab + number(l ? std::optional(l->sigma) : std::nullopt),
                      QStringLiteral("UCL") + tab + of(&ControlLimits::Upper),
                      QStringLiteral("LCL") + tab + of(&ControlLimits::Lower),
                      QStringLiteral("MR̄") + tab + of(&ControlLimits::RangeMean),
                      QStringLiteral("MR UCL") + tab + of(&ControlLimits::RangeUpper)};
    auto interval = [&](const std::optional<Interval>& i) {
        return i ? Index(i->low) + tab + Index(i->high) : kNone + tab + kNone;
    };
    lines << QStringLiteral("Cp 95%") + tab + interval(control.cp)
          << QStringLiteral("Cpk 95%") + tab + interval(control.cpk);
    const auto& normality = control.normality;
    lines << QStringLiteral("A²") + tab + (normality ? QString::number(normality->a2Star, 'f', 3) : kNone) + tab +
                 QStringLiteral("p") + tab + (normality ? QString::number(normality->p, 'f', 3) : kNone);
    lines << QStringLiteral("受控") + tab +
                 (control.Unsettled()
                      ? kOutOfControl
                      : (normality && normality->p < 0.05 ? QStringLiteral("是（非正态分布）") : QStringLiteral("是")));
    lines << QStringLiteral("规则") + tab + (control.rules.Bits() ? control.rules.Text() : kNone);
    std::map<int, int> byRule;
    for (const records::Alarm& alarm : control.alarms) ++byRule[alarm.rule];
    lines << QStringLiteral("报警") + tab + QString::number(control.alarms.size());
    for (const auto& [rule, count] : byRule)
        lines << QStringLiteral("规则 %1").arg(rule) + tab + QString::number(count) + tab + RuleWords(rule);
    for (const records::Alarm& alarm : control.alarms) {
        const QString at = alarm.raisedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString numbers = QStringLiteral("%1–%2").arg(alarm.firstNumber).arg(alarm.lastNumber);
        const QString acknowledged =
            alarm.acknowledgedAt.isValid()
                ? alarm.acknowledgedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + tab + alarm.acknowledgedBy
                : QStringLiteral("未确认") + tab;
        lines << QStringLiteral("报警记录") + tab + at + tab + QString::number(alarm.rule) + tab + numbers + tab +
                     alarm.operatorNumber + tab + acknowledged;
    }
    return lines;
}

}  // namespace stats
