// The record file under everything a user can do to it while the program records: the file
// deleted alone or with its log, its folder removed, a backup moved over it, deleted again,
// deleted while the archive holds it, the program ended soon after. Every reading ends up
// exactly once in a sound file (or, where none can be written, in the list of unsaved
// readings), and a file moved in is left as it was. Reports read the file and never write.

#include "database_watch.h"
#include "environment_guard.h"
#include "limit_log.h"
#include "measurement_recorder.h"
#include "record_store.h"
#include "statistics_command.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

namespace {

enum class Loss { MainFileOnly, AllThree, Folder, FolderBlocked, BackupMovedIn, TwiceInARow };
enum class Then { WriteBack, WriteBackDuringHandOver, ExitSoon, ExitDuringHandOver };

QByteArray Sha256(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

// Opens `path` as any SQLite user would (applying a log found beside it) and reads it.
struct FileCheck {
    QString integrity;
    QList<int> numbers;
};
FileCheck Inspect(const QString& path)
{
    FileCheck check;
    const QString name = QStringLiteral("inspect");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(QStringLiteral("PRAGMA integrity_check")) || !query.next()) {
            check.integrity = db.lastError().text() + query.lastError().text();
        } else {
            check.integrity = query.value(0).toString();
            query.exec(QStringLiteral(R"(SELECT "编号" FROM data ORDER BY id)"));
            while (query.next()) check.numbers << query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return check;
}

struct Recording {
    QTemporaryDir top;
    testing_support::EnvironmentGuard temp{"TMPDIR", top.filePath(QStringLiteral("tmp")).toLocal8Bit()};
    QString folder = top.filePath(QStringLiteral("qmr4070"));
    QString path = folder + QStringLiteral("/data.db");
    std::unique_ptr<records::RecordStore> store = std::make_unique<records::RecordStore>(path);
    std::unique_ptr<records::MeasurementRecorder> recorder = std::make_unique<records::MeasurementRecorder>(*store);
    std::unique_ptr<DatabaseWatch> watch = std::make_unique<DatabaseWatch>(*store, *recorder);
    int taken = 0;

    Recording() { QDir().mkpath(top.filePath(QStringLiteral("tmp"))); }
    // Each committed on its own, as readings arrive; `batched` are committed together.
    void Take(int count, bool batched = false)
    {
        if (batched) recorder->Hold();
        for (int i = 0; i < count; ++i, ++taken)
            recorder->Append({QStringLiteral("A07"), QStringLiteral("2026-12-11"), QStringLiteral("R"),
                              QStringLiteral("%1mΩ").arg(10 + taken % 50), QStringLiteral("PASS"),
                              QDateTime::currentDateTime()});
        if (batched) {
            recorder->Release();
            while (!recorder->Flush()) {}
        }
    }
    void End()
    {
        watch.reset();
        recorder.reset();
        store.reset();
    }
};

// A record file of its own elsewhere, closed, as a backup is.
QString MakeBackup(const QString& folder)
{
    const QString path = folder + QStringLiteral("/backup.db");
    records::RecordStore backup(path);
    for (int i = 0; i < 10; ++i)
        backup.Append({9000 + i, QStringLiteral("B"), QStringLiteral("2026-12-01"), QStringLiteral("R"),
                       QStringLiteral("1Ω"), QStringLiteral("PASS"), QDateTime::currentDateTime()});
    return path;
}

}  // namespace

class RecordFileSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void everyReadingOnceInASoundFile_data()
    {
        QTest::addColumn<Loss>("loss");
        QTest::addColumn<Then>("then");
        QTest::newRow("main file only") << Loss::MainFileOnly << Then::WriteBack;
        QTest::newRow("all three files") << Loss::AllThree << Then::WriteBack;
        QTest::newRow("folder") << Loss::Folder << Then::WriteBack;
        QTest::newRow("backup moved over the path") << Loss::BackupMovedIn << Then::WriteBack;
        QTest::newRow("deleted twice in a row") << Loss::TwiceInARow << Then::WriteBack;
        QTest::newRow("deleted, the archive holding it") << Loss::MainFileOnly << Then::WriteBackDuringHandOver;
        QTest::newRow("exit soon after a deletion") << Loss::MainFileOnly << Then::ExitSoon;
        QTest::newRow("exit during the hand-over") << Loss::AllThree << Then::ExitDuringHandOver;
        QTest::newRow("folder gone for good, then exit") << Loss::FolderBlocked << Then::ExitSoon;
    }
    void everyReadingOnceInASoundFile()
    {
        QFETCH(Loss, loss);
        QFETCH(Then, then);
        Recording bench;
        const bool handOver = then == Then::WriteBackDuringHandOver || then == Then::ExitDuringHandOver;
        QStringList placed;
        connect(bench.watch.get(), &DatabaseWatch::WrittenBack, this,
                [&](const QString&, const QString& now) { placed << now; });
        // A forwarder inside a stalled server call never lets go.
        if (handOver) bench.watch->SetOtherHolder([] {}, [] { return false; }, [](const QString&) {});
        bench.Take(1500, true);
        bench.Take(20);
        const QString backup = loss == Loss::BackupMovedIn ? MakeBackup(bench.top.path()) : QString();
        const QByteArray backupSum = backup.isEmpty() ? QByteArray() : Sha256(backup);
        const auto lose = [&] {
            switch (loss) {
            case Loss::MainFileOnly:
            case Loss::TwiceInARow: QFile::remove(bench.path); break;
            case Loss::AllThree:
                for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(bench.path + suffix);
                break;
            case Loss::Folder: QDir(bench.folder).removeRecursively(); break;
            case Loss::FolderBlocked:
                QDir(bench.folder).removeRecursively();
                QFile(bench.folder).open(QIODevice::WriteOnly);  // a file where the folder was
                break;
            case Loss::BackupMovedIn: std::filesystem::rename(backup.toStdString(), bench.path.toStdString()); break;
            }
        };
        lose();
        bench.Take(20);  // committed into the lost file, before anyone looks
        if (then == Then::ExitSoon) {
            bench.End();
        } else {
            bench.watch->Check();
            bench.Take(20);
            if (then == Then::ExitDuringHandOver) {
                bench.End();
            } else {
                QTRY_COMPARE_WITH_TIMEOUT(placed.size(), 1, 5000);
                // Back at its own path unless another file had taken it.
                QCOMPARE(placed[0] == bench.path, loss != Loss::BackupMovedIn);
                if (loss == Loss::TwiceInARow) {
                    lose();
                    bench.Take(20);
                    bench.watch->Check();
                    QCOMPARE(placed.size(), 2);
                }
                bench.Take(20);
                bench.End();
            }
        }

        QList<int> numbers;
        for (QDirIterator it(bench.top.path(), {QStringLiteral("*.db")}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString file = it.next();
            const FileCheck check = Inspect(file);
            QVERIFY2(check.integrity == u"ok", qPrintable(file + QStringLiteral(": ") + check.integrity));
            if (file == bench.path && !backup.isEmpty()) {
                QCOMPARE(Sha256(file), backupSum);
                QVERIFY(!QFileInfo::exists(file + QStringLiteral("-wal")));
            } else {
                numbers << check.numbers;
            }
        }
        for (QDirIterator it(bench.top.path(), {QStringLiteral("unsaved-*.txt")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile list(it.next());
            QVERIFY(list.open(QIODevice::ReadOnly));
            for (const QByteArray& line : list.readAll().split('\n'))
                if (!line.isEmpty()) numbers << line.split('\t').value(0).toInt();
        }
        std::sort(numbers.begin(), numbers.end());
        QList<int> expected(bench.taken);
        std::iota(expected.begin(), expected.end(), 1);
        QCOMPARE(numbers, expected);
    }

    // Readings that waited go in before any later one, whatever frees the file.
    void waitingReadingsKeepTheirOrder()
    {
        Recording bench;
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        const auto drop = qScopeGuard([] { QSqlDatabase::removeDatabase(QStringLiteral("other")); });
        other.setDatabaseName(bench.path);
        QVERIFY(other.open());
        {
            QSqlQuery lock(other);
            QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
            bench.Take(3);
            QCOMPARE(bench.recorder->Waiting(), 3);
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        }
        bench.Take(1);  // before the retry has run
        QTRY_COMPARE(bench.recorder->Waiting(), 0);
        other.close();
        bench.End();
        QCOMPARE(Inspect(bench.path).numbers, (QList<int>{1, 2, 3, 4}));
    }

    // Another program holding the write lock at start-up does not stop the recording.
    void startsWhileAnotherProgramWrites()
    {
        Recording first;
        first.Take(1);
        first.End();
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        const auto drop = qScopeGuard([] { QSqlDatabase::removeDatabase(QStringLiteral("other")); });
        other.setDatabaseName(first.path);
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        records::RecordStore store(first.path);
        QCOMPARE(store.SelectIds().size(), 1);
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        store.Append({2, {}, {}, QStringLiteral("R"), QStringLiteral("1Ω"), QStringLiteral("PASS"), {}});
        QCOMPARE(store.SelectIds().size(), 2);
        lock.finish();
        other.close();
    }

    // The meter's limits, reported while the file is deleted, go into the records' own file:
    // never into a new file at the path, beside the old one's log.
    void limitsNotedWhileDeletedMakeNoFile()
    {
        Recording bench;
        bench.Take(2);
        QVERIFY(QFile::remove(bench.path));
        records::NoteLimits(*bench.store, {{QStringLiteral("R"), 9.9, 10.1, 10}}, QDateTime::currentDateTime());
        QVERIFY(!QFile::exists(bench.path));
        QSqlQuery rows(QSqlDatabase::database(bench.store->ConnectionName()));
        QVERIFY(rows.exec(QStringLiteral("SELECT count(*) FROM limit_log")) && rows.next());
        QCOMPARE(rows.value(0).toInt(), 1);
    }

    // The report leaves every byte of the file as it was and never waits on the program
    // that records into it.
    void reportNeverWrites_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rollback journal") << "journal";
        QTest::newRow("older file") << "older";
        QTest::newRow("read-only file") << "read-only";
        QTest::newRow("write lock held") << "locked";
    }
    void reportNeverWrites()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("data.db"));
        const bool readOnly = kind == u"read-only";
        if (readOnly &&
            QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=1m", "tmpfs", dir.path()}) != 0)
            QSKIP("a read-only file system needs mount (root)");
        const auto unmount = qScopeGuard([&] {
            if (readOnly) QProcess::execute(QStringLiteral("umount"), {dir.path()});
        });
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery make(db);
            const QString columns =
                kind == u"older" ? QString() : QStringLiteral(", id INTEGER PRIMARY KEY, value REAL");
            QVERIFY(
                make.exec(QStringLiteral(R"(CREATE TABLE data ("编号" INTEGER, "工号" TEXT, "日期" TEXT, "符号" TEXT, )"
                                         R"("测试数据" TEXT, "分选结果" TEXT%1))")
                              .arg(columns)));
            for (int i = 1; i <= 40; ++i)
                QVERIFY(make.exec(
                    QStringLiteral("INSERT INTO data VALUES (%1, 'A', '2026-12-11', 'R', '%2mΩ', 'PASS'%3)")
                        .arg(i)
                        .arg(10 + i % 3)
                        .arg(kind == u"older" ? QString() : QStringLiteral(", NULL, %1").arg((10 + i % 3) / 1000.0))));
            if (kind == u"locked") QVERIFY(make.exec(QStringLiteral("PRAGMA journal_mode=WAL")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make"));
        if (readOnly) QCOMPARE(QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", dir.path()}), 0);
        QSqlDatabase writer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
        const auto drop = qScopeGuard([] { QSqlDatabase::removeDatabase(QStringLiteral("writer")); });
        writer.setDatabaseName(path);
        QSqlQuery lock(writer);
        if (kind == u"locked") {
            QVERIFY(writer.open());
            QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
            QVERIFY(lock.exec(QStringLiteral("INSERT INTO data (\"编号\") VALUES (99)")));
        }
        const QByteArray before = Sha256(path);
        QString printed, complaints;
        QTextStream out(&printed), err(&complaints);
        QCOMPARE(stats::RunStatisticsCommand({QStringLiteral("--statistics")}, path, out, err), 0);
        QVERIFY2(printed.contains(QStringLiteral("40")), qPrintable(printed));
        QCOMPARE(Sha256(path), before);
        QCOMPARE(complaints.contains(QStringLiteral("older version")), kind == u"older");
        lock.finish();
        writer.close();
    }
};

QTEST_MAIN(RecordFileSafetyTest)
#include "test_record_file_safety.moc"
