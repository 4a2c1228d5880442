#pragma once
// The record table `Table1`: every record of the store, in the table's order, following
// every committed change.

#include "keyed_dataset.h"

namespace records {

class RecordTable : public KeyedDataset {
    Q_OBJECT
public:
    explicit RecordTable(RecordStore& store, QObject* parent = nullptr);
};

}  // namespace records
