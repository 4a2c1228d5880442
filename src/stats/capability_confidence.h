#pragma once
// How far to trust the capability indices: their 95 % intervals (chi-square for Cp,
// Bissell's approximation for Cpk) and the Anderson–Darling test of a normal spread,
// which the indices assume.

#include <QtGlobal>
#include <optional>
#include <utility>
#include <vector>

namespace stats {

struct Interval {
    double low = 0;
    double high = 0;
};

double NormalQuantile(double p);
double ChiSquareQuantile(double p, double degrees);

// None below two readings.
std::optional<Interval> CpInterval(double cp, qint64 readings, double confidence = 0.95);
std::optional<Interval> CpkInterval(double cpk, qint64 readings, double confidence = 0.95);

struct Normality {
    double a2 = 0;      // A²
    double a2Star = 0;  // with Stephens' correction for the sample's size
    double p = 0;
};
// The readings as distinct values with their counts (any order), tested against the
// normal spread of their own mean and sample deviation. None below eight readings or
// without a spread.
std::optional<Normality> AndersonDarling(std::vector<std::pair<double, qint64>> valueCounts);

}  // namespace stats
