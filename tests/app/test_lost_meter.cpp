// The windows when the meter's line is lost and comes back at the same path: one box,
// no stale result, an idle program, the port taken back with its line settings, and
// the login's check failing while the meter is gone and working once it is back.

#include "login_window.h"
#include "look.h"
#include "main_window.h"
#include "pty_pair.h"
#include "radio_group.h"
#include "recording_boxes.h"
#include "serial_control.h"
#include "window_set.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <cstdio>
#include <memory>

using testing_support::Bytes;
using testing_support::EnvironmentGuard;
using testing_support::PtyPair;

namespace {
const QByteArray kPassReading = Bytes({0xAB, 0x01, 0x2E, 0x00, 0x00, 0x00, 0x00, 0xA1, 0xB1, 0x00, 0xAF});
const QByteArray kCleanRefresh = Bytes({0xAB, 0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0xAF});

// A pseudo-terminal behind a fixed path, as an adapter keeps its name when plugged in again.
struct PluggedMeter {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("meter"));
    std::unique_ptr<PtyPair> pty;

    PluggedMeter() { Plug(); }
    void Plug()
    {
        pty = std::make_unique<PtyPair>();
        pty->ScrambleLineSettings();
        const QString staged = path + QStringLiteral(".new");
        QFile::link(pty->SlavePath(), staged);
        std::rename(qPrintable(staged), qPrintable(path));
    }
    void Unplug()
    {
        QFile::remove(path);
        pty->CloseMeterEnd();
    }
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Bench {
    PluggedMeter meter;
    EnvironmentGuard port{"QMR4070_PORT", meter.path.toLocal8Bit()};
    testing_support::RecordingMessageBoxes boxes;
    std::unique_ptr<WindowSet> windows = std::make_unique<WindowSet>(boxes);

    TForm1& main() { return windows->Main(); }
    TForm6& login() { return windows->Login(); }
    void AdministratorLogin()
    {
        login().Edit1->setText(QStringLiteral("582"));
        login().Button4->click();
    }
    void Check()
    {
        login().Edit3->setText(QStringLiteral("123456"));
        login().Button3->click();
    }
};

QList<int> SwitchPositions(TForm1& w)
{
    QList<int> positions;
    for (int i = 0; i < 7; ++i) positions << w.SwitchGroup(i)->ItemIndex();
    return positions;
}
}  // namespace

class LostMeterTest : public QObject {
    Q_OBJECT
private slots:
    void lostMeterLeavesNoStaleResultAndAnIdleProgram()
    {
        Bench bench;
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QCOMPARE(bench.meter.pty->Read(11, 4000), kCleanRefresh);
        bench.meter.pty->Write(Bytes({0xAB, 0xAC, 0x55, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x00, 0xAF}));
        bench.meter.pty->Write(kPassReading);
        QTRY_COMPARE(w.Label5->text(), QStringLiteral("1.0000Ω"));
        QCOMPARE(ui::BackgroundOf(w.Label7), ui::kLime);
        const QList<int> panel = SwitchPositions(w);

        bench.meter.Unplug();
        QTRY_COMPARE(bench.boxes.errors.size(), 1);
        QVERIFY2(bench.boxes.errors[0].contains(bench.meter.path), qPrintable(bench.boxes.errors[0]));
        QVERIFY(!w.Com->PortOpen());
        for (QLabel* lamp : {w.Label6, w.Label7, w.Label8}) QCOMPARE(ui::BackgroundOf(lamp), ui::kWindow);
        QCOMPARE(w.Label5->text().trimmed(), QString());
        QCOMPARE(w.Label4->text(), QString());
        QCOMPARE(SwitchPositions(w), panel);

        // Idle while the meter is away: retrying once a second costs next to nothing.
        const double before = CpuSeconds();
        QTest::qWait(2000);
        const double spent = CpuSeconds() - before;
        QVERIFY2(spent < 0.1, qPrintable(QString::number(spent)));
        QCOMPARE(bench.boxes.errors.size(), 1);
    }

    void meterBackAtTheSamePathIsTakenBack()
    {
        Bench bench;
        TForm1& w = bench.main();
        QCOMPARE(bench.meter.pty->LineSettings(), QStringLiteral("9600 8N1 raw"));
        bench.AdministratorLogin();
        QCOMPARE(bench.meter.pty->Read(11, 4000), kCleanRefresh);
        bench.meter.Unplug();
        QTRY_COMPARE(bench.boxes.errors.size(), 1);

        bench.meter.Plug();
        QTRY_VERIFY_WITH_TIMEOUT(w.Com->PortOpen(), 5000);
        QCOMPARE(bench.meter.pty->LineSettings(), QStringLiteral("9600 8N1 raw"));
        // The refresh goes first, so the panel and the setting windows catch up.
        QCOMPARE(bench.meter.pty->Read(11), kCleanRefresh);
        bench.meter.pty->Write(kPassReading);
        QTRY_COMPARE(w.Label5->text(), QStringLiteral("1.0000Ω"));
        QCOMPARE(ui::BackgroundOf(w.Label7), ui::kLime);
        QCOMPARE(bench.boxes.errors.size(), 1);
    }

    void identityCheckWithTheMeterGoneThenBack()
    {
        Bench bench;
        bench.Check();
        QCOMPARE(bench.meter.pty->Read(9), Bytes({0xAB, 0xAE, 1, 2, 3, 4, 5, 6, 0xAF}));
        bench.meter.Unplug();
        QTRY_COMPARE(bench.boxes.errors.size(), 1);
        QVERIFY(!bench.login().Com1->PortOpen());

        bench.Check();  // the meter is still away: the port's own error
        QCOMPARE(bench.boxes.errors.size(), 2);
        QVERIFY2(bench.boxes.errors[1].contains(bench.meter.path), qPrintable(bench.boxes.errors[1]));

        bench.meter.Plug();
        bench.Check();
        QCOMPARE(bench.meter.pty->Read(9), Bytes({0xAB, 0xAE, 1, 2, 3, 4, 5, 6, 0xAF}));
        bench.meter.pty->Write(Bytes({0xAB, 0xAE, 0x55, 0xAF}));
        QTRY_VERIFY(bench.main().isVisible());
        QVERIFY(bench.main().Com->PortOpen());
        QCOMPARE(bench.boxes.errors.size(), 2);
    }
};

QTEST_MAIN(LostMeterTest)
#include "test_lost_meter.moc"
