// Saving 65,535 measurement records from a SQLite file as .xls, against writing the same
// bytes with one buffered write; and the peak memory of the save. Prints medians of a few
// runs. Linux: the peak comes from /proc/self/status after resetting it.

#include "custom_record_grid.h"
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
constexpr int kPage = 1000;
constexpr int kRuns = 5;

// The record table read as the grids read it: the keys in memory, rows a page at a time.
class PagedTable : public records::Dataset {
public:
    explicit PagedTable(QSqlDatabase db) : db_(db)
    {
        for (const char* name : {"编号", "工号", "日期", "符号", "测试数据", "分选结果"}) {
            records::FieldDef field;
            field.name = QString::fromUtf8(name);
            field.type = fields_.isEmpty() ? records::TFieldType::ftInteger : records::TFieldType::ftString;
            fields_ << field;
        }
        QSqlQuery keys(db_);
        keys.exec("SELECT id FROM data ORDER BY id");
        while (keys.next()) keys_.push_back(keys.value(0).toLongLong());
    }
    bool Active() const override { return true; }
    const QList<records::FieldDef>& Fields() const override { return fields_; }
    int RecordCount() const override { return int(keys_.size()); }
    void First() override { Place(0); }
    void Last() override { Place(RecordCount() - 1); }
    void Next() override
    {
        if (current_ + 1 < RecordCount())
            Place(current_ + 1);
        else
            eof_ = true;
    }
    void Prior() override { Place(current_ - 1); }
    int MoveBy(int distance) override
    {
        const int from = current_;
        Place(current_ + distance);
        return current_ - from;
    }
    bool Eof() const override { return eof_; }
    bool Bof() const override { return current_ == 0; }
    QVariant Value(int field) const override
    {
        if (keys_.empty()) return {};
        if (current_ < pageStart_ || current_ >= pageStart_ + int(page_.size())) ReadPage();
        return page_[size_t(current_ - pageStart_)][size_t(field)];
    }
    QList<records::Bookmark> Bookmarks() const override { return {keys_.begin(), keys_.end()}; }
    QVariant BookmarkValue(records::Bookmark, int) const override { return {}; }  // the walk reads by cursor
    records::Bookmark GetBookmark() const override { return keys_.empty() ? 0 : keys_[size_t(current_)]; }
    void GotoBookmark(records::Bookmark bookmark) override
    {
        Place(int(std::lower_bound(keys_.begin(), keys_.end(), bookmark) - keys_.begin()));
    }
    int CompareBookmarks(records::Bookmark a, records::Bookmark b) const override
    {
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    bool CanModify() const override { return false; }
    void Delete() override {}

private:
    void Place(int row)
    {
        current_ = std::clamp(row, 0, std::max(0, RecordCount() - 1));
        eof_ = keys_.empty();
    }
    void ReadPage() const
    {
        page_.clear();
        pageStart_ = current_;
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        query.prepare("SELECT 编号, 工号, 日期, 符号, 测试数据, 分选结果 FROM data WHERE id >= ? ORDER BY id LIMIT ?");
        query.addBindValue(keys_[size_t(current_)]);
        query.addBindValue(kPage);
        query.exec();
        while (query.next()) {
            std::vector<QVariant> row;
            for (int i = 0; i < 6; ++i) row.push_back(query.value(i));
            page_.push_back(std::move(row));
        }
    }

    QSqlDatabase db_;
    QList<records::FieldDef> fields_;
    std::vector<qint64> keys_;
    int current_ = 0;
    bool eof_ = false;
    mutable int pageStart_ = 0;
    mutable std::vector<std::vector<QVariant>> page_;
};

class HiddenGrid : public grid::TCustomRecordGrid {
protected:
    int VisibleRecordCount() const override { return 0; }
    int CurrentVisibleRow() const override { return 0; }
};

void Fill(QSqlDatabase db)
{
    QSqlQuery query(db);
    query.exec(
        "CREATE TABLE data (id INTEGER PRIMARY KEY AUTOINCREMENT, 编号 INTEGER, 工号 TEXT, 日期 TEXT, 符号 TEXT, "
        "测试数据 TEXT, 分选结果 TEXT)");
    db.transaction();
    query.prepare("INSERT INTO data (编号, 工号, 日期, 符号, 测试数据, 分选结果) VALUES (?, ?, ?, ?, ?, ?)");
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
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
    db.setDatabaseName(dir.filePath("data.db"));
    if (!db.open()) return std::printf("cannot open %s\n", qPrintable(db.lastError().text())), 1;
    Fill(db);
    PagedTable table(db);
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
