// The windows of one run against the simulated meter in its own process: login,
// start-up refresh, mirroring and echo of switches, live readings through a faulty
// line, and settings that reach the meter and come back.

#include "direct_limits_window.h"
#include "login_window.h"
#include "look.h"
#include "main_window.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "pty_pair.h"
#include "radio_group.h"
#include "recording_boxes.h"
#include "serial_control.h"
#include "sim_process.h"
#include "temp_database.h"
#include "window_set.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using testing_support::PtyPair;

namespace {
struct Bench {
    testing_support::TempDatabase database;
    SimProcess sim;
    testing_support::EnvironmentGuard port;
    testing_support::RecordingMessageBoxes boxes;
    std::unique_ptr<WindowSet> windows = std::make_unique<WindowSet>(boxes);

    explicit Bench(const QStringList& simArguments = {})
        : sim(simArguments), port("QMR4070_PORT", sim.PtyPath().toLocal8Bit())
    {
    }
    TForm1& main() { return windows->Main(); }
    void AdministratorLogin()
    {
        windows->Login().Edit1->setText(QStringLiteral("582"));
        windows->Login().Button4->click();
    }
    // Waits for the simulator to log a received frame starting with these bytes.
    bool MeterReceived(const QString& start, int timeoutMs = 5000)
    {
        return !sim.WaitForLine([&](const QString& l) { return l.contains(QStringLiteral(" RX ") + start); }, timeoutMs)
                    .isEmpty();
    }
};

bool LampsMatch(TForm1& w)
{
    const QString sort = w.Label4->text();
    const QColor high = ui::BackgroundOf(w.Label6), pass = ui::BackgroundOf(w.Label7), low = ui::BackgroundOf(w.Label8);
    if (sort == u"HIGH") return high == ui::kRed && pass == ui::kWindow && low == ui::kWindow;
    if (sort == u"PASS") return high == ui::kWindow && pass == ui::kLime && low == ui::kWindow;
    if (sort == u"LOW") return high == ui::kWindow && pass == ui::kWindow && low == ui::kRed;
    if (sort == u"NULL") return high == ui::kWindow && pass == ui::kWindow && low == ui::kWindow;
    return false;
}
}  // namespace

class WholeProgramTest : public QObject {
    Q_OBJECT
private slots:
    void loginRefreshMirrorAndReadings()
    {
        Bench bench;
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QVERIFY(w.isVisible());
        // The start-up refresh reaches the meter, whose answer fills the panel and the windows.
        QVERIFY(bench.MeterReceived(QStringLiteral("AB AD 00 00 00 00 00 00 00 00 AF")));
        QTRY_COMPARE_WITH_TIMEOUT(w.RadioGroup7->ItemIndex(), 1, 5000);  // internal trigger
        QCOMPARE(w.RadioGroup1->ItemIndex(), 1);                         // zero off
        QCOMPARE(w.RadioGroup2->ItemIndex(), 0);                         // sorting on
        QCOMPARE(w.RadioGroup4->ItemIndex(), 0);                         // display R
        QCOMPARE(w.RadioGroup5->ItemIndex(), 1);                         // slow
        QCOMPARE(w.RadioGroup6->ItemIndex(), 1);                         // auto
        QTRY_COMPARE(bench.windows->DirectLimits().Edit1->text(), QStringLiteral("103.0"));
        QCOMPARE(bench.windows->DirectLimits().ComboBox1->currentText(), QStringLiteral("mΩ"));
        QCOMPARE(bench.windows->Nominal().Edit1->text(), QStringLiteral("100.0"));
        QCOMPARE(bench.windows->PercentLimits().Edit2->text(), QStringLiteral("2.000"));
        // Every switch the report set from "none" is echoed, in panel order.
        for (const char* echo : {"AB D9 5A", "AB DA 55", "AB DB 5A", "AB DF 5A", "AB DE 5A", "AB DD 5A", "AB DC 5A"})
            QVERIFY2(bench.MeterReceived(QString::fromLatin1(echo)), echo);
        // The status report comes before the setting reports, so the display switch
        // rebuilt the summary lines from still empty fields.
        QCOMPARE(w.Label1->text(), QString());
        QCOMPARE(w.Label3->text(), QStringLiteral("-"));

        // Readings on internal trigger: a value with its unit, lamps matching the sort text.
        QTRY_VERIFY_WITH_TIMEOUT(w.Label5->text().endsWith(QStringLiteral("Ω")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.Label4->text().isEmpty(), 5000);
        QVERIFY2(LampsMatch(w), qPrintable(w.Label4->text()));
        QVERIFY(bench.boxes.errors.isEmpty());
    }

    void identityCheckWithTheMetersCode()
    {
        Bench bench({QStringLiteral("--code"), QStringLiteral("a1b2c3")});
        TForm6& login = bench.windows->Login();
        login.Edit3->setText(QStringLiteral("123456"));
        login.Button3->click();
        QVERIFY(bench.MeterReceived(QStringLiteral("AB AE 01 02 03 04 05 06 AF")));
        QTRY_COMPARE(bench.boxes.informed, QStringList{QStringLiteral("验证码输入不正确!")});
        QVERIFY(!bench.main().isVisible());
        login.Edit3->setText(QStringLiteral("A1B2C3"));
        login.Button3->click();
        QTRY_VERIFY_WITH_TIMEOUT(bench.main().isVisible(), 5000);
        // The refresh carries the digits of the code left in the buffer.
        QVERIFY(bench.MeterReceived(QStringLiteral("AB AD 0A 01 0B 02 0C 03 AF 00 AF")));
        QTRY_COMPARE_WITH_TIMEOUT(bench.main().RadioGroup7->ItemIndex(), 1, 5000);
    }

    void frontPanelChangesAreMirroredAndEchoed()
    {
        Bench bench;
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QTRY_COMPARE_WITH_TIMEOUT(w.RadioGroup4->ItemIndex(), 0, 5000);
        bench.sim.ForgetLog();
        bench.sim.Command(QStringLiteral("set display %"));
        QTRY_COMPARE_WITH_TIMEOUT(w.RadioGroup4->ItemIndex(), 1, 5000);
        QCOMPARE(w.Label2->text(), QStringLiteral("%"));
        QCOMPARE(w.Label3->text(), QStringLiteral("2.000%-2.000%"));
        QCOMPARE(w.Label1->text(), QStringLiteral("100.0mΩ"));
        QVERIFY(bench.MeterReceived(QStringLiteral("AB DF 55")));
        QTRY_VERIFY_WITH_TIMEOUT(w.Label5->text().endsWith(u'%'), 5000);
    }

    void operatorSwitchesReachTheMeter()
    {
        Bench bench;
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QTRY_COMPARE_WITH_TIMEOUT(w.RadioGroup7->ItemIndex(), 1, 5000);
        w.RadioGroup7->Item(0)->click();  // external trigger
        w.RadioGroup5->Item(0)->click();  // fast
        w.RadioGroup2->Item(1)->click();  // sorting off
        w.RadioGroup3->Item(0)->click();  // beeper on
        w.RadioGroup1->Item(0)->click();  // zero on
        w.RadioGroup6->Item(0)->click();  // lock
        QVERIFY(bench.MeterReceived(QStringLiteral("AB D9 55")));
        const QString state = bench.sim.State();
        for (const char* part : {"zero=on", "sorting=off", "beeper=on", "speed=fast", "mode=lock", "trigger=ext"})
            QVERIFY2(state.contains(QLatin1String(part)), qPrintable(state));

        // On external trigger one reading per trigger; with sorting off it is NULL.
        PtyPair::Pump(300);
        w.Label5->setText(QStringLiteral("waiting"));
        bench.sim.Command(QStringLiteral("trigger"));
        QTRY_VERIFY_WITH_TIMEOUT(w.Label5->text() != u"waiting", 5000);
        QCOMPARE(w.Label4->text(), QStringLiteral("NULL"));
        w.Label5->setText(QStringLiteral("waiting"));
        PtyPair::Pump(500);
        QCOMPARE(w.Label5->text(), QStringLiteral("waiting"));
        w.Button4->click();  // single measurement
        QTRY_VERIFY_WITH_TIMEOUT(w.Label5->text() != u"waiting", 5000);
    }

    void everyTriggeredReadingArrivesThroughAFaultyLine()
    {
        Bench bench({QStringLiteral("--chunked"), QStringLiteral("--garbage"), QStringLiteral("--state"),
                     QStringLiteral("trigger=ext")});
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QTRY_COMPARE_WITH_TIMEOUT(w.RadioGroup7->ItemIndex(), 0, 8000);
        PtyPair::Pump(300);
        for (int i = 0; i < 20; ++i) {
            w.Label5->setText(QStringLiteral("waiting"));
            w.Label4->setText(QStringLiteral("waiting"));
            bench.sim.Command(QStringLiteral("trigger"));
            QTRY_VERIFY_WITH_TIMEOUT(w.Label4->text() != u"waiting", 5000);
            QVERIFY(w.Label5->text().endsWith(QStringLiteral("Ω")));
            QVERIFY2(LampsMatch(w), qPrintable(w.Label4->text()));
        }
    }

    void settingsReachTheMeterAndComeBack()
    {
        Bench bench;
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QTRY_COMPARE_WITH_TIMEOUT(w.RadioGroup7->ItemIndex(), 1, 5000);
        TForm5& nominal = bench.windows->Nominal();
        w.N3->trigger();
        nominal.Edit1->setText(QStringLiteral("47.5"));
        nominal.ComboBox1->setCurrentIndex(1);
        nominal.Button1->click();
        QCOMPARE(nominal.Edit1->text(), QStringLiteral("47.500"));
        QVERIFY(bench.MeterReceived(QStringLiteral("AB EC 04 07 2E 05 00 00 A1")));
        QVERIFY(bench.MeterReceived(QStringLiteral("AB EC 04 07 2E 05 00 00 A1")));

        TForm3& percent = bench.windows->PercentLimits();
        percent.Edit1->setText(QStringLiteral("4.5"));
        percent.Button1->click();
        QVERIFY(bench.MeterReceived(QStringLiteral("AB ED 04 2E 05 00 00")));
        const QString state = bench.sim.State();
        QVERIFY2(state.contains(QStringLiteral("nominal=47.500:A1")), qPrintable(state));
        QVERIFY2(state.contains(QStringLiteral("pupper=4.500")), qPrintable(state));

        // A refresh brings the values back into the windows as the meter reports them.
        nominal.Edit1->setText(QString());
        percent.Edit1->setText(QString());
        w.Button1->click();
        QTRY_COMPARE_WITH_TIMEOUT(nominal.Edit1->text(), QStringLiteral("47.50"), 5000);
        QCOMPARE(nominal.ComboBox1->currentText(), QStringLiteral("Ω"));
        QTRY_COMPARE(percent.Edit1->text(), QStringLiteral("4.500"));
    }
};

QTEST_MAIN(WholeProgramTest)
#include "test_whole_program.moc"
