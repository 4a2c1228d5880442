// The program and the simulated meter in their own processes: a second copy on the
// same port is told it is in use, and SIGTERM ends a run cleanly, leaving no lock file.

#include "login_window.h"
#include "main_window.h"
#include "pty_pair.h"
#include "recording_boxes.h"
#include "serial_control.h"
#include "sim_process.h"
#include "window_set.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
struct Bench {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("meter"));
    SimProcess sim{{QStringLiteral("--link"), link, QStringLiteral("--slow-ms"), QStringLiteral("200")}};
    testing_support::EnvironmentGuard port{"QMR4070_PORT", link.toLocal8Bit()};
    testing_support::RecordingMessageBoxes boxes;
    std::unique_ptr<WindowSet> windows;

    explicit Bench(bool withWindows = true)
    {
        if (withWindows) windows = std::make_unique<WindowSet>(boxes);
    }
    TForm1& main() { return windows->Main(); }
    void AdministratorLogin()
    {
        windows->Login().Edit1->setText(QStringLiteral("582"));
        windows->Login().Button4->click();
    }
    // The program itself, on the same port, the errors it shows in its output.
    std::unique_ptr<QProcess> StartProgram()
    {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qmr4070.app.info=true"));
        program->setProcessEnvironment(environment);
        program->setProcessChannelMode(QProcess::MergedChannels);
        program->start(QStringLiteral(QMR4070_PATH), QStringList{});
        return program;
    }
    // Qt's lock file for the link, in whichever lock folder Qt chose.
    QString LockFile() const
    {
        const QString name = QDir(dir.path()).dirName();
        for (const QString& folder :
             {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
              QStringLiteral("/var/spool/uucp"), QDir::tempPath()})
            for (const QString& entry : QDir(folder).entryList({QStringLiteral("LCK..*")}, QDir::Files | QDir::System))
                if (entry.contains(name)) return QDir(folder).filePath(entry);
        return {};
    }
};

bool ReadingShown(TForm1& w) { return !w.Label5->text().trimmed().isEmpty() && !w.Label4->text().isEmpty(); }
}  // namespace

class LostMeterProgramTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyOnTheSamePortIsToldItIsInUse()
    {
        Bench bench;
        TForm1& w = bench.main();
        bench.AdministratorLogin();
        QTRY_VERIFY_WITH_TIMEOUT(ReadingShown(w), 5000);

        const auto second = bench.StartProgram();
        QByteArray said;
        while (!said.contains("in use by another program") && second->waitForReadyRead(10000))
            said += second->readAll();
        second->kill();
        second->waitForFinished();
        QVERIFY2(said.contains("in use by another program"), said.constData());

        // The first copy goes on measuring.
        w.Label5->setText(QStringLiteral("waiting"));
        QTRY_VERIFY_WITH_TIMEOUT(w.Label5->text() != u"waiting", 5000);
        QVERIFY(w.Com->PortOpen());
        QVERIFY(bench.boxes.errors.isEmpty());
    }

    void sigtermEndsTheRunAndFreesThePort()
    {
        Bench bench(false);
        const auto program = bench.StartProgram();
        QTRY_VERIFY_WITH_TIMEOUT(!bench.LockFile().isEmpty(), 5000);
        QVERIFY(!bench.sim.WaitForLine([](const QString& l) { return l.contains(u" TX "); }).isEmpty());
        program->terminate();
        QVERIFY(program->waitForFinished(5000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
        QCOMPARE(bench.LockFile(), QString());
    }
};

QTEST_MAIN(LostMeterProgramTest)
#include "test_lost_meter_program.moc"
