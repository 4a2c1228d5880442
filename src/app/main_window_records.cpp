// The main window's records: the table, the grid, recording each externally triggered
// reading, and the two buttons that remove records.

#include "log_categories.h"
#include "look.h"
#include "main_window.h"
#include "message_boxes.h"
#include "platform_error.h"
#include "record_grid.h"
#include "record_table.h"
#include "widget_factory.h"
#include "window_set.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
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
    RecordGrid1->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    RecordGrid1->SetDataSet(DataSource1);
}

// Runs inside the handling of a frame; never waits on the file. A reading the file
// cannot take now waits in the recorder, which says when that has gone on for long.
void TForm1::RecordReading(const records::MeasurementValues& values) { windows_.Recorder().Append(values); }

void TForm1::FollowRecorder(QWidget* client)
{
    waitingLabel_ = ui::MakeLabel(client, QString(), 830, 10, 170, 21, ui::PixelFont(QStringLiteral("宋体"), 13));
    waitingLabel_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    waitingLabel_->setObjectName(QStringLiteral("waitingLabel"));
    waitingLabel_->hide();
    records::MeasurementRecorder& recorder = windows_.Recorder();
    connect(&recorder, &records::MeasurementRecorder::WaitingChanged, this, [this](int count) {
        waitingLabel_->setText(QStringLiteral("待保存读数 %1 条").arg(count));
        waitingLabel_->setVisible(count > 0);
    });
    connect(&recorder, &records::MeasurementRecorder::SavingStalled, this, [this](const QString& error) {
        ShowRecordsBox(error + QStringLiteral("\n读数已保留，数据库文件可以写入时将自动保存。"), true);
    });
    connect(&recorder, &records::MeasurementRecorder::WaitingFull, this, [this](int count) {
        ShowRecordsBox(QStringLiteral("待保存读数已达 %1 条，此后的读数不再保留，直到数据库文件可以写入。").arg(count),
                       false);
    });
    connect(&windows_.Watch(), &DatabaseWatch::WrittenBack, this,
            [this](const QString& lost, const QString& now, bool folderMade) {
                const QString gone =
                    folderMade ? QStringLiteral("数据文件夹 %1 已被删除，已重新建立。")
                                     .arg(QDir::toNativeSeparators(QFileInfo(lost).absolutePath()))
                               : QStringLiteral("数据库文件 %1 已被删除或替换。").arg(QDir::toNativeSeparators(lost));
                ShowRecordsBox(
                    gone + QStringLiteral("全部记录已写回 %2，记录继续保存在那里。").arg(QDir::toNativeSeparators(now)),
                    false);
            });
    connect(&windows_.Watch(), &DatabaseWatch::WriteBackFailed, this,
            [this](const QString& lost, const QString& error, bool folderGone) {
                const QString text =
                    folderGone
                        ? QStringLiteral(
                              "数据文件夹 %1 已被删除，无法重新建立：%2\n读数已保留。请恢复该文件夹，"
                              "文件夹可以写入时全部记录将自动写回。")
                              .arg(QDir::toNativeSeparators(QFileInfo(lost).absolutePath()), error)
                        : QStringLiteral("数据库文件 %1 已被删除或替换，写回失败：%2\n读数已保留，程序将继续重试。")
                              .arg(QDir::toNativeSeparators(lost), error);
                ShowRecordsBox(text, true);
            });
}

// After the handling that raised it, and one box at a time: readings go on being shown
// and kept while it is open; a text raised meanwhile follows when it closes.
void TForm1::ShowRecordsBox(const QString& text, bool asError)
{
    recordsBoxes_.append({text, asError});
    if (recordsBoxes_.size() == 1) QTimer::singleShot(0, this, &TForm1::ShowNextRecordsBox);
}

void TForm1::ShowNextRecordsBox()
{
    if (recordsBoxes_.isEmpty()) return;
    const auto [text, asError] = recordsBoxes_.front();
    if (asError)
        windows_.Boxes().ShowError(this, text);
    else
        windows_.Boxes().Inform(this, text);
    recordsBoxes_.removeFirst();
    if (!recordsBoxes_.isEmpty()) QTimer::singleShot(0, this, &TForm1::ShowNextRecordsBox);
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
