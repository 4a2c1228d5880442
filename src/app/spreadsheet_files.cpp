#include "spreadsheet_files.h"

#include "file_dialogs.h"
#include "log_categories.h"
#include "message_boxes.h"
#include "xls_writer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace spreadsheet {
namespace {

const QString kFilter = QStringLiteral("*.xls");

// A name typed without an extension gets the default one.
QString WithDefaultSuffix(const QString& fileName)
{
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + QStringLiteral(".xls") : fileName;
}

// Tells the operator, and says no, when the grid's records do not fit in one file.
bool FitsInOneFile(grid::TCustomRecordGrid& grid, QWidget* parent, ui::MessageBoxes& boxes)
{
    const records::Dataset* dataSet = grid.DataSet();
    const int most = grid::TGridExportAsXLS::MaxRecords(grid);
    if (!dataSet || dataSet->RecordCount() <= most) return true;
    boxes.Inform(parent, QStringLiteral("共有 %1 条记录,一个文件最多保存 %2 条记录,未保存。"
                                        "请按日期检索,保存较短的记录列表。")
                             .arg(dataSet->RecordCount())
                             .arg(most));
    return false;
}

}  // namespace

QString DefaultFileName(const QString& operatorNumber, const QDate& today)
{
    return operatorNumber + u'-' + today.toString(QStringLiteral("yyyyMMdd"));
}

void SaveGrid(grid::TCustomRecordGrid& grid, const QString& operatorNumber, QWidget* parent, ui::FileDialogs& dialogs,
              ui::MessageBoxes& boxes)
{
    if (!FitsInOneFile(grid, parent, boxes)) return;
    const std::optional<QString> chosen =
        dialogs.SaveFileName(parent, QStringLiteral("Save   File   As   Excel"), kFilter,
                             DefaultFileName(operatorNumber, QDate::currentDate()));
    if (!chosen || chosen->isEmpty()) return;
    const QString fileName = WithDefaultSuffix(*chosen);
    if (QFileInfo::exists(fileName) &&
        boxes.AskYesNoCancel(parent, QStringLiteral("文件名已存在,覆盖吗?")) != ui::Answer::Yes)
        return;
    grid::SaveGridToExportFile(grid::ExportClass<grid::TGridExportAsXLS>(), grid, fileName, true);
}

void OpenInSpreadsheetApplication(QWidget* parent, ui::FileDialogs& dialogs, ui::MessageBoxes& boxes)
{
    const std::optional<QString> chosen = dialogs.OpenFileName(parent, kFilter);
    if (!chosen) return;
    // The desktop's default application for .xls files: Excel on Windows, LibreOffice
    // Calc or the like elsewhere.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(*chosen))) return;
    qCInfo(lcApp) << "no application took" << *chosen;
    boxes.InformCaptioned(parent, QStringLiteral(" "), QStringLiteral("cannot open excel"));
}

}  // namespace spreadsheet
