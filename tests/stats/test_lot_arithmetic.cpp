// The running figures against a plain two-pass computation on random data, including
// the cases where naive sums fail: constant data, one value, and 20 kΩ readings that
// differ by parts per million; then the histogram with values taken out again.

#include "figure_lines.h"
#include "lot_figures.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace stats;

namespace {

struct TwoPass {
    double mean = 0, deviation = 0, movingRange = 0;
};

TwoPass Direct(const std::vector<double>& values)
{
    TwoPass result;
    if (values.empty()) return result;
    long double sum = 0;
    for (double x : values) sum += x;
    const long double mean = sum / values.size();
    long double squares = 0, ranges = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        squares += (values[i] - mean) * (values[i] - mean);
        if (i > 0) ranges += std::abs(values[i] - values[i - 1]);
    }
    result.mean = double(mean);
    result.deviation = values.size() > 1 ? double(std::sqrt(squares / (values.size() - 1))) : 0;
    result.movingRange = values.size() > 1 ? double(ranges / (values.size() - 1)) : 0;
    return result;
}

// Equal to a relative 1e-9 of the spread, or exactly where the spread is 0.
bool Near(double a, double b, double scale) { return std::abs(a - b) <= 1e-9 * scale; }
// A mean also carries the rounding of its magnitude (1e-12 of it).
bool NearMean(double a, double b, double centre, double scale)
{
    return std::abs(a - b) <= 1e-12 * std::abs(centre) + 1e-9 * scale;
}

}  // namespace

class TestLotArithmetic : public QObject {
    Q_OBJECT
private slots:
    void againstTwoPass_data()
    {
        QTest::addColumn<double>("centre");
        QTest::addColumn<double>("spread");
        QTest::addColumn<int>("count");
        QTest::newRow("constant") << 0.1 << 0.0 << 1000;
        QTest::newRow("one value") << 47.5 << 1.0 << 1;
        QTest::newRow("20 kΩ ±10 ppm") << 20000.0 << 0.2 << 100000;
        QTest::newRow("milliohms") << 0.1 << 0.004 << 5000;
        QTest::newRow("percent around 0") << 0.0 << 2.0 << 3000;
    }
    void againstTwoPass()
    {
        QFETCH(double, centre);
        QFETCH(double, spread);
        QFETCH(int, count);
        QRandomGenerator random(count);
        std::vector<double> values;
        for (int i = 0; i < count; ++i) values.push_back(centre + spread * (random.generateDouble() - 0.5));

        const Limits limits{centre - spread, centre + spread};
        LotFigures figures(LayoutFor(limits, std::nullopt, std::nullopt));
        for (double x : values) figures.Add({SortClass::Pass, x});
        const TwoPass direct = Direct(values);
        const double scale = std::max(spread, 1e-300);
        QVERIFY(NearMean(figures.Moments().Mean(), direct.mean, centre, scale));
        QVERIFY2(Near(figures.Moments().SampleDeviation(), direct.deviation, scale),
                 qPrintable(QStringLiteral("%1 vs %2").arg(figures.Moments().SampleDeviation()).arg(direct.deviation)));
        QVERIFY(Near(figures.Ranges().Mean(), direct.movingRange, scale));
        QCOMPARE(figures.Trend().size(), size_t(std::min(count, LotFigures::kTrendLength)));
        QCOMPARE(figures.Trend().back().value, values.back());

        // Indices: "—" without a spread, else the textbook formulas.
        const Capability capability = figures.CapabilityAgainst(limits);
        QCOMPARE(capability.cp.has_value(), direct.movingRange > 0);
        QCOMPARE(capability.pp.has_value(), direct.deviation > 0);
        // Cp, Cpk from the moving range's σ̂; Pp, Ppk from the overall deviation.
        const double nearer = std::min(limits.upper.value() - direct.mean, direct.mean - limits.lower.value());
        const double within = direct.movingRange / 1.128;
        auto equals = [](const std::optional<double>& index, double expected) {
            return index && std::abs(*index - expected) <= 1e-6 * std::abs(expected);
        };
        if (capability.cp) {
            QVERIFY(equals(capability.cp, 2 * spread / (6 * within)));
            QVERIFY(equals(capability.cpk, nearer / (3 * within)));
        }
        if (capability.pp) {
            QVERIFY(equals(capability.pp, 2 * spread / (6 * direct.deviation)));
            QVERIFY(equals(capability.ppk, nearer / (3 * direct.deviation)));
        }
        QVERIFY(!figures.CapabilityAgainst({limits.lower, std::nullopt}).cp);

        // Every bin holds what a direct count puts there; taking values out undoes them.
        Histogram bins(figures.Bins().Layout());
        for (double x : values) bins.Add(x);
        std::vector<double> kept;
        for (double x : values) {
            if (random.bounded(3) == 0)
                bins.Remove(x);
            else
                kept.push_back(x);
        }
        Histogram recount(figures.Bins().Layout());
        for (double x : kept) recount.Add(x);
        QCOMPARE(bins.Counts(), recount.Counts());
        QCOMPARE(bins.Under() + bins.Over(), recount.Under() + recount.Over());
    }

    void linesCarryPlainNumbers()
    {
        LotFigures figures;
        figures.Add({SortClass::High, 20000.123456});
        figures.Add({SortClass::Other, std::nullopt});
        const QStringList lines = FigureLines(QStringLiteral("全部 R"), figures, {19000.0, std::nullopt});
        QCOMPARE(lines.size(), 17);
        QCOMPARE(lines[2], QStringLiteral("HIGH\t1\t50.00%"));
        QCOMPARE(lines[7], QStringLiteral("最小值\t20000.12346"));
        QCOMPARE(lines[10], QStringLiteral("标准差\t—"));
        QCOMPARE(lines[11], QStringLiteral("下限\t19000"));
        QCOMPARE(lines[13], QStringLiteral("Cp\t—"));
        QCOMPARE(PlainNumber(0.0000123456789), QStringLiteral("0.0000123456789"));
        QCOMPARE(ReadableValue(0.1001234, Mode::Resistance), QStringLiteral("100.123mΩ"));
    }
};

QTEST_GUILESS_MAIN(TestLotArithmetic)
#include "test_lot_arithmetic.moc"
