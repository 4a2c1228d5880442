// Live figures on a real record file: after a random series of appends, deletes and a
// clear, they equal the scope counted afresh (the bins too), for a date, for a search by
// sort result and for the whole table counted from the per-day sums.

#include "day_sums.h"
#include "live_figures.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace stats;

namespace {

// `daily`: a day's records together, a new day every 100 records, as a bench makes them.
records::NewRecord RandomRecord(QRandomGenerator& random, int number, bool daily = false, double centre = 100)
{
    static const QStringList kSorts{"PASS", "PASS", "PASS", "HIGH", "LOW", "NULL", ""};
    static const QStringList kStatus{"--ERROR--", "︺︺︺︺︺"};
    const bool percent = random.bounded(8) == 0;
    const double x = centre + (random.generateDouble() - 0.5) * 8;
    QString reading = percent ? QString::number(x - 100, 'f', 3) + u'%' : QString::number(x, 'f', 2) + "mΩ";
    if (random.bounded(20) == 0) reading = kStatus[int(random.bounded(2))];
    return {number,
            QStringLiteral("1001"),
            daily                    ? QDate(2026, 11, 1).addDays(number / 100).toString(QStringLiteral("yyyy-MM-dd"))
            : random.bounded(3) == 0 ? QStringLiteral("2026-12-09")
                                     : QStringLiteral("2026-12-10"),
            percent ? QStringLiteral("%") : QStringLiteral("R"),
            reading,
            kSorts[int(random.bounded(kSorts.size()))],
            QDateTime::currentDateTime()};
}

void CompareFigures(const LotFigures& a, const LotFigures& b)
{
    QCOMPARE(a.Records(), b.Records());
    for (SortClass sort : {SortClass::High, SortClass::Pass, SortClass::Low, SortClass::Other})
        QCOMPARE(a.Count(sort), b.Count(sort));
    QCOMPARE(a.WithoutValue(), b.WithoutValue());
    QCOMPARE(a.Moments().Count(), b.Moments().Count());
    QCOMPARE(a.Min(), b.Min());
    QCOMPARE(a.Max(), b.Max());
    QVERIFY(std::abs(a.Moments().Mean() - b.Moments().Mean()) < 1e-12);
    QVERIFY(std::abs(a.Moments().SampleDeviation() - b.Moments().SampleDeviation()) < 1e-12);
    QCOMPARE(a.Ranges().Ranges(), b.Ranges().Ranges());
    QVERIFY(std::abs(a.Ranges().Mean() - b.Ranges().Mean()) < 1e-12);
    QCOMPARE(a.Bins().Counts(), b.Bins().Counts());
    QCOMPARE(a.Bins().Under(), b.Bins().Under());
    QCOMPARE(a.Bins().Over(), b.Bins().Over());
    QCOMPARE(a.Trend().size(), b.Trend().size());
    for (size_t i = 0; i < a.Trend().size(); ++i) QCOMPARE(a.Trend()[i].value, b.Trend()[i].value);
}

// Against the scope read record by record; the whole table also straight from the sums.
void CompareWithRecount(const LiveFigures& live, const records::RecordStore& store)
{
    const LotFigures counted = Recount(store, live.CurrentScope(), live.Figures().Bins().Layout());
    CompareFigures(live.Figures(), counted);
    if (live.CurrentScope().filter) return;
    const std::optional<LotFigures> summed = RecountFromDaySums(store, live.CurrentScope(), live.CurrentLimits());
    QVERIFY(summed);
    CompareFigures(*summed, Recount(store, live.CurrentScope(), summed->Bins().Layout()));
}

}  // namespace

class TestLiveFigures : public QObject {
    Q_OBJECT
private slots:
    void liveEqualsRecount_data()
    {
        QTest::addColumn<bool>("bySort");
        QTest::addColumn<bool>("withLimits");
        QTest::addColumn<bool>("whole");
        QTest::newRow("date, bins from the limits") << false << true << false;
        QTest::newRow("search by sort, bins from the range") << true << false << false;
        QTest::newRow("whole table from the per-day sums") << false << false << true;
    }
    void liveEqualsRecount()
    {
        QFETCH(bool, bySort);
        QFETCH(bool, withLimits);
        QFETCH(bool, whole);
        QTemporaryDir dir;
        records::RecordStore store(dir.filePath(QStringLiteral("data.db")));
        QRandomGenerator random(bySort ? 7 : 11);
        for (int i = 1; i <= 300; ++i) store.Append(RandomRecord(random, i, whole));
        if (whole) records::EnsureDaySums(store);  // made from the records already there, then kept
        records::RecordFilter filter{QStringLiteral("2026-12-10"), {}, {}};
        if (bySort) filter.sortText = QStringLiteral("PASS");
        const Limits limits = withLimits ? Limits{0.097, 0.103} : Limits{};
        LiveFigures live(store, {whole ? std::nullopt : std::optional(filter), Mode::Resistance}, limits);
        CompareWithRecount(live, store);

        int number = 300;
        for (int round = 0; round < 6; ++round) {
            for (int i = 0; i < 150; ++i) {
                // Drifting readings leave the bins drawn from the range so far.
                store.Append(RandomRecord(random, ++number, whole, 100 + 2 * round + 0.02 * i));
                QCoreApplication::processEvents();  // a reading outside the bins has them drawn again
                // Bins drawn from a small lot's range hold every reading of it.
                if (!withLimits) QCOMPARE(live.Figures().Bins().Under() + live.Figures().Bins().Over(), 0);
            }
            CompareWithRecount(live, store);
            QList<records::Bookmark> doomed;
            for (records::Bookmark id : store.SelectIds())
                if (random.bounded(10) == 0) doomed << id;
            store.Delete(doomed);
            if (round == 3) store.DeleteAll();
            QCoreApplication::processEvents();  // the count after a delete is deferred
            CompareWithRecount(live, store);
            for (int i = 0; i < 40; ++i) store.Append(RandomRecord(random, ++number, whole));
            CompareWithRecount(live, store);
        }
        QVERIFY(live.Figures().Records() > 50);
    }
};

QTEST_GUILESS_MAIN(TestLiveFigures)
#include "test_live_figures.moc"
