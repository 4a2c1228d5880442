#pragma once
// TForm4, "检索结果": the window that lists a search result. Its query `Query1` is opened
// on every record at creation and follows the main window's record table from then on,
// shown or hidden; the searches on the main window replace its statement.

#include <QWidget>

class QPushButton;
class WindowSet;

namespace grid {
class TRecordGrid;
}
namespace records {
class Dataset;
class RecordQuery;
}  // namespace records

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(WindowSet& windows);

    records::RecordQuery* Query1;
    records::Dataset* DataSource1;
    grid::TRecordGrid* RecordGrid1;
    QPushButton* Button2;
    QPushButton* Button1;
    QPushButton* Button4;
    QPushButton* StatisticsButton;

    void Button2Click();
    void Button1Click();
    void Button4Click();
    void StatisticsButtonClick();

private:
    WindowSet& windows_;
};
