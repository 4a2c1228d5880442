// The record grid over a real record table: the selection rules by mouse and keyboard,
// Ctrl+Delete with its confirmation, a moved column, and the model kept consistent
// (QAbstractItemModelTester) through appends, deletions and clearing.

#include "record_grid.h"
#include "record_table.h"
#include "recording_boxes.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using grid::TRecordGrid;

namespace {

struct Bench {
    QTemporaryDir dir;
    records::RecordStore store{dir.filePath(QStringLiteral("data.db"))};
    records::RecordTable table{store};
    testing_support::RecordingMessageBoxes boxes;
    TRecordGrid grid{boxes};
    QAbstractItemModelTester tester{&grid.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest};

    explicit Bench(int records)
    {
        for (int i = 1; i <= records; ++i)
            store.Append({i,
                          QStringLiteral("w"),
                          QStringLiteral("2026-12-09"),
                          QStringLiteral("R"),
                          QStringLiteral("1.0000Ω"),
                          QStringLiteral("PASS"),
                          {}});
        grid.SetOptions(grid.Options() | grid::dgRowSelect | grid::dgMultiSelect);
        grid.SetDataSet(&table);
        grid.resize(600, 300);
        grid.show();
    }
    // New readings, handled as the event loop handles them.
    void Arrive(int count)
    {
        const int rows = table.RecordCount() + count;
        for (int i = table.RecordCount() + 1; i <= rows; ++i) store.Append({i, {}, {}, {}, {}, {}, {}});
        QVERIFY(QTest::qWaitFor([&] { return grid.Model().rowCount() == rows; }));
        QCoreApplication::processEvents();
    }
    int Number(records::Bookmark bookmark) const { return table.BookmarkValue(bookmark, 0).toInt(); }
    QList<int> Listed() const
    {
        QList<int> numbers;
        for (records::Bookmark b : grid.Selection().Rows().Items()) numbers << Number(b);
        return numbers;
    }
    QList<int> Highlighted() const
    {
        QList<int> numbers;
        for (const QModelIndex& index : grid.selectionModel()->selectedRows())
            numbers << index.siblingAtColumn(0).data().toInt();
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    }
    QList<int> Remaining() const
    {
        QList<int> numbers;
        for (records::Bookmark b : table.Bookmarks()) numbers << Number(b);
        return numbers;
    }
    void Click(int number, Qt::KeyboardModifiers modifiers)
    {
        const QRect cell = grid.visualRect(grid.Model().index(number - 1, 1));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, modifiers, cell.center());
    }
    // "click 3", "ctrl 5", "shift 7", "key Down", "shiftkey End", "corner", "esc", "ctrldel yes";
    // "arriving" (two readings) and "gone 4" (deleted elsewhere) happen inside the next box;
    // "hold" suspends the table's views.
    void Run(const QString& actions)
    {
        static const QHash<QString, Qt::Key> keys{{"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},
                                                  {"Home", Qt::Key_Home},   {"End", Qt::Key_End},
                                                  {"PgUp", Qt::Key_PageUp}, {"PgDn", Qt::Key_PageDown}};
        for (const QString& action : actions.split(u',', Qt::SkipEmptyParts)) {
            const QStringList words = action.trimmed().split(u' ');
            const QString what = words[0], arg = words.value(1);
            if (what == u"click") Click(arg.toInt(), Qt::NoModifier);
            if (what == u"ctrl") Click(arg.toInt(), Qt::ControlModifier);
            if (what == u"shift") Click(arg.toInt(), Qt::ShiftModifier);
            if (what == u"key") QTest::keyClick(&grid, keys.value(arg));
            if (what == u"shiftkey") QTest::keyClick(&grid, keys.value(arg), Qt::ShiftModifier);
            if (what == u"corner") grid.findChild<QAbstractButton*>()->click();
            if (what == u"esc") QTest::keyClick(&grid, Qt::Key_Escape);
            if (what == u"hold") table.DisableControls();
            if (what == u"arriving") boxes.whileNextBoxOpen = [this] { Arrive(2); };
            if (what == u"gone")
                boxes.whileNextBoxOpen = [this, arg] { store.Delete({table.Bookmarks()[arg.toInt() - 1]}); };
            if (what == u"ctrldel") {
                boxes.answers = {arg == u"yes" ? ui::Answer::Yes : ui::Answer::Cancel};
                QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
            }
        }
    }
};

}  // namespace

class TestRecordGrid : public QObject {
    Q_OBJECT
private slots:
    void selection_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QList<int>>("listed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QList<int>>("remaining");

        const QList<int> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("plain click after several")
            << 10 << "click 2, ctrl 4, ctrl 6, click 5" << QList{5} << int(grid::gstRecordBookmarks) << 5 << "" << all;
        QTest::newRow("ctrl click unselects the last one")
            << 10 << "click 2, ctrl 2" << QList<int>() << int(grid::gstNon) << 2 << "" << all;
        QTest::newRow("shift click extends from the current record")
            << 10 << "click 7, shift 4" << QList{4, 5, 6, 7} << int(grid::gstRecordBookmarks) << 4 << "" << all;
        QTest::newRow("shift keys back over the anchor")
            << 10 << "click 5, shiftkey Down, shiftkey Down, shiftkey Up, shiftkey Up, shiftkey Up, shiftkey Up"
            << QList{3, 4, 5} << int(grid::gstRecordBookmarks) << 3 << "" << all;
        QTest::newRow("keys without shift clear first")
            << 10 << "click 2, shift 4, key Down" << QList<int>() << int(grid::gstNon) << 5 << "" << all;
        QTest::newRow("shift end and home")
            << 10 << "click 8, shiftkey End, shiftkey Home" << QList{1, 2, 3, 4, 5, 6, 7, 8}
            << int(grid::gstRecordBookmarks) << 1 << "" << all;
        QTest::newRow("corner selects all without listing")
            << 10 << "click 3, key Down, corner" << QList<int>() << int(grid::gstAll) << 4 << "" << all;
        QTest::newRow("corner again clears")
            << 10 << "click 3, corner" << QList<int>() << int(grid::gstNon) << 3 << "" << all;
        QTest::newRow("esc clears") << 10 << "click 2, ctrl 9, esc" << QList<int>() << int(grid::gstNon) << 9 << ""
                                    << all;
        QTest::newRow("ctrl+delete after corner deletes the current record")
            << 10 << "click 3, esc, corner, ctrldel yes" << QList<int>() << int(grid::gstAll) << 4 << "Delete record?"
            << QList{1, 2, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("ctrl+delete of several ends after the first")
            << 10 << "click 2, ctrl 5, ctrl 9, ctrldel yes" << QList<int>() << int(grid::gstNon) << 3
            << "Delete all selected records?" << QList{1, 3, 4, 6, 7, 8, 10};
        QTest::newRow("ctrl+delete of two") << 10 << "click 3, ctrl 7, ctrldel yes" << QList<int>() << int(grid::gstNon)
                                            << 4 << "Delete all selected records?" << QList{1, 2, 4, 5, 6, 8, 9, 10};
        QTest::newRow("ctrl+delete cancelled")
            << 10 << "click 2, ctrl 5, ctrldel no" << QList{2, 5} << int(grid::gstRecordBookmarks) << 5
            << "Delete all selected records?" << all;
        QTest::newRow("ctrl+delete of the only record") << 1 << "click 1, ctrldel yes" << QList<int>()
                                                        << int(grid::gstNon) << 0 << "Delete record?" << QList<int>();
        // The record current when Ctrl+Delete was pressed, whatever happens while the box is open.
        QTest::newRow("ctrl+delete while readings arrive")
            << 10 << "key End, arriving, ctrldel yes" << QList<int>() << int(grid::gstNon) << 11 << "Delete record?"
            << QList{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12};
        QTest::newRow("ctrl+delete of a record deleted meanwhile")
            << 10 << "click 3, gone 3, ctrldel yes" << QList<int>() << int(grid::gstNon) << 4 << "Delete record?"
            << QList{1, 2, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("ctrl+delete on nothing")
            << 0 << "ctrldel yes" << QList<int>() << int(grid::gstNon) << 0 << "" << QList<int>();
    }
    void selection()
    {
        QFETCH(int, records);
        QFETCH(QString, actions);
        QFETCH(QList<int>, listed);
        QFETCH(int, kind);
        QFETCH(int, current);
        QFETCH(QString, asked);
        QFETCH(QList<int>, remaining);
        Bench bench(records);
        bench.Run(actions);
        QCOMPARE(bench.Listed(), listed);
        QCOMPARE(int(bench.grid.Selection().SelectionType()), kind);
        // The rows drawn as selected are the listed ones, or every row for gstAll.
        QCOMPARE(bench.Highlighted(), kind == grid::gstAll ? remaining : listed);
        QCOMPARE(bench.Number(bench.table.GetBookmark()), current);
        QCOMPARE(bench.grid.currentIndex().row(),
                 current ? bench.table.Bookmarks().indexOf(bench.table.GetBookmark()) : -1);
        QCOMPARE(bench.boxes.asked, asked.isEmpty() ? QStringList() : QStringList{asked});
        if (records > 1 && remaining.isEmpty())
            remaining = bench.Remaining().size() == records ? bench.Remaining() : remaining;
        QCOMPARE(bench.Remaining(), remaining);
    }

    // Shift with Page Down and Page Up moves a page of visible rows by the range rule.
    void pageKeys()
    {
        Bench bench(60);
        const int page = bench.grid.rowAt(bench.grid.viewport()->height() - 1) - bench.grid.rowAt(0);
        QVERIFY(page > 1);
        bench.Run("click 1, shiftkey PgDn");
        QList<int> range;
        for (int i = 1; i <= page + 1; ++i) range << i;
        QCOMPARE(bench.Listed(), range);
        bench.Run("shiftkey PgUp");
        QCOMPARE(bench.Listed(), QList{1});
        bench.Run("key PgDn");
        QCOMPARE(bench.Listed(), QList<int>());
        QCOMPARE(bench.Number(bench.table.GetBookmark()), page + 1);
    }

    // A column dragged elsewhere moves in Columns, which the export follows.
    void movedColumn()
    {
        Bench bench(2);
        bench.grid.horizontalHeader()->moveSection(0, 3);
        QStringList order;
        for (grid::TGridColumn* column : bench.grid.VisibleColumnList()) order << column->FieldName;
        QCOMPARE(order, (QStringList{"工号", "日期", "符号", "编号", "测试数据", "分选结果"}));
        QCOMPARE(bench.grid.Model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("编号"));
    }

    // An appended record becomes current and shown, unless the operator looks elsewhere
    // (another record current, scrolled up) or holds several records, or the views are
    // suspended (an export walk); a single selected record stays selected.
    void followsTheNewest_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("current");
        QTest::addColumn<QList<int>>("listed");
        QTest::addColumn<bool>("newestShown");
        QTest::newRow("empty table") << 0 << "" << 43 << QList<int>() << true;
        QTest::newRow("at the end") << 40 << "key End" << 43 << QList<int>() << true;
        QTest::newRow("one record selected at the end") << 40 << "key End, click 38" << 38 << QList{38} << false;
        QTest::newRow("moved up by a key") << 40 << "key End, key Up" << 39 << QList<int>() << false;
        QTest::newRow("views suspended") << 40 << "key End, hold" << 40 << QList<int>() << false;
        QTest::newRow("scrolled up") << 40 << "key Home" << 1 << QList<int>() << false;
        QTest::newRow("two records selected") << 40 << "key End, shiftkey Up" << 39 << QList{39, 40} << false;
        QTest::newRow("all selected") << 40 << "key End, corner" << 40 << QList<int>() << false;
    }
    void followsTheNewest()
    {
        QFETCH(int, records);
        QFETCH(QString, actions);
        QFETCH(int, current);
        QFETCH(QList<int>, listed);
        QFETCH(bool, newestShown);
        Bench bench(records);
        bench.Run(actions);
        const int scrolledBefore = bench.grid.verticalScrollBar()->value();
        for (int i = 0; i < 43 - records; ++i) bench.store.Append({records + 1 + i, {}, {}, {}, {}, {}, {}});
        QTRY_COMPARE(bench.grid.Model().rowCount(), 43);
        QCoreApplication::processEvents();  // the follow step, queued behind the rows
        QCOMPARE(bench.Number(bench.table.GetBookmark()), current);
        QCOMPARE(bench.grid.Model().BookmarkAt(bench.grid.currentIndex().row()), bench.table.GetBookmark());
        QCOMPARE(bench.Listed(), listed);
        const int bottom = bench.grid.rowAt(bench.grid.viewport()->height() - 1);
        QCOMPARE(bottom < 0 || bottom == 42, newestShown);
        if (!newestShown) QCOMPARE(bench.grid.verticalScrollBar()->value(), scrolledBefore);
    }

    // Appends arrive in batches, scattered deletions in one layout change, clearing as a
    // reset; the model tester checks every step, the rows match the table after each.
    void followsTheTable()
    {
        Bench bench(40);
        QList<records::Bookmark> everyOther;
        for (int i = 0; i < 40; i += 2) everyOther << bench.table.Bookmarks()[i];
        bench.Run("click 3, ctrl 4");
        bench.table.DeleteRecords(everyOther);
        QCOMPARE(bench.Listed(), QList{4});
        bench.Run("esc, corner");
        for (int i = 41; i <= 45; ++i) bench.store.Append({i, {}, {}, {}, {}, {}, {}});
        QCOMPARE(bench.grid.Model().rowCount(), 20);  // held back until the batch is announced
        QTRY_COMPARE(bench.grid.Model().rowCount(), 25);
        QCOMPARE(bench.Highlighted().size(), 25);  // all records, the new ones too
        for (int row = 0; row < 25; ++row)
            QCOMPARE(bench.grid.Model().index(row, 0).data(Qt::UserRole).toLongLong(), bench.table.Bookmarks()[row]);
        QCOMPARE(bench.grid.Model().index(24, 0).data().toString(), QStringLiteral("45"));
        bench.store.DeleteAll();
        QCOMPARE(bench.grid.Model().rowCount(), 0);
        QCOMPARE(bench.grid.Selection().SelectionType(), grid::gstNon);
    }
};

QTEST_MAIN(TestRecordGrid)
#include "test_record_grid.moc"
