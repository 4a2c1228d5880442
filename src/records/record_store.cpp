#include "record_store.h"

#include "log_categories.h"
#include "platform_error.h"
#include "reading_value.h"

#include <QAtomicInt>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace records {

namespace {

const QStringList kFieldNames{QStringLiteral("编号"), QStringLiteral("工号"),     QStringLiteral("日期"),
                              QStringLiteral("符号"), QStringLiteral("测试数据"), QStringLiteral("分选结果")};

const QString kFieldList = QStringLiteral(R"("编号", "工号", "日期", "符号", "测试数据", "分选结果")");

const QString kCreateData = QStringLiteral(
    R"(CREATE TABLE %1 (id INTEGER PRIMARY KEY AUTOINCREMENT, "编号" INTEGER, "工号" TEXT, "日期" TEXT, )"
    R"("符号" TEXT, "测试数据" TEXT, "分选结果" TEXT, taken_at INTEGER, value REAL))");

// How long a statement waits for a write lock held elsewhere: the window's thread must
// never stall on one, so appends that cannot be written at once are kept and retried.
constexpr int kBusyWaitMs = 5;
// Opening may have to upgrade the file, which is worth waiting for.
constexpr int kOpenBusyWaitMs = 3000;

QString NextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("qmr4070-records-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A file that exists with content but lacks SQLite's header is none of ours; SQLite
// itself would only say so later, after it may already have written to it.
bool LooksLikeSqlite(const QString& path)
{
    QFile file(path);
    if (!file.exists() || file.size() == 0) return true;
    if (!file.open(QIODevice::ReadOnly)) return true;  // SQLite reports why
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

// Text fields hold text, never NULL: an empty QString is bound as "" (a null one would
// be stored as NULL and then match no search for an empty text).
QVariant Text(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

// Names the file a path leads to, so a file deleted or replaced under the running
// program can be told apart from the one it opened. Windows refuses to delete or
// replace a file SQLite holds open, so there its presence is enough.
QByteArray FileIdentity(const QString& path)
{
#ifndef _WIN32
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {};
    return QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino));
#else
    return QFileInfo::exists(path) ? QByteArray("present") : QByteArray();
#endif
}

QString FilterCondition(const RecordFilter& filter)
{
    QString where = QStringLiteral(R"( WHERE "日期" = :date)");
    if (filter.sortText) where += QStringLiteral(R"( AND "分选结果" = :sort)");
    if (filter.operatorNumber) where += QStringLiteral(R"( AND "工号" = :operator)");
    return where;
}

void BindFilter(QSqlQuery& query, const RecordFilter& filter)
{
    query.bindValue(QStringLiteral(":date"), Text(filter.dateText));
    if (filter.sortText) query.bindValue(QStringLiteral(":sort"), Text(*filter.sortText));
    if (filter.operatorNumber) query.bindValue(QStringLiteral(":operator"), Text(*filter.operatorNumber));
}

}  // namespace

QString DatabasePath()
{
    const QString named = qEnvironmentVariable("QMR4070_DB");
    if (!named.isEmpty()) return named;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/qmr4070/data.db");
}

void CopyDatabase(const QString& path, const QString& target)
{
    const QString name = NextConnectionName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kOpenBusyWaitMs));
        QSqlQuery copy(db);
        if (!db.open())
            failure = db.lastError().text();
        else if (!copy.prepare(QStringLiteral("VACUUM INTO ?")) || (copy.addBindValue(target), !copy.exec()))
            failure = copy.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty()) throw PlatformError(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), failure));
}

const QList<FieldDef>& RecordFields()
{
    static const QList<FieldDef> fields = [] {
        QList<FieldDef> list;
        for (const QString& name : kFieldNames)
            list.append({name, name == kFieldNames[0] ? TFieldType::ftInteger : TFieldType::ftString});
        return list;
    }();
    return fields;
}

class StoreQuery : public QSqlQuery {
public:
    StoreQuery(const RecordStore& store, const QString& connection, const QString& text)
        : QSqlQuery(QSqlDatabase::database(connection, false)), store_(store)
    {
        if (!prepare(text)) Fail();
    }
    void Run()
    {
        if (!exec()) Fail();
    }
    [[noreturn]] void Fail() const
    {
        throw PlatformError(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(store_.Path()), lastError().text()));
    }

private:
    const RecordStore& store_;
};

RecordStore::RecordStore(const QString& path, Access access, QObject* parent)
    : QObject(parent), connection_(NextConnectionName()), path_(path), access_(access)
{
    try {
        Open();
    } catch (...) {
        Close();
        throw;
    }
}

RecordStore::~RecordStore() { Close(); }

void RecordStore::Close()
{
    if (!QSqlDatabase::contains(connection_)) return;
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
}

void RecordStore::Open()
{
    const QString shown = QDir::toNativeSeparators(path_);
    if (!LooksLikeSqlite(path_)) throw PlatformError(QStringLiteral("%1: file is not a database").arg(shown));
    if (access_ == Access::Read && !QFileInfo::exists(path_))
        throw PlatformError(QStringLiteral("no record database at %1").arg(shown));
    if (access_ == Access::Record && !QDir().mkpath(QFileInfo(path_).absolutePath()))
        throw PlatformError(QStringLiteral("%1: the folder cannot be created").arg(shown));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    // A reader waits only for a commit in progress on a file without a write-ahead log.
    db.setConnectOptions(access_ == Access::Read
                             ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kOpenBusyWaitMs)
                             : QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kOpenBusyWaitMs));
    if (!db.open()) throw PlatformError(QStringLiteral("%1: %2").arg(shown, db.lastError().text()));
    if (access_ == Access::Read) {
        CheckReadable();
        return;
    }
    Upgrade();
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"})
        StoreQuery(*this, connection_, QString::fromLatin1(pragma)).Run();
    StoreQuery(*this, connection_, QStringLiteral("PRAGMA busy_timeout=%1").arg(kBusyWaitMs)).Run();
    identity_ = FileIdentity(path_);
    NoteCompanions();
}

// While the file is at its path, the log and shared memory beside it are its own: SQLite
// makes them on the first transaction and keeps them while any connection is open.
void RecordStore::NoteCompanions() const
{
    if (const QByteArray wal = FileIdentity(path_ + QStringLiteral("-wal")); !wal.isEmpty()) wal_ = wal;
    if (const QByteArray shm = FileIdentity(path_ + QStringLiteral("-shm")); !shm.isEmpty()) shm_ = shm;
}

RecordStore::Layout RecordStore::ReadLayout() const
{
    StoreQuery tables(*this, connection_,
                      QStringLiteral("SELECT type, name FROM sqlite_master WHERE type IN ('table', 'index')"));
    tables.Run();
    Layout layout;
    while (tables.next())
        (tables.value(0).toString() == u"index" ? layout.indexes : layout.tables) << tables.value(1).toString();
    tables.finish();
    StoreQuery info(*this, connection_, QStringLiteral("PRAGMA table_info(data)"));
    info.Run();
    while (info.next()) layout.columns << info.value(1).toString();
    const QString shown = QDir::toNativeSeparators(path_);
    layout.hasData = layout.tables.contains(QStringLiteral("data"));
    if (!layout.hasData && !layout.tables.isEmpty())
        throw PlatformError(QStringLiteral("%1: the database holds no table data").arg(shown));
    for (const QString& field : kFieldNames)
        if (layout.hasData && !layout.columns.contains(field))
            throw PlatformError(QStringLiteral("%1: table data lacks the field %2").arg(shown, field));
    return layout;
}

void RecordStore::CheckReadable() const
{
    const Layout layout = ReadLayout();
    const QString shown = QDir::toNativeSeparators(path_);
    if (!layout.hasData) throw PlatformError(QStringLiteral("%1: the database holds no table data").arg(shown));
    if (!layout.columns.contains(QStringLiteral("id")) || !layout.columns.contains(QStringLiteral("value")))
        throw OlderFileError(
            QStringLiteral("%1: written by an older version; starting qmr4070 on it once brings it up to date")
                .arg(shown));
}

// A file that opens but cannot take a record (read-only, a table of another shape)
// would lose every reading of the shift: try one append and take it back. Only a
// lock held by another program is let through, as it passes.
void RecordStore::ProbeAppend()
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const QString shown = QDir::toNativeSeparators(path_);
    QSqlQuery probe(db);
    const bool taken =
        probe.exec(QStringLiteral("BEGIN")) &&
        probe.exec(QStringLiteral("INSERT INTO data (%1) VALUES (0, '', '', '', '', '')").arg(kFieldList));
    const QSqlError error = probe.lastError();
    probe.exec(QStringLiteral("ROLLBACK"));
    if (taken) return;
    const QString code = error.nativeErrorCode();
    if (code == u"5" || code == u"6") {  // SQLITE_BUSY, SQLITE_LOCKED
        qCWarning(lcRecords).noquote() << shown << "is locked by another program; records wait until it is free";
        return;
    }
    throw PlatformError(QStringLiteral("%1: records cannot be written to this file: %2").arg(shown, error.text()));
}

// Reads only until it knows the file is ours; then creates what is missing, all in one
// transaction, keeping every record in its order.
void RecordStore::Upgrade()
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const Layout layout = ReadLayout();
    const QStringList& names = layout.tables;
    const QStringList& indexes = layout.indexes;
    const QStringList& columns = layout.columns;
    const bool hasData = layout.hasData;
    const QString shown = QDir::toNativeSeparators(path_);

    // Before anything is changed, so a refused file is left as it was.
    if (hasData) ProbeAppend();

    const bool hasId = columns.contains(QStringLiteral("id"));
    const bool hasTakenAt = columns.contains(QStringLiteral("taken_at"));
    const bool hasSource = names.contains(QStringLiteral("source"));
    const bool hasIndex = indexes.contains(QStringLiteral("data_date"));
    const bool hasValue = columns.contains(QStringLiteral("value"));
    if (hasData && hasId && hasTakenAt && hasSource && hasIndex && hasValue) return;

    if (!db.transaction()) throw PlatformError(QStringLiteral("%1: %2").arg(shown, db.lastError().text()));
    try {
        auto run = [this](const QString& text) { StoreQuery(*this, connection_, text).Run(); };
        if (!hasData) {
            run(kCreateData.arg(QStringLiteral("data")));
        } else if (!hasId) {
            run(kCreateData.arg(QStringLiteral("data_upgrade")));
            const QString takenAt = hasTakenAt ? QStringLiteral("taken_at") : QStringLiteral("NULL");
            run(QStringLiteral("INSERT INTO data_upgrade (%1, taken_at) SELECT %1, %2 FROM data ORDER BY rowid")
                    .arg(kFieldList, takenAt));
            run(QStringLiteral("DROP TABLE data"));
            run(QStringLiteral("ALTER TABLE data_upgrade RENAME TO data"));
        } else if (!hasTakenAt) {
            run(QStringLiteral("ALTER TABLE data ADD COLUMN taken_at INTEGER"));
        }
        if (hasData && hasId && !hasValue) run(QStringLiteral("ALTER TABLE data ADD COLUMN value REAL"));
        if (hasData && !hasValue) FillValues();
        run(QStringLiteral(R"(CREATE INDEX IF NOT EXISTS data_date ON data("日期"))"));
        if (!hasSource) {
            run(QStringLiteral("CREATE TABLE source (uuid TEXT NOT NULL, archived_id INTEGER NOT NULL DEFAULT 0)"));
            StoreQuery insert(*this, connection_, QStringLiteral("INSERT INTO source (uuid) VALUES (?)"));
            insert.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
            insert.Run();
        }
        if (!db.commit()) throw PlatformError(QStringLiteral("%1: %2").arg(shown, db.lastError().text()));
    } catch (...) {
        db.rollback();
        throw;
    }
    qCInfo(lcRecords).noquote() << "record table ready in" << shown;
}

// Older files have only the reading texts. Each distinct text is read once (a bench's
// readings repeat a few thousand texts), and one statement writes the numbers.
void RecordStore::FillValues()
{
    QElapsedTimer timer;
    timer.start();
    auto run = [this](const QString& text) { StoreQuery(*this, connection_, text).Run(); };
    run(QStringLiteral("CREATE TEMP TABLE reading_values (text TEXT PRIMARY KEY, value REAL NOT NULL)"));
    StoreQuery texts(*this, connection_, QStringLiteral(R"(SELECT DISTINCT "测试数据" FROM data)"));
    texts.setForwardOnly(true);
    texts.Run();
    StoreQuery insert(*this, connection_, QStringLiteral("INSERT INTO temp.reading_values VALUES (?, ?)"));
    while (texts.next()) {
        const QString text = texts.value(0).toString();
        if (const std::optional<double> value = ReadingValue(text)) {
            insert.bindValue(0, text);
            insert.bindValue(1, *value);
            insert.Run();
        }
    }
    texts.finish();
    StoreQuery update(
        *this, connection_,
        QStringLiteral(R"(UPDATE data SET value = (SELECT value FROM temp.reading_values )"
                       R"(WHERE text = data."测试数据") WHERE "测试数据" IN (SELECT text FROM temp.reading_values))"));
    update.Run();
    const int filled = update.numRowsAffected();
    update.finish();
    run(QStringLiteral("DROP TABLE temp.reading_values"));
    qCInfo(lcRecords).noquote() << "reading values of" << filled << "records filled in" << timer.elapsed() << "ms";
}

namespace {

// The six fields as the table gives them back, bound from the same list.
QVariantList StoredValues(const NewRecord& record)
{
    return {qlonglong(record.number), Text(record.operatorNumber), Text(record.dateText),
            Text(record.modeSymbol),  Text(record.readingText),    Text(record.sortText)};
}

void BindRecord(QSqlQuery& insert, const QVariantList& stored, const NewRecord& record)
{
    for (int i = 0; i < stored.size(); ++i) insert.bindValue(i, stored[i]);
    insert.bindValue(6, record.takenAt.isValid() ? QVariant(record.takenAt.toMSecsSinceEpoch()) : QVariant());
    const std::optional<double> value = ReadingValue(record.readingText);
    insert.bindValue(7, value ? QVariant(*value) : QVariant(QMetaType::fromType<double>()));
}

}  // namespace

Bookmark RecordStore::Append(const NewRecord& record)
{
    AppendAll({record});
    return lastAppended_;
}

void RecordStore::AppendAll(const QList<NewRecord>& batch)
{
    if (batch.isEmpty()) return;
    // IMMEDIATE takes the write lock at once, so a held lock fails here and not at the
    // commit, after the work.
    StoreQuery(*this, connection_, QStringLiteral("BEGIN IMMEDIATE")).Run();
    QList<StoredRecord> written;
    try {
        StoreQuery insert(
            *this, connection_,
            QStringLiteral("INSERT INTO data (%1, taken_at, value) VALUES (?, ?, ?, ?, ?, ?, ?, ?)").arg(kFieldList));
        for (const NewRecord& record : batch) {
            StoredRecord row{0, StoredValues(record)};
            BindRecord(insert, row.values, record);
            insert.Run();
            row.id = insert.lastInsertId().toLongLong();
            written << row;
        }
        insert.finish();
        StoreQuery(*this, connection_, QStringLiteral("COMMIT")).Run();
    } catch (...) {
        QSqlQuery(QSqlDatabase::database(connection_, false)).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    qCDebug(lcRecords) << "committed records" << batch.front().number << "to" << batch.back().number;
    lastAppended_ = written.back().id;
    if (wal_.isEmpty()) NoteCompanions();
    for (const StoredRecord& row : written) {
        emit Appended(row.id);
        emit AppendedRecord(row);
    }
}

void RecordStore::Delete(const QList<Bookmark>& ids)
{
    if (ids.isEmpty()) return;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const QString shown = QDir::toNativeSeparators(path_);
    if (!db.transaction()) throw PlatformError(QStringLiteral("%1: %2").arg(shown, db.lastError().text()));
    QList<Bookmark> gone;
    try {
        StoreQuery remove(*this, connection_, QStringLiteral("DELETE FROM data WHERE id = ?"));
        for (Bookmark id : ids) {
            remove.bindValue(0, id);
            remove.Run();
            if (remove.numRowsAffected() > 0) gone << id;
        }
        remove.finish();
        if (!db.commit()) throw PlatformError(QStringLiteral("%1: %2").arg(shown, db.lastError().text()));
    } catch (...) {
        db.rollback();
        throw;
    }
    std::sort(gone.begin(), gone.end());
    if (!gone.isEmpty()) emit Deleted(gone);
}

void RecordStore::DeleteAll()
{
    // One statement is one transaction.
    StoreQuery(*this, connection_, QStringLiteral("DELETE FROM data")).Run();
    emit AllDeleted();
}

QList<Bookmark> RecordStore::SelectIds(const std::optional<RecordFilter>& filter) const
{
    StoreQuery select(
        *this, connection_,
        QStringLiteral("SELECT id FROM data%1 ORDER BY id").arg(filter ? FilterCondition(*filter) : QString()));
    select.setForwardOnly(true);
    if (filter) BindFilter(select, *filter);
    select.Run();
    QList<Bookmark> ids;
    while (select.next()) ids.append(select.value(0).toLongLong());
    return ids;
}

QList<StoredRecord> RecordStore::ReadFrom(Bookmark fromId, int limit, const std::optional<RecordFilter>& filter) const
{
    const QString condition =
        filter ? FilterCondition(*filter) + QStringLiteral(" AND id >= :from") : QStringLiteral(" WHERE id >= :from");
    StoreQuery select(*this, connection_,
                      QStringLiteral("SELECT id, %1 FROM data%2 ORDER BY id LIMIT :limit").arg(kFieldList, condition));
    select.setForwardOnly(true);
    if (filter) BindFilter(select, *filter);
    select.bindValue(QStringLiteral(":from"), fromId);
    select.bindValue(QStringLiteral(":limit"), limit);
    select.Run();
    QList<StoredRecord> rows;
    while (select.next()) {
        StoredRecord row{select.value(0).toLongLong(), {}};
        for (int i = 1; i <= kFieldNames.size(); ++i) row.values << select.value(i);
        rows << row;
    }
    return rows;
}

bool RecordStore::StillAtPath() const
{
    if (identity_.isEmpty() || FileIdentity(path_) != identity_) return false;
    NoteCompanions();
    return true;
}

void RecordStore::CopyTo(const QString& target) const
{
    StoreQuery copy(*this, connection_, QStringLiteral("VACUUM INTO ?"));
    copy.addBindValue(target);
    copy.Run();
}

bool RecordStore::OwnsCompanion(const QString& companionPath) const
{
    const QByteArray found = FileIdentity(companionPath);
    return !found.isEmpty() && (found == wal_ || found == shm_);
}

void RecordStore::ReleaseLostFile()
{
    if (!QSqlDatabase::contains(connection_)) return;
    {
        // A file gone from its path is never checkpointed on close, and its log stays.
        QSqlQuery checkpoint(QSqlDatabase::database(connection_, false));
        if (!checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")))
            qCWarning(lcRecords).noquote() << "checkpoint of the lost file:" << checkpoint.lastError().text();
    }
    Close();
    for (const QString& companion : {path_ + QStringLiteral("-wal"), path_ + QStringLiteral("-shm")})
        if (OwnsCompanion(companion) && !QFile::remove(companion))
            qCWarning(lcRecords).noquote() << QDir::toNativeSeparators(companion) << "cannot be removed";
}

void RecordStore::Reopen(const QString& path)
{
    Close();
    connection_ = NextConnectionName();
    path_ = path;
    try {
        Open();
    } catch (...) {
        Close();
        throw;
    }
}

}  // namespace records

namespace records {

namespace {
QString ScopeCondition(const std::optional<RecordFilter>& filter)
{
    return (filter ? FilterCondition(*filter) + QStringLiteral(" AND") : QStringLiteral(" WHERE")) +
           QStringLiteral(R"( "符号" = :mode)");
}
}  // namespace

QList<ScopeReading> RecordStore::ReadScope(const std::optional<RecordFilter>& filter, const QString& modeSymbol,
                                           Bookmark fromId, int limit) const
{
    StoreQuery select(
        *this, connection_,
        QStringLiteral(R"(SELECT id, "分选结果", value FROM data%1 AND id >= :from ORDER BY id LIMIT :limit)")
            .arg(ScopeCondition(filter)));
    select.setForwardOnly(true);
    if (filter) BindFilter(select, *filter);
    select.bindValue(QStringLiteral(":mode"), Text(modeSymbol));
    select.bindValue(QStringLiteral(":from"), fromId);
    select.bindValue(QStringLiteral(":limit"), limit);
    select.Run();
    QList<ScopeReading> rows;
    while (select.next()) {
        const QVariant value = select.value(2);
        rows.append({select.value(0).toLongLong(), select.value(1).toString(),
                     value.isNull() ? std::nullopt : std::optional<double>(value.toDouble())});
    }
    return rows;
}

std::optional<std::pair<double, double>> RecordStore::ScopeRange(const std::optional<RecordFilter>& filter,
                                                                 const QString& modeSymbol) const
{
    StoreQuery select(*this, connection_,
                      QStringLiteral("SELECT min(value), max(value) FROM data%1").arg(ScopeCondition(filter)));
    if (filter) BindFilter(select, *filter);
    select.bindValue(QStringLiteral(":mode"), Text(modeSymbol));
    select.Run();
    if (!select.next() || select.value(0).isNull()) return std::nullopt;
    return std::pair{select.value(0).toDouble(), select.value(1).toDouble()};
}

QSqlQuery RunOnStore(const RecordStore& store, const QString& text, const QVariantList& values)
{
    QSqlQuery query(QSqlDatabase::database(store.ConnectionName(), false));
    query.setForwardOnly(true);
    bool ok = query.prepare(text);
    for (const QVariant& value : values) query.addBindValue(value);
    if (ok) ok = query.exec();
    if (!ok)
        throw PlatformError(
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(store.Path()), query.lastError().text()));
    return query;
}

}  // namespace records
