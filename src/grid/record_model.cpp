#include "record_model.h"

#include <algorithm>

namespace grid {

namespace {
constexpr int kBatchMs = 200;
// Past this many separate runs one layout change is cheaper than a removal per run.
constexpr int kMostRemovalRuns = 16;
}  // namespace

RecordModel::RecordModel(QObject* parent) : QAbstractTableModel(parent)
{
    batch_.setSingleShot(true);
    batch_.setInterval(kBatchMs);
    connect(&batch_, &QTimer::timeout, this, &RecordModel::Flush);
}

void RecordModel::SetDataSet(records::Dataset* dataSet)
{
    if (dataSet_) disconnect(dataSet_, nullptr, this, nullptr);
    dataSet_ = dataSet;
    if (dataSet_) {
        connect(dataSet_, &records::Dataset::RecordAppended, this, &RecordModel::Appended);
        connect(dataSet_, &records::Dataset::RecordsDeleted, this, &RecordModel::Deleted);
        connect(dataSet_, &records::Dataset::AllDeleted, this, &RecordModel::Reset);
        connect(dataSet_, &records::Dataset::DatasetReset, this, &RecordModel::Reset);
        connect(dataSet_, &records::Dataset::CurrentChanged, this, &RecordModel::CurrentMoved);
        connect(dataSet_, &records::Dataset::ControlsResumed, this, &RecordModel::CurrentMoved);
    }
    Reset();
}

void RecordModel::SetColumns(const TGridColumnList& columns)
{
    beginResetModel();
    columns_ = columns;
    endResetModel();
}

void RecordModel::Reset()
{
    beginResetModel();
    pending_.clear();
    batch_.stop();
    rows_ = dataSet_ ? dataSet_->Bookmarks() : QList<records::Bookmark>();
    current_ = dataSet_ ? dataSet_->GetBookmark() : 0;
    endResetModel();
}

void RecordModel::Appended(records::Bookmark bookmark)
{
    pending_ << bookmark;
    if (!batch_.isActive()) batch_.start();
}

void RecordModel::Flush()
{
    batch_.stop();
    if (pending_.isEmpty()) return;
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + pending_.size() - 1));
    rows_ << pending_;
    pending_.clear();
    endInsertRows();
}

int RecordModel::RowOf(records::Bookmark bookmark)
{
    Flush();
    const auto it = std::lower_bound(
        rows_.begin(), rows_.end(), bookmark,
        [this](records::Bookmark a, records::Bookmark b) { return dataSet_->CompareBookmarks(a, b) < 0; });
    return it != rows_.end() && *it == bookmark ? int(it - rows_.begin()) : -1;
}

void RecordModel::Deleted(const QList<records::Bookmark>& bookmarks)
{
    QList<int> gone;
    for (records::Bookmark bookmark : bookmarks)
        if (const int row = RowOf(bookmark); row >= 0) gone << row;
    std::sort(gone.begin(), gone.end());
    // Runs of neighbouring rows, each removed in one step, the last run first.
    QList<std::pair<int, int>> runs;
    for (int row : gone) {
        if (!runs.isEmpty() && runs.back().second + 1 == row)
            runs.back().second = row;
        else
            runs.append({row, row});
    }
    if (runs.size() <= kMostRemovalRuns) {
        for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
            beginRemoveRows({}, run->first, run->second);
            rows_.remove(run->first, run->second - run->first + 1);
            endRemoveRows();
        }
        return;
    }
    // Many scattered rows: one layout change. Each persistent index moves up by the rows
    // removed before it, and the list is compacted in place from the first removed row,
    // so a deletion costs no second copy of a long list.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before) {
        const auto at = std::lower_bound(gone.cbegin(), gone.cend(), index.row());
        const bool removed = at != gone.cend() && *at == index.row();
        after << (removed ? QModelIndex() : createIndex(index.row() - int(at - gone.cbegin()), index.column()));
    }
    auto out = rows_.begin() + gone.front();
    auto next = gone.cbegin();
    for (int row = gone.front(); row < rows_.size(); ++row) {
        if (next != gone.cend() && *next == row) {
            ++next;
            continue;
        }
        *out++ = rows_[row];
    }
    rows_.erase(out, rows_.end());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RecordModel::CurrentMoved()
{
    if (!dataSet_ || dataSet_->ControlsDisabled()) return;
    const records::Bookmark previous = std::exchange(current_, dataSet_->GetBookmark());
    for (records::Bookmark bookmark : {previous, current_})
        if (const int row = bookmark ? RowOf(bookmark) : -1; row >= 0) emit headerDataChanged(Qt::Vertical, row, row);
}

int RecordModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int RecordModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

QVariant RecordModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !dataSet_ || index.row() >= rows_.size() || index.column() >= columns_.size()) return {};
    const records::Bookmark bookmark = rows_[index.row()];
    if (role == Qt::UserRole) return bookmark;
    if (role != Qt::DisplayRole) return {};
    const int field = columns_[index.column()]->Field();
    return field < 0 ? QString() : dataSet_->BookmarkValue(bookmark, field).toString();
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section < columns_.size() ? columns_[section]->Title.GetCaption() : QVariant();
    // The indicator column marks the current record.
    return section < rows_.size() && rows_[section] == current_ ? QStringLiteral("▶") : QString();
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace grid
