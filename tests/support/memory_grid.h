#pragma once
// A dataset held in memory and a grid over it with a settable visible window: enough to
// drive the export walk and the writer without a database or a window.

#include "custom_record_grid.h"
#include "platform_error.h"

#include <QVariantList>

namespace testing_support {

class MemoryDataset : public records::Dataset {
public:
    QList<records::FieldDef> fields;
    QList<QVariantList> rows;
    bool active = true;
    int failReadingRow = -1;  // reading a value of this row throws

    MemoryDataset(QList<records::FieldDef> defs, QList<QVariantList> data)
        : fields(std::move(defs)), rows(std::move(data))
    {
    }

    bool Active() const override { return active; }
    const QList<records::FieldDef>& Fields() const override { return fields; }
    int RecordCount() const override { return int(rows.size()); }
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
        if (rows.isEmpty()) return {};
        if (current_ == failReadingRow) throw PlatformError(QStringLiteral("read failed"));
        return rows[current_][field];
    }
    QList<records::Bookmark> Bookmarks() const override
    {
        QList<records::Bookmark> list;
        for (int i = 0; i < RecordCount(); ++i) list << i + 1;
        return list;
    }
    QVariant BookmarkValue(records::Bookmark bookmark, int field) const override
    {
        return rows.value(int(bookmark - 1)).value(field);
    }
    // Bookmarks are the row number + 1.
    records::Bookmark GetBookmark() const override { return rows.isEmpty() ? 0 : current_ + 1; }
    void GotoBookmark(records::Bookmark bookmark) override
    {
        if (bookmark < 1 || bookmark > RecordCount()) throw PlatformError(QStringLiteral("no such record"));
        Place(int(bookmark - 1));
    }
    int CompareBookmarks(records::Bookmark a, records::Bookmark b) const override
    {
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    bool CanModify() const override { return false; }
    void Delete() override { throw PlatformError(QStringLiteral("read-only")); }
    int Current() const { return current_; }

private:
    void Place(int row)
    {
        current_ = std::clamp(row, 0, std::max(0, RecordCount() - 1));
        eof_ = rows.isEmpty();
    }
    int current_ = 0;
    bool eof_ = false;
};

// A grid whose visible window starts at record `top` and shows `window` records.
class MemoryGrid : public grid::TCustomRecordGrid {
public:
    int top = 0;
    int window = 0;
    explicit MemoryGrid(MemoryDataset& dataSet) : dataSet_(dataSet) { SetDataSet(&dataSet); }

protected:
    int VisibleRecordCount() const override { return window; }
    int CurrentVisibleRow() const override { return dataSet_.Current() - top; }

private:
    MemoryDataset& dataSet_;
};

inline records::FieldDef Field(const QString& name, records::TFieldType type)
{
    records::FieldDef field;
    field.name = name;
    field.type = type;
    return field;
}

}  // namespace testing_support
