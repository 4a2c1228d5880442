#include "capability_confidence.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace stats {

namespace {

double NormalUpperTail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

// P(a, x), the regularised lower incomplete gamma function: its series below a + 1,
// else the continued fraction of the upper part.
double LowerGamma(double a, double x)
{
    if (x <= 0) return 0;
    const double front = std::exp(a * std::log(x) - x - std::lgamma(a));
    if (x < a + 1) {
        double term = 1 / a, sum = term;
        for (int n = 1; n < 1000 && std::abs(term) > std::abs(sum) * 1e-16; ++n) sum += term *= x / (a + n);
        return sum * front;
    }
    double b = x + 1 - a, c = 1 / DBL_MIN, d = 1 / b, h = d;
    for (int i = 1; i < 1000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        d = std::abs(d) < DBL_MIN ? DBL_MIN : d;
        c = b + an / c;
        c = std::abs(c) < DBL_MIN ? DBL_MIN : c;
        d = 1 / d;
        const double delta = d * c;
        h *= delta;
        if (std::abs(delta - 1) < 1e-16) break;
    }
    return 1 - front * h;
}

// The x in [low, high] where an increasing `f` reaches p.
template <typename F>
double Bisect(F f, double p, double low, double high)
{
    for (int i = 0; i < 200 && high - low > 1e-14 * std::max(1.0, std::abs(high)); ++i) {
        const double mid = (low + high) / 2;
        (f(mid) < p ? low : high) = mid;
    }
    return (low + high) / 2;
}

// D'Agostino and Stephens' p-value of the corrected statistic.
double AndersonDarlingP(double a)
{
    if (a >= 0.6) return std::exp(1.2937 - 5.709 * a + 0.0186 * a * a);
    if (a >= 0.34) return std::exp(0.9177 - 4.279 * a - 1.38 * a * a);
    if (a >= 0.2) return 1 - std::exp(-8.318 + 42.796 * a - 59.938 * a * a);
    return 1 - std::exp(-13.436 + 101.14 * a - 223.73 * a * a);
}

}  // namespace

double NormalQuantile(double p)
{
    return Bisect([](double z) { return 1 - NormalUpperTail(z); }, p, -40, 40);
}

double ChiSquareQuantile(double p, double degrees)
{
    return Bisect([&](double x) { return LowerGamma(degrees / 2, x / 2); }, p, 0,
                  degrees + 100 * std::sqrt(degrees) + 100);
}

std::optional<Interval> CpInterval(double cp, qint64 readings, double confidence)
{
    if (readings < 2) return std::nullopt;
    const double degrees = double(readings - 1), tail = (1 - confidence) / 2;
    return Interval{cp * std::sqrt(ChiSquareQuantile(tail, degrees) / degrees),
                    cp * std::sqrt(ChiSquareQuantile(1 - tail, degrees) / degrees)};
}

std::optional<Interval> CpkInterval(double cpk, qint64 readings, double confidence)
{
    if (readings < 2) return std::nullopt;
    const double n = double(readings);
    const double half = NormalQuantile(1 - (1 - confidence) / 2) * std::sqrt(1 / (9 * n) + cpk * cpk / (2 * (n - 1)));
    return Interval{cpk - half, cpk + half};
}

// Equal values share their ranks' weights: a run of ranks a..b adds its ln F once with
// the weight Σ(2i − 1) and its ln(1 − F) with Σ(2n + 1 − 2i), so only distinct values
// are visited.
std::optional<Normality> AndersonDarling(std::vector<std::pair<double, qint64>> valueCounts)
{
    std::sort(valueCounts.begin(), valueCounts.end());
    long double n = 0, sum = 0;
    for (const auto& [value, count] : valueCounts) n += count, sum += (long double)value * count;
    if (n < 8) return std::nullopt;
    const long double mean = sum / n;
    long double squares = 0;
    for (const auto& [value, count] : valueCounts) squares += (value - mean) * (value - mean) * count;
    const double deviation = double(std::sqrt(squares / (n - 1)));
    if (!(deviation > 0)) return std::nullopt;
    long double total = 0, before = 0;
    for (const auto& [value, count] : valueCounts) {
        const double z = double((value - mean) / deviation);
        const double lower = std::log(std::max(NormalUpperTail(-z), DBL_MIN));
        const double upper = std::log(std::max(NormalUpperTail(z), DBL_MIN));
        const long double a = before + 1, b = before + count;
        const long double risingWeight = b * b - (a - 1) * (a - 1);
        const long double fallingWeight = count * (2 * n + 1) - (b * (b + 1) - (a - 1) * a);
        total += risingWeight * lower + fallingWeight * upper;
        before = b;
    }
    const double a2 = double(-n - total / n);
    const double size = double(n);
    const double star = a2 * (1 + 0.75 / size + 2.25 / (size * size));
    return Normality{a2, star, std::clamp(AndersonDarlingP(star), 0.0, 1.0)};
}

}  // namespace stats
