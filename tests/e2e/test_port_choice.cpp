// The serial port by name, against the simulated meter on a pseudo-terminal: the port
// kept in the settings file, the offer after the start-up error box, the choice used by
// the login's hand-over and kept, QMR4070_PORT still first, and the menu item.

#include "login_window.h"
#include "main_window.h"
#include "port_choice.h"
#include "recording_boxes.h"
#include "serial_control.h"
#include "sim_process.h"
#include "temp_database.h"
#include "window_set.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

using testing_support::EnvironmentGuard;

namespace {
const QString kMissing = QStringLiteral("/dev/qmr4070-no-such-port");

// "sim" stands for the simulator's pty, "-" for a cancelled offer, "" for nothing.
QString Resolve(const QString& name, const SimProcess& sim) { return name == u"sim" ? sim.PtyPath() : name; }

bool MeterReceived(SimProcess& sim, const QString& start)
{
    return !sim.WaitForLine([&](const QString& l) { return l.contains(QStringLiteral(" RX ") + start); }, 5000)
                .isEmpty();
}

struct Settings {
    QTemporaryDir dir;
    EnvironmentGuard home{"XDG_CONFIG_HOME", dir.path().toLocal8Bit()};
    QString Port() const
    {
        return QSettings(wire::SettingsFilePath(), QSettings::IniFormat).value("link/port").toString();
    }
};
}  // namespace

class PortChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void startUp_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("offers");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("keptAfter");
        const QStringList none;
        QTest::newRow("kept port opens, nothing asked") << ""
                                                        << "sim" << none << 0 << 0 << true << "sim";
        QTest::newRow("kept port missing, pty picked")
            << "" << kMissing << QStringList{"sim"} << 1 << 1 << true << "sim";
        QTest::newRow("missing picked, asked again")
            << "" << kMissing << QStringList{kMissing, "sim"} << 2 << 2 << true << "sim";
        QTest::newRow("offer cancelled") << "" << kMissing << QStringList{"-"} << 1 << 1 << false << kMissing;
        QTest::newRow("QMR4070_PORT wins") << "sim" << kMissing << none << 0 << 0 << true << kMissing;
        QTest::newRow("QMR4070_PORT missing: no offer") << kMissing << "sim" << none << 1 << 0 << false << "sim";
    }

    void startUp()
    {
        QFETCH(QString, environment);
        QFETCH(QString, kept);
        QFETCH(QStringList, choices);
        QFETCH(int, errors);
        QFETCH(int, offers);
        QFETCH(bool, opened);
        QFETCH(QString, keptAfter);
        testing_support::TempDatabase database;
        Settings settings;
        SimProcess sim;
        EnvironmentGuard port("QMR4070_PORT", environment.isEmpty()
                                                  ? std::nullopt
                                                  : std::optional(Resolve(environment, sim).toLocal8Bit()));
        wire::KeepChosenPort(Resolve(kept, sim));
        testing_support::RecordingMessageBoxes boxes;
        for (const QString& choice : choices)
            boxes.choices << (choice == u"-" ? std::nullopt : std::optional(Resolve(choice, sim)));

        WindowSet windows(boxes);
        QCOMPARE(boxes.errors.size(), errors);
        QCOMPARE(boxes.offered.size(), offers);
        if (offers > 0) QVERIFY2(boxes.choiceLabels[0].contains(kMissing), qPrintable(boxes.choiceLabels[0]));
        QCOMPARE(windows.Main().Com->PortOpen(), opened);
        QCOMPARE(settings.Port(), Resolve(keptAfter, sim));
        if (!opened) return;
        // The login's hand-over takes the same port there and back: the meter gets the
        // code and its answer lets the operator in.
        windows.Login().Edit3->setText(QStringLiteral("123456"));
        windows.Login().Button3->click();
        QVERIFY(MeterReceived(sim, QStringLiteral("AB AE 01 02 03 04 05 06 AF")));
        QTRY_VERIFY(windows.Main().isVisible());
        QVERIFY(MeterReceived(sim, QStringLiteral("AB AD")));
        QCOMPARE(boxes.errors.size(), errors);
    }

    void menuItemMovesToAnotherPort()
    {
        testing_support::TempDatabase database;
        Settings settings;
        SimProcess first, second;
        EnvironmentGuard port("QMR4070_PORT", std::nullopt);
        wire::KeepChosenPort(first.PtyPath());
        testing_support::RecordingMessageBoxes boxes;
        WindowSet windows(boxes);
        windows.Login().Edit1->setText(QStringLiteral("582"));
        windows.Login().Button4->click();
        QVERIFY(MeterReceived(first, QStringLiteral("AB AD")));

        boxes.choices << second.PtyPath();
        windows.Main().PortItem->trigger();
        QCOMPARE(settings.Port(), second.PtyPath());
        QVERIFY(MeterReceived(second, QStringLiteral("AB AD")));
        // A port that cannot be opened: its box; it is kept, to be taken once it can be.
        boxes.choices << kMissing;
        windows.Main().PortItem->trigger();
        QCOMPARE(boxes.errors.size(), 1);
        QVERIFY(!windows.Main().Com->PortOpen());
        QCOMPARE(settings.Port(), kMissing);
        QVERIFY(boxes.informed.isEmpty());
    }
};

QTEST_MAIN(PortChoiceTest)
#include "test_port_choice.moc"
