#pragma once
// A dataset over an ordered list of record keys held in memory (8 bytes a record), with
// rows read from the store by key a page at a time and a few recent pages kept. The
// record table is one over every key; a search result is one over the matching keys.

#include "dataset.h"
#include "record_store.h"

#include <deque>
#include <optional>

namespace records {

class KeyedDataset : public Dataset {
    Q_OBJECT
public:
    // Rows are read under the filter, when one is given (a search result's keys are a
    // subset of the table's).
    KeyedDataset(RecordStore& store, std::optional<RecordFilter> filter, QObject* parent = nullptr);

    RecordStore& Store() const { return store_; }
    const std::optional<RecordFilter>& Filter() const { return filter_; }
    // Reads the keys afresh (under the filter) and announces DatasetReset.
    void Reload();
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    bool Active() const override { return true; }
    const QList<FieldDef>& Fields() const override { return RecordFields(); }
    int RecordCount() const override { return int(ids_.size()); }
    void First() override;
    void Last() override;
    void Next() override;
    void Prior() override;
    int MoveBy(int distance) override;
    bool Eof() const override { return eof_; }
    bool Bof() const override { return bof_; }
    QVariant Value(int field) const override;
    QList<Bookmark> Bookmarks() const override { return ids_; }
    QVariant BookmarkValue(Bookmark bookmark, int field) const override;
    Bookmark GetBookmark() const override { return ids_.isEmpty() ? 0 : ids_[current_]; }
    void GotoBookmark(Bookmark bookmark) override;
    int CompareBookmarks(Bookmark a, Bookmark b) const override { return a < b ? -1 : (a > b ? 1 : 0); }
    bool CanModify() const override { return !readOnly_; }
    // Deletes through the store; the dataset follows the store's announcement.
    void Delete() override;
    void DeleteRecords(const QList<Bookmark>& bookmarks) override;

protected:
    // How a dataset follows committed changes of the store. A record appended is taken
    // at the end; deleted records are dropped, the record after the current one (else the
    // new last) becoming current when the current one goes.
    void FollowAppended(Bookmark id);
    void FollowDeleted(const QList<Bookmark>& ids);
    void FollowAllDeleted();

private:
    struct Page {
        QList<StoredRecord> rows;
    };
    const StoredRecord* Find(Bookmark id) const;
    void Place(int index, bool eof, bool bof);
    int IndexOf(Bookmark id) const;

    RecordStore& store_;
    std::optional<RecordFilter> filter_;
    QList<Bookmark> ids_;
    int current_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    bool readOnly_ = false;
    mutable std::deque<Page> pages_;
};

}  // namespace records
