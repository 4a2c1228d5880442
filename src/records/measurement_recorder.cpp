#include "measurement_recorder.h"

#include "record_store.h"

namespace records {

void MeasurementRecorder::Append(const MeasurementValues& values)
{
    ++counter_;
    store_.Append({counter_, values.operatorNumber, values.dateText, values.modeSymbol, values.readingText,
                   values.sortText, values.takenAt});
}

}  // namespace records
