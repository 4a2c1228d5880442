#pragma once
// The process alarms, kept in the record file beside the records (table `alarms`), so
// they survive a restart and travel with the file. The recording program creates the
// table; a report reads it when it is there and lists none when it is not.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace records {

class RecordStore;

struct Alarm {
    qint64 id = 0;
    QDateTime raisedAt;
    int rule = 0;
    qint32 firstNumber = 0;  // 编号 of the first and last reading that make it
    qint32 lastNumber = 0;
    QString operatorNumber;  // 工号 of the reading that raised it
    QString dateText;        // 日期 and 符号 of its readings: the scope it belongs to
    QString modeSymbol;
    QDateTime acknowledgedAt;  // invalid while it stands
    QString acknowledgedBy;
};

class AlarmLog : public QObject {
    Q_OBJECT
public:
    // Creates the table when missing; PlatformError when the file refuses.
    explicit AlarmLog(RecordStore& store, QObject* parent = nullptr);

    // Written at once when the file takes it, else kept in order and written after the
    // next record the file takes. Never throws.
    void Add(const Alarm& alarm);
    // Every alarm raised up to `at` and still standing, acknowledged by `by`.
    void AcknowledgeAll(const QString& by, const QDateTime& at);
    int Waiting() const { return int(waiting_.size()); }

signals:
    // An alarm reached the file, with the id it has there.
    void Added(const records::Alarm& alarm);
    // An acknowledgement reached the file.
    void Acknowledged();

private:
    // A write gives the alarm it added, or none for an acknowledgement.
    using Write = std::function<std::optional<Alarm>()>;
    void Keep(Write write);
    void Flush();
    void Create();

    RecordStore& store_;
    QString created_;  // the connection the table was made sure of
    std::deque<Write> waiting_;
};

// The alarms of a date (none: every date) in a display mode, oldest first; none when
// the file has no alarms table. Reads only.
QList<Alarm> ReadAlarms(const RecordStore& store, const std::optional<QString>& dateText, const QString& modeSymbol);

}  // namespace records
