// The main window's records: a record for every measurement report handled on external
// trigger (and none otherwise), numbering per run, "删除" and "清空", and an append that
// fails while another program holds the file.

#include "app_fixture.h"
#include "radio_group.h"
#include "record_grid.h"
#include "record_table.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
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

    // Another program holds the file longer than the wait: one box with the error's text
    // while readings go on being shown; the next reading after the lock is recorded.
    void appendErrorShowsOneBoxThenRecovers()
    {
        AppFixture app;
        TForm1& w = app.main();
        w.RadioGroup7->SetItemIndex(0);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(app.database.path);
            QVERIFY(other.open());
            QSqlQuery lock(other);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            app.boxes.whileNextBoxOpen = [&] {
                app.Receive(Measurement(0xB2, 0xC1));
                QTRY_COMPARE_WITH_TIMEOUT(w.Label5->text(), QStringLiteral("--ERROR--"), 10000);
            };
            app.Receive(Measurement(0xB1));
            QTRY_COMPARE_WITH_TIMEOUT(app.boxes.errors.size(), 1, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(!app.boxes.whileNextBoxOpen, 10000);
            testing_support::PtyPair::Pump(200);
            QCOMPARE(app.boxes.errors.size(), 1);
            QVERIFY2(app.boxes.errors[0].contains(QStringLiteral("locked")), qPrintable(app.boxes.errors[0]));
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        app.Receive(Measurement(0xB0));
        QCOMPARE(Records(w).size(), 1);
        QCOMPARE(Records(w)[0].section(u'|', 0, 0), QStringLiteral("3"));  // 1 and 2 skipped
        QCOMPARE(app.boxes.errors.size(), 1);
    }
};

QTEST_MAIN(MainWindowRecordsTest)
#include "test_main_window_records.moc"
