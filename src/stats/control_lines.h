#pragma once
// The control-chart half of a scope's figures: its control limits and where they come
// from, the indices' intervals and the normality test, and the scope's alarms; written
// as "复制" and the command line give them, after the lot's own lines.

#include "alarm_log.h"
#include "capability_confidence.h"
#include "control_chart.h"
#include "figure_lines.h"

namespace stats {

struct ControlFigures {
    std::optional<ControlLimits> limits;
    RuleChoice rules = RuleChoice::Default();
    std::optional<Interval> cp, cpk;
    std::optional<Normality> normality;
    QList<records::Alarm> alarms;  // of the scope and the chosen rules, oldest first
    // Any alarm of the scope still unacknowledged: the indices are marked.
    bool Unsettled() const;
};

ControlFigures ControlFiguresOf(const LotFigures& figures, const Limits& limits,
                                const std::optional<ControlLimits>& frozen, RuleChoice rules,
                                const QList<records::Alarm>& alarms);

// "1.33 (1.18–1.48)"; the index alone without an interval.
QString IndexWithInterval(const std::optional<double>& index, const std::optional<Interval>& interval);
// "A² 0.164  p 0.943", with the note when p < 0.05.
QString NormalityWords(const std::optional<Normality>& normality);
inline const QString kOutOfControl = QStringLiteral("过程未受控");
inline const QString kLimitsUndecided = QStringLiteral("控制限未定");

// The rules that fired among the trend's points against the limits: each firing with
// the trend's indices of its first and last point.
std::vector<Firing> TrendFirings(const std::deque<Reading>& trend, const std::optional<ControlLimits>& limits,
                                 RuleChoice rules);

QStringList ControlLines(const ControlFigures& control);

}  // namespace stats
