#pragma once
// The one door from report handling into the record table: every reading taken on
// the meter's external trigger is handed here.

#include <QDateTime>
#include <QString>

namespace records {

class RecordStore;

struct MeasurementValues {
    QString operatorNumber;  // 工号
    QString dateText;        // 日期, "yyyy-mm-dd" of the event that carried the report
    QString modeSymbol;      // 符号, "R" or "%"
    QString readingText;     // 测试数据
    QString sortText;        // 分选结果, empty for an unknown sort code
    QDateTime takenAt;       // the moment of that event, which dateText was taken from
};

class MeasurementRecorder {
public:
    explicit MeasurementRecorder(RecordStore& store) : store_(store) {}

    // Raises the record number counter, then appends the record with that number,
    // committed before this returns. A failing append throws PlatformError; its number
    // stays used.
    void Append(const MeasurementValues& values);
    // The number the last append was given; 0 before the first.
    qint32 Counter() const { return counter_; }

private:
    RecordStore& store_;
    qint32 counter_ = 0;
};

}  // namespace records
