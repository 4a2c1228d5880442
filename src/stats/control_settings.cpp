#include "control_settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace stats {

namespace {
QString Group(Mode mode) { return mode == Mode::Percent ? QStringLiteral("percent") : QStringLiteral("resistance"); }
}  // namespace

ControlSettings::ControlSettings(QObject* parent)
    : QObject(parent),
      path_(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/qmr4070/qmr4070.conf"))
{
    const QSettings file(path_, QSettings::IniFormat);
    if (const auto rules = RuleChoice::Parse(file.value(QStringLiteral("control/rules")).toString())) rules_ = *rules;
    if (file.value(QStringLiteral("control/rules")).toString() == u"none") rules_ = RuleChoice::FromBits(0);
    for (Mode mode : {Mode::Resistance, Mode::Percent}) {
        const QString key = QStringLiteral("control-%1/").arg(Group(mode));
        bool centreOk = false, sigmaOk = false;
        const double centre = file.value(key + QStringLiteral("centre")).toDouble(&centreOk);
        const double sigma = file.value(key + QStringLiteral("sigma")).toDouble(&sigmaOk);
        if (centreOk && sigmaOk && sigma > 0)
            frozen_[int(mode)] =
                ControlLimits{centre, sigma, LimitsSource::Frozen, file.value(key + QStringLiteral("date")).toString(),
                              file.value(key + QStringLiteral("count")).toLongLong()};
    }
}

void ControlSettings::SetRules(RuleChoice rules)
{
    rules_ = rules;
    Save();
}

void ControlSettings::Freeze(Mode mode, const ControlLimits& limits)
{
    frozen_[int(mode)] = limits;
    frozen_[int(mode)]->source = LimitsSource::Frozen;
    Save();
}

void ControlSettings::Release(Mode mode)
{
    frozen_[int(mode)].reset();
    Save();
}

void ControlSettings::Save()
{
    QSettings file(path_, QSettings::IniFormat);
    file.setValue(QStringLiteral("control/rules"), rules_.Bits() ? rules_.Text() : QStringLiteral("none"));
    for (Mode mode : {Mode::Resistance, Mode::Percent}) {
        const QString group = QStringLiteral("control-%1").arg(Group(mode));
        file.remove(group);
        if (const auto& limits = frozen_[int(mode)]) {
            file.beginGroup(group);
            file.setValue(QStringLiteral("centre"), QString::number(limits->centre, 'g', 17));
            file.setValue(QStringLiteral("sigma"), QString::number(limits->sigma, 'g', 17));
            file.setValue(QStringLiteral("date"), limits->date);
            file.setValue(QStringLiteral("count"), limits->count);
            file.endGroup();
        }
    }
    file.sync();
    emit Changed();
}

}  // namespace stats
