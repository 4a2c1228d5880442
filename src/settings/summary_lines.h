#pragma once
// The nominal and limits lines of the main window, built from what the setting windows
// hold as it stands: values untrimmed, each followed straight by its unit text,
// the lower limit first.

#include <QString>
#include <optional>

class QLabel;
class TForm2;
class TForm3;
class TForm5;

namespace settings {

// A value followed by its unit text (none when no unit is chosen).
QString ValueWithUnit(const QString& text, int unitIndex);
// Mode "R": lower, "-", upper, each with its unit.
QString DirectLimitsText(const QString& upperText, int upperUnit, const QString& lowerText, int lowerUnit);
// Mode "%": lower "%", "-", upper "%".
QString PercentLimitsText(const QString& upperText, const QString& lowerText);

// The limits of a display mode as numbers, as the summary lines read them: in ohms in
// mode "R"; in percent in mode "%", where the lower limit is the distance below the
// nominal value and so counts negative. A field that holds no number is no limit.
struct LimitValues {
    std::optional<double> lower;
    std::optional<double> upper;
};
LimitValues DirectLimitValues(const TForm2& directLimits);
LimitValues PercentLimitValues(const TForm3& percentLimits);

// Run by the display switch: writes the nominal line (label1) and the limits line
// (label3) for display item 0 ("R") or 1 ("%"); any other item changes nothing.
void RebuildSummaryLines(int displayItem, const TForm2& directLimits, const TForm3& percentLimits,
                         const TForm5& nominal, QLabel* label1, QLabel* label3);

}  // namespace settings
