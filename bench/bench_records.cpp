// Records at scale: the whole path from the pseudo-terminal to a committed record shown
// by the grid's model, on an empty and a 1,000,000-record table, beside SQLite's own
// rate of one committed insert at a time; start-up, End, "删除" and "清空" on the big table.
// Usage: bench_records [FILLED_DB]  (a copy of FILLED_DB is used; without one, the fill
// tool's way of writing is repeated here: qmr4070-fill --db FILE 1000000)

#include "bench_program.h"
#include "login_window.h"
#include "main_window.h"
#include "message_boxes.h"
#include "radio_group.h"
#include "record_grid.h"
#include "record_table.h"
#include "window_set.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cstdio>

namespace {

double RawInsertRate(const QString& path, int inserts)
{
    double rate = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, a INTEGER, b TEXT, c TEXT)"));
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < inserts; ++i) {
            q.prepare(QStringLiteral("INSERT INTO t (a, b, c) VALUES (?, ?, ?)"));
            q.addBindValue(i);
            q.addBindValue(QStringLiteral("2026-12-09"));
            q.addBindValue(QStringLiteral("100.12mΩ"));
            q.exec();
        }
        rate = inserts / (Ms(timer) / 1000);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return rate;
}

struct Program : BenchProgram {
    using BenchProgram::BenchProgram;
    void ShowMain()
    {
        Main().show();
        QApplication::processEvents();
    }
    // Reports through the line until the grid's model shows the last one's record.
    double RecordRate(int frames)
    {
        Main().RadioGroup7->SetItemIndex(0);
        const int target = Main().RecordGrid1->Model().rowCount() + frames;
        QByteArray stream;
        for (int i = 0; i < frames; ++i) stream += Frame(i);
        QElapsedTimer timer;
        timer.start();
        qsizetype at = 0;
        while (Main().RecordGrid1->Model().rowCount() < target) {
            WriteSome(stream, at);
            QApplication::processEvents();
            Drain();
            if (at >= stream.size() && Main().Table1->RecordCount() >= target) Main().RecordGrid1->Model().Flush();
        }
        return frames / (Ms(timer) / 1000);
    }
};

long PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.db"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_records FILLED_DB (from qmr4070-fill --db FILE 1000000)\n");
        return 2;
    }
    QFile::copy(QString::fromLocal8Bit(argv[1]), big);
    const int frames = 300;

    {
        // Start-up first, so the peak memory is the big table's.
        QElapsedTimer timer;
        timer.start();
        Program program(big);
        program.ShowMain();
        program.Main().RecordGrid1->viewport()->repaint();
        const double startMs = Ms(timer);
        std::printf("start-up with %d records to the grid's rows: %.0f ms, peak RSS %ld MB\n",
                    program.Main().Table1->RecordCount(), startMs, PeakRssMb());

        grid::TRecordGrid& grid = *program.Main().RecordGrid1;
        grid.setFocus();
        timer.restart();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
        QApplication::sendEvent(&grid, &end);
        grid.viewport()->repaint();
        std::printf("End on %d records: %.1f ms (now on 编号 %s)\n", grid.Model().rowCount(), Ms(timer),
                    qPrintable(program.Main().Table1->Value(0).toString()));

        const double bigRate = program.RecordRate(frames);
        QList<records::Bookmark> bookmarks = program.Main().Table1->Bookmarks();
        for (int i = 0; i < 1000; ++i) grid.SelectedRowList().Add(bookmarks[i * 997]);
        timer.restart();
        program.Main().Button3->click();
        grid.viewport()->repaint();
        std::printf("删除 of 1000 scattered selected records: %.0f ms\n", Ms(timer));

        const int before = program.Main().Table1->RecordCount();
        timer.restart();
        program.Main().Button7->click();
        grid.viewport()->repaint();
        std::printf("清空 of %d records: %.0f ms\n", before, Ms(timer));

        Program empty(dir.filePath(QStringLiteral("empty.db")));
        empty.ShowMain();
        const double emptyRate = empty.RecordRate(frames);
        const double raw = RawInsertRate(dir.filePath(QStringLiteral("raw.db")), frames);
        std::printf("records/s through the whole path: empty table %.0f, 1M table %.0f; raw committed inserts %.0f/s\n",
                    emptyRate, bigRate, raw);
        std::printf("ratios: empty/raw %.2f, 1M/raw %.2f, empty/1M %.2f\n", emptyRate / raw, bigRate / raw,
                    emptyRate / bigRate);
        if (program.boxes.shown + empty.boxes.shown) std::fprintf(stderr, "boxes shown during the run\n");
    }
    return 0;
}
