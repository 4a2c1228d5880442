// The program itself killed while the simulator triggers as fast as it can: on reopening,
// every record the program had committed (so every reading it had handled before the one
// in hand) is there, numbered without a gap, and the file is sound.

#include "record_table.h"
#include "sim_process.h"
#include "temp_database.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <csignal>

class RecordsDurableTest : public QObject {
    Q_OBJECT
private slots:
    void killedWhileRecording()
    {
        testing_support::TempDatabase database;
        SimProcess sim({QStringLiteral("--state"), QStringLiteral("trigger=ext"), QStringLiteral("--trigger-every"),
                        QStringLiteral("0.002")});
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QMR4070_PORT"), sim.PtyPath());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qmr4070.records.debug=true"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(PROGRAM_PATH));
        QVERIFY(program.waitForStarted(5000));

        // The switch panel learns "外" from a status report, then every reading is recorded.
        QStringList committed;
        QByteArray log;
        QElapsedTimer waited;
        waited.start();
        while (committed.size() < 200 && waited.elapsed() < 30000) {
            if (waited.elapsed() > 500 && committed.isEmpty()) sim.Command(QStringLiteral("status"));
            sim.WaitForLine([](const QString&) { return false; }, 50);
            program.waitForReadyRead(50);
            log += program.readAllStandardError();
            committed.clear();
            for (const QByteArray& line : log.split('\n'))
                if (line.contains("committed record")) committed << QString::fromUtf8(line).section(u' ', -3, -3);
        }
        QVERIFY2(committed.size() >= 200, log.right(2000).constData());
        ::kill(pid_t(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(5000));
        log += program.readAllStandardError();
        committed.clear();
        for (const QByteArray& line : log.split('\n'))
            if (line.contains("committed record")) committed << QString::fromUtf8(line).section(u' ', -3, -3);

        records::RecordStore store(database.path);
        records::RecordTable table(store);
        QStringList stored;
        for (table.First(); !table.Eof(); table.Next()) stored << table.Value(0).toString();
        QVERIFY(stored.size() >= committed.size());
        for (int i = 0; i < stored.size(); ++i) QCOMPARE(stored[i], QString::number(i + 1));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(database.path);
        QVERIFY(db.open());
        QSqlQuery check(db);
        QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(RecordsDurableTest)
#include "test_records_durable.moc"
