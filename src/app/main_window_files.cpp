// The main window's "保存" and "打开": the record table saved as an .xls file, an .xls
// file handed to the spreadsheet application.

#include "main_window.h"
#include "record_grid.h"
#include "spreadsheet_files.h"
#include "window_set.h"

#include <QLineEdit>

void TForm1::SaveButtonClick()
{
    Guarded([this] { spreadsheet::SaveGrid(*RecordGrid1, Edit3->text(), this, windows_.Dialogs(), windows_.Boxes()); });
}

void TForm1::Button6Click()
{
    Guarded([this] { spreadsheet::OpenInSpreadsheetApplication(this, windows_.Dialogs(), windows_.Boxes()); });
}
