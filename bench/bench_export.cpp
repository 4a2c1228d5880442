// Saving 65,535 measurement records from the record table as .xls, against writing the same
// bytes with one buffered write; and the peak memory of the save. Prints medians of a few
// runs. Linux: the peak comes from /proc/self/status after resetting it.

#include "custom_record_grid.h"
#include "platform_error.h"
#include "record_store.h"
#include "record_table.h"
#include "xls_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 65535;
constexpr int kRuns = 5;

class HiddenGrid : public grid::TCustomRecordGrid {
protected:
    int VisibleRecordCount() const override { return 0; }
    int CurrentVisibleRow() const override { return 0; }
};

// Records written in one transaction into a file the store made.
void Fill(const QString& path)
{
    records::RecordStore{path};
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
    db.setDatabaseName(path);
    if (!db.open()) throw PlatformError(db.lastError().text());
    QSqlQuery query(db);
    db.transaction();
    query.prepare(
        "INSERT INTO data (编号, 工号, 日期, 符号, 测试数据, 分选结果, taken_at) VALUES (?, ?, ?, ?, ?, ?, 0)");
    const char* sorts[] = {"合格", "偏高", "偏低"};
    for (int i = 1; i <= kRecords; ++i) {
        query.addBindValue(i);
        query.addBindValue(QStringLiteral("A0017"));
        query.addBindValue(QStringLiteral("2024-03-05"));
        query.addBindValue(QStringLiteral("R"));
        query.addBindValue(QStringLiteral("%1mΩ").arg(10.0 + (i % 1000) / 1000.0, 0, 'f', 4));
        query.addBindValue(QString::fromUtf8(sorts[i % 3]));
        query.exec();
    }
    db.commit();
    db.close();
}

long StatusKilobytes(const char* key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(int(strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.db");
    Fill(path);
    QSqlDatabase::removeDatabase("fill");
    records::RecordStore store(path);
    records::RecordTable table(store);
    HiddenGrid grid;
    grid.SetDataSet(&table);
    const QString target = dir.filePath("records.xls");

    std::vector<double> saves;
    std::vector<double> writes;
    std::vector<double> reads;
    long peakDelta = 0;
    for (int run = 0; run < kRuns; ++run) {
        QFile clear("/proc/self/clear_refs");  // "5" resets the peak resident size
        if (clear.open(QIODevice::WriteOnly)) clear.write("5");
        clear.close();
        const long before = StatusKilobytes("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        grid::SaveGridToExportFile(grid::ExportClass<grid::TGridExportAsXLS>(), grid, target, true);
        saves.push_back(timer.nsecsElapsed() / 1e6);
        peakDelta = std::max(peakDelta, StatusKilobytes("VmHWM:") - before);

        QFile saved(target);
        saved.open(QIODevice::ReadOnly);
        const QByteArray bytes = saved.readAll();
        timer.restart();
        QFile copy(dir.filePath("copy.xls"));
        copy.open(QIODevice::WriteOnly);
        copy.write(bytes);
        copy.close();
        writes.push_back(timer.nsecsElapsed() / 1e6);

        // The part of a save that is reading the table: every value and display text once.
        timer.restart();
        qint64 seen = 0;
        for (table.First(); !table.Eof(); table.Next())
            for (int field = 0; field < 6; ++field) seen += table.DisplayText(field).size();
        reads.push_back(timer.nsecsElapsed() / 1e6);
        if (seen == 0) return 1;
    }
    const double save = Median(saves);
    const double write = Median(writes);
    std::printf("records %d, file %lld bytes\n", kRecords, static_cast<long long>(QFile(target).size()));
    std::printf("save median %.1f ms, one buffered write median %.1f ms, ratio %.1f\n", save, write, save / write);
    std::printf("of the save, reading the table alone: median %.1f ms; the rest %.1f ms, %.1f x the write\n",
                Median(reads), save - Median(reads), (save - Median(reads)) / write);
    std::printf("peak resident growth during a save: %ld KiB\n", peakDelta);
    return 0;
}
