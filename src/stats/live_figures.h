#pragma once
// The figures of a scope kept true while the table changes: each appended record is
// taken as the store wrote it, judged by the search's own rule and added in O(1); a delete
// counts the scope afresh, a clear empties the figures.

#include "scope.h"

#include <QObject>

namespace stats {

class LiveFigures : public QObject {
    Q_OBJECT
public:
    // Counts the scope at once; PlatformError when the store cannot be read.
    LiveFigures(records::RecordStore& store, const Scope& scope, const Limits& limits, QObject* parent = nullptr);

    const LotFigures& Figures() const { return figures_; }
    const Scope& CurrentScope() const { return scope_; }
    const Limits& CurrentLimits() const { return limits_; }
    // New limits may move the bins: counts again.
    void SetLimits(const Limits& limits);

signals:
    void Changed();

private:
    void Take(const records::StoredRecord& record);
    void CountAgainLater();
    void CountAgain();

    records::RecordStore& store_;
    Scope scope_;
    Limits limits_;
    LotFigures figures_;
    bool countPending_ = false;
};

}  // namespace stats
