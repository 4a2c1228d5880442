#pragma once
// Watches that the record file is still where it was opened. SQLite goes on writing to
// a file that was deleted or replaced under it, and everything written then would be
// gone at exit: so the open database is written back to its path (or beside it when
// another file has taken the path) and recording continues there.

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace records {
class MeasurementRecorder;
class RecordStore;
}  // namespace records

class DatabaseWatch : public QObject {
    Q_OBJECT
public:
    DatabaseWatch(records::RecordStore& store, records::MeasurementRecorder& recorder, QObject* parent = nullptr);

    // Another holder of the file (the archive forwarder): asked to let go of the old file,
    // which it has done once `letGo` says so, and told where the records are from then on.
    void SetOtherHolder(std::function<void()> askToLetGo, std::function<bool()> letGo,
                        std::function<void(const QString&)> use);
    // One look now (the timer looks every two seconds).
    void Check();

signals:
    void WrittenBack(const QString& lostPath, const QString& newPath);
    void WriteBackFailed(const QString& lostPath, const QString& errorText);

private:
    void WriteBack();

    records::RecordStore& store_;
    records::MeasurementRecorder& recorder_;
    QTimer timer_;
    std::function<void()> askToLetGo_;
    std::function<bool()> letGo_;
    std::function<void(const QString&)> use_;
    QString lostPath_;  // set while a write-back is under way
    QString target_;    // where the records go
    bool copied_ = false;
    bool asked_ = false;
    bool toldFailure_ = false;
};
