#pragma once
// The columns of a record grid and what a cell of one carries: the grid's column
// collection, the title caption rule, footers, the cell parameters the export walk fills,
// and the selection with its sorted list of record bookmarks.

#include "dataset.h"

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace grid {

class TCustomRecordGrid;
class TGridColumn;

enum TGridSelectionType { gstNon, gstRecordBookmarks, gstRectangle, gstColumns, gstAll };

enum TFooterValueType { fvtNon, fvtSum, fvtAvg, fvtCount, fvtFieldValue, fvtStaticText };

// ctKeyPickList shows, for the field's value found in KeyList, the text at the same place
// in PickList; ctPickList offers PickList for editing; ctCheckboxes shows a boolean as a box.
enum TGridColumnType { ctCommon, ctPickList, ctKeyPickList, ctCheckboxes };

enum TGridOption {
    dgEditing = 0x0001,
    dgTitles = 0x0002,
    dgIndicator = 0x0004,
    dgColumnResize = 0x0008,
    dgColLines = 0x0010,
    dgRowLines = 0x0020,
    dgTabs = 0x0040,
    dgRowSelect = 0x0080,
    dgConfirmDelete = 0x0100,
    dgCancelOnExit = 0x0200,
    dgMultiSelect = 0x0400,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)

// A grid's options when nobody sets them.
constexpr TGridOptions DefaultGridOptions()
{
    return TGridOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                        dgConfirmDelete | dgCancelOnExit);
}

enum TGridDrawStateFlag { gdSelected = 0x1, gdFocused = 0x2, gdFixed = 0x4 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)

// What one data cell is drawn or exported with.
struct TColCellParams {
    int Row = -1;
    int Col = -1;
    TGridDrawState State;
    QFont* Font = nullptr;  // the working font of the caller, not owned
    QColor Background;
    Qt::Alignment Alignment;
    int ImageIndex = -1;
    QString Text;
    Qt::CheckState CheckboxState = Qt::Unchecked;
};

struct TGridColumnFooter {
    TFooterValueType ValueType = fvtNon;
    QString FieldName;  // empty: the column's field
    QString Value;      // the text of fvtStaticText
    QFont Font;
    QColor Color;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class TGridColumnTitle {
public:
    explicit TGridColumnTitle(const TGridColumn& column) : column_(column) {}
    QString Caption;  // assigned caption; empty when none was assigned
    // The assigned caption, else the display name of the column's field, else FieldName.
    QString GetCaption() const;

private:
    const TGridColumn& column_;
};

// Not owning; the columns belong to their grid.
using TGridColumnList = QList<TGridColumn*>;

using TGetColCellParamsEvent = std::function<void(TGridColumn& sender, bool editMode, TColCellParams& params)>;

class TGridColumn {
public:
    TGridColumn(TCustomRecordGrid& grid, const QString& fieldName);
    TGridColumn(const TGridColumn&) = delete;
    TGridColumn& operator=(const TGridColumn&) = delete;

    TCustomRecordGrid& Grid() const { return grid_; }
    // The place in the grid's Columns.
    int Index() const;
    // The index of the bound field in the grid's dataset, -1 when there is none.
    int Field() const;
    const records::FieldDef* FieldDefinition() const;

    QString FieldName;
    bool Visible = true;
    TGridColumnTitle Title{*this};
    QFont Font;
    QColor Color = Qt::white;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int ImageIndex = -1;
    QStringList KeyList;
    QStringList PickList;
    bool Checkboxes = false;
    TGridColumnFooter Footer;
    QList<TGridColumnFooter> Footers;
    TGetColCellParamsEvent OnGetCellParams;

    // The text the column shows for the current record.
    QString DisplayText() const;
    Qt::CheckState CheckboxState() const;
    TGridColumnType GetColumnType() const;
    // Footer number `row` when the column has more footers than that, else Footer.
    const TGridColumnFooter& UsedFooter(int row) const;
    // Gives the column's own event its say over the cell's parameters.
    void GetColCellParams(bool editMode, TColCellParams& params);

private:
    TCustomRecordGrid& grid_;
    mutable int boundField_ = -1;  // where FieldName was last found
};

// The grid's column collection; it owns its columns.
class TGridColumns {
public:
    explicit TGridColumns(TCustomRecordGrid& grid) : grid_(grid) {}
    int Count() const { return int(columns_.size()); }
    TGridColumn& operator[](int index) const { return *columns_.at(size_t(index)); }
    int IndexOf(const TGridColumn& column) const;
    TGridColumn& Add(const QString& fieldName);
    void Remove(int index);
    // Moves a column to a new index; the others keep their order.
    void Move(int from, int to);
    void Clear() { columns_.clear(); }

private:
    TCustomRecordGrid& grid_;
    std::vector<std::unique_ptr<TGridColumn>> columns_;
};

class TGridSelection;

// The bookmarks of the selected records, sorted in the dataset's bookmark order and free
// of duplicates.
class TBookmarkList {
public:
    explicit TBookmarkList(TGridSelection& selection) : selection_(selection) {}
    int Count() const { return int(items_.size()); }
    records::Bookmark operator[](int index) const { return items_.at(index); }
    const QList<records::Bookmark>& Items() const { return items_; }
    // Bisection: true with the entry's index when present, else false with the index it
    // would take.
    bool Find(records::Bookmark bookmark, int& index) const;
    bool Contains(records::Bookmark bookmark) const;
    // The first entry makes the selection's kind gstRecordBookmarks.
    void Add(records::Bookmark bookmark);
    // Removing the last entry makes the selection's kind gstNon.
    void Remove(records::Bookmark bookmark);
    void Toggle(records::Bookmark bookmark);
    void Clear();

private:
    friend class TGridSelection;
    int Compare(records::Bookmark a, records::Bookmark b) const;

    TGridSelection& selection_;
    QList<records::Bookmark> items_;
};

// A block of cells: columns by index into Columns, rows by the earlier and the later
// corner record.
class TGridSelectionRect {
public:
    int GetLeftCol() const { return leftCol_; }
    int GetRightCol() const { return rightCol_; }
    records::Bookmark GetTopRow() const { return topRow_; }
    records::Bookmark GetBottomRow() const { return bottomRow_; }

private:
    friend class TGridSelection;
    int leftCol_ = 0;
    int rightCol_ = -1;
    records::Bookmark topRow_ = 0;
    records::Bookmark bottomRow_ = 0;
};

class TGridSelection {
public:
    explicit TGridSelection(TCustomRecordGrid& grid) : grid_(grid) {}
    TGridSelectionType SelectionType() const { return kind_; }
    TBookmarkList& Rows() { return rows_; }
    const TBookmarkList& Rows() const { return rows_; }
    const TGridSelectionRect& Rect() const { return rect_; }
    const TGridColumnList& Columns() const { return columns_; }

    // Each of these replaces whatever was selected before.
    void SelectAll();
    void SelectRect(int leftCol, records::Bookmark cornerA, int rightCol, records::Bookmark cornerB);
    void SelectColumns(const TGridColumnList& columns);
    void Clear();

    TCustomRecordGrid& Grid() const { return grid_; }

private:
    friend class TBookmarkList;
    void ClearExcept(TGridSelectionType keep);

    TCustomRecordGrid& grid_;
    TGridSelectionType kind_ = gstNon;
    TBookmarkList rows_{*this};
    TGridSelectionRect rect_;
    TGridColumnList columns_;
};

}  // namespace grid

Q_DECLARE_OPERATORS_FOR_FLAGS(grid::TGridOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(grid::TGridDrawState)
