#include "record_query.h"

#include "keyed_dataset.h"
#include "log_categories.h"
#include "platform_error.h"
#include "record_filter.h"

namespace records {

// The matching keys, read once at open, then kept true by the query's master link.
class RecordQuery::Result : public KeyedDataset {
public:
    Result(RecordStore& store, const std::optional<RecordFilter>& filter) : KeyedDataset(store, filter)
    {
        SetReadOnly(true);
    }
    // One read by key, and only when there is a condition to test.
    void Take(Bookmark id)
    {
        if (Filter()) {
            const QList<StoredRecord> rows = Store().ReadFrom(id, 1);
            if (rows.isEmpty() || rows.front().id != id || !Matches(rows.front().values, Filter())) return;
        }
        FollowAppended(id);
    }
    using KeyedDataset::FollowAllDeleted;
    using KeyedDataset::FollowDeleted;
};

RecordQuery::RecordQuery(RecordStore& store, QObject* parent) : Dataset(parent), store_(store) {}

RecordQuery::~RecordQuery() = default;

void RecordQuery::Open()
{
    if (result_) return;
    const std::optional<RecordFilter> filter = StatementFilter(sql_.join(u'\n'), params_);
    result_ = std::make_unique<Result>(store_, filter);
    Result* result = result_.get();
    connect(result, &Dataset::RecordAppended, this, &Dataset::RecordAppended);
    connect(result, &Dataset::RecordsDeleted, this, &Dataset::RecordsDeleted);
    connect(result, &Dataset::AllDeleted, this, &Dataset::AllDeleted);
    connect(result, &Dataset::CurrentChanged, this, [this] {
        if (!ControlsDisabled()) emit CurrentChanged();
    });
    emit DatasetReset();
}

void RecordQuery::Close()
{
    if (!result_) return;
    result_.reset();
    emit DatasetReset();
}

void RecordQuery::SetDataSource(Dataset* master)
{
    if (master_) disconnect(master_, nullptr, this, nullptr);
    master_ = master;
    if (!master_) return;
    connect(master_, &Dataset::RecordAppended, this, &RecordQuery::MasterAppended);
    connect(master_, &Dataset::RecordsDeleted, this, [this](const QList<Bookmark>& ids) {
        if (result_) result_->FollowDeleted(ids);
    });
    connect(master_, &Dataset::AllDeleted, this, [this] {
        if (result_) result_->FollowAllDeleted();
    });
}

// Runs inside the master's append, so nothing may leave here. A record that cannot be
// read cannot be judged: the result would no longer be true, so it closes.
void RecordQuery::MasterAppended(Bookmark id)
{
    if (!result_) return;
    try {
        result_->Take(id);
    } catch (const PlatformError& error) {
        qCWarning(lcRecords).noquote() << "search result closed, record" << id << "unreadable:" << error.Text();
        Close();
    }
}

RecordQuery::Result& RecordQuery::Opened() const
{
    if (!result_) throw PlatformError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    return *result_;
}

const QList<FieldDef>& RecordQuery::Fields() const
{
    static const QList<FieldDef> none;
    return result_ ? result_->Fields() : none;
}

int RecordQuery::RecordCount() const { return result_ ? result_->RecordCount() : 0; }
void RecordQuery::First() { Opened().First(); }
void RecordQuery::Last() { Opened().Last(); }
void RecordQuery::Next() { Opened().Next(); }
void RecordQuery::Prior() { Opened().Prior(); }
int RecordQuery::MoveBy(int distance) { return Opened().MoveBy(distance); }
bool RecordQuery::Eof() const { return !result_ || result_->Eof(); }
bool RecordQuery::Bof() const { return !result_ || result_->Bof(); }
QVariant RecordQuery::Value(int field) const { return result_ ? result_->Value(field) : QVariant(); }
QList<Bookmark> RecordQuery::Bookmarks() const { return result_ ? result_->Bookmarks() : QList<Bookmark>(); }

QVariant RecordQuery::BookmarkValue(Bookmark bookmark, int field) const
{
    return result_ ? result_->BookmarkValue(bookmark, field) : QVariant();
}

Bookmark RecordQuery::GetBookmark() const { return result_ ? result_->GetBookmark() : 0; }
void RecordQuery::GotoBookmark(Bookmark bookmark) { Opened().GotoBookmark(bookmark); }
void RecordQuery::Delete() { Opened().Delete(); }
void RecordQuery::DeleteRecords(const QList<Bookmark>& bookmarks) { Opened().DeleteRecords(bookmarks); }

}  // namespace records
