#pragma once
// TRecordGrid: the record grid on screen. A table view over a RecordModel with the
// grid's columns, options and selection: whole-row selection of records by bookmark with
// plain, Ctrl and Shift clicks and Shift with the moving keys, the corner click for all
// records, Esc, and Ctrl+Delete after a confirmation.

#include "custom_record_grid.h"
#include "record_model.h"

#include <QTableView>

namespace ui {
class MessageBoxes;
}

namespace grid {

class TRecordGrid : public QTableView, public TCustomRecordGrid {
    Q_OBJECT
public:
    TRecordGrid(ui::MessageBoxes& boxes, QWidget* parent = nullptr);

    void SetDataSet(records::Dataset* dataSet) override;
    void SetOptions(TGridOptions options) override;
    void SetRowSizingAllowed(bool allowed) override;
    RecordModel& Model() { return model_; }

    // The corner click (and Ctrl+A): clears a selection, else selects every record.
    void selectAll() override;
    // Ctrl+Delete: after the confirmation, deletes the listed records, or the current one.
    void DeleteSelected();

protected:
    int VisibleRecordCount() const override;
    int CurrentVisibleRow() const override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    bool MultiSelect() const { return Options().testFlag(dgMultiSelect); }
    void Relayout();
    void ColumnMoved();
    void FollowDataSet();
    // Appended records: the newest becomes current and shown, unless the operator has
    // moved the current record away from the newest, scrolled away from the end or holds
    // a selection of several records.
    bool OnTheNewest() const;
    bool ShowsTheEnd() const;
    bool HoldsSelection() const;
    void ShowNewest();
    void Forget(const QList<records::Bookmark>& bookmarks);
    // Moves the current row to `row`; with `extend`, by the range rule, one record at a time.
    void MoveTo(int row, bool extend);
    void ShowSelection();

    ui::MessageBoxes& boxes_;
    RecordModel model_;
    records::Bookmark anchor_ = 0;  // 0: no range running
    bool following_ = false;
    bool relayingOut_ = false;
    bool newestPending_ = false;
    records::Bookmark followFrom_ = 0;  // the current record when the follow was decided
};

}  // namespace grid
