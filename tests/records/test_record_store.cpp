// The record store on real SQLite files: opening what is ours (new, current, older
// layouts brought up to date with every record kept in order), refusing what is not
// without touching it, and the record table following committed changes.

#include "platform_error.h"
#include "reading_value.h"
#include "record_store.h"
#include "record_table.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using records::RecordStore;

namespace {

const QString kOldData = QStringLiteral(
    R"(CREATE TABLE data ("编号" INTEGER, "工号" TEXT, "日期" TEXT, "符号" TEXT, "测试数据" TEXT, "分选结果" TEXT))");

// Runs statements on the file through a connection of its own.
QList<QVariantList> Sql(const QString& path, const QStringList& statements, int columns = 0)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        for (const QString& statement : statements)
            if (!query.exec(statement)) qFatal("%s", qPrintable(statement));
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < columns; ++i) row << query.value(i);
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

records::NewRecord Reading(int number, const QString& sort = QStringLiteral("PASS"),
                           const QString& reading = QStringLiteral("︺︺︺︺︺"))
{
    return {number, QStringLiteral("007'"),      QStringLiteral("2026-12-09"), QStringLiteral("R"), reading,
            sort,   QDateTime::currentDateTime()};
}

}  // namespace

class TestRecordStore : public QObject {
    Q_OBJECT
private slots:
    // What is already in the file, and the records the store must then show in order
    // (empty text: none), or the start of the error it must refuse the file with.
    void opening_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QString>("error");
        QTest::newRow("no file") << QByteArray() << QStringList() << QStringList() << QString();
        QTest::newRow("not a database") << QByteArray("编号,工号\n1,2\n") << QStringList() << QStringList()
                                        << QStringLiteral("file is not a database");
        QTest::newRow("another program's database")
            << QByteArray() << QStringList{QStringLiteral("CREATE TABLE other (x)")} << QStringList()
            << QStringLiteral("the database holds no table data");
        QTest::newRow("data without the six fields")
            << QByteArray()
            << QStringList{QStringLiteral(R"(CREATE TABLE data ("编号" INTEGER, "工号" TEXT))"),
                           QStringLiteral("INSERT INTO data VALUES (1, 'a')")}
            << QStringList() << QStringLiteral("table data lacks the field 日期");
        QTest::newRow("a field the program does not fill")
            << QByteArray() << QStringList{kOldData, QStringLiteral("ALTER TABLE data ADD COLUMN x TEXT NOT NULL")}
            << QStringList() << QStringLiteral("records cannot be written to this file");
        QTest::newRow("six fields, no key")
            << QByteArray()
            << QStringList{kOldData,
                           QStringLiteral("INSERT INTO data VALUES (5,'a','2024-01-01','R','1Ω','PASS')"),
                           QStringLiteral("INSERT INTO data VALUES (2,'','2024-01-02','%','--ERROR--','')"),
                           QStringLiteral("DELETE FROM data WHERE \"编号\" = 5"),
                           QStringLiteral("INSERT INTO data VALUES (9,'b','2024-01-03','R','2Ω','LOW')"),
                           QStringLiteral("INSERT INTO data VALUES (10,'b','2024-01-03','R','nanΩ','LOW')"),
                           QStringLiteral("INSERT INTO data VALUES (11,'b','2024-01-03','R','1e308MΩ','LOW')")}
            << QStringList{"2", "9", "10", "11"} << QString();
        QTest::newRow("key, no time, no source")
            << QByteArray()
            << QStringList{QStringLiteral(
                               "CREATE TABLE data (id INTEGER PRIMARY KEY AUTOINCREMENT, \"编号\" INTEGER, "
                               "\"工号\" TEXT, \"日期\" TEXT, \"符号\" TEXT, \"测试数据\" TEXT, \"分选结果\" TEXT)"),
                           QStringLiteral("INSERT INTO data VALUES (40, 3,'a','2024-01-01','R','1Ω','PASS')")}
            << QStringList{"3"} << QString();
    }
    void opening()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QStringList, setup);
        QFETCH(QStringList, numbers);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        if (!raw.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(raw);
        }
        if (!setup.isEmpty()) Sql(path, setup);
        QByteArray before;
        if (QFile file(path); file.open(QIODevice::ReadOnly)) before = file.readAll();

        if (!error.isEmpty()) {
            try {
                RecordStore store(path);
                QFAIL("opened a file that is not ours");
            } catch (const PlatformError& e) {
                // The error names the file as the operator sees it, in the platform's separators.
                QVERIFY2(e.Text().startsWith(QDir::toNativeSeparators(path) + ": " + error), qPrintable(e.Text()));
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
            QVERIFY(!QFile::exists(path + "-wal"));
            return;
        }
        {
            RecordStore store(path);
            records::RecordTable table(store);
            QStringList shown;
            for (table.First(); !table.Eof(); table.Next()) shown << table.Value(0).toString();
            QCOMPARE(shown, numbers);
            store.Append(Reading(1));
            store.Append(Reading(2, QStringLiteral("PASS"), QStringLiteral("12.5mΩ")));
            store.Append(Reading(3, QStringLiteral("HIGH"), QStringLiteral(" 47.1KΩ")));
        }
        // Ours now: the key grows past every old record, the journal is WAL, one source row.
        QCOMPARE(Sql(path, {QStringLiteral("PRAGMA journal_mode")}, 1).value(0).value(0).toString(),
                 QStringLiteral("wal"));
        QCOMPARE(Sql(path, {"SELECT count(*) FROM sqlite_master WHERE name = 'data_date'"}, 1).value(0).value(0), 1);
        QCOMPARE(Sql(path, {QStringLiteral("SELECT count(*), length(min(uuid)) FROM source")}, 2).value(0),
                 (QVariantList{1, 36}));
        QStringList stored;
        for (const QVariantList& row : Sql(path, {"SELECT \"编号\", taken_at IS NULL FROM data ORDER BY id"}, 2))
            stored << row[0].toString();
        QCOMPARE(stored, numbers + QStringList({"1", "2", "3"}));
        // Every reading's number beside its text, old records and new alike.
        for (const QVariantList& row : Sql(path, {R"(SELECT "测试数据", value FROM data)"}, 2)) {
            const std::optional<double> value = records::ReadingValue(row[0].toString());
            QCOMPARE(row[1].isNull(), !value);
            if (value) QCOMPARE(row[1].toDouble(), *value);
        }
        const QString newValues =
            QStringLiteral(R"(SELECT value FROM data WHERE "编号" IN (2, 3) ORDER BY id DESC LIMIT 2)");
        QCOMPARE(Sql(path, {newValues}, 1), (QList<QVariantList>{{47100.0}, {0.0125}}));
        QCOMPARE(Sql(path, {QStringLiteral("PRAGMA integrity_check")}, 1).value(0).value(0).toString(),
                 QStringLiteral("ok"));
    }

    void aFolderThatCannotBeMade()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("qmr4070")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString path = dir.filePath(QStringLiteral("qmr4070/data.db"));
        QVERIFY_THROWS_EXCEPTION(PlatformError, RecordStore{path});
        QCOMPARE(blocker.size(), 0);
    }

    // The table's cursor, deletions of the current record and of many, and the
    // announcements a follower needs.
    void tableFollowsTheStore()
    {
        QTemporaryDir dir;
        RecordStore store(dir.filePath(QStringLiteral("data.db")));
        records::RecordTable table(store);
        QVERIFY(table.Eof() && table.Bof() && table.IsEmpty());
        QSignalSpy appended(&table, &records::Dataset::RecordAppended);
        QSignalSpy deleted(&table, &records::Dataset::RecordsDeleted);
        QSignalSpy all(&table, &records::Dataset::AllDeleted);
        QList<records::StoredRecord> announced;
        connect(&store, &RecordStore::AppendedRecord, this,
                [&](const records::StoredRecord& record) { announced << record; });
        QList<records::Bookmark> ids;
        for (int i = 1; i <= 5; ++i) ids << store.Append(Reading(i, i == 3 ? QString() : QStringLiteral("LOW")));
        QCOMPARE(appended.size(), 5);
        // Who takes the announced record must see what a reader of the file would.
        QCOMPARE(announced.size(), 5);
        for (const records::StoredRecord& record : announced) {
            const records::StoredRecord read = store.ReadFrom(record.id, 1).value(0);
            QCOMPARE(record.id, read.id);
            for (qsizetype f = 0; f < read.values.size(); ++f) {
                QCOMPARE(record.values.value(f), read.values[f]);
                QCOMPARE(record.values.value(f).typeId(), read.values[f].typeId());
            }
        }
        QCOMPARE(table.Bookmarks(), ids);
        QCOMPARE(table.BookmarkValue(ids[1], 1).toString(), QStringLiteral("007'"));
        QCOMPARE(store.SelectIds(records::RecordFilter{"2026-12-09", QString(), std::nullopt}), QList{ids[2]});
        QCOMPARE(store.SelectIds(records::RecordFilter{"2026-12-09", std::nullopt, "007'"}), ids);
        QCOMPARE(store.SelectIds(records::RecordFilter{"2026-12-09' OR '1'='1", std::nullopt, std::nullopt}),
                 QList<records::Bookmark>());

        table.Last();
        QCOMPARE(table.MoveBy(-10), -4);
        QVERIFY(table.Bof());
        table.GotoBookmark(ids[4]);
        table.Next();
        QVERIFY(table.Eof());
        QCOMPARE(table.GetBookmark(), ids[4]);
        table.Prior();
        QVERIFY(!table.Eof());
        QCOMPARE(table.Value(0).toInt(), 4);

        table.Delete();  // the one after becomes current
        QCOMPARE(table.Value(0).toInt(), 5);
        table.Delete();  // the last: the new last becomes current
        QCOMPARE(table.Value(0).toInt(), 3);
        table.DeleteRecords({ids[0], ids[2]});
        QCOMPARE(deleted.last().at(0).value<QList<records::Bookmark>>(), (QList{ids[0], ids[2]}));
        QCOMPARE(table.Bookmarks(), QList{ids[1]});
        QCOMPARE(table.Value(0).toInt(), 2);
        QVERIFY_THROWS_EXCEPTION(PlatformError, table.GotoBookmark(ids[0]));

        records::RecordTable second(store);  // a second reader sees the committed state
        QCOMPARE(second.Bookmarks(), QList{ids[1]});
        store.DeleteAll();
        QCOMPARE(all.size(), 1);
        QVERIFY(table.IsEmpty() && second.IsEmpty() && table.Eof());
        // Keys are never reused, so an old bookmark never names a new record.
        QVERIFY(store.Append(Reading(6)) > ids.last());
    }
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "test_record_store.moc"
