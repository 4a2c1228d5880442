#include "day_figures.h"

#include <QJsonValue>
#include <algorithm>
#include <cmath>

namespace line {

namespace {

constexpr double kD2 = 1.128;  // d2 for ranges of two

QJsonValue Json(const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); }

std::optional<double> Spread(const Limits& limits, std::optional<double> sigma)
{
    if (!limits.lower || !limits.upper || !sigma || !(*sigma > 0)) return std::nullopt;
    return (*limits.upper - *limits.lower) / (6 * *sigma);
}

std::optional<double> Nearer(const Limits& limits, double mean, std::optional<double> sigma)
{
    if (!limits.lower || !limits.upper || !sigma || !(*sigma > 0)) return std::nullopt;
    return std::min(*limits.upper - mean, mean - *limits.lower) / (3 * *sigma);
}

}  // namespace

void ModeFigures::Add(const HourGroup& group)
{
    if (group.vn == 0) return;
    const double mean2 = group.vsum / double(group.vn);
    const qint64 total = n + group.vn;
    const double delta = mean2 - mean;
    m2 += group.vm2 + delta * delta * double(n) * double(group.vn) / double(total);
    mean += delta * double(group.vn) / double(total);
    n = total;
    min = min ? std::min(*min, *group.vmin) : group.vmin;
    max = max ? std::max(*max, *group.vmax) : group.vmax;
    mrSum += group.mrSum;
    mrN += group.mrN;
    if (last && group.firstValue) {
        mrSum += std::abs(*group.firstValue - *last);
        ++mrN;
    }
    last = group.lastValue;
}

std::optional<double> ModeFigures::Deviation() const
{
    return n > 1 ? std::optional(std::sqrt(std::max(0.0, m2) / double(n - 1))) : std::nullopt;
}

std::optional<double> ModeFigures::WithinSigma() const
{
    return mrN > 0 ? std::optional(mrSum / double(mrN) / kD2) : std::nullopt;
}

void DayFigures::Add(const HourGroup& group)
{
    n += group.n;
    high += group.high;
    pass += group.pass;
    low += group.low;
    if (group.mode.isEmpty())
        withoutValue += group.n;
    else
        modes[group.mode].Add(group);
    newestMs = std::max(newestMs, group.lastAtMs);
}

QString DayFigures::MainMode() const
{
    QString best = QStringLiteral("R");
    qint64 most = 0;
    for (const auto& [mode, figures] : modes)
        if (figures.n > most) most = figures.n, best = mode;
    return best;
}

QJsonObject FiguresJson(const DayFigures& day, const QString& mode, const Limits& limits)
{
    const auto found = day.modes.find(mode);
    const ModeFigures figures = found != day.modes.end() ? found->second : ModeFigures{};
    const bool any = figures.n > 0;
    return {{QStringLiteral("records"), day.n},
            {QStringLiteral("high"), day.high},
            {QStringLiteral("pass"), day.pass},
            {QStringLiteral("low"), day.low},
            {QStringLiteral("other"), day.n - day.high - day.pass - day.low},
            {QStringLiteral("withoutValue"), day.withoutValue},
            {QStringLiteral("yield"), day.n > 0 ? QJsonValue(double(day.pass) / double(day.n)) : QJsonValue()},
            {QStringLiteral("mode"), mode},
            {QStringLiteral("readings"), figures.n},
            {QStringLiteral("min"), Json(figures.min)},
            {QStringLiteral("max"), Json(figures.max)},
            {QStringLiteral("mean"), any ? QJsonValue(figures.mean) : QJsonValue()},
            {QStringLiteral("deviation"), Json(figures.Deviation())},
            {QStringLiteral("withinSigma"), Json(figures.WithinSigma())},
            {QStringLiteral("lower"), Json(limits.lower)},
            {QStringLiteral("upper"), Json(limits.upper)},
            {QStringLiteral("nominal"), Json(limits.nominal)},
            {QStringLiteral("cp"), Json(Spread(limits, figures.WithinSigma()))},
            {QStringLiteral("cpk"), Json(Nearer(limits, figures.mean, figures.WithinSigma()))},
            {QStringLiteral("pp"), Json(Spread(limits, figures.Deviation()))},
            {QStringLiteral("ppk"), Json(Nearer(limits, figures.mean, figures.Deviation()))},
            {QStringLiteral("few"), figures.n < kFewReadings}};
}

}  // namespace line
