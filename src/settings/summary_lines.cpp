#include "summary_lines.h"

#include "direct_limits_window.h"
#include "frame_codec.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "value_entry.h"

#include <QLabel>

namespace settings {

namespace {
std::optional<double> Ohms(const ResistanceEntry& entry)
{
    const std::optional<double> number = ReadNumber(entry.text.trimmed());
    const std::optional<double> perUnit = OhmsPerUnit(entry.unitIndex);
    if (!number || !perUnit) return std::nullopt;
    return *number * *perUnit;
}
}  // namespace

LimitValues DirectLimitValues(const TForm2& directLimits)
{
    return {Ohms(directLimits.Lower()), Ohms(directLimits.Upper())};
}

LimitValues PercentLimitValues(const TForm3& percentLimits)
{
    const std::optional<double> lower = ReadNumber(percentLimits.LowerText().trimmed());
    return {lower ? std::optional(-*lower) : std::nullopt, ReadNumber(percentLimits.UpperText().trimmed())};
}

QString ValueWithUnit(const QString& text, int unitIndex) { return text + UnitTextOf(unitIndex); }

QString DirectLimitsText(const QString& upperText, int upperUnit, const QString& lowerText, int lowerUnit)
{
    return ValueWithUnit(lowerText, lowerUnit) + u'-' + ValueWithUnit(upperText, upperUnit);
}

QString PercentLimitsText(const QString& upperText, const QString& lowerText)
{
    return lowerText + QStringLiteral("%-") + upperText + u'%';
}

void RebuildSummaryLines(int displayItem, const TForm2& directLimits, const TForm3& percentLimits,
                         const TForm5& nominal, QLabel* label1, QLabel* label3)
{
    const ResistanceEntry nominalValue = nominal.Nominal();
    const QString nominalText = ValueWithUnit(nominalValue.text, nominalValue.unitIndex);
    if (displayItem == wire::kDisplayItemR) {
        const ResistanceEntry upper = directLimits.Upper();
        const ResistanceEntry lower = directLimits.Lower();
        label1->setText(nominalText);
        label3->setText(DirectLimitsText(upper.text, upper.unitIndex, lower.text, lower.unitIndex));
    } else if (displayItem == wire::kDisplayItemPercent) {
        label3->setText(PercentLimitsText(percentLimits.UpperText(), percentLimits.LowerText()));
        label1->setText(nominalText);
    }
}

}  // namespace settings
