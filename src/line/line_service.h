#pragma once
// The line server's worker: on its own thread and connection it brings the hourly table
// up to date about three times a second and rebuilds the line's answer, which every request for the
// line is then given as it stands. The archive being unreachable is part of the answer.

#include "line_config.h"

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <memory>

class QTimer;

namespace line {

class PgConnection;
class HourAggregates;

class LineWorker : public QObject {
    Q_OBJECT
public:
    LineWorker(QString url, qint64 chunkRows);
    ~LineWorker() override;

    // The line's answer (JSON), from any thread.
    QByteArray Line() const;

public slots:
    void Start();
    void Tick();

signals:
    void CaughtUp();

private:
    void Publish(const QByteArray& json);
    QString url_;
    qint64 chunkRows_;
    std::unique_ptr<PgConnection> db_;
    std::unique_ptr<HourAggregates> hours_;
    QTimer* timer_ = nullptr;
    bool prepared_ = false;
    QString failure_;
    QDateTime failingSince_;
    QByteArray lastGood_;
    mutable QMutex mutex_;
    QByteArray line_;
};

// The worker on a thread of its own for the life of this object.
class LineService {
public:
    explicit LineService(const QString& url, qint64 chunkRows = 500000);
    ~LineService();
    const LineWorker& Worker() const { return *worker_; }

private:
    QThread thread_;
    LineWorker* worker_;
};

}  // namespace line
