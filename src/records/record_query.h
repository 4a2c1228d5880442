#pragma once
// The query dataset `Query1`: a statement held as lines with its values bound by name,
// opened into a read-only result in the table's order. Linked to a master dataset (the
// record table), an open result follows the master's committed changes record by record:
// an appended record joins when it matches, deleted ones leave, a clear empties it, and
// moves of the master's current record change nothing. The statement never runs again.

#include "dataset.h"
#include "record_store.h"

#include <QStringList>
#include <QVariantMap>
#include <memory>

namespace records {

class RecordQuery : public Dataset {
    Q_OBJECT
public:
    explicit RecordQuery(RecordStore& store, QObject* parent = nullptr);
    ~RecordQuery() override;

    QStringList& SQL() { return sql_; }
    QVariantMap& Params() { return params_; }
    // Runs the statement. On failure (PlatformError with the engine's text) the query
    // stays closed.
    void Open();
    void Close();
    void SetDataSource(Dataset* master);

    bool Active() const override { return result_ != nullptr; }
    // A closed query has no fields.
    const QList<FieldDef>& Fields() const override;
    int RecordCount() const override;
    void First() override;
    void Last() override;
    void Next() override;
    void Prior() override;
    int MoveBy(int distance) override;
    bool Eof() const override;
    bool Bof() const override;
    QVariant Value(int field) const override;
    QList<Bookmark> Bookmarks() const override;
    QVariant BookmarkValue(Bookmark bookmark, int field) const override;
    Bookmark GetBookmark() const override;
    void GotoBookmark(Bookmark bookmark) override;
    int CompareBookmarks(Bookmark a, Bookmark b) const override { return a < b ? -1 : (a > b ? 1 : 0); }
    bool CanModify() const override { return false; }
    void Delete() override;
    void DeleteRecords(const QList<Bookmark>& bookmarks) override;

private:
    class Result;
    Result& Opened() const;
    void MasterAppended(Bookmark id);

    RecordStore& store_;
    QStringList sql_;
    QVariantMap params_;
    Dataset* master_ = nullptr;
    std::unique_ptr<Result> result_;
};

}  // namespace records
