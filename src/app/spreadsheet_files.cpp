#include "spreadsheet_files.h"

#include "file_dialogs.h"
#include "log_categories.h"
#include "message_boxes.h"
#include "xls_writer.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QStandardPaths>
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

// The free desktop's lists of applications by type, most specific first.
QStringList MimeListFiles()
{
    QStringList files;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        for (const char* name : {"mimeapps.list", "defaults.list", "mimeinfo.cache"})
            files << dir + QStringLiteral("/applications/") + QLatin1String(name);
    return files;
}

// The desktop entries a list file names for any of the types, outside removed associations.
QStringList EntriesFor(const QString& listFile, const QStringList& types)
{
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QStringList entries;
    bool removed = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) removed = line == u"[Removed Associations]";
        const qsizetype equals = line.indexOf(u'=');
        if (removed || equals < 0 || !types.contains(line.left(equals).trimmed())) continue;
        entries << line.mid(equals + 1).split(u';', Qt::SkipEmptyParts);
    }
    return entries;
}

bool DesktopEntryInstalled(const QString& entry)
{
    return !QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("applications/") + entry)
                .isEmpty();
}

// Where handing a file over cannot fail visibly: a free desktop on a real display.
bool HandOverIsBlind()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal";
#else
    return false;
#endif
}

}  // namespace

bool FreeDesktopHasApplicationFor(const QString& fileName)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName);
    const QStringList types = QStringList{type.name()} + type.aliases();
    for (const QString& listFile : MimeListFiles())
        for (const QString& entry : EntriesFor(listFile, types))
            if (DesktopEntryInstalled(entry.trimmed())) return true;
    return false;
}

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
    // Readings go on arriving while the dialog is open: the list may have outgrown a file.
    if (!FitsInOneFile(grid, parent, boxes)) return;
    grid::SaveGridToExportFile(grid::ExportClass<grid::TGridExportAsXLS>(), grid, fileName, true);
}

void OpenInSpreadsheetApplication(QWidget* parent, ui::FileDialogs& dialogs, ui::MessageBoxes& boxes)
{
    const std::optional<QString> chosen = dialogs.OpenFileName(parent, kFilter);
    if (!chosen) return;
    // The desktop's default application for .xls files: Excel on Windows, LibreOffice
    // Calc or the like elsewhere.
    const bool taken = HandOverIsBlind() && !FreeDesktopHasApplicationFor(*chosen)
                           ? false
                           : QDesktopServices::openUrl(QUrl::fromLocalFile(*chosen));
    if (taken) return;
    qCInfo(lcApp) << "no application took" << *chosen;
    boxes.InformCaptioned(parent, QStringLiteral(" "), QStringLiteral("cannot open excel"));
}

}  // namespace spreadsheet
