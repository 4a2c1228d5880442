// The main window's records: a record for every measurement report handled on external
// trigger (and none otherwise), numbering per run, "删除" and "清空", and readings kept
// while the file takes no writes.

#include "app_fixture.h"
#include "platform_error.h"
#include "radio_group.h"
#include "record_grid.h"
#include "record_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using testing_support::Bytes;

namespace {

QByteArray Measurement(int sort, int status = 0x00)
{
    return Bytes({0xAB, 0x01, 0x02, 0x2E, 0x03, 0x04, 0x05, 0xA0, sort, status, 0xAF});
}

// Every record of the main window's table, fields joined with '|'.
QStringList Records(TForm1& w)
{
    QStringList rows;
    records::Dataset& table = *w.Table1;
    for (table.First(); !table.Eof(); table.Next()) {
        QStringList fields;
        for (int i = 0; i < table.Fields().size(); ++i) fields << table.Value(i).toString();
        rows << fields.join(u'|');
    }
    return rows;
}

void Record(AppFixture& app, int count)
{
    app.main().RadioGroup7->SetItemIndex(0);
    for (int i = 0; i < count; ++i) app.Receive(Measurement(0xB1));
    app.main().RecordGrid1->Model().Flush();  // rows are on screen before anyone selects them
}

}  // namespace

class MainWindowRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void recording_data()
    {
        QTest::addColumn<int>("trigger");  // item of RadioGroup7, -1 none
        QTest::addColumn<QString>("operatorNumber");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QStringList>("expected");  // without the date
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QTest::newRow("external") << 0 << "A'07 号"
                                  << "R"
                                  << QList{Measurement(0xB1), Measurement(0xB0), Measurement(0xB4), Measurement(0xB2)}
                                  << QStringList{"1|A'07 号|R|12.345mΩ|PASS", "2|A'07 号|R|12.345mΩ|HIGH",
                                                 "3|A'07 号|R|12.345mΩ|NULL", "4|A'07 号|R|12.345mΩ|LOW"};
        QTest::newRow("status texts, unknown sort, empty operator")
            << 0 << ""
            << "%" << QList{Measurement(0xB1, 0xC1), Measurement(0xB3), Measurement(0xB2, 0xC2)}
            << QStringList{"1||%|--ERROR--|PASS", "2||%|12.345mΩ|", "3||%|︺︺︺︺︺|LOW"};
        QTest::newRow("internal") << 1 << "7"
                                  << "R" << QList{Measurement(0xB1)} << QStringList{};
        QTest::newRow("no trigger item") << -1 << "7"
                                         << "R" << QList{Measurement(0xB1)} << QStringList{};
    }
    void recording()
    {
        QFETCH(int, trigger);
        QFETCH(QString, operatorNumber);
        QFETCH(QString, symbol);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QStringList, expected);
        AppFixture app;
        TForm1& w = app.main();
        if (trigger >= 0) w.RadioGroup7->SetItemIndex(trigger);
        w.Edit3->setText(operatorNumber);
        w.Label2->setText(symbol);
        for (const QByteArray& frame : frames) app.Receive(frame);
        QStringList stored = Records(w);
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        for (QString& row : stored) {
            QCOMPARE(row.section(u'|', 2, 2), today);
            row = row.section(u'|', 0, 1) + u'|' + row.section(u'|', 3);
        }
        QCOMPARE(stored, expected);
        w.RecordGrid1->Model().Flush();
        QCOMPARE(w.RecordGrid1->Model().rowCount(), int(expected.size()));
        QCOMPARE(app.windows->Recorder().Counter(), int(expected.size()));
        QVERIFY(app.boxes.errors.isEmpty());
    }

    // A file that is not a record database ends start-up with its name, untouched.
    void startUpRefusesAFileNotOurs()
    {
        testing_support::TempDatabase database;
        QFile file(database.path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a database\n");
        file.close();
        testing_support::RecordingMessageBoxes boxes;
        try {
            WindowSet windows(boxes);
            QFAIL("started on a file that is not ours");
        } catch (const PlatformError& error) {
            QVERIFY2(error.Text().contains(database.path), qPrintable(error.Text()));
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("not a database\n"));
    }

    // The counter starts again with every run; the old records stay.
    void secondRunNumbersFromOne()
    {
        AppFixture app;
        Record(app, 2);
        app.windows.reset();
        app.windows = std::make_unique<WindowSet>(app.boxes);
        Record(app, 1);
        QStringList numbers;
        for (const QString& row : Records(app.main())) numbers << row.section(u'|', 0, 0);
        QCOMPARE(numbers, (QStringList{"1", "2", "1"}));
        QCOMPARE(app.main().RecordGrid1->Model().rowCount(), 3);
    }

    void deleteAndClear_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QList<int>>("selected");  // rows
        QTest::addColumn<QStringList>("left");     // 编号 after "删除"
        QTest::newRow("empty") << 0 << QList<int>() << QStringList();
        QTest::newRow("one, none selected") << 1 << QList<int>() << QStringList{"1"};
        QTest::newRow("one") << 1 << QList{0} << QStringList();
        QTest::newRow("three of five") << 5 << QList{0, 2, 4} << QStringList{"2", "4"};
    }
    void deleteAndClear()
    {
        QFETCH(int, records);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, left);
        AppFixture app;
        TForm1& w = app.main();
        Record(app, records);
        for (int row : selected) w.RecordGrid1->SelectedRowList().Add(w.RecordGrid1->Model().BookmarkAt(row));
        w.Button3->click();
        QStringList numbers;
        for (const QString& row : Records(w)) numbers << row.section(u'|', 0, 0);
        QCOMPARE(numbers, left);
        QCOMPARE(w.RecordGrid1->SelectedRowList().Count(), 0);
        QCOMPARE(w.RecordGrid1->Model().rowCount(), int(left.size()));
        w.Button3->click();  // a second press without a new selection does nothing
        QCOMPARE(Records(w).size(), left.size());

        w.Button7->click();
        QVERIFY(Records(w).isEmpty());
        QCOMPARE(w.RecordGrid1->Model().rowCount(), 0);
        app.Receive(Measurement(0xB1));  // the numbering goes on
        QCOMPARE(Records(w).value(0).section(u'|', 0, 0), QString::number(records + 1));
        QVERIFY(app.boxes.errors.isEmpty());
    }

    // The file deleted or replaced under the running program: noticed, the operator told
    // once, every record written back (beside the newcomer, which stays untouched) and
    // recording goes on there.
    void fileDeletedOrReplacedIsWrittenBack_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("folder");
        QTest::newRow("deleted") << false << false;
        QTest::newRow("replaced") << true << false;
        QTest::newRow("folder removed") << false << true;
    }
    void fileDeletedOrReplacedIsWrittenBack()
    {
        QFETCH(bool, replaced);
        QFETCH(bool, folder);
        AppFixture app;
        Record(app, 2);
        const QString path = app.windows->Store().Path();
        for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + suffix);
        if (folder) QVERIFY(QDir(QFileInfo(path).absolutePath()).removeRecursively());
        if (replaced) {
            QFile newcomer(path);
            QVERIFY(newcomer.open(QIODevice::WriteOnly));
            newcomer.write("another file");
        }
        app.Receive(Measurement(0xB2));
        app.windows->Watch().Check();
        app.Receive(Measurement(0xB0));
        QTRY_COMPARE(app.boxes.informed.size(), 1);
        const QString now = app.windows->Store().Path();
        QCOMPARE(now == path, !replaced);
        QVERIFY2(app.boxes.informed[0].contains(QDir::toNativeSeparators(now)), qPrintable(app.boxes.informed[0]));
        QCOMPARE(app.boxes.informed[0].startsWith(QStringLiteral("数据文件夹")), folder);
        if (replaced) {
            QFile newcomer(path);
            QVERIFY(newcomer.open(QIODevice::ReadOnly));
            QCOMPARE(newcomer.readAll(), QByteArray("another file"));
        }
        app.windows.reset();
        QStringList sorts;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(now);
            QVERIFY(db.open());
            QSqlQuery rows(QStringLiteral("SELECT \"分选结果\" FROM data ORDER BY id"), db);
            while (rows.next()) sorts << rows.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        QCOMPARE(sorts, (QStringList{"PASS", "PASS", "LOW", "HIGH"}));
        QVERIFY(app.boxes.errors.isEmpty());
    }

    // The file takes no writes for a while: another program holds its write lock, or
    // the disk is full. Readings go on being shown and wait in order, counted on screen,
    // with one box; when the file takes writes again every one is committed with its
    // number and the date it was taken, and the window never waited on the file.
    void readingsWaitWhileTheFileTakesNone_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("write lock held elsewhere") << false;
        QTest::newRow("disk full") << true;
    }
    void readingsWaitWhileTheFileTakesNone()
    {
        QFETCH(bool, diskFull);
        AppFixture app;
        QTemporaryDir small;
        std::unique_ptr<QFile> ballast;
        const auto unmount = qScopeGuard([&] {
            app.windows.reset();
            if (diskFull) QProcess::execute(QStringLiteral("umount"), {small.path()});
        });
        if (diskFull) {
            const QByteArray options = "size=512k";
            if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", options, "tmpfs", small.path()}) != 0)
                QSKIP("a small file system needs mount (root)");
            qputenv("QMR4070_DB", small.filePath(QStringLiteral("data.db")).toLocal8Bit());
            app.windows.reset();
            app.windows = std::make_unique<WindowSet>(app.boxes);
        }
        TForm1& w = app.main();
        Record(app, 1);
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"))
            .setDatabaseName(app.windows->Store().Path());
        {
            QSqlDatabase other = QSqlDatabase::database(QStringLiteral("other"));
            QSqlQuery lock(other);
            if (diskFull) {
                ballast = std::make_unique<QFile>(small.filePath(QStringLiteral("ballast")));
                QVERIFY(ballast->open(QIODevice::WriteOnly));
                const QByteArray block(4096, 'x');
                while (ballast->write(block) == block.size() && ballast->flush()) {}
            } else {
                QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            }
            for (int sort : {0xB0, 0xB2, 0xB1, 0xB0}) app.Receive(Measurement(sort));
            QTRY_COMPARE_WITH_TIMEOUT(app.boxes.errors.size(), 1, 5000);
            const QLabel* waiting = w.findChild<QLabel*>(QStringLiteral("waitingLabel"));
            QCOMPARE(waiting->text(), QStringLiteral("待保存读数 4 条"));
            QVERIFY(waiting->isVisibleTo(&w));
            QCOMPARE(Records(w).size(), 1);
            app.Receive(Measurement(0xB2), 600);
            QCOMPARE(app.boxes.errors.size(), 1);  // one box for the whole spell
            QCOMPARE(app.windows->Recorder().Waiting(), 5);
            QCOMPARE(waiting->text(), QStringLiteral("待保存读数 5 条"));  // the count follows after the box
            if (diskFull) {
                ballast->close();
                QVERIFY(QFile::remove(ballast->fileName()));
            } else
                QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        QTRY_COMPARE_WITH_TIMEOUT(app.windows->Recorder().Waiting(), 0, 5000);
        QVERIFY(!w.findChild<QLabel*>(QStringLiteral("waitingLabel"))->isVisibleTo(&w));
        app.Receive(Measurement(0xB1));
        QStringList numbers, sorts;
        for (const QString& row : Records(w)) {
            numbers << row.section(u'|', 0, 0);
            sorts << row.section(u'|', 5, 5);
            QCOMPARE(row.section(u'|', 2, 2), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        }
        QCOMPARE(numbers, (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(sorts, (QStringList{"PASS", "HIGH", "LOW", "PASS", "HIGH", "LOW", "PASS"}));
        QCOMPARE(app.boxes.errors.size(), 1);
    }
};

QTEST_MAIN(MainWindowRecordsTest)
#include "test_main_window_records.moc"
