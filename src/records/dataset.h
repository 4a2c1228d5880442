#pragma once
// What a view, the export walk and the delete walks need of a set of records: a cursor
// over the records in the table's order, fields found by name, bookmarks, and nested
// suspension of the attached views. The record table and a search result both offer it.

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace records {

// A record's bookmark is its hidden key: it names the record for as long as it exists,
// and keys grow in the table's order. 0 names no record.
using Bookmark = qint64;

enum class TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftAutoInc,
    ftMemo,
    ftLargeint,
    ftFMTBcd,
};

struct FieldDef {
    QString name;
    TFieldType type = TFieldType::ftString;
    QString displayLabel{};   // empty: the name is shown
    QString displayFormat{};  // empty: none
    bool currency = false;
    int precision = 15;
    bool visible = true;
    QString DisplayName() const { return displayLabel.isEmpty() ? name : displayLabel; }
};

class Dataset : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool Active() const = 0;
    // The fields, in field order.
    virtual const QList<FieldDef>& Fields() const = 0;
    // The index of the field of that name, -1 when there is none.
    int FindField(const QString& name) const;

    virtual int RecordCount() const = 0;
    bool IsEmpty() const { return RecordCount() == 0; }

    // The cursor. Next past the last record sets Eof and stays on the last; Prior clears
    // it. An empty dataset is at its end.
    virtual void First() = 0;
    virtual void Last() = 0;
    virtual void Next() = 0;
    virtual void Prior() = 0;
    // Moves by a signed number of records, stopping at either end; returns how far it moved.
    virtual int MoveBy(int distance) = 0;
    virtual bool Eof() const = 0;
    virtual bool Bof() const = 0;

    // The current record's value of a field: a null QVariant for a null field, or when
    // there is no current record.
    virtual QVariant Value(int field) const = 0;
    bool IsNull(int field) const { return Value(field).isNull(); }
    qint64 AsInteger(int field) const { return Value(field).toLongLong(); }
    double AsFloat(int field) const { return Value(field).toDouble(); }
    // The text a grid shows for the field; an empty text for a null field.
    virtual QString DisplayText(int field) const { return Value(field).toString(); }

    // Every bookmark, in the dataset's order, and a record's value read by its bookmark
    // without moving the cursor: what a view on screen needs to draw any row at once.
    virtual QList<Bookmark> Bookmarks() const = 0;
    virtual QVariant BookmarkValue(Bookmark bookmark, int field) const = 0;

    // 0 when there is no current record.
    virtual Bookmark GetBookmark() const = 0;
    // Throws PlatformError when the record is no longer there.
    virtual void GotoBookmark(Bookmark bookmark) = 0;
    // 0 when both name the same record; negative when a comes first in the dataset's order.
    virtual int CompareBookmarks(Bookmark a, Bookmark b) const = 0;

    virtual bool CanModify() const = 0;
    // Deletes the current record: the one after it becomes current; after the last,
    // the new last. Throws PlatformError on a database error or a read-only dataset.
    virtual void Delete() = 0;
    // Deletes these records: by default one at a time from the last to the first; a
    // dataset over a store deletes them in one transaction.
    virtual void DeleteRecords(const QList<Bookmark>& bookmarks)
    {
        for (auto it = bookmarks.crbegin(); it != bookmarks.crend(); ++it) {
            GotoBookmark(*it);
            Delete();
        }
    }

    // Suspends and resumes the attached views; suspensions nest. Changes of the rows are
    // announced all the same (a view must stay true to the rows); moves of the current
    // record are held back, and ControlsResumed is raised once the last suspension ends.
    void DisableControls() { ++suspended_; }
    void EnableControls()
    {
        if (suspended_ > 0 && --suspended_ == 0) emit ControlsResumed();
    }
    bool ControlsDisabled() const { return suspended_ > 0; }

signals:
    // A record was posted at the end of the dataset's order.
    void RecordAppended(records::Bookmark bookmark);
    // These records are gone (in one step, one transaction).
    void RecordsDeleted(const QList<records::Bookmark>& bookmarks);
    // Every record is gone.
    void AllDeleted();
    // The whole set may have changed (opened, closed, re-run): views read it afresh.
    void DatasetReset();
    // The current record moved (not raised while the views are suspended).
    void CurrentChanged();
    void ControlsResumed();

private:
    int suspended_ = 0;
};

inline int Dataset::FindField(const QString& name) const
{
    const QList<FieldDef>& fields = Fields();
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace records
