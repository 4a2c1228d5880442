#include "grid_columns.h"

#include "custom_record_grid.h"

#include <algorithm>

namespace grid {

QString TGridColumnTitle::GetCaption() const
{
    if (!Caption.isEmpty()) return Caption;
    if (const records::FieldDef* field = column_.FieldDefinition()) return field->DisplayName();
    return column_.FieldName;
}

TGridColumn::TGridColumn(TCustomRecordGrid& grid, const QString& fieldName) : FieldName(fieldName), grid_(grid) {}

int TGridColumn::Index() const { return grid_.Columns().IndexOf(*this); }

int TGridColumn::Field() const
{
    const records::Dataset* dataSet = grid_.DataSet();
    if (!dataSet || FieldName.isEmpty()) return -1;
    // A walk asks for every cell; the search by name is made only when the fields change.
    const QList<records::FieldDef>& fields = dataSet->Fields();
    if (boundField_ < 0 || boundField_ >= fields.size() || fields[boundField_].name != FieldName)
        boundField_ = dataSet->FindField(FieldName);
    return boundField_;
}

const records::FieldDef* TGridColumn::FieldDefinition() const
{
    const int field = Field();
    return field < 0 ? nullptr : &grid_.DataSet()->Fields().at(field);
}

QString TGridColumn::DisplayText() const
{
    const int field = Field();
    if (field < 0) return {};
    const records::Dataset& dataSet = *grid_.DataSet();
    if (GetColumnType() != ctKeyPickList) return dataSet.DisplayText(field);
    const QString key = dataSet.IsNull(field) ? QString() : dataSet.Value(field).toString();
    const qsizetype place = KeyList.indexOf(key);
    return place >= 0 && place < PickList.size() ? PickList[place] : QString();
}

Qt::CheckState TGridColumn::CheckboxState() const
{
    if (GetColumnType() != ctCheckboxes) return Qt::Unchecked;
    const int field = Field();
    if (grid_.DataSet()->IsNull(field)) return Qt::PartiallyChecked;
    return grid_.DataSet()->Value(field).toBool() ? Qt::Checked : Qt::Unchecked;
}

TGridColumnType TGridColumn::GetColumnType() const
{
    if (!KeyList.isEmpty() && !PickList.isEmpty()) return ctKeyPickList;
    if (!PickList.isEmpty()) return ctPickList;
    const records::FieldDef* field = FieldDefinition();
    if (Checkboxes && field && field->type == records::TFieldType::ftBoolean) return ctCheckboxes;
    return ctCommon;
}

const TGridColumnFooter& TGridColumn::UsedFooter(int row) const
{
    return row >= 0 && row < Footers.size() ? Footers[row] : Footer;
}

void TGridColumn::GetColCellParams(bool editMode, TColCellParams& params)
{
    if (OnGetCellParams) OnGetCellParams(*this, editMode, params);
}

int TGridColumns::IndexOf(const TGridColumn& column) const
{
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].get() == &column) return int(i);
    return -1;
}

TGridColumn& TGridColumns::Add(const QString& fieldName)
{
    columns_.push_back(std::make_unique<TGridColumn>(grid_, fieldName));
    return *columns_.back();
}

void TGridColumns::Remove(int index) { columns_.erase(columns_.begin() + index); }

void TGridColumns::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= Count() || to >= Count() || from == to) return;
    auto first = columns_.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
}

int TBookmarkList::Compare(records::Bookmark a, records::Bookmark b) const
{
    if (const records::Dataset* dataSet = selection_.Grid().DataSet()) return dataSet->CompareBookmarks(a, b);
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool TBookmarkList::Find(records::Bookmark bookmark, int& index) const
{
    int low = 0;
    int high = Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int order = Compare(items_[middle], bookmark);
        if (order == 0) {
            index = middle;
            return true;
        }
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    index = low;
    return false;
}

bool TBookmarkList::Contains(records::Bookmark bookmark) const
{
    int index = 0;
    return Find(bookmark, index);
}

void TBookmarkList::Add(records::Bookmark bookmark)
{
    int index = 0;
    if (Find(bookmark, index)) return;
    if (items_.isEmpty()) selection_.ClearExcept(gstRecordBookmarks);
    items_.insert(index, bookmark);
}

void TBookmarkList::Remove(records::Bookmark bookmark)
{
    int index = 0;
    if (!Find(bookmark, index)) return;
    items_.removeAt(index);
    if (items_.isEmpty()) selection_.kind_ = gstNon;
}

void TBookmarkList::Toggle(records::Bookmark bookmark)
{
    if (Contains(bookmark))
        Remove(bookmark);
    else
        Add(bookmark);
}

void TBookmarkList::Clear()
{
    items_.clear();
    if (selection_.kind_ == gstRecordBookmarks) selection_.kind_ = gstNon;
}

void TGridSelection::ClearExcept(TGridSelectionType keep)
{
    rows_.items_.clear();
    rect_ = TGridSelectionRect();
    columns_.clear();
    kind_ = keep;
}

void TGridSelection::SelectAll() { ClearExcept(gstAll); }

void TGridSelection::SelectRect(int leftCol, records::Bookmark cornerA, int rightCol, records::Bookmark cornerB)
{
    ClearExcept(gstRectangle);
    rect_.leftCol_ = std::min(leftCol, rightCol);
    rect_.rightCol_ = std::max(leftCol, rightCol);
    const bool inOrder = rows_.Compare(cornerA, cornerB) <= 0;
    rect_.topRow_ = inOrder ? cornerA : cornerB;
    rect_.bottomRow_ = inOrder ? cornerB : cornerA;
}

void TGridSelection::SelectColumns(const TGridColumnList& columns)
{
    ClearExcept(columns.isEmpty() ? gstNon : gstColumns);
    columns_ = columns;
}

void TGridSelection::Clear() { ClearExcept(gstNon); }

}  // namespace grid
