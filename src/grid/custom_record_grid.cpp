#include "custom_record_grid.h"

namespace grid {

void TCustomRecordGrid::SetDataSet(records::Dataset* dataSet)
{
    dataSet_ = dataSet;
    LinkActiveChanged();
}

// Each opening starts from the default columns in field order: a column dragged
// elsewhere for one result does not carry over to the next, nor to its saved file.
void TCustomRecordGrid::LinkActiveChanged()
{
    selection_.Clear();
    columns_.Clear();
    RebuildColumns();
}

void TCustomRecordGrid::RebuildColumns()
{
    const records::Dataset* dataSet = DataSet();
    const QList<records::FieldDef> noFields;
    const QList<records::FieldDef>& fields = dataSet ? dataSet->Fields() : noFields;
    auto visibleField = [&](const QString& name) {
        const int field = dataSet ? dataSet->FindField(name) : -1;
        return field >= 0 && fields[field].visible;
    };
    bool dropped = false;
    for (int i = columns_.Count() - 1; i >= 0; --i) {
        if (visibleField(columns_[i].FieldName)) continue;
        columns_.Remove(i);
        dropped = true;
    }
    // Columns listed in a selection may be gone.
    if (dropped && selection_.SelectionType() == gstColumns) selection_.Clear();
    for (const records::FieldDef& field : fields) {
        if (!field.visible) continue;
        bool present = false;
        for (int i = 0; i < columns_.Count() && !present; ++i)
            present = columns_[i].FieldName.compare(field.name, Qt::CaseInsensitive) == 0;
        if (!present) columns_.Add(field.name);
    }
}

TGridColumnList TCustomRecordGrid::VisibleColumnList() const
{
    TGridColumnList list;
    for (int i = 0; i < columns_.Count(); ++i)
        if (columns_[i].Visible) list << &columns_[i];
    return list;
}

QString TCustomRecordGrid::GetFooterValue(int row, const TGridColumn& column) const
{
    const TGridColumnFooter& footer = column.UsedFooter(row);
    if (footer.ValueType == fvtStaticText) return footer.Value;
    if (footer.ValueType != fvtFieldValue || !DataSet()) return {};
    const int field = DataSet()->FindField(footer.FieldName.isEmpty() ? column.FieldName : footer.FieldName);
    return field < 0 ? QString() : DataSet()->DisplayText(field);
}

void TCustomRecordGrid::SaveBookmark()
{
    records::Dataset* dataSet = DataSet();
    savedBookmark_ = 0;
    savedOffset_ = 0;
    if (!dataSet) return;
    // Keep the record of the window's middle row, reached from the current record. The
    // way back is the distance really moved, so an edge of the data cannot shift it.
    const int rows = VisibleRecordCount();
    const int offset = rows >= 1 ? CurrentVisibleRow() - (rows - 1) / 2 : 0;
    const int moved = offset == 0 ? 0 : dataSet->MoveBy(-offset);
    savedBookmark_ = dataSet->GetBookmark();
    if (moved != 0) dataSet->MoveBy(-moved);
    savedOffset_ = -moved;
}

void TCustomRecordGrid::RestoreBookmark()
{
    records::Dataset* dataSet = DataSet();
    // An empty dataset has no record to go back to.
    if (!dataSet || savedBookmark_ == 0) return;
    dataSet->GotoBookmark(savedBookmark_);
    if (savedOffset_ != 0) dataSet->MoveBy(savedOffset_);
}

}  // namespace grid
