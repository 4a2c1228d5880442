#pragma once
// TForm4, "检索结果": the window that lists a search result. Its grid, query and the
// save and open buttons' actions come with the record table.

#include <QWidget>

class QPushButton;
class QTableView;

class TForm4 : public QWidget {
    Q_OBJECT
public:
    TForm4();

    QTableView* RecordGrid1;
    QPushButton* Button2;
    QPushButton* Button1;
    QPushButton* Button4;

    void Button4Click();
};
