#include "search_results_window.h"

#include "look.h"
#include "main_window.h"
#include "message_boxes.h"
#include "record_grid.h"
#include "record_query.h"
#include "spreadsheet_files.h"
#include "widget_factory.h"
#include "window_set.h"

#include <QLineEdit>
#include <QPushButton>

TForm4::TForm4(WindowSet& windows) : windows_(windows)
{
    ui::SetUpForm(this, QStringLiteral("检索结果"), ui::kCloseBoxOnly);
    ui::SetOuterGeometry(this, -44, 278, 776, 526);

    Query1 = new records::RecordQuery(windows.Store(), this);
    Query1->SQL().append(QStringLiteral("select * from data"));
    Query1->SetDataSource(windows.Main().DataSource1);
    Query1->Open();
    DataSource1 = Query1;

    RecordGrid1 = new grid::TRecordGrid(windows.Boxes(), this);
    RecordGrid1->setGeometry(104, 40, 569, 361);
    RecordGrid1->setFont(ui::WindowFont());
    RecordGrid1->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    RecordGrid1->SetDataSet(DataSource1);

    Button2 = ui::MakeButton(this, QStringLiteral("保存"), 128, 432, 121, 25);
    Button1 = ui::MakeButton(this, QStringLiteral("打开"), 320, 432, 121, 25);
    Button4 = ui::MakeButton(this, QStringLiteral("退出"), 504, 432, 113, 25);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);
    StatisticsButton = ui::MakeButton(this, QStringLiteral("统计"), 640, 432, 97, 25);
    connect(StatisticsButton, &QPushButton::clicked, this, &TForm4::StatisticsButtonClick);
}

// Saves the result on show, whatever is selected; the offered name takes the main
// window's operator number, as the main window's own save does.
void TForm4::Button2Click()
{
    ui::RunHandler(windows_.Boxes(), this, [this] {
        spreadsheet::SaveGrid(*RecordGrid1, windows_.Main().Edit3->text(), this, windows_.Dialogs(), windows_.Boxes());
    });
}

void TForm4::Button1Click()
{
    ui::RunHandler(windows_.Boxes(), this,
                   [this] { spreadsheet::OpenInSpreadsheetApplication(this, windows_.Dialogs(), windows_.Boxes()); });
}

void TForm4::StatisticsButtonClick()
{
    ui::RunHandler(windows_.Boxes(), this, [this] { windows_.OpenStatistics(true); });
}

// Closing only hides the window; the query stays open and keeps following.
void TForm4::Button4Click() { close(); }
