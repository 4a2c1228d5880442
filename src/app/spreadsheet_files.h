#pragma once
// The "保存" and "打开" steps the main window and the search-results window share: a
// record grid saved as an .xls file, and an .xls file handed to the spreadsheet
// application.

#include <QDate>
#include <QString>

class QWidget;

namespace grid {
class TCustomRecordGrid;
}
namespace ui {
class FileDialogs;
class MessageBoxes;
}  // namespace ui

namespace spreadsheet {

// The name the save dialog offers: the operator number, "-", the date as yyyymmdd.
QString DefaultFileName(const QString& operatorNumber, const QDate& today);

// Asks for a file name and writes every record of the grid, title row first. An existing
// file is replaced only when the operator answers Yes; more records than a file holds
// are refused before anything is asked or written.
void SaveGrid(grid::TCustomRecordGrid& grid, const QString& operatorNumber, QWidget* parent, ui::FileDialogs& dialogs,
              ui::MessageBoxes& boxes);

// Whether the free desktop's registry (mimeapps.list, mimeinfo.cache) names an installed
// application for the file's type. Handing a file over succeeds there even when no
// application takes it, so the operator would be told nothing.
bool FreeDesktopHasApplicationFor(const QString& fileName);

// Asks for an .xls file and hands it to the desktop's spreadsheet application.
void OpenInSpreadsheetApplication(QWidget* parent, ui::FileDialogs& dialogs, ui::MessageBoxes& boxes);

}  // namespace spreadsheet
