// The run rules against sequences of known outcome, in σ̂ from a centre line of 0:
// each rule firing at exactly the reading where it should, and not at all on a
// sequence built to miss it; the limits' own rules; the intervals and A² against
// values computed independently (Python's statistics.NormalDist, published tables).

#include "capability_confidence.h"
#include "control_chart.h"

#include <QTest>

using namespace stats;

Q_DECLARE_METATYPE(std::vector<double>)

namespace {
// "2@10:2-10" is rule 2 firing on the tenth reading over the records numbered 2 to 10.
QStringList Run(const std::vector<double>& values, RuleChoice rules, bool withLimits)
{
    RunRules run(rules);
    const std::optional<ControlLimits> limits =
        withLimits ? std::optional(ControlLimits{0, 1, LimitsSource::Frozen, {}, 0}) : std::nullopt;
    QStringList fired;
    for (size_t i = 0; i < values.size(); ++i)
        for (const Firing& f : run.Add({values[i], qint32(i + 1)}, limits))
            fired << QStringLiteral("%1@%2:%3-%4").arg(f.rule).arg(i + 1).arg(f.firstNumber).arg(f.lastNumber);
    return fired;
}

std::vector<double> Repeat(std::initializer_list<double> pattern, int times)
{
    std::vector<double> values;
    for (int i = 0; i < times; ++i) values.insert(values.end(), pattern);
    return values;
}
}  // namespace

class TestControlChart : public QObject {
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<bool>("withLimits");
        QTest::addColumn<QStringList>("expected");
        const QString defaults = QStringLiteral("1,2,3");
        auto row = [&](const char* name, const QString& rules, std::vector<double> values, QStringList expected,
                       bool withLimits = true) { QTest::newRow(name) << rules << values << withLimits << expected; };
        row("1 above", defaults, {0.5, -0.5, 3.1}, {"1@3:3-3"});
        row("1 below, each point", defaults, {-3.2, 0.2, -3.5, -3.6}, {"1@1:1-1", "1@3:3-3", "1@4:4-4"});
        row("1 exactly on the limit", defaults, {0.1, 3.0, -3.0}, {});
        row("1 without limits", defaults, {0.1, 30.0, -30.0}, {}, false);
        row("2 nine above", defaults, {-0.5, 0.5, 0.4, 0.5, 0.4, 0.5, 0.4, 0.5, 0.4, 0.5}, {"2@10:2-10"});
        row("2 once per run", defaults, Repeat({0.5, 0.4}, 7), {"2@9:1-9"});
        row("2 again after a break", defaults,
            {-1, -2, -1, -2, -1, -2, -1, -2, -1, 0.5, -1, -2, -1, -2, -1, -2, -1, -2, -1}, {"2@9:1-9", "2@19:11-19"});
        row("2 broken by a point on the line", defaults, {1, 2, 1, 2, 1, 2, 1, 2, 0, 1, 2, 1, 2, 1, 2, 1, 2}, {});
        row("3 rising", defaults, {0.2, -1, -0.5, 0, 0.5, 1, 1.5}, {"3@7:2-7"});
        row("3 falling", defaults, {1.5, 1, 0.5, 0, -0.5, -1}, {"3@6:1-6"});
        row("3 a tie breaks it", defaults, {-1, -0.5, 0, 0, 0.5, 1, 1.5, 2}, {});
        row("4 fourteen alternating", QStringLiteral("4"), Repeat({0.5, -0.5}, 7), {"4@14:1-14"});
        row("4 thirteen only", QStringLiteral("4"),
            {0.6, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, 0.6}, {});
        row("4 off by default", defaults, Repeat({0.5, -0.5}, 7), {});
        row("5 two of three beyond 2σ", QStringLiteral("5"), {0, 2.5, 0.5, 2.2}, {"5@4:2-4"});
        row("5 on opposite sides", QStringLiteral("5"), {0, 2.5, 0.5, -2.2, 0.3, 2.1, 0.2, -2.3}, {});
        row("6 four of five beyond 1σ", QStringLiteral("6"), {0, -1.5, -1.5, 0, -1.5, -1.5}, {"6@6:2-6"});
        row("6 three of five only", QStringLiteral("6"), {1.5, 1.5, 0, 0, 1.5, 1.5, 0, 0, 1.5}, {});
        row("7 fifteen within 1σ", QStringLiteral("7"), Repeat({0.5, -0.3, 0.2}, 5), {"7@15:1-15"});
        row("7 fourteen within 1σ", QStringLiteral("7"),
            {0.5, -0.3, 0.2, 0.5, -0.3, 0.2, 0.5, -0.3, 0.2, 0.5, -0.3, 0.2, 0.5, -0.3, 1.2}, {});
        row("8 eight beyond 1σ on both sides", QStringLiteral("8"), Repeat({1.5, -1.5}, 4), {"8@8:1-8"});
        row("8 all on one side", QStringLiteral("8"), Repeat({1.5, 1.6}, 4), {});
        row("all rules, one sequence", QStringLiteral("1,2,3,4,5,6,7,8"),
            {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 2.5, 2.6, 1.5, 3.5},
            {"3@6:1-6", "2@9:1-9", "5@8:7-8", "6@10:7-10", "1@10:10-10"});
    }
    void rules()
    {
        QFETCH(QString, rules);
        QFETCH(std::vector<double>, values);
        QFETCH(bool, withLimits);
        QFETCH(QStringList, expected);
        const std::optional<RuleChoice> choice = RuleChoice::Parse(rules);
        QVERIFY(choice);
        QStringList fired = Run(values, *choice, withLimits);
        fired.sort();
        expected.sort();
        QCOMPARE(fired, expected);
    }

    void choiceAndWords()
    {
        QCOMPARE(RuleChoice::Default().Text(), QStringLiteral("1,2,3"));
        QCOMPARE(RuleChoice::Parse(QStringLiteral("5, 1,3"))->Text(), QStringLiteral("1,3,5"));
        QVERIFY(!RuleChoice::Parse(QStringLiteral("1,9")));
        QVERIFY(!RuleChoice::Parse(QStringLiteral("1;2")));
        QCOMPARE(AlarmText({2, 1204, 1212}), QStringLiteral("过程报警：连续 9 点在中心线同侧（编号 1204–1212）"));
    }

    void limitsFromTheScope()
    {
        LotFigures figures;
        for (int i = 0; i < 24; ++i) figures.Add({SortClass::Pass, 100.0 + (i % 2 ? 0.3 : -0.3)});
        QVERIFY(!LimitsOf(figures, std::nullopt));
        figures.Add({SortClass::Pass, 100.1});
        const std::optional<ControlLimits> own = LimitsOf(figures, std::nullopt);
        QVERIFY(own);
        QCOMPARE(own->source, LimitsSource::Scope);
        QCOMPARE(own->count, 25);
        QVERIFY(qAbs(own->sigma - figures.Ranges().Mean() / 1.128) < 1e-12);
        QVERIFY(qAbs(own->RangeUpper() - 3.267 * figures.Ranges().Mean()) < 1e-12);
        const ControlLimits frozen{99, 0.5, LimitsSource::Frozen, QStringLiteral("2026-12-01"), 400};
        QCOMPARE(*LimitsOf(LotFigures(), frozen), frozen);
        QCOMPARE(LimitsSourceWords(frozen), QStringLiteral("固定 (2026-12-01, n=400)"));
    }

    void intervals_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("readings");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        // Cp · √(χ²/ν) with χ² from the published table (ν = 29: 16.047, 45.722; ν = 99:
        // 73.361, 128.422; ν = 9: 2.700, 19.023).
        QTest::newRow("Cp n=30") << "Cp" << 1.33 << qint64(30) << 1.33 * std::sqrt(16.047 / 29)
                                 << 1.33 * std::sqrt(45.722 / 29);
        QTest::newRow("Cp n=100") << "Cp" << 1.0 << qint64(100) << std::sqrt(73.361 / 99) << std::sqrt(128.422 / 99);
        QTest::newRow("Cp n=10") << "Cp" << 2.0 << qint64(10) << 2 * std::sqrt(2.700 / 9) << 2 * std::sqrt(19.023 / 9);
        // Bissell's, with the quantile from statistics.NormalDist().inv_cdf(0.975).
        QTest::newRow("Cpk n=30") << "Cpk" << 1.33 << qint64(30) << 0.9675286272156964 << 1.6924713727843037;
        QTest::newRow("Cpk n=100") << "Cpk" << 1.0 << qint64(100) << 0.8461507401585179 << 1.153849259841482;
    }
    void intervals()
    {
        QFETCH(QString, index);
        QFETCH(double, value);
        QFETCH(qint64, readings);
        QFETCH(double, low);
        QFETCH(double, high);
        const std::optional<Interval> got = index == u"Cp" ? CpInterval(value, readings) : CpkInterval(value, readings);
        QVERIFY(got);
        // The table's χ² carry five figures; Bissell's figures are exact.
        const double tolerance = index == u"Cp" ? 2e-4 : 1e-9;
        QVERIFY2(qAbs(got->low - low) < tolerance * value, qPrintable(QString::number(got->low, 'g', 12)));
        QVERIFY2(qAbs(got->high - high) < tolerance * value, qPrintable(QString::number(got->high, 'g', 12)));
        QVERIFY(!CpInterval(value, 1));
    }

    void andersonDarling_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<double>("a2");
        QTest::addColumn<double>("a2Star");
        QTest::addColumn<double>("p");
        // A² = −n − Σ(2i − 1)[ln F(xᵢ) + ln(1 − F(xₙ₊₁₋ᵢ))]/n over the sorted values with
        // NormalDist(mean, stdev).cdf, A*² = A²(1 + 0.75/n + 2.25/n²), p by D'Agostino and
        // Stephens' formulas.
        QTest::newRow("near normal, with ties")
            << std::vector<double>{100.12, 99.87, 100.03, 100.31, 99.65,  100.08, 99.94, 100.21, 99.78, 100.00,
                                   100.15, 99.91, 100.03, 99.82,  100.27, 100.05, 99.96, 100.12, 99.71, 100.09}
            << 0.1571914307995428 << 0.1639703112527731 << 0.9431481396049651;
        QTest::newRow("skewed") << std::vector<double>{1, 1, 1,   1,   1,   1, 1, 1, 1, 1,
                                                       1, 1, 1.1, 1.2, 1.5, 2, 3, 5, 8, 13}
                                << 4.141468007637037 << 4.320068815466385 << 1.0034155813011247e-10;
    }
    void andersonDarling()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(double, a2);
        QFETCH(double, a2Star);
        QFETCH(double, p);
        std::map<double, qint64> counts;
        for (double v : values) ++counts[v];
        const std::optional<Normality> got = AndersonDarling({counts.begin(), counts.end()});
        QVERIFY(got);
        QVERIFY2(qAbs(got->a2 - a2) < 1e-9, qPrintable(QString::number(got->a2, 'g', 12)));
        QVERIFY(qAbs(got->a2Star - a2Star) < 1e-9);
        QVERIFY2(qAbs(got->p - p) < 1e-9 * std::max(p, 1e-3), qPrintable(QString::number(got->p, 'g', 12)));
        QVERIFY(!AndersonDarling({{1.0, 7}}));
    }
};

QTEST_MAIN(TestControlChart)
#include "test_control_chart.moc"
