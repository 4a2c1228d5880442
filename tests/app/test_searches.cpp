// The three searches through the main window's buttons and the results window: what each
// finds, inputs taken as they stand, two searches in a row, closing and searching again,
// the window's grid, and a database error when the query opens.

#include "app_fixture.h"
#include "record_grid.h"
#include "record_query.h"
#include "search_results_window.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

struct Stored {
    QString operatorNumber, date, sort;
};

const QList<Stored> kRecords{
    {"1001", "2026-12-08", "PASS"}, {"1001 ", "2026-12-08", "HIGH"}, {"A'07", "2026-12-08", "LOW"},
    {"张三", "2026-12-08", "NULL"}, {"1001", "2026-12-08", ""},      {"a'07", "2026-12-08", "PASS"},
    {"1001", "2026-12-07", "PASS"}, {"张三", "2026-12-08", "PASS"},  {"", "2026-12-08", "pass"},
};

void Fill(AppFixture& app)
{
    for (int i = 0; i < kRecords.size(); ++i)
        app.windows->Store().Append(
            {i + 1, kRecords[i].operatorNumber, kRecords[i].date, "R", "1.00mΩ", kRecords[i].sort, {}});
}

// 编号 of every record in the results grid, in its order.
QList<int> Shown(TForm4& results)
{
    grid::RecordModel& model = results.RecordGrid1->Model();
    model.Flush();
    QList<int> numbers;
    for (int row = 0; row < model.rowCount(); ++row) numbers << model.index(row, 0).data().toInt();
    return numbers;
}

QList<int> Expected(const std::function<bool(const Stored&)>& wanted)
{
    QList<int> numbers;
    for (int i = 0; i < kRecords.size(); ++i)
        if (wanted(kRecords[i])) numbers << i + 1;
    return numbers;
}

}  // namespace

class SearchesTest : public QObject {
    Q_OBJECT
private slots:
    void searches_data()
    {
        QTest::addColumn<int>("button");  // 8 date, 5 date and sort, 9 date and operator
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("input");
        QTest::newRow("date") << 8 << "2026-12-08"
                              << "";
        QTest::newRow("date without records") << 8 << "2026-12-10"
                                              << "";
        for (const char* sort : {"PASS", "HIGH", "LOW", "NULL", "按分选"})
            QTest::addRow("sort %s", sort) << 5 << "2026-12-08" << sort;
        for (const char* number : {"1001", "1001 ", "A'07", "张三", "工号", "' or ''='"})
            QTest::addRow("operator [%s]", number) << 9 << "2026-12-08" << QString::fromUtf8(number);
    }
    void searches()
    {
        QFETCH(int, button);
        QFETCH(QString, date);
        QFETCH(QString, input);
        AppFixture app;
        Fill(app);
        TForm1& w = app.main();
        TForm4& results = app.windows->SearchResults();
        QVERIFY(!results.isVisible());
        w.DateTimePicker1->setDate(QDate::fromString(date, Qt::ISODate));
        if (button == 5) w.ComboBox1->setEditText(input);
        if (button == 9) w.Edit2->setText(input);
        (button == 8 ? w.Button8 : button == 5 ? w.Button5 : w.Button9)->click();
        QVERIFY(results.isVisible());
        QCOMPARE(Shown(results), Expected([&](const Stored& r) {
                     return r.date == date && (button != 5 || r.sort == input) &&
                            (button != 9 || r.operatorNumber == input);
                 }));
        // The title row stands even over an empty result.
        QCOMPARE(results.RecordGrid1->Model().columnCount(), 6);
        QCOMPARE(results.RecordGrid1->Model().headerData(2, Qt::Horizontal).toString(), QStringLiteral("日期"));
        QVERIFY(app.boxes.errors.isEmpty());
    }

    // No item of the list finds a record with an empty sorting result.
    void emptySortFoundByNoItem()
    {
        AppFixture app;
        Fill(app);
        TForm1& w = app.main();
        w.DateTimePicker1->setDate(QDate(2026, 12, 8));
        QList<int> found;
        for (int item = 0; item < w.ComboBox1->count(); ++item) {
            w.ComboBox1->setCurrentIndex(item);
            w.Button5->click();
            found << Shown(app.windows->SearchResults());
        }
        std::sort(found.begin(), found.end());
        QCOMPARE(found, Expected([](const Stored& r) {
                     return r.date == u"2026-12-08" && QStringList({"PASS", "HIGH", "LOW", "NULL"}).contains(r.sort);
                 }));
    }

    void secondSearchReplacesAndClosingHides()
    {
        AppFixture app;
        Fill(app);
        TForm1& w = app.main();
        TForm4& results = app.windows->SearchResults();
        // Hidden from the start, the query holds every record.
        QCOMPARE(Shown(results).size(), kRecords.size());
        w.DateTimePicker1->setDate(QDate(2026, 12, 8));
        w.Edit2->setText(QStringLiteral("张三"));
        w.Button9->click();
        w.Button8->click();
        QCOMPARE(Shown(results), Expected([](const Stored& r) { return r.date == u"2026-12-08"; }));
        results.RecordGrid1->horizontalHeader()->moveSection(0, 3);
        results.Button4->click();
        QVERIFY(!results.isVisible());
        QVERIFY(results.Query1->Active());
        w.DateTimePicker1->setDate(QDate(2026, 12, 7));
        w.Button8->click();
        QVERIFY(results.isVisible());
        QCOMPARE(Shown(results), Expected([](const Stored& r) { return r.date == u"2026-12-07"; }));
        // A column dragged for the last result is back in field order, on screen too.
        QStringList order;
        for (grid::TGridColumn* column : results.RecordGrid1->VisibleColumnList()) order << column->FieldName;
        QCOMPARE(order, (QStringList{"编号", "工号", "日期", "符号", "测试数据", "分选结果"}));
        QCOMPARE(results.RecordGrid1->horizontalHeader()->logicalIndexAt(0), 0);
        // The close box hides it the same way.
        results.close();
        QVERIFY(!results.isVisible());
        w.Button8->click();
        QVERIFY(results.isVisible());
    }

    // The error's own text; the window stays with an empty grid, the query closed and
    // following nothing until a search opens it again.
    void errorWhenTheQueryOpens()
    {
        AppFixture app;
        Fill(app);
        TForm1& w = app.main();
        TForm4& results = app.windows->SearchResults();
        auto rename = [&](const char* from, const char* to) {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(app.database.path);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(from, to)));
            other.close();
            other = {};
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        };
        rename("data", "gone");
        w.DateTimePicker1->setDate(QDate(2026, 12, 8));
        w.Button8->click();
        QCOMPARE(app.boxes.errors.size(), 1);
        QVERIFY2(app.boxes.errors[0].contains(QStringLiteral("no such table")), qPrintable(app.boxes.errors[0]));
        QVERIFY(results.isVisible());
        QVERIFY(!results.Query1->Active());
        QCOMPARE(Shown(results), QList<int>());
        rename("gone", "data");
        app.windows->Store().Append({10, "1001", "2026-12-08", "R", "1.00mΩ", "PASS", {}});
        QCOMPARE(Shown(results), QList<int>());
        w.Button8->click();
        QCOMPARE(Shown(results).size(), Expected([](const Stored& r) { return r.date == u"2026-12-08"; }).size() + 1);
        QCOMPARE(app.boxes.errors.size(), 1);
    }
};

QTEST_MAIN(SearchesTest)
#include "test_searches.moc"
