#include "server_link.h"

#include <libpq-fe.h>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#define poll WSAPoll
#else
#include <poll.h>
#endif

namespace archive {

namespace {

constexpr int kSliceMs = 100;  // how soon a wait notices a stop

// Ours come before the user's connection string, which wins where it sets the same:
// keepalives find a dead host or path after about 25 s of silence (10 s, then three
// probes 5 s apart), and data the server has not acknowledged for 30 s ends the
// connection (neither applies to Unix-domain sockets). The client encoding comes after
// it: the rows are UTF-8 whatever the user's settings say. libpq's connect_timeout is
// not among them: it does not apply to a connection polled like this one, which keeps
// its own deadline.
const char* const kKeys[] = {"fallback_application_name",
                             "keepalives",
                             "keepalives_idle",
                             "keepalives_interval",
                             "keepalives_count",
                             "tcp_user_timeout",
                             "dbname",
                             "client_encoding",
                             nullptr};

// The server ends a statement of ours after 30 s, unless the role, the database or the
// user's own options already set a limit.
const char kStatementTimeout[] =
    "SELECT set_config('statement_timeout', '30s', false) WHERE current_setting('statement_timeout') = '0'";

class Result {
public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ExecStatusType Status() const { return PQresultStatus(result_); }
    bool Succeeded() const { return Status() == PGRES_COMMAND_OK || Status() == PGRES_TUPLES_OK; }
    QString Error() const { return QString::fromUtf8(PQresultErrorMessage(result_)).trimmed(); }
    QByteArrayView State() const
    {
        const char* state = PQresultErrorField(result_, PG_DIAG_SQLSTATE);
        return state ? QByteArrayView(state) : QByteArrayView();
    }
    QList<QStringList> Rows() const
    {
        QList<QStringList> rows;
        for (int r = 0; r < PQntuples(result_); ++r) {
            QStringList row;
            for (int c = 0; c < PQnfields(result_); ++c) row << QString::fromUtf8(PQgetvalue(result_, r, c));
            rows << row;
        }
        return rows;
    }

private:
    PGresult* result_;
};

}  // namespace

ServerLink::ServerLink(const std::atomic<bool>& stop, Timeouts timeouts) : stop_(stop), timeouts_(timeouts) {}

ServerLink::~ServerLink() { Close(); }

void ServerLink::Open(const QString& url)
{
    Close();
    const QByteArray conninfo = url.toUtf8();
    const char* const values[] = {"qmr4070", "1", "10", "5", "3", "30000", conninfo.constData(), "UTF8", nullptr};
    conn_ = PQconnectStartParams(kKeys, values, 1);
    if (!conn_) throw Failure{QStringLiteral("out of memory")};
    try {
        const QDeadlineTimer deadline(timeouts_.connectMs);
        quiet_.start();
        for (PostgresPollingStatusType status = PGRES_POLLING_WRITING; status != PGRES_POLLING_OK;) {
            if (status == PGRES_POLLING_FAILED || PQstatus(conn_) == CONNECTION_BAD) Failed();
            const short ready = Await(status == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline);
            status = PQconnectPoll(conn_);
            if ((ready & POLLIN) && status != PGRES_POLLING_FAILED) quiet_.start();
        }
        silentSince_ = {};
        if (PQsetnonblocking(conn_, 1) != 0) Failed();
        Exec(kStatementTimeout);
    } catch (const Failure&) {
        Close();
        throw;
    }
}

void ServerLink::Close()
{
    // Non-blocking by now, so the goodbye PQfinish sends never waits on a full socket.
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

QList<QStringList> ServerLink::Exec(const QByteArray& statement)
{
    const QDeadlineTimer deadline(timeouts_.answerMs);
    quiet_.start();
    if (!PQsendQuery(conn_, statement.constData())) Failed();
    Flush(deadline);
    // As PQexec: the first error, else the rows of the last statement.
    QString error;
    QList<QStringList> rows;
    while (PGresult* next = NextResult(deadline)) {
        const Result result(next);
        if (result.Succeeded())
            rows = result.Rows();
        else if (error.isEmpty())
            error = result.Error();
    }
    if (!error.isEmpty()) throw Failure{error};
    return rows;
}

bool ServerLink::Copy(const QByteArray& statement, const QByteArray& rows)
{
    const QDeadlineTimer deadline(timeouts_.answerMs);
    quiet_.start();
    if (!PQsendQuery(conn_, statement.constData())) Failed();
    Flush(deadline);
    {
        const Result start(NextResult(deadline));
        if (start.Status() != PGRES_COPY_IN) throw Failure{start.Error()};
    }
    for (int queued; (queued = PQputCopyData(conn_, rows.constData(), int(rows.size()))) != 1;) {
        if (queued < 0) Failed();
        Await(POLLOUT, deadline);
    }
    for (int queued; (queued = PQputCopyEnd(conn_, nullptr)) != 1;) {
        if (queued < 0) Failed();
        Await(POLLOUT, deadline);
    }
    Flush(deadline);
    const Result copied(NextResult(deadline));
    while (PGresult* rest = NextResult(deadline)) PQclear(rest);
    if (copied.Status() == PGRES_COMMAND_OK) return true;
    if (copied.State() == "23505") return false;  // unique_violation
    throw Failure{copied.Error()};
}

// Waits in short slices until the socket is ready for one of the events. A silence
// longer than noticeMs is reported once, while waiting on.
short ServerLink::Await(short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        if (stop_) throw Failure{QStringLiteral("stopped")};
        if (!silentSince_.isValid() && quiet_.hasExpired(timeouts_.noticeMs)) {
            silentSince_ = QDateTime::currentDateTime().addMSecs(-quiet_.elapsed());
            if (stalled) stalled(StallText());
        }
        if (deadline.hasExpired()) Stalled();
        const int fd = PQsocket(conn_);
        if (fd < 0) Failed();
        pollfd socket{};
        socket.fd = static_cast<decltype(socket.fd)>(fd);  // a SOCKET, unsigned, on Windows
        socket.events = events;
        const int ready = poll(&socket, 1, kSliceMs);
        if (ready > 0) return socket.revents;
        if (ready < 0 && errno != EINTR) throw Failure{QString::fromLocal8Bit(std::strerror(errno))};
    }
}

void ServerLink::Receive()
{
    if (!PQconsumeInput(conn_)) Failed();
    quiet_.start();
    if (silentSince_.isValid()) {
        silentSince_ = {};
        if (answered) answered();
    }
}

void ServerLink::Flush(const QDeadlineTimer& deadline)
{
    for (int left; (left = PQflush(conn_)) != 0;) {
        if (left < 0) Failed();
        // The server may answer (an error, say) before it has read everything.
        if (Await(POLLIN | POLLOUT, deadline) & POLLIN) Receive();
    }
}

PGresult* ServerLink::NextResult(const QDeadlineTimer& deadline)
{
    while (PQisBusy(conn_)) {
        Await(POLLIN, deadline);
        Receive();
    }
    return PQgetResult(conn_);
}

void ServerLink::Failed()
{
    // A connection ended after a long silence was ended by the keepalives or the user
    // timeout: the server had stopped answering.
    if (quiet_.hasExpired(timeouts_.noticeMs)) Stalled();
    silentSince_ = {};
    throw Failure{QString::fromUtf8(PQerrorMessage(conn_)).trimmed()};
}

void ServerLink::Stalled()
{
    if (!silentSince_.isValid()) silentSince_ = QDateTime::currentDateTime().addMSecs(-quiet_.elapsed());
    throw Failure{StallText()};
}

QString ServerLink::StallText() const
{
    return QStringLiteral("no answer from the server since %1")
        .arg(silentSince_.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

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

}  // namespace archive
