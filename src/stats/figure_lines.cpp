#include "figure_lines.h"

#include <cmath>

namespace stats {

QString ModeSymbol(Mode mode) { return mode == Mode::Percent ? QStringLiteral("%") : QStringLiteral("R"); }

std::optional<Mode> ModeOf(const QString& symbol)
{
    if (symbol == u"R") return Mode::Resistance;
    if (symbol == u"%") return Mode::Percent;
    return std::nullopt;
}

namespace {

// `significant` digits in fixed notation, trailing zeros of the fraction dropped.
QString Fixed(double value, int significant, bool dropZeros)
{
    if (value == 0) return QStringLiteral("0");
    const int magnitude = int(std::floor(std::log10(std::abs(value))));
    const int decimals = std::clamp(significant - 1 - magnitude, 0, 17);
    QString text = QString::number(value, 'f', decimals);
    if (dropZeros && text.contains(u'.')) {
        while (text.endsWith(u'0')) text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    return text;
}

}  // namespace

std::vector<double> RoundTicks(double low, double high, int most)
{
    std::vector<double> ticks;
    if (!(high > low) || most < 2 || !std::isfinite(high - low)) return ticks;
    const double decade = std::pow(10.0, std::floor(std::log10((high - low) / most)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0}) {
        const double step = decade * factor;
        const double first = std::ceil(low / step - 1e-9), last = std::floor(high / step + 1e-9);
        if (last - first + 1 > most) continue;
        for (double k = first; k <= last; ++k) ticks.push_back(k * step);
        return ticks;
    }
    return ticks;
}

QString PlainNumber(double value) { return Fixed(value, 10, true); }

UnitScale ScaleFor(double magnitude, Mode mode)
{
    if (mode == Mode::Percent) return {1, QStringLiteral("%")};
    const double size = std::abs(magnitude);
    if (size < 1) return {1e-3, QStringLiteral("mΩ")};
    if (size < 1e3) return {1, QStringLiteral("Ω")};
    if (size < 1e6) return {1e3, QStringLiteral("KΩ")};
    return {1e6, QStringLiteral("MΩ")};
}

QString ReadableValue(double value, Mode mode)
{
    const UnitScale scale = ScaleFor(value, mode);
    return Fixed(value / scale.factor, 6, false) + scale.unit;
}

QString Share(qint64 count, qint64 total)
{
    return total > 0 ? QString::number(100.0 * double(count) / double(total), 'f', 2) : kNone;
}

QString Index(const std::optional<double>& index) { return index ? QString::number(*index, 'f', 2) : kNone; }

QStringList FigureLines(const QString& scopeWords, const LotFigures& figures, const Limits& limits)
{
    const QChar tab = u'\t';
    const qint64 total = figures.Records();
    QStringList lines{QStringLiteral("范围") + tab + scopeWords,
                      QStringLiteral("记录数") + tab + QString::number(total)};
    const std::pair<const char16_t*, SortClass> sorts[] = {
        {u"HIGH", SortClass::High}, {u"PASS", SortClass::Pass}, {u"LOW", SortClass::Low}, {u"其他", SortClass::Other}};
    for (const auto& [label, sort] : sorts)
        lines << QString::fromUtf16(label) + tab + QString::number(figures.Count(sort)) + tab +
                     Share(figures.Count(sort), total) + (total > 0 ? QStringLiteral("%") : QString());
    lines << QStringLiteral("无数值") + tab + QString::number(figures.WithoutValue());
    const RunningMoments& moments = figures.Moments();
    auto number = [](const std::optional<double>& value) { return value ? PlainNumber(*value) : kNone; };
    const bool any = moments.Count() > 0;
    lines << QStringLiteral("最小值") + tab + number(figures.Min())
          << QStringLiteral("最大值") + tab + number(figures.Max())
          << QStringLiteral("平均值") + tab + number(any ? std::optional(moments.Mean()) : std::nullopt)
          << QStringLiteral("标准差") + tab +
                 number(moments.Count() > 1 ? std::optional(moments.SampleDeviation()) : std::nullopt)
          << QStringLiteral("下限") + tab + number(limits.lower) << QStringLiteral("上限") + tab + number(limits.upper);
    const Capability capability = figures.CapabilityAgainst(limits);
    lines << QStringLiteral("Cp") + tab + Index(capability.cp) << QStringLiteral("Cpk") + tab + Index(capability.cpk)
          << QStringLiteral("Pp") + tab + Index(capability.pp) << QStringLiteral("Ppk") + tab + Index(capability.ppk);
    return lines;
}

}  // namespace stats
