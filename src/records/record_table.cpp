#include "record_table.h"

namespace records {

RecordTable::RecordTable(RecordStore& store, QObject* parent) : KeyedDataset(store, std::nullopt, parent)
{
    connect(&store, &RecordStore::Appended, this, &RecordTable::FollowAppended);
    connect(&store, &RecordStore::Deleted, this, &RecordTable::FollowDeleted);
    connect(&store, &RecordStore::AllDeleted, this, &RecordTable::FollowAllDeleted);
}

}  // namespace records
