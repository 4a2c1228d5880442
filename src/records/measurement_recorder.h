#pragma once
// The one door from report handling into the record table: every reading taken on
// the meter's external trigger is handed here. A reading the file cannot take now (disk
// full, a lock held by another program, the file being put back) is kept in order with
// the moment it was taken and committed as soon as the file takes writes again.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>

#include "record_store.h"

namespace records {

struct MeasurementValues {
    QString operatorNumber;  // 工号
    QString dateText;        // 日期, "yyyy-mm-dd" of the event that carried the report
    QString modeSymbol;      // 符号, "R" or "%"
    QString readingText;     // 测试数据
    QString sortText;        // 分选结果, empty for an unknown sort code
    QDateTime takenAt;       // the moment of that event, which dateText was taken from
};

class MeasurementRecorder : public QObject {
    Q_OBJECT
public:
    // More than an hour of readings at the line's full rate of 87 a second.
    static constexpr int kMaxWaiting = 400000;

    explicit MeasurementRecorder(RecordStore& store, QObject* parent = nullptr);
    // A last try for what still waits; what the file does not take is listed in
    // unsaved-<date>-<time>.txt beside it and named in the log.
    ~MeasurementRecorder() override;

    // Raises the record number counter and appends the record with that number. When
    // nothing waits and the file takes it, it is committed before this returns;
    // otherwise it waits its turn. Never throws for the file's sake.
    void Append(const MeasurementValues& values);
    // The number the last append was given; 0 before the first.
    qint32 Counter() const { return counter_; }
    // Readings taken but not yet committed.
    int Waiting() const { return int(waiting_.size()); }
    // While held, readings only wait (the file is being replaced); Release commits them.
    void Hold();
    void Release();
    // Commits what waits, oldest first, a batch at a time until done or the file
    // refuses; true when nothing waits any more.
    bool Flush();

signals:
    // Readings have waited long enough to tell the operator; once per spell.
    void SavingStalled(const QString& errorText);
    // How many wait, while the operator has been told; 0 when all are committed.
    void WaitingChanged(int count);
    // The store of waiting readings is full: readings from now on are not kept.
    void WaitingFull(int count);

private:
    void Keep(NewRecord record);
    void ListUnsaved() const;
    void Retry();
    bool TryCommit(const QList<NewRecord>& batch);

    RecordStore& store_;
    qint32 counter_ = 0;
    std::deque<NewRecord> waiting_;
    QTimer retry_;
    QDateTime waitingSince_;
    QString lastError_;
    bool held_ = false;
    bool told_ = false;
    bool full_ = false;
};

}  // namespace records
