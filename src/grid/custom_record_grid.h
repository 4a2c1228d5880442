#pragma once
// What every record grid is apart from its window: a dataset, columns built from its
// fields, options, footer rows, a selection, and the position save and restore that lets
// the export walk move through the dataset and leave the grid as it found it.
// The grid on screen derives from this and supplies the two facts of its visible window.

#include "grid_columns.h"

namespace grid {

class TCustomRecordGrid;

using TGetCellParamsEvent = std::function<void(TCustomRecordGrid& sender, TGridColumn& column, QFont& font,
                                               QColor& background, TGridDrawState state)>;
using TGetFooterParamsEvent =
    std::function<void(TCustomRecordGrid& sender, int dataCol, int row, TGridColumn& column, QFont& font,
                       QColor& background, Qt::Alignment& alignment, TGridDrawState state, QString& text)>;

class TCustomRecordGrid {
public:
    TCustomRecordGrid() = default;
    virtual ~TCustomRecordGrid() = default;
    TCustomRecordGrid(const TCustomRecordGrid&) = delete;
    TCustomRecordGrid& operator=(const TCustomRecordGrid&) = delete;

    virtual records::Dataset* DataSet() const { return dataSet_; }
    // Links the grid to a dataset (or to none): the selection is emptied and the columns
    // are laid out for its fields.
    virtual void SetDataSet(records::Dataset* dataSet);
    // Call when the linked dataset opened or closed: empties the selection, renews the layout.
    void LinkActiveChanged();
    // Keeps the columns that still match a visible field (in their order), drops the
    // others and adds a column for each new visible field, in field order.
    void RebuildColumns();

    TGridColumns& Columns() { return columns_; }
    const TGridColumns& Columns() const { return columns_; }
    // The visible columns in the order of Columns: the order on screen and in exports.
    TGridColumnList VisibleColumnList() const;

    TGridOptions Options() const { return options_; }
    virtual void SetOptions(TGridOptions options) { options_ = options; }
    bool RowSizingAllowed() const { return rowSizingAllowed_; }
    virtual void SetRowSizingAllowed(bool allowed) { rowSizingAllowed_ = allowed; }
    int FooterRowCount() const { return footerRowCount_; }
    virtual void SetFooterRowCount(int count) { footerRowCount_ = count; }

    TGridSelection& Selection() { return selection_; }
    const TGridSelection& Selection() const { return selection_; }
    TBookmarkList& SelectedRowList() { return selection_.Rows(); }

    // The text the grid itself shows in a footer cell: the static text of fvtStaticText,
    // the current record's text of fvtFieldValue, else empty.
    virtual QString GetFooterValue(int row, const TGridColumn& column) const;

    TGetCellParamsEvent OnGetCellParams;
    TGetFooterParamsEvent OnGetFooterParams;

    // Keeps the current record and the record in the middle row of the visible window.
    void SaveBookmark();
    // Makes the kept record current again, with the same window of records around it.
    void RestoreBookmark();

protected:
    // The number of records in the visible window.
    virtual int VisibleRecordCount() const = 0;
    // The current record's row in the visible window, 0 = top row.
    virtual int CurrentVisibleRow() const = 0;

private:
    records::Dataset* dataSet_ = nullptr;
    TGridColumns columns_{*this};
    TGridOptions options_ = DefaultGridOptions();
    bool rowSizingAllowed_ = false;
    int footerRowCount_ = 0;
    TGridSelection selection_{*this};
    records::Bookmark savedBookmark_ = 0;
    int savedOffset_ = 0;
};

}  // namespace grid
