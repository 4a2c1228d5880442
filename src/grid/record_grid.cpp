#include "record_grid.h"

#include "message_boxes.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>

namespace grid {

namespace {
constexpr int kRowHeight = 20;
}

TRecordGrid::TRecordGrid(ui::MessageBoxes& boxes, QWidget* parent) : QTableView(parent), boxes_(boxes)
{
    // The view never changes the selection by itself; the selection rules do.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setCornerButtonEnabled(true);
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setFixedWidth(14);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, &TRecordGrid::ColumnMoved);
    // While rows go, the view moves its current row by itself; that must not move the dataset.
    auto hold = [this] { following_ = true; };
    auto release = [this] { following_ = false, FollowDataSet(); };
    connect(&model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, release);
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, hold);
    connect(&model_, &QAbstractItemModel::modelReset, this, release);
    connect(&model_, &QAbstractItemModel::layoutAboutToBeChanged, this, hold);
    connect(&model_, &QAbstractItemModel::layoutChanged, this, release);
    // gstAll means every record, also those appended since.
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (Selection().SelectionType() == gstAll) ShowSelection();
    });
    setModel(&model_);  // after the holds, so they come before the view's own handlers
    // Whether to follow is decided before the rows arrive, where the view still stands. The
    // move itself waits for the event loop: the rows may be announced inside another step
    // of the dataset (a lookup during a deletion), which must not see the cursor move.
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        if (newestPending_ || !OnTheNewest() || !ShowsTheEnd() || HoldsSelection()) return;
        newestPending_ = true;
        followFrom_ = DataSet() ? DataSet()->GetBookmark() : 0;
        QMetaObject::invokeMethod(this, &TRecordGrid::ShowNewest, Qt::QueuedConnection);
    });
    SetOptions(Options());
    SetRowSizingAllowed(RowSizingAllowed());
}

void TRecordGrid::SetDataSet(records::Dataset* dataSet)
{
    if (DataSet()) disconnect(DataSet(), nullptr, this, nullptr);
    TCustomRecordGrid::SetDataSet(dataSet);
    anchor_ = 0;
    if (dataSet) {
        connect(dataSet, &records::Dataset::CurrentChanged, this, &TRecordGrid::FollowDataSet);
        connect(dataSet, &records::Dataset::ControlsResumed, this, &TRecordGrid::FollowDataSet);
        connect(dataSet, &records::Dataset::RecordsDeleted, this, &TRecordGrid::Forget);
        connect(dataSet, &records::Dataset::AllDeleted, this, [this] { Selection().Clear(); });
        connect(dataSet, &records::Dataset::DatasetReset, this, [this] { LinkActiveChanged(), Relayout(); });
    }
    model_.SetDataSet(dataSet);
    Relayout();
}

void TRecordGrid::Relayout()
{
    model_.SetColumns(VisibleColumnList());
    // The header shows the columns in their list order again.
    QHeaderView* header = horizontalHeader();
    relayingOut_ = true;
    for (int logical = 0; logical < header->count(); ++logical)
        if (header->visualIndex(logical) != logical) header->moveSection(header->visualIndex(logical), logical);
    relayingOut_ = false;
    ShowSelection();
}

void TRecordGrid::SetOptions(TGridOptions options)
{
    TCustomRecordGrid::SetOptions(options);
    setSelectionBehavior(options.testFlag(dgRowSelect) ? SelectRows : SelectItems);
    horizontalHeader()->setVisible(options.testFlag(dgTitles));
    verticalHeader()->setVisible(options.testFlag(dgIndicator));
    horizontalHeader()->setSectionsMovable(options.testFlag(dgColumnResize));
    horizontalHeader()->setSectionResizeMode(options.testFlag(dgColumnResize) ? QHeaderView::Interactive
                                                                              : QHeaderView::Fixed);
    setShowGrid(options.testFlag(dgColLines) || options.testFlag(dgRowLines));
    if (!options.testFlag(dgMultiSelect)) Selection().Clear();
}

void TRecordGrid::SetRowSizingAllowed(bool allowed)
{
    TCustomRecordGrid::SetRowSizingAllowed(allowed);
    verticalHeader()->setSectionResizeMode(allowed ? QHeaderView::Interactive : QHeaderView::Fixed);
}

// A column dragged elsewhere takes its new place in Columns, so the next export follows.
void TRecordGrid::ColumnMoved()
{
    if (relayingOut_) return;
    const QHeaderView* header = horizontalHeader();
    const TGridColumnList shown = model_.Columns();
    for (int visual = 0; visual < header->count(); ++visual) {
        TGridColumn* column = shown.value(header->logicalIndex(visual));
        if (column) Columns().Move(column->Index(), visual);
    }
}

int TRecordGrid::VisibleRecordCount() const
{
    const int top = rowAt(0);
    if (top < 0) return 0;
    const int bottom = rowAt(viewport()->height() - 1);
    return (bottom < 0 ? model_.rowCount() - 1 : bottom) - top + 1;
}

int TRecordGrid::CurrentVisibleRow() const
{
    const int top = rowAt(0);
    return top < 0 ? 0 : currentIndex().row() - top;
}

// The view's current row follows the dataset's current record.
void TRecordGrid::FollowDataSet()
{
    if (!DataSet() || DataSet()->ControlsDisabled() || following_) return;
    const int row = model_.RowOf(DataSet()->GetBookmark());
    if (row < 0 || row == currentIndex().row()) return;
    following_ = true;
    const auto done = qScopeGuard([this] { following_ = false; });
    const QModelIndex index = model_.index(row, std::max(0, currentIndex().column()));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

bool TRecordGrid::ShowsTheEnd() const
{
    const int rows = model_.rowCount();
    const int bottom = rowAt(viewport()->height() - 1);
    return rows == 0 || bottom < 0 || bottom >= rows - 1;
}

// The operator's current record is the newest (or there is none yet): one moved up by
// keyboard or mouse stays where it is.
bool TRecordGrid::OnTheNewest() const
{
    const int rows = model_.rowCount();
    return rows == 0 || !DataSet() || DataSet()->GetBookmark() == model_.BookmarkAt(rows - 1);
}

bool TRecordGrid::HoldsSelection() const
{
    return Selection().SelectionType() == gstAll || Selection().Rows().Count() >= 2;
}

void TRecordGrid::ShowNewest()
{
    newestPending_ = false;
    records::Dataset* dataSet = DataSet();
    if (!dataSet || dataSet->ControlsDisabled() || model_.rowCount() == 0 || HoldsSelection()) return;
    // The operator may have moved since the rows were announced.
    if (dataSet->GetBookmark() != followFrom_) return;
    const records::Bookmark newest = model_.BookmarkAt(model_.rowCount() - 1);
    scrollToBottom();
    if (newest != dataSet->GetBookmark()) ui::RunHandler(boxes_, this, [&] { dataSet->GotoBookmark(newest); });
}

void TRecordGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid() || !DataSet()) return;
    following_ = true;
    const auto done = qScopeGuard([this] { following_ = false; });
    const records::Bookmark bookmark = model_.BookmarkAt(current.row());
    if (bookmark != DataSet()->GetBookmark()) ui::RunHandler(boxes_, this, [&] { DataSet()->GotoBookmark(bookmark); });
}

// Records deleted elsewhere leave the list of selected records too.
void TRecordGrid::Forget(const QList<records::Bookmark>& bookmarks)
{
    for (records::Bookmark bookmark : bookmarks)
        if (SelectedRowList().Contains(bookmark)) SelectedRowList().Remove(bookmark);
    if (anchor_ && !SelectedRowList().Contains(anchor_)) anchor_ = 0;
}

void TRecordGrid::ShowSelection()
{
    QItemSelection shown;
    if (Selection().SelectionType() == gstAll && model_.rowCount() > 0) {
        shown.select(model_.index(0, 0), model_.index(model_.rowCount() - 1, model_.columnCount() - 1));
    } else {
        int first = -1, last = -1;
        auto flush = [&] {
            if (first >= 0) shown.select(model_.index(first, 0), model_.index(last, model_.columnCount() - 1));
        };
        for (records::Bookmark bookmark : SelectedRowList().Items()) {
            const int row = model_.RowOf(bookmark);
            if (row < 0) continue;
            if (row != last + 1 || first < 0) {
                flush();
                first = row;
            }
            last = row;
        }
        flush();
    }
    selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect);
}

void TRecordGrid::selectAll()
{
    if (!MultiSelect()) return;
    anchor_ = 0;
    if (Selection().SelectionType() != gstNon)
        Selection().Clear();
    else
        Selection().SelectAll();
    ShowSelection();
}

void TRecordGrid::MoveTo(int row, bool extend)
{
    const int count = model_.rowCount();
    if (count == 0) return;
    row = std::clamp(row, 0, count - 1);
    int at = std::max(0, currentIndex().row());
    if (extend && MultiSelect()) {
        if (anchor_ == 0) {
            anchor_ = model_.BookmarkAt(at);
            SelectedRowList().Add(anchor_);
        }
        const int anchorRow = model_.RowOf(anchor_);
        for (const int step = row > at ? 1 : -1; at != row; at += step) {
            // A step back toward the anchor unselects the record it leaves.
            if ((at - anchorRow) * step < 0) SelectedRowList().Remove(model_.BookmarkAt(at));
            SelectedRowList().Add(model_.BookmarkAt(at + step));
        }
    }
    setCurrentIndex(model_.index(row, std::max(0, currentIndex().column())));
    ShowSelection();
}

void TRecordGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) return QTableView::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const records::Bookmark clicked = model_.BookmarkAt(index.row());
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers.testFlag(Qt::ShiftModifier) && currentIndex().isValid()) return MoveTo(index.row(), true);
    anchor_ = 0;
    if (MultiSelect()) {
        if (modifiers.testFlag(Qt::ControlModifier)) {
            SelectedRowList().Toggle(clicked);
        } else {
            Selection().Clear();
            SelectedRowList().Add(clicked);
        }
    }
    setCurrentIndex(model_.index(index.row(), index.column()));
    ShowSelection();
}

void TRecordGrid::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const int row = currentIndex().row();
    const int page = std::max(1, VisibleRecordCount() - 1);
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Escape:
        anchor_ = 0;
        Selection().Clear();
        return ShowSelection();
    case Qt::Key_Delete:
        if (event->modifiers().testFlag(Qt::ControlModifier))
            return ui::RunHandler(boxes_, this, [this] { DeleteSelected(); });
        return QTableView::keyPressEvent(event);
    case Qt::Key_Up: target = row - 1; break;
    case Qt::Key_Down: target = row + 1; break;
    case Qt::Key_PageUp: target = row - page; break;
    case Qt::Key_PageDown: target = row + page; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = model_.rowCount() - 1; break;
    default: return QTableView::keyPressEvent(event);
    }
    if (!shift || !MultiSelect()) {
        anchor_ = 0;
        Selection().Clear();
    }
    MoveTo(target, shift);
}

// The records to delete are those of the moment Ctrl+Delete was pressed: readings that
// arrive or records deleted elsewhere while the box is open change neither the question
// nor what is deleted.
void TRecordGrid::DeleteSelected()
{
    records::Dataset* dataSet = DataSet();
    if (!dataSet || dataSet->IsEmpty() || !dataSet->CanModify()) return;
    const records::Bookmark current = dataSet->GetBookmark();
    const QList<records::Bookmark> listed = SelectedRowList().Items();
    if (Options().testFlag(dgConfirmDelete)) {
        const QString question =
            listed.size() < 2 ? QStringLiteral("Delete record?") : QStringLiteral("Delete all selected records?");
        if (!boxes_.ConfirmOkCancel(this, question)) return;
    }
    QList<records::Bookmark> doomed;
    for (records::Bookmark bookmark : listed.isEmpty() ? QList{current} : listed)
        if (model_.RowOf(bookmark) >= 0) doomed << bookmark;
    if (doomed.isEmpty()) return;
    if (listed.isEmpty()) {
        dataSet->GotoBookmark(current);
        return dataSet->Delete();
    }
    dataSet->DisableControls();
    const auto resume = qScopeGuard([dataSet] { dataSet->EnableControls(); });
    dataSet->DeleteRecords(doomed);
    for (records::Bookmark bookmark : listed) SelectedRowList().Remove(bookmark);
}

}  // namespace grid
