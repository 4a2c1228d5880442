#pragma once
// The record database: one SQLite connection to the file that holds the table `data`.
// Every change is committed before the call returns (WAL, synchronous FULL), and each
// commit is announced with what it changed, so views follow without re-reading.

#include "dataset.h"
#include "platform_error.h"

#include <QDateTime>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <optional>

namespace records {

// A copy of the database at `path` in the new file `target`, reading it only.
void CopyDatabase(const QString& path, const QString& target);

// QMR4070_DB when set, else data.db in the folder qmr4070 of the user's data folder.
QString DatabasePath();

// The six fields of `data`, in field order.
const QList<FieldDef>& RecordFields();

struct NewRecord {
    qint32 number = 0;       // 编号
    QString operatorNumber;  // 工号
    QString dateText;        // 日期
    QString modeSymbol;      // 符号
    QString readingText;     // 测试数据
    QString sortText;        // 分选结果
    QDateTime takenAt;       // the moment the 日期 text was taken from
};

struct StoredRecord {
    Bookmark id = 0;
    QVariantList values;  // the six fields, in field order
};

// The searches: 日期 equal, and optionally 分选结果 or 工号 equal too.
struct RecordFilter {
    QString dateText;
    std::optional<QString> sortText;
    std::optional<QString> operatorNumber;
};

// A record as lot statistics read it: its sort text and its reading's number.
struct ScopeReading {
    Bookmark id = 0;
    QString sortText;
    std::optional<double> value;
};

// A file of ours written by an older version, opened for reading only: it lacks what the
// reading side needs and only the recording program brings it up to date.
class OlderFileError : public PlatformError {
public:
    using PlatformError::PlatformError;
};

enum class Access {
    Record,  // creates, upgrades and writes; the recording program's own
    Read,    // reports: never writes, upgrades, converts or waits on a writer
};

class RecordStore : public QObject {
    Q_OBJECT
public:
    // Opens the file, creating it (and its folder) when missing and bringing an older
    // file of ours up to date. A file that is not ours is left as it is: PlatformError
    // naming the file. Opened to read, a missing file is an error and an older one
    // OlderFileError; nothing is written.
    explicit RecordStore(const QString& path, Access access = Access::Record, QObject* parent = nullptr);
    ~RecordStore() override;
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    const QString& Path() const { return path_; }
    // The Qt SQL connection to the open file, for tables kept beside the records; it
    // changes when the file is opened anew.
    const QString& ConnectionName() const { return connection_; }

    // Each of these is one committed transaction; PlatformError on failure. A write lock
    // held elsewhere is waited for a few milliseconds only: the caller keeps what could
    // not be written and tries again later.
    Bookmark Append(const NewRecord& record);
    // The records in order, in one transaction; each is announced after the commit.
    void AppendAll(const QList<NewRecord>& batch);
    void Delete(const QList<Bookmark>& ids);
    void DeleteAll();

    // Every id, or those matching the filter, in the table's order.
    QList<Bookmark> SelectIds(const std::optional<RecordFilter>& filter = std::nullopt) const;
    // Up to `limit` records (matching the filter) from the first id not below `fromId`,
    // in the table's order.
    QList<StoredRecord> ReadFrom(Bookmark fromId, int limit,
                                 const std::optional<RecordFilter>& filter = std::nullopt) const;

    // False once the path no longer names the open file (deleted or replaced).
    bool StillAtPath() const;
    // Copies the whole open database into a new file `target` (which must not exist).
    void CopyTo(const QString& target) const;
    // The file is gone from its path: empties its write-ahead log, closes it and removes
    // the log and shared-memory files it left at the path, so no file placed there later
    // is ever read through them. Only those still its own are removed.
    void ReleaseLostFile();
    // Whether a file at `path`'s -wal or -shm name is the open file's own.
    bool OwnsCompanion(const QString& companionPath) const;
    // Opens `path` in place of the file (released or not); PlatformError when it cannot.
    void Reopen(const QString& path);
    // Up to `limit` records matching the filter whose 符号 is `modeSymbol`, from the first
    // id not below `fromId`, in the table's order; and the least and greatest number
    // among all of them (none when no reading has one).
    QList<ScopeReading> ReadScope(const std::optional<RecordFilter>& filter, const QString& modeSymbol, Bookmark fromId,
                                  int limit) const;
    std::optional<std::pair<double, double>> ScopeRange(const std::optional<RecordFilter>& filter,
                                                        const QString& modeSymbol) const;

signals:
    void Appended(records::Bookmark id);
    // The same record with its fields as ReadFrom gives them, so who needs them reads nothing.
    void AppendedRecord(const records::StoredRecord& record);
    void Deleted(const QList<records::Bookmark>& ids);
    void AllDeleted();

private:
    struct Layout {
        QStringList tables, indexes, columns;  // columns of data
        bool hasData = false;
    };
    void Open();
    // What the file holds; PlatformError when it is not ours.
    Layout ReadLayout() const;
    void CheckReadable() const;
    void NoteCompanions() const;
    void Upgrade();
    void ProbeAppend();
    void Close();
    void FillValues();
    QString connection_;
    QString path_;
    Access access_;
    QByteArray identity_;           // of the file opened at path_
    mutable QByteArray wal_, shm_;  // of its -wal and -shm files, once seen
    Bookmark lastAppended_ = 0;
};

// One statement on the store's own connection (for the tables kept beside the records),
// read forward only; throws PlatformError naming the file.
QSqlQuery RunOnStore(const RecordStore& store, const QString& text, const QVariantList& values = {});

}  // namespace records
