// The main window's records: the table, the grid, recording each externally triggered
// reading, and the two buttons that remove records.

#include "log_categories.h"
#include "main_window.h"
#include "message_boxes.h"
#include "platform_error.h"
#include "record_grid.h"
#include "record_table.h"
#include "window_set.h"

#include <QTimer>

void TForm1::BuildRecords(QWidget* client)
{
    Table1 = new records::RecordTable(windows_.Store(), this);
    DataSource1 = Table1;
    RecordGrid1 = new grid::TRecordGrid(windows_.Boxes(), client);
    RecordGrid1->setGeometry(176, 200, 825, 297);
    RecordGrid1->SetOptions(grid::TGridOptions(grid::dgTitles | grid::dgIndicator | grid::dgColumnResize |
                                               grid::dgColLines | grid::dgRowLines | grid::dgTabs | grid::dgRowSelect |
                                               grid::dgConfirmDelete | grid::dgCancelOnExit | grid::dgMultiSelect));
    RecordGrid1->SetRowSizingAllowed(true);
    RecordGrid1->SetDataSet(DataSource1);
}

// Runs inside the handling of a frame. A failing append is shown after that handling
// ends, one box at a time: readings go on being shown and recorded (each next one tries
// again) while the box is open, and errors meanwhile are only logged.
void TForm1::RecordReading(const records::MeasurementValues& values)
{
    try {
        windows_.Recorder().Append(values);
    } catch (const PlatformError& error) {
        qCWarning(lcRecords).noquote() << "record" << windows_.Recorder().Counter() << "not kept:" << error.Text();
        if (appendBoxUp_ || !appendError_.isEmpty()) return;
        appendError_ = error.Text();
        QTimer::singleShot(0, this, &TForm1::ShowAppendError);
    }
}

void TForm1::ShowAppendError()
{
    appendBoxUp_ = true;
    windows_.Boxes().ShowError(this, std::exchange(appendError_, QString()));
    appendBoxUp_ = false;
}

void TForm1::Button3Click()
{
    Guarded([this] {
        records::Dataset* dataSet = RecordGrid1->DataSet();
        grid::TBookmarkList& selected = RecordGrid1->SelectedRowList();
        if (selected.Count() == 0) return;
        // One transaction for all of them; the views follow the one announcement.
        dataSet->DeleteRecords(selected.Items());
        selected.Clear();
    });
}

void TForm1::Button7Click()
{
    // One transaction with the effect of deleting from the first record on: every record
    // gone, the views following, the record number counter untouched.
    Guarded([this] {
        if (!Table1->IsEmpty()) windows_.Store().DeleteAll();
    });
}
