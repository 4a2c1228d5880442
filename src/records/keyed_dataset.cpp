#include "keyed_dataset.h"

#include "platform_error.h"

#include <algorithm>

namespace records {

namespace {
constexpr int kPageRows = 200;
constexpr size_t kPagesKept = 8;
}  // namespace

KeyedDataset::KeyedDataset(RecordStore& store, std::optional<RecordFilter> filter, QObject* parent)
    : Dataset(parent), store_(store), filter_(std::move(filter))
{
    Reload();
}

void KeyedDataset::Reload()
{
    ids_ = store_.SelectIds(filter_);
    pages_.clear();
    current_ = 0;
    eof_ = bof_ = true;
    emit DatasetReset();
}

void KeyedDataset::Place(int index, bool eof, bool bof)
{
    const int last = std::max(0, RecordCount() - 1);
    const int before = current_;
    current_ = std::clamp(index, 0, last);
    eof_ = eof || ids_.isEmpty();
    bof_ = bof || ids_.isEmpty();
    if (current_ != before && !ControlsDisabled()) emit CurrentChanged();
}

void KeyedDataset::First() { Place(0, false, true); }
void KeyedDataset::Last() { Place(RecordCount() - 1, true, false); }

void KeyedDataset::Next()
{
    const bool atLast = current_ + 1 >= RecordCount();
    Place(current_ + 1, atLast, false);
}

void KeyedDataset::Prior()
{
    const bool atFirst = current_ == 0;
    Place(current_ - 1, false, atFirst);
}

int KeyedDataset::MoveBy(int distance)
{
    const int from = current_;
    const qint64 target = qint64(current_) + distance;
    Place(int(std::clamp<qint64>(target, 0, std::max(0, RecordCount() - 1))), target >= RecordCount(), target < 0);
    return current_ - from;
}

int KeyedDataset::IndexOf(Bookmark id) const
{
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    return it != ids_.end() && *it == id ? int(it - ids_.begin()) : -1;
}

void KeyedDataset::GotoBookmark(Bookmark bookmark)
{
    const int index = IndexOf(bookmark);
    if (index < 0) throw PlatformError(QStringLiteral("Record not found"));
    Place(index, false, false);
}

const StoredRecord* KeyedDataset::Find(Bookmark id) const
{
    auto byId = [](const StoredRecord& row, Bookmark key) { return row.id < key; };
    for (const Page& page : pages_) {
        if (page.rows.isEmpty() || id < page.rows.front().id || id > page.rows.back().id) continue;
        const auto it = std::lower_bound(page.rows.begin(), page.rows.end(), id, byId);
        if (it != page.rows.end() && it->id == id) return &*it;
    }
    pages_.push_front({store_.ReadFrom(id, kPageRows, filter_)});
    if (pages_.size() > kPagesKept) pages_.pop_back();
    const QList<StoredRecord>& rows = pages_.front().rows;
    return !rows.isEmpty() && rows.front().id == id ? &rows.front() : nullptr;
}

QVariant KeyedDataset::BookmarkValue(Bookmark bookmark, int field) const
{
    const StoredRecord* row = Find(bookmark);
    return row ? row->values.value(field) : QVariant();
}

QVariant KeyedDataset::Value(int field) const
{
    return ids_.isEmpty() ? QVariant() : BookmarkValue(ids_[current_], field);
}

void KeyedDataset::Delete()
{
    if (!CanModify()) throw PlatformError(QStringLiteral("Cannot modify a read-only dataset"));
    if (ids_.isEmpty()) throw PlatformError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    store_.Delete({ids_[current_]});
}

void KeyedDataset::DeleteRecords(const QList<Bookmark>& bookmarks)
{
    if (!CanModify()) throw PlatformError(QStringLiteral("Cannot modify a read-only dataset"));
    if (bookmarks.isEmpty()) return;
    // The list may be the grid's own selection, which the store's announcement empties:
    // keep what is needed of it before deleting.
    const Bookmark first = bookmarks.front();
    store_.Delete(bookmarks);
    // Where a walk from the last to the first would end: on the record after the first.
    const int index = int(std::lower_bound(ids_.begin(), ids_.end(), first) - ids_.begin());
    Place(index, false, false);
}

void KeyedDataset::FollowAppended(Bookmark id)
{
    if (!ids_.isEmpty() && id <= ids_.back()) return;
    ids_.append(id);
    if (ids_.size() == 1) eof_ = bof_ = false;
    emit RecordAppended(id);
}

void KeyedDataset::FollowDeleted(const QList<Bookmark>& ids)
{
    const Bookmark current = GetBookmark();
    // Only the deleted ids are looked up; the list is then compacted in place from the
    // first of them, so a few deletions in a long list cost no copy of it.
    QList<Bookmark> gone;
    for (Bookmark id : ids)
        if (std::binary_search(ids_.cbegin(), ids_.cend(), id)) gone << id;
    if (gone.isEmpty()) return;
    std::sort(gone.begin(), gone.end());
    auto out = std::lower_bound(ids_.begin(), ids_.end(), gone.front());
    auto next = gone.cbegin();
    for (auto it = out; it != ids_.end(); ++it) {
        if (next != gone.cend() && *next == *it) {
            ++next;
            continue;
        }
        *out++ = *it;
    }
    ids_.erase(out, ids_.end());
    // The record after the current one takes its place; after the last, the new last.
    const int index = int(std::lower_bound(ids_.begin(), ids_.end(), current) - ids_.begin());
    current_ = std::clamp(index, 0, std::max(0, RecordCount() - 1));
    eof_ = bof_ = ids_.isEmpty();
    emit RecordsDeleted(gone);
    if (!ControlsDisabled()) emit CurrentChanged();
}

void KeyedDataset::FollowAllDeleted()
{
    ids_.clear();
    pages_.clear();
    current_ = 0;
    eof_ = bof_ = true;
    emit AllDeleted();
}

}  // namespace records
