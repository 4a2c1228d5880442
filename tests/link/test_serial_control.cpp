// The serial control on a real pseudo-terminal: line set-up, the receive threshold,
// returned bytes, emptying, sending, overflow, the errors of a missing or taken port
// and a line lost under an open port.

#include "frame_buffer.h"
#include "platform_error.h"
#include "port_choice.h"
#include "pty_pair.h"
#include "serial_control.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace wire;
using testing_support::Bytes;
using testing_support::EnvironmentGuard;
using testing_support::PortOverride;
using testing_support::PtyPair;

namespace {
void OpenMainPort(SerialControl& com)
{
    com.setCommPort(1);
    com.setSettings(QStringLiteral("9600,n,8,1"));
    com.setPortOpen(true);
    com.setInBufferCount(0);
    com.setOutBufferCount(0);
    com.setInputMode(1);
    com.setRThreshold(11);
    com.setSThreshold(0);
}

QString OpenError(SerialControl& com)
{
    try {
        com.setPortOpen(true);
    } catch (const PlatformError& error) {
        return error.Text();
    }
    return {};
}
}  // namespace

class SerialControlTest : public QObject {
    Q_OBJECT
private slots:
    void portNames()
    {
        // A settings file of this test's own (%LOCALAPPDATA% is the Windows build's).
        QTemporaryDir config;
        EnvironmentGuard configHome("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QSettings(SettingsFilePath(), QSettings::IniFormat).remove(QStringLiteral("link"));
        std::optional<EnvironmentGuard> port;
        port.emplace("QMR4070_PORT", std::nullopt);
#ifdef Q_OS_WIN
        QCOMPARE(SerialControl::DeviceForPort(1), QStringLiteral("COM1"));
#else
        QCOMPARE(SerialControl::DeviceForPort(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(SerialControl::DeviceForPort(3), QStringLiteral("/dev/ttyS2"));
#endif
        // A port kept in the settings file names port 1; QMR4070_PORT still wins.
        KeepChosenPort(QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(SerialControl::DeviceForPort(1), QStringLiteral("/dev/ttyUSB3"));
        QVERIFY(SerialControl::DeviceForPort(2) != QStringLiteral("/dev/ttyUSB3"));
        port.emplace("QMR4070_PORT", "/dev/ttyUSB0");
        QCOMPARE(SerialControl::DeviceForPort(1), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(SerialControl::DeviceForPort(2) != QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(PortNameOfOffer(QStringLiteral("COM5 — USB-SERIAL CH340")), QStringLiteral("COM5"));
        QCOMPARE(PortNameOfOffer(QStringLiteral(" /dev/pts/7 ")), QStringLiteral("/dev/pts/7"));
    }

    void eventOnlyAtThreshold()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        QSignalSpy events(&com, &SerialControl::OnComm);

        pty.Write(QByteArray(5, '\x01'));
        PtyPair::Pump(100);
        QCOMPARE(events.count(), 0);
        QCOMPARE(com.InBufferCount(), 5);

        pty.Write(QByteArray(6, '\x02'));
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(com.CommEvent(), SerialControl::kEventReceive);
        const QByteArray input = com.Input();
        QCOMPARE(input, QByteArray(5, '\x01') + QByteArray(6, '\x02'));
        QCOMPARE(com.InBufferCount(), 0);
    }

    void returnedBytesCountTowardsThreshold()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        QSignalSpy events(&com, &SerialControl::OnComm);

        com.ReturnUnused(QByteArray(7, '\x03'));
        PtyPair::Pump(50);
        QCOMPARE(events.count(), 0);
        pty.Write(QByteArray(4, '\x04'));
        QTRY_COMPARE(events.count(), 1);
        QCOMPARE(com.Input(), QByteArray(7, '\x03') + QByteArray(4, '\x04'));
    }

    void emptyingDiscardsWaitingBytes()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        com.setRThreshold(0);  // no events: we only look at the buffer
        pty.Write(QByteArray(9, '\x05'));
        QTRY_COMPARE(com.InBufferCount(), 9);
        com.setInBufferCount(0);
        QCOMPARE(com.InBufferCount(), 0);
        QVERIFY(com.Input().isEmpty());
    }

    void outputReachesTheLineWhole()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        FrameBuffer buffer;
        buffer[2] = 0x07;  // stale byte from an earlier sender
        SendCommand(com, buffer, 0xAD);
        // Clearing the transmit count flushed the frame: it is on the line before the
        // program runs another event.
        QCOMPARE(com.OutBufferCount(), 0);
        QCOMPARE(pty.ReadWithoutEvents(11), Bytes({0xAB, 0xAD, 0x07, 0, 0, 0, 0, 0, 0, 0, 0xAF}));

        SendLoginFrame(com, buffer, 9);
        QCOMPARE(pty.ReadWithoutEvents(11, 100), Bytes({0xAB, 0xAD, 0x07, 0, 0, 0, 0, 0, 0}));
    }

    void openingDiscardsWhatWaitedBefore()
    {
        PtyPair pty;
        PortOverride port(pty);
        pty.Write(QByteArray(11, '\x01'));
        PtyPair::Pump(50);
        SerialControl com;
        OpenMainPort(com);
        QSignalSpy events(&com, &SerialControl::OnComm);
        PtyPair::Pump(100);
        QCOMPARE(events.count(), 0);
        QCOMPARE(com.InBufferCount(), 0);
    }

    void emptyingInsideAHandlerDiscardsWhatArrivedMeanwhile()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        int handled = 0;
        connect(&com, &SerialControl::OnComm, this, [&] {
            ++handled;
            com.Input();
            // A modal box keeps the loop running: a frame arrives while it is open,
            // and the handler then empties the receive buffer.
            pty.Write(QByteArray(11, '\x01'));
            PtyPair::Pump(100);
            com.setInBufferCount(0);
        });
        pty.Write(QByteArray(11, '\x02'));
        QTRY_COMPARE(handled, 1);
        PtyPair::Pump(200);
        QCOMPARE(handled, 1);
        QCOMPARE(com.InBufferCount(), 0);
    }

    void nestedEventsWaitForTheRunningHandler()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        int depth = 0;
        int maxDepth = 0;
        int handled = 0;
        connect(&com, &SerialControl::OnComm, this, [&] {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            com.Input();
            ++handled;
            if (handled == 1) {
                // A modal box keeps the loop running: a new frame arrives meanwhile.
                pty.Write(QByteArray(11, '\x01'));
                PtyPair::Pump(100);
            }
            --depth;
        });
        pty.Write(QByteArray(11, '\x02'));
        QTRY_COMPARE(handled, 2);
        QCOMPARE(maxDepth, 1);
    }

    void overflowRaisesItsEvent()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        com.setInBufferSize(16);
        QList<int> seen;
        connect(&com, &SerialControl::OnComm, this, [&] { seen << com.CommEvent(); });
        pty.Write(QByteArray(40, '\x06'));
        QTRY_VERIFY(seen.contains(SerialControl::kEventReceiveOverflow));
        QCOMPARE(com.InBufferCount(), 0);
    }

    void closedPortAndBadSettings()
    {
        SerialControl com;
        QVERIFY(!com.PortOpen());
        QVERIFY_THROWS_EXCEPTION(PlatformError, com.setOutput(QByteArray(1, '\x01')));
        QVERIFY_THROWS_EXCEPTION(PlatformError, com.setSettings(QStringLiteral("9600,x,8,1")));
        QVERIFY_THROWS_EXCEPTION(PlatformError, com.setSettings(QStringLiteral("fast")));
        QCOMPARE(com.Settings(), QStringLiteral("9600,n,8,1"));
        com.setPortOpen(false);  // closing a closed port is harmless
        com.setInBufferCount(0);
    }

    void missingPortIsAnErrorWithItsText()
    {
        EnvironmentGuard port("QMR4070_PORT", "/dev/qmr4070-no-such-port");
        SerialControl com;
        com.setCommPort(1);
        try {
            com.setPortOpen(true);
            QFAIL("opening a missing port must fail");
        } catch (const PlatformError& error) {
            QVERIFY2(error.Text().contains(QStringLiteral("/dev/qmr4070-no-such-port")), qPrintable(error.Text()));
        }
        QVERIFY(!com.PortOpen());
    }

    void portIsClaimedOnce()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl first;
        SerialControl second;
        first.setPortOpen(true);
        const QString error = OpenError(second);
        QVERIFY2(error.contains(QStringLiteral("in use by another program")), qPrintable(error));
        QVERIFY(!second.PortOpen());
        QVERIFY_THROWS_EXCEPTION(PlatformError, first.setPortOpen(true));
        first.setPortOpen(false);
        second.setPortOpen(true);  // handed over
        QVERIFY(second.PortOpen());
    }

    void portHeldByAnotherProgramIsInUse()
    {
        PtyPair pty;
        PortOverride port(pty);
        // Another program holding the device by an advisory lock, which stops even root.
        const int other = ::open(qPrintable(pty.SlavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
        SerialControl com;
        const QString error = OpenError(com);
        ::close(other);
        QVERIFY2(error.contains(QStringLiteral("in use by another program")), qPrintable(error));
        QVERIFY(!com.PortOpen());
        com.setPortOpen(true);
    }

    void lineSettingsOnTheDevice()
    {
        PtyPair pty;
        PortOverride port(pty);
        pty.ScrambleLineSettings();
        QCOMPARE(pty.LineSettings(), QStringLiteral("1200 8N2 cooked"));
        SerialControl com;
        OpenMainPort(com);
        QCOMPARE(pty.LineSettings(), QStringLiteral("9600 8N1 raw"));
    }

    void lostLineClosesThePortOnce_data()
    {
        QTest::addColumn<bool>("sending");
        QTest::newRow("hang-up while waiting") << false;
        QTest::newRow("hang-up met by a send") << true;
    }
    void lostLineClosesThePortOnce()
    {
        QFETCH(bool, sending);
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        QSignalSpy lost(&com, &SerialControl::PortLost);
        pty.CloseMeterEnd();
        if (sending) {
            FrameBuffer buffer;
            SendCommand(com, buffer, 0xAD);
            QVERIFY(!com.PortOpen());  // the failed write itself closed it
        }
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!com.PortOpen());
        QVERIFY2(lost[0][0].toString().contains(pty.SlavePath()), qPrintable(lost[0][0].toString()));
        PtyPair::Pump(300);
        QCOMPARE(lost.count(), 1);
    }

    void propertiesSurviveReopening()
    {
        PtyPair pty;
        PortOverride port(pty);
        SerialControl com;
        OpenMainPort(com);
        com.setPortOpen(false);
        com.setPortOpen(true);
        QCOMPARE(com.RThreshold(), 11);
        QCOMPARE(com.InputMode(), 1);
        QSignalSpy events(&com, &SerialControl::OnComm);
        pty.Write(QByteArray(11, '\x01'));
        QTRY_COMPARE(events.count(), 1);
    }
};

QTEST_GUILESS_MAIN(SerialControlTest)
#include "test_serial_control.moc"
