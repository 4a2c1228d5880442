#pragma once
// Watches that the record file is still where it was opened. SQLite goes on writing to
// a file that was deleted or replaced under it, and everything written then would be
// gone at exit: so the open database is written back to its path (or beside it when
// another file has taken the path) and recording continues there. A write-back never
// places a file beside a write-ahead log or shared-memory file it does not own: SQLite
// would apply that log to whatever file has the name.

#include <QElapsedTimer>
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
    // The last look, at exit: what is still in a lost file is written back now.
    ~DatabaseWatch() override;

    // Another holder of the file (the archive forwarder): asked to let go of the old file,
    // which it has done once `letGo` says so, and told where the records are from then on.
    // It is waited for a moment only: a lost file can be written back under it.
    void SetOtherHolder(std::function<void()> askToLetGo, std::function<bool()> letGo,
                        std::function<void(const QString&)> use);
    // One look now (the timer looks every two seconds).
    void Check();
    // One look now that waits for nobody; false when a lost file could not be written back.
    bool LastCheck();

signals:
    // `folderMade`: the data folder itself had gone and was made again.
    void WrittenBack(const QString& lostPath, const QString& newPath, bool folderMade);
    // `folderGone`: the data folder had gone and cannot be made again.
    void WriteBackFailed(const QString& lostPath, const QString& errorText, bool folderGone);

private:
    void Notice();
    // True when done; false while the other holder is still waited for.
    bool WriteBack(bool waitForHolder);
    void MakeFolder();
    bool IsFree(const QString& path) const;
    QString FreePlace() const;
    static void RemoveWithCompanions(const QString& path);
    void KeepAside();
    void Fail(const QString& text);

    records::RecordStore& store_;
    records::MeasurementRecorder& recorder_;
    QTimer timer_;
    std::function<void()> askToLetGo_;
    std::function<bool()> letGo_;
    std::function<void(const QString&)> use_;
    QString lostPath_;  // set while a write-back is under way
    QString copy_;      // the copy, once the lost file is released
    QString placed_;    // the copy, once it is in place but not yet opened
    QElapsedTimer asked_;
    bool folderMade_ = false;
    bool folderGone_ = false;
    bool toldFailure_ = false;
};
