// The bench's early warning, as an operator meets it: the simulated meter's readings
// around a centre, then shifted by 1.5 σ; the band shows on the ninth reading past the
// shift with the rule's words and record numbers, "确认" clears it, the alarm is in the
// file with the operator's number, the statistics window and the command line list it,
// and limits frozen there hold for a program started afterwards.

#include "alarm_log.h"
#include "bench_steps.h"
#include "control_settings.h"
#include "main_window.h"
#include "record_table.h"
#include "recording_boxes.h"
#include "statistics_window.h"
#include "temp_database.h"
#include "window_set.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>

class AlarmProgramTest : public QObject {
    Q_OBJECT
private slots:
    void shiftRaisesTheBand()
    {
        testing_support::TempDatabase database;
        testing_support::EnvironmentGuard config("XDG_CONFIG_HOME", database.dir.filePath("config").toLocal8Bit());
        SimProcess sim({QStringLiteral("--state"), QStringLiteral("trigger=ext"), QStringLiteral("--cycle")});
        testing_support::EnvironmentGuard port("QMR4070_PORT", sim.PtyPath().toLocal8Bit());
        testing_support::RecordingMessageBoxes boxes;
        WindowSet windows(boxes);
        TForm1& w = windows.Main();
        LogInAsAdministrator(windows);
        w.Edit3->setText(QStringLiteral("1001"));
        auto trigger = [&] { TriggerRecorded(sim, w); };
        // Eight whole cycles around the nominal value: no rule fires.
        for (int i = 0; i < 32; ++i) trigger();
        QVERIFY(!w.AlarmBand->isVisible());
        // 统计 open before the alarm takes it in as it is written, and follows its acknowledgement.
        w.StatisticsItemClick();
        const QListWidget* listed = windows.Statistics().AlarmList;
        QTRY_COMPARE(windows.Statistics().Shown(QStringLiteral("记录数")), QStringLiteral("32"));
        QCOMPARE(listed->count(), 0);

        sim.Command(QStringLiteral("shift 1.5"));
        for (int i = 0; i < 8; ++i) trigger();
        QVERIFY(!w.AlarmBand->isVisible());
        trigger();
        QVERIFY(w.AlarmBand->isVisible());
        QCOMPARE(w.AlarmBand->text(), QStringLiteral("过程报警：连续 9 点在中心线同侧（编号 33–41）"));
        trigger();  // the same run goes on: no second alarm
        QCOMPARE(w.AlarmBand->text(), QStringLiteral("过程报警：连续 9 点在中心线同侧（编号 33–41）"));

        QTRY_VERIFY(listed->count() == 1 && listed->item(0)->text().endsWith(QStringLiteral("未确认")));
        w.Edit3->setText(QStringLiteral("1002"));
        w.AlarmButton->click();
        QVERIFY(!w.AlarmBand->isVisible());
        QTRY_VERIFY(listed->item(0)->text().contains(QStringLiteral("已确认")));
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        const QList<records::Alarm> stored = records::ReadAlarms(windows.Store(), today, QStringLiteral("R"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].rule, 2);
        QCOMPARE(stored[0].firstNumber, 33);
        QCOMPARE(stored[0].lastNumber, 41);
        QCOMPARE(stored[0].operatorNumber, QStringLiteral("1001"));
        QVERIFY(stored[0].acknowledgedAt.isValid());
        QCOMPARE(stored[0].acknowledgedBy, QStringLiteral("1002"));

        // The statistics window lists it and freezes the day's limits.
        w.StatisticsItemClick();
        stats::StatisticsWindow& statistics = windows.Statistics();
        QCOMPARE(statistics.AlarmList->count(), 1);
        QVERIFY(statistics.Shown(QStringLiteral("控制限")).startsWith(QStringLiteral("本范围 (n=42)")));
        QVERIFY2(statistics.Shown(QStringLiteral("Cpk")).contains(u'–'), qPrintable(statistics.Shown("Cpk")));
        statistics.FreezeButton->click();
        QTRY_VERIFY(statistics.ReleaseButton->isEnabled());

        auto report = [&](const QStringList& more) {
            QProcess process;
            process.start(QStringLiteral(QMR4070_PATH),
                          QStringList{QStringLiteral("--statistics"), QStringLiteral("--date"), today} + more);
            [&] { QVERIFY(process.waitForFinished(10000)); }();
            [&] { QCOMPARE(process.exitCode(), 0); }();
            return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        };
        const QStringList lines = report({});
        QVERIFY2(lines.contains(QStringLiteral("控制限\t固定 (%1, n=42)").arg(today)), qPrintable(lines.join(u'\n')));
        QVERIFY(lines.contains(QStringLiteral("报警\t1")));
        QVERIFY(lines.contains(QStringLiteral("规则 2\t1\t连续 9 点在中心线同侧")));
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
            return line.startsWith(QStringLiteral("报警记录\t")) &&
                   line.contains(QStringLiteral("\t2\t33–41\t1001\t")) && line.endsWith(QStringLiteral("\t1002"));
        }));
        QVERIFY(report({QStringLiteral("--rules"), QStringLiteral("1,3,5")}).contains(QStringLiteral("报警\t0")));

        // Frozen limits are the program's settings: a later start finds them.
        const stats::ControlSettings later;
        QVERIFY(later.Frozen(stats::Mode::Resistance));
        QCOMPARE(later.Frozen(stats::Mode::Resistance)->count, 42);
        QVERIFY(!later.Frozen(stats::Mode::Percent));
        QVERIFY(boxes.errors.isEmpty());
    }
};

QTEST_MAIN(AlarmProgramTest)
#include "test_alarm_program.moc"
