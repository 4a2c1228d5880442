#pragma once
// Sends the records of one local file to the archive server: everything above the
// file's mark, in batches of up to 1,000, each one server transaction, then raises the
// mark. The server skips a (source, local id) it already has, so a crash between its
// commit and the mark never duplicates a record.

#include "archive_config.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <atomic>

class QTimer;
struct pg_conn;
struct pg_cancel;

namespace records {
class RecordStore;
}

namespace archive {

class Forwarder : public QObject {
    Q_OBJECT
public:
    Forwarder(Config config, QString databasePath, QObject* parent = nullptr);
    ~Forwarder() override;

    // One pass on the calling thread: connects when needed and sends every record above
    // the mark. False after a failure (logged and kept for the status).
    bool Pump();
    // From any thread: a running statement is cancelled and Pump returns soon.
    void Stop();

public slots:
    // Starts the timers; call on the thread the forwarder lives in.
    void Start();
    // A record was committed: send soon.
    void Wake();

private:
    enum class State { Idle, Connected, Failing };
    void OpenLocal();
    void Connect();
    void Disconnect();
    void CheckServerTable();
    int SendBatch();
    void Fail(const QString& text);
    void SetState(State state, const QString& error);
    void OnTimer();

    Config config_;
    QString path_;
    QString connection_;
    QString source_;
    qint64 mark_ = 0;
    pg_conn* server_ = nullptr;
    QMutex cancelMutex_;
    pg_cancel* cancel_ = nullptr;
    std::atomic<bool> stop_{false};
    State state_ = State::Idle;
    QString error_;
    bool behind_ = true;
    qint64 sentSinceBehind_ = 0;
    int backoffMs_ = 1000;
    QTimer* gather_ = nullptr;
    QTimer* retry_ = nullptr;
};

// A forwarder on a thread of its own for the life of this object; nothing at all when
// the configuration names no server.
class ArchiveThread {
public:
    ArchiveThread(const Config& config, const QString& databasePath);
    ~ArchiveThread();
    ArchiveThread(const ArchiveThread&) = delete;
    ArchiveThread& operator=(const ArchiveThread&) = delete;

    bool Running() const { return worker_ != nullptr; }
    // Each committed append wakes the forwarder.
    void Follow(const records::RecordStore& store);

private:
    QThread thread_;
    Forwarder* worker_ = nullptr;
};

}  // namespace archive
