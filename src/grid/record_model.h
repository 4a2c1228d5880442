#pragma once
// A table model over a dataset: one row per record (its bookmark held as Qt::UserRole),
// one column per grid column. Rows are drawn by bookmark from the dataset's page cache;
// the model keeps only the ordered bookmarks. Appends arriving at full rate are announced
// in batches a few times a second; deletions and resets at once.

#include "grid_columns.h"

#include <QAbstractTableModel>
#include <QTimer>

namespace grid {

class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordModel(QObject* parent = nullptr);

    // Follows this dataset (or none), showing these columns.
    void SetDataSet(records::Dataset* dataSet);
    void SetColumns(const TGridColumnList& columns);
    const TGridColumnList& Columns() const { return columns_; }
    // Announces the appends still held back.
    void Flush();

    records::Bookmark BookmarkAt(int row) const { return rows_.value(row, 0); }
    // The row of a bookmark, -1 when the model shows no such record.
    int RowOf(records::Bookmark bookmark);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void Reset();
    void Appended(records::Bookmark bookmark);
    void Deleted(const QList<records::Bookmark>& bookmarks);
    void CurrentMoved();

    records::Dataset* dataSet_ = nullptr;
    TGridColumnList columns_;
    QList<records::Bookmark> rows_;
    QList<records::Bookmark> pending_;
    QTimer batch_;
    records::Bookmark current_ = 0;
};

}  // namespace grid
