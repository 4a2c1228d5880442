// "保存" and "打开" as both windows run them: the dialog, the overwrite question, what
// reaches the file, failures shown and the old file kept, and the hand-over to the
// spreadsheet application.

#include "environment_guard.h"
#include "main_window.h"
#include "memory_grid.h"
#include "message_boxes.h"
#include "pty_pair.h"
#include "record_grid.h"
#include "recording_boxes.h"
#include "recording_dialogs.h"
#include "search_results_window.h"
#include "spreadsheet_files.h"
#include "temp_database.h"
#include "window_set.h"
#include "xls_writer.h"

#include <QApplication>
#include <QBuffer>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using records::TFieldType;
using testing_support::Field;
using testing_support::MemoryDataset;
using testing_support::MemoryGrid;

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ExportBytes(grid::TCustomRecordGrid& grid, bool allRecords)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    grid::WriteGridToExportStream(grid::ExportClass<grid::TGridExportAsXLS>(), grid, buffer, allRecords);
    return buffer.data();
}

}  // namespace

// Takes the files the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

class SpreadsheetFilesTest : public QObject {
    Q_OBJECT
private slots:
    void offersOperatorAndDate();
    void saves_data();
    void saves();
    void refusesMoreRecordsThanAFileHolds();
    void opens_data();
    void opens();
    void asksWithYesAsDefault_data();
    void asksWithYesAsDefault();
    void mainWindowSavesEveryRecord_data();
    void mainWindowSavesEveryRecord();
    void resultsWindowSavesTheResult();
    void findsTheDesktopsApplication();
};

// The free desktop's registry read as xdg-open reads it: a default or a cached entry
// counts when its desktop file is installed; a removed association does not.
void SpreadsheetFilesTest::findsTheDesktopsApplication()
{
    QTemporaryDir home;
    testing_support::EnvironmentGuard config("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    testing_support::EnvironmentGuard configDirs("XDG_CONFIG_DIRS", home.filePath("etc").toLocal8Bit());
    testing_support::EnvironmentGuard data("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    // The type database stays the system's; its applications are hidden.
    QDir(home.path()).mkpath("types");
    QVERIFY(QFile::link("/usr/share/mime", home.filePath("types/mime")));
    testing_support::EnvironmentGuard dataDirs("XDG_DATA_DIRS",
                                               (home.filePath("share") + ':' + home.filePath("types")).toLocal8Bit());
    QDir(home.path()).mkpath("config");
    QDir(home.path()).mkpath("share/applications");
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(home.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    const QString sheet = home.filePath("a.xls");
    QVERIFY(!spreadsheet::FreeDesktopHasApplicationFor(sheet));
    write("share/applications/mimeinfo.cache", "[MIME Cache]\napplication/vnd.ms-excel=calc.desktop;\n");
    QVERIFY(!spreadsheet::FreeDesktopHasApplicationFor(sheet));  // named, not installed
    write("share/applications/calc.desktop", "[Desktop Entry]\nType=Application\nName=Calc\nExec=calc %f\n");
    QVERIFY(spreadsheet::FreeDesktopHasApplicationFor(sheet));
    QVERIFY(!spreadsheet::FreeDesktopHasApplicationFor(home.filePath("a.png")));
    QFile::remove(home.filePath("share/applications/mimeinfo.cache"));
    write("config/mimeapps.list", "[Removed Associations]\napplication/vnd.ms-excel=calc.desktop;\n");
    QVERIFY(!spreadsheet::FreeDesktopHasApplicationFor(sheet));
    write("config/mimeapps.list", "[Default Applications]\napplication/vnd.ms-excel=calc.desktop\n");
    QVERIFY(spreadsheet::FreeDesktopHasApplicationFor(sheet));
}

void SpreadsheetFilesTest::offersOperatorAndDate()
{
    QCOMPARE(spreadsheet::DefaultFileName("", QDate(2024, 3, 5)), QStringLiteral("-20240305"));
    QCOMPARE(spreadsheet::DefaultFileName("工号7", QDate(2024, 12, 31)), QStringLiteral("工号7-20241231"));
}

void SpreadsheetFilesTest::saves_data()
{
    QTest::addColumn<QString>("answer");  // "<cancel>" for a cancelled dialog
    QTest::addColumn<bool>("oldFile");
    QTest::addColumn<QList<ui::Answer>>("answers");
    QTest::addColumn<int>("failingRow");
    QTest::addColumn<QString>("saved");  // the file expected to hold the export, empty for none
    QTest::addColumn<QString>("error");
    using ui::Answer;
    QTest::newRow("dialog cancelled") << "<cancel>" << true << QList<Answer>{} << -1 << ""
                                      << "";
    QTest::newRow("empty name") << "" << true << QList<Answer>{} << -1 << ""
                                << "";
    QTest::newRow("new file, name without extension") << "new" << false << QList<Answer>{} << -1 << "new.xls"
                                                      << "";
    QTest::newRow("existing file, Yes") << "old.xls" << true << QList<Answer>{Answer::Yes} << -1 << "old.xls"
                                        << "";
    QTest::newRow("existing file, No") << "old.xls" << true << QList<Answer>{Answer::No} << -1 << ""
                                       << "";
    QTest::newRow("existing file, Cancel") << "old.xls" << true << QList<Answer>{Answer::Cancel} << -1 << ""
                                           << "";
    QTest::newRow("Yes, then a read error") << "old.xls" << true << QList<Answer>{Answer::Yes} << 1 << ""
                                            << "read failed";
    QTest::newRow("folder missing") << "nosuch/a.xls" << false << QList<Answer>{} << -1 << ""
                                    << "Cannot create file %1";
}

void SpreadsheetFilesTest::saves()
{
    QFETCH(QString, answer);
    QFETCH(bool, oldFile);
    QFETCH(QList<ui::Answer>, answers);
    QFETCH(int, failingRow);
    QFETCH(QString, saved);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QByteArray old(5000, 'o');
    if (oldFile) {
        QFile file(dir.filePath("old.xls"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    MemoryDataset dataSet({Field("编号", TFieldType::ftInteger), Field("分选结果", TFieldType::ftString)},
                          {{1, "合格"}, {2, "偏高"}, {3, "偏低"}});
    MemoryGrid grid(dataSet);
    // The save writes every record, whatever is selected.
    grid.SelectedRowList().Add(2);
    const QByteArray all = ExportBytes(grid, true);
    QVERIFY(all != ExportBytes(grid, false));
    dataSet.failReadingRow = failingRow;
    testing_support::RecordingFileDialogs dialogs;
    testing_support::RecordingMessageBoxes boxes;
    boxes.answers = answers;
    if (answer != "<cancel>") dialogs.answer = answer.isEmpty() ? answer : dir.filePath(answer);
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);

    ui::RunHandler(boxes, nullptr, [&] { spreadsheet::SaveGrid(grid, "A01", nullptr, dialogs, boxes); });

    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY2(
        QRegularExpression("^Save   File   As   Excel\\|\\*\\.xls\\|A01-\\d{8}$").match(dialogs.shown[0]).hasMatch(),
        qPrintable(dialogs.shown[0]));
    QCOMPARE(boxes.asked, answers.isEmpty() ? QStringList() : QStringList{QStringLiteral("文件名已存在,覆盖吗?")});
    QCOMPARE(boxes.errors,
             error.isEmpty() ? QStringList() : QStringList{QString(error).replace("%1", *dialogs.answer)});
    if (!saved.isEmpty()) QCOMPARE(ReadFile(dir.filePath(saved)), all);
    if (oldFile && saved != "old.xls") QCOMPARE(ReadFile(dir.filePath("old.xls")), old);
    if (saved.isEmpty()) QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
}

void SpreadsheetFilesTest::refusesMoreRecordsThanAFileHolds()
{
    MemoryDataset dataSet({Field("编号", TFieldType::ftInteger)},
                          QList<QVariantList>(grid::TGridExportAsXLS::MaxRows, QVariantList{1}));
    MemoryGrid grid(dataSet);
    QTemporaryDir dir;
    testing_support::RecordingFileDialogs dialogs;
    dialogs.answer = dir.filePath("a.xls");
    testing_support::RecordingMessageBoxes boxes;
    spreadsheet::SaveGrid(grid, "A01", nullptr, dialogs, boxes);
    QCOMPARE(boxes.captions, QStringList{"提示"});
    QVERIFY(boxes.informed[0].contains(QString::number(grid::TGridExportAsXLS::MaxRows)));
    QVERIFY(boxes.informed[0].contains(QString::number(grid::TGridExportAsXLS::MaxRows - 1)));
    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(!QFile::exists(dialogs.answer.value()));

    // The list outgrows a file while the dialog is open: the same box, no file.
    dataSet.rows.removeLast();
    boxes.Clear();
    dialogs.whileOpen = [&] { dataSet.rows.append(QVariantList{2}); };
    spreadsheet::SaveGrid(grid, "A01", nullptr, dialogs, boxes);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(boxes.captions, QStringList{"提示"});
    QVERIFY(!QFile::exists(dialogs.answer.value()));
}

void SpreadsheetFilesTest::opens_data()
{
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("handler");
    QTest::newRow("dialog cancelled") << false << true;
    QTest::newRow("handed to the spreadsheet application") << true << true;
    QTest::newRow("no application") << true << false;
}

void SpreadsheetFilesTest::opens()
{
    QFETCH(bool, chosen);
    QFETCH(bool, handler);
    // Without a handler the offscreen platform opens nothing; a desktop might.
    if (!handler && QGuiApplication::platformName() != "offscreen") QSKIP("needs the offscreen platform");
    UrlRecorder recorder;
    if (handler) QDesktopServices::setUrlHandler("file", &recorder, "Open");
    testing_support::RecordingFileDialogs dialogs;
    if (chosen) dialogs.answer = QStringLiteral("/data/记录.xls");
    testing_support::RecordingMessageBoxes boxes;
    spreadsheet::OpenInSpreadsheetApplication(nullptr, dialogs, boxes);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(dialogs.shown, QStringList{"*.xls"});
    QCOMPARE(recorder.opened, chosen && handler ? QList<QUrl>{QUrl::fromLocalFile("/data/记录.xls")} : QList<QUrl>{});
    QCOMPARE(boxes.informed, chosen && !handler ? QStringList{"cannot open excel"} : QStringList{});
    QCOMPARE(boxes.captions, chosen && !handler ? QStringList{" "} : QStringList{});
}

void SpreadsheetFilesTest::asksWithYesAsDefault_data()
{
    QTest::addColumn<int>("key");  // 0: the box is closed
    QTest::addColumn<ui::Answer>("answer");
    QTest::newRow("Enter") << int(Qt::Key_Return) << ui::Answer::Yes;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << ui::Answer::Cancel;
    QTest::newRow("closed") << 0 << ui::Answer::Cancel;
}

void SpreadsheetFilesTest::asksWithYesAsDefault()
{
    QFETCH(int, key);
    QFETCH(ui::Answer, answer);
    QString caption;
    QTimer::singleShot(0, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        caption = box->windowTitle();
        if (key != 0)
            QTest::keyClick(box, Qt::Key(key));
        else
            box->close();
    });
    ui::QtMessageBoxes boxes;
    QCOMPARE(boxes.AskYesNoCancel(nullptr, QStringLiteral("文件名已存在,覆盖吗?")), answer);
    QCOMPARE(caption, QStringLiteral("Confirm"));
}

void SpreadsheetFilesTest::mainWindowSavesEveryRecord_data()
{
    QTest::addColumn<int>("records");
    QTest::newRow("empty table: title row only") << 0;
    QTest::newRow("three records, one selected") << 3;
}

void SpreadsheetFilesTest::mainWindowSavesEveryRecord()
{
    QFETCH(int, records);
    testing_support::TempDatabase database;
    testing_support::PtyPair pty;
    testing_support::PortOverride port{pty};
    testing_support::RecordingMessageBoxes boxes;
    testing_support::RecordingFileDialogs dialogs;
    WindowSet windows(boxes, &dialogs);
    TForm1& main = windows.Main();
    for (int i = 0; i < records; ++i)
        windows.Recorder().Append({"A01", "2024-03-05", "R", "1.2345mΩ", "合格", QDateTime::currentDateTime()});
    testing_support::PtyPair::Pump(50);
    if (records > 0) main.RecordGrid1->SelectedRowList().Add(main.RecordGrid1->DataSet()->GetBookmark());
    QTemporaryDir dir;
    dialogs.answer = dir.filePath("main.xls");
    main.Edit3->setText("A01");
    main.SaveButton->click();
    QCOMPARE(boxes.errors, QStringList());
    const QByteArray saved = ReadFile(*dialogs.answer);
    QCOMPARE(saved, ExportBytes(*main.RecordGrid1, true));
    QCOMPARE(saved.count(QByteArray::fromHex("7E020A00")), records);      // an RK 编号 per record
    QCOMPARE(saved.count(QByteArray::fromHex("0402")), 6 + records * 5);  // titles, then five texts a record
}

void SpreadsheetFilesTest::resultsWindowSavesTheResult()
{
    testing_support::TempDatabase database;
    testing_support::PtyPair pty;
    testing_support::PortOverride port{pty};
    testing_support::RecordingMessageBoxes boxes;
    testing_support::RecordingFileDialogs dialogs;
    WindowSet windows(boxes, &dialogs);
    TForm1& main = windows.Main();
    const QDate day(2024, 3, 5);
    for (const QDate date : {day, day.addDays(1), day, day.addDays(2)})
        windows.Recorder().Append(
            {"A01", date.toString("yyyy-MM-dd"), "R", "1.2345mΩ", "PASS", QDateTime::currentDateTime()});
    main.DateTimePicker1->setDate(day);
    main.Button8->click();
    TForm4& results = windows.SearchResults();
    QTemporaryDir dir;
    dialogs.answer = dir.filePath("result.xls");
    main.Edit3->setText("B02");
    results.Button2->click();
    QCOMPARE(boxes.errors, QStringList());
    QVERIFY(dialogs.shown.value(0).contains("|B02-"));
    const QByteArray saved = ReadFile(*dialogs.answer);
    QCOMPARE(saved, ExportBytes(*results.RecordGrid1, true));
    QCOMPARE(saved.count(QByteArray::fromHex("7E020A00")), 2);  // the two records of that day, not all four
}

QTEST_MAIN(SpreadsheetFilesTest)
#include "test_spreadsheet_files.moc"
