#include "forwarder.h"

#include "limit_log.h"
#include "log_categories.h"
#include "reading_value.h"
#include "record_store.h"

#include <QAtomicInt>
#include <QDate>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTimer>
#include <QVariant>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

namespace archive {

namespace {

constexpr int kBatch = 1000;
constexpr int kGatherMs = 20;  // lets a burst of appends go in one transaction
constexpr int kPollMs = 5000;  // also finds records no wake-up announced
constexpr int kMaxBackoffMs = 60000;
constexpr int kLocalBusyMs = 100;        // one try at a file another connection is writing
constexpr int kLocalPatienceMs = 10000;  // all the tries of one statement
constexpr int kStopWaitMs = 1500;
constexpr qint64 kSchemaLock = 0x514d5234303730;  // "QMR4070": one creator at a time

const char kColumns[] = "source, local_id, bench, number, operator, date, symbol, reading, sort, taken_at, value";

const char kCreateTable[] =
    "CREATE TABLE qmr4070_records (source uuid NOT NULL, local_id bigint NOT NULL, bench text, number integer, "
    "operator text, date text, symbol text, reading text, sort text, taken_at timestamptz, value double precision, "
    "archived_at timestamptz DEFAULT now(), PRIMARY KEY (source, local_id));"
    "CREATE INDEX qmr4070_records_taken_at ON qmr4070_records (taken_at);"
    "CREATE INDEX qmr4070_records_bench_taken_at ON qmr4070_records (bench, taken_at);"
    "CREATE INDEX qmr4070_records_archived_at ON qmr4070_records (archived_at)";

const QStringList kServerColumns{QStringLiteral("source uuid"),
                                 QStringLiteral("local_id bigint"),
                                 QStringLiteral("bench text"),
                                 QStringLiteral("number integer"),
                                 QStringLiteral("operator text"),
                                 QStringLiteral("date text"),
                                 QStringLiteral("symbol text"),
                                 QStringLiteral("reading text"),
                                 QStringLiteral("sort text"),
                                 QStringLiteral("taken_at timestamp with time zone"),
                                 QStringLiteral("value double precision"),
                                 QStringLiteral("archived_at timestamp with time zone")};

QString NextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("qmr4070-archive-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Formatted by hand: QDateTime::toString re-reads its format for every row of a backlog.
QVariant TakenAt(const QVariant& ms)
{
    if (ms.isNull()) return {};
    constexpr qint64 kDayMs = 86400000;
    const qint64 value = ms.toLongLong();
    const qint64 days = value / kDayMs - (value % kDayMs < 0 ? 1 : 0);
    const qint64 inDay = value - days * kDayMs;
    const QDate date = QDate::fromJulianDay(2440588 + days);  // 1970-01-01
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d+00", date.year(), date.month(), date.day(),
                  int(inDay / 3600000), int(inDay / 60000 % 60), int(inDay / 1000 % 60), int(inDay % 1000));
    return QString::fromLatin1(text);
}

// SQLite's "busy" and "locked": another connection holds the lock for now.
bool Busy(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == 5 || code == 6;
}

}  // namespace

Forwarder::Forwarder(Config config, QString databasePath, Timeouts timeouts, QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      path_(std::move(databasePath)),
      connection_(NextConnectionName()),
      server_(stop_, timeouts)
{
    server_.stalled = [this](const QString& text) { SetState(State::Failing, WithoutSecret(text, config_.url)); };
    server_.answered = [this] { SetState(State::Connected, {}); };
}

Forwarder::~Forwarder()
{
    Disconnect();
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

void Forwarder::Stop() { stop_ = true; }

void Forwarder::Start()
{
    gather_ = new QTimer(this);
    gather_->setSingleShot(true);
    gather_->setInterval(kGatherMs);
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    auto* poll = new QTimer(this);
    poll->start(kPollMs);
    connect(gather_, &QTimer::timeout, this, &Forwarder::OnTimer);
    connect(retry_, &QTimer::timeout, this, &Forwarder::OnTimer);
    connect(poll, &QTimer::timeout, this, &Forwarder::Wake);
    Wake();
}

void Forwarder::Wake()
{
    // While failing, the next attempt waits for its deadline.
    if (gather_ && !retry_->isActive() && !gather_->isActive()) gather_->start();
}

// Both run between passes, on the forwarder's thread. The old file is closed before the
// new one is opened at the path: SQLite deletes a file's journal by name when its last
// connection closes, which must not hit the new file's.
void Forwarder::LetGoOfLocal()
{
    if (QSqlDatabase::contains(connection_)) QSqlDatabase::database(connection_, false).close();
    letGo_ = true;
}

void Forwarder::UseLocal(const QString& path)
{
    path_ = path;
    if (QSqlDatabase::contains(connection_)) QSqlDatabase::database(connection_, false).setDatabaseName(path_);
    letGo_ = false;
    Wake();
}

void Forwarder::OnTimer()
{
    const bool sent = Pump();
    if (stop_ && abandoned_ && *abandoned_) {
        // Left behind at the program's exit, which is tearing down what a return to Qt's
        // event loop would touch: this thread waits for the process to end it.
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    if (sent) {
        backoffMs_ = 1000;
    } else if (!stop_) {
        retry_->start(backoffMs_);
        backoffMs_ = std::min(backoffMs_ * 2, kMaxBackoffMs);
    }
}

bool Forwarder::Pump()
{
    if (letGo_) return true;  // the file is being written anew
    try {
        OpenLocal();
        if (!server_.IsOpen()) Connect();
        int sent = 0;
        while (!stop_ && (sent = SendBatch()) > 0) {
            sentSinceBehind_ += sent;
            if (sent == kBatch) behind_ = true;
        }
        while (!stop_ && SendAlarms() > 0) {}
        if (!stop_) SendLimits();
        if (behind_ && sent == 0) {
            qCInfo(lcArchive).noquote() << "archive caught up:" << sentSinceBehind_ << "records sent";
            behind_ = false;
            sentSinceBehind_ = 0;
        }
        return !stop_;
    } catch (const Failure& failure) {
        Fail(failure.text);
        return false;
    }
}

void Forwarder::OpenLocal()
{
    if (!QSqlDatabase::contains(connection_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kLocalBusyMs));
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.isOpen()) {
        alarmsTable_.reset();
        if (!db.open()) throw Failure{QStringLiteral("%1: %2").arg(path_, db.lastError().text())};
        RunLocal(QStringLiteral("PRAGMA journal_mode=WAL"));
        RunLocal(QStringLiteral("PRAGMA synchronous=FULL"));
        RunLocal(QStringLiteral("CREATE TABLE IF NOT EXISTS archive_state (last_error TEXT)"));
        if (state_ != State::Idle) WriteState();  // a file written anew learns where things stand
    }
    QSqlQuery source = RunLocal(QStringLiteral("SELECT uuid, archived_id FROM source"));
    if (!source.next()) throw Failure{QStringLiteral("%1: the file has no source identity").arg(path_)};
    source_ = source.value(0).toString();
    mark_ = source.value(1).toLongLong();
}

// While another connection writes the file, tried again in short attempts, so a stop is
// noticed between them.
QSqlQuery Forwarder::RunLocal(const QString& statement, const QVariantList& values)
{
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const QDeadlineTimer patience(kLocalPatienceMs);
    for (;;) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.prepare(statement)) {
            for (const QVariant& value : values) query.addBindValue(value);
            if (query.exec()) return query;
        }
        if (!Busy(query.lastError()) || stop_ || patience.hasExpired())
            throw Failure{QStringLiteral("%1: %2").arg(path_, query.lastError().text())};
    }
}

void Forwarder::Connect()
{
    server_.Open(config_.url);
    CheckServerTable();
    CheckAlarmTable();
    SetState(State::Connected, {});
    behind_ = true;
}

void Forwarder::Disconnect() { server_.Close(); }

// Creates the table when missing, under a lock so benches starting together do not
// race on it; a table of that name with other columns is someone else's and stays so.
void Forwarder::CheckServerTable()
{
    server_.Exec("BEGIN");
    server_.Exec("SELECT pg_advisory_xact_lock(" + QByteArray::number(kSchemaLock) + ")");
    const QList<QStringList> columns = server_.Exec(
        "SELECT attname || ' ' || format_type(atttypid, atttypmod) FROM pg_attribute "
        "WHERE attrelid = to_regclass('qmr4070_records') AND attnum > 0 AND NOT attisdropped "
        "ORDER BY attnum");
    QStringList found;
    for (const QStringList& row : columns) found << row.value(0);
    if (found.isEmpty()) {
        server_.Exec(kCreateTable);
        qCInfo(lcArchive) << "archive table qmr4070_records created";
    }
    server_.Exec("COMMIT");
    if (!found.isEmpty() && found != kServerColumns) {
        Disconnect();
        throw Failure{QStringLiteral("the server's table qmr4070_records has other columns (%1); nothing is written "
                                     "to it")
                          .arg(found.join(QStringLiteral(", ")))};
    }
    server_.Exec("CREATE TEMP TABLE qmr4070_incoming (LIKE qmr4070_records INCLUDING DEFAULTS) ON COMMIT DELETE ROWS");
}

// The rows above the mark in COPY's text format; the local read is over before the
// server is asked anything, so a slow server never holds the file's snapshot.
QByteArray Forwarder::ReadBatch(int& rows, qint64& last)
{
    QSqlQuery read = RunLocal(
        QStringLiteral(
            R"(SELECT id, "编号", "工号", "日期", "符号", "测试数据", "分选结果", taken_at FROM data WHERE id > ? ORDER BY id LIMIT ?)"),
        {mark_, kBatch});
    QByteArray copy;
    while (read.next()) {
        last = read.value(0).toLongLong();
        const std::optional<double> value = records::ReadingValue(read.value(5).toString());
        const QVariant fields[] = {source_,
                                   last,
                                   config_.bench,
                                   read.value(1),
                                   read.value(2),
                                   read.value(3),
                                   read.value(4),
                                   read.value(5),
                                   read.value(6),
                                   TakenAt(read.value(7)),
                                   value ? QVariant(QString::number(*value, 'g', 17)) : QVariant()};
        for (const QVariant& field : fields) {
            if (&field != fields) copy += '\t';
            AppendCopyField(copy, field);
        }
        copy += '\n';
        ++rows;
    }
    return copy;
}

int Forwarder::SendBatch()
{
    int rows = 0;
    qint64 last = mark_;
    const QByteArray copy = ReadBatch(rows, last);
    if (rows == 0) return 0;

    // Straight into the table; only when some of the rows are there already (a crash
    // between the server's commit and the mark) through the table that skips them.
    const QByteArray columns = QByteArray(" (") + kColumns + ") FROM STDIN";
    server_.Exec("BEGIN");
    if (!server_.Copy("COPY qmr4070_records" + columns, copy)) {
        server_.Exec("ROLLBACK");
        server_.Exec("BEGIN");
        if (!server_.Copy("COPY qmr4070_incoming" + columns, copy))
            throw Failure{QStringLiteral("a batch holds the same record twice")};
        server_.Exec(QByteArray("INSERT INTO qmr4070_records (") + kColumns + ") SELECT " + kColumns +
                     " FROM qmr4070_incoming ON CONFLICT (source, local_id) DO NOTHING");
    }
    server_.Exec("COMMIT");

    RunLocal(QStringLiteral("UPDATE source SET archived_id = ? WHERE archived_id < ?"), {last, last});
    mark_ = last;
    return rows;
}

// The limits the meter reported go to qmr4070_limits a row per change, exactly once as the
// records do: the server skips a (source, local id) it has, and the file's own mark for
// them follows the server's commit. A server or role that takes no limits is logged and
// never holds the records up.
const char kLimitColumns[] = "source, local_id, bench, changed_at, mode, lower, upper, nominal";
const char kCreateLimits[] =
    "CREATE TABLE qmr4070_limits (source uuid NOT NULL, local_id bigint NOT NULL, bench text, changed_at "
    "timestamptz, mode text, lower double precision, upper double precision, nominal double precision, "
    "archived_at timestamptz DEFAULT now(), PRIMARY KEY (source, local_id));"
    "CREATE INDEX qmr4070_limits_bench ON qmr4070_limits (bench, changed_at)";

// The file's log of limits is made when first missing; a plain read otherwise, so the
// passes take no write lock of the file.
qint64 Forwarder::LimitsMark()
{
    for (bool created = false;; created = true) {
        try {
            QSqlQuery mark = RunLocal(QStringLiteral("SELECT archived_id FROM limit_log_archived"));
            return mark.next() ? mark.value(0).toLongLong() : 0;
        } catch (const Failure&) {
            if (created) throw;
        }
        try {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            records::CreateLimitLog(db);
        } catch (const QSqlError& error) {
            throw Failure{QStringLiteral("%1: %2").arg(path_, error.text())};
        }
    }
}

void Forwarder::SendLimits()
{
    const qint64 mark = LimitsMark();
    QSqlQuery read = RunLocal(QStringLiteral("SELECT id, changed_at, mode, lower, upper, nominal FROM limit_log "
                                             "WHERE id > ? ORDER BY id LIMIT ?"),
                              {mark, kBatch});
    QByteArray copy;
    qint64 last = mark;
    while (read.next()) {
        last = read.value(0).toLongLong();
        auto number = [](const QVariant& v) {
            return v.isNull() ? QVariant() : QVariant(QString::number(v.toDouble(), 'g', 17));
        };
        const QVariant fields[] = {source_,
                                   last,
                                   config_.bench,
                                   TakenAt(read.value(1)),
                                   read.value(2),
                                   number(read.value(3)),
                                   number(read.value(4)),
                                   number(read.value(5))};
        for (const QVariant& field : fields) {
            if (&field != fields) copy += '\t';
            AppendCopyField(copy, field);
        }
        copy += '\n';
    }
    if (last == mark) return;
    try {
        server_.Exec("BEGIN");
        server_.Exec("SELECT pg_advisory_xact_lock(" + QByteArray::number(kSchemaLock) + ")");
        if (server_.Exec("SELECT to_regclass('qmr4070_limits') IS NULL").value(0).value(0) == u"t") {
            server_.Exec(kCreateLimits);
            qCInfo(lcArchive) << "archive table qmr4070_limits created";
        }
        server_.Exec("COMMIT");
        server_.Exec(
            "CREATE TEMP TABLE IF NOT EXISTS qmr4070_limits_incoming (LIKE qmr4070_limits INCLUDING DEFAULTS) "
            "ON COMMIT DELETE ROWS");
        server_.Exec("BEGIN");
        const QByteArray columns = QByteArray(" (") + kLimitColumns + ")";
        if (!server_.Copy("COPY qmr4070_limits_incoming" + columns + " FROM STDIN", copy))
            throw Failure{QStringLiteral("a batch holds the same limits twice")};
        server_.Exec("INSERT INTO qmr4070_limits" + columns + " SELECT " + kLimitColumns +
                     " FROM qmr4070_limits_incoming ON CONFLICT (source, local_id) DO NOTHING");
        server_.Exec("COMMIT");
    } catch (const Failure& failure) {
        server_.Exec("ROLLBACK");  // on a lost connection this throws on, as for a record
        if (limitsError_ != failure.text)
            qCWarning(lcArchive).noquote()
                << "reported limits not archived:" << WithoutSecret(failure.text, config_.url);
        limitsError_ = failure.text;
        return;
    }
    limitsError_.clear();
    RunLocal(QStringLiteral("UPDATE limit_log_archived SET archived_id = ? WHERE archived_id < ?"), {last, last});
}

void Forwarder::Fail(const QString& text)
{
    // Any half-done server transaction dies with the connection.
    Disconnect();
    if (stop_) return;  // stopped on the way out: no fault of the server's
    SetState(State::Failing, WithoutSecret(text, config_.url));
}

void Forwarder::SetState(State state, const QString& error)
{
    if (state == state_ && error == error_) return;
    if (state == State::Connected)
        qCInfo(lcArchive).noquote() << "archive server connected:" << ShownServer(config_.url);
    else
        qCWarning(lcArchive).noquote() << "archive server lost:" << error;
    state_ = state;
    error_ = error;
    WriteState();
}

// Kept in the file for --archive-status; the log has the line already should the file
// refuse it.
void Forwarder::WriteState()
{
    try {
        RunLocal(QStringLiteral("DELETE FROM archive_state"));
        RunLocal(QStringLiteral("INSERT INTO archive_state (last_error) VALUES (?)"),
                 {error_.isEmpty() ? QVariant() : QVariant(error_)});
    } catch (const Failure&) {
    }
}

ArchiveThread::ArchiveThread(const Config& config, const QString& databasePath, Timeouts timeouts)
{
    if (!config.Enabled()) return;
    thread_ = std::make_unique<QThread>();
    abandoned_ = std::make_shared<std::atomic<bool>>(false);
    worker_ = new Forwarder(config, databasePath, timeouts);
    worker_->ParkWhen(abandoned_);
    worker_->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::started, worker_, &Forwarder::Start);
    // Deleted on its own thread, where its connections were made.
    QObject::connect(thread_.get(), &QThread::finished, worker_, &QObject::deleteLater);
    thread_->setObjectName(QStringLiteral("archive"));
    thread_->start(QThread::LowPriority);
}

ArchiveThread::~ArchiveThread()
{
    if (!worker_) return;
    worker_->Stop();
    thread_->quit();
    if (thread_->wait(QDeadlineTimer(kStopWaitMs))) return;
    // Still inside a call no stop reaches (a host name being resolved, say). Destroying a
    // running QThread aborts the program, and terminate() could end it holding a lock the
    // exit needs; so the thread and its forwarder are left to the process's end, the
    // forwarder parking as soon as its call returns. Nothing is lost: the server rolls back
    // a transaction whose connection dies, and the mark only follows the server's commit.
    *abandoned_ = true;
    qCWarning(lcArchive) << "archive thread still busy at exit: left to end with the program";
    (void)thread_.release();
}

void ArchiveThread::Follow(const records::RecordStore& store)
{
    if (worker_) QObject::connect(&store, &records::RecordStore::Appended, worker_, &Forwarder::Wake);
}

void ArchiveThread::LetGoOfLocal()
{
    if (worker_) QMetaObject::invokeMethod(worker_, &Forwarder::LetGoOfLocal, Qt::QueuedConnection);
}

bool ArchiveThread::LetGo() const { return !worker_ || worker_->LetGo(); }

void ArchiveThread::UseLocal(const QString& path)
{
    if (worker_) QMetaObject::invokeMethod(worker_, [worker = worker_, path] { worker->UseLocal(path); });
}

}  // namespace archive
