#pragma once
// A day's figures of one bench from its hourly groups, as the statistics window counts a
// date: counts by sort result, and per display mode the moments, the moving range over
// consecutive readings (across hours too) and the capability indices.

#include <QJsonObject>
#include <QString>
#include <map>
#include <optional>

namespace line {

struct HourGroup {
    qint64 hourMs = 0;  // the hour's start, ms since the epoch
    QString mode;       // "R", "%" or "" (readings without a number)
    qint64 n = 0, high = 0, pass = 0, low = 0;
    qint64 vn = 0;
    double vsum = 0, vm2 = 0;
    std::optional<double> vmin, vmax, firstValue, lastValue;
    double mrSum = 0;
    qint64 mrN = 0;
    qint64 lastAtMs = 0;
};

struct Limits {
    std::optional<double> lower, upper, nominal;
};

struct ModeFigures {
    qint64 n = 0;
    double mean = 0, m2 = 0;
    std::optional<double> min, max, last;
    double mrSum = 0;
    qint64 mrN = 0;
    // Groups of one mode in hour order.
    void Add(const HourGroup& group);
    std::optional<double> Deviation() const;
    std::optional<double> WithinSigma() const;
};

struct DayFigures {
    qint64 n = 0, high = 0, pass = 0, low = 0;
    qint64 withoutValue = 0;
    std::map<QString, ModeFigures> modes;
    qint64 newestMs = 0;
    void Add(const HourGroup& group);
    // The mode most of the day's numbered readings were taken in ("R" when none).
    QString MainMode() const;
};

// The statistics window's fewest readings for a trusted Cp/Cpk.
inline constexpr qint64 kFewReadings = 30;

// count, shares, and for `mode` the figures against the limits ("cpk" etc. null where
// they cannot be had).
QJsonObject FiguresJson(const DayFigures& day, const QString& mode, const Limits& limits);

}  // namespace line
