// The program's command line, run as the operator runs it: without a display, the answers
// on the right stream with the right exit code, and no database or port touched. Also Qt's
// own Chinese texts, which every dialog of the program relies on.

#include "application_setup.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("err");
        const QStringList usage{"Usage: qmr4070 [options]", "--help",       "--version",
                                "--archive-status",         "QMR4070_PORT", "QMR4070_DB",
                                "QMR4070_ARCHIVE",          "QMR4070_BENCH"};
        const QString version = QStringLiteral("qmr4070 " QMR4070_VERSION "\n");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QStringList();
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << QStringList();
        QTest::newRow("--version") << QStringList{"--version"} << 0 << QStringList{version} << QStringList();
        QTest::newRow("Qt's own options pass")
            << QStringList{"-platform", "offscreen", "--version"} << 0 << QStringList{version} << QStringList();
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QStringList()
                                        << (QStringList{"qmr4070: Unknown option 'bogus'."} + usage);
        QTest::newRow("stray argument") << QStringList{"stray"} << 2 << QStringList()
                                        << QStringList{"qmr4070: Unexpected argument 'stray'.", "Usage:"};
        // A report's options are refused before any file is looked at.
        const QString statistics = QStringLiteral("qmr4070 --statistics: ");
        QTest::newRow("--date without --statistics") << QStringList{"--date", "2026-12-10"} << 2 << QStringList()
                                                     << QStringList{"qmr4070: --date goes with --statistics."};
        QTest::newRow("--date without a date") << QStringList{"--statistics", "--date"} << 2 << QStringList()
                                               << QStringList{"Missing value after '--date'"};
        QTest::newRow("--operator without --date")
            << QStringList{"--statistics", "--operator", "1001"} << 2 << QStringList()
            << QStringList{statistics + "--sort and --operator search within a date: give --date too"};
        QTest::newRow("limits swapped") << QStringList{"--statistics", "--lsl", "0.103", "--usl", "0.097"} << 2
                                        << QStringList()
                                        << QStringList{statistics + "--lsl 0.103 is not below --usl 0.097"};
        QTest::newRow("limits equal") << QStringList{"--statistics", "--lsl", "0.1", "--usl", "0.1"} << 2
                                      << QStringList() << QStringList{statistics + "--lsl 0.1 is not below --usl 0.1"};
        QTest::newRow("limit not finite") << QStringList{"--statistics", "--usl", "inf"} << 2 << QStringList()
                                          << QStringList{statistics + "--usl: 'inf' is not a number"};
    }
    void answersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        QTemporaryDir dir;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
        environment.insert(QStringLiteral("QMR4070_DB"), dir.filePath(QStringLiteral("data.db")));
        environment.insert(QStringLiteral("QMR4070_PORT"), dir.filePath(QStringLiteral("meter")));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(PROGRAM_PATH), arguments);
        QVERIFY(program.waitForFinished(20000));
        const QString stdOut = QString::fromUtf8(program.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        if (out.isEmpty()) QCOMPARE(stdOut, QString());
        for (const QString& part : out) QVERIFY2(stdOut.contains(part), qPrintable(part + " in:\n" + stdOut));
        if (err.isEmpty()) QCOMPARE(stdErr, QString());
        for (const QString& part : err) QVERIFY2(stdErr.contains(part), qPrintable(part + " in:\n" + stdErr));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("data.db"))));
    }

    // The file dialogs and the standard buttons read Qt's own texts in Chinese.
    void qtSpeaksChinese()
    {
        QVERIFY(app::LoadQtTranslations(*QCoreApplication::instance()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
