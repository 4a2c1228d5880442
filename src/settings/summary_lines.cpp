#include "summary_lines.h"

#include "direct_limits_window.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "value_entry.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace settings {

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
    const QString nominalText = ValueWithUnit(nominal.Edit1->text(), nominal.ComboBox1->currentIndex());
    if (displayItem == kDisplayItemR) {
        label1->setText(nominalText);
        label3->setText(DirectLimitsText(directLimits.Edit1->text(), directLimits.ComboBox1->currentIndex(),
                                         directLimits.Edit2->text(), directLimits.ComboBox2->currentIndex()));
    } else if (displayItem == kDisplayItemPercent) {
        label3->setText(PercentLimitsText(percentLimits.Edit1->text(), percentLimits.Edit2->text()));
        label1->setText(nominalText);
    }
}

}  // namespace settings
