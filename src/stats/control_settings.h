#pragma once
// What the engineer chose for the control charts, kept in the program's settings: the
// run rules that are on, and per display mode the frozen limits with the date and count
// they came from.

#include "control_chart.h"
#include "figure_lines.h"

#include <QObject>

namespace stats {

class ControlSettings : public QObject {
    Q_OBJECT
public:
    // The file of the program's settings (qmr4070/qmr4070.conf in the user's config folder).
    explicit ControlSettings(QObject* parent = nullptr);

    RuleChoice Rules() const { return rules_; }
    void SetRules(RuleChoice rules);
    std::optional<ControlLimits> Frozen(Mode mode) const { return frozen_[int(mode)]; }
    void Freeze(Mode mode, const ControlLimits& limits);
    void Release(Mode mode);

signals:
    void Changed();

private:
    void Save();
    QString path_;
    RuleChoice rules_ = RuleChoice::Default();
    std::array<std::optional<ControlLimits>, 2> frozen_;
};

}  // namespace stats
