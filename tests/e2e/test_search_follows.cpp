// A search result open while the meter triggers: new readings join it as they are
// recorded, and "删除" and "清空" on the main window take records out of it at once,
// with the results window shown or hidden.

#include "bench_steps.h"
#include "main_window.h"
#include "record_grid.h"
#include "record_query.h"
#include "record_table.h"
#include "recording_boxes.h"
#include "search_results_window.h"
#include "temp_database.h"
#include "window_set.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class SearchFollowsTest : public QObject {
    Q_OBJECT
private slots:
    void resultFollowsTheBench()
    {
        testing_support::TempDatabase database;
        SimProcess sim({QStringLiteral("--state"), QStringLiteral("trigger=ext")});
        testing_support::EnvironmentGuard port("QMR4070_PORT", sim.PtyPath().toLocal8Bit());
        testing_support::RecordingMessageBoxes boxes;
        WindowSet windows(boxes);
        TForm1& w = windows.Main();
        TForm4& results = windows.SearchResults();
        records::RecordQuery& query = *results.Query1;
        LogInAsAdministrator(windows);

        // Each reading recorded is in the result by the time the table has it.
        auto trigger = [&](const QString& operatorNumber) {
            w.Edit3->setText(operatorNumber);
            TriggerRecorded(sim, w);
        };
        w.Button8->click();  // today
        QVERIFY(results.isVisible());
        QCOMPARE(query.RecordCount(), 0);
        for (const char* number : {"1001", "2002", "1001"}) {
            trigger(QString::fromLatin1(number));
            QCOMPARE(query.Bookmarks(), w.Table1->Bookmarks());
        }
        QTRY_COMPARE(results.RecordGrid1->Model().rowCount(), 3);

        w.Edit2->setText(QStringLiteral("1001"));
        w.Button9->click();
        QCOMPARE(query.RecordCount(), 2);
        trigger(QStringLiteral("2002"));
        QCOMPARE(query.RecordCount(), 2);
        trigger(QStringLiteral("1001"));
        QCOMPARE(query.RecordCount(), 3);
        QCOMPARE(query.Bookmarks().last(), w.Table1->Bookmarks().last());

        // By the sorting result each reading got: the result is the table's records with it.
        w.ComboBox1->setEditText(QStringLiteral("PASS"));
        w.Button5->click();
        QList<records::Bookmark> passed;
        const int sortField = w.Table1->FindField(QStringLiteral("分选结果"));
        for (records::Bookmark id : w.Table1->Bookmarks())
            if (w.Table1->BookmarkValue(id, sortField).toString() == u"PASS") passed << id;
        QCOMPARE(query.Bookmarks(), passed);

        // "删除" on the main window, the results shown.
        w.Button8->click();
        const QList<records::Bookmark> all = w.Table1->Bookmarks();
        w.RecordGrid1->SelectedRowList().Add(all[0]);
        w.RecordGrid1->SelectedRowList().Add(all[3]);
        w.Button3->click();
        QCOMPARE(query.Bookmarks(), (QList{all[1], all[2], all[4]}));
        QTRY_COMPARE(results.RecordGrid1->Model().rowCount(), 3);

        // Hidden, it follows all the same.
        results.Button4->click();
        QVERIFY(!results.isVisible());
        trigger(QStringLiteral("3003"));
        QCOMPARE(query.RecordCount(), 4);
        w.RecordGrid1->SelectedRowList().Add(all[1]);
        w.Button3->click();
        QCOMPARE(query.RecordCount(), 3);
        w.Button7->click();
        QCOMPARE(query.RecordCount(), 0);
        QCOMPARE(results.RecordGrid1->Model().rowCount(), 0);
        QVERIFY(query.Active());
        QVERIFY(boxes.errors.isEmpty());
    }
};

QTEST_MAIN(SearchFollowsTest)
#include "test_search_follows.moc"
