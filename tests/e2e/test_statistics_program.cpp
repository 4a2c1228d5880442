// 统计 as an operator uses it: readings from the simulated meter, the window opened by
// Ctrl+T from the grid, the figures copied, a new reading followed, copied again; the
// command line on the same file prints the same lines; the results window opens it on
// its search, and it follows the next search; limits out of order give no indices.

#include "bench_steps.h"
#include "direct_limits_window.h"
#include "main_window.h"
#include "record_grid.h"
#include "record_query.h"
#include "record_table.h"
#include "recording_boxes.h"
#include "search_results_window.h"
#include "statistics_window.h"
#include "temp_database.h"
#include "window_set.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

class StatisticsProgramTest : public QObject {
    Q_OBJECT
private slots:
    void figuresFollowTheBench()
    {
        testing_support::TempDatabase database;
        SimProcess sim({QStringLiteral("--state"), QStringLiteral("trigger=ext")});
        testing_support::EnvironmentGuard port("QMR4070_PORT", sim.PtyPath().toLocal8Bit());
        testing_support::RecordingMessageBoxes boxes;
        WindowSet windows(boxes);
        TForm1& w = windows.Main();
        LogInAsAdministrator(windows);
        QTRY_VERIFY(!windows.DirectLimits().Edit1->text().isEmpty());
        auto trigger = [&] { TriggerRecorded(sim, w); };
        for (int i = 0; i < 12; ++i) trigger();

        w.activateWindow();
        w.RecordGrid1->setFocus();
        QTest::keyClick(w.RecordGrid1, Qt::Key_T, Qt::ControlModifier);
        stats::StatisticsWindow& statistics = windows.Statistics();
        QVERIFY(statistics.isVisible());
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(statistics.windowTitle(), QStringLiteral("统计 — %1 R").arg(today));
        QCOMPARE(statistics.Shown(QStringLiteral("记录数")), QStringLiteral("12"));
        QCOMPARE(statistics.ScopeBox->count(), 2);  // no search open: no 检索结果

        QApplication::clipboard()->clear();
        statistics.CopyButton->click();
        QStringList copied = QApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(copied.size(), 30);
        QCOMPARE(copied[1], QStringLiteral("记录数\t12"));
        QCOMPARE(copied[17], QStringLiteral("控制限\t控制限未定"));  // fewer than 25 readings
        QVERIFY2(copied[11].startsWith(QStringLiteral("下限\t0.09")), qPrintable(copied[11]));

        trigger();
        QTRY_COMPARE(statistics.Shown(QStringLiteral("记录数")), QStringLiteral("13"));
        statistics.LowerEdit->setFocus();
        QTest::keyClick(statistics.LowerEdit, Qt::Key_C, Qt::ControlModifier);  // nothing selected: the figures
        copied = QApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(copied[1], QStringLiteral("记录数\t13"));
        QCOMPARE(copied, statistics.Lines());

        // The command line reads the same file while the program has it open.
        QProcess report;
        report.start(QStringLiteral(QMR4070_PATH),
                     {QStringLiteral("--statistics"), QStringLiteral("--date"), today, QStringLiteral("--lsl"),
                      copied[11].section(u'\t', 1), QStringLiteral("--usl"), copied[12].section(u'\t', 1)});
        QVERIFY(report.waitForFinished(10000));
        QCOMPARE(report.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(report.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts), copied);
        report.start(QStringLiteral(QMR4070_PATH),
                     {QStringLiteral("--statistics"), QStringLiteral("--date"), QStringLiteral("2026-13-01")});
        QVERIFY(report.waitForFinished(10000));
        QCOMPARE(report.exitCode(), 2);
        QVERIFY(report.readAllStandardOutput().isEmpty());

        // Limits out of order give no indices, and the note beside them says why.
        auto enter = [&](QLineEdit* edit, const QString& text) {
            edit->setFocus();
            edit->setText(text);
            QTest::keyClick(edit, Qt::Key_Return);
        };
        auto* note = statistics.findChild<QLabel*>(QStringLiteral("limitsNote"));
        QVERIFY(note && note->text().isEmpty());
        QVERIFY(statistics.Shown(QStringLiteral("Pp")) != QStringLiteral("—"));
        enter(statistics.LowerEdit, QStringLiteral("0.2"));
        enter(statistics.UpperEdit, QStringLiteral("0.1"));
        QVERIFY(!note->text().isEmpty());
        QTRY_COMPARE(statistics.Shown(QStringLiteral("Pp")), QStringLiteral("—"));
        QCOMPARE(statistics.Shown(QStringLiteral("Cpk")), QStringLiteral("—"));
        QVERIFY(statistics.Lines().contains(QStringLiteral("Ppk\t—")));
        enter(statistics.UpperEdit, QStringLiteral("nanΩ"));  // no number: refused, shown red
        QVERIFY(statistics.UpperEdit->styleSheet().contains(QStringLiteral("ffd0d0")));
        enter(statistics.UpperEdit, QStringLiteral("300mΩ"));
        QVERIFY(note->text().isEmpty());

        // Esc closes; the results window opens it on its search.
        QTest::keyClick(&statistics, Qt::Key_Escape);
        QVERIFY(!statistics.isVisible());
        QVERIFY(statistics.Lines().isEmpty());
        w.ComboBox1->setEditText(QStringLiteral("PASS"));
        w.Button5->click();
        windows.SearchResults().StatisticsButton->click();
        QCOMPARE(statistics.windowTitle(), QStringLiteral("统计 — %1 分选结果 PASS R").arg(today));
        QCOMPARE(statistics.Shown(QStringLiteral("记录数")),
                 QString::number(windows.SearchResults().Query1->RecordCount()));

        // A new search: the window on 检索结果 counts it.
        w.ComboBox1->setEditText(QStringLiteral("LOW"));
        w.Button5->click();
        QTRY_COMPARE(statistics.windowTitle(), QStringLiteral("统计 — %1 分选结果 LOW R").arg(today));
        QCOMPARE(statistics.Shown(QStringLiteral("记录数")),
                 QString::number(windows.SearchResults().Query1->RecordCount()));

        QVERIFY(boxes.errors.isEmpty());
    }
};

QTEST_MAIN(StatisticsProgramTest)
#include "test_statistics_program.moc"
