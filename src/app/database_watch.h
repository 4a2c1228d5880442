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

    // Other holders of the file (the archive forwarder): told to let go of the old file
    // before it is closed, and where the records are from then on.
    void SetOtherHolder(std::function<void()> release, std::function<void(const QString&)> reopen);
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
    std::function<void()> release_;
    std::function<void(const QString&)> reopen_;
    QString lostPath_;  // set while a write-back is under way
    QString target_;    // where the records go
    bool copied_ = false;
    bool toldFailure_ = false;
};
