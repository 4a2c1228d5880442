#pragma once
// The forwarder's connection to the archive server. Nothing here blocks without bound:
// every wait is a poll of the socket in short slices that watch the stop flag and the
// step's deadline, so a server that stops answering can neither hold the forwarder nor
// the program's exit.

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>

struct pg_conn;
struct pg_result;

namespace archive {

struct Failure {
    QString text;
};

// One field of COPY's text format: NULL as \N, the separators escaped.
void AppendCopyField(QByteArray& line, const QVariant& value);

// How long the server may keep silent.
struct Timeouts {
    int connectMs = 10000;  // a whole connection attempt
    int answerMs = 40000;   // one statement; longer than the server's own statement timeout
    int noticeMs = 10000;   // silence reported while still waiting
};

class ServerLink {
public:
    ServerLink(const std::atomic<bool>& stop, Timeouts timeouts);
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    // All throw Failure: the server's text, "no answer from the server since …" after a
    // silence, or "stopped".
    void Open(const QString& url);
    bool IsOpen() const { return conn_ != nullptr; }
    // Drops the connection without waiting; the server rolls back what it had begun.
    void Close();
    // One or more statements; the rows of the last, each field as text ("" for NULL).
    QList<QStringList> Exec(const QByteArray& statement);
    // COPY … FROM STDIN of rows in COPY's text format. False when a row's key is there
    // already; the transaction is then aborted.
    bool Copy(const QByteArray& statement, const QByteArray& rows);

    // Called on the forwarder's thread when a silence passes noticeMs, and when the open
    // connection answers again after one.
    std::function<void(const QString&)> stalled;
    std::function<void()> answered;

private:
    short Await(short events, const QDeadlineTimer& deadline);
    void Receive();
    void Flush(const QDeadlineTimer& deadline);
    pg_result* NextResult(const QDeadlineTimer& deadline);
    [[noreturn]] void Failed();
    [[noreturn]] void Stalled();
    QString StallText() const;

    const std::atomic<bool>& stop_;
    Timeouts timeouts_;
    pg_conn* conn_ = nullptr;
    QElapsedTimer quiet_;    // since the server last sent anything, within a step
    QDateTime silentSince_;  // set while a stall is reported; kept across reconnections
};

}  // namespace archive
