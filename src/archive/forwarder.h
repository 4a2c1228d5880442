#pragma once
// Sends the records of one local file to the archive server: everything above the
// file's mark, in batches of up to 1,000, each one server transaction, then raises the
// mark. The server skips a (source, local id) it already has, so a crash between its
// commit and the mark never duplicates a record.

#include "archive_config.h"
#include "server_link.h"

#include <QObject>
#include <QSqlQuery>
#include <QThread>
#include <QVariantList>
#include <atomic>
#include <memory>
#include <optional>

class QTimer;

namespace records {
class RecordStore;
}

namespace archive {

class Forwarder : public QObject {
    Q_OBJECT
public:
    Forwarder(Config config, QString databasePath, Timeouts timeouts = {}, QObject* parent = nullptr);
    ~Forwarder() override;

    // One pass on the calling thread: connects when needed and sends every record above
    // the mark. False after a failure (logged and kept for the status).
    bool Pump();
    // From any thread: a pass under way ends within a fraction of a second.
    void Stop();
    // Once set (after Stop), the forwarder touches nothing shared again: a pass that
    // ends parks its thread for good (see ArchiveThread's destructor).
    void ParkWhen(std::shared_ptr<const std::atomic<bool>> abandoned) { abandoned_ = std::move(abandoned); }

public slots:
    // Starts the timers; call on the thread the forwarder lives in.
    void Start();
    // A record was committed: send soon.
    void Wake();
    // The record file is being written anew: the connection to it is closed and none is
    // opened (which would make an empty file at its path) until UseLocal names the file.
    void LetGoOfLocal();
    void UseLocal(const QString& path);

public:
    // From any thread: true once the forwarder holds no connection to the file.
    bool LetGo() const { return letGo_; }

private:
    enum class State { Idle, Connected, Failing };
    void OpenLocal();
    QSqlQuery RunLocal(const QString& statement, const QVariantList& values = {});
    void Connect();
    void Disconnect();
    void CheckServerTable();
    QByteArray ReadBatch(int& rows, qint64& last);
    int SendBatch();
    // The alarms beside the records, each sent once (forwarder_alarms.cpp).
    void CheckAlarmTable();
    int SendAlarms();
    void AlarmsRefused(const Failure& failure);
    void SendLimits();
    qint64 LimitsMark();
    void Fail(const QString& text);
    void SetState(State state, const QString& error);
    void WriteState();
    void OnTimer();

    Config config_;
    QString path_;
    QString connection_;
    QString source_;
    qint64 mark_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> letGo_{false};
    std::shared_ptr<const std::atomic<bool>> abandoned_;
    ServerLink server_;
    State state_ = State::Idle;
    QString error_;
    bool behind_ = true;
    qint64 sentSinceBehind_ = 0;
    int backoffMs_ = 1000;
    std::optional<bool> alarmsTable_;  // whether the open file keeps alarms; asked once per open
    bool alarmsServer_ = false;        // whether the server takes them on this connection
    QString alarmsError_;
    QTimer* gather_ = nullptr;
    QTimer* retry_ = nullptr;
    QString limitsError_;
};

// A forwarder on a thread of its own for the life of this object; nothing at all when
// the configuration names no server.
class ArchiveThread {
public:
    ArchiveThread(const Config& config, const QString& databasePath, Timeouts timeouts = {});
    // Stops the forwarder and waits for it at most 1.5 s, whatever the server does.
    ~ArchiveThread();
    ArchiveThread(const ArchiveThread&) = delete;
    ArchiveThread& operator=(const ArchiveThread&) = delete;

    bool Running() const { return worker_ != nullptr; }
    // Each committed append wakes the forwarder.
    void Follow(const records::RecordStore& store);
    // From the owner's thread, while the record file is written anew: the forwarder lets
    // go of the old file (LetGo says when it has), then takes up the file at `path`.
    void LetGoOfLocal();
    bool LetGo() const;
    void UseLocal(const QString& path);

private:
    std::unique_ptr<QThread> thread_;
    Forwarder* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> abandoned_;
};

}  // namespace archive
