// The search result against the statement it stands for: after every append, deletion,
// clear and move of the table, the open result equals a fresh run of the statement's own
// text on the same file, for every kind of search and texts with quotes, trailing blanks
// and Chinese characters. A statement the query does not take leaves it closed.

#include "platform_error.h"
#include "record_filter.h"
#include "record_query.h"
#include "record_table.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using records::RecordFilter;

Q_DECLARE_METATYPE(std::optional<RecordFilter>)

namespace {

const QStringList kDates{"2026-12-08", "2026-12-09"};
const QStringList kOperators{"1001", "1001 ", "A'07", "张三", "", "x' or '1'='1", "a'07"};
const QStringList kSorts{"PASS", "HIGH", "LOW", "NULL", "", "PASS "};

// Ids and the six values of every record the statement's text selects, run by SQLite on
// a connection of its own, in the table's order.
QList<QVariantList> FreshRun(const QString& path, const records::Statement& statement)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fresh"));
        db.setDatabaseName(path);
        if (!db.open()) qFatal("%s", qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        if (!query.prepare(statement.text)) qFatal("%s", qPrintable(query.lastError().text()));
        for (auto it = statement.values.cbegin(); it != statement.values.cend(); ++it)
            query.bindValue(it.key(), it.value());
        if (!query.exec()) qFatal("%s", qPrintable(query.lastError().text()));
        while (query.next()) {
            QVariantList row{query.value(QStringLiteral("id"))};
            for (const records::FieldDef& field : records::RecordFields()) row << query.value(field.name);
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fresh"));
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a[0].toLongLong() < b[0].toLongLong(); });
    return rows;
}

// The same, walked through the query dataset.
QList<QVariantList> Walk(records::RecordQuery& query)
{
    QList<QVariantList> rows;
    for (query.First(); !query.Eof() && !query.IsEmpty(); query.Next()) {
        QVariantList row{query.GetBookmark()};
        for (int i = 0; i < query.Fields().size(); ++i) row << query.Value(i);
        rows << row;
    }
    return rows;
}

QString Pick(QRandomGenerator& random, const QStringList& list) { return list[int(random.bounded(list.size()))]; }

}  // namespace

class RecordQueryTest : public QObject {
    Q_OBJECT
private slots:
    void followsLikeAFreshRun_data()
    {
        QTest::addColumn<std::optional<RecordFilter>>("filter");
        QTest::newRow("every record") << std::optional<RecordFilter>();
        QTest::newRow("date") << std::optional(RecordFilter{"2026-12-09", {}, {}});
        QTest::newRow("date and PASS") << std::optional(RecordFilter{"2026-12-09", "PASS", {}});
        QTest::newRow("date and empty sort") << std::optional(RecordFilter{"2026-12-09", "", {}});
        QTest::newRow("date and 按分选") << std::optional(RecordFilter{"2026-12-09", "按分选", {}});
        QTest::newRow("operator with a trailing blank") << std::optional(RecordFilter{"2026-12-08", {}, "1001 "});
        QTest::newRow("operator with a quote") << std::optional(RecordFilter{"2026-12-09", {}, "A'07"});
        QTest::newRow("operator as SQL text") << std::optional(RecordFilter{"2026-12-09", {}, "x' or '1'='1"});
        QTest::newRow("Chinese operator") << std::optional(RecordFilter{"2026-12-09", {}, "张三"});
        QTest::newRow("operator 工号") << std::optional(RecordFilter{"2026-12-09", {}, "工号"});
    }
    void followsLikeAFreshRun()
    {
        QFETCH(std::optional<RecordFilter>, filter);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        records::RecordStore store(path);
        records::RecordTable table(store);
        records::RecordQuery query(store);
        query.SetDataSource(&table);
        const records::Statement statement = records::SearchStatement(filter);
        query.SQL() << statement.text;
        query.Params() = statement.values;
        QRandomGenerator random(qHash(QByteArray(QTest::currentDataTag())));
        qsizetype largest = 0;
        for (int step = 0; step < 400; ++step) {
            const quint32 roll = random.bounded(100u);
            if (step == 40 || step == 260) query.Open();
            if (step == 200) query.Close();
            if (roll < 60) {
                store.Append(
                    {step, Pick(random, kOperators), Pick(random, kDates), "R", "1.00mΩ", Pick(random, kSorts), {}});
            } else if (roll < 88 && !table.IsEmpty()) {
                QList<records::Bookmark> ids = table.Bookmarks(), gone;
                for (int n = int(random.bounded(1u, 6u)); n > 0; --n) gone << ids[int(random.bounded(ids.size()))];
                std::sort(gone.begin(), gone.end());
                gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
                store.Delete(gone);
            } else if (roll < 98) {
                const records::Bookmark current = query.GetBookmark();
                table.MoveBy(int(random.bounded(7u)) - 3);
                QCOMPARE(query.GetBookmark(), current);
            } else {
                store.DeleteAll();
            }
            if (!query.Active()) continue;
            const QList<QVariantList> expected = FreshRun(path, statement);
            QCOMPARE(Walk(query), expected);
            largest = std::max(largest, expected.size());
        }
        // Each search that can find records found some along the way.
        const bool findsNone = filter && (filter->sortText == u"按分选" || filter->operatorNumber == u"工号");
        QCOMPARE(largest > 0, !findsNone);
    }

    void aStatementNotTakenLeavesItClosed()
    {
        QTemporaryDir dir;
        records::RecordStore store(dir.filePath(QStringLiteral("data.db")));
        records::RecordTable table(store);
        records::RecordQuery query(store);
        query.SetDataSource(&table);
        query.SQL() << QStringLiteral("select * from data where 日期 ='2026-12-09'");
        QVERIFY_THROWS_EXCEPTION(PlatformError, query.Open());
        QVERIFY(!query.Active());
        query.SQL() = QStringList{QStringLiteral("select * from data"), QStringLiteral("where 日期 = :D")};
        QVERIFY_THROWS_EXCEPTION(PlatformError, query.Open());  // D has no value
        store.Append({1, "7", "2026-12-09", "R", "1.00mΩ", "PASS", {}});
        QCOMPARE(query.RecordCount(), 0);
        QVERIFY(query.Fields().isEmpty());
        QVERIFY_THROWS_EXCEPTION(PlatformError, query.First());
        // Bound, the two lines are the date search; the result is read-only.
        query.Params().insert(QStringLiteral(":D"), QStringLiteral("2026-12-09"));
        query.Open();
        QCOMPARE(query.RecordCount(), 1);
        QVERIFY_THROWS_EXCEPTION(PlatformError, query.Delete());
        QCOMPARE(table.RecordCount(), 1);
    }
};

QTEST_GUILESS_MAIN(RecordQueryTest)
#include "test_record_query.moc"
