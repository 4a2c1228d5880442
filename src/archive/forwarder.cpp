#include "forwarder.h"

#include "log_categories.h"
#include "reading_value.h"
#include "record_store.h"

#include <libpq-fe.h>
#include <QAtomicInt>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#define poll WSAPoll
#else
#include <poll.h>
#endif

namespace archive {

namespace {

constexpr int kBatch = 1000;
constexpr int kGatherMs = 20;  // lets a burst of appends go in one transaction
constexpr int kPollMs = 5000;  // also finds records no wake-up announced
constexpr int kMaxBackoffMs = 60000;
constexpr int kConnectSeconds = 10;
constexpr qint64 kSchemaLock = 0x514d5234303730;  // "QMR4070": one creator at a time

const char kColumns[] = "source, local_id, bench, number, operator, date, symbol, reading, sort, taken_at, value";

const char kCreateTable[] =
    "CREATE TABLE qmr4070_records (source uuid NOT NULL, local_id bigint NOT NULL, bench text, number integer, "
    "operator text, date text, symbol text, reading text, sort text, taken_at timestamptz, value double precision, "
    "archived_at timestamptz DEFAULT now(), PRIMARY KEY (source, local_id));"
    "CREATE INDEX qmr4070_records_taken_at ON qmr4070_records (taken_at);"
    "CREATE INDEX qmr4070_records_bench_taken_at ON qmr4070_records (bench, taken_at)";

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

struct Failure {
    QString text;
};

QString NextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("qmr4070-archive-%1").arg(counter.fetchAndAddRelaxed(1));
}

// One field of COPY's text format: NULL as \N, the separators escaped.
void AppendCopyField(QByteArray& line, const QVariant& value)
{
    if (value.isNull()) {
        line += "\\N";
        return;
    }
    for (char c : value.toString().toUtf8()) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
        }
    }
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

class Result {
public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(Result&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    PGresult* get() const { return result_; }
    ExecStatusType Status() const { return PQresultStatus(result_); }

private:
    PGresult* result_;
};

}  // namespace

Forwarder::Forwarder(Config config, QString databasePath, QObject* parent)
    : QObject(parent), config_(std::move(config)), path_(std::move(databasePath)), connection_(NextConnectionName())
{
}

Forwarder::~Forwarder()
{
    Disconnect();
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

void Forwarder::Stop()
{
    stop_ = true;
    QMutexLocker lock(&cancelMutex_);
    char error[256];
    if (cancel_) PQcancel(cancel_, error, sizeof error);
}

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

void Forwarder::OnTimer()
{
    if (Pump()) {
        backoffMs_ = 1000;
    } else if (!stop_) {
        retry_->start(backoffMs_);
        backoffMs_ = std::min(backoffMs_ * 2, kMaxBackoffMs);
    }
}

bool Forwarder::Pump()
{
    try {
        OpenLocal();
        if (!server_) Connect();
        int sent = 0;
        while (!stop_ && (sent = SendBatch()) > 0) {
            sentSinceBehind_ += sent;
            if (sent == kBatch) behind_ = true;
        }
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
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    auto run = [&db](const QString& text) {
        QSqlQuery query(db);
        if (!query.exec(text)) throw Failure{QStringLiteral("%1: %2").arg(db.databaseName(), query.lastError().text())};
        return query;
    };
    if (!db.isOpen()) {
        if (!db.open()) throw Failure{QStringLiteral("%1: %2").arg(path_, db.lastError().text())};
        for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA busy_timeout=3000"})
            run(QString::fromLatin1(pragma));
        run(QStringLiteral("CREATE TABLE IF NOT EXISTS archive_state (last_error TEXT)"));
    }
    QSqlQuery source = run(QStringLiteral("SELECT uuid, archived_id FROM source"));
    if (!source.next()) throw Failure{QStringLiteral("%1: the file has no source identity").arg(path_)};
    source_ = source.value(0).toString();
    mark_ = source.value(1).toLongLong();
}

void Forwarder::Connect()
{
    const QByteArray url = config_.url.toUtf8();
    const char* keys[] = {"fallback_application_name", "dbname", nullptr};
    const char* values[] = {"qmr4070", url.constData(), nullptr};
    server_ = PQconnectStartParams(keys, values, 1);
    if (!server_) throw Failure{QStringLiteral("out of memory")};
    // Polled in short steps, so Stop ends a connection attempt promptly.
    QDeadlineTimer deadline(kConnectSeconds * 1000);
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (PQstatus(server_) != CONNECTION_BAD && status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        if (stop_ || deadline.hasExpired()) {
            Disconnect();
            throw Failure{stop_ ? QStringLiteral("stopped") : QStringLiteral("timeout expired")};
        }
        pollfd socket{PQsocket(server_), short(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        if (poll(&socket, 1, 100) != 0) status = PQconnectPoll(server_);
    }
    if (PQstatus(server_) != CONNECTION_OK) {
        const QString text = QString::fromUtf8(PQerrorMessage(server_)).trimmed();
        Disconnect();
        throw Failure{text};
    }
    PQsetClientEncoding(server_, "UTF8");
    {
        QMutexLocker lock(&cancelMutex_);
        cancel_ = PQgetCancel(server_);
    }
    CheckServerTable();
    SetState(State::Connected, {});
    behind_ = true;
}

void Forwarder::Disconnect()
{
    {
        QMutexLocker lock(&cancelMutex_);
        if (cancel_) PQfreeCancel(cancel_);
        cancel_ = nullptr;
    }
    if (server_) PQfinish(server_);
    server_ = nullptr;
}

namespace {

Result Exec(pg_conn* server, const char* statement, ExecStatusType expected = PGRES_COMMAND_OK)
{
    Result result(PQexec(server, statement));
    if (result.Status() != expected) throw Failure{QString::fromUtf8(PQerrorMessage(server)).trimmed()};
    return result;
}

// COPY of the rows into the table: false when a row's key is there already, and the
// transaction is then aborted.
bool CopyInto(pg_conn* server, const char* table, const QByteArray& rows)
{
    Exec(server, QByteArray("COPY ") + table + " (" + kColumns + ") FROM STDIN", PGRES_COPY_IN);
    if (PQputCopyData(server, rows.constData(), int(rows.size())) != 1 || PQputCopyEnd(server, nullptr) != 1)
        throw Failure{QString::fromUtf8(PQerrorMessage(server)).trimmed()};
    bool duplicate = false;
    {
        Result copied(PQgetResult(server));
        if (copied.Status() != PGRES_COMMAND_OK) {
            const char* state = PQresultErrorField(copied.get(), PG_DIAG_SQLSTATE);
            duplicate = state && QByteArrayView(state) == "23505";  // unique_violation
            if (!duplicate) throw Failure{QString::fromUtf8(PQerrorMessage(server)).trimmed()};
        }
    }
    while (PGresult* rest = PQgetResult(server)) PQclear(rest);
    return !duplicate;
}

}  // namespace

// Creates the table when missing, under a lock so benches starting together do not
// race on it; a table of that name with other columns is someone else's and stays so.
void Forwarder::CheckServerTable()
{
    Exec(server_, "BEGIN");
    Exec(server_, QByteArray("SELECT pg_advisory_xact_lock(" + QByteArray::number(kSchemaLock) + ")").constData(),
         PGRES_TUPLES_OK);
    Result columns = Exec(server_,
                          "SELECT attname || ' ' || format_type(atttypid, atttypmod) FROM pg_attribute "
                          "WHERE attrelid = to_regclass('qmr4070_records') AND attnum > 0 AND NOT attisdropped "
                          "ORDER BY attnum",
                          PGRES_TUPLES_OK);
    QStringList found;
    for (int row = 0; row < PQntuples(columns.get()); ++row)
        found << QString::fromUtf8(PQgetvalue(columns.get(), row, 0));
    if (found.isEmpty()) {
        Exec(server_, kCreateTable);
        qCInfo(lcArchive) << "archive table qmr4070_records created";
    }
    Exec(server_, "COMMIT");
    if (!found.isEmpty() && found != kServerColumns) {
        Disconnect();
        throw Failure{QStringLiteral("the server's table qmr4070_records has other columns (%1); nothing is written "
                                     "to it")
                          .arg(found.join(QStringLiteral(", ")))};
    }
    Exec(server_, "CREATE TEMP TABLE qmr4070_incoming (LIKE qmr4070_records INCLUDING DEFAULTS) ON COMMIT DELETE ROWS");
}

int Forwarder::SendBatch()
{
    QSqlQuery read(QSqlDatabase::database(connection_, false));
    read.setForwardOnly(true);
    read.prepare(QStringLiteral(
        R"(SELECT id, "编号", "工号", "日期", "符号", "测试数据", "分选结果", taken_at FROM data WHERE id > ? ORDER BY id LIMIT ?)"));
    read.addBindValue(mark_);
    read.addBindValue(kBatch);
    if (!read.exec()) throw Failure{QStringLiteral("%1: %2").arg(path_, read.lastError().text())};
    QByteArray copy;
    int rows = 0;
    qint64 last = mark_;
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
    if (rows == 0) return 0;

    // Straight into the table; only when some of the rows are there already (a crash
    // between the server's commit and the mark) through the table that skips them.
    Exec(server_, "BEGIN");
    if (!CopyInto(server_, "qmr4070_records", copy)) {
        Exec(server_, "ROLLBACK");
        Exec(server_, "BEGIN");
        if (!CopyInto(server_, "qmr4070_incoming", copy))
            throw Failure{QString::fromUtf8(PQerrorMessage(server_)).trimmed()};
        Exec(server_, QByteArray("INSERT INTO qmr4070_records (") + kColumns + ") SELECT " + kColumns +
                          " FROM qmr4070_incoming ON CONFLICT (source, local_id) DO NOTHING");
    }
    Exec(server_, "COMMIT");

    QSqlQuery mark(QSqlDatabase::database(connection_, false));
    mark.prepare(QStringLiteral("UPDATE source SET archived_id = ? WHERE archived_id < ?"));
    mark.addBindValue(last);
    mark.addBindValue(last);
    if (!mark.exec()) throw Failure{QStringLiteral("%1: %2").arg(path_, mark.lastError().text())};
    mark_ = last;
    return rows;
}

void Forwarder::Fail(const QString& text)
{
    // Any half-done server transaction dies with the connection.
    Disconnect();
    if (stop_) return;  // cancelled on the way out: no fault of the server's
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
    QSqlQuery record(QSqlDatabase::database(connection_, false));
    record.exec(QStringLiteral("DELETE FROM archive_state"));
    record.prepare(QStringLiteral("INSERT INTO archive_state (last_error) VALUES (?)"));
    record.addBindValue(error.isEmpty() ? QVariant() : QVariant(error));
    record.exec();
}

ArchiveThread::ArchiveThread(const Config& config, const QString& databasePath)
{
    if (!config.Enabled()) return;
    worker_ = new Forwarder(config, databasePath);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::started, worker_, &Forwarder::Start);
    // Deleted on its own thread, where its connections were made.
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("archive"));
    thread_.start(QThread::LowPriority);
}

ArchiveThread::~ArchiveThread()
{
    if (!worker_) return;
    worker_->Stop();
    thread_.quit();
    thread_.wait();
}

void ArchiveThread::Follow(const records::RecordStore& store)
{
    if (worker_) QObject::connect(&store, &records::RecordStore::Appended, worker_, &Forwarder::Wake);
}

}  // namespace archive
