#include "search_results_window.h"

#include "look.h"
#include "main_window.h"
#include "record_grid.h"
#include "record_query.h"
#include "widget_factory.h"
#include "window_set.h"

#include <QPushButton>

TForm4::TForm4(WindowSet& windows)
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
    connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);
}

// Closing only hides the window; the query stays open and keeps following.
void TForm4::Button4Click() { close(); }
