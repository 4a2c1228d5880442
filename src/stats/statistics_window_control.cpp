// The statistics window's control-chart half: the limits and their source, freezing and
// releasing them, the rules' choice, the indices' intervals and normality, the alarms.

#include "log_categories.h"
#include "platform_error.h"
#include "plot_widget.h"
#include "statistics_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace stats {

void StatisticsWindow::UseControl(ControlSettings& control, records::AlarmLog* alarms)
{
    control_ = &control;
    ownControl_.reset();
    alarms_ = alarms;
    for (int rule = 1; rule <= kRuleCount; ++rule) RuleBoxes[size_t(rule - 1)]->setChecked(control.Rules().On(rule));
    connect(control_, &ControlSettings::Changed, this, [this] {
        if (live_ && !refresh_->isActive()) refresh_->start();
    });
    if (!alarms_) return;
    // A new alarm joins the list read; an acknowledgement changes older ones: read again.
    connect(alarms_, &records::AlarmLog::Added, this, [this](const records::Alarm& alarm) {
        if (!alarmsRead_ || alarm.modeSymbol != alarmsRead_->symbol ||
            (alarmsRead_->date && alarm.dateText != *alarmsRead_->date))
            return;
        alarmsRead_->alarms << alarm;
        if (live_ && !refresh_->isActive()) refresh_->start();
    });
    connect(alarms_, &records::AlarmLog::Acknowledged, this, [this] {
        alarmsRead_.reset();
        if (live_ && !refresh_->isActive()) refresh_->start();
    });
}

void StatisticsWindow::BuildControlChart(QGridLayout* grid, int& row)
{
    FreezeButton = new QPushButton(QStringLiteral("固定控制限"));
    ReleaseButton = new QPushButton(QStringLiteral("解除"));
    grid->addWidget(FreezeButton, row, 0);
    grid->addWidget(ReleaseButton, row++, 1);
    auto* rules = new QGridLayout;
    for (int rule = 1; rule <= kRuleCount; ++rule) {
        auto* box = new QCheckBox(QStringLiteral("规则 %1").arg(rule));
        box->setToolTip(RuleWords(rule));
        box->setChecked(control_->Rules().On(rule));
        rules->addWidget(box, (rule - 1) / 4, (rule - 1) % 4);
        RuleBoxes[size_t(rule - 1)] = box;
        connect(box, &QCheckBox::toggled, this, [this, rule](bool on) {
            RuleChoice choice = control_->Rules();
            if (choice.On(rule) == on) return;
            choice.Set(rule, on);
            control_->SetRules(choice);
        });
    }
    grid->addLayout(rules, row++, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("报警")), row++, 0);
    AlarmList = new QListWidget;
    AlarmList->setMinimumHeight(90);
    AlarmList->setUniformItemSizes(true);  // one line each: no text layout of every item
    grid->addWidget(AlarmList, row++, 0, 1, 2);
    connect(control_, &ControlSettings::Changed, this, [this] {
        if (live_ && !refresh_->isActive()) refresh_->start();
    });
    connect(FreezeButton, &QPushButton::clicked, this, &StatisticsWindow::FreezeClick);
    connect(ReleaseButton, &QPushButton::clicked, this, &StatisticsWindow::ReleaseClick);
}

// Read again only for another scope or after an acknowledgement: the window refreshes
// several times a second.
QList<records::Alarm> StatisticsWindow::ScopeAlarms() const
{
    const Scope& scope = live_->CurrentScope();
    AlarmsRead wanted{scope.filter ? std::optional(scope.filter->dateText) : std::nullopt, ModeSymbol(scope.mode), {}};
    if (alarms_ && alarmsRead_ && alarmsRead_->date == wanted.date && alarmsRead_->symbol == wanted.symbol)
        return alarmsRead_->alarms;
    try {
        wanted.alarms = records::ReadAlarms(store_, wanted.date, wanted.symbol);
    } catch (const PlatformError& error) {
        qCWarning(lcRecords).noquote() << "alarms unread:" << error.Text();
        return {};
    }
    alarmsRead_ = wanted;
    ++alarmsGeneration_;
    return wanted.alarms;
}

ControlFigures StatisticsWindow::CurrentControl() const
{
    const Mode mode = live_->CurrentScope().mode;
    return ControlFiguresOf(live_->Figures(), live_->CurrentLimits(), control_->Frozen(mode), control_->Rules(),
                            ScopeAlarms());
}

void StatisticsWindow::RefreshControl(const LotFigures& figures, Mode mode)
{
    const ControlFigures control = CurrentControl();
    const Capability capability = figures.CapabilityAgainst(live_->CurrentLimits());
    const QString mark = control.Unsettled() ? QStringLiteral("  ") + kOutOfControl : QString();
    values_[QStringLiteral("Cp")]->setText(IndexWithInterval(capability.cp, control.cp) + mark);
    values_[QStringLiteral("Cpk")]->setText(IndexWithInterval(capability.cpk, control.cpk) + mark);
    const auto& limits = control.limits;
    values_[QStringLiteral("控制限")]->setText(
        limits ? QStringLiteral("%1  CL %2  UCL %3  LCL %4")
                     .arg(LimitsSourceWords(*limits), ReadableValue(limits->centre, mode),
                          ReadableValue(limits->Upper(), mode), ReadableValue(limits->Lower(), mode))
               : kLimitsUndecided);
    values_[QStringLiteral("A²")]->setText(NormalityWords(control.normality));
    values_[QStringLiteral("受控")]->setText(control.Unsettled() ? kOutOfControl : QStringLiteral("是"));
    FreezeButton->setEnabled(limits && limits->source == LimitsSource::Scope);
    ReleaseButton->setEnabled(limits && limits->source == LimitsSource::Frozen);
    ShowAlarms(control.alarms);
    Plot->UseControl(limits, control_->Rules());
    Plot->Show(figures, live_->CurrentLimits(), mode);
}

// The window refreshes several times a second: new alarms are added below, and the list
// is filled afresh only after the alarms were read again or other rules pick them.
void StatisticsWindow::ShowAlarms(const QList<records::Alarm>& alarms)
{
    const AlarmsShown now{alarmsGeneration_, control_->Rules().Bits(), alarms.size()};
    const bool grown =
        now.generation == alarmsShown_.generation && now.rules == alarmsShown_.rules && now.count >= alarmsShown_.count;
    if (grown && now.count == alarmsShown_.count) return;
    if (!grown) {
        AlarmList->clear();
        alarmsShown_.count = 0;
    }
    QStringList lines;
    const auto who = [](const QString& number) { return number.isEmpty() ? QStringLiteral("—") : number; };
    for (qsizetype i = alarmsShown_.count; i < alarms.size(); ++i) {
        const records::Alarm& alarm = alarms[i];
        lines << QStringLiteral("%1  %2  %3–%4  工号 %5  %6")
                     .arg(alarm.raisedAt.toString(QStringLiteral("MM-dd HH:mm:ss")), RuleWords(alarm.rule))
                     .arg(alarm.firstNumber)
                     .arg(alarm.lastNumber)
                     .arg(who(alarm.operatorNumber),
                          alarm.acknowledgedAt.isValid()
                              ? QStringLiteral("已确认 %1 %2")
                                    .arg(alarm.acknowledgedAt.toString(QStringLiteral("HH:mm:ss")),
                                         who(alarm.acknowledgedBy))
                              : QStringLiteral("未确认"));
    }
    AlarmList->addItems(lines);
    alarmsShown_ = now;
}

void StatisticsWindow::FreezeClick()
{
    if (!live_) return;
    const Scope& scope = live_->CurrentScope();
    std::optional<ControlLimits> limits = LimitsOf(live_->Figures(), std::nullopt);
    if (!limits) return;
    limits->date = scope.filter ? scope.filter->dateText : QStringLiteral("全部");
    control_->Freeze(scope.mode, *limits);
}

void StatisticsWindow::ReleaseClick()
{
    if (live_) control_->Release(live_->CurrentScope().mode);
}

}  // namespace stats
