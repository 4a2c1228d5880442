#include "search_results_window.h"

#include "look.h"

#include <QPushButton>
#include <QTableView>

TForm4::TForm4()
{
    setWindowTitle(QStringLiteral("检索结果"));
    setWindowFlags(ui::kCloseBoxOnly);
    setFont(ui::WindowFont());
    ui::SetOuterGeometry(this, -44, 278, 776, 526);

    RecordGrid1 = new QTableView(this);
    RecordGrid1->setGeometry(104, 40, 569, 361);
    RecordGrid1->setFocusPolicy(Qt::NoFocus);
    Button2 = new QPushButton(QStringLiteral("保存"), this);
    Button2->setGeometry(128, 432, 121, 25);
    Button1 = new QPushButton(QStringLiteral("打开"), this);
    Button1->setGeometry(320, 432, 121, 25);
    Button4 = new QPushButton(QStringLiteral("退出"), this);
    Button4->setGeometry(504, 432, 113, 25);
    connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);
}

void TForm4::Button4Click() { close(); }
