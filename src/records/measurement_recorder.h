#pragma once
// The one door from report handling into the record table: every reading taken on
// the meter's external trigger is handed here.

#include <QString>

namespace records {

struct MeasurementValues {
    QString operatorNumber;  // 工号
    QString dateText;        // 日期, "yyyy-mm-dd" of the event that carried the report
    QString modeSymbol;      // 符号, "R" or "%"
    QString readingText;     // 测试数据
    QString sortText;        // 分选结果, empty for an unknown sort code
};

class MeasurementRecorder {
public:
    // Appends one measurement record.
    // The record table is not built yet: until it is, this makes no record and
    // keeps nothing; this is the only place that says so.
    void Append(const MeasurementValues& values);
};

}  // namespace records
