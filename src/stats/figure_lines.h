#pragma once
// How the figures are written: plain numbers for a spreadsheet, readable values with
// units for the window, and the lines that "复制" and the command line give.

#include "lot_figures.h"

#include <QStringList>

namespace stats {

// Resistance readings (ohms) and percentage readings are never mixed.
enum class Mode { Resistance, Percent };
QString ModeSymbol(Mode mode);
std::optional<Mode> ModeOf(const QString& symbol);

// A decimal number with ten significant digits and no exponent or unit ("0.0123456789").
QString PlainNumber(double value);
// The unit a value of this size reads best in: values are divided by `factor`.
struct UnitScale {
    double factor = 1;
    QString unit;
};
UnitScale ScaleFor(double magnitude, Mode mode);
// With a readable unit and six significant digits: "100.123mΩ", "20.0001KΩ", "-1.23400%".
QString ReadableValue(double value, Mode mode);
QString Share(qint64 count, qint64 total);
QString Index(const std::optional<double>& index);

inline const QString kNone = QStringLiteral("—");

// Axis ticks on round values (1, 2 or 5 times a power of ten) inside [low, high]: the
// finest such step that gives at most `most` of them.
std::vector<double> RoundTicks(double low, double high, int most = 6);

// One line per figure, label first, fields separated by a TAB.
QStringList FigureLines(const QString& scopeWords, const LotFigures& figures, const Limits& limits);

}  // namespace stats
